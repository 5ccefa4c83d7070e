// SPDX-License-Identifier: GPL-3.0-or-later
// The real corvale-cli program against a temporary home: its listings, backups and registry files
// and the exit statuses scripts rely on.
#include "cli/TTerminalRun.h"
#include "platform/TRegistry.h"
#include "profiles/TBackupProfileManager.h"
#include "profiles/TRegFileTransfer.h"
#include "settings/TRegFile.h"
#include "settings/TestHome.h"
#include "sysinfo/DateTime.h"
#include "sysinfo/TClock.h"
#include "tests/cli/CliRun.h"
#include "tests/support/StoreSnapshot.h"

#include <QTest>

#include <csignal>

#include <sys/stat.h>

namespace {

const QString ProgramKey = QStringLiteral("\\Software\\Quenfield\\Orvel");

} // namespace

class TestCli : public QObject
{
  Q_OBJECT

private slots:
  void init();
  void usageErrorsExitThree();
  void listAndOverdue();
  void backupCompletesAndStampsLastBackup();
  void failedBackupExitsOne();
  void exportImportRoundTrip();
  void importAcceptsTheOtherEncodings();
  void refusedImportNamesTheLineAndChangesNothing();
  void terminalShowsProgressAndAsksBeforeCancelling();
  void yesCancelsAtOnce();
  void terminationStopsTheRunAndOneRunPerProfile();

private:
  // A ZIP profile of the source folder, saved in the store.
  void AddProfile(const QString& AName, const QString& AZipFile, bool AEnabled = true, TDateTime ALastBackup = 0);
  TDateTime StoredLastBackup(const QString& AName);
  // Enough incompressible data that a backup takes a few seconds.
  void MakeLargeSource();
  QString Path(const QString& AName) const { return FHome->Path(AName); }

  std::unique_ptr<TTestHome> FHome;
};

void TestCli::init()
{
  FHome = std::make_unique<TTestHome>();
  QVERIFY(FHome->IsValid());
  qputenv("LC_ALL", "C.UTF-8");
  // A tray program the user runs meanwhile is no concern of these runs.
  qputenv("XDG_RUNTIME_DIR", QFile::encodeName(Path(QStringLiteral("run"))));
  QVERIFY(QDir().mkpath(Path(QStringLiteral("source/sub"))));
  for (int i = 0; i < 5; ++i)
    QVERIFY(WriteFile(Path(QStringLiteral("source/sub/file%1.txt").arg(i)), QByteArray(2048, char('a' + i))));
}

void TestCli::AddProfile(const QString& AName, const QString& AZipFile, bool AEnabled, TDateTime ALastBackup)
{
  TBackupProfileManager manager;
  manager.SetRegistryKey(ProgramKey);
  TBackupProfile* profile = manager.NewProfile(AName);
  profile->SetZipType(zZip);
  profile->SetZipFile(AZipFile);
  profile->SetEnabled(AEnabled);
  profile->SetLastBackup(ALastBackup);
  profile->Files().Add(Path(QStringLiteral("source/")), QStringLiteral("*.*"), true);
  QVERIFY(profile->SaveProfile());
}

TDateTime TestCli::StoredLastBackup(const QString& AName)
{
  TRegistry registry;
  if (!registry.OpenKeyReadOnly(ProgramKey + QLatin1Char('\\') + AName))
    return -1;
  return registry.ReadDateTime(QStringLiteral("LastBackup"));
}

