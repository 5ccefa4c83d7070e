// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysinfo/TSystemSources.h"

#include "platform/FileSystem.h"

#include <QDir>

extern char** environ;

TSystemSources TSystemSources::Current(TCommandRunner& ARunner)
{
  QStringList environment;
  for (char** entry = environ; entry && *entry; ++entry)
    environment << QString::fromLocal8Bit(*entry);
  return TSystemSources(
      ExcludeTrailingPathDelimiter(QDir::homePath()), environment, QStringLiteral("/var/lib/dpkg/status"),
      {QStringLiteral("/var/lib/flatpak/exports/share"), QStringLiteral("/var/lib/snapd/desktop")}, ARunner);
}

TSystemSources::TSystemSources(const QString& AHome, const QStringList& AEnvironment, const QString& ADpkgStatusFile,
                               const QStringList& AExportFolders, TCommandRunner& ARunner)
  : FHome(ExcludeTrailingPathDelimiter(AHome))
  , FEnvironment(AEnvironment)
  , FDpkgStatusFile(ADpkgStatusFile)
  , FExportFolders(AExportFolders)
  , FRunner(&ARunner)
{}

QString TSystemSources::Variable(const QString& AName) const
{
  const QString prefix = AName + QLatin1Char('=');
  for (const QString& entry : FEnvironment) {
    if (entry.startsWith(prefix))
      return entry.mid(prefix.size());
  }
  return QString();
}

QString TSystemSources::AbsoluteVariable(const QString& AName, const QString& ADefault) const
{
  const QString value = Variable(AName);
  if (value.isEmpty() || !value.startsWith(PathDelim))
    return ADefault;
  return ExcludeTrailingPathDelimiter(value);
}

QString TSystemSources::DataHome() const
{
  return AbsoluteVariable(QStringLiteral("XDG_DATA_HOME"), FHome + QStringLiteral("/.local/share"));
}

QString TSystemSources::ConfigHome() const
{
  return AbsoluteVariable(QStringLiteral("XDG_CONFIG_HOME"), FHome + QStringLiteral("/.config"));
}

QStringList TSystemSources::DataFolders() const
{
  QStringList result{DataHome(), DataHome() + QStringLiteral("/flatpak/exports/share")};
  QString dirs = Variable(QStringLiteral("XDG_DATA_DIRS"));
  if (dirs.isEmpty())
    dirs = QStringLiteral("/usr/local/share:/usr/share");
  for (const QString& folder : dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
    if (folder.startsWith(PathDelim))
      result << ExcludeTrailingPathDelimiter(folder);
  }
  result << FExportFolders;
  result.removeDuplicates();
  return result;
}
