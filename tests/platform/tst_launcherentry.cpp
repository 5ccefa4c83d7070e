// SPDX-License-Identifier: GPL-3.0-or-later
// The taskbar progress over a real session bus: a private dbus-daemon carries the launcher-entry
// signals to a second connection that listens as a dock would.
#include "platform/linux/TLauncherEntryProgress.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestLauncherEntry : public QObject
{
  Q_OBJECT

private slots:
  void initTestCase();
  void cleanupTestCase();
  void progressAndClearReachTheDock();
  void withoutABusNothingHappens();

public slots:
  // Called by the bus for every launcher-entry update.
  void Received(const QDBusMessage& AMessage) { FReceived << AMessage; }

private:
  QTemporaryDir FFolder;
  QProcess FDaemon;
  QString FAddress;
  QList<QDBusMessage> FReceived;
};

void TestLauncherEntry::initTestCase()
{
  if (!QFile::exists(QStringLiteral("/usr/bin/dbus-daemon")))
    QSKIP("dbus-daemon is not installed (Debian package dbus)");
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
}

void TestLauncherEntry::cleanupTestCase()
{
  for (const QString& name : {QStringLiteral("dock"), QStringLiteral("program")})
    QDBusConnection::disconnectFromBus(name);
  if (FDaemon.state() != QProcess::NotRunning) {
    FDaemon.terminate();
    if (!FDaemon.waitForFinished(5000))
      FDaemon.kill();
  }
}

void TestLauncherEntry::progressAndClearReachTheDock()
{
  QDBusConnection dock = QDBusConnection::connectToBus(FAddress, QStringLiteral("dock"));
  QDBusConnection program = QDBusConnection::connectToBus(FAddress, QStringLiteral("program"));
  QVERIFY(dock.isConnected() && program.isConnected());
  QVERIFY(dock.connect(QString(), QString(), TLauncherEntryProgress::Interface, QStringLiteral("Update"), this,
                       SLOT(Received(QDBusMessage))));
  // The match rule is sent on its own; a round trip on the same connection makes sure the bus
  // has it before the first signal goes out.
  QVERIFY(dock.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.DBus")).value());

  TLauncherEntryProgress progress(QStringLiteral("corvale.desktop"), program);
  // Clearing what was never shown says nothing.
  progress.Clear();
  progress.SetProgress(42);
  QTRY_COMPARE(FReceived.size(), 1);
  const QDBusMessage first = FReceived.first();
  QCOMPARE(first.path(), TLauncherEntryProgress::ObjectPath);
  QCOMPARE(first.member(), QStringLiteral("Update"));
  QCOMPARE(first.signature(), QStringLiteral("sa{sv}"));
  QCOMPARE(first.arguments().value(0).toString(), QStringLiteral("application://corvale.desktop"));
  QVariantMap properties = qdbus_cast<QVariantMap>(first.arguments().value(1));
  QCOMPARE(properties.value(QStringLiteral("progress")).toDouble(), 0.42);
  QCOMPARE(properties.value(QStringLiteral("progress-visible")).toBool(), true);

  // An unchanged value is not sent again; values beyond the scale are held to it.
  progress.SetProgress(42);
  progress.SetProgress(250);
  QTRY_COMPARE(FReceived.size(), 2);
  properties = qdbus_cast<QVariantMap>(FReceived.at(1).arguments().value(1));
  QCOMPARE(properties.value(QStringLiteral("progress")).toDouble(), 1.0);

  progress.Clear();
  progress.Clear();
  progress.SetProgress(0);
  QTRY_COMPARE(FReceived.size(), 4);
  properties = qdbus_cast<QVariantMap>(FReceived.at(2).arguments().value(1));
  QCOMPARE(properties, QVariantMap({{QStringLiteral("progress-visible"), false}}));
  properties = qdbus_cast<QVariantMap>(FReceived.at(3).arguments().value(1));
  QCOMPARE(properties.value(QStringLiteral("progress")).toDouble(), 0.0);
  QCOMPARE(properties.value(QStringLiteral("progress-visible")).toBool(), true);
}

void TestLauncherEntry::withoutABusNothingHappens()
{
  QDBusConnection none = QDBusConnection::connectToBus(
      QStringLiteral("unix:path=") + FFolder.filePath(QStringLiteral("missing")), QStringLiteral("none"));
  QVERIFY(!none.isConnected());
  TLauncherEntryProgress progress(QStringLiteral("corvale.desktop"), none);
  progress.SetProgress(10);
  progress.Clear();
  QDBusConnection::disconnectFromBus(QStringLiteral("none"));
}

QTEST_GUILESS_MAIN(TestLauncherEntry)
#include "tst_launcherentry.moc"