void TestCli::usageErrorsExitThree()
{
  const TCliResult help = RunCli({QStringLiteral("--help")});
  QCOMPARE(help.Status, 0);
  QVERIFY(help.Out.startsWith(QStringLiteral("Usage: corvale-cli")));

  AddProfile(QStringLiteral("Docs"), Path(QStringLiteral("docs.zip")));
  const QList<QStringList> wrong{
      {},
      {QStringLiteral("frobnicate")},
      {QStringLiteral("list"), QStringLiteral("extra")},
      {QStringLiteral("backup"), QStringLiteral("--then"), QStringLiteral("later")},
      {QStringLiteral("backup"), QStringLiteral("--then")},
      {QStringLiteral("backup"), QStringLiteral("--all-enabled"), QStringLiteral("Docs")},
      {QStringLiteral("backup"), QStringLiteral("Docs"), QStringLiteral("Docs")},
      {QStringLiteral("backup"), QStringLiteral("--bogus")},
      {QStringLiteral("backup"), QStringLiteral("Missing")},
      // Without a terminal nobody could stop the count-down.
      {QStringLiteral("backup"), QStringLiteral("Docs"), QStringLiteral("--then"), QStringLiteral("shutdown")},
      {QStringLiteral("export")},
      {QStringLiteral("import"), QStringLiteral("a.reg"), QStringLiteral("b.reg")},
  };
  for (const QStringList& arguments : wrong) {
    const TCliResult result = RunCli(arguments);
    QVERIFY2(result.Status == 3, qPrintable(arguments.join(QLatin1Char(' ')) + QStringLiteral(": ") + result.Error));
    QVERIFY(result.Error.startsWith(QStringLiteral("corvale-cli: ")));
  }
  // None of them ran a backup.
  QVERIFY(!QFile::exists(Path(QStringLiteral("docs.zip"))));
  QCOMPARE(StoredLastBackup(QStringLiteral("Docs")), 0.0);

  // A damaged store is a configuration error.
  QVERIFY(WriteFile(FHome->UserHive(), QByteArray(4096, 'x')));
  const TCliResult damaged = RunCli({QStringLiteral("list")});
  QCOMPARE(damaged.Status, 3);
  QVERIFY(damaged.Error.contains(QStringLiteral("cannot be used")));
}

void TestCli::listAndOverdue()
{
  const TDateTime now = DateTimeFromQDateTime(TClock::CurrentDateTime());
  AddProfile(QStringLiteral("Never done"), Path(QStringLiteral("a.zip")));
  AddProfile(QStringLiteral("Fresh"), Path(QStringLiteral("b.zip")), true, now);
  AddProfile(QStringLiteral("Switched off"), Path(QStringLiteral("c.zip")), false);

  const TCliResult list = RunCli({QStringLiteral("list")});
  QCOMPARE(list.Status, 0);
  const QStringList lines = list.Out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  QCOMPARE(lines.size(), 4);
  QVERIFY(lines.at(0).startsWith(QStringLiteral("Profile")));
  auto row = [&](const QString& AName) {
    for (const QString& line : lines) {
      if (line.startsWith(AName + QLatin1Char(' ')))
        return line.simplified();
    }
    return QString();
  };
  QCOMPARE(row(QStringLiteral("Never done")),
           QStringLiteral("Never done Yes ZIP Never Yes ") + Path(QStringLiteral("a.zip")));
  QVERIFY2(row(QStringLiteral("Fresh")).contains(QString::number(QDate::currentDate().year())),
           qPrintable(row(QStringLiteral("Fresh"))));
  QVERIFY(row(QStringLiteral("Fresh")).contains(QStringLiteral(" No ") + Path(QStringLiteral("b.zip"))));
  QVERIFY(row(QStringLiteral("Switched off")).startsWith(QStringLiteral("Switched off No ZIP Never No ")));

  // A disabled profile is never overdue; one never backed up always is.
  const TCliResult overdue = RunCli({QStringLiteral("overdue")});
  QCOMPARE(overdue.Status, 1);
  QCOMPARE(overdue.Out, QStringLiteral("Never done\n"));

  {
    TRegistry registry;
    QVERIFY(registry.DeleteKey(ProgramKey + QStringLiteral("\\Never done")));
  }
  const TCliResult none = RunCli({QStringLiteral("overdue")});
  QCOMPARE(none.Status, 0);
  QCOMPARE(none.Out, QString());
}

void TestCli::backupCompletesAndStampsLastBackup()
{
  AddProfile(QStringLiteral("Docs"), Path(QStringLiteral("docs.zip")));
  AddProfile(QStringLiteral("Off"), Path(QStringLiteral("off.zip")), false);
  const TDateTime before = DateTimeFromQDateTime(TClock::CurrentDateTime());

  // No profiles named: every enabled one, as the tray's backup does.
  const TCliResult result = RunCli({QStringLiteral("backup"), QStringLiteral("--then"), QStringLiteral("none")});
  QVERIFY2(result.Status == 0, qPrintable(result.Out + result.Error));
  const QStringList lines = result.Out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  QCOMPARE(lines.first(), QStringLiteral("Starting Backup..."));
  QVERIFY(lines.contains(QStringLiteral("Starting Backup: Docs")));
  QVERIFY(lines.contains(QStringLiteral("Backup Complete: Docs, Zip Files: ") + Path(QStringLiteral("docs.zip"))));
  QCOMPARE(lines.last(), QStringLiteral("Backup Complete."));
  QVERIFY(!result.Out.contains(QLatin1Char('\r'))); // no progress line without a terminal

  QVERIFY(QFile::exists(Path(QStringLiteral("docs.zip"))));
  QVERIFY(!QFile::exists(Path(QStringLiteral("off.zip"))));
  QVERIFY(StoredLastBackup(QStringLiteral("Docs")) >= before - 1.0 / 86400);
  QCOMPARE(StoredLastBackup(QStringLiteral("Off")), 0.0);
  // The run log where the tray program keeps it, named after the profile.
  QFile log(Path(QStringLiteral("home/data/Corvale/Logs/Docs.log")));
  QVERIFY(log.open(QIODevice::ReadOnly));
  QVERIFY(QString::fromUtf8(log.readAll()).contains(QStringLiteral("Added 5 files")));

  // A named profile runs even when disabled.
  const TCliResult named = RunCli({QStringLiteral("backup"), QStringLiteral("Off")});
  QCOMPARE(named.Status, 0);
  QVERIFY(QFile::exists(Path(QStringLiteral("off.zip"))));
}

