// SPDX-License-Identifier: GPL-3.0-or-later
// Mail programs: which one is the default, which are installed and where they keep their mail.
#pragma once

#include "sysinfo/TSystemApplicationDetails.h"

#include <set>

// Ordinals are fixed; the programs of this desktop follow the older ones.
enum TEmailApplications : int {
  eaUnknown = 0,
  eaOutlookExpress = 1,
  eaOutlook = 2,
  eaWindowsMail = 3,
  eaThunderbird = 4,
  eaEvolution = 5,
};
using TEmailApplicationsSet = std::set<TEmailApplications>;

class TEmailApplicationDetails : public TSystemApplicationDetails
{
public:
  explicit TEmailApplicationDetails(const TSystemSources& ASources);

  // The handler of mailto links ("xdg-mime query default x-scheme-handler/mailto"), classified by
  // its Exec line.
  TEmailApplications DefaultMailApplication() const;
  // Programs with a visible desktop entry. The Windows-only programs are never installed here.
  TEmailApplicationsSet InstalledMailApplications() const;

  // Windows-only programs: the lists are cleared and the answers are false or empty.
  bool GetOutlookDataFiles(QStringList& AFileList) const;
  bool GetOutlookExpressDataFiles(QStringList& AFileList) const;
  QString GetWindowsMailDataFolder() const;
  QString GetOutlookWindowName() const { return QString(); }
  QString GetOutlookExpressWindowName() const { return QString(); }
  QString GetWindowsMailName() const { return QString(); }

  // Thunderbird's profiles (native, flatpak and snap installs in that order); a profile's whole
  // folder is its mail data. Both clear the list first.
  bool GetThunderbirdProfiles(QStringList& AProfileList) const;
  QString GetThunderbirdProfileFolder(const QString& AProfile) const;
  // The folders of all Thunderbird profiles that exist.
  bool GetThunderbirdDataFolders(QStringList& AFolderList) const;
  // Evolution's mail folder (native, then flatpak) with a trailing separator; empty when missing.
  QString GetEvolutionDataFolder() const;

  // The program a mail command line names: the Windows rule (".EXE" names compared exactly),
  // else the program names of this desktop found anywhere in the last path element.
  static TEmailApplications ClassifyMailCommand(const QString& ACommand);

private:
  QStringList ThunderbirdInis() const;
};
