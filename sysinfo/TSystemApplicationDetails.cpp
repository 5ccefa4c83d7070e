// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysinfo/TSystemApplicationDetails.h"

#include "platform/FileSystem.h"
#include "sysinfo/FindFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTextStream>

namespace {

void SearchFolder(const QString& AFolder, const QString& AMask, bool ARecurse, QSet<QString>& AVisited,
                  QStringList& AFileList)
{
  const QString canonical = QFileInfo(AFolder).canonicalFilePath();
  if (canonical.isEmpty() || AVisited.contains(canonical))
    return;
  AVisited.insert(canonical);
  const QString folder = IncludeTrailingPathDelimiter(AFolder);
  QStringList folders;
  EnumerateDirectory(folder, [&](const TDirectoryEntry& AEntry) {
    if (AEntry.Attributes & faDirectory)
      folders << folder + AEntry.Name;
    else if (MatchesMask(AEntry.Name, AMask))
      AFileList << folder + AEntry.Name;
    return true;
  });
  if (!ARecurse)
    return;
  for (const QString& sub : folders)
    SearchFolder(sub, AMask, true, AVisited, AFileList);
}

} // namespace

TSystemApplicationDetails::TSystemApplicationDetails(const TSystemSources& ASources)
  : FSources(ASources)
{}

bool TSystemApplicationDetails::GetApplicationPath(const QString& AFileName, QString& APath) const
{
  if (AFileName.isEmpty() || AFileName.contains(PathDelim))
    return false;
  for (const QString& folder : FSources.Variable(QStringLiteral("PATH")).split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
    const QFileInfo info(IncludeTrailingPathDelimiter(folder) + AFileName);
    if (info.isFile() && info.isExecutable()) {
      APath = IncludeTrailingPathDelimiter(folder);
      return true;
    }
  }
  return false;
}

void TSystemApplicationDetails::GetEnvironmentVariables(QStringList* AVariablesList) const
{
  if (!AVariablesList)
    return;
  *AVariablesList = FSources.Environment();
}

QString TSystemApplicationDetails::GetEnvironmentVariable(const QString& AVariable) const
{
  return FSources.Variable(AVariable);
}

QString TSystemApplicationDetails::DecodeEnvironmentVariables(const QString& AValue) const
{
  QString result = AValue;
  for (const QString& entry : FSources.Environment()) {
    const qsizetype equals = entry.indexOf(QLatin1Char('='));
    if (equals <= 0)
      continue;
    result.replace(QLatin1Char('%') + entry.left(equals) + QLatin1Char('%'), entry.mid(equals + 1), Qt::CaseSensitive);
  }
  return result;
}

bool TSystemApplicationDetails::GetInstalledApplications(QStringList& AApplicationList) const
{
  QFile file(FSources.DpkgStatusFile());
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
    return false;
  QTextStream stream(&file);
  QString package;
  QString version;
  bool installed = false;
  const auto flush = [&] {
    if (!package.isEmpty() && installed)
      AApplicationList << package + QLatin1Char('=') +
                              (version.isEmpty() ? QString() : QStringLiteral("Version ") + version);
    package.clear();
    version.clear();
    installed = false;
  };
  QString line;
  while (stream.readLineInto(&line)) {
    if (line.isEmpty()) {
      flush();
      continue;
    }
    if (line.startsWith(QLatin1Char(' ')) || line.startsWith(QLatin1Char('\t')))
      continue;
    const qsizetype colon = line.indexOf(QLatin1Char(':'));
    if (colon <= 0)
      continue;
    const QStringView field = QStringView(line).left(colon);
    const QString value = line.mid(colon + 1).trimmed();
    if (field == u"Package")
      package = value;
    else if (field == u"Version")
      version = value;
    else if (field == u"Status")
      installed = value.split(QLatin1Char(' '), Qt::SkipEmptyParts).value(2) == QStringLiteral("installed");
  }
  flush();
  return stream.status() == QTextStream::Ok;
}

void TSystemApplicationDetails::FileSearch(const QString& APathName, const QString& AFileName, bool ARecurse,
                                           QStringList& AFileList) const
{
  QSet<QString> visited;
  SearchFolder(APathName, AFileName, ARecurse, visited, AFileList);
}

QString TSystemApplicationDetails::UserDirectory(const QString& AKey) const
{
  // The shell-style assignments that xdg-user-dirs-update writes: KEY="$HOME/Folder" or an
  // absolute path. A folder equal to the home folder means the user has switched it off.
  QFile file(FSources.ConfigHome() + QStringLiteral("/user-dirs.dirs"));
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
    return QString();
  QTextStream stream(&file);
  QString value;
  QString line;
  while (stream.readLineInto(&line)) {
    line = line.trimmed();
    if (!line.startsWith(AKey + QLatin1Char('=')))
      continue;
    value = line.mid(AKey.size() + 1).trimmed();
    if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
      value = value.mid(1, value.size() - 2);
    value.replace(QStringLiteral("\\\""), QStringLiteral("\""));
  }
  if (value.startsWith(QStringLiteral("$HOME")))
    value = FSources.Home() + value.mid(5);
  if (!value.startsWith(PathDelim))
    return QString();
  value = ExcludeTrailingPathDelimiter(value);
  if (value == FSources.Home())
    return QString();
  return IncludeTrailingPathDelimiter(value);
}

QString TSystemApplicationDetails::GetRoamingAppDataFolder() const
{
  return IncludeTrailingPathDelimiter(FSources.DataHome());
}

QString TSystemApplicationDetails::GetLocalAppDataFolder() const
{
  return IncludeTrailingPathDelimiter(FSources.ConfigHome());
}

QString TSystemApplicationDetails::GetMyDocumentsFolder() const
{
  return UserDirectory(QStringLiteral("XDG_DOCUMENTS_DIR"));
}

QString TSystemApplicationDetails::GetMyPicturesFolder() const
{
  return UserDirectory(QStringLiteral("XDG_PICTURES_DIR"));
}

QString TSystemApplicationDetails::GetMyMusicFolder() const
{
  return UserDirectory(QStringLiteral("XDG_MUSIC_DIR"));
}

QString TSystemApplicationDetails::GetMyVideoFolder() const
{
  return UserDirectory(QStringLiteral("XDG_VIDEOS_DIR"));
}

QString TSystemApplicationDetails::GetDesktopFolder() const
{
  return UserDirectory(QStringLiteral("XDG_DESKTOP_DIR"));
}

QString TSystemApplicationDetails::GetFavoritesFolder() const
{
  return QString();
}

QString TSystemApplicationDetails::GetWindowsFolder() const
{
  return QString();
}

QString TSystemApplicationDetails::GetSystemFolder() const
{
  return QString();
}

QString TSystemApplicationDetails::GetProgramFileFolder() const
{
  return QStringLiteral("/opt/");
}