void TestCli::failedBackupExitsOne()
{
  // The archive would go below a plain file: the engine cannot write it.
  QVERIFY(WriteFile(Path(QStringLiteral("plain")), "x"));
  AddProfile(QStringLiteral("Broken"), Path(QStringLiteral("plain/sub/broken.zip")));
  AddProfile(QStringLiteral("Good"), Path(QStringLiteral("good.zip")));
  const TCliResult result = RunCli({QStringLiteral("backup"), QStringLiteral("Broken"), QStringLiteral("Good")});
  QCOMPARE(result.Status, 1);
  QVERIFY(result.Out.contains(QStringLiteral("Backup Failed: Broken")));
  QVERIFY(result.Out.contains(QStringLiteral("Backup Complete: Good")));
  QCOMPARE(StoredLastBackup(QStringLiteral("Broken")), 0.0);
  QVERIFY(StoredLastBackup(QStringLiteral("Good")) > 0);
}

void TestCli::exportImportRoundTrip()
{
  AddProfile(QStringLiteral("Docs"), Path(QStringLiteral("docs.zip")), true, 45000.75);
  {
    TRegistry registry;
    QVERIFY(registry.OpenKey(ProgramKey + QStringLiteral("\\Docs"), true));
    registry.WriteString(QStringLiteral("Password"), QStringLiteral("pa\"ss\\word"));
    QVERIFY(registry.OpenKey(ProgramKey + QStringLiteral("\\Docs\\LogEmail"), true));
    registry.WriteString(QStringLiteral("Body"), QStringLiteral("Line 1\r\nLine 2"));
    QVERIFY(registry.OpenKey(ProgramKey, true));
    registry.WriteInteger(QStringLiteral("SMTPPort"), 2525);
  }
  const QString before = Snapshot();
  const QString fileName = Path(QStringLiteral("profiles.reg"));
  const TCliResult exported = RunCli({QStringLiteral("export"), fileName});
  QVERIFY2(exported.Status == 0, qPrintable(exported.Error));
  struct stat info
  {};
  QCOMPARE(::stat(QFile::encodeName(fileName).constData(), &info), 0);
  QCOMPARE(int(info.st_mode & 0777), 0600);
  QFile file(fileName);
  QVERIFY(file.open(QIODevice::ReadOnly));
  const QByteArray bytes = file.readAll();
  QVERIFY(bytes.startsWith(QByteArray("\xFF\xFEW\0i\0n\0", 8)));

  QVERIFY(TRegistry().DeleteKey(ProgramKey));
  const TCliResult imported = RunCli({QStringLiteral("import"), fileName});
  QVERIFY2(imported.Status == 0, qPrintable(imported.Error));
  QCOMPARE(Snapshot(), before);
  // The profile works as before.
  TBackupProfileManager manager;
  manager.SetRegistryKey(ProgramKey);
  manager.LoadProfiles();
  QVERIFY(manager.ProfileByName(QStringLiteral("Docs")));
  QCOMPARE(manager.ProfileByName(QStringLiteral("Docs"))->LastBackup(), 45000.75);
  QCOMPARE(manager.ProfileByName(QStringLiteral("Docs"))->Password(), QStringLiteral("pa\"ss\\word"));
}

