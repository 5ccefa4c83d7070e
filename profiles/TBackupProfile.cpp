// SPDX-License-Identifier: GPL-3.0-or-later
#include "profiles/TBackupProfile.h"

#include "sysinfo/DateTime.h"
#include "sysinfo/TClock.h"

#include <QScopeGuard>

#include <algorithm>

namespace {

QString SubKey(const QString& AKey, const QString& AName)
{
  return AKey + QLatin1Char('\\') + AName;
}

// Opens a key of a profile that a load may create. Where the hive cannot be written (the
// machine-wide default) an existing key is still read.
bool OpenOrCreate(TRegistry& AReg, const QString& AKey)
{
  return AReg.OpenKey(AKey, true) || AReg.OpenKeyReadOnly(AKey);
}

void WriteEntries(TRegistry& AReg, const QString& AListKey, const TBackupProfileFiles& AFiles)
{
  for (int i = 0; i < AFiles.Count(); ++i) {
    if (AReg.OpenKey(SubKey(AListKey, QString::number(i)), true))
      WriteFields(AReg, *AFiles.GetItem(i), TBackupProfile::StoredEntryValues());
  }
}

// Entries come in the registry's order of the sub-key names, not in numeric order. Their values
// are read without asking whether they exist: a missing flag is a damaged entry.
void ReadEntries(TRegistry& AReg, const QString& AListKey, TBackupProfileFiles& AFiles)
{
  if (!AReg.OpenKey(AListKey, false))
    return;
  const QStringList names = AReg.GetKeyNames();
  for (const QString& name : names) {
    if (!AReg.OpenKey(SubKey(AListKey, name), false))
      continue;
    TBackupProfileFile entry;
    ReadFields(AReg, entry, TBackupProfile::StoredEntryValues(), true);
    AFiles.Add(entry.Folder(), entry.FileMask(), entry.Recursive());
  }
}

} // namespace

TBackupProfile::TBackupProfile(TBackupProfiles* ACollection)
  : FCollection(ACollection)
{
  ResetFields(*this, StoredValues());
}

TStoredFields<TBackupProfile> TBackupProfile::StoredValues()
{
  using T = TBackupProfile;
  static const TStoredField<T> Rows[] = {
      {.Name = "ProfileVersion", .Field = TFixedValue(), .Default = 1},
      {.Name = "Enabled", .Field = &T::FEnabled, .Default = 1},
      {.Name = "Password", .Field = &T::FPassword, .InDefaults = true},
      {.Name = "Description", .Field = &T::FDescription},
      {.Name = "ZipFile", .Field = &T::FZipFile},
      {.Name = "ZipType", .Field = &T::FZipType, .Default = zSeven, .Min = zZip, .Max = zNTBackup},
      {.Name = "LogFile", .Field = &T::FLogFile},
      {.Name = "LastBackup", .Field = &T::FLastBackup},
      {.Name = "ShowAlerts", .Field = &T::FShowAlerts, .Default = 1, .InDefaults = true},
      {.Name = "AlertDays", .Field = &T::FAlertDays, .Default = 7, .Min = 1, .Max = 30, .InDefaults = true},
      {.Name = "CloseGracefully", .Field = &T::FCloseGracefully, .Default = 1, .InDefaults = true},
      {.Name = "AlertEmailEnabled", .Field = &T::FAlertEmailEnabled},
      {.Name = "AlertEmailLastRun", .Field = &T::FAlertEmailLastRun},
      {.Name = "LogEmailEnabled", .Field = &T::FLogEmailEnabled},
      // 2000 MB; the editor takes whole megabytes.
      {.Name = "SpanningSize", .Field = &T::FSpanningSize, .Default = 2097152000},
      {.Name = "KeepArchives", .Field = &T::FKeepArchives, .Default = 0, .Min = 0, .Max = MaxKeepArchives},
      {.Name = "CompressionLevel",
       .Field = &T::FCompressionLevel,
       .Default = clMaximum,
       .Min = clNone,
       .Max = clMaximum},
      {.Name = "CustomSMTPSettings", .Field = &T::FCustomSMTPSettings},
      {.Name = "SystemState", .Field = &T::FSystemState},
  };
  return Rows;
}

