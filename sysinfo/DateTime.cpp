// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysinfo/DateTime.h"

#include "sysinfo/TFormatSettings.h"

#include <cmath>

TDateTime DateFromQDate(const QDate& AValue)
{
  return AValue.isValid() ? static_cast<TDateTime>(DateTimeEpoch().daysTo(AValue)) : 0.0;
}

TDateTime DateTimeFromQDateTime(const QDateTime& AValue)
{
  if (!AValue.isValid())
    return 0.0;
  const double days = DateFromQDate(AValue.date());
  const double fraction = AValue.time().msecsSinceStartOfDay() / MSecsPerDay;
  return days >= 0 ? days + fraction : days - fraction;
}

QDateTime QDateTimeFromDateTime(TDateTime AValue)
{
  // Work in whole milliseconds so that 14:00 does not come back as 13:59:59.999.
  const double days = std::trunc(AValue);
  qint64 msecs = std::llround(std::fabs(AValue - days) * MSecsPerDay);
  qint64 wholeDays = static_cast<qint64>(days);
  if (msecs >= static_cast<qint64>(MSecsPerDay)) {
    msecs -= static_cast<qint64>(MSecsPerDay);
    wholeDays += AValue < 0 ? -1 : 1;
  }
  return QDateTime(DateTimeEpoch().addDays(wholeDays), QTime::fromMSecsSinceStartOfDay(static_cast<int>(msecs)));
}

TDateTime DateOf(TDateTime AValue)
{
  return DateFromQDate(QDateTimeFromDateTime(AValue).date());
}

TDateTime TimeOf(TDateTime AValue)
{
  return QDateTimeFromDateTime(AValue).time().msecsSinceStartOfDay() / MSecsPerDay;
}

QString DateToStr(TDateTime AValue)
{
  const auto& settings = TFormatSettings::Current();
  return settings.Locale().toString(QDateTimeFromDateTime(AValue).date(), settings.ShortDateFormat());
}

QString TimeToStr(TDateTime AValue)
{
  const auto& settings = TFormatSettings::Current();
  return settings.Locale().toString(QDateTimeFromDateTime(AValue).time(), settings.LongTimeFormat());
}

QString DateTimeToStrOrBlank(TDateTime AValue)
{
  return AValue == 0 ? QString() : DateTimeToStr(AValue);
}

QString DateTimeToStr(TDateTime AValue)
{
  const QDateTime value = QDateTimeFromDateTime(AValue);
  if (value.time().msecsSinceStartOfDay() == 0)
    return DateToStr(AValue);
  return DateToStr(AValue) + QLatin1Char(' ') + TimeToStr(AValue);
}
