// SPDX-License-Identifier: GPL-3.0-or-later
// The exit actions over the real D-Bus path: a private dbus-daemon with python3-dbusmock's logind
// template stands in for the system bus, and its call log shows exactly what was asked.
#include "platform/linux/TLogindSessionControl.h"
#include "sysinfo/TExitWindows.h"
#include "tests/support/TLogindMock.h"

#include <QDBusConnection>
#include <QTest>

class TestLogind : public QObject
{
  Q_OBJECT

private slots:
  void initTestCase();
  void cleanupTestCase();
  void init();
  void shutdownAndRestartAskThenAct();
  void logOffAndLockUseTheCallersSession();
  void privilegeAnswers();
  void failedCallsAreFailures();
  void sleepIsHeldOffUntilReleased();

private:
  QStringList NewCalls() { return FLogind.NewCalls(); }
  void SetManagerMethod(const QString& AName, const QString& AInSignature, const QString& AOutSignature,
                        const QString& ACode)
  {
    QString error;
    QVERIFY2(FLogind.SetManagerMethod(AName, AInSignature, AOutSignature, ACode, &error), qPrintable(error));
  }
  std::unique_ptr<TExitWindows> MakeExitWindows(int& ARequests, int& AMissingPrivileges, bool AAllow = true);

  TLogindMock FLogind;
};

void TestLogind::initTestCase()
{
  if (const QString missing = TLogindMock::MissingPeers(); !missing.isEmpty())
    QSKIP(qPrintable(missing));
  QString error;
  QVERIFY2(FLogind.Start(error), qPrintable(error));
}

void TestLogind::cleanupTestCase()
{
  FLogind.Stop();
}

void TestLogind::init()
{
  // Every test starts from the template's answers.
  QVERIFY(FLogind.Reset());
}

std::unique_ptr<TExitWindows> TestLogind::MakeExitWindows(int& ARequests, int& AMissingPrivileges, bool AAllow)
{
  auto exitWindows = std::make_unique<TExitWindows>(std::make_unique<TLogindSessionControl>(FLogind.Bus()));
  exitWindows->OnExitRequest = [&ARequests, AAllow](QObject*, TExitParameter, bool& Allow) {
    ++ARequests;
    Allow = AAllow;
  };
  exitWindows->OnInsufficientPrivileges = [&AMissingPrivileges](QObject*) { ++AMissingPrivileges; };
  return exitWindows;
}

void TestLogind::shutdownAndRestartAskThenAct()
{
  int requests = 0;
  int missing = 0;
  auto exitWindows = MakeExitWindows(requests, missing);

  QVERIFY(exitWindows->Shutdown());
  QCOMPARE(NewCalls(), QStringList({QStringLiteral("CanPowerOff"), QStringLiteral("PowerOff False")}));
  QVERIFY(exitWindows->ExitWindows(xpReboot));
  QCOMPARE(NewCalls(), QStringList({QStringLiteral("CanReboot"), QStringLiteral("Reboot False")}));
  QCOMPARE(requests, 2);
  QCOMPARE(missing, 0);

  // Nothing to do asks nothing and calls nothing; a value outside the enumeration is no success.
  QVERIFY(exitWindows->ExitWindows(xpNone));
  QVERIFY(!exitWindows->ExitWindows(static_cast<TExitParameter>(7)));
  QCOMPARE(NewCalls(), QStringList());
  QCOMPARE(requests, 2);

  // Declining the confirmation is no failure, and nothing is ended.
  auto declining = MakeExitWindows(requests, missing, false);
  QVERIFY(declining->Shutdown());
  QCOMPARE(NewCalls(), QStringList({QStringLiteral("CanPowerOff")}));
  QVERIFY(declining->Reboot());
  QCOMPARE(NewCalls(), QStringList({QStringLiteral("CanReboot")}));
  QCOMPARE(requests, 4);
}

void TestLogind::logOffAndLockUseTheCallersSession()
{
  int requests = 0;
  int missing = 0;
  auto exitWindows = MakeExitWindows(requests, missing);

  QVERIFY(exitWindows->LogOff());
  const QString readId = QStringLiteral("Get /org/freedesktop/login1/session/c7 org.freedesktop.login1.Session.Id");
  QCOMPARE(NewCalls(),
           QStringList({QStringLiteral("GetSession \"auto\""), readId, QStringLiteral("TerminateSession \"c7\"")}));
  QCOMPARE(requests, 1);

  // Locking asks no confirmation.
  QVERIFY(exitWindows->ExitWindows(xpLockWorkstation));
  QCOMPARE(NewCalls(),
           QStringList({QStringLiteral("GetSession \"auto\""), readId, QStringLiteral("LockSession \"c7\"")}));
  QVERIFY(exitWindows->LockWorkStation());
  QCOMPARE(NewCalls().last(), QStringLiteral("LockSession \"c7\""));
  QCOMPARE(requests, 1);
  QCOMPARE(missing, 0);
}

