// SPDX-License-Identifier: GPL-3.0-or-later
// ZIP backups checked with the real 7z command.
#include "EngineTestSupport.h"
#include "engine/TArchiveRestorer.h"
#include "engine/TBackup.h"
#include "platform/Posix.h"

#include <QTest>
#include <QThread>

#include <atomic>
#include <chrono>
#include <thread>
#include <tuple>

#include <sys/wait.h>
#include <utime.h>

using namespace EngineTest;

class TestZipBackup : public QObject
{
  Q_OBJECT

private slots:
  void initTestCase();
  void archiveHoldsTheTreeAsItWas();
  void passwordEncryptsUnlessBlank();
  void progressAndCancelWhileWriting();
  void failedRunKeepsThePreviousArchive();
  void unreadableFileFailsTheRun();
  void filesThatCannotBeStoredAreSkipped();
  void entriesCompressedAheadComeOutInOrder();
  void dotStepsOfTheIncludeFolderAreResolved();
  void entriesKeepTheirSecondAndOwner();
};

namespace {

// Entry names are full paths without the leading "/".
QByteArray EntryName(const QByteArray& APath)
{
  return APath.mid(1);
}

// Runs a command of the Info-ZIP tools; its exit code and what it wrote.
T7zResult RunTool(const QString& AProgram, const QStringList& AArguments)
{
  QProcess process;
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start(AProgram, AArguments);
  process.closeWriteChannel();
  if (!process.waitForFinished(120000))
    return {};
  return {process.exitCode(), process.readAll()};
}

// The names of the files in AFolder other than the archive: temporary files left behind.
QStringList Leftovers(const QString& AFolder, const QString& AArchiveName)
{
  QStringList names = QDir(AFolder).entryList(QDir::Files | QDir::Hidden | QDir::System);
  names.removeAll(AArchiveName);
  return names;
}

} // namespace

void TestZipBackup::initTestCase()
{
  if (SevenZip().isEmpty())
    QSKIP("The 7z command (Debian package p7zip-full) is not installed.");
}

void TestZipBackup::archiveHoldsTheTreeAsItWas()
{
  TTempTree tree;
  QVERIFY(MakeDir(tree("src")));
  QVERIFY(MakeDir(tree("src/sub folder")));
  QVERIFY(MakeDir(tree("out")));
  const QMap<QByteArray, QByteArray> files{
      {"src/name with spaces.txt", "spaces"},
      {"src/Grüße ünïcödé.txt", "unicode"},
      {"src/r\xe9sum\xe9 latin1.bin", NoiseBytes(5000, 1)},
      {"src/empty.txt", ""},
      {"src/.hidden", "hidden"},
      {"src/sub folder/nested.txt", QByteArray(100000, 'n')},
      {"src/sub folder/.profile", "profile"},
  };
  for (auto it = files.begin(); it != files.end(); ++it)
    QVERIFY(WriteBytes(tree(it.key()), it.value()));
  // A fixed time (an even second, as ZIP keeps) to compare against the listing.
  const struct utimbuf times
  {
    1700000000, 1700000000
  };
  QVERIFY(::utime(tree("src/empty.txt").constData(), &times) == 0);
  // A pipe is neither stored nor waited on.
  QVERIFY(::mkfifo(tree("src/pipe").constData(), 0644) == 0);

  const QString archive = tree.Name("out/backup.zip");
  for (const TZipCompression compression : {zcMaximum, zcNone}) {
    TBackup backup;
    TRecorder recorder(backup);
    backup.SetZipType(zZip);
    backup.SetZipFileName(archive);
    backup.SetZipCompression(compression);
    backup.SetZipDescription(QStringLiteral("Weekly – Grüße"));
    // ZIP archives are never cut into volumes.
    backup.SetVolumeSize(1000);
    backup.Files()->Add(tree.Path() + QStringLiteral("/src"), QStringLiteral("*.*"), true);
    QStringList result;
    QCOMPARE(backup.Backup(&result), brComplete);
    QCOMPARE(result, QStringList{archive});
    QCOMPARE(Leftovers(tree.Name("out"), QStringLiteral("backup.zip")), QStringList());
    QVERIFY(recorder.Logs.contains(QString(QStringLiteral("Skipped, not a regular file: ") + tree.Name("src/pipe"))));

    const T7zResult test = Run7z({QStringLiteral("t"), archive});
    QVERIFY2(test.ExitCode == 0, test.Output.constData());

    const auto entries = List7z(archive);
    QCOMPARE(entries.value(QByteArray()).value("Comment"), QByteArray("Weekly – Grüße"));
    QCOMPARE(entries.size() - 1, files.size());
    for (auto it = files.begin(); it != files.end(); ++it) {
      const auto entry = entries.value(EntryName(tree(it.key())));
      QVERIFY2(!entry.isEmpty(), tree(it.key()).constData());
      QCOMPARE(entry.value("Size").toLongLong(), it.value().size());
      QCOMPARE(entry.value("Encrypted"), QByteArray("-"));
      QVERIFY2(entry.value("Method").startsWith(compression == zcMaximum ? "Deflate" : "Store"),
               QByteArray(it.key() + " " + entry.value("Method")).constData());
    }
    const auto empty = entries.value(EntryName(tree("src/empty.txt")));
    QCOMPARE(empty.value("Modified").left(19),
             QDateTime::fromSecsSinceEpoch(1700000000).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8());

    // The contents come back as they were.
    const T7zResult extract =
        Run7z({QStringLiteral("x"), QStringLiteral("-y"), QString(QStringLiteral("-o") + tree.Name("x")), archive});
    QVERIFY2(extract.ExitCode == 0, extract.Output.constData());
    for (auto it = files.begin(); it != files.end(); ++it)
      QCOMPARE(ReadBytes(tree("x/" + EntryName(tree(it.key())))), it.value());
    RemoveTree(tree("x"));
  }
}

