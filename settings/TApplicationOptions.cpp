// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/TApplicationOptions.h"

#include "settings/TProgramSettings.h"
#include "sysinfo/Common.h"
#include "sysinfo/TApplicationVersionInfo.h"

namespace {

using enum TOptionId;

// The options: name, type, default. The product name default of "AutomaticUpdateApplication" is
// the running program's, filled in when registering.
constexpr std::array<TOptionDefinition, OptionCount> OptionTable = {{
    {AutomaticUpdateEnabled, "AutomaticUpdateEnabled", vtBoolean, 1, nullptr},
    {AutomaticUpdateApplication, "AutomaticUpdateApplication", vtString, 0, ""},
    // The update server is a deployment value; this placeholder only fixes the scheme and path.
    {AutomaticUpdateURL, "AutomaticUpdateURL", vtString, 0, "https://update.example.com/autoupdate.ini"},
    {AutomaticUpdateAutomatic, "AutomaticUpdateAutomatic", vtBoolean, 0, nullptr},
    {AutomaticUpdateInterval, "AutomaticUpdateInterval", vtInteger, 12, nullptr},
    {Password, "Password", vtPassword, 0, ""},
    {Debug, "Debug", vtBoolean, 0, nullptr},
    {RememberLastSelection, "RememberLastSelection", vtBoolean, 1, nullptr},
    {LastSelectionID, "LastSelectionID", vtInteger, 0, nullptr},
    {CheckLastBackup, "CheckLastBackup", vtBoolean, 1, nullptr},
    {CheckActivePrograms, "CheckActivePrograms", vtBoolean, 1, nullptr},
    {StorageType, "StorageType", vtInteger, 0, nullptr},
    {Version, "Version", vtString, 0, "0.0.0.0"},
    {HTTPProxy, "HTTPProxy", vtBoolean, 0, nullptr},
    {HTTPHost, "HTTPHost", vtString, 0, ""},
    {HTTPPort, "HTTPPort", vtInteger, 8080, nullptr},
    {HTTPAuthentication, "HTTPAuthentication", vtBoolean, 0, nullptr},
    {HTTPUsername, "HTTPUsername", vtString, 0, ""},
    {HTTPPassword, "HTTPPassword", vtPassword, 0, ""},
    {SOCKSProxy, "SOCKSProxy", vtBoolean, 0, nullptr},
    {SOCKSHost, "SOCKSHost", vtString, 0, ""},
    {SOCKSPort, "SOCKSPort", vtInteger, 1080, nullptr},
    {SOCKSAuthentication, "SOCKSAuthentication", vtBoolean, 0, nullptr},
    {SOCKSUsername, "SOCKSUsername", vtString, 0, ""},
    {SOCKSPassword, "SOCKSPassword", vtPassword, 0, ""},
    {SOCKSVersion, "SOCKSVersion", vtInteger, 0, nullptr},
    {SMTPHost, "SMTPHost", vtString, 0, ""},
    {SMTPPort, "SMTPPort", vtInteger, 25, nullptr},
    {SMTPAuthentication, "SMTPAuthentication", vtBoolean, 0, nullptr},
    {SMTPSecure, "SMTPSecure", vtBoolean, 0, nullptr},
    {SMTPUsername, "SMTPUsername", vtString, 0, ""},
    {SMTPPassword, "SMTPPassword", vtPassword, 0, ""},
    // Each written archive is read back whole before it replaces the previous one.
    {VerifyArchives, "VerifyArchives", vtBoolean, 1, nullptr},
    // The exit action after a backup only when every profile succeeded.
    {ExitOnlyAfterSuccess, "ExitOnlyAfterSuccess", vtBoolean, 0, nullptr},
}};

constexpr bool InOrder()
{
  for (int i = 0; i < OptionCount; ++i)
    if (int(OptionTable[i].Id) != i)
      return false;
  return true;
}
static_assert(InOrder(), "the option table follows TOptionId");

QVariant DefaultValue(const TOptionDefinition& AOption)
{
  switch (AOption.Type) {
  case vtBoolean:
    return AOption.Number != 0;
  case vtInteger:
    return AOption.Number;
  default:
    return QString::fromUtf8(AOption.Text);
  }
}

} // namespace

TApplicationOptions::TApplicationOptions(TProgramSettings* ASettings)
  : FileVersion(&TApplicationVersionInfo::ProgramVersion)
  , ProductName(&TApplicationVersionInfo::ProgramProductName)
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
  for (const TOptionDefinition& option : OptionTable) {
    QVariant value = DefaultValue(option);
    if (option.Id == AutomaticUpdateApplication)
      value = productName.isEmpty() ? ApplicationTitle() : productName;
    FSettings->Add(QString::fromLatin1(option.Name), option.Type, value);
  }
}

