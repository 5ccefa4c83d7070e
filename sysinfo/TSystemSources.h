// SPDX-License-Identifier: GPL-3.0-or-later
// Where the application-discovery queries look: the home folder, the environment, the package
// database, extra folders of exported .desktop files and the runner for desktop helpers. The real
// sources come from Current(); tests build their own around a fake home folder.
#pragma once

#include "sysinfo/TCommandRunner.h"

#include <QString>
#include <QStringList>

class TSystemSources
{
public:
  // The process's own home, environment (in block order), /var/lib/dpkg/status and the system
  // folders where flatpak and snap export their .desktop files.
  static TSystemSources Current(TCommandRunner& ARunner);

  TSystemSources(const QString& AHome, const QStringList& AEnvironment, const QString& ADpkgStatusFile,
                 const QStringList& AExportFolders, TCommandRunner& ARunner);

  // Without trailing separators.
  const QString& Home() const { return FHome; }
  const QStringList& Environment() const { return FEnvironment; }
  const QString& DpkgStatusFile() const { return FDpkgStatusFile; }
  TCommandRunner& Runner() const { return *FRunner; }

  // Value of a variable; empty when it is not set.
  QString Variable(const QString& AName) const;

  // $XDG_DATA_HOME, $XDG_CONFIG_HOME (relative values ignored, as the base-directory rules say)
  // and the data folders to search for .desktop files: the data home, $XDG_DATA_DIRS and the
  // export folders, each once, without trailing separators.
  QString DataHome() const;
  QString ConfigHome() const;
  QStringList DataFolders() const;

private:
  QString AbsoluteVariable(const QString& AName, const QString& ADefault) const;

  QString FHome;
  QStringList FEnvironment;
  QString FDpkgStatusFile;
  QStringList FExportFolders;
  TCommandRunner* FRunner;
};
