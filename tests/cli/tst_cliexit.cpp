// SPDX-License-Identifier: GPL-3.0-or-later
// The exit action of corvale-cli over the real D-Bus path: a private dbus-daemon with
// python3-dbusmock's logind template stands in for the system bus, and its call log shows what
// the program asked for.
#include "cli/TTerminalRun.h"
#include "profiles/TBackupProfileManager.h"
#include "settings/TestHome.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString Logind = QStringLiteral("org.freedesktop.login1");
const QString LogindPath = QStringLiteral("/org/freedesktop/login1");
const QString Manager = QStringLiteral("org.freedesktop.login1.Manager");

} // namespace

class TestCliExit : public QObject
{
  Q_OBJECT

private slots:
  void initTestCase();
  void cleanupTestCase();
  void init();
  void countDownThatAKeyStops();
  void countDownThatRunsOutEndsTheSession();
  void yesEndsTheSessionWithoutATerminal();
  void missingPrivilegeFails();

private:
  QStringList NewCalls();
  void SetManagerMethod(const QString& AName, const QString& AInSignature, const QString& AOutSignature,
                        const QString& ACode);
  int RunWithoutTerminal(const QStringList& AArguments, QString& AError);

  QTemporaryDir FFolder;
  QProcess FDaemon;
  QProcess FMock;
  QString FCallLog;
  qsizetype FCallsSeen = 0;
  std::optional<QDBusConnection> FBus;
  std::unique_ptr<TTestHome> FHome;
};

void TestCliExit::initTestCase()
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
  const QString address = QString::fromUtf8(FDaemon.readLine().trimmed());
  QVERIFY(!address.isEmpty());
  // corvale-cli, started from here, finds logind on the private bus.
  qputenv("DBUS_SYSTEM_BUS_ADDRESS", address.toUtf8());
  qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());

  FCallLog = FFolder.filePath(QStringLiteral("calls.log"));
  FMock.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  FMock.start(QStringLiteral("/usr/bin/python3"),
              {QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--template"), QStringLiteral("logind"),
               QStringLiteral("-l"), FCallLog});
  QVERIFY(FMock.waitForStarted());
  FBus = QDBusConnection::connectToBus(address, QStringLiteral("tst_cliexit"));
  QVERIFY(FBus->isConnected());
  QTRY_VERIFY_WITH_TIMEOUT(FBus->interface()->isServiceRegistered(Logind).value(), 15000);
}

void TestCliExit::cleanupTestCase()
{
  FBus.reset();
  QDBusConnection::disconnectFromBus(QStringLiteral("tst_cliexit"));
  for (QProcess* process : {&FMock, &FDaemon}) {
    if (process->state() == QProcess::NotRunning)
      continue;
    process->terminate();
    if (!process->waitForFinished(5000))
      process->kill();
    process->waitForFinished(5000);
  }
}

void TestCliExit::init()
{
  SetManagerMethod(QStringLiteral("CanPowerOff"), {}, QStringLiteral("s"), QStringLiteral("ret = 'yes'"));
  SetManagerMethod(QStringLiteral("CanReboot"), {}, QStringLiteral("s"), QStringLiteral("ret = 'yes'"));
  SetManagerMethod(QStringLiteral("PowerOff"), QStringLiteral("b"), {}, {});
  SetManagerMethod(QStringLiteral("Reboot"), QStringLiteral("b"), {}, {});
  NewCalls();

  FHome = std::make_unique<TTestHome>();
  QVERIFY(FHome->IsValid());
  QVERIFY(QDir().mkpath(FHome->Path(QStringLiteral("source"))));
  QFile file(FHome->Path(QStringLiteral("source/file.txt")));
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write("content");
  file.close();
  TBackupProfileManager manager;
  manager.SetRegistryKey(QStringLiteral("\\Software\\Quenfield\\Orvel"));
  TBackupProfile* profile = manager.NewProfile(QStringLiteral("Docs"));
  profile->SetZipType(zZip);
  profile->SetZipFile(FHome->Path(QStringLiteral("docs.zip")));
  profile->Files().Add(FHome->Path(QStringLiteral("source/")), QStringLiteral("*.*"), true);
  QVERIFY(profile->SaveProfile());
}