QStringList TApplicationOptions::OptionNames()
{
  QStringList names;
  for (const TOptionDefinition& option : OptionTable)
    names << QString::fromLatin1(option.Name);
  return names;
}

const std::array<TOptionDefinition, OptionCount>& TApplicationOptions::Definitions()
{
  return OptionTable;
}

QString TApplicationOptions::Name(TOptionId AOption)
{
  return QString::fromLatin1(OptionTable[int(AOption)].Name);
}

TSmtpServer TApplicationOptions::SmtpServer(const TProgramSettings& ASettings)
{
  return {.Hostname = Text(ASettings, TOptionId::SMTPHost),
          .Port = Integer(ASettings, TOptionId::SMTPPort),
          .Authentication = Boolean(ASettings, TOptionId::SMTPAuthentication),
          .Secure = Boolean(ASettings, TOptionId::SMTPSecure),
          .Username = Text(ASettings, TOptionId::SMTPUsername),
          .Password = Text(ASettings, TOptionId::SMTPPassword)};
}

bool TApplicationOptions::Registered(const TProgramSettings& ASettings, TOptionId AOption)
{
  return ASettings.KeyExists(Name(AOption));
}

bool TApplicationOptions::Boolean(const TProgramSettings& ASettings, TOptionId AOption)
{
  return Registered(ASettings, AOption) && ASettings.GetValueByName(Name(AOption)).toBool();
}

int TApplicationOptions::Integer(const TProgramSettings& ASettings, TOptionId AOption)
{
  return Registered(ASettings, AOption) ? ASettings.GetValueByName(Name(AOption)).toInt() : 0;
}

QString TApplicationOptions::Text(const TProgramSettings& ASettings, TOptionId AOption)
{
  return Registered(ASettings, AOption) ? ASettings.GetValueByName(Name(AOption)).toString() : QString();
}

void TApplicationOptions::Set(TProgramSettings& ASettings, TOptionId AOption, const QVariant& AValue)
{
  ASettings.SetValueByName(Name(AOption), AValue);
}

void TApplicationOptions::Save(TProgramSettings& ASettings, TOptionId AOption)
{
  ASettings.SaveValue(Name(AOption));
}

int TApplicationOptions::ActionIndex(int AStoredIndex, int AActionCount)
{
  return AStoredIndex >= 0 && AStoredIndex < AActionCount ? AStoredIndex : 0;
}

void TApplicationOptions::CheckVersion()
{
  try {
    const QString running = FileVersion ? FileVersion() : QString();
    if (FSettings->GetValueByName(Name(Version)).toString() == running)
      return;
    bool shown = true;
    if (OnShowUpdateInformation) {
      const QString folder = GetApplicationFolder();
      shown = OnShowUpdateInformation({folder + QStringLiteral("Corvale - Release Notes.rtf"),
                                       folder + QStringLiteral("Corvale - License.rtf"),
                                       folder + QStringLiteral("Corvale - Support Details.rtf")},
                                      UpdateInformationTimeout);
    }
    if (shown)
      Set(*FSettings, Version, running);
  } catch (const std::exception&) {
    if (OnVersionCheckError)
      OnVersionCheckError(VersionCheckFailed);
  }
}

void TApplicationOptions::StoreVersion()
{
  Set(*FSettings, Version, FileVersion ? FileVersion() : QString());
  Save(*FSettings, Version);
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
  if (const QString refused = FSettings->RefusedDefaultsText(); !refused.isEmpty() && !FDefaultsRefusalShown) {
    FDefaultsRefusalShown = true;
    if (OnStoreError)
      OnStoreError(refused);
  }
  FSettings->LoadSettings();
  // There is no other storage for profiles; a value asking for one would lose every new profile.
  if (const int storageType = Integer(*FSettings, StorageType); storageType != 0) {
    Set(*FSettings, StorageType, 0);
    if (OnStoreError)
      OnStoreError(StorageTypeRefused.arg(storageType) + QStringLiteral(" The value 0 is used instead."));
  }
  CheckVersion();
  if (OnApply)
    OnApply(*FSettings);
  if (OnSelectAction)
    OnSelectAction(FSettings->GetValueByName(Name(LastSelectionID)).toInt());
  FSettings->SaveSettings();
}

void TApplicationOptions::SaveApplicationSettings(bool ASaveDefaults)
{
  FSettings->SaveSettings();
  if (ASaveDefaults)
    FSettings->SaveDefaults();
  LoadApplicationSettings();
}
