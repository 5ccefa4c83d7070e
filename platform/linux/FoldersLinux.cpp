// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FileNames.h"
#include "platform/FileSystem.h"
#include "platform/Folders.h"

#include <QDir>
#include <QStandardPaths>

#include <climits>

#include <unistd.h>

namespace {

QString EnvironmentFolder(const char* AName, const QString& AFallback)
{
  const QByteArray value = qgetenv(AName);
  // The base-directory rules ignore relative paths.
  if (value.isEmpty() || !value.startsWith('/'))
    return AFallback;
  return ExcludeTrailingPathDelimiter(DecodeFileName(value));
}

QString UserLocation(QStandardPaths::StandardLocation ALocation)
{
  return ExcludeTrailingPathDelimiter(QStandardPaths::writableLocation(ALocation));
}

} // namespace

QString ExecutableFileName()
{
  char buffer[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  if (length <= 0)
    return QString();
  return DecodeFileName(QByteArray(buffer, length));
}

QString ExecutableFolder()
{
  const QString path = ExecutableFileName();
  return path.left(path.lastIndexOf(PathDelim) + 1);
}

QString DataHomeFolder()
{
  return EnvironmentFolder("XDG_DATA_HOME", QDir::homePath() + QStringLiteral("/.local/share"));
}

QString ConfigHomeFolder()
{
  return EnvironmentFolder("XDG_CONFIG_HOME", QDir::homePath() + QStringLiteral("/.config"));
}

QStringList ConfigDirectories()
{
  QStringList result;
  const QString value = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_DIRS"));
  for (const QString& folder : value.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
    if (folder.startsWith(PathDelim))
      result << ExcludeTrailingPathDelimiter(folder);
  }
  if (result.isEmpty())
    result << QStringLiteral("/etc/xdg");
  return result;
}

QString ShellFolderPath(int AIdentifier)
{
  switch (AIdentifier) {
  case sfDesktop:
    return UserLocation(QStandardPaths::DesktopLocation);
  case sfMyDocuments:
    return UserLocation(QStandardPaths::DocumentsLocation);
  case sfMyMusic:
    return UserLocation(QStandardPaths::MusicLocation);
  case sfMyVideo:
    return UserLocation(QStandardPaths::MoviesLocation);
  case sfMyPictures:
    return UserLocation(QStandardPaths::PicturesLocation);
  case sfAppData:
  case sfLocalAppData:
    return DataHomeFolder();
  case sfProgramFiles:
    return QStringLiteral("/opt");
  default:
    return QString();
  }
}

QString TemporaryFolder()
{
  return IncludeTrailingPathDelimiter(EnvironmentFolder("TMPDIR", QStringLiteral("/tmp")));
}
