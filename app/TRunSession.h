// SPDX-License-Identifier: GPL-3.0-or-later
// One backup run on a thread of its own, and what follows it: the outcome's balloon, the
// failed-backup window and the exit action. The window's thread starts it and hears of it through
// signals; nothing the user clicks meanwhile runs inside it. Knows no window: tests drive it alone.
#pragma once

#include "app/BalloonTypes.h"
#include "sysinfo/TExitDecision.h"
#include "types/SharedTypes.h"

#include <QObject>
#include <QString>
#include <queue>

#include <exception>
#include <functional>
#include <memory>

class QThread;
class TBackupRunner;
class TExitWindows;
class TInhibitLock;
class TSettingsCycle;
class TShellDialogs;

class TRunSession : public QObject
{
  Q_OBJECT

public:
  // Everything passed in outlives the session.
  TRunSession(TBackupRunner& ARunner, TSettingsCycle& ASettings, TShellDialogs& ADialogs, TExitWindows& AExitWindows,
              QObject* AParent = nullptr);
  // A run still going is stopped and awaited.
  ~TRunSession() override;

  [[nodiscard]] bool Active() const { return FActive; }
  // Runs the queued profiles on the run's thread and returns at once; false, and nothing starts,
  // while a run is active. With AThenExit, the exit action AExitParameter follows the run as
  // its outcome and "ExitOnlyAfterSuccess" allow.
  bool Start(TExitParameter AExitParameter = xpNone, bool AThenExit = false);
  // Cancel on the progress window: the runner asks, then stops the running profile.
  void Cancel();
  // The session ends: the run stops without asking, and neither a balloon, the failed-backup
  // window nor an exit action follows it.
  void Stop();
  // The last run was stopped because the session ends.
  [[nodiscard]] bool Stopped() const { return FStopped; }
  // The exit action alone; a failure is said in a balloon.
  void PerformExitAction(TExitParameter AExitParameter);
  // Runs AAction now when no run is active, otherwise once the run has ended, in the order given.
  void WhenIdle(std::function<void()> AAction);
  // Blocks until a run still going has returned (the program is going).
  void Wait();

signals:
  // The run's thread has started; the windows show the run.
  void Started();
  // The runner has returned: each profile has been saved.
  void Returned();
  void Balloon(const QString& AText, TBalloonType AType, int ATime);
  // The run is over: the windows come back.
  void Ended();
  // The runner raised AError; nothing else follows the run.
  void Failed(const std::exception& AError);
  // Everything that follows the run is done, the exit action included.
  void Finished(TRunOutcome AOutcome);

private:
  void Finish();
  TRunOutcome Report();
  void RunDeferred();

  TBackupRunner& FRunner;
  TSettingsCycle& FSettings;
  TShellDialogs& FDialogs;
  TExitWindows& FExitWindows;

  bool FActive = false;
  bool FStopped = false;
  bool FCancelAsked = false;
  TExitParameter FExitParameter = xpNone;
  bool FThenExit = false;
  std::unique_ptr<QThread> FThread;
  std::unique_ptr<TInhibitLock> FAwake;
  // Written by the run's thread before it hands the end to the window's thread.
  bool FComplete = false;
  std::exception_ptr FError;
  std::queue<std::function<void()>> FDeferred;
};
