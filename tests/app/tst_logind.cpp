// SPDX-License-Identifier: GPL-3.0-or-later
// The exit actions over the real D-Bus path: a private dbus-daemon with python3-dbusmock's logind
// template stands in for the system bus, and its call log shows exactly what was asked.
#include "app/TExitWindows.h"
#include "platform/linux/TLogindSessionControl.h"
#include "platform/linux/TLogindSleepInhibitor.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

#include <unistd.h>

namespace {

const QString Mock = QStringLiteral("org.freedesktop.DBus.Mock");
const QString Logind = QStringLiteral("org.freedesktop.login1");
const QString LogindPath = QStringLiteral("/org/freedesktop/login1");
const QString Manager = QStringLiteral("org.freedesktop.login1.Manager");

} // namespace

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
  void sleepInhibitorHeldUntilReleased();

private:
  // The calls logged by the mock since the last look, without their time stamps.
  QStringList NewCalls();
  // Replaces (or adds) a method of logind's manager in the mock.
  void SetManagerMethod(const QString& AName, const QString& AInSignature, const QString& AOutSignature,
                        const QString& ACode);
  // logind's inhibitors as "what|who|why|mode".
  QStringList Inhibitors();
  QDBusMessage CallMock(const QString& APath, const QString& AMethod, const QVariantList& AArguments);
  std::unique_ptr<TExitWindows> MakeExitWindows(int& ARequests, int& AMissingPrivileges, bool AAllow = true);

  QTemporaryDir FFolder;
  QProcess FDaemon;
  QProcess FMock;
  QString FAddress;
  QString FCallLog;
  qsizetype FCallsSeen = 0;
  std::optional<QDBusConnection> FBus;
};

void TestLogind::initTestCase()
{
  if (!QFile::exists(QStringLiteral("/usr/bin/dbus-daemon")))
    QSKIP("dbus-daemon is not installed (Debian package dbus)");
  if (QProcess::execute(QStringLiteral("/usr/bin/python3"),
                        {QStringLiteral("-c"), QStringLiteral("import dbusmock")}) != 0)
    QSKIP("python3-dbusmock is not installed");
  QVERIFY(FFolder.isValid());

  const QString config = FFolder.filePath(QStringLiteral("bus.conf"));
  QFile file(config);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(QStringLiteral("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                            " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                            "<busconfig>\n"
                            "  <type>session</type>\n"
                            "  <listen>unix:dir=%1</listen>\n"
                            "  <auth>EXTERNAL</auth>\n"
                            "  <policy context=\"default\">\n"
                            "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                            "    <allow eavesdrop=\"true\"/>\n"
                            "    <allow own=\"*\"/>\n"
                            "  </policy>\n"
                            "</busconfig>\n")
                 .arg(FFolder.path())
                 .toUtf8());
  file.close();

  FDaemon.start(
      QStringLiteral("/usr/bin/dbus-daemon"),
      {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
  QVERIFY(FDaemon.waitForStarted());
  QTRY_VERIFY_WITH_TIMEOUT(FDaemon.canReadLine(), 10000);
  FAddress = QString::fromUtf8(FDaemon.readLine().trimmed());
  QVERIFY(!FAddress.isEmpty());

  // The mock's template claims the system bus; point every bus variable at the private one.
  FCallLog = FFolder.filePath(QStringLiteral("calls.log"));
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), FAddress);
  environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), FAddress);
  FMock.setProcessEnvironment(environment);
  FMock.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  FMock.start(QStringLiteral("/usr/bin/python3"),
              {QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--template"), QStringLiteral("logind"),
               QStringLiteral("-l"), FCallLog});
  QVERIFY(FMock.waitForStarted());

  FBus = QDBusConnection::connectToBus(FAddress, QStringLiteral("tst_logind"));
  QVERIFY(FBus->isConnected());
  QTRY_VERIFY_WITH_TIMEOUT(FBus->interface()->isServiceRegistered(Logind).value(), 15000);

  // One session of this user; "auto" (the caller's session) resolves to it.
  const QDBusMessage added =
      CallMock(LogindPath, QStringLiteral("AddSession"),
               {QStringLiteral("c7"), QStringLiteral("seat0"), uint(getuid()), QStringLiteral("tester"), true});
  QCOMPARE(added.type(), QDBusMessage::ReplyMessage);
  SetManagerMethod(
      QStringLiteral("GetSession"), QStringLiteral("s"), QStringLiteral("o"),
      QStringLiteral("ret = '/org/freedesktop/login1/session/' + ('c7' if args[0] == 'auto' else args[0])"));
}

