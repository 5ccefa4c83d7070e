// SPDX-License-Identifier: GPL-3.0-or-later
// The "ntbackup" archive type against a stand-in program on PATH that records its arguments and
// selection file, and the system state collected into a ZIP archive.
#include "EngineTestSupport.h"
#include "engine/TNTBackup.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

#include <sys/stat.h>

using namespace EngineTest;

namespace {

// Writes an executable shell script.
bool WriteScript(const QString& APath, const QByteArray& ABody)
{
  QFile file(APath);
  if (!file.open(QIODevice::WriteOnly))
    return false;
  file.write("#!/bin/sh\n" + ABody);
  file.close();
  return file.setPermissions(file.permissions() | QFile::ExeOwner);
}

QString ReadText(const QString& APath)
{
  QFile file(APath);
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

class TestNTBackup : public QObject
{
  Q_OBJECT

private slots:
  void init();
  void cleanup();
  void runsWithItsSelectionFile();
  void failureOfTheProgramFailsTheRun();
  void selectionFileThatCannotBeWrittenRaises();
  void zipRunHoldsTheSystemState();

private:
  QString Path(const QString& AName) const { return FDir->filePath(AName); }
  std::unique_ptr<QTemporaryDir> FDir;
  QByteArray FPath;
};

void TestNTBackup::init()
{
  FDir = std::make_unique<QTemporaryDir>();
  QVERIFY(FDir->isValid());
  for (const char* folder : {"bin", "temp", "data", "out"})
    QVERIFY(QDir().mkpath(Path(QLatin1String(folder))));
  QVERIFY(WriteBytes(QFile::encodeName(Path(QStringLiteral("data/report.doc"))), "report"));
  QVERIFY(WriteBytes(QFile::encodeName(Path(QStringLiteral("data/secret.txt"))), "secret"));
  // Records its arguments, one per line, and the selection file named by "@path".
  QVERIFY(WriteScript(Path(QStringLiteral("bin/ntbackup")),
                      "printf '%s\\n' \"$@\" > \"$RECORD/args\"\n"
                      "case \"$2\" in @*) cp \"${2#@}\" \"$RECORD/selection\"\n"
                      "  f=\"${2#@}\"; stat -c %a \"${f%/*}\" > \"$RECORD/folder-mode\";; esac\n"
                      "exit ${NTBACKUP_STATUS:-0}\n"));
  FPath = qgetenv("PATH");
  qputenv("PATH", QFile::encodeName(Path(QStringLiteral("bin"))) + ':' + FPath);
  qputenv("TMPDIR", QFile::encodeName(Path(QStringLiteral("temp"))));
  qputenv("RECORD", QFile::encodeName(Path(QStringLiteral("out"))));
  qunsetenv("NTBACKUP_STATUS");
}

void TestNTBackup::cleanup()
{
  qputenv("PATH", FPath);
  qunsetenv("TMPDIR");
}

void TestNTBackup::runsWithItsSelectionFile()
{
  TBackup backup(nullptr);
  TRecorder recorder(backup);
  QStringList events;
  backup.OnNTBackupStart = [&](QObject* ASender) { events << (ASender == &backup ? "start" : "start?"); };
  backup.OnNTBackupFinished = [&](QObject*) { events << QStringLiteral("finished"); };
  backup.OnBackupFileList = [](QObject*, QStringList& AList) {
    QVERIFY(AList.isEmpty());
    AList << QStringLiteral("/from/plugin");
  };
  const QString data = Path(QStringLiteral("data"));
  backup.Files()->Add(data, QStringLiteral("*.*"), true);
  backup.Files()->Add(data + QLatin1Char('/'), QStringLiteral("report.doc"), false);
  backup.Files()->Add(data, QStringLiteral("missing.doc"), false);
  backup.Exclusions()->Add(data, QStringLiteral("secret.txt"), false);
  backup.SetZipType(zNTBackup);
  backup.SetSystemState(true);
  const QString target = Path(QStringLiteral("out/Weekly.Full.bkf"));
  backup.SetZipFileName(target);
  QVERIFY(WriteBytes(QFile::encodeName(Path(QStringLiteral("out/victim"))), "victim"));
  QVERIFY(QFile::link(Path(QStringLiteral("out/victim")), Path(QStringLiteral("temp/Weekly.Full.bks"))));
  QStringList zipFiles;
  QCOMPARE(backup.Backup(&zipFiles), brComplete);
  QCOMPARE(zipFiles, QStringList{target});
  QCOMPARE(events, (QStringList{QStringLiteral("start"), QStringLiteral("finished")}));

  // The selection file was made in a private folder of the run (never through the planted link
  // at the fixed name), which is gone now.
  const QStringList arguments = ReadText(Path(QStringLiteral("out/args"))).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  QCOMPARE(arguments.size(), 6);
  const QString bks = arguments[1].mid(1);
  QVERIFY2(bks.startsWith(Path(QStringLiteral("temp/corvale-ntbackup-"))) &&
               bks.endsWith(QStringLiteral("/Weekly.Full.bks")),
           qPrintable(bks));
  QCOMPARE(arguments, (QStringList{QStringLiteral("backup"), QLatin1Char('@') + bks, QStringLiteral("/j"),
                                   QStringLiteral("Weekly.Full"), QStringLiteral("/f"), target}));
  QCOMPARE(ReadText(Path(QStringLiteral("out/folder-mode"))).trimmed(), QStringLiteral("700"));
  QVERIFY(!QFileInfo::exists(QFileInfo(bks).path()));
  QCOMPARE(ReadText(Path(QStringLiteral("out/victim"))), QStringLiteral("victim"));
  const QString lines = data + QStringLiteral("/\r\n") + data + QStringLiteral("/report.doc\r\n") + data +
                        QStringLiteral("/\r\n") + data + QStringLiteral("/secret.txt /Exclude\r\n") +
                        QStringLiteral("/from/plugin\r\nSystemState\r\n");
  QFile selection(Path(QStringLiteral("out/selection")));
  QVERIFY(selection.open(QIODevice::ReadOnly));
  const QByteArray bytes = selection.readAll();
  QCOMPARE(bytes.size(), lines.size() * 2); // UTF-16 without a byte-order mark
  QCOMPARE(QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2), lines);

  QCOMPARE(
      recorder.Logs.mid(1, 6),
      (QStringList{
          QStringLiteral("Generating BKS file list (%1)").arg(bks), QStringLiteral("Backing up system state."),
          QStringLiteral("BKS File list: ") + lines, QStringLiteral("BKS file %1").arg(bks),
          QStringLiteral("Starting NT Backup ntbackup backup \"@%1\" /j \"Weekly.Full\"  /f \"%2\"").arg(bks, target),
          QStringLiteral("Backup Complete.")}));

  // The system state alone goes to its own file.
  TNTBackup ntBackup(nullptr, *backup.Files(), *backup.Exclusions());
  ntBackup.SetZipFileName(target);
  QVERIFY(ntBackup.RunNTBackup(QString(), true, true));
  QCOMPARE(ReadText(Path(QStringLiteral("out/args"))), QStringLiteral("backup\nsystemstate\n/j\nSystem State\n/f\n") +
                                                           Path(QStringLiteral("temp/Weekly.Full.bkf")) +
                                                           QLatin1Char('\n'));
}

void TestNTBackup::failureOfTheProgramFailsTheRun()
{
  TBackup backup(nullptr);
  TRecorder recorder(backup);
  int finished = 0;
  backup.OnNTBackupFinished = [&](QObject*) { ++finished; };
  backup.Files()->Add(Path(QStringLiteral("data")), QStringLiteral("*.*"), true);
  backup.SetZipType(zNTBackup);
  backup.SetZipFileName(Path(QStringLiteral("out/Docs.bkf")));
  QStringList zipFiles;
  {
    qputenv("NTBACKUP_STATUS", "3");
    QCOMPARE(backup.Backup(&zipFiles), brFailed);
    QVERIFY(zipFiles.isEmpty());
    QCOMPARE(recorder.Logs.mid(recorder.Logs.size() - 3),
             (QStringList{QStringLiteral("NT Backup exited with status 3."), QStringLiteral("NT Backup failed."),
                          QStringLiteral("Backup Failed.")}));
  }
  {
    QVERIFY(QFile::remove(Path(QStringLiteral("bin/ntbackup"))));
    recorder.Logs.clear();
    QCOMPARE(backup.Backup(&zipFiles), brFailed);
    QVERIFY(recorder.Logs.contains(QStringLiteral("NT Backup could not be started: No such file or directory")));
    QVERIFY(recorder.Logs.contains(QStringLiteral("NT Backup failed.")));
  }
  QCOMPARE(finished, 2);
}

void TestNTBackup::selectionFileThatCannotBeWrittenRaises()
{
  TBackup backup(nullptr);
  int finished = 0;
  backup.OnNTBackupFinished = [&](QObject*) { ++finished; };
  backup.SetZipType(zNTBackup);
  backup.SetZipFileName(Path(QStringLiteral("out/Docs.bkf")));
  qputenv("TMPDIR", QFile::encodeName(Path(QStringLiteral("no/such/folder"))));
  QStringList zipFiles;
  QVERIFY_THROWS_EXCEPTION(EBackupException, (void)backup.Backup(&zipFiles));
  QCOMPARE(finished, 1);
  QVERIFY(!QFile::exists(Path(QStringLiteral("out/args"))));
}

void TestNTBackup::zipRunHoldsTheSystemState()
{
  if (SevenZip().isEmpty())
    QSKIP("The 7z command is needed to list the archive.");
  // Stand-ins with known answers; systemctl fails as it does without a system manager.
  QVERIFY(WriteScript(Path(QStringLiteral("bin/dpkg")), "printf 'bash\\t\\t\\tinstall\\n'\n"));
  QVERIFY(WriteScript(Path(QStringLiteral("bin/apt-mark")), "echo bash\n"));
  QVERIFY(WriteScript(Path(QStringLiteral("bin/systemctl")),
                      "echo 'System has not been booted with systemd.' >&2\nexit 1\n"));
  QVERIFY(WriteScript(Path(QStringLiteral("bin/crontab")), "echo \"no crontab for $USER\" >&2\nexit 1\n"));

  // A link planted at the name the state file once had.
  QVERIFY(WriteBytes(QFile::encodeName(Path(QStringLiteral("out/victim"))), "victim"));
  QVERIFY(QFile::link(Path(QStringLiteral("out/victim")), Path(QStringLiteral("temp/Docs-system-state.tar"))));

  TBackup backup(nullptr);
  TRecorder recorder(backup);
  backup.Files()->Add(Path(QStringLiteral("data")), QStringLiteral("*.*"), true);
  backup.SetZipType(zZip);
  backup.SetZipCompression(zcNone);
  backup.SetSystemState(true);
  backup.SetZipFileName(Path(QStringLiteral("out/Docs.zip")));
  QStringList zipFiles;
  QCOMPARE(backup.Backup(&zipFiles), brComplete);

  const auto stateLog = std::find_if(recorder.Logs.begin(), recorder.Logs.end(), [](const QString& ALine) {
    return ALine.startsWith(QStringLiteral("System state file: "));
  });
  QVERIFY(stateLog != recorder.Logs.end());
  const QString stateFile = stateLog->mid(19);
  QVERIFY2(stateFile.startsWith(Path(QStringLiteral("temp/corvale-run-"))) &&
               stateFile.endsWith(QStringLiteral("/Docs-system-state.tar")),
           qPrintable(stateFile));
  QVERIFY(recorder.Logs.contains(QStringLiteral("Performing System State Backup, Please wait...")));
  QVERIFY(recorder.Logs.contains(QStringLiteral("System state: systemd-enabled-units.txt could not be collected "
                                                "(systemctl list-unit-files --state=enabled --no-legend "
                                                "--no-pager): System has not been booted with systemd.")));
  // Nothing went through the link, and the run's folder is gone with its copies of /etc.
  QCOMPARE(ReadText(Path(QStringLiteral("out/victim"))), QStringLiteral("victim"));
  QVERIFY(!QFileInfo::exists(QFileInfo(stateFile).path()));
  QCOMPARE(QDir(Path(QStringLiteral("temp"))).entryList({QStringLiteral("corvale-*")}, QDir::Dirs), QStringList());

  QByteArray stored;
  for (const QByteArray& entry : List7z(Path(QStringLiteral("out/Docs.zip"))).keys())
    if (entry.endsWith("Docs-system-state.tar"))
      stored = entry;
  QVERIFY(!stored.isEmpty());
  const T7zResult extract = Run7z({QStringLiteral("e"), QStringLiteral("-o") + Path(QStringLiteral("extracted")),
                                   Path(QStringLiteral("out/Docs.zip")), QString::fromUtf8(stored)});
  QVERIFY2(extract.ExitCode == 0, extract.Output.constData());
  const QString state = Path(QStringLiteral("extracted/Docs-system-state.tar"));
  QProcess tar;
  tar.start(QStringLiteral("tar"), {QStringLiteral("-tf"), state});
  QVERIFY(tar.waitForFinished(60000));
  const QStringList entries = QString::fromUtf8(tar.readAll()).split(QLatin1Char('\n'));
  for (const char* part : {"dpkg-selections.txt", "apt-manual-packages.txt", "crontab.txt", "etc/", "etc/hostname"})
    QVERIFY2(entries.contains(QLatin1String(part)), part);
  QVERIFY(!entries.contains(QStringLiteral("systemd-enabled-units.txt")));
}

QTEST_GUILESS_MAIN(TestNTBackup)
#include "tst_ntbackup.moc"
