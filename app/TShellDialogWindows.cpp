// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TShellDialogWindows.h"

#include "ui/TfrmActiveApplications.h"
#include "ui/TfrmException.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcDialogs, "corvale.dialogs", QtWarningMsg)

namespace {

void Missing(const char* AWindow)
{
  qCWarning(lcDialogs) << "The" << AWindow << "window is not available in this build";
}

} // namespace

TShellDialogWindows::TShellDialogWindows(TProgramWindows& AWindows)
  : FActiveApplications(std::make_unique<TfrmActiveApplications>(AWindows))
{}

TShellDialogWindows::~TShellDialogWindows() = default;

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
