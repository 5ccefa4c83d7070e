// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/TProgramSettings.h"

#include "platform/AutoStart.h"
#include "platform/Folders.h"
#include "platform/Shell.h"
#include "platform/TIniFile.h"
#include "settings/EProgramSettingsError.h"
#include "settings/SettingValues.h"
#include "sysinfo/Common.h"

#include <QFileInfo>

namespace {

const QString SettingsSection = QStringLiteral("Settings");
const QString DefaultsSection = QStringLiteral(".Defaults");
const QString FormValueNames[] = {QStringLiteral("Left"), QStringLiteral("Top"), QStringLiteral("Width"),
                                  QStringLiteral("Height"), QStringLiteral("FormStyle")};

// Key paths of the store are taken from the root, whichever key was opened before.
QString FromRoot(const QString& APath)
{
  return APath.startsWith(QLatin1Char('\\')) ? APath : QString(QLatin1Char('\\') + APath);
}

QString WithTrailingBackslash(const QString& APath)
{
  return APath.endsWith(QLatin1Char('\\')) ? APath : QString(APath + QLatin1Char('\\'));
}

// Runs AAfter once AWork is over, also when it raised; the error then goes on.
template <typename TWork, typename TAfter> void WithAfter(TWork&& AWork, TAfter&& AAfter)
{
  try {
    AWork();
  } catch (...) {
    AAfter();
    throw;
  }
  AAfter();
}

int FormValue(const TFormPlacement& APlacement, int AIndex)
{
  const int values[] = {APlacement.Left, APlacement.Top, APlacement.Width, APlacement.Height, APlacement.FormStyle};
  return values[AIndex];
}

void SetFormValue(TFormPlacement& APlacement, int AIndex, int AValue)
{
  int* const values[] = {&APlacement.Left, &APlacement.Top, &APlacement.Width, &APlacement.Height,
                         &APlacement.FormStyle};
  *values[AIndex] = AValue;
}

} // namespace

TProgramSettings::TProgramSettings(QObject* AOwner)
  : QObject(AOwner)
  , FINIFileName(ChangeFileExt(ExecutableFileName(), QStringLiteral(".ini")))
{}

TProgramSettings::~TProgramSettings() = default;

void TProgramSettings::SetSettingsKey(const QString& AValue)
{
  FSettingsKey = AValue.trimmed().isEmpty() ? QString() : WithTrailingBackslash(AValue);
}

QString TProgramSettings::EffectiveEncryptKey() const
{
  return FEncryptKey.isEmpty() ? DefaultEncryptKey : FEncryptKey;
}

QString TProgramSettings::DefaultsKey() const
{
  // The default user's copy of the same path.
  if (FSettingsKey.startsWith(QLatin1Char('\\')))
    return QStringLiteral("\\.Default") + FSettingsKey;
  return QStringLiteral("\\.Default\\") + FSettingsKey;
}

void TProgramSettings::SetSettingsStore(TSettingsStore AValue)
{
  if (AValue == FSettingsStore)
    return;
  const TSettingsStore oldDefaultStore = FDefaultSettingsStore;
  if (FDefaultSettingsStore == FSettingsStore)
    FDefaultSettingsStore = AValue;
  if (FLoadedState == lsNone) {
    FSettingsStore = AValue;
    return;
  }
  const QString failure = QStringLiteral("Failed to save settings on setting store change, Error: ");
  try {
    SaveValues(AValue);
  } catch (const std::exception& e) {
    // Nothing has changed: the defaults store stays with the settings store it followed.
    FDefaultSettingsStore = oldDefaultStore;
    throw EProgramSettingsError(failure + QString::fromUtf8(e.what()));
  }
  FSettingsStore = AValue;
  try {
    LoadValues(AValue);
  } catch (const std::exception& e) {
    FLoadedState = lsNone;
    throw EProgramSettingsError(failure + QString::fromUtf8(e.what()));
  }
}