void TestCli::importAcceptsTheOtherEncodings()
{
  const QString root = QStringLiteral("HKEY_CURRENT_USER\\Software\\Quenfield\\Orvel");
  const QString fileName = Path(QStringLiteral("in.reg"));
  // An old 8-bit file, as written by the oldest editors.
  QVERIFY(WriteFile(fileName, QStringLiteral("REGEDIT4\r\n\r\n[%1\\Old]\r\n\"ZipFile\"=\"caf\u00e9.zip\"\r\n"
                                             "\"LastBackup\"=hex:00,00,00,00,00,f9,e5,40\r\n")
                                  .arg(root)
                                  .toLatin1()));
  QCOMPARE(RunCli({QStringLiteral("import"), fileName}).Status, 0);
  // UTF-8, as a text editor saves it, with Unix line ends.
  QVERIFY(WriteFile(fileName, QStringLiteral("Windows Registry Editor Version 5.00\n\n[%1\\New]\n"
                                             "\"ZipFile\"=\"\u00fcber.zip\"\n\"AlertDays\"=dword:0000000e\n")
                                  .arg(root)
                                  .toUtf8()));
  QCOMPARE(RunCli({QStringLiteral("import"), fileName}).Status, 0);

  TRegistry registry;
  QVERIFY(registry.OpenKeyReadOnly(ProgramKey + QStringLiteral("\\Old")));
  QCOMPARE(registry.ReadString(QStringLiteral("ZipFile")), QStringLiteral("caf\u00e9.zip"));
  QCOMPARE(registry.ReadDateTime(QStringLiteral("LastBackup")), 45000.0);
  QVERIFY(registry.OpenKeyReadOnly(ProgramKey + QStringLiteral("\\New")));
  QCOMPARE(registry.ReadString(QStringLiteral("ZipFile")), QStringLiteral("\u00fcber.zip"));
  QCOMPARE(registry.ReadInteger(QStringLiteral("AlertDays")), 14);
}

void TestCli::refusedImportNamesTheLineAndChangesNothing()
{
  AddProfile(QStringLiteral("Docs"), Path(QStringLiteral("docs.zip")));
  const QString before = Snapshot();
  const QString fileName = Path(QStringLiteral("bad.reg"));
  QVERIFY(WriteFile(fileName, QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n"
                                             "[HKEY_CURRENT_USER\\Software\\Quenfield\\Orvel\\Docs]\r\n"
                                             "\"ZipFile\"=\"changed.zip\"\r\n"
                                             "\"AlertDays\"=\"seven\"\r\n")
                                  .toUtf8()));
  const TCliResult wrongKind = RunCli({QStringLiteral("import"), QStringLiteral("--replace"), fileName});
  QCOMPARE(wrongKind.Status, 3);
  QVERIFY2(wrongKind.Error.contains(QStringLiteral("Line 5: the value \"AlertDays\" must be a dword")),
           qPrintable(wrongKind.Error));
  QCOMPARE(Snapshot(), before);

  QVERIFY(WriteFile(fileName, "just some text\n"));
  const TCliResult notReg = RunCli({QStringLiteral("import"), fileName});
  QCOMPARE(notReg.Status, 3);
  QVERIFY(notReg.Error.contains(QStringLiteral("Line 1: not a registry file")));
  QCOMPARE(Snapshot(), before);
}

void TestCli::MakeLargeSource()
{
  QFile random(QStringLiteral("/dev/urandom"));
  QVERIFY(random.open(QIODevice::ReadOnly));
  for (int i = 0; i < 40; ++i)
    QVERIFY(WriteFile(Path(QStringLiteral("source/large%1.bin").arg(i)), random.read(2 * 1024 * 1024)));
}

void TestCli::terminalShowsProgressAndAsksBeforeCancelling()
{
  MakeLargeSource();
  AddProfile(QStringLiteral("Large"), Path(QStringLiteral("large.zip")));
  {
    // Declined: the backup goes on and completes.
    TTerminalRun run({QStringLiteral("backup"), QStringLiteral("Large")});
    QVERIFY(run.IsValid());
    QVERIFY2(run.WaitFor(QStringLiteral("Large: ")), qPrintable(run.Output()));
    run.Type("\x03");
    QVERIFY2(run.WaitFor(QStringLiteral("Are you sure you want to cancel the current backup? (y/N)")),
             qPrintable(run.Output()));
    run.Type("n\r");
    QCOMPARE(run.Finish(), 0);
    QVERIFY(run.Output().contains(QStringLiteral("Backup Complete: Large")));
    // The live line: profile, percentage and the time texts, redrawn in place.
    QVERIFY(run.Output().contains(QStringLiteral("\r\033[KLarge: ")));
    QVERIFY(run.Output().contains(QStringLiteral("Elapsed: ")));
  }
  {
    // Confirmed with a second Ctrl-C while the question waits.
    TTerminalRun run({QStringLiteral("backup"), QStringLiteral("Large")});
    QVERIFY(run.WaitFor(QStringLiteral("Large: ")));
    run.Type("\x03");
    QVERIFY(run.WaitFor(QStringLiteral("(y/N)")));
    run.Type("\x03");
    QVERIFY2(run.Finish() == 2, qPrintable(run.Output()));
    QVERIFY2(run.Output().contains(QStringLiteral("Backup Cancelled: Large")), qPrintable(run.Output()));
  }
}

