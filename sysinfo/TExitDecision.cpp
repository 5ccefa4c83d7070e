// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysinfo/TExitDecision.h"

bool TExitDecision::PerformExitAction(TRunOutcome AOutcome, bool AExitOnlyAfterSuccess)
{
  return !AExitOnlyAfterSuccess || AOutcome == TRunOutcome::roComplete || AOutcome == TRunOutcome::roNoBackup;
}

QString TExitDecision::SkippedText(TRunOutcome AOutcome)
{
  return AOutcome == TRunOutcome::roCancelled
             ? QStringLiteral("The backup was cancelled, so the session was left as it is: the options ask to end "
                              "it only after a successful backup.")
             : QStringLiteral("The backup failed, so the session was left as it is: the options ask to end it only "
                              "after a successful backup.");
}
