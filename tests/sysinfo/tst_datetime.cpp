// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysinfo/DateTime.h"
#include "sysinfo/TClock.h"
#include "sysinfo/TFormatSettings.h"

#include <QTest>

class TestDateTime : public QObject
{
  Q_OBJECT

private slots:
  void initTestCase() { TFormatSettings::Load(QLocale(QLocale::English, QLocale::UnitedKingdom)); }
  void cleanup() { TClock::SetSource({}); }
  void convertsBothWays();
  void daysBeforeTheEpoch();
  void textsUseTheUserFormats();
  void clockCanBeFrozen();
};

void TestDateTime::convertsBothWays()
{
  const QDateTime moment(QDate(2015, 7, 1), QTime(14, 0));
  const TDateTime value = DateTimeFromQDateTime(moment);
  QCOMPARE(value, 42186.0 + 14.0 / 24.0);
  QCOMPARE(QDateTimeFromDateTime(value), moment);
  QCOMPARE(DateTimeFromQDateTime(QDateTime(DateTimeEpoch(), QTime(0, 0))), 0.0);
  QCOMPARE(DateTimeFromQDateTime(QDateTime()), 0.0);
  QCOMPARE(DateOf(value), 42186.0);
  QCOMPARE(TimeOf(value), 14.0 / 24.0);

  // Every millisecond of a day survives the round trip, including the last one.
  const QDate day(2026, 12, 9);
  for (int ms : {0, 1, 999, 43200000, 86399999}) {
    const QDateTime original(day, QTime::fromMSecsSinceStartOfDay(ms));
    QCOMPARE(QDateTimeFromDateTime(DateTimeFromQDateTime(original)), original);
  }
}

void TestDateTime::daysBeforeTheEpoch()
{
  QCOMPARE(QDateTimeFromDateTime(-1.25), QDateTime(QDate(1899, 12, 29), QTime(6, 0)));
  QCOMPARE(DateTimeFromQDateTime(QDateTime(QDate(1899, 12, 29), QTime(6, 0))), -1.25);
}

void TestDateTime::textsUseTheUserFormats()
{
  const TDateTime afternoon = DateTimeFromQDateTime(QDateTime(QDate(2015, 12, 25), QTime(14, 30, 5)));
  QCOMPARE(DateToStr(afternoon), QStringLiteral("25/12/2015"));
  QCOMPARE(TimeToStr(afternoon), QStringLiteral("14:30:05"));
  QCOMPARE(DateTimeToStr(afternoon), QStringLiteral("25/12/2015 14:30:05"));
  // At exactly midnight the time is left out.
  QCOMPARE(DateTimeToStr(DateOf(afternoon)), QStringLiteral("25/12/2015"));
  // One second past midnight is not midnight.
  QCOMPARE(DateTimeToStr(DateOf(afternoon) + 1.0 / 86400), QStringLiteral("25/12/2015 00:00:01"));

  // The formats follow the locale they were read from, without a time zone.
  TFormatSettings::Load(QLocale(QLocale::English, QLocale::UnitedStates));
  QVERIFY(!TFormatSettings::Current().LongTimeFormat().contains(QLatin1Char('t')));
  QVERIFY(TimeToStr(afternoon).startsWith(QStringLiteral("2:30:05")));
  TFormatSettings::Load(QLocale(QLocale::English, QLocale::UnitedKingdom));
}

void TestDateTime::clockCanBeFrozen()
{
  const QDateTime frozen(QDate(2015, 7, 1), QTime(14, 0));
  TClock::SetSource([&] { return frozen; });
  QCOMPARE(TClock::CurrentDateTime(), frozen);
  QCOMPARE(TClock::Now(), 42186.0 + 14.0 / 24.0);
  QCOMPARE(TClock::Date(), 42186.0);
  TClock::SetSource({});
  QVERIFY(qAbs(TClock::CurrentDateTime().secsTo(QDateTime::currentDateTime())) < 5);
}

QTEST_GUILESS_MAIN(TestDateTime)
#include "tst_datetime.moc"
