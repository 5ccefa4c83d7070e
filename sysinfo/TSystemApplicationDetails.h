// SPDX-License-Identifier: GPL-3.0-or-later
// General queries about this computer for the profile wizard: the user's folders, the environment,
// installed packages and a file search. Nothing is cached: every query reads the system afresh.
#pragma once

#include "sysinfo/TSystemSources.h"

#include <QString>
#include <QStringList>

class TSystemApplicationDetails
{
public:
  explicit TSystemApplicationDetails(const TSystemSources& ASources);
  virtual ~TSystemApplicationDetails() = default;

  const TSystemSources& Sources() const { return FSources; }

  // Whether an executable named AFileName is on $PATH; APath is then its folder (with a trailing
  // separator) and is left alone otherwise.
  [[nodiscard]] bool GetApplicationPath(const QString& AFileName, QString& APath) const;

  // All name=value entries of the environment in order; nothing happens without a list.
  void GetEnvironmentVariables(QStringList* AVariablesList) const;
  QString GetEnvironmentVariable(const QString& AVariable) const;
  // Replaces "%NAME%" by the variable's value, names matched with exact letter case.
  QString DecodeEnvironmentVariables(const QString& AValue) const;

  // Installed packages of the package database as "name=Version x" (or "name=" without a version),
  // in database order. False when the database cannot be read.
  bool GetInstalledApplications(QStringList& AApplicationList) const;

  // Appends the files of APathName matching AFileName; with ARecurse, every sub-folder is searched
  // too, hidden and linked ones included (each real folder once, so a link loop ends).
  void FileSearch(const QString& APathName, const QString& AFileName, bool ARecurse, QStringList& AFileList) const;

  // The user's folders with a trailing separator; empty when the desktop defines none.
  QString GetRoamingAppDataFolder() const; // $XDG_DATA_HOME
  QString GetLocalAppDataFolder() const;   // $XDG_CONFIG_HOME
  QString GetMyDocumentsFolder() const;
  QString GetMyPicturesFolder() const;
  QString GetMyMusicFolder() const;
  QString GetMyVideoFolder() const;
  QString GetDesktopFolder() const;
  // No counterparts here: always empty.
  QString GetFavoritesFolder() const;
  QString GetWindowsFolder() const;
  QString GetSystemFolder() const;
  QString GetProgramFileFolder() const; // /opt/

protected:
  // A folder of the user-dirs.dirs file (XDG_DOCUMENTS_DIR and the like), with a trailing separator.
  QString UserDirectory(const QString& AKey) const;

private:
  const TSystemSources& FSources;
};
