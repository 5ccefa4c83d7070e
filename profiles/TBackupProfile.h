// SPDX-License-Identifier: GPL-3.0-or-later
// One backup profile: what to back up, where to, how, what to close first, and its e-mails.
// It stores itself in the registry, one key per profile (layout in docs/profile-store.md).
#pragma once

#include "platform/TRegistry.h"
#include "profiles/TBackupProfileEmailDetails.h"
#include "profiles/TBackupProfileFiles.h"
#include "profiles/TBackupProfileSMTPSettings.h"
#include "sysinfo/SharedTypes.h"

#include <QObject>
#include <QString>
#include <QStringList>

class TBackupProfiles;

class TBackupProfile : public QObject
{
  Q_OBJECT

public:
  // The owning collection, or nullptr for a profile that lives on its own for a moment.
  explicit TBackupProfile(TBackupProfiles* ACollection = nullptr);
  ~TBackupProfile() override;

  TBackupProfiles* Collection() const { return FCollection; }

  // -1 until the profile has been loaded from the registry, 1 after.
  int ProfileVersion() const { return FProfileVersion; }

  TOnLog OnLog;
  TOnDebug OnDebug;

  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool AValue) { FEnabled = AValue; }
  TBackupProfileStorageType StorageType() const { return FStorageType; }
  void SetStorageType(TBackupProfileStorageType AValue) { FStorageType = AValue; }
  const QString& ProfileName() const { return FProfileName; }
  void SetProfileName(const QString& AValue) { FProfileName = AValue; }
  THKey RootKey() const { return FRootKey; }
  void SetRootKey(THKey AValue) { FRootKey = AValue; }
  // The key the profile keys live under (the program key).
  const QString& RegistryKey() const { return FRegistryKey; }
  void SetRegistryKey(const QString& AValue) { FRegistryKey = AValue; }
  const QString& INIFileName() const { return FINIFileName; }
  void SetINIFileName(const QString& AValue) { FINIFileName = AValue; }
  // The archive password, for ZIP and 7z archives.
  const QString& Password() const { return FPassword; }
  void SetPassword(const QString& AValue) { FPassword = AValue; }
  const QString& Description() const { return FDescription; }
  void SetDescription(const QString& AValue) { FDescription = AValue; }
  TZipType ZipType() const { return FZipType; }
  void SetZipType(TZipType AValue) { FZipType = AValue; }
  const QString& ZipFile() const { return FZipFile; }
  void SetZipFile(const QString& AValue) { FZipFile = AValue; }
  // The log file of the most recent run.
  const QString& LogFile() const { return FLogFile; }
  void SetLogFile(const QString& AValue) { FLogFile = AValue; }
  // When the last run completed successfully; 0 = never.
  TDateTime LastBackup() const { return FLastBackup; }
  void SetLastBackup(TDateTime AValue) { FLastBackup = AValue; }
  TBackupProfileFiles& Files() { return FFiles; }
  const TBackupProfileFiles& Files() const { return FFiles; }
  TBackupProfileFiles& FileExclusions() { return FFileExclusions; }
  const TBackupProfileFiles& FileExclusions() const { return FFileExclusions; }
  bool ShowAlerts() const { return FShowAlerts; }
  void SetShowAlerts(bool AValue) { FShowAlerts = AValue; }
  // Days after LastBackup at which the backup is overdue.
  int AlertDays() const { return FAlertDays; }
  void SetAlertDays(int AValue) { FAlertDays = AValue; }
  // Programs to close before a run, one "window caption=window class" entry each.
  QStringList& ActivePrograms() { return FActivePrograms; }
  const QStringList& ActivePrograms() const { return FActivePrograms; }
  bool CloseGracefully() const { return FCloseGracefully; }
  void SetCloseGracefully(bool AValue) { FCloseGracefully = AValue; }
  // Archive volume size in bytes.
  int SpanningSize() const { return FSpanningSize; }
  void SetSpanningSize(int AValue) { FSpanningSize = AValue; }
  // How many earlier archives are kept beside the newest; 0 replaces the archive each run.
  static constexpr int MaxKeepArchives = 999;
  int KeepArchives() const { return FKeepArchives; }
  void SetKeepArchives(int AValue) { FKeepArchives = AValue; }
  TCompressionLevel CompressionLevel() const { return FCompressionLevel; }
  void SetCompressionLevel(TCompressionLevel AValue) { FCompressionLevel = AValue; }
  // Send this profile's e-mails through SMTPSettings rather than the program-wide server.
  bool CustomSMTPSettings() const { return FCustomSMTPSettings; }
  void SetCustomSMTPSettings(bool AValue) { FCustomSMTPSettings = AValue; }
  TBackupProfileSMTPSettings& SMTPSettings() { return FSMTPSettings; }
  const TBackupProfileSMTPSettings& SMTPSettings() const { return FSMTPSettings; }
  bool AlertEmailEnabled() const { return FAlertEmailEnabled; }
  void SetAlertEmailEnabled(bool AValue) { FAlertEmailEnabled = AValue; }
  // When the alert e-mail was last sent successfully; 0 = never.
  TDateTime AlertEmailLastRun() const { return FAlertEmailLastRun; }
  void SetAlertEmailLastRun(TDateTime AValue) { FAlertEmailLastRun = AValue; }
  TBackupProfileEmailDetails& AlertEmailDetails() { return FAlertEmailDetails; }
  const TBackupProfileEmailDetails& AlertEmailDetails() const { return FAlertEmailDetails; }
  bool LogEmailEnabled() const { return FLogEmailEnabled; }
  void SetLogEmailEnabled(bool AValue) { FLogEmailEnabled = AValue; }
  TBackupProfileEmailDetails& LogEmailDetails() { return FLogEmailDetails; }
  const TBackupProfileEmailDetails& LogEmailDetails() const { return FLogEmailDetails; }
  bool SystemState() const { return FSystemState; }
  void SetSystemState(bool AValue) { FSystemState = AValue; }

  // The two halves of an ActivePrograms entry, split at the first "=".
  static QString ActiveProgramCaption(const QString& AEntry);
  static QString ActiveProgramClass(const QString& AEntry);

  // Storage, in the profile's StorageType. Save and load raise ERegistryException where the
  // registry cannot be written or holds a value of another type than the layout gives.
  [[nodiscard]] bool SaveProfile();
  [[nodiscard]] bool LoadProfile();
  [[nodiscard]] bool LoadProfile(const QString& AProfileName);
  [[nodiscard]] bool DeleteProfile();
  [[nodiscard]] bool DeleteProfile(const QString& AProfileName);

  // Run after every successful load; accepts every profile.
  [[nodiscard]] bool CheckProfile();

  // Whether the profile's alert is due today (ShowAlerts and Enabled, the day after the due
  // moment has begun).
  [[nodiscard]] bool IsBackupOverdue();

  // Takes the machine-wide default profile, then five fields of the user's own default.
  void LoadDefaults();
  // Writes the five default fields of this profile as the user's own default profile.
  [[nodiscard]] bool SaveAsDefaults();

  // The error that ended the last load from the registry, empty when it loaded or was never
  // loaded. Such a profile holds only part of its stored values, so SaveProfile refuses to write
  // it over the stored ones until ClearLoadError says the user has looked at it and wants it saved.
  const QString& LoadError() const { return FLoadError; }
  bool IsDamaged() const { return !FLoadError.isEmpty(); }
  void ClearLoadError() { FLoadError.clear(); }

  // The reserved name of the two default profiles, and the machine-wide one's place.
  static QString DefaultProfileName();
  static QString MachineDefaultRegistryKey();