void TestCliExit::SetManagerMethod(const QString& AName, const QString& AInSignature, const QString& AOutSignature,
                                   const QString& ACode)
{
  QDBusMessage call = QDBusMessage::createMethodCall(Logind, LogindPath, QStringLiteral("org.freedesktop.DBus.Mock"),
                                                     QStringLiteral("AddMethod"));
  call.setArguments({Manager, AName, AInSignature, AOutSignature, ACode});
  const QDBusMessage reply = FBus->call(call);
  QVERIFY2(reply.type() == QDBusMessage::ReplyMessage, qPrintable(reply.errorMessage()));
}

QStringList TestCliExit::NewCalls()
{
  QFile file(FCallLog);
  if (!file.open(QIODevice::ReadOnly))
    return {};
  QStringList lines;
  for (const QByteArray& line : file.readAll().split('\n')) {
    const QString call = QString::fromUtf8(line.mid(line.indexOf(' ') + 1));
    if (call.startsWith(QStringLiteral("CanPowerOff")) || call.startsWith(QStringLiteral("CanReboot")) ||
        call.startsWith(QStringLiteral("PowerOff")) || call.startsWith(QStringLiteral("Reboot")))
      lines << call;
  }
  const QStringList calls = lines.mid(FCallsSeen);
  FCallsSeen = lines.size();
  return calls;
}

int TestCliExit::RunWithoutTerminal(const QStringList& AArguments, QString& AError)
{
  QProcess process;
  process.start(QStringLiteral(CORVALE_CLI), AArguments);
  process.closeWriteChannel();
  if (!process.waitForFinished(60000))
    return -1;
  AError = QString::fromUtf8(process.readAllStandardError());
  return process.exitCode();
}

void TestCliExit::countDownThatAKeyStops()
{
  TTerminalRun run({QStringLiteral("backup"), QStringLiteral("--then"), QStringLiteral("shutdown")});
  QVERIFY2(run.WaitFor(QStringLiteral("Shut Down in 30 second(s)... Press any key to cancel.")),
           qPrintable(run.Output()));
  QVERIFY(run.WaitFor(QStringLiteral("Shut Down in 29 second(s)")));
  run.Type("x");
  QCOMPARE(run.Finish(), 0);
  QVERIFY(run.Output().contains(QStringLiteral("Shut Down cancelled.")));
  QCOMPARE(NewCalls(), QStringList{QStringLiteral("CanPowerOff")});
}

void TestCliExit::countDownThatRunsOutEndsTheSession()
{
  TTerminalRun run({QStringLiteral("backup"), QStringLiteral("Docs"), QStringLiteral("--then=restart")});
  QVERIFY2(run.WaitFor(QStringLiteral("Restart in 30 second(s)")), qPrintable(run.Output()));
  QCOMPARE(run.Finish(45000), 0);
  QVERIFY(run.Output().contains(QStringLiteral("Restart in 0 second(s)")));
  QCOMPARE(NewCalls(), (QStringList{QStringLiteral("CanReboot"), QStringLiteral("Reboot False")}));
}

void TestCliExit::yesEndsTheSessionWithoutATerminal()
{
  QString error;
  QCOMPARE(RunWithoutTerminal({QStringLiteral("backup"), QStringLiteral("--yes"), QStringLiteral("--then"),
                               QStringLiteral("shutdown")},
                              error),
           0);
  QCOMPARE(NewCalls(), (QStringList{QStringLiteral("CanPowerOff"), QStringLiteral("PowerOff False")}));
}

void TestCliExit::missingPrivilegeFails()
{
  SetManagerMethod(QStringLiteral("CanPowerOff"), {}, QStringLiteral("s"), QStringLiteral("ret = 'no'"));
  QString error;
  QCOMPARE(RunWithoutTerminal(
               {QStringLiteral("backup"), QStringLiteral("-y"), QStringLiteral("--then"), QStringLiteral("shutdown")},
               error),
           1);
  QVERIFY(error.contains(QStringLiteral("You do not have sufficient privileges to exit windows.")));
  QVERIFY(error.contains(QStringLiteral("Unable to exit windows, you may not have permission.")));
  QCOMPARE(NewCalls(), QStringList{QStringLiteral("CanPowerOff")});
}

QTEST_GUILESS_MAIN(TestCliExit)
#include "tst_cliexit.moc"
