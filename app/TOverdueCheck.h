// SPDX-License-Identifier: GPL-3.0-or-later
// When to look for overdue profiles: every five minutes the timer asks, and a look is taken at most
// every 13 hours, never during a run. The count reaches the tray through the runner's alert event.
#pragma once

#include "types/SharedTypes.h"

#include <QObject>
#include <QTimer>

#include <functional>

class TBackupRunner;

class TOverdueCheck : public QObject
{
  Q_OBJECT

public:
  // ARunner outlives this object.
  explicit TOverdueCheck(TBackupRunner& ARunner, QObject* AParent = nullptr);

  // True while a run is active: the timer then passes.
  std::function<bool()> Busy;

  void Start();
  void Stop();
  // What the timer's owner calls at each tick: looks when 13 hours have passed since the last look.
  void Tick();
  // Looks now (the store was read again while an alert was on show).
  void CheckNow();

  QTimer Timer;

private:
  TBackupRunner& FRunner;
  TDateTime FLastCheck = 0;
};
