// SPDX-License-Identifier: GPL-3.0-or-later
// Showing a file in the file manager: the FileManager1 call on a private session bus (answered
// by python3-dbusmock), and xdg-open on the folder when no file manager is on the bus.
#include "platform/linux/TFreedesktopFileManager.h"
#include "tests/support/StopProcess.h"
#include "tests/support/TPrivateBus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

namespace {

const QString ConnectionName = QStringLiteral("filemanager-test");

QString ReadAll(const QString& AFileName)
{
  QFile file(AFileName);
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

class TestFileManager : public QObject
{
  Q_OBJECT

private slots:
  void fileManagerOnTheBusElseTheFolderIsOpened();
  void cleanupTestCase();

private:
  TPrivateBus FBus;
  QProcess FDaemon;
};

void TestFileManager::cleanupTestCase()
{
  QDBusConnection::disconnectFromBus(ConnectionName);
  StopProcess(FDaemon);
  FBus.Stop();
}

void TestFileManager::fileManagerOnTheBusElseTheFolderIsOpened()
{
  if (QProcess::execute(QStringLiteral("/usr/bin/python3"),
                        {QStringLiteral("-c"), QStringLiteral("import dbusmock")}) != 0)
    QSKIP("python3-dbusmock is not installed");
  if (const QString missing = TPrivateBus::MissingDaemon(); !missing.isEmpty())
    QSKIP(qPrintable(missing));
  QString error;
  QVERIFY2(FBus.Start(error), qPrintable(error));
  QDBusConnection connection = QDBusConnection::connectToBus(FBus.Address(), ConnectionName);
  QVERIFY(connection.isConnected());

  QTemporaryDir folder;
  QVERIFY(folder.isValid());
  const QString logFile = folder.filePath(QStringLiteral("my log.log"));
  QVERIFY(QFile(logFile).open(QIODevice::WriteOnly));
  // A stand-in for xdg-open that records what it was asked to open.
  const QString opened = folder.filePath(QStringLiteral("opened"));
  const QString stub = folder.filePath(QStringLiteral("xdg-open"));
  {
    QFile script(stub);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\nprintf '%s\\n' \"$@\" > \"" + QFile::encodeName(opened) + "\"\n");
    script.close();
    QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
  }
  qputenv("PATH", QFile::encodeName(folder.path()) + ':' + qgetenv("PATH"));

  TFreedesktopFileManager fileManager(connection);
  {
    // No file manager on the bus: the folder is opened.
    QVERIFY(fileManager.ShowFile(logFile));
    QTRY_COMPARE(ReadAll(opened), folder.path() + QLatin1Char('\n'));
    QFile::remove(opened);
  }
  {
    // The file manager is asked to show the file, by its URL.
    const QString calls = FBus.FilePath(QStringLiteral("calls.log"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), FBus.Address());
    FDaemon.setProcessEnvironment(environment);
    FDaemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    FDaemon.start(QStringLiteral("/usr/bin/python3"),
                  {QStringLiteral("-m"), QStringLiteral("dbusmock"), TFreedesktopFileManager::Service,
                   TFreedesktopFileManager::ObjectPath, TFreedesktopFileManager::Service, QStringLiteral("-l"), calls});
    QVERIFY2(FDaemon.waitForStarted(), qPrintable(FDaemon.errorString()));
    const QDeadlineTimer deadline(15000);
    while (!connection.interface()->isServiceRegistered(TFreedesktopFileManager::Service).value()) {
      QVERIFY2(!deadline.hasExpired(), "the mock file manager did not appear on the bus");
      QThread::msleep(50);
    }
    QDBusMessage add =
        QDBusMessage::createMethodCall(TFreedesktopFileManager::Service, TFreedesktopFileManager::ObjectPath,
                                       QStringLiteral("org.freedesktop.DBus.Mock"), QStringLiteral("AddMethod"));
    add << TFreedesktopFileManager::Service << QStringLiteral("ShowItems") << QStringLiteral("ass") << QString()
        << QString();
    const QDBusMessage reply = connection.call(add);
    QVERIFY2(reply.type() == QDBusMessage::ReplyMessage, qPrintable(reply.errorMessage()));

    QVERIFY(fileManager.ShowFile(logFile));
    const QString log = ReadAll(calls);
    QVERIFY2(log.contains(QStringLiteral("ShowItems")) &&
                 log.contains(QStringLiteral("file://") + QString(folder.path()) + QStringLiteral("/my%20log.log")),
             qPrintable(log));
    QVERIFY(!QFile::exists(opened));
  }
}

QTEST_GUILESS_MAIN(TestFileManager)
#include "tst_filemanager.moc"
