// SPDX-License-Identifier: GPL-3.0-or-later
// What the program keeps between starts, as the shell opens and closes it: the options, the
// application log of this process and the backup profiles, and reading them again when another
// program (corvale-cli) has changed the store.
#pragma once

#include <QString>

class TBackupRunner;
class TLog;
class TSettingsCycle;

class TShellStore
{
public:
  // The three objects outlive this one.
  TShellStore(TSettingsCycle& ASettings, TBackupRunner& ARunner, TLog& ALog);

  // The options, a new application log, then the profiles; raises what fails.
  void Open();
  // Saves the options and the profiles, then deletes the application log: it records the
  // running process only. Raises what fails; the log is then open again, for what follows.
  void Close();
  // Saves the options and reads them back, as a change in the options dialog needs.
  void SaveApplicationSettings(bool ASaveDefaults);

  void RequestReload() { FReloadPending = true; }
  [[nodiscard]] bool ReloadPending() const { return FReloadPending; }
  // Reads the options and the profiles again when that was asked for; true when it did. Before
  // Open there is nothing to read again (Open reads the store), so the request is dropped.
  [[nodiscard]] bool ReloadIfPending(bool AOpened);

  void Log(const QString& AMessage);
  // Written when the option "Debug" is on.
  void Debug(const QString& AProcedure, const QString& AMessage);

private:
  void StartLog();

  TSettingsCycle& FSettings;
  TBackupRunner& FRunner;
  TLog& FLog;
  bool FReloadPending = false;
};
