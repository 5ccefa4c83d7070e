// SPDX-License-Identifier: GPL-3.0-or-later
// Requests from the system to end the program (SIGTERM, SIGINT, SIGHUP), delivered on the
// user-interface thread so that the program can close through its normal shutdown.
#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

class TTerminationWatcher : public QObject
{
  Q_OBJECT

public:
  // Only one watcher may exist at a time; it installs the handlers and removes them when freed.
  explicit TTerminationWatcher(QObject* AParent = nullptr);
  ~TTerminationWatcher() override;

  // Called with the signal number; the signal handler itself only wakes the event loop.
  std::function<void(int ASignal)> OnTerminate;

  // For code that waits outside the event loop (a question on the terminal): the descriptor that
  // becomes readable when a signal arrives, and the next pending signal (0 when none), which
  // then no longer reaches OnTerminate.
  int Handle() const;
  int TakeSignal();

private:
  void Read();

  QSocketNotifier* FNotifier = nullptr;
};
