// SPDX-License-Identifier: GPL-3.0-or-later
// corvale-cli while the tray program runs: what the terminal stores must survive the tray
// program's exit, which writes back the options and profiles it holds.
#include "platform/TRegistry.h"
#include "platform/TSingleInstance.h"
#include "profiles/TBackupProfileManager.h"
#include "settings/TestHome.h"
#include "sysinfo/DateTime.h"
#include "sysinfo/TClock.h"
#include "tests/cli/CliRun.h"
#include "tests/support/StoreSnapshot.h"

#include <QLockFile>
#include <QProcess>
#include <QTest>

namespace {

const QString ProgramKey = QStringLiteral("\\Software\\Quenfield\\Orvel");

} // namespace

class TestCliTray : public QObject
{
  Q_OBJECT

private slots:
  void init();
  void cleanup();
  void backupStampSurvivesTheTrayExit();
  void importSurvivesTheTrayExit();
  void silentInstanceIsReported();

private:
  void AddProfile(const QString& AName, TDateTime ALastBackup);
  TDateTime StoredLastBackup(const QString& AName);
  // Starts the tray program and waits until it has read the store.
  void StartTray();
  // Tells it to exit, as a later start with the exit command does, and waits for the end.
  void StopTray();
  QStringList LogLines() const;
  QString Path(const QString& AName) const { return FHome->Path(AName); }
  QString InstanceFolder() const { return Path(QStringLiteral("run/Corvale")); }

  std::unique_ptr<TTestHome> FHome;
  std::unique_ptr<QProcess> FTray;
};