void TestZipBackup::passwordEncryptsUnlessBlank()
{
  TTempTree tree;
  QVERIFY(WriteBytes(tree("secret.txt"), QByteArray(20000, 's')));
  const QString archive = tree.Name("secret.zip");

  for (const QString& password : {QStringLiteral("pässwörd"), QStringLiteral(" padded "), QStringLiteral("   ")}) {
    TBackup backup;
    backup.SetZipType(zZip);
    backup.SetZipFileName(archive);
    backup.SetZipPassword(password);
    backup.Files()->Add(tree.Path(), QStringLiteral("*.txt"), false);
    QStringList result;
    QCOMPARE(backup.Backup(&result), brComplete);

    const bool encrypted = !password.trimmed().isEmpty();
    const auto entry = List7z(archive, password).value(EntryName(tree("secret.txt")));
    QCOMPARE(entry.value("Encrypted"), QByteArray(encrypted ? "+" : "-"));
    if (encrypted) {
      QVERIFY2(entry.value("Method").startsWith("AES-256"), entry.value("Method").constData());
      // The password is used as given, untrimmed.
      const T7zResult right = Run7z({QStringLiteral("t"), QString(QStringLiteral("-p") + password), archive});
      QVERIFY2(right.ExitCode == 0, right.Output.constData());
      const T7zResult wrong = Run7z({QStringLiteral("t"), QStringLiteral("-pwrong"), archive});
      QVERIFY(wrong.ExitCode != 0);
      QVERIFY2(wrong.Output.contains("Wrong password"), wrong.Output.constData());
      const T7zResult trimmed =
          Run7z({QStringLiteral("t"), QString(QStringLiteral("-p") + password.trimmed()), archive});
      QCOMPARE(trimmed.ExitCode != 0, password != password.trimmed());
    } else {
      // A password of spaces is not a password: the archive opens without one.
      const T7zResult test = Run7z({QStringLiteral("t"), QStringLiteral("-p"), archive});
      QVERIFY2(test.ExitCode == 0, test.Output.constData());
    }
  }
}

