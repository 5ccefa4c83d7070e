// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysinfo/MozillaProfiles.h"

#include "platform/FileSystem.h"
#include "platform/TIniFile.h"

namespace {

const QString NameKey = QStringLiteral("Name");

// An integer read as a Boolean: non-zero is true; anything else keeps the default.
bool ReadBool(const TIniFile& AIni, const QString& ASection, const QString& AKey, bool ADefault)
{
  bool ok = false;
  const int value = AIni.ReadString(ASection, AKey, QString()).toInt(&ok);
  return ok ? value != 0 : ADefault;
}

} // namespace

QStringList ExistingProfileInis(const QStringList& ACandidates)
{
  QStringList result;
  for (const QString& candidate : ACandidates) {
    if (FileExists(candidate))
      result << candidate;
  }
  return result;
}

void ReadProfileNames(const QStringList& AIniFiles, QStringList& AProfileList)
{
  for (const QString& fileName : AIniFiles) {
    const TIniFile ini(fileName);
    for (const QString& section : ini.ReadSections()) {
      if (ini.ValueExists(section, NameKey))
        AProfileList << ini.ReadString(section, NameKey, QString());
    }
  }
}

QString ProfileFolder(const QStringList& AIniFiles, const QString& AProfile)
{
  if (AProfile.isEmpty())
    return QString();
  for (const QString& fileName : AIniFiles) {
    const TIniFile ini(fileName);
    QString match;
    for (const QString& section : ini.ReadSections()) {
      if (ini.ValueExists(section, NameKey) && ini.ReadString(section, NameKey, QString()) == AProfile)
        match = section;
    }
    if (match.isEmpty())
      continue;
    const QString path = ini.ReadString(match, QStringLiteral("Path"), QString());
    if (ReadBool(ini, match, QStringLiteral("IsRelative"), true))
      return IncludeTrailingPathDelimiter(fileName.left(fileName.lastIndexOf(PathDelim) + 1) + path);
    return IncludeTrailingPathDelimiter(path);
  }
  return QString();
}
