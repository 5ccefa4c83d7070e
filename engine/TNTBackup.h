// SPDX-License-Identifier: GPL-3.0-or-later
// Hands a backup to the system backup program "ntbackup": writes its selection file and starts
// it with the job's command line. The engine uses it for its "ntbackup" archive type.
#pragma once

#include "engine/BackupTypes.h"
#include "types/SharedTypes.h"

#include <QObject>
#include <QString>
#include <QStringList>

class TBackupFiles;

class TNTBackup
{
public:
  // ASender is reported as the sender of every event; AFiles and AExclusions are the engine's
  // entries and must outlive this object.
  TNTBackup(QObject* ASender, const TBackupFiles& AFiles, const TBackupFiles& AExclusions);

  const QString& ZipFileName() const { return FZipFileName; }
  void SetZipFileName(const QString& AValue) { FZipFileName = AValue; }
  bool SystemState() const { return FSystemState; }
  void SetSystemState(bool AValue) { FSystemState = AValue; }

  // Runs "ntbackup" once into ABkfFile (empty: the system-state file or ZipFileName) and waits for
  // it. True when it started and exited with status 0. Raises EBackupException when the
  // selection file cannot be written; OnNTBackupFinished is raised in every case.
  [[nodiscard]] bool RunNTBackup(const QString& ABkfFile, bool ASystemStateOnly, bool AHidden);
  // Writes the selection file ABksFile (UTF-16LE, CR LF after every line), a new file that
  // replaces no link; true when it exists.
  [[nodiscard]] bool GenerateBKSFile(const QString& ABksFile);
  // ZipFileName without its folder and extension: the job name.
  QString BaseName() const;

  TOnBackupLog OnLog;
  TOnBackupFileList OnBackupFileList;
  TNotifyEvent OnNTBackupStart;
  TNotifyEvent OnNTBackupFinished;

private:
  void Log(const QString& AMessage, int AErrorCode);
  [[nodiscard]] bool Execute(const QStringList& AArguments, bool AHidden);

  QObject* FSender;
  const TBackupFiles& FFiles;
  const TBackupFiles& FExclusions;
  QString FZipFileName;
  bool FSystemState = false;
};
