// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TOverdueCheck.h"

#include "app/TBackupRunner.h"
#include "sysinfo/DateTime.h"
#include "sysinfo/TClock.h"

#include <cmath>

TOverdueCheck::TOverdueCheck(TBackupRunner& ARunner, QObject* AParent)
  : QObject(AParent)
  , FRunner(ARunner)
{
  Timer.setInterval(300000);
}

void TOverdueCheck::Start()
{
  Timer.start();
}

void TOverdueCheck::Stop()
{
  Timer.stop();
}

void TOverdueCheck::Tick()
{
  if (Busy && Busy())
    return;
  const TDateTime now = TClock::Now();
  // Whole hours, truncated: a look at most every 13 hours. Counted in milliseconds, rounded, so
  // that exactly 13 hours do not come out as 12.999... in the date-time's fractions.
  const qint64 hours = std::llround((now - FLastCheck) * MSecsPerDay) / (qint64(3600) * 1000);
  if (hours > 12)
    CheckNow();
}

void TOverdueCheck::CheckNow()
{
  FRunner.CheckBackupAlerts();
  FLastCheck = TClock::Now();
}
