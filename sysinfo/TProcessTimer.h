// SPDX-License-Identifier: GPL-3.0-or-later
// Turns an amount done out of a total into elapsed and estimated remaining time.
#pragma once

#include "types/SharedTypes.h"

#include <QtGlobal>

#include <cstdint>

class TProcessTimer
{
public:
  TProcessTimer();

  void Start(std::uint32_t ATotalAmount);
  void Stop();
  void UpdateProgress(std::uint32_t ACurrent) { FCurrent = ACurrent; }

  bool Running() const { return FRunning; }
  std::uint32_t Total() const { return FTotal; }
  std::uint32_t Current() const { return FCurrent; }
  // Durations in days. Both read the clock and store what they return; a stopped timer gives 0.
  TDateTime ElapsedTime();
  // The time still to go (not the total), 0 before any progress.
  TDateTime EstimatedTime();

private:
  qint64 FStartTicks = 0; // TClock::Ticks at the start
  std::uint32_t FTotal = 0;
  std::uint32_t FCurrent = 0;
  bool FRunning = false;
  TDateTime FEstTime = 0;
  TDateTime FElapsedTime = 0;
};
