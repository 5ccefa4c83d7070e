// SPDX-License-Identifier: GPL-3.0-or-later
// The user's date and time formats, read once at start-up; every date and time text uses them.
#pragma once

#include <QLocale>
#include <QString>

class TFormatSettings
{
public:
  // Formats are Qt date-time format strings.
  const QLocale& Locale() const { return FLocale; }
  const QString& ShortDateFormat() const { return FShortDateFormat; }
  const QString& LongTimeFormat() const { return FLongTimeFormat; }

  // Rereads the formats of ALocale (the system locale at start-up; a fixed one in tests).
  static void Load(const QLocale& ALocale = QLocale::system());
  static const TFormatSettings& Current();

private:
  static TFormatSettings& Instance();

  QLocale FLocale{QLocale::system()};
  QString FShortDateFormat;
  QString FLongTimeFormat;
};
