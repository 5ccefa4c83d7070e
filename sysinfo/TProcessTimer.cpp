// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysinfo/TProcessTimer.h"

#include "sysinfo/TClock.h"

namespace {

constexpr double MSecsPerDay = 86400000.0;

} // namespace

TProcessTimer::TProcessTimer()
  : FStartTicks(TClock::Ticks())
{}

void TProcessTimer::Start(std::uint32_t ATotalAmount)
{
  FTotal = ATotalAmount;
  FCurrent = 0;
  FStartTicks = TClock::Ticks();
  FEstTime = 0;
  FElapsedTime = 0;
  FRunning = true;
}

void TProcessTimer::Stop()
{
  FTotal = 0;
  FCurrent = 0;
  FStartTicks = TClock::Ticks();
  FEstTime = 0;
  FElapsedTime = 0;
  FRunning = false;
}

TDateTime TProcessTimer::ElapsedTime()
{
  FElapsedTime = FRunning ? static_cast<double>(TClock::Ticks() - FStartTicks) / MSecsPerDay : 0;
  return FElapsedTime;
}

TDateTime TProcessTimer::EstimatedTime()
{
  if (FRunning && FCurrent != 0) {
    const TDateTime elapsed = ElapsedTime();
    FEstTime = elapsed / static_cast<double>(FCurrent) * static_cast<double>(FTotal) - elapsed;
  } else {
    FEstTime = 0;
  }
  return FEstTime;
}
