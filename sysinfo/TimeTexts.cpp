// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysinfo/TimeTexts.h"

#include "sysinfo/DateTime.h"

#include <QTime>

namespace {

QTime TimeOfDay(TDateTime AValue)
{
  return QDateTimeFromDateTime(AValue).time();
}

} // namespace

QString RemainingTimeText(TDateTime AEstimatedTime)
{
  if (AEstimatedTime == 0)
    return QStringLiteral("Calculating...");
  const QTime time = TimeOfDay(AEstimatedTime);
  const int hours = time.hour();
  const int minutes = time.minute();
  if (hours == 0 && minutes == 0)
    return QStringLiteral("Less than a minute...");
  QString text = QStringLiteral("Estimated: ");
  if (hours != 0)
    text += QString::number(hours) + (hours == 1 ? QStringLiteral(" hour ") : QStringLiteral(" hours "));
  if (minutes != 0)
    text += QString::number(minutes) + (minutes == 1 ? QStringLiteral(" minute ") : QStringLiteral(" minutes "));
  return text;
}

QString ElapsedTimeText(TDateTime AElapsedTime)
{
  const QTime time = TimeOfDay(AElapsedTime);
  QString text = QStringLiteral("Elapsed: ");
  if (time.hour() != 0)
    text += QString::number(time.hour()) + QStringLiteral(" hour(s) ");
  if (time.minute() != 0)
    text += QString::number(time.minute()) + QStringLiteral(" minute(s) ");
  return text + QString::number(time.second()) + QStringLiteral(" seconds ");
}
