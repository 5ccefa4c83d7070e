// SPDX-License-Identifier: GPL-3.0-or-later
// One backup profile: what to back up, where to, how, what to close first, and its e-mails.
// It stores itself in the registry, one key per profile (layout in docs/profile-store.md).
#pragma once

#include "platform/TRegistry.h"
#include "profiles/StoredFields.h"
#include "profiles/TBackupProfileFiles.h"
#include "types/SharedTypes.h"
#include "types/TEmailTemplate.h"
#include "types/TSmtpServer.h"

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
  const QString& ProfileName() const { return FProfileName; }
  void SetProfileName(const QString& AValue) { FProfileName = AValue; }
  THKey RootKey() const { return FRootKey; }
  void SetRootKey(THKey AValue) { FRootKey = AValue; }
  // The key the profile keys live under (the program key).
  const QString& RegistryKey() const { return FRegistryKey; }
  void SetRegistryKey(const QString& AValue) { FRegistryKey = AValue; }
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
  TSmtpServer& SMTPSettings() { return FSMTPSettings; }
  const TSmtpServer& SMTPSettings() const { return FSMTPSettings; }
  bool AlertEmailEnabled() const { return FAlertEmailEnabled; }
  void SetAlertEmailEnabled(bool AValue) { FAlertEmailEnabled = AValue; }
  // When the alert e-mail was last sent successfully; 0 = never.
  TDateTime AlertEmailLastRun() const { return FAlertEmailLastRun; }
  void SetAlertEmailLastRun(TDateTime AValue) { FAlertEmailLastRun = AValue; }
  TEmailTemplate& AlertEmailDetails() { return FAlertEmailDetails; }
  const TEmailTemplate& AlertEmailDetails() const { return FAlertEmailDetails; }
  bool LogEmailEnabled() const { return FLogEmailEnabled; }
  void SetLogEmailEnabled(bool AValue) { FLogEmailEnabled = AValue; }
  TEmailTemplate& LogEmailDetails() { return FLogEmailDetails; }
  const TEmailTemplate& LogEmailDetails() const { return FLogEmailDetails; }
  bool SystemState() const { return FSystemState; }
  void SetSystemState(bool AValue) { FSystemState = AValue; }

  // The two halves of an ActivePrograms entry, split at the first "=".
  static QString ActiveProgramCaption(const QString& AEntry);
  static QString ActiveProgramClass(const QString& AEntry);

  // Storage, in the registry. Save and load raise ERegistryException where the
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

  // The values a profile stores in its own key, in the order they are written, and those of its
  // sub-keys: each entry of "Files" and "FileExclusions", "AlertEmail" and "LogEmail",
  // "SMTPSettings". Their initial values are a new profile's.
  static TStoredFields<TBackupProfile> StoredValues();
  static inline const QString FilesKey = QStringLiteral("Files");
  static inline const QString FileExclusionsKey = QStringLiteral("FileExclusions");
  static inline const QString ActiveProgramsKey = QStringLiteral("Active Programs");
  static inline const QString AlertEmailKey = QStringLiteral("AlertEmail");
  static inline const QString LogEmailKey = QStringLiteral("LogEmail");
  static inline const QString SMTPSettingsKey = QStringLiteral("SMTPSettings");
  static TStoredFields<TBackupProfileFile> StoredEntryValues();
  static TStoredFields<TEmailTemplate> StoredEmailValues();
  static TStoredFields<TSmtpServer> StoredSmtpValues();

  // The reserved name of the two default profiles, and the machine-wide one's place.
  static QString DefaultProfileName();
  static QString MachineDefaultRegistryKey();

private:
  // Absolute path of the key of the profile AProfileName.
  QString ProfileKey(const QString& AProfileName) const;
  bool SaveProfileRegistry();
  bool LoadProfileRegistry(const QString& AProfileName);
  // Copies the fields the default profiles carry.
  void CopyDefaultFields(const TBackupProfile& ASource);

  void Log(const QString& AMessage);
  void Debug(const QString& AProcedure, const QString& AMessage);

  TBackupProfiles* FCollection = nullptr;
  int FProfileVersion = -1;
  // The stored values start as StoredValues() gives them.
  bool FEnabled;
  QString FProfileName;
  THKey FRootKey = HKEY_CURRENT_USER;
  QString FRegistryKey;
  QString FPassword;
  QString FDescription;
  TZipType FZipType;
  QString FZipFile;
  QString FLogFile;
  TDateTime FLastBackup;
  TBackupProfileFiles FFiles;
  TBackupProfileFiles FFileExclusions;
  bool FShowAlerts;
  int FAlertDays;
  QStringList FActivePrograms;
  bool FCloseGracefully;
  int FSpanningSize;
  int FKeepArchives;
  TCompressionLevel FCompressionLevel;
  bool FCustomSMTPSettings;
  TSmtpServer FSMTPSettings;
  bool FAlertEmailEnabled;
  TDateTime FAlertEmailLastRun;
  TEmailTemplate FAlertEmailDetails;
  bool FLogEmailEnabled;
  TEmailTemplate FLogEmailDetails;
  bool FSystemState;
  QString FLoadError;
};
