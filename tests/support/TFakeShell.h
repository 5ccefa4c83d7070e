// SPDX-License-Identifier: GPL-3.0-or-later
// Fakes for what the main window asks of the rest of the program. Each answer is a function a
// test may set (On + the method's name); unset, an action does nothing and a question answers as
// a cancelled dialog or an idle manager would.
#pragma once

#include "app/TBackupRunner.h"
#include "app/TSettingsCycle.h"
#include "app/TShellDialogs.h"

#include <functional>

// The options.
class TFakeSettingsCycle : public TSettingsCycle
{
public:
  std::function<void()> OnLoadApplicationSettings;
  std::function<void(bool)> OnSaveSettings;
  std::function<bool()> OnDebugEnabled;
  std::function<QString()> OnOptionsPassword;
  std::function<bool()> OnExitOnlyAfterSuccess;
  std::function<void(int)> OnStoreLastSelection;
  std::function<void()> OnStoreVersion;

  void LoadApplicationSettings() override
  {
    if (OnLoadApplicationSettings)
      OnLoadApplicationSettings();
  }
  void SaveSettings(bool ASaveDefaults) override
  {
    if (OnSaveSettings)
      OnSaveSettings(ASaveDefaults);
  }
  [[nodiscard]] bool DebugEnabled() const override { return OnDebugEnabled ? OnDebugEnabled() : false; }
  [[nodiscard]] QString OptionsPassword() const override { return OnOptionsPassword ? OnOptionsPassword() : QString(); }
  [[nodiscard]] bool ExitOnlyAfterSuccess() const override
  {
    return OnExitOnlyAfterSuccess ? OnExitOnlyAfterSuccess() : false;
  }
  void StoreLastSelection(int AIndex) override
  {
    if (OnStoreLastSelection)
      OnStoreLastSelection(AIndex);
  }
  void StoreVersion() override
  {
    if (OnStoreVersion)
      OnStoreVersion();
  }
};

// The profile manager: an empty one whose runs succeed.
class TFakeBackupRunner : public TBackupRunner
{
public:
  std::function<void()> OnLoadBackupProfiles;
  std::function<void()> OnSaveBackupProfiles;
  std::function<QStringList()> OnProfileNames;
  std::function<bool()> OnIsBackupActive;
  std::function<void()> OnQueueAllEnabled;
  std::function<void(const QString&)> OnQueueProfile;
  std::function<bool()> OnBackup;
  std::function<void()> OnCancelBackup;
  std::function<void()> OnStopBackup;
  std::function<void()> OnCheckBackupAlerts;

  void LoadBackupProfiles() override
  {
    if (OnLoadBackupProfiles)
      OnLoadBackupProfiles();
  }
  void SaveBackupProfiles() override
  {
    if (OnSaveBackupProfiles)
      OnSaveBackupProfiles();
  }
  [[nodiscard]] QStringList ProfileNames() const override { return OnProfileNames ? OnProfileNames() : QStringList(); }
  [[nodiscard]] bool IsBackupActive() const override { return OnIsBackupActive ? OnIsBackupActive() : false; }
  void QueueAllEnabled() override
  {
    if (OnQueueAllEnabled)
      OnQueueAllEnabled();
  }
  void QueueProfile(const QString& AProfileName) override
  {
    if (OnQueueProfile)
      OnQueueProfile(AProfileName);
  }
  [[nodiscard]] bool Backup() override { return OnBackup ? OnBackup() : true; }
  void CancelBackup() override
  {
    if (OnCancelBackup)
      OnCancelBackup();
  }
  void StopBackup() override
  {
    if (OnStopBackup)
      OnStopBackup();
  }
  void CheckBackupAlerts() override
  {
    if (OnCheckBackupAlerts)
      OnCheckBackupAlerts();
  }
};

// The dialogs: a new window adds its method here with the same pattern.
class TFakeDialogs : public TShellDialogs
{
public:
  std::function<void(int)> OnShowFailedBackup;
  std::function<bool(TExitParameter&)> OnCustomBackup;
  std::function<void(const QString&, const QString&, const QString&)> OnShowAbout;
  std::function<bool()> OnOptionsVisible;
  std::function<bool()> OnShowOptions;
  std::function<bool(const QString&, const QString&, int)> OnCheckPassword;
  std::function<bool()> OnBackupAlerts;
  std::function<bool(const QStringList&, bool)> OnCloseActiveApplications;
  std::function<void(bool)> OnSetAutoUpdateEnabled;
  std::function<void(const QString&, const QString&, const QString&, int)> OnShowUpdateInformation;
  std::function<TExceptionChoice(QWidget*, const QString&, const QString&)> OnShowException;
  std::function<bool(const QString&)> OnEditProfile;
  std::function<bool()> OnNewProfile;
  std::function<bool()> OnOfferFirstProfile;

  void ShowFailedBackup(int AAutoCloseSeconds) override
  {
    if (OnShowFailedBackup)
      OnShowFailedBackup(AAutoCloseSeconds);
  }
  [[nodiscard]] bool CustomBackup(TExitParameter& AExitParameter) override
  {
    return OnCustomBackup ? OnCustomBackup(AExitParameter) : false;
  }
  void ShowAbout(const QString& AReleaseNotes, const QString& ALicense, const QString& ASupport) override
  {
    if (OnShowAbout)
      OnShowAbout(AReleaseNotes, ALicense, ASupport);
  }
  [[nodiscard]] bool OptionsVisible() const override { return OnOptionsVisible ? OnOptionsVisible() : false; }
  [[nodiscard]] bool ShowOptions() override { return OnShowOptions ? OnShowOptions() : false; }
  [[nodiscard]] bool CheckPassword(const QString& ACaption, const QString& APassword, int AAttempts) override
  {
    return OnCheckPassword ? OnCheckPassword(ACaption, APassword, AAttempts) : false;
  }
  [[nodiscard]] bool BackupAlerts() override { return OnBackupAlerts ? OnBackupAlerts() : false; }
  // Unset, it answers as the real dialog does when none of the programs runs.
  [[nodiscard]] bool CloseActiveApplications(const QStringList& AActivePrograms, bool ACloseGracefully) override
  {
    return OnCloseActiveApplications ? OnCloseActiveApplications(AActivePrograms, ACloseGracefully) : true;
  }
  void SetAutoUpdateEnabled(bool AEnabled) override
  {
    if (OnSetAutoUpdateEnabled)
      OnSetAutoUpdateEnabled(AEnabled);
  }
  void ShowUpdateInformation(const QString& AReleaseNotes, const QString& ALicense, const QString& ASupport,
                             int ATimeout) override
  {
    if (OnShowUpdateInformation)
      OnShowUpdateInformation(AReleaseNotes, ALicense, ASupport, ATimeout);
  }
  [[nodiscard]] TExceptionChoice ShowException(QWidget* ASender, const QString& AMessage,
                                               const QString& AClassName) override
  {
    return OnShowException ? OnShowException(ASender, AMessage, AClassName) : TExceptionChoice::Continue;
  }
  [[nodiscard]] bool EditProfile(const QString& AProfileName) override
  {
    return OnEditProfile ? OnEditProfile(AProfileName) : false;
  }
  [[nodiscard]] bool OfferFirstProfile() override { return OnOfferFirstProfile ? OnOfferFirstProfile() : false; }
  [[nodiscard]] bool NewProfile() override { return OnNewProfile ? OnNewProfile() : false; }
};

// All three, for tests that drive the main window alone.
class TFakeShell : public TFakeSettingsCycle, public TFakeBackupRunner, public TFakeDialogs
{};
