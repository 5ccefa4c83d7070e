// SPDX-License-Identifier: GPL-3.0-or-later
// The production settings cycle and backup runner: the application's options over the settings
// store, and the profile manager. Reports to the main window, which it joins through Connect.
#pragma once

#include "app/TBackupRunner.h"
#include "app/TSettingsCycle.h"

#include <QObject>
#include <QStringList>

class TApplicationOptions;
class TBackupProfileManager;
class TProgramSettings;
class TRunQuestions;
class TfrmOrvel;

class TShellServices : public QObject, public TSettingsCycle, public TBackupRunner
{
  Q_OBJECT

public:
  // The three objects outlive this one.
  TShellServices(TProgramSettings& AProgramSettings, TApplicationOptions& AOptions,
                 TBackupProfileManager& ABackupProfileManager, QObject* AParent = nullptr);

  // The main window shows what the services report (selected action, alerts, progress, errors);
  // AQuestions (may be null: every question is answered "go on") asks what a run needs to know.
  // The window is made with the services, so it joins them here, once, before it starts.
  void Connect(TfrmOrvel& AForm, TRunQuestions* AQuestions);
  // Before the window goes, with no run active: nothing reports to it any more.
  void Disconnect();

  TProgramSettings& ProgramSettings() const { return FProgramSettings; }
  TApplicationOptions& Options() const { return FOptions; }
  TBackupProfileManager& BackupProfileManager() const { return FBackupProfileManager; }

  // TSettingsCycle
  void LoadApplicationSettings() override;
  void SaveSettings(bool ASaveDefaults) override;
  [[nodiscard]] bool DebugEnabled() const override;
  [[nodiscard]] bool ExitOnlyAfterSuccess() const override;
  [[nodiscard]] QString OptionsPassword() const override;
  void StoreLastSelection(int AIndex) override;
  void StoreVersion() override;

  // TBackupRunner
  void LoadBackupProfiles() override;
  void SaveBackupProfiles() override;
  [[nodiscard]] QStringList ProfileNames() const override;
  [[nodiscard]] bool IsBackupActive() const override;
  void QueueAllEnabled() override;
  void QueueProfile(const QString& AProfileName) override;
  [[nodiscard]] bool Backup() override;
  void CancelBackup() override;
  void StopBackup() override;
  void CheckBackupAlerts() override;

private:
  void BindManagerEvents();
  // ACall(form) on the window's thread, from whichever thread reports.
  template <typename TCall> void OnWindow(TCall ACall);
  void BackupAlerts(int ACount);
  void ProfileLoadErrors(const QStringList& AProfileNames);

  TProgramSettings& FProgramSettings;
  TApplicationOptions& FOptions;
  TBackupProfileManager& FBackupProfileManager;
  TfrmOrvel* FForm = nullptr;
  TRunQuestions* FQuestions = nullptr;
  // The damaged profiles the user was last told about.
  QStringList FReportedLoadErrors;
};
