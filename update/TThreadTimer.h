// SPDX-License-Identifier: GPL-3.0-or-later
// A thread that calls back on the creating thread at once and then every timeout, until stopped.
#pragma once

#include "update/TSyncLink.h"

#include <QMutex>
#include <QThread>
#include <QWaitCondition>

#include <functional>

class TThreadTimer : public QThread
{
  Q_OBJECT

public:
  // Starts at once. Create and stop it on the thread the callback is to run on.
  TThreadTimer(std::function<void()> AOnTimer, qint64 ATimeout);
  // Stops and waits for the thread, which ends promptly once stopped.
  ~TThreadTimer() override;

  // No callback runs after this returns; the thread wakes from its wait and ends.
  void Stop();
  bool Active() const { return FActive; }

protected:
  void run() override;

private:
  std::function<void()> FOnTimer;
  qint64 FTimeout;
  std::atomic<bool> FActive = false;
  bool FStopped = false;
  QMutex FMutex;
  QWaitCondition FWake;
  TSyncLink FLink;
};
