// SPDX-License-Identifier: GPL-3.0-or-later
// "corvale-cli verify" and "corvale-cli restore": check a profile's archive by reading all of it
// back, or restore it into a folder, with a live progress line on a terminal. Ctrl-C cancels.
// Both work on one generation: 0 the newest archive, 1, 2... the kept ones from the most recent;
// "corvale-cli generations" lists them.
#pragma once

#include <QString>
#include <QStringList>

class TBackupProfile;

class TArchiveCommand
{
public:
  explicit TArchiveCommand(const TBackupProfile& AProfile);

  // 0 the archive is sound, 1 damaged or missing (or no such generation), 2 cancelled.
  int Verify(int AGeneration = 0);
  // 0 every selected entry restored, 1 some not (each is named) or no such generation, 2 cancelled.
  int Restore(const QString& ATarget, const QStringList& APatterns, bool AOverwrite, int AGeneration = 0);
  // One line per generation, newest first: index, date and time, size of all files, (first) file.
  int Generations();
  // Root only: keep setuid, setgid and sticky bits and ignore the umask when restoring.
  void SetKeepSpecialModes(bool AKeep) { FKeepSpecialModes = AKeep; }

private:
  // The archive of generation AGeneration, as the readers take it; empty after saying how many
  // there are when there is no such generation.
  QString ArchiveOf(int AGeneration);
  bool Volumes() const;

  void ShowProgress(const QString& AVerb, const QString& AEntry, int APerCent);
  void ShowLine(const QString& AText);
  void ClearProgress();

  const TBackupProfile& FProfile;
  bool FLive = false;
  bool FKeepSpecialModes = false;
  QString FShownProgress;
};
