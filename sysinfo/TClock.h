// SPDX-License-Identifier: GPL-3.0-or-later
// The one source of the current time, so that overdue rules, count-downs and log stamps can be tested.
#pragma once

#include "types/SharedTypes.h"

#include <QDateTime>

#include <functional>

class TClock
{
public:
  // The current local date and time.
  static QDateTime CurrentDateTime();
  // The current local date and time as a date-time value.
  static TDateTime Now();
  // The current local date at 00:00.
  static TDateTime Date();
  // Milliseconds of a clock that never goes back, for measuring durations. It needs no time zone,
  // so it is cheap enough to read for every file of a run. Follows the test source when one is set.
  static qint64 Ticks();
  // Whole seconds since 1970 UTC, without the time zone. Follows the test source when one is set.
  static qint64 SecondsSinceEpoch();

  // Tests freeze or move time through this; an empty function restores the system clock.
  static void SetSource(std::function<QDateTime()> ASource);

private:
  static std::function<QDateTime()>& Source();
};