TStoredFields<TBackupProfileFile> TBackupProfile::StoredEntryValues()
{
  using T = TBackupProfileFile;
  static const TStoredField<T> Rows[] = {
      {.Name = "folder", .Field = &T::FFolder},
      {.Name = "filemask", .Field = &T::FFileMask},
      {.Name = "recursive", .Field = &T::FRecursive},
  };
  return Rows;
}

TStoredFields<TEmailTemplate> TBackupProfile::StoredEmailValues()
{
  using T = TEmailTemplate;
  static const TStoredField<T> Rows[] = {
      {.Name = "Recipients", .Field = &T::Recipients},
      {.Name = "SenderAddress", .Field = &T::SenderAddress},
      {.Name = "SenderName", .Field = &T::SenderName},
      {.Name = "Subject", .Field = &T::Subject},
      {.Name = "Body", .Field = &T::Body},
  };
  return Rows;
}

TStoredFields<TSmtpServer> TBackupProfile::StoredSmtpValues()
{
  using T = TSmtpServer;
  static const TStoredField<T> Rows[] = {
      {.Name = "SMTPHostname", .Field = &T::Hostname},
      {.Name = "SMTPPort", .Field = &T::Port},
      {.Name = "Username", .Field = &T::Username},
      {.Name = "Password", .Field = &T::Password},
      {.Name = "SMTPAuthentication", .Field = &T::Authentication},
      {.Name = "SMTPSecure", .Field = &T::Secure},
  };
  return Rows;
}

TBackupProfile::~TBackupProfile() = default;

QString TBackupProfile::DefaultProfileName()
{
  return QStringLiteral(".Default");
}

QString TBackupProfile::MachineDefaultRegistryKey()
{
  return QStringLiteral(".Default\\Software\\Quenfield\\Orvel");
}

QString TBackupProfile::ActiveProgramCaption(const QString& AEntry)
{
  const qsizetype index = AEntry.indexOf(QLatin1Char('='));
  return index < 0 ? AEntry : AEntry.left(index);
}

QString TBackupProfile::ActiveProgramClass(const QString& AEntry)
{
  const qsizetype index = AEntry.indexOf(QLatin1Char('='));
  return index < 0 ? QString() : AEntry.mid(index + 1);
}

void TBackupProfile::Log(const QString& AMessage)
{
  if (OnLog)
    OnLog(this, AMessage);
}

void TBackupProfile::Debug(const QString& AProcedure, const QString& AMessage)
{
  if (OnDebug)
    OnDebug(this, AProcedure, AMessage);
}

QString TBackupProfile::ProfileKey(const QString& AProfileName) const
{
  // Always from the root of the hive, so that the keys below the profile key can be opened by
  // their whole path whichever key is open at the time.
  QString key = FRegistryKey;
  if (!key.startsWith(QLatin1Char('\\')))
    key.prepend(QLatin1Char('\\'));
  if (!key.endsWith(QLatin1Char('\\')))
    key.append(QLatin1Char('\\'));
  return key + AProfileName;
}

bool TBackupProfile::SaveProfile()
{
  Log(QStringLiteral("Saving Profile: ") + FProfileName);
  if (IsDamaged()) {
    Log(QStringLiteral("Profile not saved, its stored values could not be read: ") + FProfileName);
    return false;
  }
  return SaveProfileRegistry();
}

bool TBackupProfile::LoadProfile()
{
  return LoadProfile(FProfileName);
}

