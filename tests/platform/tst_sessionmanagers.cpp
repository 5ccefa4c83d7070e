// SPDX-License-Identifier: GPL-3.0-or-later
// Ending the session through the desktop's session manager: python3-dbusmock stand-ins for GNOME,
// Plasma and Xfce on a private bus, with logind's mock on the same bus as the fall-back. Each
// stand-in's call log shows exactly what was asked.
#include "platform/linux/TDesktopSessionControl.h"
#include "platform/linux/TLogindSessionControl.h"
#include "sysinfo/TExitWindows.h"
#include "tests/support/TDBusStandIn.h"
#include "tests/support/TLogindMock.h"

#include <QDeadlineTimer>
#include <QTest>

namespace {

using TMethod = TDBusStandIn::TMethod;

const QString GnomeService = QStringLiteral("org.gnome.SessionManager");
const QString GnomePath = QStringLiteral("/org/gnome/SessionManager");
const QString XfceService = QStringLiteral("org.xfce.SessionManager");
const QString XfcePath = QStringLiteral("/org/xfce/SessionManager");
const QString XfceInterface = QStringLiteral("org.xfce.Session.Manager");

// What gnome-session answers when the end of the session was cancelled.
const QString GnomeCancelled =
    QStringLiteral("raise dbus.exceptions.DBusException('Operation was cancelled', "
                   "name='org.gtk.GDBus.UnmappedGError.Quark._g_2dio_2derror_2dquark.Code19')");

// The calls a stand-in logs once an asynchronous request has reached it: waits for ACount of them.
template <class TLog> QStringList AwaitCalls(TLog& ALog, qsizetype ACount)
{
  QStringList calls = ALog.NewCalls();
  const QDeadlineTimer deadline(10000);
  while (calls.size() < ACount && !deadline.hasExpired()) {
    QTest::qWait(20);
    calls << ALog.NewCalls();
  }
  return calls;
}

} // namespace

class TestSessionManagers : public QObject
{
  Q_OBJECT

private slots:
  void initTestCase();
  void cleanupTestCase();
  void init();
  void cleanup();
  void gnomeIsAskedWithoutItsConfirmation();
  void plasmaIsAskedAndACancelledLogoutIsReported();
  void xfceLetsProgramsSaveAndReportsACancelledShutdown();
  void refusalsAreFailedExits();
  void logindWhereNoSessionManagerTakesTheRequest();
  void lockGoesToTheScreenLockerThenLogind();

private:
  void Start(TDBusStandIn& AStandIn, const QString& AService, const QString& APath, const QString& AInterface,
             const QList<TMethod>& AMethods)
  {
    QString error;
    QVERIFY2(AStandIn.Start(FLogind.Address(), FLogind.Bus(), AService, APath, AInterface, AMethods, error),
             qPrintable(error));
  }
  std::unique_ptr<TDesktopSessionControl> MakeControl()
  {
    auto control =
        std::make_unique<TDesktopSessionControl>(FLogind.Bus(), std::make_unique<TLogindSessionControl>(FLogind.Bus()));
    control->OnExitRefused = [this](TSessionControl::TExitKind AKind, const QString&) { FRefused << AKind; };
    return control;
  }

  TLogindMock FLogind;
  // One stand-in per service a test needs; each is stopped after the test.
  TDBusStandIn FManager;
  TDBusStandIn FHelper;
  QList<int> FRefused;
};

void TestSessionManagers::initTestCase()
{
  if (const QString missing = TLogindMock::MissingPeers(); !missing.isEmpty())
    QSKIP(qPrintable(missing));
  QString error;
  QVERIFY2(FLogind.Start(error), qPrintable(error));
}

void TestSessionManagers::cleanupTestCase()
{
  FLogind.Stop();
}

void TestSessionManagers::init()
{
  QVERIFY(FLogind.Reset());
  FRefused.clear();
}

void TestSessionManagers::cleanup()
{
  FManager.Stop();
  FHelper.Stop();
}

void TestSessionManagers::gnomeIsAskedWithoutItsConfirmation()
{
  Start(FManager, GnomeService, GnomePath, GnomeService,
        {{QStringLiteral("Shutdown"), {}, {}, {}},
         {QStringLiteral("Reboot"), {}, {}, {}},
         {QStringLiteral("Logout"), QStringLiteral("u"), {}, {}}});
  auto control = MakeControl();
  QCOMPARE(control->SessionManager(), TDesktopSessionControl::smGnome);

  // Logout mode 1: gnome-session shows no dialog of its own, the count-down was ours.
  QVERIFY(control->MayExit(TSessionControl::ekPowerOff));
  QVERIFY(control->Exit(TSessionControl::ekPowerOff));
  QCOMPARE(AwaitCalls(FManager, 1), QStringList({QStringLiteral("Shutdown")}));
  QVERIFY(control->Exit(TSessionControl::ekReboot));
  QCOMPARE(AwaitCalls(FManager, 1), QStringList({QStringLiteral("Reboot")}));
  QVERIFY(control->Exit(TSessionControl::ekLogOff));
  QCOMPARE(FManager.NewCalls(), QStringList({QStringLiteral("Logout 1")}));
  // logind answered the privilege question only; the session manager ends the session.
  QCOMPARE(FLogind.NewCalls(), QStringList({QStringLiteral("CanPowerOff")}));
  QVERIFY(FRefused.isEmpty());
}

