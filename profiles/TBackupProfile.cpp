// SPDX-License-Identifier: GPL-3.0-or-later
#include "profiles/TBackupProfile.h"

#include "sysinfo/DateTime.h"
#include "sysinfo/TClock.h"

#include <QScopeGuard>

#include <algorithm>

namespace {

const QString FilesKey = QStringLiteral("Files");
const QString FileExclusionsKey = QStringLiteral("FileExclusions");
const QString ActiveProgramsKey = QStringLiteral("Active Programs");
const QString AlertEmailKey = QStringLiteral("AlertEmail");
const QString LogEmailKey = QStringLiteral("LogEmail");
const QString SMTPSettingsKey = QStringLiteral("SMTPSettings");

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
    if (!AReg.OpenKey(SubKey(AListKey, QString::number(i)), true))
      continue;
    const TBackupProfileFile* entry = AFiles.GetItem(i);
    AReg.WriteString(QStringLiteral("folder"), entry->Folder());
    AReg.WriteString(QStringLiteral("filemask"), entry->FileMask());
    AReg.WriteBool(QStringLiteral("recursive"), entry->Recursive());
  }
}

// Entries come in the registry's order of the sub-key names, not in numeric order.
void ReadEntries(TRegistry& AReg, const QString& AListKey, TBackupProfileFiles& AFiles)
{
  if (!AReg.OpenKey(AListKey, false))
    return;
  const QStringList names = AReg.GetKeyNames();
  for (const QString& name : names) {
    if (!AReg.OpenKey(SubKey(AListKey, name), false))
      continue;
    const bool recursive = AReg.ReadBool(QStringLiteral("recursive"));
    const QString fileMask = AReg.ReadString(QStringLiteral("filemask"));
    const QString folder = AReg.ReadString(QStringLiteral("folder"));
    AFiles.Add(folder, fileMask, recursive);
  }
}

void WriteEmail(TRegistry& AReg, const TBackupProfileEmailDetails& AEmail)
{
  AReg.WriteString(QStringLiteral("Recipients"), AEmail.Recipients());
  AReg.WriteString(QStringLiteral("SenderAddress"), AEmail.SenderAddress());
  AReg.WriteString(QStringLiteral("SenderName"), AEmail.SenderName());
  AReg.WriteString(QStringLiteral("Subject"), AEmail.Subject());
  AReg.WriteString(QStringLiteral("Body"), AEmail.Body());
}

// Reads the named string value when it exists, leaving the field as it was otherwise.
template <typename TSetter> void ReadStringIfExists(TRegistry& AReg, const QString& AName, TSetter ASetter)
{
  if (AReg.ValueExists(AName))
    ASetter(AReg.ReadString(AName));
}

void ReadEmail(TRegistry& AReg, TBackupProfileEmailDetails& AEmail)
{
  ReadStringIfExists(AReg, QStringLiteral("Recipients"), [&](const QString& v) { AEmail.SetRecipients(v); });
  ReadStringIfExists(AReg, QStringLiteral("SenderAddress"), [&](const QString& v) { AEmail.SetSenderAddress(v); });
  ReadStringIfExists(AReg, QStringLiteral("SenderName"), [&](const QString& v) { AEmail.SetSenderName(v); });
  ReadStringIfExists(AReg, QStringLiteral("Subject"), [&](const QString& v) { AEmail.SetSubject(v); });
  ReadStringIfExists(AReg, QStringLiteral("Body"), [&](const QString& v) { AEmail.SetBody(v); });
}

void WriteSMTPSettings(TRegistry& AReg, const TBackupProfileSMTPSettings& ASettings)
{
  AReg.WriteString(QStringLiteral("SMTPHostname"), ASettings.SMTPHostname());
  AReg.WriteInteger(QStringLiteral("SMTPPort"), ASettings.SMTPPort());
  AReg.WriteString(QStringLiteral("Username"), ASettings.Username());
  AReg.WriteString(QStringLiteral("Password"), ASettings.Password());
  AReg.WriteBool(QStringLiteral("SMTPAuthentication"), ASettings.SMTPAuthentication());
  AReg.WriteBool(QStringLiteral("SMTPSecure"), ASettings.SMTPSecure());
}

