// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TShellServices.h"

#include "app/MainActions.h"
#include "app/Pictures.h"
#include "app/TfrmOrvel.h"
#include "profiles/EBackupProfileManagerException.h"
#include "profiles/ManagerSetup.h"
#include "profiles/TBackupProfileManager.h"
#include "settings/TApplicationOptions.h"
#include "settings/TProgramSettings.h"
#include "sysinfo/Common.h"
#include "ui/TMessageBox.h"

#include <algorithm>

TShellServices::TShellServices(TProgramSettings& AProgramSettings, TApplicationOptions& AOptions,
                               TBackupProfileManager& ABackupProfileManager, QObject* AParent)
  : QObject(AParent)
  , FProgramSettings(AProgramSettings)
  , FOptions(AOptions)
  , FBackupProfileManager(ABackupProfileManager)
{
  setObjectName(QStringLiteral("ShellServices"));
  FOptions.OnApply = [this](const TProgramSettings& ASettings) {
    ApplyOptionsToManager(FBackupProfileManager, ASettings);
  };
}

void TShellServices::Connect(TfrmOrvel& AForm)
{
  FForm = &AForm;
  TfrmOrvel* form = FForm;
  FOptions.OnSelectAction = [form](int AIndex) {
    form->SetSelectedIndex(TApplicationOptions::ActionIndex(AIndex, MainActionCount));
  };
  FOptions.OnVersionCheckError = [form](const QString& AMessage) { TMessageBox::Error(form, AMessage); };
  FOptions.OnStoreError = [form](const QString& AMessage) { TMessageBox::Error(form, AMessage); };
  // The notes wait for the end of the start-up and for the window to be on screen; the window
  // stores the version once it has shown them.
  FOptions.OnShowUpdateInformation = [form](const QStringList& AFiles, int ATimeout) {
    form->RequestUpdateInformation(AFiles, ATimeout);
    return false;
  };
}

void TShellServices::Disconnect()
{
  FForm = nullptr;
  FOptions.OnSelectAction = nullptr;
  FOptions.OnVersionCheckError = nullptr;
  FOptions.OnStoreError = nullptr;
  FOptions.OnShowUpdateInformation = nullptr;
  FBackupProfileManager.OnBackupAlerts = nullptr;
  FBackupProfileManager.OnBackupProgress = nullptr;
  FBackupProfileManager.OnCancelConfirm = nullptr;
  FBackupProfileManager.OnCancelQueueRequest = nullptr;
  FBackupProfileManager.OnDebug = nullptr;
  FBackupProfileManager.OnFinishBackup = nullptr;
  FBackupProfileManager.OnLog = nullptr;
  FBackupProfileManager.OnNTBackupFinished = nullptr;
  FBackupProfileManager.OnNTBackupStart = nullptr;
  FBackupProfileManager.OnPluginsFileListFinished = nullptr;
  FBackupProfileManager.OnPluginsFileListStart = nullptr;
  FBackupProfileManager.OnProfileLoadErrors = nullptr;
  FBackupProfileManager.OnProfileProgress = nullptr;
  FBackupProfileManager.OnRemainingTime = nullptr;
  FBackupProfileManager.OnStartBackup = nullptr;
  FBackupProfileManager.OnTotalProgress = nullptr;
}

bool TShellServices::DebugEnabled() const
{
  return TApplicationOptions::Boolean(FProgramSettings, TOptionId::Debug);
}

bool TShellServices::ExitOnlyAfterSuccess() const
{
  return TApplicationOptions::Boolean(FProgramSettings, TOptionId::ExitOnlyAfterSuccess);
}

QString TShellServices::OptionsPassword() const
{
  return TApplicationOptions::Text(FProgramSettings, TOptionId::Password);
}

bool TShellServices::IsBackupActive() const
{
  return FBackupProfileManager.IsBackupActive();
}

void TShellServices::QueueAllEnabled()
{
  FBackupProfileManager.QueueAllEnabled();
}

