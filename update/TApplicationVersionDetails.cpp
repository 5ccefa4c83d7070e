// SPDX-License-Identifier: GPL-3.0-or-later
#include "update/TApplicationVersionDetails.h"

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

bool TApplicationVersionDetails::IsCurrent(const QString& ACompareVersion) const
{
  TApplicationVersionDetails other;
  other.SetVersion(ACompareVersion);
  // 64-bit sums, so large numbers compare without overflow.
  const auto weigh = [](std::int32_t AHigh, std::int32_t ALow) { return std::int64_t(AHigh) * 1000 + ALow; };
  const std::int64_t a = weigh(MajorVersion, MinorVersion);
  const std::int64_t b = weigh(ReleaseVersion, BuildVersion);
  const std::int64_t a2 = weigh(other.MajorVersion, other.MinorVersion);
  const std::int64_t b2 = weigh(other.ReleaseVersion, other.BuildVersion);
  return a < a2 || (a == a2 && b <= b2);
}
