// SPDX-License-Identifier: GPL-3.0-or-later
// Two real processes of the program: the second start wakes the first and ends; commands reach
// the running one; a crashed run's lock and socket do not block the next start.
#include "platform/TSingleInstance.h"

#include <QDir>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

class TestSingleInstance : public QObject
{
  Q_OBJECT

private slots:
  void initTestCase();
  void secondStartWakesTheFirst();
  void crashedRunDoesNotBlock();
  void uncheckableLockEndsTheStart();
  void badClientsAreDropped();

private:
  void Start(QProcess& AProcess, const QStringList& AArguments);
  QStringList LogFiles() const;
  // Everything the process has written to its error channel so far.
  static QByteArray Errors(QProcess& AProcess);
  QString InstanceFolder() const { return FFolder.filePath(QStringLiteral("run/Corvale")); }

  QTemporaryDir FFolder;
  QProcessEnvironment FEnvironment;
};

void TestSingleInstance::initTestCase()
{
  QVERIFY(FFolder.isValid());
  QVERIFY(
      QDir().mkdir(FFolder.filePath(QStringLiteral("run")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
  FEnvironment = QProcessEnvironment::systemEnvironment();
  FEnvironment.insert(QStringLiteral("XDG_RUNTIME_DIR"), FFolder.filePath(QStringLiteral("run")));
  for (const char* variable : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME"})
    FEnvironment.insert(QLatin1String(variable), FFolder.filePath(QLatin1String(variable)));
  FEnvironment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  FEnvironment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("corvale.shell.debug=true"));
  // Nothing here may reach a real bus.
  FEnvironment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent"));
  FEnvironment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent"));
}

void TestSingleInstance::Start(QProcess& AProcess, const QStringList& AArguments)
{
  AProcess.setProcessEnvironment(FEnvironment);
  AProcess.start(QStringLiteral(CORVALE_BINARY), AArguments);
  QVERIFY(AProcess.waitForStarted());
}

QByteArray TestSingleInstance::Errors(QProcess& AProcess)
{
  const QByteArray errors = AProcess.property("errors").toByteArray() + AProcess.readAllStandardError();
  AProcess.setProperty("errors", errors);
  return errors;
}

QStringList TestSingleInstance::LogFiles() const
{
  return QDir(FFolder.filePath(QStringLiteral("XDG_DATA_HOME/Corvale/Logs")))
      .entryList({QStringLiteral("*.log")}, QDir::Files);
}

void TestSingleInstance::secondStartWakesTheFirst()
{
  QProcess first;
  Start(first, {QStringLiteral("/HIDE")});
  QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(InstanceFolder() + QStringLiteral("/instance.socket")), 10000);
  QTRY_COMPARE_WITH_TIMEOUT(LogFiles().size(), 1, 10000);
  QVERIFY(TSingleInstance::IsRunning(InstanceFolder()));

  // Whatever its arguments, the second start shows the running one and ends with 0, silently.
  QProcess second;
  Start(second, {QStringLiteral("/OPTIONS"), QStringLiteral("/BACKUP")});
  QVERIFY(second.waitForFinished(15000));
  QCOMPARE(second.exitStatus(), QProcess::NormalExit);
  QCOMPARE(second.exitCode(), 0);
  QCOMPARE(second.readAllStandardOutput(), QByteArray());
  // Started with /HIDE on a desktop without a tray, the window was minimised; now it is back.
  QTRY_VERIFY_WITH_TIMEOUT(Errors(first).contains("command 1 done; main window visible: true, minimised: false"),
                           10000);
  QCOMPARE(first.state(), QProcess::Running);

  // Commands sent the same way: hide, options (answered before the dialog opens), then exit.
  TSingleInstance sender(InstanceFolder());
  QVERIFY(sender.Send(TInstanceCommand::Hide));
  QVERIFY(sender.Send(TInstanceCommand::Options));
  QTRY_VERIFY_WITH_TIMEOUT(Errors(first).contains("command 4 done"), 10000);
  QCOMPARE(first.state(), QProcess::Running);
  (void)sender.Send(TInstanceCommand::Exit);
  QVERIFY(first.waitForFinished(15000));
  QCOMPARE(first.exitStatus(), QProcess::NormalExit);
  QCOMPARE(first.exitCode(), 0);
  QVERIFY(!TSingleInstance::IsRunning(InstanceFolder()));
  // A normal exit deletes the application log.
  QCOMPARE(LogFiles(), QStringList());
}

void TestSingleInstance::crashedRunDoesNotBlock()
{
  QProcess crashed;
  Start(crashed, {});
  QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(InstanceFolder() + QStringLiteral("/instance.socket")), 10000);
  QTRY_COMPARE_WITH_TIMEOUT(LogFiles().size(), 1, 10000);
  crashed.kill();
  QVERIFY(crashed.waitForFinished(10000));
  QVERIFY(QFile::exists(InstanceFolder() + QStringLiteral("/instance.lock")));
  QVERIFY(QFile::exists(InstanceFolder() + QStringLiteral("/instance.socket")));
  QVERIFY(!TSingleInstance::IsRunning(InstanceFolder())); // the lock of a dead process
  const QStringList leftBehind = LogFiles();
  QTest::qWait(1100); // the next log file is named by the second

  QProcess next;
  Start(next, {});
  QVERIFY(!next.waitForFinished(1500));
  TSingleInstance sender(InstanceFolder());
  QVERIFY(sender.Send(TInstanceCommand::Show));
  QTRY_VERIFY_WITH_TIMEOUT(Errors(next).contains("command 1 done"), 10000);

  // A termination request closes it through its shutdown sequence.
  ::kill(static_cast<pid_t>(next.processId()), SIGTERM);
  QVERIFY(next.waitForFinished(15000));
  QCOMPARE(next.exitStatus(), QProcess::NormalExit);
  QCOMPARE(next.exitCode(), 0);
  QCOMPARE(LogFiles(), leftBehind);
  QVERIFY(!QFile::exists(InstanceFolder() + QStringLiteral("/instance.socket")));
}

void TestSingleInstance::uncheckableLockEndsTheStart()
{
  // A runtime folder where the program's own folder cannot be made (a file has its name).
  const QString runtime = FFolder.filePath(QStringLiteral("blocked"));
  QVERIFY(QDir().mkdir(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
  QFile blocker(runtime + QStringLiteral("/Corvale"));
  QVERIFY(blocker.open(QIODevice::WriteOnly));
  blocker.close();

  QProcess process;
  QProcessEnvironment environment = FEnvironment;
  environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
  process.setProcessEnvironment(environment);
  process.start(QStringLiteral(CORVALE_BINARY), {});
  QVERIFY(process.waitForFinished(15000));
  QCOMPARE(process.exitStatus(), QProcess::NormalExit);
  QCOMPARE(process.exitCode(), 1);
  const QByteArray errors = process.readAllStandardError();
  QVERIFY2(errors.contains("Corvale cannot make sure that it runs only once: Cannot create the folder"),
           errors.constData());
}

void TestSingleInstance::badClientsAreDropped()
{
  // Garbage, a line that never ends and a client that says nothing are each cut off; the
  // instance goes on answering well-behaved clients.
  const QString folder = FFolder.filePath(QStringLiteral("run/bad-clients"));
  TSingleInstance instance(folder);
  QCOMPARE(instance.Start(), TInstanceStart::Started);
  instance.ClientTimeOutMs = 300;
  QList<int> received;
  instance.OnCommand = [&received](TInstanceCommand ACommand) { received << int(ACommand); };

  const QList<QByteArray> sent{"hello\n", QByteArray(100000, '1'), QByteArray()};
  for (const QByteArray& data : sent) {
    QLocalSocket client;
    client.connectToServer(instance.SocketName());
    QVERIFY(client.waitForConnected(5000));
    client.write(data);
    client.flush();
    QTRY_COMPARE_WITH_TIMEOUT(client.state(), QLocalSocket::UnconnectedState, 10000);
    QVERIFY(!client.readAll().contains("ok"));
  }
  QVERIFY(received.isEmpty());

  // A well-behaved client: a command that is not known is acknowledged and ignored.
  QLocalSocket client;
  client.connectToServer(instance.SocketName());
  QVERIFY(client.waitForConnected(5000));
  client.write("9\n2\n");
  QTRY_COMPARE_WITH_TIMEOUT(client.bytesAvailable(), qint64(6), 10000);
  QCOMPARE(client.readAll(), QByteArray("ok\nok\n"));
  QCOMPARE(received, QList<int>{int(TInstanceCommand::Hide)});
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
