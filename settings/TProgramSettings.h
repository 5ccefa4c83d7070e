// SPDX-License-Identifier: GPL-3.0-or-later
// The program's named settings in memory and their two stores: a registry key or an INI file
// (switchable at run time), plus a second store for default values. Besides the flat list it
// keeps groups of like records (sections), single values in any section, window placements and
// the run-at-logon entry. Password values are scrambled with SuperCipher in every store.
#pragma once

#include "platform/TRegistry.h"
#include "settings/SettingTypes.h"
#include "settings/TFormPlacement.h"
#include "settings/TProgramSettingsBaseSections.h"
#include "settings/TSettings.h"

#include <QObject>

#include <functional>

class TIniFile;

class TProgramSettings : public QObject
{
  Q_OBJECT

public:
  using TOnSettings = std::function<void(QObject* ASender, TSettings& ASettings)>;
  // The accessor is open on the settings (or defaults) key or file while the hook runs.
  using TOnRegistrySettings = std::function<void(QObject* ASender, TRegistry& ARegistry)>;
  using TOnINIFileSettings = std::function<void(QObject* ASender, TIniFile& AINIFile)>;

  static inline const QString DefaultEncryptKey = QStringLiteral("K4STREL");

  explicit TProgramSettings(QObject* AOwner = nullptr);
  ~TProgramSettings() override;

  THKey RootKey() const { return FRootKey; }
  void SetRootKey(THKey AValue) { FRootKey = AValue; }
  // A text that is not blank is kept with a trailing backslash; a blank one is kept empty.
  const QString& SettingsKey() const { return FSettingsKey; }
  void SetSettingsKey(const QString& AValue);
  const QString& INIFileName() const { return FINIFileName; }
  void SetINIFileName(const QString& AValue) { FINIFileName = AValue; }
  const QString& DefaultINIFileName() const { return FDefaultINIFileName; }
  void SetDefaultINIFileName(const QString& AValue) { FDefaultINIFileName = AValue; }
  const QString& EncryptKey() const { return FEncryptKey; }
  void SetEncryptKey(const QString& AValue) { FEncryptKey = AValue; }
  TSettingsStore SettingsStore() const { return FSettingsStore; }
  // After a load the values move to the new store; a failure raises EProgramSettingsError.
  void SetSettingsStore(TSettingsStore AValue);
  TLoadedState LoadedState() const { return FLoadedState; }
  TSettingsStore DefaultSettingsStore() const { return FDefaultSettingsStore; }
  void SetDefaultSettingsStore(TSettingsStore AValue) { FDefaultSettingsStore = AValue; }

  TOnSettings OnBeforeLoadSettings;
  TOnSettings OnAfterLoadSettings;
  TOnSettings OnBeforeSaveSettings;
  TOnSettings OnAfterSaveSettings;
  TOnRegistrySettings OnLoadCustomRegistrySettings;
  TOnRegistrySettings OnSaveCustomRegistrySettings;
  TOnINIFileSettings OnLoadCustomINIFileSettings;
  TOnINIFileSettings OnSaveCustomINIFileSettings;
  TOnRegistrySettings OnLoadDefaultCustomRegistrySettings;
  TOnRegistrySettings OnSaveDefaultCustomRegistrySettings;
  TOnINIFileSettings OnLoadDefaultCustomINIFileSettings;
  TOnINIFileSettings OnSaveDefaultCustomINIFileSettings;

  TSettingItem* Add(const QString& AName, TSettingValueType AType, const QVariant& ADefault)
  {
    return FSettings.Add(AName, AType, ADefault);
  }
  int IndexByName(const QString& AName) const { return FSettings.IndexByName(AName); }
  TSettingItem* KeyByName(const QString& AName) const { return FSettings.KeyByName(AName); }
  bool KeyExists(const QString& AName) const { return FSettings.KeyExists(AName); }
  QVariant GetValueByName(const QString& AName) const { return FSettings.GetValueByName(AName); }
  void SetValueByName(const QString& AName, const QVariant& AValue) { FSettings.SetValueByName(AName, AValue); }
  TSettingItem* GetItem(int AIndex) const { return FSettings.GetItem(AIndex); }
  static QString SuperCipher(const QString& AText, const QString& AKey) { return TSettings::SuperCipher(AText, AKey); }
  void Clear() { FSettings.Clear(); }
  int Count() const { return FSettings.Count(); }

  // All values and all sections from or to SettingsStore.
  virtual void LoadSettings();
  virtual void SaveSettings();
  // All default values from or to DefaultSettingsStore; values are not touched. That store is
  // machine-wide: passwords are never written to it, and one found there is not taken
  // (RefusedDefaultsText says so).
  virtual void LoadDefaults();
  virtual void SaveDefaults();
  // Empty, or the message that the last LoadDefaults refused a password of the defaults.
  QString RefusedDefaultsText() const;
  // One setting from or to SettingsStore.
  void LoadValue(const QString& AName);
  void SaveValue(const QString& AName);

  // Run at logon: the user's autostart entry named by the application title.
  bool GetAutoRun() const;
  [[nodiscard]] bool SetAutoRun(const QString& AParameters, bool AEnabled);

  // Copies the store configuration (not the settings); nullptr does nothing.
  void Assign(const TProgramSettings* ASource);

  // Single values outside the settings list, in any section of SettingsStore.
  QVariant LoadCustomValue(const QString& ASection, const QString& AKey, TSettingValueType AType,
                           const QVariant& ADefault);
  void SaveCustomValue(const QString& ASection, const QString& AKey, TSettingValueType AType, const QVariant& AValue);

  TProgramSettingsSections* AddSection(const QString& ABaseSectionName);
  TProgramSettingsSections* GetSectionFromName(const QString& ABaseSectionName) const;
  void ClearSections() { FProgramSettingsBaseSections.Clear(); }
  // A name that is not registered does nothing.
  void LoadSection(const QString& ABaseSectionName);
  void SaveSection(const QString& ABaseSectionName);

  // Window placement of a form class. APlacement holds the window's current values on the way
  // in; a value missing from the store keeps them (the registry's missing "WindowState" reads 0,
  // a missing "Monitor" 0). False when the registry key is missing: nothing is to be applied.
  bool LoadFormPlacement(const QString& AFormClass, TFormPlacement& APlacement);
  // A maximized window stores no bounds; a minimized one is stored as normal.
  void SaveFormPlacement(const QString& AFormClass, const TFormPlacement& APlacement);

  // Why SettingsStore cannot be used (a damaged or unreadable hive or file), empty when it can.
  QString StoreErrorText() const;

private:
  QString EffectiveEncryptKey() const;
  QString DefaultsKey() const;
  void LoadValues(TSettingsStore AStore);
  void SaveValues(TSettingsStore AStore);
  void LoadSectionFrom(TProgramSettingsSections& ASections);
  void SaveSectionTo(TProgramSettingsSections& ASections);

  THKey FRootKey = HKEY_CURRENT_USER;
  QString FSettingsKey;
  QString FINIFileName;
  QString FDefaultINIFileName;
  QStringList FRefusedDefaults;
  QString FEncryptKey = DefaultEncryptKey;
  TSettingsStore FSettingsStore = ssINIFile;
  TLoadedState FLoadedState = lsNone;
  TSettingsStore FDefaultSettingsStore = ssINIFile;
  TSettings FSettings;
  TProgramSettingsBaseSections FProgramSettingsBaseSections;
};
