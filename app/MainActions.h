// SPDX-License-Identifier: GPL-3.0-or-later
// The ten actions of the main window's list, in list order: what each does before its exit
// action, and which exit action follows. Every decision about an action reads this table.
#pragma once

#include "types/SharedTypes.h"

#include <array>

struct TMainAction
{
  const char* Caption;
  // The enabled profiles are backed up before the exit action.
  bool BacksUpFirst;
  // Ok opens the custom-backup dialog, which chooses profiles and exit action itself.
  bool Custom;
  TExitParameter ExitParameter;
};

inline constexpr std::array<TMainAction, 10> MainActions = {{
    {"Corvale", true, false, xpShutdown},
    {"Backup and Restart", true, false, xpReboot},
    {"Backup and Log Off", true, false, xpLogoff},
    {"Backup and Lock Workstation", true, false, xpLockWorkstation},
    {"Backup", true, false, xpNone},
    {"Shutdown", false, false, xpShutdown},
    {"Restart", false, false, xpReboot},
    {"Log Off", false, false, xpLogoff},
    {"Lock Workstation", false, false, xpLockWorkstation},
    {"Custom Backup", false, true, xpNone},
}};
inline constexpr int MainActionCount = int(MainActions.size());