bool TBackupProfile::LoadProfile(const QString& AProfileName)
{
  Log(QStringLiteral("Loading Profile: ") + AProfileName);
  Debug(QStringLiteral("LoadProfile"), AProfileName);
  return LoadProfileRegistry(AProfileName) && CheckProfile();
}

bool TBackupProfile::DeleteProfile()
{
  return DeleteProfile(FProfileName);
}

bool TBackupProfile::CheckProfile()
{
  return true;
}

bool TBackupProfile::SaveProfileRegistry()
{
  if (FProfileName.isEmpty())
    return false;
  const QString key = ProfileKey(FProfileName);
  TRegistry reg(FRootKey);
  // One transaction: another process (the tray program and the terminal program share the
  // store) sees the old profile or the new one, never one whose lists are half rewritten. An
  // exception leaves it uncommitted, and the store as it was.
  if (!reg.BeginTransaction())
    return false;
  if (!reg.OpenKey(key, true)) {
    reg.RollbackTransaction();
    return false;
  }

  WriteFields(reg, *this, StoredValues());

  // Every sub-key is rewritten, so that the entries of a list that has shrunk do not survive.
  bool cleared = true;
  const QStringList subKeys = reg.GetKeyNames();
  for (const QString& name : subKeys)
    cleared = reg.DeleteKey(SubKey(key, name)) && cleared;

  WriteEntries(reg, SubKey(key, FilesKey), FFiles);
  WriteEntries(reg, SubKey(key, FileExclusionsKey), FFileExclusions);
  for (const QString& entry : std::as_const(FActivePrograms)) {
    if (reg.OpenKey(SubKey(key, ActiveProgramsKey), true))
      reg.WriteString(ActiveProgramCaption(entry), ActiveProgramClass(entry));
  }
  if (reg.OpenKey(SubKey(key, AlertEmailKey), true))
    WriteFields(reg, FAlertEmailDetails, StoredEmailValues());
  if (reg.OpenKey(SubKey(key, LogEmailKey), true))
    WriteFields(reg, FLogEmailDetails, StoredEmailValues());
  if (reg.OpenKey(SubKey(key, SMTPSettingsKey), true))
    WriteFields(reg, FSMTPSettings, StoredSmtpValues());
  // A stale entry that could not be removed would come back at the next load.
  if (!cleared) {
    reg.RollbackTransaction();
    return false;
  }
  return reg.CommitTransaction();
}

bool TBackupProfile::LoadProfileRegistry(const QString& AProfileName)
{
  if (AProfileName.isEmpty())
    return false;
  FProfileName = AProfileName;
  FFiles.Clear();
  FFileExclusions.Clear();
  const QString key = ProfileKey(AProfileName);
  TRegistry reg(FRootKey);
  // Read in one transaction, so that a save by another process is seen whole or not at all. A
  // store that cannot start one (read-only) is read as it is.
  const bool transaction = reg.BeginTransaction();
  if (!reg.OpenKey(key, false))
    return false;

  try {
    ReadFields(reg, *this, StoredValues());
    FKeepArchives = std::clamp(FKeepArchives, 0, MaxKeepArchives);
    ReadEntries(reg, SubKey(key, FilesKey), FFiles);
    ReadEntries(reg, SubKey(key, FileExclusionsKey), FFileExclusions);

    if (OpenOrCreate(reg, SubKey(key, ActiveProgramsKey))) {
      QStringList programs;
      const QStringList names = reg.GetValueNames();
      for (const QString& name : names)
        programs.append(name + QLatin1Char('=') + reg.ReadString(name));
      FActivePrograms = programs;
    }
    if (OpenOrCreate(reg, SubKey(key, AlertEmailKey)))
      ReadFields(reg, FAlertEmailDetails, StoredEmailValues());
    if (OpenOrCreate(reg, SubKey(key, LogEmailKey)))
      ReadFields(reg, FLogEmailDetails, StoredEmailValues());
    if (OpenOrCreate(reg, SubKey(key, SMTPSettingsKey)))
      ReadFields(reg, FSMTPSettings, StoredSmtpValues());
  } catch (const ERegistryException& e) {
    FLoadError = e.Message();
    throw;
  }

  if (transaction && !reg.CommitTransaction())
    return false;
  FProfileVersion = 1;
  FLoadError.clear();
  return true;
}