void TestZipBackup::progressAndCancelWhileWriting()
{
  TTempTree tree;
  QVERIFY(MakeDir(tree("src")));
  QVERIFY(WriteBytes(tree("src/a-small.txt"), "small"));
  QVERIFY(WriteBytes(tree("src/b-large.bin"), NoiseBytes(3 << 20, 2)));
  QVERIFY(WriteBytes(tree("src/c-after.txt"), "after"));
  const QString archive = tree.Name("out.zip");
  const auto sorted = [](QObject*, QStringList& AList) { AList.sort(); };

  // Item progress runs from 0 to 100 within each file; total progress rises to 100.
  {
    TBackup backup;
    TRecorder recorder(backup);
    backup.OnBackupFileList = sorted;
    backup.SetZipType(zZip);
    backup.SetZipFileName(archive);
    backup.Files()->Add(tree.Path() + QStringLiteral("/src"), QStringLiteral("*.*"), false);
    QStringList result;
    QCOMPARE(backup.Backup(&result), brComplete);

    QList<int> large;
    for (const auto& [name, perCent] : std::as_const(recorder.ItemPerCents)) {
      if (name == tree.Name("src/b-large.bin"))
        large << perCent;
    }
    QVERIFY(large.size() > 10);
    QCOMPARE(large.first(), 0);
    QCOMPARE(large.last(), 100);
    QVERIFY(std::is_sorted(large.begin(), large.end()));
    const QList<int> totals = recorder.TotalPerCents.mid(1); // after "Gathering details"
    QVERIFY(std::is_sorted(totals.begin(), totals.end()));
    QCOMPARE(totals.last(), 100);
    // The large file carries nearly all bytes, so the total moves with it.
    QVERIFY(std::any_of(totals.begin(), totals.end(), [](int AValue) { return AValue > 20 && AValue < 80; }));
    QVERIFY(QFile::remove(archive));
  }

  // Cancel halfway through the large file: writing stops at once and nothing is left behind.
  {
    TBackup backup;
    TRecorder recorder(backup);
    backup.OnBackupFileList = sorted;
    auto onItem = backup.OnItemProgress;
    backup.OnItemProgress = [&](QObject* ASender, const QString& AMessage, int AProgress) {
      onItem(ASender, AMessage, AProgress);
      if (AMessage == tree.Name("src/b-large.bin") && AProgress >= 50)
        backup.Cancel();
    };
    backup.SetZipType(zZip);
    backup.SetZipFileName(archive);
    backup.Files()->Add(tree.Path() + QStringLiteral("/src"), QStringLiteral("*.*"), false);
    QStringList result;
    QCOMPARE(backup.Backup(&result), brCancelled);
    QCOMPARE(result, QStringList{archive}); // the name is reported whatever the writer says
    const auto& items = recorder.ItemPerCents;
    QVERIFY(items.last().second < 60);
    QCOMPARE(items.last().first, tree.Name("src/b-large.bin"));
    QVERIFY(recorder.Lines.contains(
        QString(QStringLiteral("Log 32: Cannot write ") + archive + QStringLiteral(": Operation cancelled"))));
    QCOMPARE(recorder.Logs.last(), QStringLiteral("Backup Cancelled."));
    QVERIFY(!QFile::exists(archive));
    QCOMPARE(Leftovers(tree.Path(), QString()), QStringList());
  }

  // The files are reported while they are listed for the writer, before anything is written,
  // and a cancel there stops the run.
  {
    QVERIFY(MakeDir(tree("out")));
    const QString target = tree.Name("out/early.zip");
    TBackup backup;
    TRecorder recorder(backup);
    backup.OnBackupFileList = sorted;
    QStringList seenBeforeWriting;
    backup.OnItemProgress = [&](QObject*, const QString& AMessage, int) {
      if (!AMessage.startsWith(tree.Path()))
        return; // "Gathering details, please wait..."
      if (QDir(tree.Name("out")).entryList(QDir::Files | QDir::Hidden).isEmpty())
        seenBeforeWriting << AMessage;
      backup.Cancel();
    };
    backup.SetZipType(zZip);
    backup.SetZipFileName(target);
    backup.Files()->Add(tree.Path() + QStringLiteral("/src"), QStringLiteral("*.*"), false);
    QStringList result;
    QCOMPARE(backup.Backup(&result), brCancelled);
    QCOMPARE(seenBeforeWriting, QStringList{tree.Name("src/a-small.txt")});
    QCOMPARE(recorder.Logs.last(), QStringLiteral("Backup Cancelled."));
    QCOMPARE(Leftovers(tree.Name("out"), QString()), QStringList());
  }

  // A slow disk does not hold the handlers up: while the archive is flushed, they are still
  // called, on the thread that runs the backup.
  {
    static std::atomic<bool> flushing = false;
    Posix::SetFaultHook([](Posix::TFaultPoint APoint, int, const QByteArray&, std::size_t&) {
      if (APoint == Posix::fpSync) {
        flushing = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        flushing = false;
      }
      return 0;
    });
    TBackup backup;
    int callsWhileFlushing = 0;
    bool elsewhere = false;
    backup.OnItemProgress = [&](QObject*, const QString&, int) {
      callsWhileFlushing += flushing ? 1 : 0;
      elsewhere = elsewhere || QThread::currentThread() != thread();
    };
    backup.SetZipType(zZip);
    backup.SetZipFileName(archive);
    backup.Files()->Add(tree.Path() + QStringLiteral("/src"), QStringLiteral("*.*"), false);
    QStringList result;
    const TBackupResult outcome = backup.Backup(&result);
    Posix::SetFaultHook(nullptr);
    QCOMPARE(outcome, brComplete);
    QVERIFY2(callsWhileFlushing >= 3, qPrintable(QString::number(callsWhileFlushing)));
    QVERIFY(!elsewhere);
  }
}