void TShellServices::QueueProfile(const QString& AProfileName)
{
  FBackupProfileManager.ClearQueue();
  FBackupProfileManager.QueueAdd(AProfileName);
}

void TShellServices::CancelBackup()
{
  FBackupProfileManager.CancelBackup();
}

void TShellServices::StopBackup()
{
  FBackupProfileManager.StopBackup();
}

void TShellServices::CheckBackupAlerts()
{
  FBackupProfileManager.CheckBackupAlerts();
}

// ---- Settings ------------------------------------------------------------------------------------

void TShellServices::StoreLastSelection(int AIndex)
{
  if (!TApplicationOptions::Registered(FProgramSettings, TOptionId::LastSelectionID))
    return;
  TApplicationOptions::Set(FProgramSettings, TOptionId::LastSelectionID, AIndex);
  // Stored at once: reading the store again (after corvale-cli changed it) must not lose it.
  try {
    TApplicationOptions::Save(FProgramSettings, TOptionId::LastSelectionID);
  } catch (const std::exception& error) {
    // Still in memory, it is saved with the others at exit.
    if (FForm)
      FForm->Log(this, QString::fromUtf8(error.what()));
  }
}

void TShellServices::StoreVersion()
{
  try {
    FOptions.StoreVersion();
  } catch (const std::exception& error) {
    // The notes are due again at the next start; the window shows them once per run.
    if (FForm)
      FForm->Log(this, QString::fromUtf8(error.what()));
  }
}

void TShellServices::LoadApplicationSettings()
{
  FOptions.LoadApplicationSettings();
}

void TShellServices::SaveSettings(bool ASaveDefaults)
{
  // The main window runs the load cycle again afterwards.
  FProgramSettings.SaveSettings();
  if (ASaveDefaults)
    FProgramSettings.SaveDefaults();
}

// ---- Profile manager -------------------------------------------------------------------------

void TShellServices::LoadBackupProfiles()
{
  TBackupProfileManager& manager = FBackupProfileManager;
  ConfigureUserManager(manager);
  BindManagerEvents();
  // Damaged profiles are reported through OnProfileLoadErrors; the result says nothing more
  // except that none is damaged now.
  if (manager.LoadProfiles())
    FReportedLoadErrors.clear();
}

void TShellServices::SaveBackupProfiles()
{
  ConfigureUserManager(FBackupProfileManager);
  // Each profile that failed is named in the application log. A damaged profile is never saved,
  // on purpose (what is stored for it stays; the user was told about it when it was read), but it
  // does not hide the failure of another one.
  QStringList unsaved;
  if (FBackupProfileManager.SaveProfiles(&unsaved) || unsaved.isEmpty())
    return;
  throw EBackupProfileManagerException(QStringLiteral("Failed to save the backup profiles."));
}

