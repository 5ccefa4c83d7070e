// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/TBackupCommand.h"

#include "cli/TTerminal.h"
#include "platform/FileNames.h"
#include "platform/TProgramWindows.h"
#include "platform/TTerminationWatcher.h"
#include "profiles/TBackupProfileManager.h"
#include "sysinfo/TExitDecision.h"
#include "sysinfo/TExitWindows.h"
#include "sysinfo/TimeTexts.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <csignal>

namespace {

// Log lines may carry CR LF line breaks (the archive list); the terminal wants LF. What else
// they hold is shown escaped: a file name must not drive the terminal.
QString PlainLines(const QString& AText)
{
  QString text = AText;
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  while (text.endsWith(QLatin1Char('\n')))
    text.chop(1);
  QStringList lines = text.split(QLatin1Char('\n'));
  for (QString& line : lines)
    line = PrintableText(line);
  return lines.join(QLatin1Char('\n'));
}

} // namespace

TBackupCommand::TBackupCommand(TBackupProfileManager& AManager, TProgramWindows& AWindows)
  : FManager(AManager)
  , FWindows(AWindows)
{}

int TBackupCommand::Run()
{
  FLive = TTerminal::OutputIsTerminal();
  TTerminationWatcher watcher;
  FWatcher = &watcher;
  watcher.OnTerminate = [this](int ASignal) { Interrupt(ASignal); };
  Bind();

  int status = 0;
  if (FManager.Queue().Count() == 0)
    ShowLine(QStringLiteral("No profiles to back up."));
  try {
    FManager.Backup();
    status = Status();
  } catch (const std::exception& error) {
    ShowLine(QString::fromUtf8(error.what()));
    status = 1;
  }
  ClearProgress();
  if (OnRunEnd)
    OnRunEnd();
  status = PerformExitAction(status);
  FWatcher = nullptr;
  return status;
}

void TBackupCommand::Bind()
{
  FManager.OnLog = [this](QObject*, const QString& AMessage) { ShowLine(PlainLines(AMessage)); };
  FManager.OnDebug = [this](QObject*, const QString& AProcedure, const QString& AMessage) {
    if (Debug)
      ShowLine(QStringLiteral("Debug: (") + AProcedure + QStringLiteral("): ") + AMessage);
  };
  FManager.OnStartBackup = [this](QObject*, TBackupProfile* AProfile) {
    FProfile = AProfile ? AProfile->ProfileName() : QString();
    FProfilePercent = 0;
    FElapsed = FEstimated = 0;
    ShowProgress();
  };
  FManager.OnProfileProgress = [this](QObject*, const QString&, int AProgress) {
    FProfilePercent = AProgress;
    ShowProgress();
    // Ctrl-C reaches the run here, between two steps of the engine.
    FEvents.Pump();
  };
  FManager.OnBackupProgress = [this](QObject*, const QString&, int) { FEvents.Pump(); };
  FManager.OnRemainingTime = [this](QObject*, qint64, qint64, TDateTime AElapsed, TDateTime AEstimated) {
    FElapsed = AElapsed;
    FEstimated = AEstimated;
    ShowProgress();
  };
  FManager.OnCancelConfirm = [this](QObject*, bool& ACancel) {
    ACancel = !FAskOnCancel || Ask(QStringLiteral("Are you sure you want to cancel the current backup?"));
    FInterrupted = FInterrupted || ACancel;
  };
  FManager.OnCancelQueueRequest = [this](QObject*, bool& ACancelAll) {
    // Asked only when Ctrl-C on a terminal cancelled the profile; otherwise the run stops.
    if (FAskAboutRest)
      ACancelAll = !Ask(
          QStringLiteral("You have cancelled the current backup; do you wish to continue with remaining profiles?"));
    FAskAboutRest = false;
    FInterrupted = ACancelAll;
  };
  FManager.OnCloseActiveApplications = [this](QObject*, const QStringList& APrograms, bool ACloseGracefully,
                                              bool& AContinue) {
    AContinue = CloseActivePrograms(APrograms, ACloseGracefully);
  };
}

bool TBackupCommand::CloseActivePrograms(const QStringList& APrograms, bool ACloseGracefully)
{
  // Programs out of reach are named and waited for like the others: the user may close them.
  const auto stillOpen = [this, &APrograms, ACloseGracefully] {
    return CloseListedPrograms(FWindows, APrograms, ACloseGracefully) + FWindows.UnreachablePrograms(APrograms);
  };
  QList<TListedProgram> open = stillOpen();
  const QString status = ACloseGracefully ? QStringLiteral("Closing...") : QStringLiteral("Terminating...");
  const bool attended = !Yes && TTerminal::InputIsTerminal();
  for (int round = 1; !open.isEmpty(); ++round) {
    QStringList names;
    for (const TListedProgram& program : open) {
      ShowLine(program.Name + QStringLiteral(" (") + program.ClassName + QStringLiteral("): ") +
               (program.Window != 0 ? status : QStringLiteral("cannot be closed on this desktop")));
      names << program.Name;
    }
    if (attended) {
      // Any key (or Ctrl-C) stops the wait and asks whether to go on regardless.
      const int seconds = qMax(1, RefreshIntervalMs / 1000);
      const bool waited = TTerminal::CountDown(
          seconds,
          [count = open.size()](int ALeft) {
            return QStringLiteral("%1 program(s) still open, looking again in %2 second(s)... Press any key to decide.")
                .arg(count)
                .arg(ALeft);
          },
          FWatcher);
      if (!waited) {
        const bool goOn = Ask(QStringLiteral(
            "Backup may fail without closing all active applications, are you sure you want to continue?"));
        if (!goOn)
          ShowLine(QStringLiteral("Programs still open: ") + names.join(QStringLiteral(", ")));
        return goOn;
      }
    } else if (round > UnattendedWaitRounds || !WaitUnattended()) {
      // Nobody can be asked: the profile is not backed up while its programs may write its files.
      ShowLine(QStringLiteral("Programs still open: ") + names.join(QStringLiteral(", ")));
      return false;
    }
    open = stillOpen();
  }
  return true;
}