void TestCliTray::init()
{
  FHome = std::make_unique<TTestHome>();
  QVERIFY(FHome->IsValid());
  QVERIFY(QDir().mkdir(Path(QStringLiteral("run")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
  qputenv("XDG_RUNTIME_DIR", QFile::encodeName(Path(QStringLiteral("run"))));
  qputenv("HOME", QFile::encodeName(Path(QStringLiteral("home"))));
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qputenv("LC_ALL", "C.UTF-8");
  // Nothing here may reach a real bus.
  qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent");
  qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");
  QVERIFY(QDir().mkpath(Path(QStringLiteral("source"))));
  for (int i = 0; i < 3; ++i)
    QVERIFY(WriteFile(Path(QStringLiteral("source/file%1.txt").arg(i)), QByteArray(1024, char('a' + i))));
}

void TestCliTray::cleanup()
{
  if (FTray && FTray->state() != QProcess::NotRunning) {
    FTray->kill();
    FTray->waitForFinished(5000);
  }
  FTray.reset();
}

void TestCliTray::AddProfile(const QString& AName, TDateTime ALastBackup)
{
  TBackupProfileManager manager;
  manager.SetRegistryKey(ProgramKey);
  TBackupProfile* profile = manager.NewProfile(AName);
  profile->SetZipType(zZip);
  profile->SetZipFile(Path(AName + QStringLiteral(".zip")));
  profile->SetLastBackup(ALastBackup);
  profile->SetDescription(QStringLiteral("as first stored"));
  profile->Files().Add(Path(QStringLiteral("source/")), QStringLiteral("*.*"), true);
  QVERIFY(profile->SaveProfile());
}

TDateTime TestCliTray::StoredLastBackup(const QString& AName)
{
  TRegistry registry;
  if (!registry.OpenKeyReadOnly(ProgramKey + QLatin1Char('\\') + AName))
    return -1;
  return registry.ReadDateTime(QStringLiteral("LastBackup"));
}

QStringList TestCliTray::LogLines() const
{
  const QDir folder(Path(QStringLiteral("home/data/Corvale/Logs")));
  QStringList lines;
  for (const QString& name : folder.entryList({QStringLiteral("????????????.log")}, QDir::Files)) {
    QFile file(folder.filePath(name));
    if (file.open(QIODevice::ReadOnly))
      lines << QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
  }
  return lines;
}

void TestCliTray::StartTray()
{
  FTray = std::make_unique<QProcess>();
  FTray->setProcessChannelMode(QProcess::ForwardedErrorChannel);
  FTray->start(QStringLiteral(CORVALE_BINARY), {QStringLiteral("/HIDE")});
  QVERIFY(FTray->waitForStarted());
  QTRY_VERIFY_WITH_TIMEOUT(
      LogLines().join(QLatin1Char('\n')).contains(QStringLiteral("Loading Backup Profile Manager...")), 10000);
  // Commands are handled after the start-up, which is reading the profiles now: once one is
  // answered, the program holds its copy.
  TSingleInstance sender(InstanceFolder());
  QVERIFY(sender.Send(TInstanceCommand::Hide));
}

void TestCliTray::StopTray()
{
  TSingleInstance sender(InstanceFolder());
  (void)sender.Send(TInstanceCommand::Exit);
  QVERIFY(FTray->waitForFinished(15000));
  QCOMPARE(FTray->exitStatus(), QProcess::NormalExit);
  QCOMPARE(FTray->exitCode(), 0);
}

void TestCliTray::backupStampSurvivesTheTrayExit()
{
  AddProfile(QStringLiteral("Docs"), 45000.5);
  StartTray();

  const TDateTime before = DateTimeFromQDateTime(TClock::CurrentDateTime());
  const TCliResult result = RunCli({QStringLiteral("backup"), QStringLiteral("Docs")});
  QVERIFY2(result.Status == 0, qPrintable(result.Out + result.Error));
  QVERIFY2(!result.Error.contains(QStringLiteral("Corvale is running")), qPrintable(result.Error));
  const TDateTime stamp = StoredLastBackup(QStringLiteral("Docs"));
  QVERIFY(stamp >= before - 1.0 / 86400);
  QTRY_VERIFY_WITH_TIMEOUT(
      LogLines().join(QLatin1Char('\n')).contains(QStringLiteral("Reloading settings and backup profiles...")), 10000);

  StopTray();
  QCOMPARE(StoredLastBackup(QStringLiteral("Docs")), stamp);
}

void TestCliTray::importSurvivesTheTrayExit()
{
  AddProfile(QStringLiteral("Docs"), 0);
  StartTray();

  const QString fileName = Path(QStringLiteral("changes.reg"));
  QVERIFY(WriteFile(fileName, QStringLiteral("Windows Registry Editor Version 5.00\n\n"
                                             "[HKEY_CURRENT_USER\\Software\\Quenfield\\Orvel]\n"
                                             "\"SMTPPort\"=dword:00000a28\n\n"
                                             "[HKEY_CURRENT_USER\\Software\\Quenfield\\Orvel\\Docs]\n"
                                             "\"Description\"=\"imported\"\n")
                                  .toUtf8()));
  const TCliResult result = RunCli({QStringLiteral("import"), fileName});
  QVERIFY2(result.Status == 0, qPrintable(result.Error));
  QVERIFY2(result.Error.isEmpty(), qPrintable(result.Error));

  StopTray();
  TRegistry registry;
  QVERIFY(registry.OpenKeyReadOnly(ProgramKey));
  QCOMPARE(registry.ReadInteger(QStringLiteral("SMTPPort")), 2600);
  QVERIFY(registry.OpenKeyReadOnly(ProgramKey + QStringLiteral("\\Docs")));
  QCOMPARE(registry.ReadString(QStringLiteral("Description")), QStringLiteral("imported"));
}

void TestCliTray::silentInstanceIsReported()
{
  // An instance holds the lock but does not answer (this test process): the import is stored and
  // the user is told that the running program will write over it.
  QVERIFY(QDir().mkdir(InstanceFolder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
  QLockFile lock(InstanceFolder() + QStringLiteral("/instance.lock"));
  QVERIFY(lock.tryLock(0));
  const QString fileName = Path(QStringLiteral("changes.reg"));
  QVERIFY(WriteFile(fileName, QStringLiteral("Windows Registry Editor Version 5.00\n\n"
                                             "[HKEY_CURRENT_USER\\Software\\Quenfield\\Orvel]\n"
                                             "\"SMTPPort\"=dword:00000a28\n")
                                  .toUtf8()));
  const TCliResult result = RunCli({QStringLiteral("import"), fileName});
  QCOMPARE(result.Status, 0);
  QVERIFY2(result.Error.contains(QStringLiteral("corvale-cli: Corvale is running but did not answer; when it closes")),
           qPrintable(result.Error));
  TRegistry registry;
  QVERIFY(registry.OpenKeyReadOnly(ProgramKey));
  QCOMPARE(registry.ReadInteger(QStringLiteral("SMTPPort")), 2600);
}

QTEST_GUILESS_MAIN(TestCliTray)
#include "tst_clitray.moc"