void ReadSMTPSettings(TRegistry& AReg, TBackupProfileSMTPSettings& ASettings)
{
  ReadStringIfExists(AReg, QStringLiteral("SMTPHostname"), [&](const QString& v) { ASettings.SetSMTPHostname(v); });
  if (AReg.ValueExists(QStringLiteral("SMTPPort")))
    ASettings.SetSMTPPort(AReg.ReadInteger(QStringLiteral("SMTPPort")));
  ReadStringIfExists(AReg, QStringLiteral("Username"), [&](const QString& v) { ASettings.SetUsername(v); });
  ReadStringIfExists(AReg, QStringLiteral("Password"), [&](const QString& v) { ASettings.SetPassword(v); });
  if (AReg.ValueExists(QStringLiteral("SMTPAuthentication")))
    ASettings.SetSMTPAuthentication(AReg.ReadBool(QStringLiteral("SMTPAuthentication")));
  if (AReg.ValueExists(QStringLiteral("SMTPSecure")))
    ASettings.SetSMTPSecure(AReg.ReadBool(QStringLiteral("SMTPSecure")));
}

} // namespace

TBackupProfile::TBackupProfile(TBackupProfiles* ACollection)
  : FCollection(ACollection)
{}

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
  switch (FStorageType) {
  case stRegistry:
    return SaveProfileRegistry();
  case stINI:
    return SaveProfileINI();
  }
  return false;
}

bool TBackupProfile::LoadProfile()
{
  return LoadProfile(FProfileName);
}

bool TBackupProfile::LoadProfile(const QString& AProfileName)
{
  Log(QStringLiteral("Loading Profile: ") + AProfileName);
  Debug(QStringLiteral("LoadProfile"), AProfileName);
  bool result = false;
  switch (FStorageType) {
  case stRegistry:
    result = LoadProfileRegistry(AProfileName);
    break;
  case stINI:
    result = LoadProfileINI(AProfileName);
    break;
  }
  return result && CheckProfile();
}

bool TBackupProfile::DeleteProfile()
{
  return DeleteProfile(FProfileName);
}

