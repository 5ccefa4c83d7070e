// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysinfo/TEventPump.h"

#include <QCoreApplication>

bool TEventPump::Pump()
{
  if (FLastTurn.isValid() && !FLastTurn.hasExpired(FPeriod))
    return false;
  PumpNow();
  return true;
}

void TEventPump::PumpNow()
{
  FLastTurn.start();
  QCoreApplication::processEvents();
}
