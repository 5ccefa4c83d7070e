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

private:
  void Read();

  QSocketNotifier* FNotifier = nullptr;
};
