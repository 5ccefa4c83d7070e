// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysinfo/DesktopEntries.h"

#include "platform/FileSystem.h"

#include <QFile>
#include <QSet>
#include <QTextStream>

#include <functional>

namespace {

const QString DesktopSuffix = QStringLiteral(".desktop");

// Every .desktop file below AFolder with its desktop-file ID (the relative path, "/" as "-").
void CollectDesktopFiles(const QString& AFolder, const QString& AIdPrefix, int ADepth,
                         const std::function<void(const QString&, const QString&)>& AFound)
{
  // Menus nest a level or two; the bound keeps a looping link from running away.
  if (ADepth > 4)
    return;
  EnumerateDirectory(AFolder, [&](const TDirectoryEntry& AEntry) {
    const QString path = AFolder + PathDelim + AEntry.Name;
    if (AEntry.Attributes & faDirectory)
      CollectDesktopFiles(path, AIdPrefix + AEntry.Name + QLatin1Char('-'), ADepth + 1, AFound);
    else if (AEntry.Name.endsWith(DesktopSuffix))
      AFound(AIdPrefix + AEntry.Name, path);
    return true;
  });
}

} // namespace

QString DesktopEntryExec(const QString& AFileName)
{
  QFile file(AFileName);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
    return QString();
  QTextStream stream(&file);
  bool inEntry = false;
  QString exec;
  QString line;
  while (stream.readLineInto(&line)) {
    line = line.trimmed();
    if (line.startsWith(QLatin1Char('['))) {
      if (inEntry)
        break;
      inEntry = line == QStringLiteral("[Desktop Entry]");
      continue;
    }
    if (!inEntry || line.startsWith(QLatin1Char('#')))
      continue;
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    if (equals <= 0)
      continue;
    const QString key = line.left(equals).trimmed();
    const QString value = line.mid(equals + 1).trimmed();
    if (key == QStringLiteral("Hidden") && value == QStringLiteral("true"))
      return QString();
    if (key == QStringLiteral("Exec"))
      exec = value;
  }
  return exec;
}

QString FindDesktopFile(const TSystemSources& ASources, const QString& ADesktopId)
{
  if (ADesktopId.isEmpty() || ADesktopId.contains(PathDelim) || !ADesktopId.endsWith(DesktopSuffix))
    return QString();
  // "kde-foo.desktop" may live as applications/kde/foo.desktop.
  QStringList candidates{ADesktopId};
  for (qsizetype dash = ADesktopId.indexOf(QLatin1Char('-')); dash > 0;
       dash = ADesktopId.indexOf(QLatin1Char('-'), dash + 1)) {
    QString nested = ADesktopId;
    nested[dash] = PathDelim;
    candidates << nested;
  }
  for (const QString& folder : ASources.DataFolders()) {
    for (const QString& candidate : candidates) {
      const QString path = folder + QStringLiteral("/applications/") + candidate;
      if (FileExists(path))
        return path;
    }
  }
  return QString();
}

QStringList InstalledDesktopExecLines(const TSystemSources& ASources)
{
  QSet<QString> seen;
  QStringList result;
  for (const QString& folder : ASources.DataFolders()) {
    CollectDesktopFiles(folder + QStringLiteral("/applications"), QString(), 0,
                        [&](const QString& AId, const QString& APath) {
                          if (seen.contains(AId))
                            return;
                          seen.insert(AId);
                          const QString exec = DesktopEntryExec(APath);
                          if (!exec.isEmpty())
                            result << exec;
                        });
  }
  return result;
}

QString DefaultHandlerExec(const TSystemSources& ASources, const QString& AMimeType)
{
  QString output;
  if (!ASources.Runner().Run(QStringLiteral("xdg-mime"),
                             {QStringLiteral("query"), QStringLiteral("default"), AMimeType}, ASources.Environment(),
                             output))
    return QString();
  const QString id = output.section(QLatin1Char('\n'), 0, 0).trimmed();
  const QString file = FindDesktopFile(ASources, id);
  return file.isEmpty() ? QString() : DesktopEntryExec(file);
}