void TestZipBackup::failedRunKeepsThePreviousArchive()
{
  TTempTree tree;
  QVERIFY(MakeDir(tree("src")));
  QVERIFY(WriteBytes(tree("src/one.txt"), "one"));
  QVERIFY(WriteBytes(tree("src/two.bin"), NoiseBytes(1 << 20, 3)));
  QVERIFY(MakeDir(tree("out")));
  const QString archive = tree.Name("out/backup.zip");

  TBackup backup;
  TRecorder recorder(backup);
  backup.SetZipType(zZip);
  backup.SetZipFileName(archive);
  backup.Files()->Add(tree.Path() + QStringLiteral("/src"), QStringLiteral("*.*"), false);
  QStringList result;
  QCOMPARE(backup.Backup(&result), brComplete);
  const QByteArray previous = ReadBytes(tree("out/backup.zip"));
  QVERIFY(!previous.isEmpty());

  // A cancelled run and an exception out of a progress handler leave it as it was.
  backup.OnItemProgress = [&](QObject*, const QString& AMessage, int AProgress) {
    if (AMessage.endsWith(QStringLiteral("two.bin")) && AProgress > 10)
      backup.Cancel();
  };
  QCOMPARE(backup.Backup(&result), brCancelled);
  QCOMPARE(ReadBytes(tree("out/backup.zip")), previous);
  QCOMPARE(Leftovers(tree.Name("out"), QStringLiteral("backup.zip")), QStringList());

  backup.OnItemProgress = [&](QObject*, const QString& AMessage, int AProgress) {
    if (AMessage.endsWith(QStringLiteral("two.bin")) && AProgress > 10)
      throw std::runtime_error("handler failed");
  };
  QVERIFY_THROWS_EXCEPTION(std::runtime_error, (void)backup.Backup(&result));
  QCOMPARE(ReadBytes(tree("out/backup.zip")), previous);
  QCOMPARE(Leftovers(tree.Name("out"), QStringLiteral("backup.zip")), QStringList());
  // The ZIP component is ready again; the next run replaces the archive.
  QVERIFY(!backup.Busy());
  backup.OnItemProgress = {};
  QVERIFY(WriteBytes(tree("src/three.txt"), "three"));
  QCOMPARE(backup.Backup(&result), brComplete);
  QCOMPARE(List7z(archive).size() - 1, 3);

  // A destination that cannot be written fails with the writer's message.
  recorder.Lines.clear();
  backup.SetZipFileName(tree.Name("no such folder/backup.zip"));
  QCOMPARE(backup.Backup(&result), brFailed);
  QVERIFY(std::any_of(recorder.Lines.begin(), recorder.Lines.end(), [&](const QString& ALine) {
    return ALine.startsWith(QStringLiteral("Log ")) && !ALine.startsWith(QStringLiteral("Log 0")) &&
           ALine.contains(QString(QStringLiteral("Cannot write ") + tree.Name("no such folder/backup.zip")));
  }));
  QCOMPARE(recorder.Logs.last(), QStringLiteral("Backup Failed."));
}

