// SPDX-License-Identifier: GPL-3.0-or-later
// Benchmark, not a test: one run of the tray program as a user starts it ("Backup" in the main
// window, which backs up the enabled profiles with the progress window shown), with a timer
// firing every 10 ms on the event loop. Prints the run's wall time and the delays the timer saw:
// the longest the program kept the user waiting for a click or a repaint. With --cancel-after S,
// Cancel is clicked (and confirmed) S seconds into the run, and the time until the run has
// stopped is printed. It also prints the processor time the window's thread spent dispatching
// events (repaints, timers, the progress handed over from the backup's threads): the cost of
// being watched, an upper bound since the run's own work done in events is counted too.
//
//   QT_QPA_PLATFORM=offscreen HOME=<a throw-away home with profiles> bench_window [--cancel-after S]
//
// benchmarks/bench_backup.py runs it on its trees (--only window).
#include "app/TComposition.h"
#include "app/TDesktopIntegration.h"
#include "app/TShellServices.h"
#include "app/TfrmBackupProgress.h"
#include "app/TfrmOrvel.h"
#include "platform/TSessionControl.h"
#include "ui/TMessageBox.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

// "Backup" ends nothing; the session is never asked.
class TIdleSession : public TSessionControl
{
public:
  bool MayExit(TExitKind) override { return false; }
  bool Exit(TExitKind) override { return false; }
  bool Lock() override { return false; }
  QString LastError() const override { return QStringLiteral("not in a benchmark"); }
};

constexpr int BackupAction = 4; // "Backup": the enabled profiles, no exit action

// Processor time of the calling thread, in nanoseconds.
qint64 ThreadTime()
{
  timespec now{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<qint64>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Sums the processor time spent in the outermost event dispatches of the window's thread.
class TTimedApplication : public QApplication
{
public:
  using QApplication::QApplication;
  bool notify(QObject* AReceiver, QEvent* AEvent) override
  {
    if (FDepth++ > 0 || QThread::currentThread() != thread()) {
      --FDepth;
      return QApplication::notify(AReceiver, AEvent);
    }
    const qint64 start = ThreadTime();
    const bool result = QApplication::notify(AReceiver, AEvent);
    Dispatching += ThreadTime() - start;
    --FDepth;
    return result;
  }
  qint64 Dispatching = 0; // nanoseconds

private:
  int FDepth = 0;
};

} // namespace

int main(int argc, char** argv)
{
  TTimedApplication application(argc, argv);
  const QStringList arguments = QApplication::arguments();
  const auto cancelIndex = arguments.indexOf(QStringLiteral("--cancel-after"));
  const double cancelAfter = cancelIndex > 0 ? arguments.value(cancelIndex + 1).toDouble() : -1;
  TMessageBox::SetHeadless(true);
  TComposition composition(std::make_unique<TIdleSession>());
  TfrmOrvel& window = composition.MainWindow();
  window.Desktop().TrayAvailable = [] { return true; };
  window.FormActivate();

  QElapsedTimer clock;
  clock.start();
  std::vector<double> gaps;                       // milliseconds between two firings
  std::vector<std::pair<double, double>> longest; // the longest gaps: length and end, seconds in
  qint64 last = -1;
  qint64 start = 0;
  qint64 cancelledAt = -1; // when Cancel was clicked
  qint64 stoppedAt = -1;   // when the run had stopped after it
  TfrmBackupProgress& progress = composition.BackupProgress();
  QTimer probe;
  probe.setTimerType(Qt::PreciseTimer);
  probe.setInterval(10);
  QObject::connect(&probe, &QTimer::timeout, [&] {
    const qint64 now = clock.nsecsElapsed();
    if (last >= 0) {
      gaps.push_back(static_cast<double>(now - last) / 1e6);
      if (gaps.back() > 50)
        longest.emplace_back(gaps.back(), static_cast<double>(now - start) / 1e9);
    }
    last = now;
    if (cancelAfter >= 0 && cancelledAt < 0 && start > 0 && progress.isVisible() &&
        static_cast<double>(now - start) / 1e9 >= cancelAfter) {
      // "Are you sure...?" Yes; "...continue with remaining profiles?" No.
      TMessageBox::QueueAnswer(TMessageBox::maYes);
      TMessageBox::QueueAnswer(TMessageBox::maNo);
      cancelledAt = clock.nsecsElapsed();
      progress.ActionCancel()->trigger();
    }
    if (cancelledAt >= 0 && stoppedAt < 0 && !composition.Services().IsBackupActive())
      stoppedAt = now;
    // The failed-backup window that follows a cancelled run is not part of the figure.
    if (stoppedAt >= 0)
      if (QWidget* modal = QApplication::activeModalWidget())
        modal->close();
  });
  probe.start();

  window.SetSelectedIndex(BackupAction);
  application.Dispatching = 0;
  const qint64 threadStart = ThreadTime();
  start = clock.nsecsElapsed();
  // The run is on a thread of its own: the window's thread turns its event loop until it has ended.
  QEventLoop ended;
  QObject::connect(&window.RunSession(), &TRunSession::Finished, &ended, &QEventLoop::quit);
  window.ActionOk->trigger();
  ended.exec();
  const double wall = static_cast<double>(clock.nsecsElapsed() - start) / 1e9;
  const double threadTime = static_cast<double>(ThreadTime() - threadStart) / 1e9;
  const double dispatching = static_cast<double>(application.Dispatching) / 1e9;
  probe.stop();

  std::sort(gaps.begin(), gaps.end());
  const auto at = [&](double AShare) {
    return gaps.empty() ? 0.0 : gaps[static_cast<std::size_t>(AShare * static_cast<double>(gaps.size() - 1))];
  };
  std::printf("wall %.3f s; timer every 10 ms fired %zu times; delay between firings: median %.1f ms, "
              "99th percentile %.1f ms, largest %.1f ms\n",
              wall, gaps.size(), at(0.5), at(0.99), gaps.empty() ? 0.0 : gaps.back());
  std::printf("window's thread: %.3f s of processor time, %.3f s of it dispatching events (%.2f%% of the run)\n",
              threadTime, dispatching, wall > 0 ? dispatching / wall * 100 : 0.0);
  std::sort(longest.rbegin(), longest.rend());
  for (std::size_t i = 0; i < std::min<std::size_t>(longest.size(), 5); ++i)
    std::printf("  a delay of %.1f ms ending %.2f s into the run\n", longest[i].first, longest[i].second);
  if (cancelledAt >= 0)
    std::printf("cancel clicked %.2f s into the run; the run stopped %.0f ms later\n",
                static_cast<double>(cancelledAt - start) / 1e9,
                stoppedAt >= 0 ? static_cast<double>(stoppedAt - cancelledAt) / 1e6 : -1.0);
  return 0;
}
