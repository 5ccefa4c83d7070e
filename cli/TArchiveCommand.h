// SPDX-License-Identifier: GPL-3.0-or-later
// "corvale-cli verify" and "corvale-cli restore": check a profile's archive by reading all of it
// back, or restore it into a folder, with a live progress line on a terminal. Ctrl-C cancels.
#pragma once

#include <QString>
#include <QStringList>

class TBackupProfile;

class TArchiveCommand
{
public:
  explicit TArchiveCommand(const TBackupProfile& AProfile);

  // 0 the archive is sound, 1 damaged or missing, 2 cancelled.
  int Verify();
  // 0 every selected entry restored, 1 some not (each is named), 2 cancelled.
  int Restore(const QString& ATarget, const QStringList& APatterns, bool AOverwrite);
  // Root only: keep setuid, setgid and sticky bits and ignore the umask when restoring.
  void SetKeepSpecialModes(bool AKeep) { FKeepSpecialModes = AKeep; }

private:
  void ShowProgress(const QString& AVerb, const QString& AEntry, int APerCent);
  void ShowLine(const QString& AText);
  void ClearProgress();

  const TBackupProfile& FProfile;
  bool FLive = false;
  bool FKeepSpecialModes = false;
  QString FShownProgress;
};
