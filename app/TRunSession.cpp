// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TRunSession.h"

#include "app/TBackupRunner.h"
#include "app/TSettingsCycle.h"
#include "app/TShellDialogs.h"
#include "sysinfo/TExitWindows.h"

#include <QThread>
#include <QTimer>

#include <stdexcept>
#include <utility>

namespace {

QString ExitFailedText()
{
  return QStringLiteral("Unable to exit windows, you may not have permission.");
}

} // namespace

TRunSession::TRunSession(TBackupRunner& ARunner, TSettingsCycle& ASettings, TShellDialogs& ADialogs,
                         TExitWindows& AExitWindows, QObject* AParent)
  : QObject(AParent)
  , FRunner(ARunner)
  , FSettings(ASettings)
  , FDialogs(ADialogs)
  , FExitWindows(AExitWindows)
{
  setObjectName(QStringLiteral("RunSession"));
  // The desktop's session manager may refuse an exit after it was under way (a program objected).
  FExitWindows.OnExitRefused = [this](QObject*) { emit Balloon(ExitFailedText(), btError, 5000); };
}

TRunSession::~TRunSession()
{
  FExitWindows.OnExitRefused = nullptr;
  if (FThread) {
    FRunner.StopBackup();
    FThread->wait();
  }
}

bool TRunSession::Start(TExitParameter AExitParameter, bool AThenExit)
{
  if (FActive)
    return false;
  FActive = true;
  FStopped = false;
  FCancelAsked = false;
  FComplete = false;
  FExitParameter = AExitParameter;
  FThenExit = AThenExit;
  // A run may take hours on a machine left alone: it must not fall asleep under it.
  FAwake = FExitWindows.KeepAwake(QStringLiteral("Backup in progress"));
  emit Started();
  FThread.reset(QThread::create([this] {
    try {
      FComplete = FRunner.Backup();
    } catch (...) {
      FError = std::current_exception();
    }
    QMetaObject::invokeMethod(this, &TRunSession::Finish, Qt::QueuedConnection);
  }));
  FThread->setObjectName(QStringLiteral("Backup run"));
  FThread->start();
  return true;
}

void TRunSession::Cancel()
{
  if (!FActive)
    return;
  FCancelAsked = true;
  FRunner.CancelBackup();
}

void TRunSession::Stop()
{
  if (!FActive)
    return;
  FStopped = true;
  FRunner.StopBackup();
}

void TRunSession::Wait()
{
  if (FThread)
    FThread->wait();
}

void TRunSession::Finish()
{
  FThread->wait();
  FThread.reset();
  FAwake.reset();
  FActive = false;
  emit Returned();
  TRunOutcome outcome = TRunOutcome::roCancelled;
  if (FStopped) {
    // Stopped because the session ends: the program closes; nothing more is shown or done.
    emit Ended();
  } else if (const std::exception_ptr error = std::exchange(FError, nullptr)) {
    outcome = TRunOutcome::roFailed;
    emit Ended();
    try {
      std::rethrow_exception(error);
    } catch (const std::exception& failure) {
      emit Failed(failure);
    } catch (...) {
      emit Failed(std::runtime_error("The backup ended with an unknown error."));
    }
  } else {
    outcome = Report();
    emit Ended();
    if (FThenExit) {
      if (FExitParameter != xpNone && !TExitDecision::PerformExitAction(outcome, FSettings.ExitOnlyAfterSuccess()))
        emit Balloon(TExitDecision::SkippedText(outcome), btWarning, 10000);
      else
        PerformExitAction(FExitParameter);
    }
  }
  emit Finished(outcome);
  // What waited for the run follows from the event loop, once this handler has returned.
  if (!FDeferred.empty() && !FStopped)
    QTimer::singleShot(0, this, &TRunSession::RunDeferred);
}

TRunOutcome TRunSession::Report()
{
  if (FComplete) {
    emit Balloon(QStringLiteral("Backup Complete."), btInfo, 5000);
    return TRunOutcome::roComplete;
  }
  emit Balloon(QStringLiteral("Backup Failed."), btError, 5000);
  // When the failure holds back the exit action, the window waits for the user instead of closing.
  const bool exitHeldBack = FThenExit && FExitParameter != xpNone && FSettings.ExitOnlyAfterSuccess();
  FDialogs.ShowFailedBackup(exitHeldBack ? 0 : 60);
  return FCancelAsked ? TRunOutcome::roCancelled : TRunOutcome::roFailed;
}

void TRunSession::PerformExitAction(TExitParameter AExitParameter)
{
  // Sleeping during the count-down would leave the machine half-way, neither on nor off.
  std::unique_ptr<TInhibitLock> awake;
  if (AExitParameter != xpNone && AExitParameter != xpLockWorkstation)
    awake = FExitWindows.KeepAwake(QStringLiteral("Waiting to end the session"));
  if (!FExitWindows.ExitWindows(AExitParameter))
    emit Balloon(ExitFailedText(), btError, 5000);
}

void TRunSession::WhenIdle(std::function<void()> AAction)
{
  if (!FActive) {
    AAction();
    return;
  }
  FDeferred.push(std::move(AAction));
}

void TRunSession::RunDeferred()
{
  // An action may start another run; the rest then wait for that one.
  while (!FActive && !FDeferred.empty()) {
    const std::function<void()> action = std::move(FDeferred.front());
    FDeferred.pop();
    action();
  }
}
