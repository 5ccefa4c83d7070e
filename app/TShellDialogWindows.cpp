// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TShellDialogWindows.h"

#include "settings/TLog.h"
#include "sysinfo/TApplicationVersionInfo.h"
#include "ui/TMessageBox.h"
#include "ui/TdlgUpdateInformation.h"
#include "ui/TfrmAutoUpdate.h"
#include "ui/TfrmException.h"
#include "update/TAutoUpdate.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcDialogs, "corvale.dialogs", QtWarningMsg)

namespace {

void Missing(const char* AWindow)
{
  qCWarning(lcDialogs) << "The" << AWindow << "window is not available in this build";
}

} // namespace

TShellDialogWindows::TShellDialogWindows(TProgramSettings& ASettings, TLog& ALog)
  : FAutoUpdate(std::make_unique<TAutoUpdate>())
  , FfrmAutoUpdate(std::make_unique<TfrmAutoUpdate>(*FAutoUpdate, &ASettings))
{
  // The update check's lines go to the application log while it is open.
  FfrmAutoUpdate->OnUpdateMessage = [&ALog](QObject*, const QString& AMessage) {
    if (ALog.Active())
      ALog.Add(AMessage);
  };
}

TShellDialogWindows::~TShellDialogWindows()
{
  // The window lets go of the update component (and stops its checks) before the component goes.
  FfrmAutoUpdate.reset();
  FAutoUpdate.reset();
}

void TShellDialogWindows::ShowFailedBackup(int)
{
  Missing("failed-backup");
}

bool TShellDialogWindows::CustomBackup(TExitParameter&)
{
  Missing("custom-backup");
  return false;
}

void TShellDialogWindows::ShowAbout(const QString&, const QString&, const QString&)
{
  Missing("about");
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
  Missing("backup-alert");
  return false;
}

void TShellDialogWindows::SetAutoUpdateEnabled(bool AEnabled)
{
  FfrmAutoUpdate->SetAutoUpdateEnabled(AEnabled);
}

void TShellDialogWindows::ShowUpdateInformation(const QString& AReleaseNotes, const QString& ALicense,
                                                const QString& ASupport, int ATimeout)
{
  // A headless run has no one to read the documents and would wait for the count-down forever.
  if (TMessageBox::Headless())
    return;
  const TApplicationVersionInfo version;
  TdlgUpdateInformation dialog(version.ProductName().isEmpty() ? TApplicationVersionInfo::ProgramProductName()
                                                               : version.ProductName(),
                               version.FileVersion());
  (void)dialog.Execute(AReleaseNotes, ALicense, ASupport, ATimeout);
}

TExceptionChoice TShellDialogWindows::ShowException(QWidget* ASender, const QString& AMessage,
                                                    const QString& AClassName)
{
  TfrmException dialog(ASender);
  return dialog.Execute(ASender, AMessage, AClassName) == TfrmException::ecTerminate ? TExceptionChoice::Terminate
                                                                                     : TExceptionChoice::Continue;
}