void TestZipBackup::unreadableFileFailsTheRun()
{
  TTempTree tree;
  QVERIFY(::chmod(tree.Root().constData(), 0755) == 0);
  QVERIFY(MakeDir(tree("src")));
  QVERIFY(WriteBytes(tree("src/a.txt"), "readable"));
  QVERIFY(WriteBytes(tree("src/b-locked.txt"), "locked"));
  QVERIFY(WriteBytes(tree("src/c-later.txt"), "turns unreadable"));
  QVERIFY(MakeDir(tree("out"), 0777));
  QVERIFY(::chmod(tree("out").constData(), 0777) == 0);
  QVERIFY(WriteBytes(tree("out/backup.zip"), "the previous archive"));
  QVERIFY(::chmod(tree("out/backup.zip").constData(), 0666) == 0);
  // The other user may change this one.
  if (::geteuid() == 0)
    QVERIFY(::chown(tree("src/c-later.txt").constData(), 65534, 65534) == 0);

  const QString archive = tree.Name("out/backup.zip");
  // locked: unreadable from the start. c-later: loses its permission while the archive is written.
  for (const bool fromTheStart : {true, false}) {
    QVERIFY(::chmod(tree("src/b-locked.txt").constData(), fromTheStart ? 0 : 0644) == 0);
    QVERIFY(::chmod(tree("src/c-later.txt").constData(), 0644) == 0);
    const QByteArray report = RunUnprivileged([&]() {
      TBackup backup;
      TRecorder recorder(backup);
      backup.OnBackupFileList = [](QObject*, QStringList& AList) { AList.sort(); };
      backup.OnItemProgress = [&](QObject*, const QString& AMessage, int) {
        if (AMessage.endsWith(QStringLiteral("a.txt")))
          ::chmod(tree("src/c-later.txt").constData(), 0);
      };
      backup.SetZipType(zZip);
      backup.SetZipFileName(archive);
      backup.Files()->Add(tree.Path() + QStringLiteral("/src"), QStringLiteral("*.*"), false);
      QStringList result;
      const TBackupResult outcome = backup.Backup(&result);
      return QString(QString::number(int(outcome)) + QLatin1Char('\n') +
                     recorder.Only(QStringLiteral("Log ")).join(QLatin1Char('\n')))
          .toUtf8();
    });
    const QStringList lines = QString::fromUtf8(report).split(QLatin1Char('\n'));
    QCOMPARE(lines.value(0), QString::number(int(brFailed)));
    const QString unreadable = tree.Name(fromTheStart ? "src/b-locked.txt" : "src/c-later.txt");
    QVERIFY2(lines.contains(QString(QStringLiteral("11: Cannot read ") + unreadable + QStringLiteral(": ") +
                                    qt_error_string(EACCES))),
             report.constData());
    QCOMPARE(lines.last(), QStringLiteral("1: Backup Failed."));
    QCOMPARE(ReadBytes(tree("out/backup.zip")), QByteArray("the previous archive"));
    QCOMPARE(Leftovers(tree.Name("out"), QStringLiteral("backup.zip")), QStringList());
  }
}

