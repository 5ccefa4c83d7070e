// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TShellDialogWindows.h"

#include "app/Pictures.h"
#include "app/ProgramVersion.h"
#include "profiles/TBackupProfileManager.h"
#include "ui/TDesktopProgramPicker.h"
#include "ui/TPluginsCatalog.h"
#include "ui/TProfileEditing.h"
#include "ui/TfrmAbout.h"
#include "ui/TfrmActiveApplications.h"
#include "ui/TfrmBackupAlert.h"
#include "ui/TfrmBackupProfiles.h"
#include "ui/TfrmCustomBackup.h"
#include "ui/TfrmException.h"
#include "ui/TfrmFailedBackup.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcDialogs, "corvale.dialogs", QtWarningMsg)

namespace {

void Missing(const char* AWindow)
{
  qCWarning(lcDialogs) << "The" << AWindow << "window is not available in this build";
}

} // namespace

TShellDialogWindows::TShellDialogWindows(TBackupProfileManager& ABackupProfileManager, TProgramWindows& AWindows)
  : FBackupProfileManager(ABackupProfileManager)
  , FActiveApplications(std::make_unique<TfrmActiveApplications>(AWindows))
  , FProgramPicker(std::make_unique<TDesktopProgramPicker>(AWindows))
{}

TShellDialogWindows::~TShellDialogWindows() = default;

TProfileEditing& TShellDialogWindows::ProfileEditing()
{
  if (!FProfileEditing) {
    FBackupProfiles = std::make_unique<TfrmBackupProfiles>(FProgramPicker.get(), std::make_unique<TPluginsCatalog>());
    FProfileEditing = std::make_unique<TProfileEditing>(FBackupProfileManager, *FBackupProfiles);
  }
  return *FProfileEditing;
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
  return false;
}

bool TShellDialogWindows::ShowOptions()
{
  Missing("options");
  return false;
}

bool TShellDialogWindows::CheckPassword(const QString&, const QString&, int)
{
  Missing("password");
  return false;
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

void TShellDialogWindows::SetAutoUpdateEnabled(bool) {}

TExceptionChoice TShellDialogWindows::ShowException(QWidget* ASender, const QString& AMessage,
                                                    const QString& AClassName)
{
  TfrmException dialog(ASender);
  return dialog.Execute(ASender, AMessage, AClassName) == TfrmException::ecTerminate ? TExceptionChoice::Terminate
                                                                                     : TExceptionChoice::Continue;
}
