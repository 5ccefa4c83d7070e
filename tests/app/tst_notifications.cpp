// SPDX-License-Identifier: GPL-3.0-or-later
// Balloons on a desktop without a tray: desktop notifications on a private session bus with
// python3-dbusmock's notification daemon, and their default action running the click handler.
#include "app/TDesktopIntegration.h"
#include "platform/linux/TFreedesktopNotifications.h"
#include "tests/support/OffscreenNoise.h"
#include "tests/support/StopProcess.h"
#include "tests/support/TFakeSession.h"
#include "tests/support/TPrivateBus.h"
#include "tests/support/TShellRig.h"
#include "ui/TMessageBox.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <optional>

namespace {

const QString ConnectionName = QStringLiteral("notifications-test");

} // namespace

class TestNotifications : public QObject
{
  Q_OBJECT

private slots:
  void initTestCase();
  void cleanupTestCase();
  void balloonsBecomeNotificationsWithoutATray();

private:
  // The calls logged by the daemon since the last look.
  QStringList NewCalls();
  // Makes the daemon send ActionInvoked for AId.
  void InvokeAction(uint AId, const QString& AKey);

  QTemporaryDir FHome;
  TPrivateBus FBus;
  QProcess FDaemon;
  QString FCallLog;
  qsizetype FCallsSeen = 0;
  std::optional<QDBusConnection> FConnection;
};

void TestNotifications::initTestCase()
{
  HideOffscreenNoise();
  QStandardPaths::setTestModeEnabled(true);
  QVERIFY(FHome.isValid());
  for (const char* variable : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"})
    qputenv(variable, QFile::encodeName(FHome.path() + QLatin1Char('/') + QLatin1String(variable)));
  TMessageBox::SetHeadless(true);
  if (QProcess::execute(QStringLiteral("/usr/bin/python3"),
                        {QStringLiteral("-c"), QStringLiteral("import dbusmock")}) != 0)
    QSKIP("python3-dbusmock is not installed");
  if (const QString missing = TPrivateBus::MissingDaemon(); !missing.isEmpty())
    QSKIP(qPrintable(missing));
  QString error;
  QVERIFY2(FBus.Start(error), qPrintable(error));

  FCallLog = FBus.FilePath(QStringLiteral("calls.log"));
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), FBus.Address());
  environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), FBus.DeadAddress());
  FDaemon.setProcessEnvironment(environment);
  FDaemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  FDaemon.start(QStringLiteral("/usr/bin/python3"),
                {QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--template"),
                 QStringLiteral("notification_daemon"), QStringLiteral("-l"), FCallLog});
  QVERIFY2(FDaemon.waitForStarted(), qPrintable(FDaemon.errorString()));
  FConnection = QDBusConnection::connectToBus(FBus.Address(), ConnectionName);
  QVERIFY(FConnection->isConnected());
  const QDeadlineTimer deadline(15000);
  while (!FConnection->interface()->isServiceRegistered(TFreedesktopNotifications::Service).value()) {
    QVERIFY2(!deadline.hasExpired(), "the notification daemon did not appear on the bus");
    QThread::msleep(50);
  }
}

void TestNotifications::cleanupTestCase()
{
  if (FConnection) {
    FConnection.reset();
    QDBusConnection::disconnectFromBus(ConnectionName);
  }
  StopProcess(FDaemon);
  FBus.Stop();
}

QStringList TestNotifications::NewCalls()
{
  QFile log(FCallLog);
  if (!log.open(QIODevice::ReadOnly))
    return {};
  const QStringList lines = QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  QStringList calls;
  for (qsizetype i = FCallsSeen; i < lines.size(); ++i)
    calls << lines.at(i).section(QLatin1Char(' '), 1); // without the time stamp
  FCallsSeen = lines.size();
  return calls;
}

void TestNotifications::InvokeAction(uint AId, const QString& AKey)
{
  QDBusMessage call =
      QDBusMessage::createMethodCall(TFreedesktopNotifications::Service, TFreedesktopNotifications::ObjectPath,
                                     QStringLiteral("org.freedesktop.DBus.Mock"), QStringLiteral("EmitSignal"));
  call << QStringLiteral("org.freedesktop.Notifications") << QStringLiteral("ActionInvoked") << QStringLiteral("us")
       << QVariant::fromValue(
              QVariantList{QVariant::fromValue(QDBusVariant(AId)), QVariant::fromValue(QDBusVariant(AKey))});
  const QDBusMessage reply = FConnection->call(call);
  QVERIFY2(reply.type() == QDBusMessage::ReplyMessage, qPrintable(reply.errorMessage()));
}

