// SPDX-License-Identifier: GPL-3.0-or-later
// Web browsers: which one is the default, which are installed and where they keep bookmarks.
#pragma once

#include "sysinfo/TSystemApplicationDetails.h"

#include <set>

// Ordinals are fixed; the browsers of this desktop follow the older ones.
enum TBrowserApplications : int {
  baUnknown = 0,
  baIE = 1,
  baFirefox = 2,
  baChrome = 3,
  baOpera = 4,
  baSafari = 5,
  baChromium = 6,
};
using TBrowserApplicationsSet = std::set<TBrowserApplications>;

class TBrowserApplicationDetails : public TSystemApplicationDetails
{
public:
  explicit TBrowserApplicationDetails(const TSystemSources& ASources);

  // The handler of http links ("xdg-mime query default x-scheme-handler/http"), classified by its
  // Exec line.
  TBrowserApplications DefaultBrowserApplication() const;
  // Firefox, Chrome and Chromium when a visible desktop entry starts them.
  TBrowserApplicationsSet InstalledBrowserApplications() const;

  QString GetIEFavoritesFolder() const; // always empty here
  // Profile names of every Firefox profiles.ini (native, flatpak, snap); clears the list first,
  // nothing happens without a list.
  bool GetFirefoxProfiles(QStringList* AProfileList) const;
  // The profile's places.sqlite (bookmarks and history), whether or not it exists yet.
  QString GetFirefoxBookmarksFileName(const QString& AProfile) const;
  // The Bookmarks file of the default profile when it exists, else empty.
  QString GetChromeBookmarksFileName() const;
  QString GetChromiumBookmarksFileName() const;
  QString GetSafariBookmarksFileName() const; // always empty here

  // The browser a command line names: the Windows ".EXE" names in their order, a later match
  // replacing an earlier one; without such a match, the program names of this desktop.
  static TBrowserApplications ClassifyBrowserCommand(const QString& ACommand);

private:
  QStringList FirefoxInis() const;
  QString FirstExisting(const QStringList& ACandidates) const;
};
