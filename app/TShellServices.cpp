// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TShellServices.h"

#include "app/MainActions.h"
#include "app/TRunQuestions.h"
#include "app/TfrmBackupProgress.h"
#include "app/TfrmOrvel.h"
#include "profiles/EBackupProfileManagerException.h"
#include "profiles/ManagerSetup.h"
#include "profiles/TBackupProfileManager.h"
#include "settings/TApplicationOptions.h"
#include "settings/TProgramSettings.h"
#include "sysinfo/Common.h"
#include "ui/TMessageBox.h"

#include <QThread>

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

void TShellServices::Connect(TfrmOrvel& AForm, TRunQuestions* AQuestions)
{
  FForm = &AForm;
  FQuestions = AQuestions;
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
  FQuestions = nullptr;
  FOptions.OnSelectAction = nullptr;
  FOptions.OnVersionCheckError = nullptr;
  FOptions.OnStoreError = nullptr;
  FOptions.OnShowUpdateInformation = nullptr;
  TBackupProfileManager& manager = FBackupProfileManager;
  for (TNotifyEvent* event :
       {&manager.OnNTBackupStart, &manager.OnNTBackupFinished, &manager.OnPluginsStart, &manager.OnPluginsFileListStart,
        &manager.OnPluginsFileListFinished, &manager.OnPluginsFinished})
    *event = nullptr;
  for (TOnProgress* event : {&manager.OnBackupProgress, &manager.OnProfileProgress, &manager.OnTotalProgress})
    *event = nullptr;
  manager.OnLog = nullptr;
  manager.OnDebug = nullptr;
  manager.OnBackupAlerts = nullptr;
  manager.OnProfileLoadErrors = nullptr;
  manager.OnRemainingTime = nullptr;
  manager.OnCancelConfirm = nullptr;
  manager.OnCancelQueueRequest = nullptr;
  manager.OnCloseActiveApplications = nullptr;
  manager.OnStartBackup = nullptr;
  manager.OnFinishBackup = nullptr;
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

template <typename TCall> void TShellServices::OnWindow(TCall ACall)
{
  TfrmOrvel* form = FForm;
  if (!form)
    return;
  // The run reports from its own thread: the call waits in the window's queue, and goes with the
  // window if it goes first.
  if (QThread::currentThread() == form->thread())
    ACall(*form);
  else
    QMetaObject::invokeMethod(
        form, [form, ACall] { ACall(*form); }, Qt::QueuedConnection);
}

void TShellServices::BindManagerEvents()
{
  TBackupProfileManager& manager = FBackupProfileManager;
  if (!FForm)
    return;
  TRunProgress* progress = &FForm->RunProgress();
  manager.OnLog = [this](QObject* ASender, const QString& AMessage) {
    OnWindow([ASender, AMessage](TfrmOrvel& AForm) { AForm.Log(ASender, AMessage); });
  };
  manager.OnDebug = [this](QObject* ASender, const QString& AProcedure, const QString& AMessage) {
    OnWindow([ASender, AProcedure, AMessage](TfrmOrvel& AForm) { AForm.Debug(ASender, AProcedure, AMessage); });
  };
  // Progress is left for the window to take: a run reports far more often than a window paints.
  manager.OnBackupProgress = [progress](QObject*, const QString& AMessage, int AProgress) {
    progress->Item(AProgress, AMessage);
  };
  manager.OnProfileProgress = [progress](QObject*, const QString& AMessage, int AProgress) {
    progress->Profile(AProgress, AMessage);
  };
  manager.OnTotalProgress = [progress](QObject*, const QString& AMessage, int AProgress) {
    progress->Total(AProgress, AMessage);
  };
  manager.OnRemainingTime = [progress](QObject*, qint64, qint64, TDateTime AElapsed, TDateTime AEstimated) {
    progress->Times(AElapsed, AEstimated);
  };
  // The questions wait for the user's answer on the window's thread.
  TRunQuestions* questions = FQuestions;
  manager.OnCancelConfirm = [questions](QObject*, bool& ACancel) {
    ACancel = !questions || questions->ConfirmCancel();
  };
  manager.OnCloseActiveApplications = [questions](QObject*, const QStringList& APrograms, bool AGracefully,
                                                  bool& AContinue) {
    AContinue = !questions || questions->CloseActiveApplications(APrograms, AGracefully);
  };
  manager.OnCancelQueueRequest = [questions](QObject*, bool& ACancelAll) {
    ACancelAll = !questions || !questions->ContinueWithRemainingProfiles();
  };
  // A queue entry whose profile is gone has no name to show; its failure reaches the log.
  manager.OnStartBackup = [this](QObject*, TBackupProfile* AProfile) {
    if (AProfile)
      OnWindow([name = AProfile->ProfileName()](TfrmOrvel& AForm) { AForm.BackupProgress().ProfileStarted(name); });
  };
  manager.OnFinishBackup = [this](QObject*, TBackupProfile* AProfile) {
    if (AProfile)
      OnWindow([name = AProfile->ProfileName()](TfrmOrvel& AForm) { AForm.BackupProgress().ProfileFinished(name); });
  };
  // "ntbackup" and the plug-ins' look at the file list may show windows of their own.
  const auto hide = [this](QObject*) { OnWindow([](TfrmOrvel& AForm) { AForm.BackupProgress().hide(); }); };
  const auto show = [this](QObject*) { OnWindow([](TfrmOrvel& AForm) { AForm.BackupProgress().show(); }); };
  manager.OnNTBackupStart = hide;
  manager.OnNTBackupFinished = show;
  manager.OnPluginsFileListStart = hide;
  manager.OnPluginsFileListFinished = show;
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
  if (FForm && TApplicationOptions::Boolean(FProgramSettings, TOptionId::CheckLastBackup))
    FForm->BackupAlertsFound(ACount);
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