void TestNotifications::balloonsBecomeNotificationsWithoutATray()
{
  TFreedesktopNotifications notifications(*FConnection);
  TShellRig rig(std::make_unique<TFakeSession>(), &notifications);
  TfrmOrvel& form = rig.Form;
  bool trayAvailable = false;
  form.Desktop().TrayAvailable = [&trayAvailable] { return trayAvailable; };
  form.FormActivate();
  QVERIFY(!form.Desktop().TrayIcon->isVisible());
  (void)NewCalls();

  // Title, text, urgency from the kind, the time-out, and a default action.
  int failedClicks = 0;
  int alertClicks = 0;
  form.Desktop().ShowBalloon(QStringLiteral("Backup Failed."), btError, 5000, [&failedClicks] { ++failedClicks; });
  QStringList calls = NewCalls();
  QCOMPARE(calls.size(), 1);
  const QString call = calls.first();
  QVERIFY2(
      call.startsWith(QLatin1String("Notify \"Corvale\" 0 \"corvale\" \"Corvale\" \"Backup Failed.\" [\"default\", ")),
      qPrintable(call));
  QVERIFY2(call.contains(QLatin1String("\"urgency\": 2")) || call.contains(QLatin1String("'urgency': 2")),
           qPrintable(call));
  QVERIFY2(call.endsWith(QLatin1String(" 5000")), qPrintable(call));
  form.Desktop().ShowBalloon(QStringLiteral("You have 1 Backup Alerts pending, click here for more details."),
                             btWarning, 30000, [&alertClicks] { ++alertClicks; });
  calls = NewCalls();
  QCOMPARE(calls.size(), 1);
  QVERIFY2(calls.first().contains(QLatin1String("urgency\": 1")) ||
               calls.first().contains(QLatin1String("urgency': 1")),
           qPrintable(calls.first()));
  QVERIFY2(calls.first().endsWith(QLatin1String(" 30000")), qPrintable(calls.first()));

  // The default action of each runs the handler given with its own balloon, once; another
  // action key, or an id this program did not send, runs nothing.
  InvokeAction(1, QStringLiteral("other"));
  InvokeAction(99, QStringLiteral("default"));
  InvokeAction(2, QStringLiteral("default"));
  QTRY_COMPARE(alertClicks, 1);
  QCOMPARE(failedClicks, 0);
  InvokeAction(2, QStringLiteral("default"));
  InvokeAction(1, QStringLiteral("default"));
  QTRY_COMPARE(failedClicks, 1);
  QCOMPARE(alertClicks, 1);

  // A notification that closes unclicked takes its handler with it.
  int lateClicks = 0;
  form.Desktop().ShowBalloon(QStringLiteral("Backup Failed."), btError, 5000, [&lateClicks] { ++lateClicks; });
  QCOMPARE(form.Desktop().PendingNotificationClicks(), 1);
  QDBusMessage closed =
      QDBusMessage::createMethodCall(TFreedesktopNotifications::Service, TFreedesktopNotifications::ObjectPath,
                                     QStringLiteral("org.freedesktop.DBus.Mock"), QStringLiteral("EmitSignal"));
  closed << QStringLiteral("org.freedesktop.Notifications") << QStringLiteral("NotificationClosed")
         << QStringLiteral("uu")
         << QVariant::fromValue(
                QVariantList{QVariant::fromValue(QDBusVariant(3u)), QVariant::fromValue(QDBusVariant(1u))});
  QCOMPARE(FConnection->call(closed).type(), QDBusMessage::ReplyMessage);
  QTRY_COMPARE(form.Desktop().PendingNotificationClicks(), 0);
  InvokeAction(3, QStringLiteral("default"));
  QTest::qWait(50);
  QCOMPARE(lateClicks, 0);

  // With a tray the balloon is a notification all the same, which answers its click; the alert
  // replaces the one still shown; at exit what is still shown is withdrawn.
  (void)NewCalls(); // the signals sent above
  trayAvailable = true;
  form.Desktop().TrayIcon->show();
  form.Desktop().ShowBalloon(QStringLiteral("Backup Complete."), btInfo, 0, {});
  QCOMPARE(NewCalls().filter(QStringLiteral("Notify ")).size(), 1);
  form.Desktop().ShowAlerts(1, [&alertClicks] { ++alertClicks; });
  form.Desktop().ShowAlerts(2, [&alertClicks] { alertClicks += 10; });
  QCOMPARE(NewCalls().filter(QStringLiteral("Notify ")).size(), 2);
  // The second took the first's place, and with it the click.
  QCOMPARE(form.Desktop().PendingNotificationClicks(), 1);
  form.Desktop().WithdrawNotifications();
  QStringList closes;
  QTRY_VERIFY2((closes << NewCalls()).filter(QStringLiteral("CloseNotification")).size() >= 1,
               qPrintable(closes.join(QLatin1Char('\n'))));
}

QTEST_MAIN(TestNotifications)
#include "tst_notifications.moc"