void TProgramSettings::LoadValues(TSettingsStore AStore)
{
  const QString key = EffectiveEncryptKey();
  if (AStore == ssRegistry) {
    TRegistry registry(FRootKey);
    const bool opened = registry.OpenKeyReadOnly(FromRoot(FSettingsKey));
    for (int i = 0; i < FSettings.Count(); ++i) {
      TSettingItem* item = FSettings.GetItem(i);
      if (opened && registry.ValueExists(item->KeyName()))
        item->SetValue(ReadRegistryValue(registry, item->KeyName(), item->ValueType(), key));
      else
        item->SetValue(item->DefaultValue());
    }
    if (OnLoadCustomRegistrySettings)
      OnLoadCustomRegistrySettings(this, registry);
    FLoadedState = lsRegistry;
  } else {
    TIniFile iniFile(FINIFileName);
    for (int i = 0; i < FSettings.Count(); ++i) {
      TSettingItem* item = FSettings.GetItem(i);
      item->SetValue(
          ReadIniValue(iniFile, SettingsSection, item->KeyName(), item->ValueType(), item->DefaultValue(), key));
    }
    if (OnLoadCustomINIFileSettings)
      OnLoadCustomINIFileSettings(this, iniFile);
    FLoadedState = lsINIFile;
  }
}

