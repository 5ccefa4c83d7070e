// SPDX-License-Identifier: GPL-3.0-or-later
#include "update/TUpdateDescription.h"

#include "platform/TIniFile.h"

#include <QRegularExpression>

bool TUpdateDescription::Load(const QString& AFileName, const QString& AApplicationName)
{
  const TIniFile file(AFileName);
  if (!file.SectionExists(AApplicationName))
    return false;
  Params = file.ReadString(AApplicationName, QStringLiteral("Params"), QString());
  URL = file.ReadString(AApplicationName, QStringLiteral("URL"), QString());
  Version = file.ReadString(AApplicationName, QStringLiteral("Version"), QStringLiteral("0.0.0.0"));
  SHA256 = file.ReadString(AApplicationName, QStringLiteral("SHA256"), QString()).toLower();
  return true;
}

bool TUpdateDescription::InstallerFileName(const QString& AURL, QString& AName)
{
  QString name = AURL.mid(AURL.lastIndexOf(QLatin1Char('/')) + 1);
  const qsizetype query = name.indexOf(QRegularExpression(QStringLiteral("[?#]")));
  if (query >= 0)
    name.truncate(query);
  name = name.mid(name.lastIndexOf(QLatin1Char('\\')) + 1);
  name.removeIf([](QChar AChar) { return AChar.unicode() < 0x20 || AChar.unicode() == 0x7f; });
  // Trimmed first, so " .x" cannot keep its leading dot.
  name = name.trimmed();
  while (name.startsWith(QLatin1Char('.')))
    name.remove(0, 1);
  // A name the file system cannot take is no name.
  if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") || name.toUtf8().size() > 255) {
    AName.clear();
    return false;
  }
  AName = name;
  return true;
}

bool TUpdateDescription::ValidChecksum(const QString& AText)
{
  static const QRegularExpression hex(QStringLiteral("^[0-9a-fA-F]{64}$"));
  return AText.isEmpty() || hex.match(AText).hasMatch();
}
