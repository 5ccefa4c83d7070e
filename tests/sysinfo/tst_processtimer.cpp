// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysinfo/DateTime.h"
#include "sysinfo/TClock.h"
#include "sysinfo/TProcessTimer.h"
#include "sysinfo/TimeTexts.h"

#include <QTest>

namespace {

constexpr double Second = 1.0 / 86400;

} // namespace

class TestProcessTimer : public QObject
{
  Q_OBJECT

private slots:
  void cleanup() { TClock::SetSource({}); }
  void remainingTimeTexts();
  void elapsedTimeTexts();
  void estimatesFromProgress();
};

void TestProcessTimer::remainingTimeTexts()
{
  QCOMPARE(RemainingTimeText(0), QStringLiteral("Calculating..."));
  QCOMPARE(RemainingTimeText(40 * Second), QStringLiteral("Less than a minute..."));
  QCOMPARE(RemainingTimeText(3600 * Second), QStringLiteral("Estimated: 1 hour "));
  QCOMPARE(RemainingTimeText(3900 * Second), QStringLiteral("Estimated: 1 hour 5 minutes "));
  QCOMPARE(RemainingTimeText(60 * Second), QStringLiteral("Estimated: 1 minute "));
  QCOMPARE(RemainingTimeText(2 * 3600 * Second + 60 * Second), QStringLiteral("Estimated: 2 hours 1 minute "));
  // Only the hour of the day counts: 25 hours read as 1 hour.
  QCOMPARE(RemainingTimeText(25 * 3600 * Second), QStringLiteral("Estimated: 1 hour "));
  // Exactly a day has neither hours nor minutes.
  QCOMPARE(RemainingTimeText(1.0), QStringLiteral("Less than a minute..."));
}

void TestProcessTimer::elapsedTimeTexts()
{
  QCOMPARE(ElapsedTimeText(0), QStringLiteral("Elapsed: 0 seconds "));
  QCOMPARE(ElapsedTimeText(7 * Second), QStringLiteral("Elapsed: 7 seconds "));
  QCOMPARE(ElapsedTimeText(3603 * Second), QStringLiteral("Elapsed: 1 hour(s) 3 seconds "));
  QCOMPARE(ElapsedTimeText(3723 * Second), QStringLiteral("Elapsed: 1 hour(s) 2 minute(s) 3 seconds "));
}

void TestProcessTimer::estimatesFromProgress()
{
  QDateTime now(QDate(2026, 12, 9), QTime(10, 0));
  TClock::SetSource([&] { return now; });
  TProcessTimer timer;
  QVERIFY(!timer.Running());
  QCOMPARE(timer.ElapsedTime(), 0.0);

  timer.Start(400);
  now = now.addSecs(60);
  // No progress yet: no estimate.
  QCOMPARE(timer.EstimatedTime(), 0.0);
  QVERIFY(qAbs(timer.ElapsedTime() - 60 * Second) < 1e-9);

  // A quarter done in one minute: three minutes to go.
  timer.UpdateProgress(100);
  QVERIFY(qAbs(timer.EstimatedTime() - 180 * Second) < 1e-9);
  QCOMPARE(RemainingTimeText(timer.EstimatedTime()), QStringLiteral("Estimated: 3 minutes "));

  // Counts above the signed range still estimate correctly.
  timer.Start(4000000000u);
  now = now.addSecs(100);
  timer.UpdateProgress(3000000000u);
  QVERIFY(qAbs(timer.EstimatedTime() - 100.0 / 3 * Second) < 1e-6);

  timer.Stop();
  QVERIFY(!timer.Running());
  QCOMPARE(timer.Total(), 0u);
  QCOMPARE(timer.EstimatedTime(), 0.0);
  QCOMPARE(timer.ElapsedTime(), 0.0);
}

QTEST_GUILESS_MAIN(TestProcessTimer)
#include "tst_processtimer.moc"