bool TBackupCommand::WaitUnattended()
{
  QEventLoop loop;
  bool timedOut = false;
  QTimer::singleShot(RefreshIntervalMs, &loop, [&] {
    timedOut = true;
    loop.quit();
  });
  FWaiting = &loop;
  loop.exec();
  FWaiting = nullptr;
  return timedOut;
}

void TBackupCommand::Interrupt(int ASignal)
{
  // A signal while waiting for programs to close skips the profile, then cancels as usual.
  if (FWaiting)
    FWaiting->quit();
  if (!FManager.IsBackupActive())
    return;
  // Ctrl-C on a terminal asks first. --yes, SIGTERM and SIGHUP (the end of the session or of
  // the terminal) stop the run at once: the running profile is cancelled, its temporary files
  // are removed by the writer, and no further profile starts.
  if (ASignal != SIGINT || Yes || !TTerminal::InputIsTerminal()) {
    FInterrupted = true;
    FManager.StopBackup();
    return;
  }
  FAskOnCancel = true;
  const bool wasInterrupted = FInterrupted;
  FManager.CancelBackup();
  FAskAboutRest = FInterrupted && !wasInterrupted;
  FAskOnCancel = false;
}

bool TBackupCommand::Ask(const QString& AQuestion)
{
  ClearProgress();
  const bool answer = TTerminal::Ask(AQuestion, FWatcher);
  ShowProgress();
  return answer;
}

void TBackupCommand::ShowLine(const QString& AText)
{
  const bool progress = !FShownProgress.isEmpty();
  ClearProgress();
  TTerminal::Out(AText + QLatin1Char('\n'));
  if (progress)
    ShowProgress();
}

void TBackupCommand::ShowProgress()
{
  if (!FLive || FProfile.isEmpty() || !FManager.IsBackupActive())
    return;
  QString text = FProfile + QStringLiteral(": ") + QString::number(FProfilePercent) + QStringLiteral("%  ") +
                 ElapsedTimeText(FElapsed) + QStringLiteral(" ") + RemainingTimeText(FEstimated);
  text = text.trimmed().left(qMax(10, TTerminal::Width() - 1));
  if (text == FShownProgress)
    return;
  FShownProgress = text;
  TTerminal::Out(QStringLiteral("\r\033[K") + text);
}

void TBackupCommand::ClearProgress()
{
  if (FShownProgress.isEmpty())
    return;
  FShownProgress.clear();
  TTerminal::Out(QStringLiteral("\r\033[K"));
}

int TBackupCommand::Status() const
{
  bool cancelled = false;
  for (int i = 0; i < FManager.Queue().Count(); ++i) {
    switch (FManager.Queue().GetItem(i)->QueueStatus()) {
    case qsFailed:
    case qsInProgress:
      return 1;
    case qsCancelled:
    case qsPending:
      cancelled = true;
      break;
    default:
      break;
    }
  }
  return cancelled ? 2 : 0;
}

int TBackupCommand::PerformExitAction(int AStatus)
{
  if (Then == xpNone)
    return AStatus;
  if (FInterrupted) {
    ShowLine(QStringLiteral("The backup was cancelled; the session is left as it is."));
    return AStatus;
  }
  const TRunOutcome outcome = AStatus == 0   ? TRunOutcome::roComplete
                              : AStatus == 2 ? TRunOutcome::roCancelled
                                             : TRunOutcome::roFailed;
  if (!TExitDecision::PerformExitAction(outcome, OnlyAfterSuccess)) {
    ShowLine(TExitDecision::SkippedText(outcome));
    return AStatus;
  }
  TExitWindows exitWindows;
  exitWindows.OnInsufficientPrivileges = [](QObject*) {
    TTerminal::Error(QStringLiteral("You do not have sufficient privileges to exit windows.\n"));
  };
  exitWindows.OnExitRequest = [this](QObject*, TExitParameter AExitParameter, bool& AAllow) {
    if (Yes)
      return;
    const QString verb = TExitWindows::ExitVerb(AExitParameter);
    AAllow = TTerminal::CountDown(
        30,
        [&verb](int ALeft) {
          return QStringLiteral("%1 in %2 second(s)... Press any key to cancel.").arg(verb).arg(ALeft);
        },
        FWatcher);
    if (!AAllow)
      ShowLine(QStringLiteral("%1 cancelled.").arg(verb));
  };
  if (!exitWindows.ExitWindows(Then)) {
    TTerminal::Error(QStringLiteral("Unable to exit windows, you may not have permission.\n"));
    return AStatus == 0 ? 1 : AStatus;
  }
  return AStatus;
}