void TProgramSettings::SaveValues(TSettingsStore AStore)
{
  const QString key = EffectiveEncryptKey();
  if (AStore == ssRegistry) {
    TRegistry registry(FRootKey);
    if (registry.OpenKey(FromRoot(FSettingsKey), true)) {
      for (int i = 0; i < FSettings.Count(); ++i) {
        const TSettingItem* item = FSettings.GetItem(i);
        WriteRegistryValue(registry, item->KeyName(), item->ValueType(), item->Value(), key);
      }
    }
    if (OnSaveCustomRegistrySettings)
      OnSaveCustomRegistrySettings(this, registry);
  } else {
    TIniFile iniFile(FINIFileName);
    for (int i = 0; i < FSettings.Count(); ++i) {
      const TSettingItem* item = FSettings.GetItem(i);
      WriteIniValue(iniFile, SettingsSection, item->KeyName(), item->ValueType(), item->Value(), key);
    }
    if (OnSaveCustomINIFileSettings)
      OnSaveCustomINIFileSettings(this, iniFile);
    // It holds the passwords of the options: the user's alone, also when it existed before.
    if (QFile::exists(FINIFileName))
      (void)QFile::setPermissions(FINIFileName, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  }
}

void TProgramSettings::LoadSettings()
{
  FLoadedState = lsNone;
  if (OnBeforeLoadSettings)
    OnBeforeLoadSettings(this, FSettings);
  WithAfter(
      [this] {
        LoadValues(FSettingsStore);
        for (int i = 0; i < FProgramSettingsBaseSections.Count(); ++i)
          LoadSectionFrom(FProgramSettingsBaseSections.GetItem(i)->Sections());
      },
      [this] {
        if (OnAfterLoadSettings)
          OnAfterLoadSettings(this, FSettings);
      });
}

void TProgramSettings::SaveSettings()
{
  if (OnBeforeSaveSettings)
    OnBeforeSaveSettings(this, FSettings);
  WithAfter(
      [this] {
        SaveValues(FSettingsStore);
        for (int i = 0; i < FProgramSettingsBaseSections.Count(); ++i)
          SaveSectionTo(FProgramSettingsBaseSections.GetItem(i)->Sections());
      },
      [this] {
        if (OnAfterSaveSettings)
          OnAfterSaveSettings(this, FSettings);
      });
}

void TProgramSettings::LoadDefaults()
{
  const QString key = EffectiveEncryptKey();
  FRefusedDefaults.clear();
  // The machine-wide defaults are readable by every user: a password there is no secret, so it
  // is never taken over.
  const auto take = [this](TSettingItem* AItem, const QVariant& AValue) {
    if (AItem->ValueType() == vtPassword && !AValue.toString().isEmpty()) {
      FRefusedDefaults << AItem->KeyName();
      return;
    }
    AItem->SetDefaultValue(AValue);
  };
  if (FDefaultSettingsStore == ssRegistry) {
    // Read-only: an ordinary user may read the defaults an administrator seeded, not create them.
    TRegistry registry(HKEY_USERS);
    if (registry.OpenKeyReadOnly(DefaultsKey())) {
      for (int i = 0; i < FSettings.Count(); ++i) {
        TSettingItem* item = FSettings.GetItem(i);
        if (registry.ValueExists(item->KeyName()))
          take(item, ReadRegistryValue(registry, item->KeyName(), item->ValueType(), key));
      }
      registry.CloseKey();
    }
    if (OnLoadDefaultCustomRegistrySettings)
      OnLoadDefaultCustomRegistrySettings(this, registry);
  } else {
    TIniFile iniFile(FDefaultINIFileName);
    for (int i = 0; i < FSettings.Count(); ++i) {
      TSettingItem* item = FSettings.GetItem(i);
      take(item, ReadIniValue(iniFile, DefaultsSection, item->KeyName(), item->ValueType(), item->DefaultValue(), key));
    }
    if (OnLoadDefaultCustomINIFileSettings)
      OnLoadDefaultCustomINIFileSettings(this, iniFile);
  }
}

void TProgramSettings::SaveDefaults()
{
  const QString key = EffectiveEncryptKey();
  if (FDefaultSettingsStore == ssRegistry) {
    TRegistry registry(HKEY_USERS);
    if (registry.OpenKey(DefaultsKey(), true)) {
      for (int i = 0; i < FSettings.Count(); ++i) {
        const TSettingItem* item = FSettings.GetItem(i);
        // The machine-wide store never receives a password.
        if (item->ValueType() != vtPassword)
          WriteRegistryValue(registry, item->KeyName(), item->ValueType(), item->DefaultValue(), key);
      }
      registry.CloseKey();
    }
    if (OnSaveDefaultCustomRegistrySettings)
      OnSaveDefaultCustomRegistrySettings(this, registry);
  } else {
    TIniFile iniFile(FDefaultINIFileName);
    for (int i = 0; i < FSettings.Count(); ++i) {
      const TSettingItem* item = FSettings.GetItem(i);
      if (item->ValueType() != vtPassword)
        WriteIniValue(iniFile, DefaultsSection, item->KeyName(), item->ValueType(), item->DefaultValue(), key);
    }
    if (OnSaveDefaultCustomINIFileSettings)
      OnSaveDefaultCustomINIFileSettings(this, iniFile);
  }
}

void TProgramSettings::LoadValue(const QString& AName)
{
  TSettingItem* item = KeyByName(AName);
  const QString key = EffectiveEncryptKey();
  if (FSettingsStore == ssRegistry) {
    TRegistry registry(FRootKey);
    if (registry.OpenKeyReadOnly(FromRoot(FSettingsKey)) && registry.ValueExists(item->KeyName()))
      item->SetValue(ReadRegistryValue(registry, item->KeyName(), item->ValueType(), key));
  } else {
    const TIniFile iniFile(FINIFileName);
    item->SetValue(
        ReadIniValue(iniFile, SettingsSection, item->KeyName(), item->ValueType(), item->DefaultValue(), key));
  }
}

void TProgramSettings::SaveValue(const QString& AName)
{
  const TSettingItem* item = KeyByName(AName);
  const QString key = EffectiveEncryptKey();
  if (FSettingsStore == ssRegistry) {
    // Currency as the whole list keeps it, so that the next full load reads it back.
    TRegistry registry(FRootKey);
    if (registry.OpenKey(FromRoot(FSettingsKey), true))
      WriteRegistryValue(registry, item->KeyName(), item->ValueType(), item->Value(), key);
  } else {
    TIniFile iniFile(FINIFileName);
    WriteIniValue(iniFile, SettingsSection, item->KeyName(), item->ValueType(), item->Value(), key);
  }
}

bool TProgramSettings::GetAutoRun() const
{
  const QString title = ApplicationTitle();
  return !title.isEmpty() && AutoStartExists(title);
}

bool TProgramSettings::SetAutoRun(const QString& AParameters, bool AEnabled)
{
  const QString title = ApplicationTitle();
  if (title.isEmpty())
    return false;
  if (AEnabled)
    return WriteAutoStart(title, ExecutableFileName(), SplitCommandLine(AParameters));
  return RemoveAutoStart(title);
}

void TProgramSettings::Assign(const TProgramSettings* ASource)
{
  if (!ASource)
    return;
  SetSettingsStore(ASource->FSettingsStore);
  FDefaultSettingsStore = ASource->FDefaultSettingsStore;
  FRootKey = ASource->FRootKey;
  SetSettingsKey(ASource->FSettingsKey);
  FEncryptKey = ASource->FEncryptKey;
  FINIFileName = ASource->FINIFileName;
  FDefaultINIFileName = ASource->FDefaultINIFileName;
}

QVariant TProgramSettings::LoadCustomValue(const QString& ASection, const QString& AKey, TSettingValueType AType,
                                           const QVariant& ADefault)
{
  const QString key = EffectiveEncryptKey();
  if (FSettingsStore == ssRegistry) {
    TRegistry registry(FRootKey);
    if (registry.OpenKeyReadOnly(FromRoot(FSettingsKey + ASection)) && registry.ValueExists(AKey))
      return ReadRegistryValue(registry, AKey, AType, key, cfDouble);
    return ADefault;
  }
  return ReadIniValue(TIniFile(FINIFileName), ASection, AKey, AType, ADefault, key);
}

void TProgramSettings::SaveCustomValue(const QString& ASection, const QString& AKey, TSettingValueType AType,
                                       const QVariant& AValue)
{
  const QString key = EffectiveEncryptKey();
  if (FSettingsStore == ssRegistry) {
    TRegistry registry(FRootKey);
    if (registry.OpenKey(FromRoot(FSettingsKey + ASection), true))
      WriteRegistryValue(registry, AKey, AType, AValue, key, cfDouble);
  } else {
    TIniFile iniFile(FINIFileName);
    WriteIniValue(iniFile, ASection, AKey, AType, AValue, key);
  }
}

TProgramSettingsSections* TProgramSettings::AddSection(const QString& ABaseSectionName)
{
  return &FProgramSettingsBaseSections.Add(ABaseSectionName)->Sections();
}

TProgramSettingsSections* TProgramSettings::GetSectionFromName(const QString& ABaseSectionName) const
{
  TProgramSettingsBaseSection* base = FProgramSettingsBaseSections.BaseSectionByName(ABaseSectionName);
  return base ? &base->Sections() : nullptr;
}

void TProgramSettings::LoadSection(const QString& ABaseSectionName)
{
  if (TProgramSettingsSections* sections = GetSectionFromName(ABaseSectionName))
    LoadSectionFrom(*sections);
}

void TProgramSettings::SaveSection(const QString& ABaseSectionName)
{
  if (TProgramSettingsSections* sections = GetSectionFromName(ABaseSectionName))
    SaveSectionTo(*sections);
}

void TProgramSettings::LoadSectionFrom(TProgramSettingsSections& ASections)
{
  const QString key = EffectiveEncryptKey();
  const QString base = ASections.BaseSectionName();
  const TSettings& fields = ASections.BaseSettings();
  ASections.Clear();
  if (FSettingsStore == ssRegistry) {
    TRegistry registry(FRootKey);
    // One read transaction: a section save by another process is seen whole or not at all.
    const bool transaction = registry.BeginTransaction();
    if (!registry.OpenKeyReadOnly(FromRoot(FSettingsKey + base))) {
      if (transaction)
        registry.RollbackTransaction();
      return;
    }
    const QStringList names = registry.GetKeyNames();
    for (const QString& name : names) {
      if (!registry.OpenKeyReadOnly(FromRoot(FSettingsKey + base + QLatin1Char('\\') + name)))
        continue;
      for (int i = 0; i < fields.Count(); ++i) {
        const TSettingItem* field = fields.GetItem(i);
        const QVariant value = registry.ValueExists(field->KeyName())
                                   ? ReadRegistryValue(registry, field->KeyName(), field->ValueType(), key, cfDouble)
                                   : field->DefaultValue();
        ASections.Add(name, field->KeyName(), field->ValueType(), value);
      }
    }
    if (transaction)
      registry.RollbackTransaction();
    return;
  }
  const TIniFile iniFile(FINIFileName);
  if (!iniFile.SectionExists(base))
    return;
  const QStringList names = iniFile.ReadSection(base);
  for (const QString& name : names) {
    if (!iniFile.SectionExists(name))
      continue;
    for (int i = 0; i < fields.Count(); ++i) {
      const TSettingItem* field = fields.GetItem(i);
      ASections.Add(name, field->KeyName(), field->ValueType(),
                    ReadIniValue(iniFile, name, field->KeyName(), field->ValueType(), field->DefaultValue(), key));
    }
  }
}

void TProgramSettings::SaveSectionTo(TProgramSettingsSections& ASections)
{
  const QString key = EffectiveEncryptKey();
  const QString base = ASections.BaseSectionName();
  if (FSettingsStore == ssRegistry) {
    TRegistry registry(FRootKey);
    const QString baseKey = FromRoot(FSettingsKey + base);
    // Rewritten whole, in one transaction, so that sections removed in memory leave the store
    // too and another process never reads the section deleted but not yet written again.
    if (!registry.BeginTransaction())
      return;
    if (registry.KeyExists(baseKey))
      (void)registry.DeleteKey(baseKey);
    if (!registry.OpenKey(baseKey, true)) {
      registry.RollbackTransaction();
      return;
    }
    for (int i = 0; i < ASections.Count(); ++i) {
      const TProgramSettingsSection* section = ASections.GetItem(i);
      if (!registry.OpenKey(baseKey + QLatin1Char('\\') + section->SectionName(), true))
        continue;
      const TSettings& values = section->Settings();
      for (int j = 0; j < values.Count(); ++j) {
        const TSettingItem* item = values.GetItem(j);
        WriteRegistryValue(registry, item->KeyName(), item->ValueType(), item->Value(), key, cfDouble);
      }
    }
    (void)registry.CommitTransaction();
    return;
  }
  TIniFile iniFile(FINIFileName);
  if (iniFile.SectionExists(base))
    iniFile.EraseSection(base);
  for (int i = 0; i < ASections.Count(); ++i) {
    const TProgramSettingsSection* section = ASections.GetItem(i);
    iniFile.WriteString(base, section->SectionName(), QString());
    const TSettings& values = section->Settings();
    for (int j = 0; j < values.Count(); ++j) {
      const TSettingItem* item = values.GetItem(j);
      WriteIniValue(iniFile, section->SectionName(), item->KeyName(), item->ValueType(), item->Value(), key);
    }
  }
}

bool TProgramSettings::LoadFormPlacement(const QString& AFormClass, TFormPlacement& APlacement)
{
  if (FSettingsStore == ssRegistry) {
    TRegistry registry(FRootKey);
    if (!registry.OpenKeyReadOnly(
            FromRoot(WithTrailingBackslash(FSettingsKey) + QStringLiteral("Forms\\") + AFormClass)))
      return false;
    for (int i = 0; i < 5; ++i) {
      if (registry.ValueExists(FormValueNames[i]))
        SetFormValue(APlacement, i, registry.ReadInteger(FormValueNames[i]));
    }
    const QString state = QStringLiteral("WindowState");
    const QString monitor = QStringLiteral("Monitor");
    APlacement.WindowState = registry.ValueExists(state) ? registry.ReadInteger(state) : 0;
    APlacement.Monitor = registry.ValueExists(monitor) ? registry.ReadInteger(monitor) : 0;
    return true;
  }
  const TIniFile iniFile(FINIFileName);
  const QString section = QStringLiteral("Form.") + AFormClass;
  const auto read = [&](const QString& AName, int AFallback) {
    return ReadIniValue(iniFile, section, AName, vtInteger, AFallback, QString()).toInt();
  };
  for (int i = 0; i < 5; ++i)
    SetFormValue(APlacement, i, read(FormValueNames[i], FormValue(APlacement, i)));
  APlacement.WindowState = read(QStringLiteral("WindowState"), APlacement.WindowState);
  APlacement.Monitor = read(QStringLiteral("Monitor"), 0);
  return true;
}

void TProgramSettings::SaveFormPlacement(const QString& AFormClass, const TFormPlacement& APlacement)
{
  QList<std::pair<QString, int>> values;
  if (APlacement.WindowState != 2) {
    for (int i = 0; i < 4; ++i)
      values.append({FormValueNames[i], FormValue(APlacement, i)});
  }
  values.append({QStringLiteral("WindowState"), APlacement.WindowState == 1 ? 0 : APlacement.WindowState});
  values.append({QStringLiteral("FormStyle"), APlacement.FormStyle});
  values.append({QStringLiteral("Monitor"), APlacement.Monitor});
  if (FSettingsStore == ssRegistry) {
    TRegistry registry(FRootKey);
    if (!registry.OpenKey(FromRoot(WithTrailingBackslash(FSettingsKey) + QStringLiteral("Forms\\") + AFormClass), true))
      return;
    for (const auto& [name, value] : std::as_const(values))
      registry.WriteInteger(name, value);
    return;
  }
  TIniFile iniFile(FINIFileName);
  for (const auto& [name, value] : std::as_const(values))
    iniFile.WriteString(QStringLiteral("Form.") + AFormClass, name, QString::number(value));
}

QString TProgramSettings::RefusedDefaultsText() const
{
  if (FRefusedDefaults.isEmpty())
    return QString();
  return QStringLiteral("The machine-wide default settings hold a password (%1), which every user can read; it was "
                        "not used. Remove it from the defaults and set it in your own options.")
      .arg(FRefusedDefaults.join(QStringLiteral(", ")));
}

QString TProgramSettings::StoreErrorText() const
{
  if (FSettingsStore == ssRegistry)
    return TRegistry(FRootKey).ErrorText();
  const QFileInfo file(FINIFileName);
  if (file.exists() && !file.isReadable())
    return QStringLiteral("The settings file \"%1\" cannot be read; the program goes on with default settings.")
        .arg(FINIFileName);
  return QString();
}
