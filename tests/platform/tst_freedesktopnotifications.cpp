// SPDX-License-Identifier: GPL-3.0-or-later
// Desktop notifications against python3-dbusmock's notification daemon on a private session bus:
// what each Notify carries, replacement by kind, the time-outs kept, the withdrawal at exit, and
// the default action reported per id.
#include "platform/linux/TFreedesktopNotifications.h"
#include "tests/support/StopProcess.h"
#include "tests/support/TPrivateBus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QThread>

#include <optional>

namespace {

const QString ConnectionName = QStringLiteral("freedesktop-notifications-test");
const QString MockInterface = QStringLiteral("org.freedesktop.DBus.Mock");

} // namespace

class TestFreedesktopNotifications : public QObject
{
  Q_OBJECT

private slots:
  void initTestCase();
  void cleanupTestCase();
  void init();
  void aNotificationCarriesIconUrgencyAndTimeOut();
  void aKindReplacesItsNotificationWhileShown();
  void timeOutsHoldAlsoForUrgentOnes();
  void closeAllWithdrawsThoseStillShown();
  void theDefaultActionIsReportedPerId();

private:
  // The calls logged by the daemon since the last look, without time stamps.
  QStringList NewCalls();
  // The calls logged once ACount of them arrived (the time-outs close asynchronously).
  QStringList AwaitCalls(qsizetype ACount);
  // Waits until the signals sent so far have reached ANotifications: signals arrive in order, so a
  // click on its notification AShown, sent now, comes after them.
  void AwaitSignals(TFreedesktopNotifications& ANotifications, unsigned AShown);
  // Makes the daemon send one of its signals.
  void Emit(const QString& AName, const QString& ASignature, const QVariantList& AArguments);

  TPrivateBus FBus;
  QProcess FDaemon;
  QString FCallLog;
  qsizetype FCallsSeen = 0;
  std::optional<QDBusConnection> FConnection;
};

void TestFreedesktopNotifications::initTestCase()
{
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
  // The template takes CloseNotification's id as signed; the notification protocol's is unsigned.
  QDBusMessage add =
      QDBusMessage::createMethodCall(TFreedesktopNotifications::Service, TFreedesktopNotifications::ObjectPath,
                                     MockInterface, QStringLiteral("AddMethod"));
  add << TFreedesktopNotifications::Service << QStringLiteral("CloseNotification") << QStringLiteral("u") << QString()
      << QStringLiteral("self.EmitSignal('', 'NotificationClosed', 'uu', [args[0], 3])");
  const QDBusMessage reply = FConnection->call(add);
  QVERIFY2(reply.type() == QDBusMessage::ReplyMessage, qPrintable(reply.errorMessage()));
}

void TestFreedesktopNotifications::cleanupTestCase()
{
  if (FConnection) {
    FConnection.reset();
    QDBusConnection::disconnectFromBus(ConnectionName);
  }
  StopProcess(FDaemon);
  FBus.Stop();
}

void TestFreedesktopNotifications::init()
{
  (void)NewCalls();
}

QStringList TestFreedesktopNotifications::NewCalls()
{
  QFile log(FCallLog);
  if (!log.open(QIODevice::ReadOnly))
    return {};
  const QStringList lines = QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  QStringList calls;
  for (qsizetype i = FCallsSeen; i < lines.size(); ++i) {
    const QString call = lines.at(i).section(QLatin1Char(' '), 1);
    if (!call.startsWith(QLatin1String("emit ")) && !call.startsWith(QLatin1String("EmitSignal")) &&
        !call.startsWith(QLatin1String("AddMethod")))
      calls << call;
  }
  FCallsSeen = lines.size();
  return calls;
}

QStringList TestFreedesktopNotifications::AwaitCalls(qsizetype ACount)
{
  QStringList calls = NewCalls();
  const QDeadlineTimer deadline(10000);
  while (calls.size() < ACount && !deadline.hasExpired()) {
    QTest::qWait(20);
    calls << NewCalls();
  }
  return calls;
}

