// SPDX-License-Identifier: GPL-3.0-or-later
// The application's own use of the settings store: where its options live, the option keys with
// their types and defaults, and the cycle that registers, loads, checks, applies and saves them.
// The main window owns the store and binds the hooks below to its windows and services.
#pragma once

#include "settings/SettingTypes.h"
#include "types/SharedTypes.h"
#include "types/TSmtpServer.h"

#include <QStringList>
#include <QVariant>

#include <array>
#include <functional>

class TProgramSettings;

// The application's options, in registration order. Code names an option by this enumeration;
// its stored name, type and default are written once, in the table of TApplicationOptions.
enum class TOptionId : int {
  AutomaticUpdateEnabled,
  AutomaticUpdateApplication,
  AutomaticUpdateURL,
  AutomaticUpdateAutomatic,
  AutomaticUpdateInterval,
  Password,
  Debug,
  RememberLastSelection,
  LastSelectionID,
  CheckLastBackup,
  CheckActivePrograms,
  StorageType,
  Version,
  HTTPProxy,
  HTTPHost,
  HTTPPort,
  HTTPAuthentication,
  HTTPUsername,
  HTTPPassword,
  SOCKSProxy,
  SOCKSHost,
  SOCKSPort,
  SOCKSAuthentication,
  SOCKSUsername,
  SOCKSPassword,
  SOCKSVersion,
  SMTPHost,
  SMTPPort,
  SMTPAuthentication,
  SMTPSecure,
  SMTPUsername,
  SMTPPassword,
  VerifyArchives,
  ExitOnlyAfterSuccess
};
inline constexpr int OptionCount = int(TOptionId::ExitOnlyAfterSuccess) + 1;

struct TOptionDefinition
{
  TOptionId Id;
  const char* Name;
  TSettingValueType Type;
  // The default: Number for Boolean and Integer options, Text for the others.
  int Number;
  const char* Text;
};

class TApplicationOptions
{
public:
  // The store's registry key below HKEY_CURRENT_USER, also the profiles' key.
  static inline const QString RegistryKey = QStringLiteral("\\Software\\Quenfield\\Orvel");
  static inline const QString StorageTypeRefused =
      QStringLiteral("\"StorageType\"=%1 is not supported: backup profiles are kept in the registry only.");
  static inline const QString VersionCheckFailed = QStringLiteral("Failed to check application version details.");
  // Seconds until the update-information dialog closes itself.
  static constexpr int UpdateInformationTimeout = 15;

  explicit TApplicationOptions(TProgramSettings* ASettings);

  // Sets up a new store, in this order: defaults store INI file, settings store registry (the
  // defaults store follows it), the registry key, the per-user "settings.ini" and the program
  // folder's "defaults.ini".
  static void ConfigureStore(TProgramSettings& ASettings);
  // Removes all settings and registers the options in their order, with types and defaults.
  void RegisterOptions();
  // The option names in registration order.
  static QStringList OptionNames();

  // The table of the options, in registration order (index = TOptionId).
  static const std::array<TOptionDefinition, OptionCount>& Definitions();
  static QString Name(TOptionId AOption);
  // Typed access to a store. An option not registered in it (yet) reads as unset: false, 0, empty.
  [[nodiscard]] static bool Boolean(const TProgramSettings& ASettings, TOptionId AOption);
  [[nodiscard]] static int Integer(const TProgramSettings& ASettings, TOptionId AOption);
  [[nodiscard]] static QString Text(const TProgramSettings& ASettings, TOptionId AOption);
  [[nodiscard]] static bool Registered(const TProgramSettings& ASettings, TOptionId AOption);
  // The program-wide mail server: the six SMTP options as one record.
  [[nodiscard]] static TSmtpServer SmtpServer(const TProgramSettings& ASettings);
  // Sets a registered option's value in memory.
  static void Set(TProgramSettings& ASettings, TOptionId AOption, const QVariant& AValue);
  // Writes a registered option's value to the store at once; raises when the store refuses it.
  static void Save(TProgramSettings& ASettings, TOptionId AOption);

  // The settings cycle: register, load the defaults and the settings, check the version, apply,
  // select the remembered action, save. Raises what loading or saving raises (a stored value
  // of the wrong type); a failing version check only calls OnVersionCheckError.
  void LoadApplicationSettings();
  // Saves the settings (and the defaults when asked), then runs the cycle again.
  void SaveApplicationSettings(bool ASaveDefaults);

  // The file version of the running program, as "1.2.3.4"; this build's version by default.
  std::function<QString()> FileVersion;
  // The product name of the running program; the application title by default.
  std::function<QString()> ProductName;
  // The stored version differs from the running one: the release notes are due (the three files,
  // closable after ATimeout seconds). The handler answers true when it has shown them, and the
  // cycle stores the new version; false when it shows them later and calls StoreVersion() then,
  // so that notes never shown are due again at the next start. Unbound: the new version is stored
  // and nothing is shown.
  std::function<bool(const QStringList& AFiles, int ATimeout)> OnShowUpdateInformation;
  // The version check failed; AMessage is the error box's text.
  std::function<void(const QString& AMessage)> OnVersionCheckError;
  // The store cannot be used (a damaged file, kept as it is); the program goes on with defaults.
  // Called once, by the first cycle that finds it. Also called once when the machine-wide
  // defaults hold a password, which is refused, and when "StorageType" (from "defaults.ini" or the
  // store) is not 0: profiles are kept in the registry only, and the value is set back to 0.
  std::function<void(const QString& AMessage)> OnStoreError;
  // Apply the loaded options: the profile manager takes "Debug" and the SMTP options.
  std::function<void(const TProgramSettings& ASettings)> OnApply;
  // Select the action "LastSelectionID" names (0 to 9); ActionIndex() says which to select.
  std::function<void(int AIndex)> OnSelectAction;

  // Records the running version as the one whose release notes were shown, in the store at once.
  // Raises when the store refuses it.
  void StoreVersion();

  // The action to select for a stored index: the index when the list holds it, else the first.
  static int ActionIndex(int AStoredIndex, int AActionCount);

private:
  void CheckVersion();

  TProgramSettings* FSettings;
  bool FStoreErrorShown = false;
  bool FDefaultsRefusalShown = false;
};
