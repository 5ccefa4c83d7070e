// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TShellDialogWindows.h"

#include "app/MainActions.h"
#include "app/Pictures.h"
#include "app/ProgramVersion.h"
#include "app/TWizardProgressWindow.h"
#include "profiles/TBackupProfileManager.h"
#include "settings/TLog.h"
#include "sysinfo/TApplicationVersionInfo.h"
#include "sysinfo/TProcessCommandRunner.h"
#include "sysinfo/TSystemSources.h"
#include "ui/TDesktopProgramPicker.h"
#include "ui/TMessageBox.h"
#include "ui/TPluginsCatalog.h"
#include "ui/TProfileEditing.h"
#include "ui/TdlgUpdateInformation.h"
#include "ui/TfrmAbout.h"
#include "ui/TfrmActiveApplications.h"
#include "ui/TfrmAutoUpdate.h"
#include "ui/TfrmBackupAlert.h"
#include "ui/TfrmBackupProfileWizard.h"
#include "ui/TfrmBackupProfiles.h"
#include "ui/TfrmCustomBackup.h"
#include "ui/TfrmException.h"
#include "ui/TfrmFailedBackup.h"
#include "ui/TfrmOptions.h"
#include "ui/TfrmPassword.h"

TShellDialogWindows::TShellDialogWindows(TBackupProfileManager& ABackupProfileManager, TProgramWindows& AWindows,
                                         TAutoUpdate& AAutoUpdate, TProgramSettings& ASettings, TLog& ALog,
                                         TFileManager& AFileManager)
  : FBackupProfileManager(ABackupProfileManager)
  , FActiveApplications(std::make_unique<TfrmActiveApplications>(AWindows))
  , FProgramPicker(std::make_unique<TDesktopProgramPicker>(AWindows))
  , FfrmAutoUpdate(std::make_unique<TfrmAutoUpdate>(AAutoUpdate, &ASettings))
  , FSettings(ASettings)
  , FLog(ALog)
  , FFileManager(AFileManager)
{
  // The update check's lines go to the application log while it is open.
  FfrmAutoUpdate->OnUpdateMessage = [&ALog](QObject*, const QString& AMessage) {
    if (ALog.Active())
      ALog.Add(AMessage);
  };
}

TShellDialogWindows::~TShellDialogWindows()
{
  // The windows before what they were given.
  FPassword.reset();
  FOptions.reset();
  FProfileEditing.reset();
  FWizard.reset();
  FBackupProfiles.reset();
}

TProfileEditing& TShellDialogWindows::ProfileEditing()
{
  if (!FProfileEditing) {
    FBackupProfiles = std::make_unique<TfrmBackupProfiles>(FProgramPicker.get(), std::make_unique<TPluginsCatalog>());
    FCommandRunner = std::make_unique<TProcessCommandRunner>();
    FSystemSources = std::make_unique<TSystemSources>(TSystemSources::Current(*FCommandRunner));
    FWizardProgress = std::make_unique<TWizardProgressWindow>();
    FWizard = std::make_unique<TfrmBackupProfileWizard>(*FSystemSources, *FWizardProgress);
    FProfileEditing = std::make_unique<TProfileEditing>(FBackupProfileManager, *FBackupProfiles, FWizard.get());
  }
  return *FProfileEditing;
}

TfrmOptions& TShellDialogWindows::Options()
{
  if (!FOptions) {
    QStringList actions;
    for (const TMainAction& action : MainActions)
      actions << QString::fromUtf8(action.Caption);
    FOptions =
        std::make_unique<TfrmOptions>(FSettings, FBackupProfileManager, FLog, ProfileEditing(), FFileManager, actions);
  }
  return *FOptions;
}

bool TShellDialogWindows::OfferFirstProfile()
{
  if (!TMessageBox::Confirmation(nullptr, QStringLiteral("There is no backup profile yet. Do you want the Profile "
                                                         "Wizard to create one now?")))
    return false;
  return ProfileEditing().WizardProfile();
}

bool TShellDialogWindows::EditProfile(const QString& AProfileName)
{
  return ProfileEditing().EditProfile(AProfileName);
}

bool TShellDialogWindows::NewProfile()
{
  return ProfileEditing().NewProfile();
}

void TShellDialogWindows::ShowFailedBackup(int AAutoCloseSeconds)
{
  if (!FFailedBackup)
    FFailedBackup = std::make_unique<TfrmFailedBackup>(FBackupProfileManager);
  FFailedBackup->Execute(AAutoCloseSeconds);
}

bool TShellDialogWindows::CustomBackup(TExitParameter& AExitParameter)
{
  if (!FCustomBackup)
    FCustomBackup = std::make_unique<TfrmCustomBackup>(FBackupProfileManager);
  return FCustomBackup->Execute(AExitParameter);
}

void TShellDialogWindows::ShowAbout(const QString& AReleaseNotes, const QString& ALicense, const QString& ASupport)
{
  if (!FAbout)
    FAbout = std::make_unique<TfrmAbout>(ProgramFileVersion(), ProgramLegalNotice(), LogoPicture(QSize(425, 60)));
  (void)FAbout->Execute(AReleaseNotes, ALicense, ASupport);
}

bool TShellDialogWindows::OptionsVisible() const
{
  return FOptions && FOptions->isVisible();
}

bool TShellDialogWindows::ShowOptions()
{
  return Options().Execute() == QDialog::Accepted;
}

bool TShellDialogWindows::CheckPassword(const QString& ACaption, const QString& APassword, int AAttempts)
{
  if (!FPassword)
    FPassword = std::make_unique<TfrmPassword>();
  if (FPassword->isVisible()) {
    FPassword->raise();
    FPassword->activateWindow();
    return false;
  }
  return FPassword->Execute(ACaption, APassword, AAttempts);
}

bool TShellDialogWindows::BackupAlerts()
{
  FBackupProfileManager.QueueOverdue();
  if (FBackupProfileManager.Queue().Count() == 0)
    return false;
  // The window fills the queue with the profiles ticked in it; the main window runs them.
  TfrmBackupAlert dialog(FBackupProfileManager);
  return dialog.Execute();
}

bool TShellDialogWindows::CloseActiveApplications(const QStringList& AActivePrograms, bool ACloseGracefully)
{
  return FActiveApplications->Execute(AActivePrograms, ACloseGracefully);
}

void TShellDialogWindows::SetAutoUpdateEnabled(bool AEnabled)
{
  FfrmAutoUpdate->SetAutoUpdateEnabled(AEnabled);
}

void TShellDialogWindows::ShowUpdateInformation(const QString& AReleaseNotes, const QString& ALicense,
                                                const QString& ASupport, int ATimeout)
{
  // A headless run has no one to read the documents.
  if (TMessageBox::Headless())
    return;
  if (!FUpdateInformation) {
    const TApplicationVersionInfo version;
    FUpdateInformation = std::make_unique<TdlgUpdateInformation>(
        version.ProductName().isEmpty() ? TApplicationVersionInfo::ProgramProductName() : version.ProductName(),
        version.FileVersion());
  }
  FUpdateInformation->Open(AReleaseNotes, ALicense, ASupport, ATimeout);
}

TExceptionChoice TShellDialogWindows::ShowException(QWidget* ASender, const QString& AMessage,
                                                    const QString& AClassName)
{
  TfrmException dialog(ASender);
  return dialog.Execute(ASender, AMessage, AClassName) == TfrmException::ecTerminate ? TExceptionChoice::Terminate
                                                                                     : TExceptionChoice::Continue;
}
