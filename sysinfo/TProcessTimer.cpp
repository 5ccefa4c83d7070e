// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysinfo/TProcessTimer.h"

#include "sysinfo/TClock.h"

TProcessTimer::TProcessTimer()
  : FStartTime(TClock::Now())
{}

void TProcessTimer::Start(std::uint32_t ATotalAmount)
{
  FTotal = ATotalAmount;
  FCurrent = 0;
  FStartTime = TClock::Now();
  FEstTime = 0;
  FElapsedTime = 0;
  FRunning = true;
}

void TProcessTimer::Stop()
{
  FTotal = 0;
  FCurrent = 0;
  FStartTime = TClock::Now();
  FEstTime = 0;
  FElapsedTime = 0;
  FRunning = false;
}

TDateTime TProcessTimer::ElapsedTime()
{
  FElapsedTime = FRunning ? TClock::Now() - FStartTime : 0;
  return FElapsedTime;
}

TDateTime TProcessTimer::EstimatedTime()
{
  if (FRunning && FCurrent != 0) {
    const double perUnit = ElapsedTime() / static_cast<double>(FCurrent);
    FEstTime = perUnit * static_cast<double>(FTotal) - ElapsedTime();
  } else {
    FEstTime = 0;
  }
  return FEstTime;
}
