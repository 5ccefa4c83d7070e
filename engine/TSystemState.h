// SPDX-License-Identifier: GPL-3.0-or-later
// Collects what a user needs to set a Linux machine up again into one tar file: the package
// selections, the manually installed packages, the enabled systemd units, the user's crontab
// and the readable files of /etc. docs/system-state.md describes the file and how to restore.
#pragma once

#include "engine/BackupTypes.h"

#include <QObject>
#include <QString>

class TSystemState
{
public:
  explicit TSystemState(QObject* ASender);

  // The folder whose readable files join the state as "etc/"; /etc unless a test says otherwise.
  const QString& EtcFolder() const { return FEtcFolder; }
  void SetEtcFolder(const QString& AValue) { FEtcFolder = AValue; }

  // Writes the state into ATarFile, which must not exist yet (mode 0600; a run's private folder
  // holds it). A part that cannot be collected is named through OnLog and left out; false only
  // when the tar file itself could not be written.
  [[nodiscard]] bool Collect(const QString& ATarFile);

  TOnBackupLog OnLog;

private:
  void Log(const QString& AMessage, int AErrorCode);
  // Runs AArguments with its output into AFolder/AFile; false (and logged) when it failed.
  bool CollectPart(const QString& AFolder, const QString& AFile, const QStringList& AArguments);

  QObject* FSender;
  QString FEtcFolder = QStringLiteral("/etc");
};