void TestZipBackup::filesThatCannotBeStoredAreSkipped()
{
  TTempTree tree;
  QVERIFY(MakeDir(tree("src")));
  QVERIFY(WriteBytes(tree("src/a.txt"), NoiseBytes(200000, 4)));
  QVERIFY(WriteBytes(tree("src/b.txt"), "b"));
  QVERIFY(WriteBytes(tree("src/c.txt"), "c"));
  const QString archive = tree.Name("out.zip");

  TBackup backup;
  TRecorder recorder(backup);
  // One name is gone before the writing, another disappears while the first file is written. A
  // file listed over a thousand times makes the list long enough for its second half, with the
  // name that is gone and one more file, to be looked at ahead on a thread of its own.
  QVERIFY(MakeDir(tree("extra")));
  QVERIFY(WriteBytes(tree("extra/d.txt"), NoiseBytes(5000, 5)));
  backup.OnBackupFileList = [&](QObject*, QStringList& AList) {
    AList.sort();
    for (int i = 0; i < 1100; ++i)
      AList << tree.Name("src/b.txt");
    AList << tree.Name("extra/d.txt") << tree.Name("src/gone.txt");
  };
  backup.OnItemProgress = [&](QObject*, const QString& AMessage, int) {
    if (AMessage.endsWith(QStringLiteral("a.txt")))
      ::unlink(tree("src/c.txt").constData());
  };
  backup.SetZipType(zZip);
  backup.SetZipFileName(archive);
  backup.Files()->Add(tree.Path() + QStringLiteral("/src"), QStringLiteral("*.*"), false);
  QStringList result;
  QCOMPARE(backup.Backup(&result), brComplete);
  QVERIFY(
      recorder.Lines.contains(QString(QStringLiteral("Log 9: Skipped, file not found: ") + tree.Name("src/gone.txt"))));
  QVERIFY(
      recorder.Lines.contains(QString(QStringLiteral("Log 9: Skipped, file not found: ") + tree.Name("src/c.txt"))));

  const T7zResult test = Run7z({QStringLiteral("t"), archive});
  QVERIFY2(test.ExitCode == 0, test.Output.constData());
  const auto entries = List7z(archive);
  QCOMPARE(entries.size() - 1, 3);
  QVERIFY(entries.contains(EntryName(tree("src/a.txt"))));
  QVERIFY(entries.contains(EntryName(tree("src/b.txt"))));
  QCOMPARE(entries.value(EntryName(tree("extra/d.txt"))).value("Size"), QByteArray("5000"));
  QCOMPARE(Leftovers(tree.Path(), QString()), QStringList{QStringLiteral("out.zip")});

  // An archive inside the folders it backs up is not stored in its successor.
  backup.OnBackupFileList = {};
  backup.OnItemProgress = {};
  backup.SetZipFileName(tree.Name("src/inside.zip"));
  QCOMPARE(backup.Backup(&result), brComplete);
  QCOMPARE(backup.Backup(&result), brComplete);
  QVERIFY(recorder.Lines.contains(
      QString(QStringLiteral("Log 29: Skipped, the archive itself: ") + tree.Name("src/inside.zip"))));
  QCOMPARE(List7z(tree.Name("src/inside.zip")).size() - 1, 2);
}