void TestCli::yesCancelsAtOnce()
{
  MakeLargeSource();
  AddProfile(QStringLiteral("Large"), Path(QStringLiteral("large.zip")));
  AddProfile(QStringLiteral("Next"), Path(QStringLiteral("next.zip")));
  const TDateTime before = StoredLastBackup(QStringLiteral("Large"));
  TTerminalRun run({QStringLiteral("backup"), QStringLiteral("--yes"), QStringLiteral("--then"),
                    QStringLiteral("shutdown"), QStringLiteral("Large"), QStringLiteral("Next")});
  QVERIFY(run.WaitFor(QStringLiteral("Large: ")));
  run.Type("\x03");
  // No question, the rest of the queue is not run and the session is not ended.
  QCOMPARE(run.Finish(), 2);
  QVERIFY(!run.Output().contains(QStringLiteral("(y/N)")));
  QVERIFY(run.Output().contains(QStringLiteral("Backup Cancelled: Large")));
  QVERIFY(!run.Output().contains(QStringLiteral("Starting Backup: Next")));
  QVERIFY(run.Output().contains(QStringLiteral("the session is left as it is")));
  QCOMPARE(StoredLastBackup(QStringLiteral("Large")), before);
}

void TestCli::terminationStopsTheRunAndOneRunPerProfile()
{
  // The previous archive, from a small source.
  AddProfile(QStringLiteral("Large"), Path(QStringLiteral("large.zip")));
  QCOMPARE(RunCli({QStringLiteral("backup"), QStringLiteral("Large")}).Status, 0);
  QFile archive(Path(QStringLiteral("large.zip")));
  QVERIFY(archive.open(QIODevice::ReadOnly));
  const QByteArray previous = archive.readAll();
  archive.close();
  MakeLargeSource();
  // What a run killed with SIGKILL left beside the archive.
  const QString stale = Path(QStringLiteral(".large.zip.Ab12Cd.tmp"));
  QVERIFY(WriteFile(stale, "half written"));
  const auto temporaries = [this] {
    return QDir(Path(QString())).entryList({QStringLiteral("*.tmp")}, QDir::Files | QDir::Hidden);
  };

  QProcess first;
  first.start(QStringLiteral(CORVALE_CLI), {QStringLiteral("backup"), QStringLiteral("Large")});
  first.closeWriteChannel();
  QVERIFY(first.waitForStarted());
  // Writing has begun once the run's own temporary file is there; the stale one is gone by then.
  QTRY_VERIFY_WITH_TIMEOUT(!temporaries().isEmpty() && !QFile::exists(stale), 60000);

  // A second run of the profile, here from a second process, is refused while the first writes.
  const TCliResult second = RunCli({QStringLiteral("backup"), QStringLiteral("Large")});
  QCOMPARE(second.Status, 1);
  QVERIFY2(second.Out.contains(QStringLiteral("Backup already active.")), qPrintable(second.Out));

  // SIGTERM cancels the run: the writer removes its temporary file, the previous archive stays,
  // and the program exits with the status of a cancelled run.
  QVERIFY(first.state() == QProcess::Running);
  QVERIFY(::kill(pid_t(first.processId()), SIGTERM) == 0);
  QVERIFY(first.waitForFinished(60000));
  const QString output = QString::fromUtf8(first.readAllStandardOutput());
  QCOMPARE(first.exitStatus(), QProcess::NormalExit);
  QVERIFY2(first.exitCode() == 2, qPrintable(output));
  QVERIFY2(output.contains(QStringLiteral("Backup Cancelled: Large")), qPrintable(output));
  QCOMPARE(temporaries(), QStringList());
  QVERIFY(archive.open(QIODevice::ReadOnly));
  QVERIFY(archive.readAll() == previous);
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