bool TBackupProfile::DeleteProfile(const QString& AProfileName)
{
  if (AProfileName.isEmpty())
    return false;
  const QString key = ProfileKey(AProfileName);
  TRegistry reg(FRootKey);
  if (!reg.KeyExists(key))
    return false;
  return reg.DeleteKey(key);
}

void TBackupProfile::CopyDefaultFields(const TBackupProfile& ASource)
{
  ::CopyDefaultFields(*this, ASource, StoredValues());
  FActivePrograms = ASource.FActivePrograms;
}

void TBackupProfile::LoadDefaults()
{
  {
    // The machine-wide default, loaded into this profile in place.
    const THKey rootKey = FRootKey;
    const QString registryKey = FRegistryKey;
    const QString profileName = FProfileName;
    const QString loadError = FLoadError;
    const auto restore = qScopeGuard([&] {
      FRootKey = rootKey;
      FRegistryKey = registryKey;
      FProfileName = profileName;
      FLoadError = loadError;
    });
    FRootKey = HKEY_USERS;
    FRegistryKey = MachineDefaultRegistryKey();
    // Every user can read the machine-wide default: a password there is no secret and is not
    // taken over; this profile keeps its own.
    const QString ownPassword = FPassword;
    const QString ownSMTPPassword = FSMTPSettings.Password;
    FPassword.clear();
    FSMTPSettings.Password.clear();
    try {
      (void)LoadProfile(DefaultProfileName());
    } catch (const ERegistryException& e) {
      // A damaged default must not keep new profiles from being made.
      Log(QStringLiteral("Failed to load profile: ") + DefaultProfileName() + QStringLiteral(", Error: ") +
          e.Message());
    }
    if (!FPassword.isEmpty() || !FSMTPSettings.Password.isEmpty())
      Log(QStringLiteral("The machine-wide default profile holds a password, which every user can read; it was not "
                         "used."));
    FPassword = ownPassword;
    FSMTPSettings.Password = ownSMTPPassword;
  }

  TBackupProfile defaults;
  defaults.SetRootKey(FRootKey);
  defaults.SetRegistryKey(FRegistryKey);
  try {
    if (!defaults.LoadProfile(DefaultProfileName()))
      return;
  } catch (const ERegistryException& e) {
    Log(QStringLiteral("Failed to load profile: ") + DefaultProfileName() + QStringLiteral(", Error: ") + e.Message());
    return;
  }
  CopyDefaultFields(defaults);
}

bool TBackupProfile::SaveAsDefaults()
{
  TBackupProfile defaults;
  defaults.SetRootKey(FRootKey);
  defaults.SetRegistryKey(FRegistryKey);
  defaults.SetProfileName(DefaultProfileName());
  defaults.CopyDefaultFields(*this);
  return defaults.SaveProfile();
}

bool TBackupProfile::IsBackupOverdue()
{
  bool result = false;
  if (FShowAlerts && FEnabled) {
    Debug(QStringLiteral("IsBackupOverdue"), FProfileName + QStringLiteral(", Last Backup: ") + DateToStr(FLastBackup));
    // The time of day of the last backup stays part of the due moment.
    const TDateTime due = FLastBackup + FAlertDays;
    Debug(QStringLiteral("IsBackupOverdue"), FProfileName + QStringLiteral(", Due Date: ") + DateToStr(due));
    result = TClock::Date() >= due;
  }
  Debug(QStringLiteral("IsBackupOverdue"), FProfileName + QStringLiteral(", Result: ") + BoolToStr(result));
  return result;
}
