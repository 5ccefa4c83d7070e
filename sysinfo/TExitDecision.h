// SPDX-License-Identifier: GPL-3.0-or-later
// Whether the exit action (shut down, restart, log off, lock) follows a backup run: with
// "ExitOnlyAfterSuccess" set, a run that failed or was cancelled leaves the session as it is, so
// that a user finds the computer on and can see what went wrong.
#pragma once

#include <QString>

enum class TRunOutcome : int { roNoBackup, roComplete, roFailed, roCancelled };

class TExitDecision
{
public:
  [[nodiscard]] static bool PerformExitAction(TRunOutcome AOutcome, bool AExitOnlyAfterSuccess);
  // Why the exit action was not performed, for the tray or the terminal.
  static QString SkippedText(TRunOutcome AOutcome);
};
