// SPDX-License-Identifier: GPL-3.0-or-later
#include "update/TThreadTimer.h"

#include <QDeadlineTimer>

TThreadTimer::TThreadTimer(std::function<void()> AOnTimer, qint64 ATimeout)
  : FOnTimer(std::move(AOnTimer))
  , FTimeout(qMax<qint64>(ATimeout, 0))
{
  start();
}

TThreadTimer::~TThreadTimer()
{
  Stop();
  wait();
  FActive = false;
}

void TThreadTimer::Stop()
{
  FLink.Close();
  QMutexLocker lock(&FMutex);
  FStopped = true;
  FWake.wakeAll();
}

void TThreadTimer::run()
{
  FActive = true;
  for (;;) {
    {
      QMutexLocker lock(&FMutex);
      if (FStopped)
        return;
    }
    if (FOnTimer) {
      (void)FLink.Call([this] {
        try {
          FOnTimer();
        } catch (...) {
          // A failing check must not end the periodic checks.
        }
      });
    }
    QMutexLocker lock(&FMutex);
    QDeadlineTimer deadline(FTimeout);
    while (!FStopped && !deadline.hasExpired())
      FWake.wait(&FMutex, deadline);
  }
}
