// SPDX-License-Identifier: GPL-3.0-or-later
// Keeps the event loop turning during long work on the calling thread (a backup reports every
// file it adds) without paying for a turn at every report: Pump processes the pending events
// only when a period has passed since the last turn, so clicks and repaints wait at most that
// long while a run of small files is not slowed by them.
#pragma once

#include <QElapsedTimer>

class TEventPump
{
public:
  static constexpr int DefaultPeriod = 10; // milliseconds

  explicit TEventPump(int APeriod = DefaultPeriod)
    : FPeriod(APeriod)
  {}

  // Processes pending events if the period has passed; true when it did.
  bool Pump();
  // Processes pending events now.
  void PumpNow();

private:
  int FPeriod;
  QElapsedTimer FLastTurn;
};
