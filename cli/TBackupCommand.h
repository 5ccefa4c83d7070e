// SPDX-License-Identifier: GPL-3.0-or-later
// "corvale-cli backup": queues the profiles, runs them through the profile manager with a live
// progress line on a terminal (plain log lines otherwise), handles Ctrl-C with the program's
// cancel questions, and ends with the exit action.
#pragma once

#include "sysinfo/TEventPump.h"
#include "types/SharedTypes.h"

#include <QString>
#include <QStringList>

#include <functional>

class QEventLoop;
class TBackupProfileManager;
class TProgramWindows;
class TTerminationWatcher;

class TBackupCommand
{
public:
  TBackupCommand(TBackupProfileManager& AManager, TProgramWindows& AWindows);

  // The queue is filled by the caller.
  TExitParameter Then = xpNone;
  bool Yes = false; // cancel and end the session without asking
  // The exit action only when every profile succeeded.
  bool OnlyAfterSuccess = false;
  bool Debug = false; // show the manager's debug lines
  // Called once the manager's run has ended (whatever its result), before the exit action.
  std::function<void()> OnRunEnd;

  // The exit status: 0 complete, 1 failed, 2 cancelled.
  int Run();

  // Before each profile its listed programs are closed (or ended), and looked at again this often
  // while any is still open. Without anyone to answer, the profile is skipped when some are still
  // open after UnattendedWaitRounds looks.
  int RefreshIntervalMs = 5000;
  int UnattendedWaitRounds = 12;

private:
  void Bind();
  void Interrupt(int ASignal);
  // True when the profile may be backed up.
  bool CloseActivePrograms(const QStringList& APrograms, bool ACloseGracefully);
  // Waits one refresh interval without a terminal; false when a signal cut it short.
  bool WaitUnattended();
  bool Ask(const QString& AQuestion);
  void ShowLine(const QString& AText);
  void ShowProgress();
  void ClearProgress();
  int Status() const;
  int PerformExitAction(int AStatus);

  TBackupProfileManager& FManager;
  TProgramWindows& FWindows;
  TTerminationWatcher* FWatcher = nullptr;
  QEventLoop* FWaiting = nullptr; // the unattended wait for programs to close
  bool FLive = false;             // a progress line on the terminal
  bool FAskOnCancel = false;      // the current cancel request came from Ctrl-C on a terminal
  bool FAskAboutRest = false;     // the cancelled profile was confirmed on the terminal
  bool FInterrupted = false;      // the user or the system asked the run to stop
  QString FProfile;
  int FProfilePercent = 0;
  TDateTime FElapsed = 0;
  TDateTime FEstimated = 0;
  QString FShownProgress;
  TEventPump FEvents; // Ctrl-C reaches the run through it
};
