// SPDX-License-Identifier: GPL-3.0-or-later
// The long-lived services behind the main window: the settings store with the application's
// options and the profile manager. Binds the main window's hooks to them and the manager's
// events to the main window's handlers. Owned by the main window (its QObject parent).
#pragma once

#include "sysinfo/SharedTypes.h"

#include <QObject>
#include <QStringList>

#include <memory>

class TApplicationOptions;
class TBackupProfileManager;
class TProgramSettings;
class TfrmOrvel;

class TShellServices : public QObject
{
  Q_OBJECT

public:
  // Creates the services and binds AForm's hooks; AForm becomes the owner.
  explicit TShellServices(TfrmOrvel* AForm);
  ~TShellServices() override;

  TProgramSettings& ProgramSettings() const { return *FProgramSettings; }
  TApplicationOptions& Options() const { return *FOptions; }
  TBackupProfileManager& BackupProfileManager() const { return *FBackupProfileManager; }

  // The settings cycle and the profile load and save, as the start-up and shutdown run them.
  void LoadApplicationSettings();
  void SaveSettings(bool ASaveDefaults);
  void LoadBackupProfiles();
  void SaveBackupProfiles();

private:
  void BindHooks();
  void BindManagerEvents();
  // A setting that may be read before the options are registered (then it reads as unset).
  QVariant Setting(const QString& AName) const;
  QStringList ProfileNames() const;
  // Selects AIndex as "LastSelectionID" and stores it.
  void StoreLastSelection(int AIndex);
  bool Backup();
  void BackupAlerts(int ACount);
  void ProfileLoadErrors(const QStringList& AProfileNames);

  TfrmOrvel* FForm;
  // The damaged profiles the user was last told about.
  QStringList FReportedLoadErrors;
  TProgramSettings* FProgramSettings = nullptr;
  std::unique_ptr<TApplicationOptions> FOptions;
  std::unique_ptr<TBackupProfileManager> FBackupProfileManager;
};