void TestLogind::cleanupTestCase()
{
  FBus.reset();
  QDBusConnection::disconnectFromBus(QStringLiteral("tst_logind"));
  for (QProcess* process : {&FMock, &FDaemon}) {
    if (process->state() == QProcess::NotRunning)
      continue;
    process->terminate();
    if (!process->waitForFinished(5000))
      process->kill();
    process->waitForFinished(5000);
  }
}

void TestLogind::init()
{
  // Every test starts from the template's answers.
  SetManagerMethod(QStringLiteral("CanPowerOff"), {}, QStringLiteral("s"), QStringLiteral("ret = 'yes'"));
  SetManagerMethod(QStringLiteral("CanReboot"), {}, QStringLiteral("s"), QStringLiteral("ret = 'yes'"));
  SetManagerMethod(QStringLiteral("PowerOff"), QStringLiteral("b"), {}, {});
  SetManagerMethod(QStringLiteral("Reboot"), QStringLiteral("b"), {}, {});
  SetManagerMethod(QStringLiteral("TerminateSession"), QStringLiteral("s"), {}, {});
  SetManagerMethod(QStringLiteral("LockSession"), QStringLiteral("s"), {}, {});
  NewCalls();
}

QDBusMessage TestLogind::CallMock(const QString& APath, const QString& AMethod, const QVariantList& AArguments)
{
  QDBusMessage call = QDBusMessage::createMethodCall(Logind, APath, Mock, AMethod);
  call.setArguments(AArguments);
  return FBus->call(call);
}

void TestLogind::SetManagerMethod(const QString& AName, const QString& AInSignature, const QString& AOutSignature,
                                  const QString& ACode)
{
  const QDBusMessage reply =
      CallMock(LogindPath, QStringLiteral("AddMethod"), {Manager, AName, AInSignature, AOutSignature, ACode});
  QVERIFY2(reply.type() == QDBusMessage::ReplyMessage, qPrintable(reply.errorMessage()));
}

QStringList TestLogind::Inhibitors()
{
  const QDBusMessage reply =
      FBus->call(QDBusMessage::createMethodCall(Logind, LogindPath, Manager, QStringLiteral("ListInhibitors")));
  QStringList result;
  const QDBusArgument list = reply.arguments().value(0).value<QDBusArgument>();
  list.beginArray();
  while (!list.atEnd()) {
    QString what, who, why, mode;
    uint uid = 0, pid = 0;
    list.beginStructure();
    list >> what >> who >> why >> mode >> uid >> pid;
    list.endStructure();
    result << QStringList({what, who, why, mode}).join(QLatin1Char('|'));
  }
  list.endArray();
  return result;
}

QStringList TestLogind::NewCalls()
{
  QFile file(FCallLog);
  if (!file.open(QIODevice::ReadOnly))
    return {};
  QStringList lines;
  for (const QByteArray& line : file.readAll().split('\n')) {
    const QString call = QString::fromUtf8(line.mid(line.indexOf(' ') + 1));
    // The mock's own bookkeeping (a property read is logged as Get and GetAll) is left out.
    static const QStringList internal = {QStringLiteral("GetAll "), QStringLiteral("Set "), QStringLiteral("emit "),
                                         QStringLiteral("Add")};
    if (!line.isEmpty() && std::none_of(internal.begin(), internal.end(),
                                        [&call](const QString& AStart) { return call.startsWith(AStart); }))
      lines.append(call);
  }
  const QStringList calls = lines.mid(FCallsSeen);
  FCallsSeen = lines.size();
  return calls;
}

