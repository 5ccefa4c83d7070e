// SPDX-License-Identifier: GPL-3.0-or-later
// The taskbar progress over a real session bus: a private dbus-daemon carries the launcher-entry
// signals to a second connection that listens as a dock would.
#include "platform/linux/TLauncherEntryProgress.h"
#include "tests/support/TPrivateBus.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
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
  TPrivateBus FBus;
  QList<QDBusMessage> FReceived;
};

void TestLauncherEntry::initTestCase()
{
  if (const QString missing = TPrivateBus::MissingDaemon(); !missing.isEmpty())
    QSKIP(qPrintable(missing));
  QString error;
  QVERIFY2(FBus.Start(error), qPrintable(error));
}

void TestLauncherEntry::cleanupTestCase()
{
  for (const QString& name : {QStringLiteral("dock"), QStringLiteral("program")})
    QDBusConnection::disconnectFromBus(name);
  FBus.Stop();
}

void TestLauncherEntry::progressAndClearReachTheDock()
{
  QDBusConnection dock = QDBusConnection::connectToBus(FBus.Address(), QStringLiteral("dock"));
  QDBusConnection program = QDBusConnection::connectToBus(FBus.Address(), QStringLiteral("program"));
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
  QDBusConnection none = QDBusConnection::connectToBus(FBus.DeadAddress(), QStringLiteral("none"));
  QVERIFY(!none.isConnected());
  TLauncherEntryProgress progress(QStringLiteral("corvale.desktop"), none);
  progress.SetProgress(10);
  progress.Clear();
  QDBusConnection::disconnectFromBus(QStringLiteral("none"));
}

QTEST_GUILESS_MAIN(TestLauncherEntry)
#include "tst_launcherentry.moc"
