// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/TTimerTicker.h"

TTimerTicker::TTimerTicker(int AIntervalMSecs)
{
  FTimer.setInterval(AIntervalMSecs);
  QObject::connect(&FTimer, &QTimer::timeout, [this] {
    if (FOnTick)
      FOnTick();
  });
}

void TTimerTicker::Start(std::function<void()> AOnTick)
{
  FOnTick = std::move(AOnTick);
  FTimer.start();
}

void TTimerTicker::Stop()
{
  FTimer.stop();
}

bool TTimerTicker::IsActive() const
{
  return FTimer.isActive();
}