void TestLogind::privilegeAnswers()
{
  int requests = 0;
  int missing = 0;
  auto exitWindows = MakeExitWindows(requests, missing);

  {
    // "no": the privilege is missing; nothing is asked or ended.
    SetManagerMethod(QStringLiteral("CanPowerOff"), {}, QStringLiteral("s"), QStringLiteral("ret = 'no'"));
    NewCalls();
    QVERIFY(!exitWindows->Shutdown());
    QCOMPARE(NewCalls(), QStringList({QStringLiteral("CanPowerOff")}));
    QCOMPARE(missing, 1);
    QCOMPARE(requests, 0);
  }
  {
    // "challenge": allowed once the system has asked for a password; the exit goes ahead as an
    // interactive call, so that the desktop's authentication agent can ask.
    SetManagerMethod(QStringLiteral("CanPowerOff"), {}, QStringLiteral("s"), QStringLiteral("ret = 'challenge'"));
    NewCalls();
    QVERIFY(exitWindows->Shutdown());
    QCOMPARE(NewCalls(), QStringList({QStringLiteral("CanPowerOff"), QStringLiteral("PowerOff True")}));
    QCOMPARE(missing, 1);
    QCOMPARE(requests, 1);
    // A later "yes" asks nothing.
    QVERIFY(FLogind.Reset());
    QVERIFY(exitWindows->Shutdown());
    QCOMPARE(NewCalls(), QStringList({QStringLiteral("CanPowerOff"), QStringLiteral("PowerOff False")}));
    QCOMPARE(requests, 2);
  }
  {
    // Restart has its own question; "na" (not available here) is a missing privilege too.
    SetManagerMethod(QStringLiteral("CanReboot"), {}, QStringLiteral("s"), QStringLiteral("ret = 'na'"));
    NewCalls();
    QVERIFY(!exitWindows->Reboot());
    QCOMPARE(NewCalls(), QStringList({QStringLiteral("CanReboot")}));
    QCOMPARE(missing, 2);
  }
  {
    // A privilege question that fails is no permission either.
    SetManagerMethod(
        QStringLiteral("CanReboot"), {}, QStringLiteral("s"),
        QStringLiteral("raise dbus.exceptions.DBusException('broken', name='org.freedesktop.DBus.Error.Failed')"));
    QVERIFY(!exitWindows->Reboot());
    QCOMPARE(missing, 3);
    QCOMPARE(requests, 2);
  }
}

void TestLogind::failedCallsAreFailures()
{
  int requests = 0;
  int missing = 0;
  auto exitWindows = MakeExitWindows(requests, missing);
  const QString denied =
      QStringLiteral("raise dbus.exceptions.DBusException('denied', name='org.freedesktop.DBus.Error.AccessDenied')");

  SetManagerMethod(QStringLiteral("PowerOff"), QStringLiteral("b"), {}, denied);
  QVERIFY(!exitWindows->Shutdown());
  SetManagerMethod(QStringLiteral("Reboot"), QStringLiteral("b"), {}, denied);
  QVERIFY(!exitWindows->Reboot());
  SetManagerMethod(QStringLiteral("TerminateSession"), QStringLiteral("s"), {}, denied);
  QVERIFY(!exitWindows->LogOff());
  SetManagerMethod(QStringLiteral("LockSession"), QStringLiteral("s"), {}, denied);
  QVERIFY(!exitWindows->LockWorkStation());
  // The privilege was there each time; only the action failed.
  QCOMPARE(missing, 0);
  QCOMPARE(requests, 3);

  {
    // No session to be found: log off and lock fail without touching any session.
    SetManagerMethod(QStringLiteral("GetSession"), QStringLiteral("s"), QStringLiteral("o"),
                     QStringLiteral("raise dbus.exceptions.DBusException('no session', "
                                    "name='org.freedesktop.login1.NoSessionForPID')"));
    init();
    QVERIFY(!exitWindows->LogOff());
    QVERIFY(!exitWindows->LockWorkStation());
    for (const QString& call : NewCalls())
      QVERIFY2(!call.startsWith(QLatin1String("TerminateSession")) && !call.startsWith(QLatin1String("LockSession")),
               qPrintable(call));
    SetManagerMethod(
        QStringLiteral("GetSession"), QStringLiteral("s"), QStringLiteral("o"),
        QStringLiteral("ret = '/org/freedesktop/login1/session/' + ('c7' if args[0] == 'auto' else args[0])"));
  }
  {
    // No bus at all: shutting down counts as a missing privilege, locking fails.
    const QString name = QStringLiteral("tst_logind_nowhere");
    TExitWindows nowhere(
        std::make_unique<TLogindSessionControl>(QDBusConnection::connectToBus(FLogind.DeadAddress(), name)));
    int lost = 0;
    nowhere.OnInsufficientPrivileges = [&lost](QObject*) { ++lost; };
    QVERIFY(!nowhere.Shutdown());
    QVERIFY(!nowhere.LockWorkStation());
    QCOMPARE(lost, 1);
    QDBusConnection::disconnectFromBus(name);
  }
}

void TestLogind::sleepIsHeldOffUntilReleased()
{
  TExitWindows exitWindows(std::make_unique<TLogindSessionControl>(FLogind.Bus()));
  {
    const std::unique_ptr<TInhibitLock> awake = exitWindows.KeepAwake(QStringLiteral("Backup in progress"));
    QVERIFY(awake);
    QCOMPARE(FLogind.Inhibitors(), QStringList({QStringLiteral("sleep:idle Corvale Backup in progress block")}));
  }
  // Closing the descriptor is the release; logind notices it on its own time.
  QTRY_COMPARE_WITH_TIMEOUT(FLogind.Inhibitors(), QStringList(), 10000);

  // A refusal leaves nothing held and is no error for the caller.
  SetManagerMethod(QStringLiteral("Inhibit"), QStringLiteral("ssss"), QStringLiteral("h"),
                   QStringLiteral("raise dbus.exceptions.DBusException('denied', "
                                  "name='org.freedesktop.DBus.Error.AccessDenied')"));
  QVERIFY(!exitWindows.KeepAwake(QStringLiteral("Backup in progress")));
}

QTEST_GUILESS_MAIN(TestLogind)
#include "tst_logind.moc"
