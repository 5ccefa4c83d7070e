// SPDX-License-Identifier: GPL-3.0-or-later
// corvale-cli closes or ends the programs a profile lists before backing it up, on a private X
// server with real X clients.
#include "platform/TProgramWindows.h"
#include "profiles/TBackupProfileManager.h"
#include "settings/TestHome.h"
#include "tests/cli/CliRun.h"
#include "tests/support/DropRoot.h"
#include "tests/support/TXServer.h"

#include <QTest>

class TestCliPrograms : public QObject
{
  Q_OBJECT

private slots:
  void initTestCase();
  void init();
  void listedProgramsCloseBeforeTheBackup();
  void programsThatIgnoreTheCloseAreEnded();
  void programsNotRunningAreNotMentioned();

private:
  void AddProfile(const QString& AName, const QStringList& APrograms, bool ACloseGracefully);
  QString Path(const QString& AName) const { return FHome->Path(AName); }

  TXServer FServer;
  std::unique_ptr<TTestHome> FHome;
};

void TestCliPrograms::initTestCase()
{
  QVERIFY(DropRootForGood());
  if (!FServer.Start(false)) {
    if (FServer.Error.contains(QStringLiteral("not installed")))
      QSKIP(qPrintable(FServer.Error));
    QFAIL(qPrintable(FServer.Error));
  }
}

void TestCliPrograms::init()
{
  FHome = std::make_unique<TTestHome>();
  QVERIFY(FHome->IsValid());
  qputenv("LC_ALL", "C.UTF-8");
  qputenv("XDG_RUNTIME_DIR", QFile::encodeName(Path(QStringLiteral("run"))));
  QVERIFY(QDir().mkpath(Path(QStringLiteral("source"))));
  QFile file(Path(QStringLiteral("source/file.txt")));
  QVERIFY(file.open(QIODevice::WriteOnly) && file.write("data") == 4);
}

void TestCliPrograms::AddProfile(const QString& AName, const QStringList& APrograms, bool ACloseGracefully)
{
  TBackupProfileManager manager;
  manager.SetRegistryKey(QStringLiteral("\\Software\\Quenfield\\Orvel"));
  TBackupProfile* profile = manager.NewProfile(AName);
  profile->SetZipType(zZip);
  profile->SetZipFile(Path(AName + QStringLiteral(".zip")));
  profile->Files().Add(Path(QStringLiteral("source/")), QStringLiteral("*.*"), true);
  profile->ActivePrograms() = APrograms;
  profile->SetCloseGracefully(ACloseGracefully);
  QVERIFY(profile->SaveProfile());
}

void TestCliPrograms::listedProgramsCloseBeforeTheBackup()
{
  QProcess* logo = FServer.StartClient(QStringLiteral("xlogo"));
  QProcess* eyes = FServer.StartClient(QStringLiteral("xeyes"));
  auto windows = CreateProgramWindows();
  QTRY_VERIFY_WITH_TIMEOUT(windows->FindProgramWindow(QString(), QStringLiteral("XLogo")) != 0, 30000);
  QTRY_VERIFY_WITH_TIMEOUT(windows->FindProgramWindow(QString(), QStringLiteral("XEyes")) != 0, 30000);
  AddProfile(QStringLiteral("Docs"), {QStringLiteral("xlogo=XLogo"), QStringLiteral("Eyes=XEyes")}, true);

  const TCliResult result = RunCli({QStringLiteral("backup"), QStringLiteral("Docs")});
  QVERIFY2(result.Status == 0, qPrintable(result.Out + result.Error));
  const QStringList lines = result.Out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  const qsizetype closing = lines.indexOf(QStringLiteral("xlogo (XLogo): Closing..."));
  QVERIFY2(closing >= 0, qPrintable(result.Out));
  QVERIFY(lines.contains(QStringLiteral("Eyes (XEyes): Closing...")));
  QVERIFY(closing < lines.indexOf(QStringLiteral("Starting Backup: Docs")));
  QVERIFY(lines.contains(QStringLiteral("Backup Complete: Docs, Zip Files: ") + Path(QStringLiteral("Docs.zip"))));
  for (QProcess* process : {logo, eyes}) {
    QVERIFY(TXServer::WaitEnded(process));
    QCOMPARE(process->exitStatus(), QProcess::NormalExit);
  }
}

void TestCliPrograms::programsThatIgnoreTheCloseAreEnded()
{
  QProcess* ledger = FServer.StartStubborn({QStringLiteral("Ledger"), QStringLiteral("Stubborn")});
  AddProfile(QStringLiteral("Books"), {QStringLiteral("Ledger=")}, false);
  const TCliResult result = RunCli({QStringLiteral("backup"), QStringLiteral("Books")});
  QVERIFY2(result.Status == 0, qPrintable(result.Out + result.Error));
  QVERIFY2(result.Out.contains(QStringLiteral("Ledger (): Terminating...\n")), qPrintable(result.Out));
  QVERIFY(result.Out.contains(QStringLiteral("Backup Complete: Books")));
  QVERIFY(TXServer::WaitEnded(ledger));
  QCOMPARE(ledger->exitStatus(), QProcess::CrashExit);
}

void TestCliPrograms::programsNotRunningAreNotMentioned()
{
  AddProfile(QStringLiteral("Quiet"), {QStringLiteral("Nothing=NoSuchClass")}, true);
  const TCliResult result = RunCli({QStringLiteral("backup"), QStringLiteral("Quiet")});
  QCOMPARE(result.Status, 0);
  QVERIFY(!result.Out.contains(QStringLiteral("Closing...")));
  QVERIFY(result.Error.isEmpty());
  QVERIFY(result.Out.contains(QStringLiteral("Backup Complete: Quiet")));

  // Without an X server the run goes on and says so once.
  AddProfile(QStringLiteral("Calm"), {QStringLiteral("xlogo=XLogo")}, false);
  const QByteArray display = qgetenv("DISPLAY");
  qunsetenv("DISPLAY");
  const TCliResult bare = RunCli({QStringLiteral("backup"), QStringLiteral("Quiet"), QStringLiteral("Calm")});
  qputenv("DISPLAY", display);
  QVERIFY2(bare.Status == 0, qPrintable(bare.Out + bare.Error));
  QCOMPARE(bare.Error.count(QStringLiteral("No X server")), 1);
}

QTEST_GUILESS_MAIN(TestCliPrograms)
#include "tst_cliprograms.moc"
