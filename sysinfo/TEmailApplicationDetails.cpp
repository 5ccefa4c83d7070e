// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysinfo/TEmailApplicationDetails.h"

#include "platform/FileSystem.h"
#include "sysinfo/DesktopEntries.h"
#include "sysinfo/MozillaProfiles.h"

TEmailApplicationDetails::TEmailApplicationDetails(const TSystemSources& ASources)
  : TSystemApplicationDetails(ASources)
{}

TEmailApplications TEmailApplicationDetails::ClassifyMailCommand(const QString& ACommand)
{
  QString text = ACommand;
  text.remove(QLatin1Char('"'));
  // Windows command lines: the program is what follows the last backslash or drive colon before
  // its ".EXE", so colons and switches among the arguments ("/mailurl:%1") do not count.
  const qsizetype firstExe = text.indexOf(QStringLiteral(".EXE"), 0, Qt::CaseInsensitive);
  const qsizetype from = firstExe >= 0 ? firstExe : text.size() - 1;
  const qsizetype cut = qMax(text.lastIndexOf(QLatin1Char('\\'), from), text.lastIndexOf(QLatin1Char(':'), from));
  const QString program = text.mid(cut + 1);
  const qsizetype exe = program.indexOf(QStringLiteral(".EXE"), 0, Qt::CaseInsensitive);
  if (exe >= 0) {
    const QString name = program.left(exe + 4).trimmed();
    if (name.compare(QStringLiteral("OUTLOOK.EXE"), Qt::CaseInsensitive) == 0)
      return eaOutlook;
    if (name.compare(QStringLiteral("MSIMN.EXE"), Qt::CaseInsensitive) == 0)
      return eaOutlookExpress;
    if (name.compare(QStringLiteral("WINMAIL.EXE"), Qt::CaseInsensitive) == 0)
      return eaWindowsMail;
    return eaUnknown;
  }
  // Desktop Exec lines name the program anywhere (env and flatpak put words before it).
  const QString upper = text.toUpper();
  if (upper.contains(QStringLiteral("THUNDERBIRD")))
    return eaThunderbird;
  if (upper.contains(QStringLiteral("EVOLUTION")))
    return eaEvolution;
  return eaUnknown;
}

TEmailApplications TEmailApplicationDetails::DefaultMailApplication() const
{
  const QString exec = DefaultHandlerExec(Sources(), QStringLiteral("x-scheme-handler/mailto"));
  return exec.isEmpty() ? eaUnknown : ClassifyMailCommand(exec);
}

TEmailApplicationsSet TEmailApplicationDetails::InstalledMailApplications() const
{
  TEmailApplicationsSet result;
  for (const QString& exec : InstalledDesktopExecLines(Sources())) {
    const TEmailApplications application = ClassifyMailCommand(exec);
    if (application == eaThunderbird || application == eaEvolution)
      result.insert(application);
  }
  return result;
}

bool TEmailApplicationDetails::GetOutlookDataFiles(QStringList& AFileList) const
{
  AFileList.clear();
  return false;
}

bool TEmailApplicationDetails::GetOutlookExpressDataFiles(QStringList& AFileList) const
{
  AFileList.clear();
  return false;
}

QString TEmailApplicationDetails::GetWindowsMailDataFolder() const
{
  return QString();
}

QStringList TEmailApplicationDetails::ThunderbirdInis() const
{
  const QString home = Sources().Home();
  return ExistingProfileInis({home + QStringLiteral("/.thunderbird/profiles.ini"),
                              home + QStringLiteral("/.var/app/org.mozilla.Thunderbird/.thunderbird/profiles.ini"),
                              home + QStringLiteral("/snap/thunderbird/common/.thunderbird/profiles.ini")});
}

bool TEmailApplicationDetails::GetThunderbirdProfiles(QStringList& AProfileList) const
{
  AProfileList.clear();
  const QStringList inis = ThunderbirdInis();
  ReadProfileNames(inis, AProfileList);
  return !inis.isEmpty();
}

QString TEmailApplicationDetails::GetThunderbirdProfileFolder(const QString& AProfile) const
{
  return ProfileFolder(ThunderbirdInis(), AProfile);
}

bool TEmailApplicationDetails::GetThunderbirdDataFolders(QStringList& AFolderList) const
{
  AFolderList.clear();
  QStringList profiles;
  if (!GetThunderbirdProfiles(profiles))
    return false;
  for (const QString& profile : profiles) {
    const QString folder = GetThunderbirdProfileFolder(profile);
    if (!folder.isEmpty() && DirectoryExists(folder) && !AFolderList.contains(folder))
      AFolderList << folder;
  }
  return !AFolderList.isEmpty();
}

QString TEmailApplicationDetails::GetEvolutionDataFolder() const
{
  for (const QString& folder :
       QStringList{Sources().DataHome() + QStringLiteral("/evolution/mail/"),
                   Sources().Home() + QStringLiteral("/.var/app/org.gnome.Evolution/data/evolution/mail/")}) {
    if (DirectoryExists(folder))
      return folder;
  }
  return QString();
}