void TestFreedesktopNotifications::Emit(const QString& AName, const QString& ASignature, const QVariantList& AArguments)
{
  QVariantList arguments;
  for (const QVariant& argument : AArguments)
    arguments << QVariant::fromValue(QDBusVariant(argument));
  QDBusMessage call =
      QDBusMessage::createMethodCall(TFreedesktopNotifications::Service, TFreedesktopNotifications::ObjectPath,
                                     MockInterface, QStringLiteral("EmitSignal"));
  call << TFreedesktopNotifications::Service << AName << ASignature << QVariant::fromValue(arguments);
  const QDBusMessage reply = FConnection->call(call);
  QVERIFY2(reply.type() == QDBusMessage::ReplyMessage, qPrintable(reply.errorMessage()));
}

void TestFreedesktopNotifications::AwaitSignals(TFreedesktopNotifications& ANotifications, unsigned AShown)
{
  bool clicked = false;
  ANotifications.OnDefaultAction = [&clicked](unsigned) { clicked = true; };
  Emit(QStringLiteral("ActionInvoked"), QStringLiteral("us"), {uint(AShown), QStringLiteral("default")});
  QTRY_VERIFY(clicked);
  ANotifications.OnDefaultAction = nullptr;
  (void)NewCalls();
}

void TestFreedesktopNotifications::aNotificationCarriesIconUrgencyAndTimeOut()
{
  TFreedesktopNotifications notifications(*FConnection);
  {
    // The installed program's icon by name, in app_icon and in the image-path hint.
    QVERIFY(notifications.Show(
                {QStringLiteral("Corvale"), QStringLiteral("Backup Failed."), TNotificationUrgency::Critical, 0, {}}) !=
            0);
    const QStringList calls = NewCalls();
    QCOMPARE(calls.size(), 1);
    const QString call = calls.first();
    QVERIFY2(call.startsWith(QLatin1String(
                 "Notify \"Corvale\" 0 \"corvale\" \"Corvale\" \"Backup Failed.\" [\"default\", \"Corvale\"] ")),
             qPrintable(call));
    for (const QString& hint : {QStringLiteral("\"urgency\": 2"), QStringLiteral("\"image-path\": \"corvale\""),
                                QStringLiteral("\"desktop-entry\": \"corvale\"")})
      QVERIFY2(call.contains(hint), qPrintable(call));
    QVERIFY2(call.endsWith(QLatin1String(" 0")), qPrintable(call));
  }
  {
    // A program that is not installed names its icon file, as a file URL.
    notifications.SetIcon(QStringLiteral("/opt/my corvale/corvale.png"));
    QVERIFY(notifications.Notify(QStringLiteral("Corvale"), QStringLiteral("Backup Complete."),
                                 TNotificationUrgency::Low, -1) != 0);
    const QString call = NewCalls().value(0);
    QVERIFY2(call.contains(QLatin1String("\"file:///opt/my%20corvale/corvale.png\" \"Corvale\"")), qPrintable(call));
    QVERIFY2(call.contains(QLatin1String("\"urgency\": 0")), qPrintable(call));
    QVERIFY2(call.endsWith(QLatin1String(" -1")), qPrintable(call));
  }
}

void TestFreedesktopNotifications::aKindReplacesItsNotificationWhileShown()
{
  TFreedesktopNotifications notifications(*FConnection);
  const QString alerts = QStringLiteral("alerts");
  const unsigned first = notifications.Show(
      {QStringLiteral("Corvale"), QStringLiteral("1 pending"), TNotificationUrgency::Normal, 0, alerts});
  QVERIFY(first != 0);
  // Another kind, and no kind, stand beside it.
  const unsigned other =
      notifications.Show({QStringLiteral("Corvale"), QStringLiteral("Backup Complete."), {}, 0, QStringLiteral("run")});
  QVERIFY(other != first);
  QVERIFY(notifications.Notify(QStringLiteral("Corvale"), QStringLiteral("x"), {}, 0) != first);
  (void)NewCalls();

  // The same kind again takes the place of the first.
  QCOMPARE(notifications.Show({QStringLiteral("Corvale"), QStringLiteral("2 pending"), {}, 0, alerts}), first);
  QVERIFY2(NewCalls().value(0).startsWith(QStringLiteral("Notify \"Corvale\" %1 ").arg(first)), "not replaced");

  // Once the user dismissed it, the kind starts a new one.
  Emit(QStringLiteral("NotificationClosed"), QStringLiteral("uu"), {uint(first), uint(2)});
  AwaitSignals(notifications, other);
  QVERIFY(notifications.Show({QStringLiteral("Corvale"), QStringLiteral("3 pending"), {}, 0, alerts}) != first);
  QVERIFY(NewCalls().value(0).startsWith(QLatin1String("Notify \"Corvale\" 0 ")));
}

