// SPDX-License-Identifier: GPL-3.0-or-later
// The main window with its windows and the exit actions, assembled as the composition root does
// but with fakes for the options, the profile manager and the dialogs.
#pragma once

#include "app/TfrmBackupProgress.h"
#include "app/TfrmExitConfirm.h"
#include "app/TfrmOrvel.h"
#include "settings/TLog.h"
#include "sysinfo/TExitWindows.h"
#include "tests/support/TFakeShell.h"

#include <memory>

class TShellRig
{
public:
  explicit TShellRig(std::unique_ptr<TSessionControl> ASessionControl, TDesktopNotifications* ANotifications = nullptr)
    : ExitWindows(std::move(ASessionControl))
    , Form(Fake, Fake, Fake, Log, ExitWindows, BackupProgress, ExitConfirm, ANotifications)
  {}

  TFakeShell Fake;
  TLog Log;
  TExitWindows ExitWindows;
  TfrmBackupProgress BackupProgress;
  TfrmExitConfirm ExitConfirm;
  TfrmOrvel Form;
};