private:
  // Absolute path of the key of the profile AProfileName.
  QString ProfileKey(const QString& AProfileName) const;
  bool SaveProfileRegistry();
  bool LoadProfileRegistry(const QString& AProfileName);
  bool DeleteProfileRegistry(const QString& AProfileName);
  bool SaveProfileINI();
  bool LoadProfileINI(const QString& AProfileName);
  bool DeleteProfileINI(const QString& AProfileName);
  // Copies the five fields the default profiles carry.
  void CopyDefaultFields(const TBackupProfile& ASource);

  void Log(const QString& AMessage);
  void Debug(const QString& AProcedure, const QString& AMessage);

  TBackupProfiles* FCollection = nullptr;
  int FProfileVersion = -1;
  bool FEnabled = true;
  TBackupProfileStorageType FStorageType = stRegistry;
  QString FProfileName;
  THKey FRootKey = HKEY_CURRENT_USER;
  QString FRegistryKey;
  QString FINIFileName;
  QString FPassword;
  QString FDescription;
  TZipType FZipType = zSeven;
  QString FZipFile;
  QString FLogFile;
  TDateTime FLastBackup = 0;
  TBackupProfileFiles FFiles;
  TBackupProfileFiles FFileExclusions;
  bool FShowAlerts = true;
  int FAlertDays = 7;
  QStringList FActivePrograms;
  bool FCloseGracefully = true;
  int FSpanningSize = 2097152000;
  int FKeepArchives = 0;
  TCompressionLevel FCompressionLevel = clMaximum;
  bool FCustomSMTPSettings = false;
  TBackupProfileSMTPSettings FSMTPSettings;
  bool FAlertEmailEnabled = false;
  TDateTime FAlertEmailLastRun = 0;
  TBackupProfileEmailDetails FAlertEmailDetails;
  bool FLogEmailEnabled = false;
  TBackupProfileEmailDetails FLogEmailDetails;
  bool FSystemState = false;
  QString FLoadError;
};