std::unique_ptr<TExitWindows> TestLogind::MakeExitWindows(int& ARequests, int& AMissingPrivileges, bool AAllow)
{
  auto exitWindows = std::make_unique<TExitWindows>(std::make_unique<TLogindSessionControl>(*FBus));
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
    // "challenge": allowed once the system has asked for a password; the exit goes ahead.
    SetManagerMethod(QStringLiteral("CanPowerOff"), {}, QStringLiteral("s"), QStringLiteral("ret = 'challenge'"));
    NewCalls();
    QVERIFY(exitWindows->Shutdown());
    QCOMPARE(NewCalls(), QStringList({QStringLiteral("CanPowerOff"), QStringLiteral("PowerOff False")}));
    QCOMPARE(missing, 1);
    QCOMPARE(requests, 1);
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
    QCOMPARE(requests, 1);
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
    TExitWindows nowhere(std::make_unique<TLogindSessionControl>(QDBusConnection::connectToBus(
        QStringLiteral("unix:path=") + FFolder.filePath(QStringLiteral("absent")), name)));
    int lost = 0;
    nowhere.OnInsufficientPrivileges = [&lost](QObject*) { ++lost; };
    QVERIFY(!nowhere.Shutdown());
    QVERIFY(!nowhere.LockWorkStation());
    QCOMPARE(lost, 1);
    QDBusConnection::disconnectFromBus(name);
  }
}

void TestLogind::sleepInhibitorHeldUntilReleased()
{
  QCOMPARE(Inhibitors(), QStringList());
  {
    TLogindSleepInhibitor inhibitor(*FBus);
    QVERIFY(inhibitor.Acquire(QStringLiteral("Backup in progress...")));
    QVERIFY(inhibitor.Held());
    // Holding it twice is one inhibitor.
    QVERIFY(inhibitor.Acquire(QStringLiteral("Backup in progress...")));
    QCOMPARE(Inhibitors(), QStringList({QStringLiteral("sleep:idle|Corvale|Backup in progress...|block")}));
    inhibitor.Release();
    QVERIFY(!inhibitor.Held());
    QTRY_COMPARE(Inhibitors(), QStringList());

    // Going away releases it as well.
    QVERIFY(inhibitor.Acquire(QStringLiteral("again")));
    QCOMPARE(Inhibitors().size(), 1);
  }
  QTRY_COMPARE(Inhibitors(), QStringList());

  // A refusal or a missing bus is reported, and nothing is held.
  SetManagerMethod(QStringLiteral("Inhibit"), QStringLiteral("ssss"), QStringLiteral("h"),
                   QStringLiteral("raise dbus.exceptions.DBusException('denied', "
                                  "name='org.freedesktop.DBus.Error.AccessDenied')"));
  TLogindSleepInhibitor refused(*FBus);
  QVERIFY(!refused.Acquire(QStringLiteral("Backup in progress...")));
  QVERIFY(!refused.Held());
  QVERIFY(refused.LastError().contains(QLatin1String("AccessDenied")));
  const QString name = QStringLiteral("tst_logind_noinhibit");
  {
    TLogindSleepInhibitor nowhere(
        QDBusConnection::connectToBus(QStringLiteral("unix:path=") + FFolder.filePath(QStringLiteral("absent")), name));
    QVERIFY(!nowhere.Acquire(QStringLiteral("Backup in progress...")));
  }
  QDBusConnection::disconnectFromBus(name);
}

QTEST_GUILESS_MAIN(TestLogind)
#include "tst_logind.moc"