void TestFreedesktopNotifications::timeOutsHoldAlsoForUrgentOnes()
{
  TFreedesktopNotifications notifications(*FConnection);
  const unsigned urgent = notifications.Show(
      {QStringLiteral("Corvale"), QStringLiteral("Backup Failed."), TNotificationUrgency::Critical, 300, {}});
  const unsigned kept = notifications.Show(
      {QStringLiteral("Corvale"), QStringLiteral("Until dismissed"), TNotificationUrgency::Critical, 0, {}});
  (void)NewCalls();
  // The urgent one is withdrawn when its time is up; the one without a time-out stays.
  QCOMPARE(AwaitCalls(1), QStringList({QStringLiteral("CloseNotification %1").arg(urgent)}));
  notifications.CloseAll();
  QCOMPARE(NewCalls(), QStringList({QStringLiteral("CloseNotification %1").arg(kept)}));

  // A replacement brings its own time: the first one's timer does not withdraw it.
  const unsigned alert =
      notifications.Show({QStringLiteral("Corvale"), QStringLiteral("a"), {}, 200, QStringLiteral("k")});
  QCOMPARE(notifications.Show({QStringLiteral("Corvale"), QStringLiteral("b"), {}, 0, QStringLiteral("k")}), alert);
  QTest::qWait(400);
  QCOMPARE(NewCalls().size(), 2); // the two Notify calls, no CloseNotification
  notifications.CloseAll();
}

void TestFreedesktopNotifications::closeAllWithdrawsThoseStillShown()
{
  TFreedesktopNotifications notifications(*FConnection);
  const unsigned dismissed = notifications.Notify(QStringLiteral("Corvale"), QStringLiteral("a"), {}, 0);
  const unsigned shown = notifications.Notify(QStringLiteral("Corvale"), QStringLiteral("b"), {}, 0);
  Emit(QStringLiteral("NotificationClosed"), QStringLiteral("uu"), {uint(dismissed), uint(2)});
  // Another program's notification is none of ours.
  Emit(QStringLiteral("NotificationClosed"), QStringLiteral("uu"), {uint(9999), uint(2)});
  AwaitSignals(notifications, shown);
  notifications.CloseAll();
  QCOMPARE(NewCalls(), QStringList({QStringLiteral("CloseNotification %1").arg(shown)}));
  // Nothing is left to withdraw.
  notifications.CloseAll();
  QVERIFY(NewCalls().isEmpty());
}

void TestFreedesktopNotifications::theDefaultActionIsReportedPerId()
{
  TFreedesktopNotifications notifications(*FConnection);
  QList<unsigned> clicked;
  notifications.OnDefaultAction = [&clicked](unsigned AId) { clicked << AId; };
  const unsigned first = notifications.Notify(QStringLiteral("Corvale"), QStringLiteral("a"), {}, 0);
  const unsigned second = notifications.Notify(QStringLiteral("Corvale"), QStringLiteral("b"), {}, 0);

  // Another action, or another program's notification, is not a click on ours.
  Emit(QStringLiteral("ActionInvoked"), QStringLiteral("us"), {uint(first), QStringLiteral("other")});
  Emit(QStringLiteral("ActionInvoked"), QStringLiteral("us"), {uint(9999), QStringLiteral("default")});
  Emit(QStringLiteral("ActionInvoked"), QStringLiteral("us"), {uint(second), QStringLiteral("default")});
  QTRY_COMPARE(clicked, QList<unsigned>({second}));
  // The server closes a clicked notification; a late signal for it is no second click.
  Emit(QStringLiteral("NotificationClosed"), QStringLiteral("uu"), {uint(second), uint(2)});
  Emit(QStringLiteral("ActionInvoked"), QStringLiteral("us"), {uint(second), QStringLiteral("default")});
  Emit(QStringLiteral("ActionInvoked"), QStringLiteral("us"), {uint(first), QStringLiteral("default")});
  QTRY_COMPARE(clicked, QList<unsigned>({second, first}));
}

QTEST_GUILESS_MAIN(TestFreedesktopNotifications)
#include "tst_freedesktopnotifications.moc"
