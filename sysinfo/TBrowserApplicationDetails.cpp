// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysinfo/TBrowserApplicationDetails.h"

#include "platform/FileSystem.h"
#include "sysinfo/DesktopEntries.h"
#include "sysinfo/MozillaProfiles.h"

TBrowserApplicationDetails::TBrowserApplicationDetails(const TSystemSources& ASources)
  : TSystemApplicationDetails(ASources)
{}

TBrowserApplications TBrowserApplicationDetails::ClassifyBrowserCommand(const QString& ACommand)
{
  QString text = ACommand;
  text.remove(QLatin1Char('"'));
  // Windows command lines: the program is what follows the last backslash or drive colon before
  // its ".EXE", so colons and switches among the arguments ("/mailurl:%1") do not count.
  const qsizetype firstExe = text.indexOf(QStringLiteral(".EXE"), 0, Qt::CaseInsensitive);
  const qsizetype from = firstExe >= 0 ? firstExe : text.size() - 1;
  const qsizetype cut = qMax(text.lastIndexOf(QLatin1Char('\\'), from), text.lastIndexOf(QLatin1Char(':'), from));
  QString upper = text.mid(cut + 1).toUpper();
  TBrowserApplications result = baUnknown;
  if (upper.contains(QStringLiteral("IEXPLORE.EXE")))
    result = baIE;
  if (upper.contains(QStringLiteral("FIREFOX.EXE")))
    result = baFirefox;
  if (upper.contains(QStringLiteral("CHROME.EXE")))
    result = baChrome;
  if (upper.contains(QStringLiteral("OPERA.EXE")))
    result = baOpera;
  if (upper.contains(QStringLiteral("SAFARI.EXE")))
    result = baSafari;
  if (result != baUnknown)
    return result;
  // Desktop Exec lines name the program anywhere (env and flatpak put words before it).
  upper = text.toUpper();
  // "CHROMIUM" does not contain "CHROME", so the two never shadow each other.
  if (upper.contains(QStringLiteral("FIREFOX")))
    return baFirefox;
  if (upper.contains(QStringLiteral("CHROMIUM")))
    return baChromium;
  if (upper.contains(QStringLiteral("CHROME")))
    return baChrome;
  return baUnknown;
}

TBrowserApplications TBrowserApplicationDetails::DefaultBrowserApplication() const
{
  const QString exec = DefaultHandlerExec(Sources(), QStringLiteral("x-scheme-handler/http"));
  return exec.isEmpty() ? baUnknown : ClassifyBrowserCommand(exec);
}

TBrowserApplicationsSet TBrowserApplicationDetails::InstalledBrowserApplications() const
{
  TBrowserApplicationsSet result;
  for (const QString& exec : InstalledDesktopExecLines(Sources())) {
    const TBrowserApplications browser = ClassifyBrowserCommand(exec);
    if (browser == baFirefox || browser == baChrome || browser == baChromium)
      result.insert(browser);
  }
  return result;
}

QString TBrowserApplicationDetails::GetIEFavoritesFolder() const
{
  return GetFavoritesFolder();
}

QStringList TBrowserApplicationDetails::FirefoxInis() const
{
  const QString home = Sources().Home();
  return ExistingProfileInis({home + QStringLiteral("/.mozilla/firefox/profiles.ini"),
                              home + QStringLiteral("/.var/app/org.mozilla.firefox/.mozilla/firefox/profiles.ini"),
                              home + QStringLiteral("/snap/firefox/common/.mozilla/firefox/profiles.ini")});
}

bool TBrowserApplicationDetails::GetFirefoxProfiles(QStringList* AProfileList) const
{
  if (!AProfileList)
    return false;
  AProfileList->clear();
  const QStringList inis = FirefoxInis();
  ReadProfileNames(inis, *AProfileList);
  return !inis.isEmpty();
}

QString TBrowserApplicationDetails::GetFirefoxBookmarksFileName(const QString& AProfile) const
{
  const QString folder = ProfileFolder(FirefoxInis(), AProfile);
  return folder.isEmpty() ? QString() : folder + QStringLiteral("places.sqlite");
}

QString TBrowserApplicationDetails::FirstExisting(const QStringList& ACandidates) const
{
  for (const QString& candidate : ACandidates) {
    if (FileExists(candidate))
      return candidate;
  }
  return QString();
}

QString TBrowserApplicationDetails::GetChromeBookmarksFileName() const
{
  return FirstExisting(
      {Sources().ConfigHome() + QStringLiteral("/google-chrome/Default/Bookmarks"),
       Sources().Home() + QStringLiteral("/.var/app/com.google.Chrome/config/google-chrome/Default/Bookmarks")});
}

QString TBrowserApplicationDetails::GetChromiumBookmarksFileName() const
{
  return FirstExisting(
      {Sources().ConfigHome() + QStringLiteral("/chromium/Default/Bookmarks"),
       Sources().Home() + QStringLiteral("/.var/app/org.chromium.Chromium/config/chromium/Default/Bookmarks"),
       Sources().Home() + QStringLiteral("/snap/chromium/common/chromium/Default/Bookmarks")});
}

QString TBrowserApplicationDetails::GetSafariBookmarksFileName() const
{
  return QString();
}
