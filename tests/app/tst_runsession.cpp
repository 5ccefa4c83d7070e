// SPDX-License-Identifier: GPL-3.0-or-later
// A run on its own thread and what follows it, driven without any window.
#include "app/TRunSession.h"
#include "sysinfo/TExitWindows.h"
#include "tests/support/TFakeSession.h"
#include "tests/support/TFakeShell.h"

#include <QCoreApplication>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <atomic>
#include <stdexcept>

class TestRunSession : public QObject
{
  Q_OBJECT

private slots:
  void init();
  void cleanup();
  void runsOnItsOwnThreadOneAtATime();
  void whatWaitedFollowsInOrder();
  void stoppedRunEndsQuietly();
  void errorOfTheRunIsReported();
  void goingWhileRunningStopsAndWaits();

private:
  TFakeShell FFake;
  TFakeSession* FSession = nullptr;
  std::unique_ptr<TExitWindows> FExitWindows;
  std::unique_ptr<TRunSession> FRun;
  QStringList FBalloons;
};

void TestRunSession::init()
{
  FFake = TFakeShell();
  auto session = std::make_unique<TFakeSession>();
  FSession = session.get();
  FExitWindows = std::make_unique<TExitWindows>(std::move(session));
  FExitWindows->OnExitRequest = [](QObject*, TExitParameter, bool& AAllow) { AAllow = true; };
  FRun = std::make_unique<TRunSession>(FFake, FFake, FFake, *FExitWindows);
  FBalloons.clear();
  connect(FRun.get(), &TRunSession::Balloon, this,
          [this](const QString& AText, TBalloonType, int) { FBalloons << AText; });
}

void TestRunSession::cleanup()
{
  FRun.reset();
  FExitWindows.reset();
}

void TestRunSession::runsOnItsOwnThreadOneAtATime()
{
  QSemaphore gate;
  std::atomic<bool> onOwnThread = false;
  int heldDuringRun = -1;
  FFake.OnBackup = [&] {
    onOwnThread = QThread::currentThread() != QCoreApplication::instance()->thread();
    heldDuringRun = FSession->HeldLocks();
    gate.acquire();
    return true;
  };
  QSignalSpy finished(FRun.get(), &TRunSession::Finished);
  QVERIFY(FRun->Start(xpShutdown, true));
  QVERIFY(FRun->Active());
  QVERIFY(!FRun->Start());
  gate.release();
  QVERIFY(finished.wait(5000));
  QVERIFY(onOwnThread);
  QCOMPARE(heldDuringRun, 1);
  QCOMPARE(FSession->HeldLocks(), 0);
  QCOMPARE(finished.first().first().value<TRunOutcome>(), TRunOutcome::roComplete);
  QCOMPARE(FBalloons, QStringList({"Backup Complete."}));
  QCOMPARE(FSession->Calls, QStringList({"May PowerOff", "Exit PowerOff"}));
}

void TestRunSession::whatWaitedFollowsInOrder()
{
  QSemaphore gate;
  FFake.OnBackup = [&] { return gate.acquire(), true; };
  QStringList done;
  FRun->WhenIdle([&] { done << QStringLiteral("idle"); });
  QVERIFY(FRun->Start());
  FRun->WhenIdle([&] { done << QStringLiteral("first"); });
  FRun->WhenIdle([&] { done << QStringLiteral("second"); });
  QCOMPARE(done, QStringList({"idle"}));
  gate.release();
  QTRY_COMPARE(done, QStringList({"idle", "first", "second"}));
}

void TestRunSession::stoppedRunEndsQuietly()
{
  // The session ends: no balloon, no failed-backup window, no exit action, and nothing that waited.
  QSemaphore gate;
  FFake.OnBackup = [&] { return gate.acquire(), false; };
  int stops = 0;
  FFake.OnStopBackup = [&] { ++stops; };
  int failedWindows = 0;
  FFake.OnShowFailedBackup = [&](int) { ++failedWindows; };
  bool waited = false;
  QSignalSpy finished(FRun.get(), &TRunSession::Finished);
  QVERIFY(FRun->Start(xpShutdown, true));
  FRun->WhenIdle([&] { waited = true; });
  FRun->Stop();
  gate.release();
  QVERIFY(finished.wait(5000));
  QVERIFY(FRun->Stopped());
  QCOMPARE(stops, 1);
  QCOMPARE(failedWindows, 0);
  QVERIFY(FBalloons.isEmpty());
  QVERIFY(FSession->Calls.isEmpty());
  QTest::qWait(20);
  QVERIFY(!waited);
}

void TestRunSession::errorOfTheRunIsReported()
{
  FFake.OnBackup = []() -> bool { throw std::runtime_error("disk gone"); };
  QString error;
  connect(FRun.get(), &TRunSession::Failed, this,
          [&error](const std::exception& AError) { error = QString::fromUtf8(AError.what()); });
  QSignalSpy finished(FRun.get(), &TRunSession::Finished);
  QVERIFY(FRun->Start(xpShutdown, true));
  QVERIFY(finished.wait(5000));
  QCOMPARE(error, QStringLiteral("disk gone"));
  QVERIFY(FSession->Calls.isEmpty());
  QVERIFY(!FRun->Active());
}

void TestRunSession::goingWhileRunningStopsAndWaits()
{
  std::atomic<bool> stopped = false;
  std::atomic<bool> returned = false;
  QSemaphore inside;
  FFake.OnStopBackup = [&] { stopped = true; };
  FFake.OnBackup = [&] {
    inside.release();
    while (!stopped)
      QThread::msleep(1);
    returned = true;
    return false;
  };
  QVERIFY(FRun->Start());
  QVERIFY(inside.tryAcquire(1, 5000));
  FRun.reset();
  QVERIFY(returned);
}

QTEST_GUILESS_MAIN(TestRunSession)
#include "tst_runsession.moc"