void TShellServices::BindManagerEvents()
{
  TBackupProfileManager& manager = FBackupProfileManager;
  TfrmOrvel* form = FForm;
  if (!form)
    return;
  manager.OnLog = [form](QObject* ASender, const QString& AMessage) { form->Log(ASender, AMessage); };
  manager.OnDebug = [form](QObject* ASender, const QString& AProcedure, const QString& AMessage) {
    form->Debug(ASender, AProcedure, AMessage);
  };
  manager.OnBackupProgress = [form](QObject* ASender, const QString& AMessage, int AProgress) {
    form->BackupProgress(ASender, AMessage, AProgress);
  };
  manager.OnProfileProgress = [form](QObject* ASender, const QString& AMessage, int AProgress) {
    form->ProfileProgress(ASender, AMessage, AProgress);
  };
  manager.OnTotalProgress = [form](QObject* ASender, const QString& AMessage, int AProgress) {
    form->TotalProgress(ASender, AMessage, AProgress);
  };
  manager.OnRemainingTime = [form](QObject* ASender, qint64 ATotal, qint64 ACurrent, TDateTime AElapsed,
                                   TDateTime AEstimated) {
    form->RemainingTime(ASender, ATotal, ACurrent, AElapsed, AEstimated);
  };
  manager.OnCancelConfirm = [form](QObject* ASender, bool& ACancel) { form->CancelConfirm(ASender, ACancel); };
  manager.OnCloseActiveApplications = [form](QObject* ASender, const QStringList& AActivePrograms,
                                             bool ACloseGracefully, bool& AContinue) {
    form->CloseActiveApplications(ASender, AActivePrograms, ACloseGracefully, AContinue);
  };
  manager.OnCancelQueueRequest = [form](QObject* ASender, bool& ACancelAll) {
    form->CancelQueueRequest(ASender, ACancelAll);
  };
  // A queue entry whose profile is gone has no name to show; its failure reaches the log.
  manager.OnStartBackup = [form](QObject* ASender, TBackupProfile* AProfile) {
    if (AProfile)
      form->StartBackup(ASender, AProfile->ProfileName());
  };
  manager.OnFinishBackup = [form](QObject* ASender, TBackupProfile* AProfile) {
    if (AProfile)
      form->FinishBackup(ASender, AProfile->ProfileName());
  };
  manager.OnNTBackupStart = [form](QObject* ASender) { form->HideProgressWindow(ASender); };
  manager.OnNTBackupFinished = [form](QObject* ASender) { form->ShowProgressWindow(ASender); };
  manager.OnPluginsFileListStart = [form](QObject* ASender) { form->HideProgressWindow(ASender); };
  manager.OnPluginsFileListFinished = [form](QObject* ASender) { form->ShowProgressWindow(ASender); };
  manager.OnPluginsStart = nullptr;
  manager.OnPluginsFinished = nullptr;
  manager.OnBackupAlerts = [this](QObject*, int ACount) { BackupAlerts(ACount); };
  manager.OnProfileLoadErrors = [this](QObject*, const QStringList& ANames) { ProfileLoadErrors(ANames); };
}

QStringList TShellServices::ProfileNames() const
{
  QStringList names;
  for (int index = 0; index < FBackupProfileManager.ProfileCount(); ++index)
    names << FBackupProfileManager.GetProfileByIndex(index)->ProfileName();
  return names;
}

bool TShellServices::Backup()
{
  return FBackupProfileManager.Backup();
}

void TShellServices::BackupAlerts(int ACount)
{
  if (!FForm || !TApplicationOptions::Boolean(FProgramSettings, TOptionId::CheckLastBackup))
    return;
  FForm->SetTrayIcon(tiAlerts, ApplicationTitle() + QStringLiteral(" - Backup Alerts: ") + QString::number(ACount));
  TfrmOrvel* form = FForm;
  FForm->ShowBalloon(QStringLiteral("You have %1 Backup Alerts pending, click here for more details.").arg(ACount),
                     btWarning, 30000, [form](QObject*) { form->ShowBackupAlerts(); });
}

void TShellServices::ProfileLoadErrors(const QStringList& AProfileNames)
{
  if (!FForm)
    return;
  const QString names = AProfileNames.join(QStringLiteral(", "));
  FForm->Log(this, QStringLiteral("Backup profiles that could not be read: ") + names);
  // The profiles are read again whenever corvale-cli has changed the store; the user is told
  // once about each damaged profile, not after every backup from the terminal.
  const QStringList reported = FReportedLoadErrors;
  FReportedLoadErrors = AProfileNames;
  if (std::all_of(AProfileNames.begin(), AProfileNames.end(),
                  [&reported](const QString& AName) { return reported.contains(AName); }))
    return;
  TMessageBox::Warning(FForm, QStringLiteral("The following backup profiles could not be read: %1\n\n"
                                             "They are not backed up, and what is stored for them is "
                                             "not overwritten.")
                                  .arg(names));
}
