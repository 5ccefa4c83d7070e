// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysinfo/TFormatSettings.h"

#include <QRegularExpression>

namespace {

// Qt's long time format names the time zone ("t"); the program's times are local and never
// carry one, so the zone and the spaces around it are dropped.
QString WithoutTimeZone(QString AFormat)
{
  static const QRegularExpression zone(QStringLiteral("\\s*\\bt+\\b\\s*"));
  return AFormat.replace(zone, QStringLiteral(" ")).trimmed();
}

} // namespace

TFormatSettings& TFormatSettings::Instance()
{
  static TFormatSettings settings = [] {
    TFormatSettings initial;
    initial.FShortDateFormat = initial.FLocale.dateFormat(QLocale::ShortFormat);
    initial.FLongTimeFormat = WithoutTimeZone(initial.FLocale.timeFormat(QLocale::LongFormat));
    return initial;
  }();
  return settings;
}

void TFormatSettings::Load(const QLocale& ALocale)
{
  TFormatSettings& settings = Instance();
  settings.FLocale = ALocale;
  settings.FShortDateFormat = ALocale.dateFormat(QLocale::ShortFormat);
  settings.FLongTimeFormat = WithoutTimeZone(ALocale.timeFormat(QLocale::LongFormat));
}

const TFormatSettings& TFormatSettings::Current()
{
  return Instance();
}