void TestZipBackup::entriesCompressedAheadComeOutInOrder()
{
  // Sizes around the read block and the data an entry may hold, empty and tiny files, and a text
  // that compresses; each file is compressed ahead of the writer by a worker or by the writer.
  TTempTree tree;
  QVERIFY(MakeDir(tree("src")));
  const QList<qsizetype> sizes{0, 1, 131071, 131072, 131073, 3 << 20, 5000};
  QList<QByteArray> names;
  QMap<QByteArray, QByteArray> files;
  for (int i = 0; i < 42; ++i) {
    const QByteArray name = "src/f" + QByteArray::number(i).rightJustified(2, '0');
    const qsizetype size = sizes.at(i % sizes.size());
    files.insert(name, i % 3 == 0 ? QByteArray("line of text ").repeated(size / 13 + 1).left(size)
                                  : NoiseBytes(size, quint32(i)));
    QVERIFY(WriteBytes(tree(name), files.value(name)));
    names.append(name);
  }
  // Noise and then text: the noise goes in as stored blocks, and the text is compressed again.
  const QByteArray mixed = "src/mixed";
  files.insert(mixed, NoiseBytes(1 << 20, 7) + QByteArray("line of text ").repeated((3 << 20) / 13));
  QVERIFY(WriteBytes(tree(mixed), files.value(mixed)));
  names.append(mixed);
  // One file shrinks and one grows while the first ones are written: the archive holds each as
  // it was at some moment of the run, with sizes and checksums that match what it holds.
  const QByteArray shrinks = "src/f40";
  const QByteArray grows = "src/f41";
  const QString archive = tree.Name("out.zip");
  const QString zipinfo = QStandardPaths::findExecutable(QStringLiteral("zipinfo"));
  const QString unzip = QStandardPaths::findExecutable(QStringLiteral("unzip"));

  for (const auto& [compression, subtype, password] :
       {std::tuple{zcFast, "fast", QString()}, std::tuple{zcNormal, "normal", QStringLiteral("pass word")},
        std::tuple{zcMaximum, "maximum", QString()}}) {
    QVERIFY(WriteBytes(tree(shrinks), files.value(shrinks)));
    QVERIFY(WriteBytes(tree(grows), files.value(grows)));
    TBackup backup;
    backup.SetZipType(zZip);
    backup.SetZipFileName(archive);
    backup.SetZipCompression(compression);
    backup.SetZipPassword(password);
    backup.OnBackupFileList = [](QObject*, QStringList& AList) { AList.sort(); };
    bool changed = false;
    backup.OnItemProgress = [&](QObject*, const QString& AMessage, int) {
      if (!changed && AMessage.endsWith(QStringLiteral("/f05"))) {
        changed = true;
        ::truncate(tree(shrinks).constData(), files.value(shrinks).size() / 2);
        QFile file(QString::fromUtf8(tree(grows)));
        QVERIFY(file.open(QIODevice::Append));
        file.write("appended");
      }
    };
    backup.Files()->Add(tree.Path() + QStringLiteral("/src"), QStringLiteral("*.*"), false);
    QStringList result;
    QCOMPARE(backup.Backup(&result), brComplete);
    QVERIFY(changed);

    const QString passwordArgument = QString(QStringLiteral("-p") + password);
    const T7zResult test = Run7z({QStringLiteral("t"), passwordArgument, archive});
    QVERIFY2(test.ExitCode == 0, test.Output.constData());
    // Info-ZIP's unzip knows no AES; it checks the archives without a password.
    if (password.isEmpty()) {
      const T7zResult unzipTest = RunTool(unzip, {QStringLiteral("-tq"), archive});
      QVERIFY2(unzipTest.ExitCode == 0, unzipTest.Output.constData());
    }

    // The entries in the list's order, with the level's flag bits that libzip would set.
    const T7zResult order = RunTool(zipinfo, {QStringLiteral("-1"), archive});
    QCOMPARE(order.ExitCode, 0);
    QList<QByteArray> expected;
    for (const QByteArray& name : std::as_const(names))
      expected.append(EntryName(tree(name)));
    QCOMPARE(order.Output.trimmed().split('\n'), expected);
    if (password.isEmpty()) {
      const T7zResult details = RunTool(zipinfo, {QStringLiteral("-v"), archive});
      qsizetype flagged = 0;
      for (const QByteArray& line : details.Output.split('\n'))
        if (line.contains("compression sub-type (deflation):") && line.trimmed().endsWith(subtype))
          ++flagged;
      QCOMPARE(flagged, names.size());
    }

    const T7zResult extract = Run7z({QStringLiteral("x"), QStringLiteral("-y"), passwordArgument,
                                     QString(QStringLiteral("-o") + tree.Name("x")), archive});
    QVERIFY2(extract.ExitCode == 0, extract.Output.constData());
    for (const QByteArray& name : std::as_const(names)) {
      const QByteArray content = ReadBytes(tree("x/" + EntryName(tree(name))));
      if (name == shrinks)
        QVERIFY(content == files.value(name) || content == files.value(name).left(files.value(name).size() / 2));
      else if (name == grows)
        QVERIFY(content == files.value(name) || content == files.value(name) + "appended");
      else
        QCOMPARE(content, files.value(name));
    }
    RemoveTree(tree("x"));
    const QByteArray packed = List7z(archive, password).value(EntryName(tree(mixed))).value("Packed Size");
    QVERIFY2(packed.toLongLong() < (1 << 20) + (3 << 20) / 4, packed.constData());
  }
}

