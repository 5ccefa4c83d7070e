// SPDX-License-Identifier: GPL-3.0-or-later
// Programs' windows on KWin: a python3-dbusmock stand-in for KWin's scripting interface on a
// private session bus keeps a table of windows and runs the program's window script under node
// against a workspace shaped like KWin 5's, carrying out its close and its answer over D-Bus.
#include "platform/linux/TKWinProgramWindows.h"
#include "tests/support/StopProcess.h"
#include "tests/support/TPrivateBus.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QThread>

#include <optional>

#include <unistd.h>

namespace {

const QString ConnectionName = QStringLiteral("kwin-windows-test");

QJsonObject Window(const QString& AId, const QString& ATitle, const QString& AClass, qint64 APid,
                   const QString& AOwner = {})
{
  return {{QStringLiteral("id"), AId},           {QStringLiteral("title"), ATitle},
          {QStringLiteral("className"), AClass}, {QStringLiteral("pid"), APid},
          {QStringLiteral("owner"), AOwner},     {QStringLiteral("dialog"), !AOwner.isEmpty()}};
}

const TProgramWindow* Find(const QList<TProgramWindow>& AWindows, const QString& ATitle)
{
  for (const TProgramWindow& window : AWindows)
    if (window.Title == ATitle)
      return &window;
  return nullptr;
}

} // namespace

class TestKWinWindows : public QObject
{
  Q_OBJECT

private slots:
  void initTestCase();
  void cleanupTestCase();
  void listsClosesAndEndsThroughKWinsScripts();

private:
  TPrivateBus FBus;
  QProcess FKWin;
  QProcess FEditor;
  std::optional<QDBusConnection> FConnection;
};

void TestKWinWindows::initTestCase()
{
  if (QProcess::execute(QStringLiteral("/usr/bin/python3"),
                        {QStringLiteral("-c"), QStringLiteral("import dbusmock")}) != 0)
    QSKIP("python3-dbusmock is not installed");
  if (const QString missing = TPrivateBus::MissingDaemon(); !missing.isEmpty())
    QSKIP(qPrintable(missing));
  // The stand-in runs the program's script with node, as KWin runs it with its own engine.
  if (QStandardPaths::findExecutable(QStringLiteral("node")).isEmpty())
    QSKIP("node is not installed (Debian package nodejs)");
  QString error;
  QVERIFY2(FBus.Start(error), qPrintable(error));
  FConnection = QDBusConnection::connectToBus(FBus.Address(), ConnectionName);
  QVERIFY(FConnection->isConnected());
  QVERIFY(!TKWinProgramWindows::Runs(*FConnection));

  // A program of this user's that a window belongs to, to be ended.
  FEditor.start(QStringLiteral("/bin/sleep"), {QStringLiteral("60")});
  QVERIFY(FEditor.waitForStarted());
  const QJsonArray windows{
      Window(QStringLiteral("{0001}"), QStringLiteral("Notes"), QStringLiteral("org.example.Notes"), 4242),
      Window(QStringLiteral("{0002}"), QStringLiteral("Notes Settings"), QStringLiteral("org.example.Notes"), 4242,
             QStringLiteral("{0001}")),
      Window(QStringLiteral("{0003}"), QStringLiteral("Corvale"), QStringLiteral("corvale"), ::getpid()),
      Window(QStringLiteral("{0004}"), QStringLiteral("Editor"), QStringLiteral("editor"), FEditor.processId())};
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), FBus.Address());
  FKWin.setProcessEnvironment(environment);
  FKWin.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  FKWin.start(QStringLiteral("/usr/bin/python3"),
              {QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--template"),
               QStringLiteral(CORVALE_TEST_SUPPORT_DIR "/kwin_scripting.py"), QStringLiteral("-p"),
               QString::fromUtf8(
                   QJsonDocument(QJsonObject{{QStringLiteral("windows"), windows}}).toJson(QJsonDocument::Compact))});
  QVERIFY2(FKWin.waitForStarted(), qPrintable(FKWin.errorString()));
  const QDeadlineTimer deadline(15000);
  while (!TKWinProgramWindows::Runs(*FConnection)) {
    QVERIFY2(!deadline.hasExpired() && FKWin.state() == QProcess::Running, "KWin's stand-in did not appear");
    QThread::msleep(50);
  }
}

void TestKWinWindows::cleanupTestCase()
{
  if (FConnection) {
    FConnection.reset();
    QDBusConnection::disconnectFromBus(ConnectionName);
  }
  StopProcess(FKWin);
  StopProcess(FEditor);
  FBus.Stop();
}

void TestKWinWindows::listsClosesAndEndsThroughKWinsScripts()
{
  TKWinProgramWindows windows(*FConnection);
  TWindowId notes = 0;
  {
    // Title, class, and the dialog's owner; never this program's own window.
    const QList<TProgramWindow> list = windows.Windows();
    QCOMPARE(list.size(), 3);
    const TProgramWindow* main = Find(list, QStringLiteral("Notes"));
    const TProgramWindow* dialog = Find(list, QStringLiteral("Notes Settings"));
    QVERIFY(main && dialog && Find(list, QStringLiteral("Editor")));
    QCOMPARE(main->ClassName, QStringLiteral("org.example.Notes"));
    QVERIFY(main->Visible);
    QCOMPARE(main->Owner, TWindowId(0));
    QCOMPARE(dialog->Owner, main->Id);
    QVERIFY(!Find(list, QStringLiteral("Corvale")));
    notes = main->Id;
    // The same window keeps its id from one look to the next.
    QCOMPARE(windows.FindProgramWindow(QStringLiteral("Notes"), QString()), notes);
  }
  {
    // Closed as its close box would: KWin is asked to close the window named.
    QVERIFY(windows.CloseProgramWindow(notes));
    const QDBusReply<QStringList> closed = FConnection->call(
        QDBusMessage::createMethodCall(TKWinProgramWindows::Service, QStringLiteral("/Scripting"),
                                       QStringLiteral("org.kde.kwin.Scripting"), QStringLiteral("ClosedWindows")));
    QCOMPARE(closed.value(), QStringList({QStringLiteral("{0001}")}));
    QCOMPARE(windows.FindProgramWindow(QStringLiteral("Notes"), QString()), TWindowId(0));
    QVERIFY(!windows.CloseProgramWindow(9999));
  }
  {
    // Ended: the window's process, this user's.
    const TWindowId editor = windows.FindProgramWindow(QString(), QStringLiteral("editor"));
    QVERIFY(editor != 0);
    QVERIFY(windows.TerminateProgramWindow(editor));
    QVERIFY(FEditor.waitForFinished(10000));
    QCOMPARE(FEditor.exitStatus(), QProcess::CrashExit);
    // A window whose process is not this user's (4242 here, a stand-in id) is not ended.
    QVERIFY(!windows.TerminateProgramWindow(windows.FindProgramWindow(QStringLiteral("Notes Settings"), QString())));
  }
}

QTEST_GUILESS_MAIN(TestKWinWindows)
#include "tst_kwinwindows.moc"
