// SPDX-License-Identifier: GPL-3.0-or-later
#include "update/TApplicationVersionDetails.h"

#include <QStringList>

#include <algorithm>
#include <tuple>

void TApplicationVersionDetails::Reset()
{
  MajorVersion = 0;
  MinorVersion = 0;
  ReleaseVersion = 0;
  BuildVersion = 0;
}

QString TApplicationVersionDetails::AsString() const
{
  return QStringLiteral("%1.%2.%3.%4").arg(MajorVersion).arg(MinorVersion).arg(ReleaseVersion).arg(BuildVersion);
}

void TApplicationVersionDetails::SetVersion(const QString& AVersion)
{
  Reset();
  std::int32_t* numbers[] = {&MajorVersion, &MinorVersion, &ReleaseVersion, &BuildVersion};
  int index = 0;
  QString piece;
  const QString text = AVersion + QLatin1Char('.');
  for (const QChar c : text) {
    if (c != QLatin1Char('.')) {
      piece += c;
      continue;
    }
    if (index < 4) {
      bool ok = false;
      const int value = piece.toInt(&ok);
      *numbers[index] = ok ? value : 0;
    }
    ++index;
    piece.clear();
  }
}

bool TApplicationVersionDetails::ValidVersion(const QString& AVersion)
{
  const QStringList parts = AVersion.split(QLatin1Char('.'));
  if (parts.size() > 4)
    return false;
  for (const QString& part : parts) {
    bool ok = false;
    // Digits only: no sign, no blanks.
    const bool digits = !part.isEmpty() && std::all_of(part.begin(), part.end(), [](QChar AChar) {
      return AChar >= QLatin1Char('0') && AChar <= QLatin1Char('9');
    });
    if (!digits || part.toInt(&ok) < 0 || !ok)
      return false;
  }
  return true;
}

bool TApplicationVersionDetails::IsCurrent(const QString& ACompareVersion) const
{
  TApplicationVersionDetails other;
  other.SetVersion(ACompareVersion);
  // Part by part: a sum would let a large build number outweigh a newer release.
  const auto parts = [](const TApplicationVersionDetails& AVersion) {
    return std::tuple(AVersion.MajorVersion, AVersion.MinorVersion, AVersion.ReleaseVersion, AVersion.BuildVersion);
  };
  return parts(*this) <= parts(other);
}