void TestZipBackup::dotStepsOfTheIncludeFolderAreResolved()
{
  // "other/../docs/." names docs: its files are stored under docs, as the 7z writer names them,
  // not under a folder "other" that never held them.
  TTempTree tree;
  QVERIFY(MakeDir(tree("docs")));
  QVERIFY(MakeDir(tree("other")));
  QVERIFY(WriteBytes(tree("docs/letter.txt"), "letter"));
  const QString archive = tree.Name("backup.zip");
  TBackup backup;
  backup.SetZipType(zZip);
  backup.SetZipFileName(archive);
  backup.Files()->Add(tree.Path() + QStringLiteral("/other/../docs/./"), QStringLiteral("*.*"), true);
  QStringList result;
  QCOMPARE(backup.Backup(&result), brComplete);
  const auto entries = List7z(archive);
  QCOMPARE(entries.size() - 1, 1);
  QVERIFY2(entries.contains(EntryName(tree("docs/letter.txt"))), entries.lastKey().constData());
}

void TestZipBackup::entriesKeepTheirSecondAndOwner()
{
  TTempTree tree;
  QVERIFY(MakeDir(tree("src")));
  QVERIFY(WriteBytes(tree("src/odd.txt"), "odd"));
  // An odd second, which the DOS time cannot hold.
  const QDateTime written(QDate(2026, 3, 2), QTime(18, 30, 5));
  const struct utimbuf times = {written.toSecsSinceEpoch(), written.toSecsSinceEpoch()};
  QVERIFY(::utime(tree("src/odd.txt").constData(), &times) == 0);
  const QString archive = tree.Name("backup.zip");
  TBackup backup;
  backup.SetZipType(zZip);
  backup.SetZipFileName(archive);
  backup.Files()->Add(tree.Name("src"), QStringLiteral("*.*"), false);
  QStringList result;
  QCOMPARE(backup.Backup(&result), brComplete);

  // Info-ZIP reads both fields, in the local and the central header.
  const QString zipinfo = QStandardPaths::findExecutable(QStringLiteral("zipinfo"));
  if (!zipinfo.isEmpty()) {
    const T7zResult details = RunTool(zipinfo, {QStringLiteral("-v"), archive});
    QVERIFY2(details.ExitCode == 0, details.Output.constData());
    QVERIFY2(details.Output.contains("(UT extra field modtime): 2026 Mar 2 18:30:05 local"),
             details.Output.constData());
    QVERIFY2(details.Output.contains("ID 0x7875 (Unix UID/GID (any size)) and 11 data bytes"),
             details.Output.constData());
    QVERIFY(
        RunTool(QStandardPaths::findExecutable(QStringLiteral("unzip")), {QStringLiteral("-tq"), archive}).ExitCode ==
        0);
  }
  // Python's reader takes the archive and finds the same second and the file's owner.
  const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
  if (!python.isEmpty()) {
    static const char* Script = R"(
import struct, sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    for info in z.infolist():
        extra = info.extra
        while len(extra) >= 4:
            kind, size = struct.unpack('<HH', extra[:4])
            data = extra[4:4 + size]
            if kind == 0x5455:
                print('time', struct.unpack('<i', data[1:5])[0])
            if kind == 0x7875:
                print('owner', struct.unpack('<I', data[2:6])[0], struct.unpack('<I', data[7:11])[0])
            extra = extra[4 + size:]
        z.read(info)
)";
    const T7zResult read = RunTool(python, {QStringLiteral("-c"), QString::fromUtf8(Script), archive});
    QVERIFY2(read.ExitCode == 0, read.Output.constData());
    struct stat st = {};
    QVERIFY(::stat(tree("src/odd.txt").constData(), &st) == 0);
    QCOMPARE(read.Output, QStringLiteral("time %1\nowner %2 %3\n")
                              .arg(written.toSecsSinceEpoch())
                              .arg(st.st_uid)
                              .arg(st.st_gid)
                              .toUtf8());
  }
  QVERIFY(Run7z({QStringLiteral("t"), archive}).ExitCode == 0);

  // Restored to the second.
  TArchiveRestorer restorer(nullptr);
  QVERIFY(restorer.Restore(zZip, archive, false, QString(), tree.Name("restored"), {}, false));
  struct stat restored = {};
  QVERIFY(::stat(tree("restored/" + EntryName(tree("src/odd.txt"))).constData(), &restored) == 0);
  QCOMPARE(qint64(restored.st_mtime), written.toSecsSinceEpoch());
}

QTEST_GUILESS_MAIN(TestZipBackup)
#include "tst_zipbackup.moc"
