// SPDX-License-Identifier: GPL-3.0-or-later
// Conversions between the shared date-time value and Qt's local date-times, and its texts.
#pragma once

#include "types/SharedTypes.h"

#include <QDate>
#include <QDateTime>

// Day 0 of the date-time scale.
inline QDate DateTimeEpoch()
{
  return QDate(1899, 12, 30);
}

inline constexpr double MSecsPerDay = 86400000.0;

// Local date and time to date-time, to the millisecond. An invalid input gives 0 ("never").
TDateTime DateTimeFromQDateTime(const QDateTime& AValue);
TDateTime DateFromQDate(const QDate& AValue);
// Date-time to local date and time. Days before the epoch carry the time of day as a positive
// fraction below the whole day (-1.25 is 1899-12-29 06:00), as the scale has always done.
QDateTime QDateTimeFromDateTime(TDateTime AValue);

// The whole days and the time of day of a value.
TDateTime DateOf(TDateTime AValue);
TDateTime TimeOf(TDateTime AValue);

// Texts in the user's formats (TFormatSettings): the short date, the long time, and both,
// where the time is left out when it is exactly midnight.
QString DateToStr(TDateTime AValue);
QString TimeToStr(TDateTime AValue);
QString DateTimeToStr(TDateTime AValue);
// DateTimeToStr, or nothing for 0, which stored dates use for "never" (it would read 30/12/1899).
QString DateTimeToStrOrBlank(TDateTime AValue);