void TestSessionManagers::plasmaIsAskedAndACancelledLogoutIsReported()
{
  // The session server, which says whether a session is ending, and the helper that ends it.
  Start(FManager, QStringLiteral("org.kde.ksmserver"), QStringLiteral("/KSMServer"),
        QStringLiteral("org.kde.KSMServerInterface"),
        {{QStringLiteral("isShuttingDown"), {}, QStringLiteral("b"), QStringLiteral("ret = False")}});
  const QList<TMethod> helperMethods = {{QStringLiteral("logout"), {}, {}, {}},
                                        {QStringLiteral("logoutAndReboot"), {}, {}, {}},
                                        {QStringLiteral("logoutAndShutdown"), {}, {}, {}}};
  Start(FHelper, QStringLiteral("org.kde.Shutdown"), QStringLiteral("/Shutdown"), QStringLiteral("org.kde.Shutdown"),
        helperMethods);
  auto control = MakeControl();
  QCOMPARE(control->SessionManager(), TDesktopSessionControl::smKde);

  QVERIFY(control->Exit(TSessionControl::ekPowerOff));
  QVERIFY(control->Exit(TSessionControl::ekReboot));
  QVERIFY(control->Exit(TSessionControl::ekLogOff));
  QCOMPARE(FHelper.NewCalls(), QStringList({QStringLiteral("logoutAndShutdown"), QStringLiteral("logoutAndReboot"),
                                            QStringLiteral("logout")}));
  QVERIFY(FLogind.NewCalls().isEmpty());

  // The helper quits while the session server is not shutting down: cancelled, reported once.
  FHelper.Stop();
  QTRY_COMPARE(FRefused, QList<int>({TSessionControl::ekLogOff}));
  QCOMPARE(FManager.NewCalls(), QStringList({QStringLiteral("isShuttingDown")}));

  // The helper quits while the session server is shutting down: the logout goes ahead.
  Start(FHelper, QStringLiteral("org.kde.Shutdown"), QStringLiteral("/Shutdown"), QStringLiteral("org.kde.Shutdown"),
        helperMethods);
  QVERIFY(
      FManager.AddMethod({QStringLiteral("isShuttingDown"), {}, QStringLiteral("b"), QStringLiteral("ret = True")}));
  QVERIFY(control->Exit(TSessionControl::ekLogOff));
  FHelper.Stop();
  QCOMPARE(AwaitCalls(FManager, 1), QStringList({QStringLiteral("isShuttingDown")}));
  QTest::qWait(200);
  QCOMPARE(FRefused.size(), 1);
}

void TestSessionManagers::xfceLetsProgramsSaveAndReportsACancelledShutdown()
{
  Start(FManager, XfceService, XfcePath, XfceInterface,
        {{QStringLiteral("Shutdown"), QStringLiteral("b"), {}, {}},
         {QStringLiteral("Restart"), QStringLiteral("b"), {}, {}},
         {QStringLiteral("Logout"), QStringLiteral("bb"), {}, {}}});
  auto control = MakeControl();
  QCOMPARE(control->SessionManager(), TDesktopSessionControl::smXfce);

  // allow_save true; Logout without xfce4-session's own dialog.
  QVERIFY(control->Exit(TSessionControl::ekReboot));
  QVERIFY(control->Exit(TSessionControl::ekLogOff));
  QVERIFY(control->Exit(TSessionControl::ekPowerOff));
  QCOMPARE(FManager.NewCalls(), QStringList({QStringLiteral("Restart True"), QStringLiteral("Logout False True"),
                                             QStringLiteral("Shutdown True")}));
  QVERIFY(FLogind.NewCalls().isEmpty());

  // A program refused to quit: the shutdown under way is reported, once.
  QVERIFY(FManager.EmitSignal(QStringLiteral("ShutdownCancelled"), {}, {}));
  QTRY_COMPARE(FRefused, QList<int>({TSessionControl::ekPowerOff}));
  QVERIFY(FManager.EmitSignal(QStringLiteral("ShutdownCancelled"), {}, {}));
  QTest::qWait(200);
  QCOMPARE(FRefused.size(), 1);
}

