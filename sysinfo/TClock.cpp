// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysinfo/TClock.h"

#include "sysinfo/DateTime.h"

#include <chrono>

std::function<QDateTime()>& TClock::Source()
{
  static std::function<QDateTime()> source;
  return source;
}

void TClock::SetSource(std::function<QDateTime()> ASource)
{
  Source() = std::move(ASource);
}

QDateTime TClock::CurrentDateTime()
{
  const auto& source = Source();
  return source ? source() : QDateTime::currentDateTime();
}

TDateTime TClock::Now()
{
  return DateTimeFromQDateTime(CurrentDateTime());
}

TDateTime TClock::Date()
{
  return DateFromQDate(CurrentDateTime().date());
}

qint64 TClock::SecondsSinceEpoch()
{
  const auto& source = Source();
  return source ? source().toSecsSinceEpoch() : QDateTime::currentSecsSinceEpoch();
}

qint64 TClock::Ticks()
{
  const auto& source = Source();
  if (source)
    return source().toMSecsSinceEpoch();
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}
