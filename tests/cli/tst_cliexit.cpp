// SPDX-License-Identifier: GPL-3.0-or-later
// The exit action of corvale-cli over the real D-Bus path: a private dbus-daemon with
// python3-dbusmock's logind template stands in for the system bus, and its call log shows what
// the program asked for.
#include "cli/TTerminalRun.h"
#include "profiles/TBackupProfileManager.h"
#include "settings/TApplicationOptions.h"
#include "settings/TProgramSettings.h"
#include "settings/TestHome.h"
#include "tests/support/TLogindMock.h"

#include <QProcess>
#include <QTest>

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
  void exitOnlyAfterSuccess();

private:
  // The privilege questions and exit calls logged by the mock since the last look.
  QStringList NewCalls();
  void SetManagerMethod(const QString& AName, const QString& AInSignature, const QString& AOutSignature,
                        const QString& ACode)
  {
    QString error;
    QVERIFY2(FLogind.SetManagerMethod(AName, AInSignature, AOutSignature, ACode, &error), qPrintable(error));
  }
  int RunWithoutTerminal(const QStringList& AArguments, QString& AError);

  TLogindMock FLogind;
  std::unique_ptr<TTestHome> FHome;
};

void TestCliExit::initTestCase()
{
  if (const QString missing = TLogindMock::MissingPeers(); !missing.isEmpty())
    QSKIP(qPrintable(missing));
  QString error;
  QVERIFY2(FLogind.Start(error), qPrintable(error));
  // corvale-cli, started from here, finds logind on the private bus.
  qputenv("DBUS_SYSTEM_BUS_ADDRESS", FLogind.Address().toUtf8());
  qputenv("DBUS_SESSION_BUS_ADDRESS", FLogind.Address().toUtf8());
}

void TestCliExit::cleanupTestCase()
{
  FLogind.Stop();
}

void TestCliExit::init()
{
  QVERIFY(FLogind.Reset());

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

QStringList TestCliExit::NewCalls()
{
  QStringList calls;
  for (const QString& call : FLogind.NewCalls())
    if (call.startsWith(QStringLiteral("CanPowerOff")) || call.startsWith(QStringLiteral("CanReboot")) ||
        call.startsWith(QStringLiteral("PowerOff")) || call.startsWith(QStringLiteral("Reboot")))
      calls << call;
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

void TestCliExit::exitOnlyAfterSuccess()
{
  // Nothing to back up: the run fails.
  QVERIFY(QFile::remove(FHome->Path(QStringLiteral("source/file.txt"))));
  int status = -1;
  const auto run = [&status](const QString& AThen) {
    QProcess process;
    process.start(QStringLiteral(CORVALE_CLI),
                  {QStringLiteral("backup"), QStringLiteral("--yes"), AThen, QStringLiteral("shutdown")});
    process.closeWriteChannel();
    status = process.waitForFinished(60000) ? process.exitCode() : -1;
    return QString::fromUtf8(process.readAllStandardOutput());
  };
  const QString held = QStringLiteral("The backup failed, so the session was left as it is");
  {
    const QString out = run(QStringLiteral("--then-if-ok"));
    QCOMPARE(status, 1);
    QVERIFY2(out.contains(held), qPrintable(out));
    QCOMPARE(NewCalls(), QStringList());
  }
  {
    // Without it the session ends after a failed run, as it always did.
    run(QStringLiteral("--then"));
    QCOMPARE(status, 1);
    QCOMPARE(NewCalls(), (QStringList{QStringLiteral("CanPowerOff"), QStringLiteral("PowerOff False")}));
  }
  {
    // The stored option holds it back for --then as well.
    TProgramSettings settings;
    TApplicationOptions::ConfigureStore(settings);
    TApplicationOptions options(&settings);
    options.RegisterOptions();
    settings.LoadDefaults();
    settings.LoadSettings();
    TApplicationOptions::Set(settings, TOptionId::ExitOnlyAfterSuccess, true);
    TApplicationOptions::Save(settings, TOptionId::ExitOnlyAfterSuccess);
    const QString out = run(QStringLiteral("--then"));
    QCOMPARE(status, 1);
    QVERIFY2(out.contains(held), qPrintable(out));
    QCOMPARE(NewCalls(), QStringList());
  }
  {
    // A run that succeeds ends the session.
    QFile file(FHome->Path(QStringLiteral("source/file.txt")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("content");
    file.close();
    run(QStringLiteral("--then-if-ok"));
    QCOMPARE(status, 0);
    QCOMPARE(NewCalls(), (QStringList{QStringLiteral("CanPowerOff"), QStringLiteral("PowerOff False")}));
  }
}

QTEST_GUILESS_MAIN(TestCliExit)
#include "tst_cliexit.moc"