void TestSessionManagers::refusalsAreFailedExits()
{
  int refusals = 0;
  auto makeExitWindows = [this, &refusals] {
    auto exitWindows = std::make_unique<TExitWindows>(std::make_unique<TDesktopSessionControl>(
        FLogind.Bus(), std::make_unique<TLogindSessionControl>(FLogind.Bus())));
    exitWindows->OnExitRefused = [&refusals](QObject*) { ++refusals; };
    return exitWindows;
  };
  {
    // Xfce refuses at once: the exit fails, and logind is not asked to force it.
    Start(FManager, XfceService, XfcePath, XfceInterface,
          {{QStringLiteral("Shutdown"),
            QStringLiteral("b"),
            {},
            QStringLiteral("raise dbus.exceptions.DBusException('Session manager must be in idle state', "
                           "name='org.xfce.SessionManager.Error.InvalidState')")}});
    auto exitWindows = makeExitWindows();
    QVERIFY(!exitWindows->ExitWindows(xpShutdown));
    QCOMPARE(FLogind.NewCalls(), QStringList({QStringLiteral("CanPowerOff")}));
    QCOMPARE(refusals, 0);
    FManager.Stop();
  }
  {
    // gnome-session answers a shut down with an error once it was cancelled: the exit was
    // reported under way, and now as refused.
    Start(FManager, GnomeService, GnomePath, GnomeService,
          {{QStringLiteral("Shutdown"), {}, {}, GnomeCancelled},
           {QStringLiteral("Logout"), QStringLiteral("u"), {}, {}}});
    auto exitWindows = makeExitWindows();
    QVERIFY(exitWindows->ExitWindows(xpShutdown));
    QTRY_COMPARE(refusals, 1);
    QVERIFY(!FLogind.NewCalls().contains(QStringLiteral("PowerOff False")));

    // A logout held up by a program: the user cancels the shell's dialog that lists it.
    Start(FHelper, QStringLiteral("org.gnome.Shell"), QStringLiteral("/org/gnome/SessionManager/EndSessionDialog"),
          QStringLiteral("org.gnome.SessionManager.EndSessionDialog"), {});
    QVERIFY(exitWindows->ExitWindows(xpLogoff));
    QVERIFY(FHelper.EmitSignal(QStringLiteral("Canceled"), {}, {}));
    QTRY_COMPARE(refusals, 2);
  }
}

void TestSessionManagers::logindWhereNoSessionManagerTakesTheRequest()
{
  auto control = MakeControl();
  {
    // None on the bus.
    QCOMPARE(control->SessionManager(), TDesktopSessionControl::smNone);
    QVERIFY(control->Exit(TSessionControl::ekPowerOff));
    QCOMPARE(FLogind.NewCalls(), QStringList({QStringLiteral("PowerOff False")}));
    QVERIFY(control->Exit(TSessionControl::ekLogOff));
    QCOMPARE(FLogind.NewCalls().last(), QStringLiteral("TerminateSession \"c7\""));
  }
  {
    // A session manager that owns its name but has no such request.
    Start(FManager, GnomeService, GnomePath, GnomeService, {});
    QVERIFY(control->Exit(TSessionControl::ekReboot));
    QCOMPARE(AwaitCalls(FLogind, 1), QStringList({QStringLiteral("Reboot False")}));
    QVERIFY(control->Exit(TSessionControl::ekLogOff));
    QCOMPARE(FLogind.NewCalls().last(), QStringLiteral("TerminateSession \"c7\""));
    QVERIFY(FRefused.isEmpty());
  }
  {
    // logind refuses as well: a failure, reported.
    QVERIFY(FLogind.SetManagerMethod(QStringLiteral("Reboot"), QStringLiteral("b"), {},
                                     QStringLiteral("raise dbus.exceptions.DBusException('denied', "
                                                    "name='org.freedesktop.DBus.Error.AccessDenied')")));
    QVERIFY(control->Exit(TSessionControl::ekReboot));
    QTRY_COMPARE(FRefused, QList<int>({TSessionControl::ekReboot}));
    QVERIFY(control->LastError().contains(QLatin1String("AccessDenied")));
  }
}

void TestSessionManagers::lockGoesToTheScreenLockerThenLogind()
{
  auto control = MakeControl();
  {
    QVERIFY(control->Lock());
    QCOMPARE(FLogind.NewCalls().last(), QStringLiteral("LockSession \"c7\""));
  }
  {
    Start(FManager, QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/org/freedesktop/ScreenSaver"),
          QStringLiteral("org.freedesktop.ScreenSaver"), {{QStringLiteral("Lock"), {}, {}, {}}});
    QVERIFY(control->Lock());
    QCOMPARE(FManager.NewCalls(), QStringList({QStringLiteral("Lock")}));
    QVERIFY(FLogind.NewCalls().isEmpty());
  }
  {
    // A locker that fails: logind locks.
    QVERIFY(FManager.AddMethod({QStringLiteral("Lock"),
                                {},
                                {},
                                QStringLiteral("raise dbus.exceptions.DBusException('no', "
                                               "name='org.freedesktop.DBus.Error.Failed')")}));
    QVERIFY(control->Lock());
    QCOMPARE(FLogind.NewCalls().last(), QStringLiteral("LockSession \"c7\""));
  }
}

QTEST_GUILESS_MAIN(TestSessionManagers)
#include "tst_sessionmanagers.moc"
