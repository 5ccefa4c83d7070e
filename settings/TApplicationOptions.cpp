// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/TApplicationOptions.h"

#include "settings/TProgramSettings.h"
#include "sysinfo/Common.h"

namespace {

// This build's version with the four parts of a file version.
QString BuildFileVersion()
{
  QStringList parts = QStringLiteral(CORVALE_VERSION).split(QLatin1Char('.'));
  while (parts.size() < 4)
    parts << QStringLiteral("0");
  return parts.join(QLatin1Char('.'));
}

struct TOption
{
  const char* Name;
  TSettingValueType Type;
};

// The options after the five of the automatic update, in registration order.
const TOption OtherOptions[] = {
    {"Password", vtPassword},       {"Debug", vtBoolean},           {"RememberLastSelection", vtBoolean},
    {"LastSelectionID", vtInteger}, {"CheckLastBackup", vtBoolean}, {"CheckActivePrograms", vtBoolean},
    {"StorageType", vtInteger},     {"Version", vtString},          {"HTTPProxy", vtBoolean},
    {"HTTPHost", vtString},         {"HTTPPort", vtInteger},        {"HTTPAuthentication", vtBoolean},
    {"HTTPUsername", vtString},     {"HTTPPassword", vtPassword},   {"SOCKSProxy", vtBoolean},
    {"SOCKSHost", vtString},        {"SOCKSPort", vtInteger},       {"SOCKSAuthentication", vtBoolean},
    {"SOCKSUsername", vtString},    {"SOCKSPassword", vtPassword},  {"SOCKSVersion", vtInteger},
    {"SMTPHost", vtString},         {"SMTPPort", vtInteger},        {"SMTPAuthentication", vtBoolean},
    {"SMTPSecure", vtBoolean},      {"SMTPUsername", vtString},     {"SMTPPassword", vtPassword},
};

QVariant OtherDefault(const QString& AName)
{
  static const QHash<QString, QVariant> defaults{
      {QStringLiteral("Password"), QString()},
      {QStringLiteral("Debug"), false},
      {QStringLiteral("RememberLastSelection"), true},
      {QStringLiteral("LastSelectionID"), 0},
      {QStringLiteral("CheckLastBackup"), true},
      {QStringLiteral("CheckActivePrograms"), true},
      {QStringLiteral("StorageType"), 0},
      {QStringLiteral("Version"), QStringLiteral("0.0.0.0")},
      {QStringLiteral("HTTPProxy"), false},
      {QStringLiteral("HTTPHost"), QString()},
      {QStringLiteral("HTTPPort"), 8080},
      {QStringLiteral("HTTPAuthentication"), false},
      {QStringLiteral("HTTPUsername"), QString()},
      {QStringLiteral("HTTPPassword"), QString()},
      {QStringLiteral("SOCKSProxy"), false},
      {QStringLiteral("SOCKSHost"), QString()},
      {QStringLiteral("SOCKSPort"), 1080},
      {QStringLiteral("SOCKSAuthentication"), false},
      {QStringLiteral("SOCKSUsername"), QString()},
      {QStringLiteral("SOCKSPassword"), QString()},
      {QStringLiteral("SOCKSVersion"), 0},
      {QStringLiteral("SMTPHost"), QString()},
      {QStringLiteral("SMTPPort"), 25},
      {QStringLiteral("SMTPAuthentication"), false},
      {QStringLiteral("SMTPSecure"), false},
      {QStringLiteral("SMTPUsername"), QString()},
      {QStringLiteral("SMTPPassword"), QString()},
  };
  return defaults.value(AName);
}

} // namespace

TApplicationOptions::TApplicationOptions(TProgramSettings* ASettings)
  : FileVersion(BuildFileVersion)
  , ProductName(ApplicationTitle)
  , FSettings(ASettings)
{}

void TApplicationOptions::ConfigureStore(TProgramSettings& ASettings)
{
  ASettings.SetDefaultSettingsStore(ssINIFile);
  ASettings.SetSettingsStore(ssRegistry);
  ASettings.SetSettingsKey(RegistryKey);
  ASettings.SetINIFileName(GetApplicationDataFolder() + QStringLiteral("settings.ini"));
  ASettings.SetDefaultINIFileName(GetApplicationFolder() + QStringLiteral("defaults.ini"));
}

void TApplicationOptions::RegisterOptions()
{
  FSettings->Clear();
  QString productName;
  try {
    productName = ProductName ? ProductName() : QString();
  } catch (const std::exception&) {
    productName.clear();
  }
  FSettings->Add(QStringLiteral("AutomaticUpdateEnabled"), vtBoolean, true);
  FSettings->Add(QStringLiteral("AutomaticUpdateApplication"), vtString,
                 productName.isEmpty() ? ApplicationTitle() : productName);
  // The update server is a deployment value; this placeholder only fixes the scheme and path.
  FSettings->Add(QStringLiteral("AutomaticUpdateURL"), vtString, DefaultUpdateURL);
  FSettings->Add(QStringLiteral("AutomaticUpdateAutomatic"), vtBoolean, false);
  FSettings->Add(QStringLiteral("AutomaticUpdateInterval"), vtInteger, 12);
  for (const TOption& option : OtherOptions) {
    const QString name = QString::fromLatin1(option.Name);
    FSettings->Add(name, option.Type, OtherDefault(name));
  }
}

QStringList TApplicationOptions::OptionNames()
{
  QStringList names{QStringLiteral("AutomaticUpdateEnabled"), QStringLiteral("AutomaticUpdateApplication"),
                    QStringLiteral("AutomaticUpdateURL"), QStringLiteral("AutomaticUpdateAutomatic"),
                    QStringLiteral("AutomaticUpdateInterval")};
  for (const TOption& option : OtherOptions)
    names << QString::fromLatin1(option.Name);
  return names;
}

int TApplicationOptions::ActionIndex(int AStoredIndex, int AActionCount)
{
  return AStoredIndex >= 0 && AStoredIndex < AActionCount ? AStoredIndex : 0;
}

void TApplicationOptions::CheckVersion()
{
  try {
    const QString running = FileVersion ? FileVersion() : QString();
    if (FSettings->GetValueByName(QStringLiteral("Version")).toString() == running)
      return;
    FSettings->SetValueByName(QStringLiteral("Version"), running);
    if (OnShowUpdateInformation) {
      const QString folder = GetApplicationFolder();
      OnShowUpdateInformation({folder + QStringLiteral("Corvale - Release Notes.rtf"),
                               folder + QStringLiteral("Corvale - License.rtf"),
                               folder + QStringLiteral("Corvale - Support Details.rtf")},
                              UpdateInformationTimeout);
    }
  } catch (const std::exception&) {
    if (OnVersionCheckError)
      OnVersionCheckError(VersionCheckFailed);
  }
}

void TApplicationOptions::LoadApplicationSettings()
{
  RegisterOptions();
  if (!FStoreErrorShown) {
    const QString error = FSettings->StoreErrorText();
    if (!error.isEmpty()) {
      FStoreErrorShown = true;
      if (OnStoreError)
        OnStoreError(error);
    }
  }
  FSettings->LoadDefaults();
  FSettings->LoadSettings();
  CheckVersion();
  if (OnApply)
    OnApply(*FSettings);
  if (OnSelectAction)
    OnSelectAction(FSettings->GetValueByName(QStringLiteral("LastSelectionID")).toInt());
  FSettings->SaveSettings();
}

void TApplicationOptions::SaveApplicationSettings(bool ASaveDefaults)
{
  FSettings->SaveSettings();
  if (ASaveDefaults)
    FSettings->SaveDefaults();
  LoadApplicationSettings();
}
