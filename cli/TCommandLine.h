// SPDX-License-Identifier: GPL-3.0-or-later
// The commands of corvale-cli. They use the program's own core, store and log folder, so that
// what they do cannot be told apart from the same thing done from the tray.
#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class TBackupProfile;
class TBackupProfileManager;
class TProgramSettings;

class TCommandLine
{
public:
  enum TExitStatus : int { esComplete = 0, esFailed = 1, esCancelled = 2, esUsage = 3 };

  TCommandLine();
  ~TCommandLine();

  // AArguments without the program name; returns the exit status.
  int Run(const QStringList& AArguments);

  static QString Usage();

private:
  int List();
  int Overdue();
  int Backup(const QStringList& AArguments);
  int Export(const QString& AFileName);
  int Import(const QString& AFileName, bool AReplace);
  // Sends the profile's log e-mail now and says what the server answered.
  int MailTest(const QString& AProfileName);
  int Verify(const QStringList& AArguments);
  int Restore(const QStringList& AArguments);
  int Generations(const QString& AProfileName);
  // Removes "--generation K" (or "--generation=K") from AArguments, before any "--"; false after
  // saying why when K is not a number from 0.
  bool TakeGeneration(QStringList& AArguments, int& AGeneration);
  // The named profile when it writes a ZIP or 7z archive; otherwise null, after saying why.
  TBackupProfile* ArchiveProfile(const QString& AName);
  // Reads the options and the profiles as the tray program does at start-up.
  bool LoadConfiguration();
  // Tells a running tray program that the store changed, so that it reads it again instead of
  // writing its older copy over it when it exits. AUnseen says what happens when it cannot be told.
  static void NotifyRunningProgram(const QString& AUnseen);
  int UsageError(const QString& AMessage);
  int ConfigurationError(const QString& AMessage);

  std::unique_ptr<TProgramSettings> FSettings;
  std::unique_ptr<TBackupProfileManager> FManager;
};