bool TBackupProfile::DeleteProfile(const QString& AProfileName)
{
  switch (FStorageType) {
  case stRegistry:
    return DeleteProfileRegistry(AProfileName);
  case stINI:
    return DeleteProfileINI(AProfileName);
  }
  return false;
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

  reg.WriteInteger(QStringLiteral("ProfileVersion"), 1);
  reg.WriteBool(QStringLiteral("Enabled"), FEnabled);
  reg.WriteString(QStringLiteral("Password"), FPassword);
  reg.WriteString(QStringLiteral("Description"), FDescription);
  reg.WriteString(QStringLiteral("ZipFile"), FZipFile);
  reg.WriteInteger(QStringLiteral("ZipType"), FZipType);
  reg.WriteString(QStringLiteral("LogFile"), FLogFile);
  reg.WriteDateTime(QStringLiteral("LastBackup"), FLastBackup);
  reg.WriteBool(QStringLiteral("ShowAlerts"), FShowAlerts);
  reg.WriteInteger(QStringLiteral("AlertDays"), FAlertDays);
  reg.WriteBool(QStringLiteral("CloseGracefully"), FCloseGracefully);
  reg.WriteBool(QStringLiteral("AlertEmailEnabled"), FAlertEmailEnabled);
  reg.WriteDateTime(QStringLiteral("AlertEmailLastRun"), FAlertEmailLastRun);
  reg.WriteBool(QStringLiteral("LogEmailEnabled"), FLogEmailEnabled);
  reg.WriteInteger(QStringLiteral("SpanningSize"), FSpanningSize);
  reg.WriteInteger(QStringLiteral("KeepArchives"), FKeepArchives);
  reg.WriteInteger(QStringLiteral("CompressionLevel"), FCompressionLevel);
  reg.WriteBool(QStringLiteral("CustomSMTPSettings"), FCustomSMTPSettings);
  reg.WriteBool(QStringLiteral("SystemState"), FSystemState);

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
    WriteEmail(reg, FAlertEmailDetails);
  if (reg.OpenKey(SubKey(key, LogEmailKey), true))
    WriteEmail(reg, FLogEmailDetails);
  if (reg.OpenKey(SubKey(key, SMTPSettingsKey), true))
    WriteSMTPSettings(reg, FSMTPSettings);
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
    const auto readBool = [&reg](const QString& AName, bool& AField) {
      if (reg.ValueExists(AName))
        AField = reg.ReadBool(AName);
    };
    const auto readInteger = [&reg](const QString& AName, int& AField) {
      if (reg.ValueExists(AName))
        AField = reg.ReadInteger(AName);
    };
    const auto readString = [&reg](const QString& AName, QString& AField) {
      if (reg.ValueExists(AName))
        AField = reg.ReadString(AName);
    };
    const auto readDate = [&reg](const QString& AName, TDateTime& AField) {
      if (reg.ValueExists(AName))
        AField = reg.ReadDateTime(AName);
    };
    readInteger(QStringLiteral("ProfileVersion"), FProfileVersion);
    readBool(QStringLiteral("Enabled"), FEnabled);
    // Ordinals outside the enumeration are taken as they are.
    if (reg.ValueExists(QStringLiteral("ZipType")))
      FZipType = static_cast<TZipType>(reg.ReadInteger(QStringLiteral("ZipType")));
    readString(QStringLiteral("Password"), FPassword);
    readString(QStringLiteral("Description"), FDescription);
    readString(QStringLiteral("ZipFile"), FZipFile);
    readString(QStringLiteral("LogFile"), FLogFile);
    readDate(QStringLiteral("LastBackup"), FLastBackup);
    readBool(QStringLiteral("ShowAlerts"), FShowAlerts);
    readInteger(QStringLiteral("AlertDays"), FAlertDays);
    readBool(QStringLiteral("CloseGracefully"), FCloseGracefully);
    readBool(QStringLiteral("AlertEmailEnabled"), FAlertEmailEnabled);
    readBool(QStringLiteral("LogEmailEnabled"), FLogEmailEnabled);
    readDate(QStringLiteral("AlertEmailLastRun"), FAlertEmailLastRun);
    readInteger(QStringLiteral("SpanningSize"), FSpanningSize);
    readInteger(QStringLiteral("KeepArchives"), FKeepArchives);
    FKeepArchives = std::clamp(FKeepArchives, 0, MaxKeepArchives);
    if (reg.ValueExists(QStringLiteral("CompressionLevel")))
      FCompressionLevel = static_cast<TCompressionLevel>(reg.ReadInteger(QStringLiteral("CompressionLevel")));
    readBool(QStringLiteral("CustomSMTPSettings"), FCustomSMTPSettings);
    readBool(QStringLiteral("SystemState"), FSystemState);

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
      ReadEmail(reg, FAlertEmailDetails);
    if (OpenOrCreate(reg, SubKey(key, LogEmailKey)))
      ReadEmail(reg, FLogEmailDetails);
    if (OpenOrCreate(reg, SubKey(key, SMTPSettingsKey)))
      ReadSMTPSettings(reg, FSMTPSettings);
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

bool TBackupProfile::DeleteProfileRegistry(const QString& AProfileName)
{
  if (AProfileName.isEmpty())
    return false;
  const QString key = ProfileKey(AProfileName);
  TRegistry reg(FRootKey);
  if (!reg.KeyExists(key))
    return false;
  return reg.DeleteKey(key);
}

// Profiles have no file layout: the INI storage type only stands for the file it would use.
bool TBackupProfile::SaveProfileINI()
{
  return true;
}

bool TBackupProfile::LoadProfileINI(const QString& AProfileName)
{
  Q_UNUSED(AProfileName);
  return true;
}

bool TBackupProfile::DeleteProfileINI(const QString& AProfileName)
{
  Q_UNUSED(AProfileName);
  return true;
}

void TBackupProfile::CopyDefaultFields(const TBackupProfile& ASource)
{
  FPassword = ASource.FPassword;
  FShowAlerts = ASource.FShowAlerts;
  FAlertDays = ASource.FAlertDays;
  FActivePrograms = ASource.FActivePrograms;
  FCloseGracefully = ASource.FCloseGracefully;
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
    const QString ownSMTPPassword = FSMTPSettings.Password();
    FPassword.clear();
    FSMTPSettings.SetPassword(QString());
    try {
      (void)LoadProfile(DefaultProfileName());
    } catch (const ERegistryException& e) {
      // A damaged default must not keep new profiles from being made.
      Log(QStringLiteral("Failed to load profile: ") + DefaultProfileName() + QStringLiteral(", Error: ") +
          e.Message());
    }
    if (!FPassword.isEmpty() || !FSMTPSettings.Password().isEmpty())
      Log(QStringLiteral("The machine-wide default profile holds a password, which every user can read; it was not "
                         "used."));
    FPassword = ownPassword;
    FSMTPSettings.SetPassword(ownSMTPPassword);
  }

  TBackupProfile defaults;
  defaults.SetRootKey(FRootKey);
  defaults.SetRegistryKey(FRegistryKey);
  defaults.SetStorageType(FStorageType);
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
  defaults.SetStorageType(FStorageType);
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
