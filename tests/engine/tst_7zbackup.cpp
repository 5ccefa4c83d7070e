// SPDX-License-Identifier: GPL-3.0-or-later
// 7z backups run through the engine and checked with the real 7z command.
#include "EngineTestSupport.h"
#include "engine/TBackup.h"

#include <QTest>

#include <algorithm>

using namespace EngineTest;

class TestSevenZipBackup : public QObject
{
  Q_OBJECT

private slots:
  void initTestCase();
  void archiveHoldsTheFilteredList();
  void runReportsInOrder();
  void passwordHidesNamesUnlessBlank();
  void volumesMakeTheResultList();
  void archiveInsideTheSourceIsLeftOut();
  void cancelKeepsThePreviousArchive();
  void unreadableFileFailsTheRun();
  void writerFailuresEndTheRunAsFailed();
};

namespace {

// Item names are full paths without the leading "/".
QByteArray EntryName(const QByteArray& APath)
{
  return APath.mid(1);
}

// The names in AFolder other than AKeep: temporary files left behind.
QStringList Leftovers(const QString& AFolder, const QStringList& AKeep)
{
  QStringList names = QDir(AFolder).entryList(QDir::Files | QDir::Hidden | QDir::System);
  for (const QString& name : AKeep)
    names.removeAll(name);
  return names;
}

// Lines of the recorder without search and progress reports.
QStringList LogAndDebug(const QStringList& ALines)
{
  QStringList result;
  for (const QString& line : ALines) {
    if (line.startsWith(QStringLiteral("Log ")) || line.startsWith(QStringLiteral("Debug ")))
      result << line;
  }
  return result;
}

void Configure(TBackup& ABackup, const QString& AArchive, const QString& AFolder)
{
  ABackup.SetZipType(zSeven);
  ABackup.SetZipFileName(AArchive);
  ABackup.Files()->Add(AFolder, QStringLiteral("*.*"), true);
}

// The file list in name order before the recorder sees it, so that the writing order is known.
void SortFileList(TBackup& ABackup)
{
  auto record = ABackup.OnBackupFileList;
  ABackup.OnBackupFileList = [record](QObject* ASender, QStringList& AList) {
    AList.sort();
    record(ASender, AList);
  };
}

} // namespace

void TestSevenZipBackup::initTestCase()
{
  if (SevenZip().isEmpty())
    QSKIP("The 7z command (Debian package p7zip-full) is not installed.");
}

void TestSevenZipBackup::archiveHoldsTheFilteredList()
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
  };
  for (auto it = files.begin(); it != files.end(); ++it)
    QVERIFY(WriteBytes(tree(it.key()), it.value()));
  QVERIFY(WriteBytes(tree("src/sub folder/skip.TMP"), "excluded"));

  const QString archive = tree.Name("out/backup.7z");
  for (const TZipCompression compression : {zcMaximum, zcNone}) {
    TBackup backup;
    TRecorder recorder(backup);
    Configure(backup, archive, tree.Path() + QStringLiteral("/src"));
    backup.SetZipCompression(compression);
    backup.SetZipDescription(QStringLiteral("Weekly"));
    backup.Exclusions()->Add(tree.Path() + QStringLiteral("/src/sub folder"), QStringLiteral("*.tmp"), false);
    // Whole paths compare without regard to case.
    backup.OnBackupFileExclusionList = [&](QObject*, QStringList& AList) {
      for (QString& path : AList)
        path = path.toUpper();
    };
    QStringList result{QStringLiteral("left over")};
    QCOMPARE(backup.Backup(&result), brComplete);
    QCOMPARE(result, QStringList{archive});
    QCOMPARE(Leftovers(tree.Name("out"), {QStringLiteral("backup.7z")}), QStringList());
    QVERIFY(recorder.Debugs.contains(
        QStringLiteral("GetSevenZipCompression: Result: %1").arg(compression == zcMaximum ? 4 : 0)));

    const T7zResult test = Run7z({QStringLiteral("t"), archive});
    QVERIFY2(test.ExitCode == 0, test.Output.constData());
    const auto entries = List7z(archive);
    QCOMPARE(entries.value(QByteArray()).value("Solid"), QByteArray("-"));
    QCOMPARE(entries.size() - 1, files.size());
    for (auto it = files.begin(); it != files.end(); ++it) {
      const auto entry = entries.value(EntryName(tree(it.key())));
      QVERIFY2(!entry.isEmpty(), tree(it.key()).constData());
      QCOMPARE(entry.value("Size").toLongLong(), it.value().size());
      QCOMPARE(entry.value("Encrypted"), QByteArray("-"));
      if (!it.value().isEmpty()) {
        QVERIFY2(entry.value("Method").startsWith(compression == zcMaximum ? "LZMA" : "Copy"),
                 QByteArray(it.key() + " " + entry.value("Method")).constData());
      }
    }

    const T7zResult extract =
        Run7z({QStringLiteral("x"), QStringLiteral("-y"), QString(QStringLiteral("-o") + tree.Name("x")), archive});
    QVERIFY2(extract.ExitCode == 0, extract.Output.constData());
    for (auto it = files.begin(); it != files.end(); ++it)
      QCOMPARE(ReadBytes(tree("x/" + EntryName(tree(it.key())))), it.value());
    RemoveTree(tree("x"));
  }
}

void TestSevenZipBackup::runReportsInOrder()
{
  TTempTree tree;
  QVERIFY(MakeDir(tree("data")));
  QVERIFY(WriteBytes(tree("data/a.txt"), "first"));
  QVERIFY(WriteBytes(tree("data/b.bin"), NoiseBytes(300000, 2)));
  const QString data = tree.Path() + QStringLiteral("/data");
  const QString archive = tree.Path() + QStringLiteral("/out.7z");

  TBackup backup;
  TRecorder recorder(backup);
  SortFileList(backup);
  Configure(backup, archive, data);
  backup.Files()->GetItem(0)->SetRecursive(false);
  backup.SetZipCompression(zcNormal);
  QStringList result;
  QCOMPARE(backup.Backup(&result), brComplete);
  QCOMPARE(result, QStringList{archive});

  const QString a = data + QStringLiteral("/a.txt");
  const QString b = data + QStringLiteral("/b.bin");
  const QStringList expected{
      QStringLiteral("Log 0: Initialising backup, please wait..."),
      QStringLiteral("Log 0: Generating file list..."),
      QStringLiteral("Debug GenerateFileList: Items: 1"),
      QString(QStringLiteral("Debug GenerateFileList: ") + data + QStringLiteral("/*.*, Recursive: False")),
      QString(QStringLiteral("Log 0: Scanning: ") + data + QStringLiteral("/*.*, Recursive: False")),
      QStringLiteral("Debug GenerateFileList: Cancelled: False"),
      QStringLiteral("Debug GenerateFileList: Items: 0"),
      QStringLiteral("Debug GenerateFileList: Cancelled: False"),
      QStringLiteral("Log 0: Processing file list..."),
      QStringLiteral("Log 0: Processing exclusion file list..."),
      QString(QStringLiteral("Debug GenerateFileList: Add: ") + a),
      QString(QStringLiteral("Debug GenerateFileList: Add: ") + b),
      QStringLiteral("Debug GenerateFileList: Include Count: 2"),
      QStringLiteral("Log 0: Backup in progress, Please wait..."),
      QStringLiteral("Debug GetSevenZipCompression: Result: 2"),
      QString(QStringLiteral("Debug Backup: SZFileName: ") + archive),
      QStringLiteral("Debug Backup: Volumesize: 0"),
      QString(QStringLiteral("Log 0: ") + a + QStringLiteral(" (5)")),
      QString(QStringLiteral("Log 0: ") + b + QStringLiteral(" (300000)")),
      QStringLiteral("Log 0: Verifying archive..."),
      QStringLiteral("Log 0: Archive verified: 2 entries read back intact."),
      QStringLiteral("Debug Backup: Zip Volumes: 1 file(s)"),
      QString(QStringLiteral("Debug Backup: Zip Volumes: ") + archive),
      QStringLiteral("Log 0: Backup Complete."),
  };
  QCOMPARE(LogAndDebug(recorder.Lines), expected);
  QCOMPARE(recorder.Lines.last(), QStringLiteral("Finished 0"));

  // Item progress: the list filter shows each file at 0, then the writer starts.
  // The check of the new archive follows the writing, with progress of its own.
  const QStringList allItems = recorder.Only(QStringLiteral("Item "));
  const QStringList items = allItems.mid(0, allItems.indexOf(QStringLiteral("0: Verifying archive...")));
  QVERIFY(items.size() < allItems.size());
  const qsizetype start = items.indexOf(QStringLiteral("0: Starting 7z compression..."));
  QCOMPARE(items.mid(0, start), (QStringList{QStringLiteral("0: Gathering details, please wait..."),
                                             QString(QStringLiteral("0: ") + a), QString(QStringLiteral("0: ") + b)}));
  // While writing, each file's percentage rises to 100 and the files come in list order.
  QList<QPair<QString, int>> writing;
  for (const QString& line : items.mid(start + 1)) {
    const qsizetype colon = line.indexOf(QStringLiteral(": "));
    writing << qMakePair(line.mid(colon + 2), line.left(colon).toInt());
  }
  QVERIFY(!writing.isEmpty());
  QString current;
  int last = 0;
  for (const auto& [name, perCent] : std::as_const(writing)) {
    if (name != current) {
      QVERIFY2(current.isEmpty() || last == 100, qPrintable(current));
      QVERIFY(current.isEmpty() || (current == a && name == b));
      current = name;
      last = 0;
    }
    QVERIFY(perCent >= last && perCent <= 100);
    last = perCent;
  }
  QCOMPARE(current, b);
  QCOMPARE(last, 100);
  // Total progress names the archive and rises to 100.
  QStringList totals = recorder.Only(QStringLiteral("Total ")).mid(1);
  QCOMPARE(totals.takeLast(), QStringLiteral("100: Verifying archive..."));
  QVERIFY(!totals.isEmpty());
  QList<int> perCents;
  for (const QString& line : totals) {
    QVERIFY2(line.endsWith(QString(QStringLiteral(": ") + archive)), qPrintable(line));
    perCents << line.left(line.indexOf(QLatin1Char(':'))).toInt();
  }
  QVERIFY(std::is_sorted(perCents.begin(), perCents.end()));
  QCOMPARE(perCents.last(), 100);
  QVERIFY(!backup.Busy());
}

void TestSevenZipBackup::passwordHidesNamesUnlessBlank()
{
  TTempTree tree;
  QVERIFY(WriteBytes(tree("secret.txt"), QByteArray(20000, 's')));
  const QString archive = tree.Name("secret.7z");
  const QByteArray name = EntryName(tree("secret.txt"));

  // One engine for every run, as the profile manager keeps it.
  TBackup backup;
  backup.SetZipType(zSeven);
  backup.SetZipFileName(archive);
  backup.Files()->Add(tree.Path(), QStringLiteral("*.txt"), false);
  for (const QString& password : {QStringLiteral("pässwörd"), QStringLiteral(" padded "), QStringLiteral("   ")}) {
    backup.SetZipPassword(password);
    QStringList result;
    QCOMPARE(backup.Backup(&result), brComplete);

    const T7zResult plain = Run7z({QStringLiteral("l"), QStringLiteral("-slt"), archive});
    const T7zResult wrong = Run7z({QStringLiteral("t"), QStringLiteral("-pwrong"), archive});
    QVERIFY(wrong.ExitCode != 0);
    const auto entry = List7z(archive, password).value(name);
    QCOMPARE(entry.value("Encrypted"), QByteArray("+"));
    QVERIFY2(entry.value("Method").contains("7zAES"), entry.value("Method").constData());
    const T7zResult right = Run7z({QStringLiteral("t"), QString(QStringLiteral("-p") + password), archive});
    QVERIFY2(right.ExitCode == 0, right.Output.constData());
    if (!password.trimmed().isEmpty()) {
      // The names are hidden too: nothing is listed without the password.
      QVERIFY(plain.ExitCode != 0);
      QVERIFY2(!plain.Output.contains(name), plain.Output.constData());
      // The password is used as given, untrimmed.
      const T7zResult trimmed =
          Run7z({QStringLiteral("t"), QString(QStringLiteral("-p") + password.trimmed()), archive});
      QCOMPARE(trimmed.ExitCode != 0, password != password.trimmed());
    } else {
      // Spaces encrypt the data but leave the names readable, also after runs with a password.
      QVERIFY2(plain.ExitCode == 0, plain.Output.constData());
      QVERIFY2(plain.Output.contains(QByteArray("Path = " + name)), plain.Output.constData());
    }
  }
}

void TestSevenZipBackup::volumesMakeTheResultList()
{
  TTempTree tree;
  QVERIFY(MakeDir(tree("src")));
  QVERIFY(MakeDir(tree("out")));
  QVERIFY(WriteBytes(tree("src/noise.bin"), NoiseBytes(250000, 3)));
  const QString archive = tree.Name("out/split.7z");
  // Volumes of an earlier, longer archive beyond the new last one are not reported.
  QVERIFY(WriteBytes(tree("out/split.7z.004"), "older"));

  TBackup backup;
  TRecorder recorder(backup);
  Configure(backup, archive, tree.Name("src"));
  backup.SetZipCompression(zcNone);
  backup.SetVolumeSize(100000);
  QStringList result;
  QCOMPARE(backup.Backup(&result), brComplete);
  const QStringList volumes{archive + QStringLiteral(".001"), archive + QStringLiteral(".002"),
                            archive + QStringLiteral(".003")};
  QCOMPARE(result, volumes);
  QCOMPARE(QFileInfo(volumes[0]).size(), 100000);
  QCOMPARE(QFileInfo(volumes[1]).size(), 100000);
  QVERIFY(QFileInfo(volumes[2]).size() > 50000 && QFileInfo(volumes[2]).size() < 100000);
  QVERIFY(!QFileInfo::exists(archive));
  QCOMPARE(Leftovers(tree.Name("out"), {QStringLiteral("split.7z.001"), QStringLiteral("split.7z.002"),
                                        QStringLiteral("split.7z.003"), QStringLiteral("split.7z.004")}),
           QStringList());

  QVERIFY(recorder.Debugs.contains(QStringLiteral("Backup: Volumesize: 100000")));
  QStringList reported = recorder.Debugs.filter(QStringLiteral("Backup: Zip Volumes: "));
  QCOMPARE(reported.takeFirst(), QStringLiteral("Backup: Zip Volumes: 3 file(s)"));
  for (QString& line : reported)
    line.remove(0, 21);
  QCOMPARE(reported, volumes);

  const T7zResult test = Run7z({QStringLiteral("t"), volumes[0]});
  QVERIFY2(test.ExitCode == 0, test.Output.constData());
  const T7zResult extract =
      Run7z({QStringLiteral("x"), QStringLiteral("-y"), QString(QStringLiteral("-o") + tree.Name("x")), volumes[0]});
  QVERIFY2(extract.ExitCode == 0, extract.Output.constData());
  QCOMPARE(ReadBytes(tree("x/" + EntryName(tree("src/noise.bin")))), NoiseBytes(250000, 3));
}

void TestSevenZipBackup::archiveInsideTheSourceIsLeftOut()
{
  TTempTree tree;
  QVERIFY(MakeDir(tree("src")));
  QVERIFY(MakeDir(tree("src/sub")));
  QVERIFY(WriteBytes(tree("src/data.bin"), NoiseBytes(3000, 5)));
  // Names like the archive's that are not its files stay in.
  QVERIFY(WriteBytes(tree("src/self.7z.12"), "two digits"));
  QVERIFY(WriteBytes(tree("src/self.7z.notes"), "notes"));
  QVERIFY(WriteBytes(tree("src/sub/self.7z"), "another folder"));
  const QStringList kept{QStringLiteral("data.bin"), QStringLiteral("self.7z.12"), QStringLiteral("self.7z.notes"),
                         QStringLiteral("sub/self.7z")};
  // Spelt differently from the folder the search walks.
  const QString archive = tree.Name("src/sub/../self.7z");

  TBackup backup;
  TRecorder recorder(backup);
  Configure(backup, archive, tree.Name("src"));
  backup.SetZipCompression(zcNone);
  QStringList result;
  // One file, then volumes: the files of either earlier run are left out.
  for (const qint32 volumeSize : {0, 0, 1000, 1000}) {
    backup.SetVolumeSize(volumeSize);
    recorder.Logs.clear();
    QCOMPARE(backup.Backup(&result), brComplete);
    const auto entries = List7z(result.value(0));
    QStringList names;
    for (auto it = entries.begin(); it != entries.end(); ++it) {
      if (!it.key().isEmpty())
        names << QString::fromUtf8(it.key()).mid(tree.Name("src/").size() - 1);
    }
    names.sort();
    QCOMPARE(names, kept);
  }
  QVERIFY(recorder.Logs.contains(QString(QStringLiteral("Skipped, the archive itself: ") + tree.Name("src/self.7z"))));
  QVERIFY(
      recorder.Logs.contains(QString(QStringLiteral("Skipped, the archive itself: ") + tree.Name("src/self.7z.001"))));
}

void TestSevenZipBackup::cancelKeepsThePreviousArchive()
{
  TTempTree tree;
  QVERIFY(MakeDir(tree("src")));
  QVERIFY(MakeDir(tree("out")));
  QVERIFY(WriteBytes(tree("src/a-small.txt"), "small"));
  QVERIFY(WriteBytes(tree("src/b-large.bin"), NoiseBytes(3 << 20, 4)));
  QVERIFY(WriteBytes(tree("src/c-after.txt"), "after"));
  const QString archive = tree.Name("out/backup.7z");
  const QString large = tree.Name("src/b-large.bin");

  TBackup backup;
  TRecorder recorder(backup);
  SortFileList(backup);
  Configure(backup, archive, tree.Name("src"));
  backup.SetZipCompression(zcFast);
  QStringList result;
  QCOMPARE(backup.Backup(&result), brComplete);
  const QByteArray previous = ReadBytes(tree("out/backup.7z"));
  QVERIFY(!previous.isEmpty());

  // Cancelled when the large file starts, while the writer runs; and cancelled before it starts.
  const auto record7z = backup.OnLog;
  const auto recordItem = backup.OnItemProgress;
  for (const bool whileWriting : {true, false}) {
    recorder.Lines.clear();
    recorder.Logs.clear();
    backup.OnLog = [&](QObject* ASender, const QString& AMessage, int ACode) {
      record7z(ASender, AMessage, ACode);
      if (whileWriting && AMessage.startsWith(large))
        backup.Cancel();
    };
    backup.OnItemProgress = [&](QObject* ASender, const QString& AMessage, int AProgress) {
      recordItem(ASender, AMessage, AProgress);
      if (!whileWriting && AMessage == QStringLiteral("Starting 7z compression..."))
        backup.Cancel();
    };
    result = QStringList{QStringLiteral("left over")};
    QCOMPARE(backup.Backup(&result), brCancelled);
    QVERIFY(result.isEmpty());
    QCOMPARE(ReadBytes(tree("out/backup.7z")), previous);
    QCOMPARE(Leftovers(tree.Name("out"), {QStringLiteral("backup.7z")}), QStringList());
    QVERIFY(!recorder.Lines.contains(
        QString(QStringLiteral("Log 0: ") + tree.Name("src/c-after.txt") + QStringLiteral(" (5)"))));
    if (whileWriting) {
      QVERIFY2(
          std::any_of(recorder.Lines.begin(), recorder.Lines.end(),
                      [](const QString& ALine) { return ALine == QStringLiteral("Log 6: User canceled operation"); }),
          qPrintable(recorder.Lines.join(QLatin1Char('\n'))));
    }
    QCOMPARE(recorder.Lines.mid(recorder.Lines.size() - 3),
             (QStringList{QStringLiteral("Debug Backup: Zip Volumes: 0 file(s)"),
                          QStringLiteral("Log 1: Backup Cancelled."), QStringLiteral("Finished 2")}));
    QVERIFY(!backup.Busy());
  }

  // An exception out of a handler while writing stops the writer the same way, and leaves Backup.
  backup.OnItemProgress = recordItem;
  backup.OnLog = [&](QObject* ASender, const QString& AMessage, int ACode) {
    record7z(ASender, AMessage, ACode);
    if (AMessage.startsWith(large))
      throw std::runtime_error("log is full");
  };
  QVERIFY_THROWS_EXCEPTION(std::runtime_error, (void)backup.Backup(&result));
  QCOMPARE(ReadBytes(tree("out/backup.7z")), previous);
  QCOMPARE(Leftovers(tree.Name("out"), {QStringLiteral("backup.7z")}), QStringList());

  // The request does not outlive its run.
  backup.OnLog = record7z;
  backup.OnItemProgress = recordItem;
  QCOMPARE(backup.Backup(&result), brComplete);
  QCOMPARE(result, QStringList{archive});
  const T7zResult test = Run7z({QStringLiteral("t"), archive});
  QVERIFY2(test.ExitCode == 0, test.Output.constData());
}

void TestSevenZipBackup::unreadableFileFailsTheRun()
{
  TTempTree tree;
  QVERIFY(::chmod(tree.Root().constData(), 0755) == 0);
  QVERIFY(MakeDir(tree("src")));
  QVERIFY(MakeDir(tree("out"), 0777));
  QVERIFY(::chmod(tree("out").constData(), 0777) == 0);
  QVERIFY(WriteBytes(tree("src/a.txt"), "readable"));
  QVERIFY(WriteBytes(tree("src/b-locked.txt"), "locked"));
  QVERIFY(::chmod(tree("src/b-locked.txt").constData(), 0) == 0);
  QVERIFY(WriteBytes(tree("out/backup.7z"), "the previous archive"));
  QVERIFY(::chmod(tree("out/backup.7z").constData(), 0666) == 0);
  const QString archive = tree.Name("out/backup.7z");
  const QString locked = tree.Name("src/b-locked.txt");

  TBackup backup;
  TRecorder recorder(backup);
  Configure(backup, archive, tree.Name("src"));
  QStringList result;
  // Root reads everything: the run drops to an ordinary user.
  const bool root = ::geteuid() == 0;
  if (root)
    QCOMPARE(::seteuid(65534), 0);
  const TBackupResult outcome = backup.Backup(&result);
  if (root)
    QCOMPARE(::seteuid(0), 0);
  QCOMPARE(outcome, brFailed);
  QVERIFY(result.isEmpty());
  const QStringList failures = recorder.Only(QStringLiteral("Log 12: "));
  QCOMPARE(failures.size(), 1);
  QVERIFY2(failures[0].startsWith(QString(QStringLiteral("Could not read file: ") + locked)), qPrintable(failures[0]));
  QCOMPARE(recorder.Logs.last(), QStringLiteral("Backup Failed."));
  QCOMPARE(ReadBytes(tree("out/backup.7z")), QByteArray("the previous archive"));
  QCOMPARE(Leftovers(tree.Name("out"), {QStringLiteral("backup.7z")}), QStringList());
}

void TestSevenZipBackup::writerFailuresEndTheRunAsFailed()
{
  TTempTree tree;
  QVERIFY(WriteBytes(tree("file.txt"), "content"));

  // An archive that cannot be created: the writer's message, then the usual end.
  {
    TBackup backup;
    TRecorder recorder(backup);
    const QString archive = tree.Name("no such folder/out.7z");
    Configure(backup, archive, tree.Path());
    QStringList result;
    QCOMPARE(backup.Backup(&result), brFailed);
    QVERIFY(result.isEmpty());
    const QStringList created = recorder.Only(QStringLiteral("Log 11: "));
    QCOMPARE(created.size(), 1);
    QVERIFY2(created[0].startsWith(QString(QStringLiteral("Could not create file: ") + archive)),
             qPrintable(created[0]));
    QCOMPARE(recorder.Lines.mid(recorder.Lines.size() - 2),
             (QStringList{QStringLiteral("Log 1: Backup Failed."), QStringLiteral("Finished 1")}));
    QVERIFY(!backup.Busy());
  }

  // Without a usable 7z library the engine is still built; 7z runs fail before the search,
  // ZIP runs go on.
  {
    TBackup backup(QStringList{tree.Name("missing/7z.so"), tree.Name("file.txt")}, nullptr);
    TRecorder recorder(backup);
    Configure(backup, tree.Name("out.7z"), tree.Path());
    QStringList result;
    QCOMPARE(backup.Backup(&result), brFailed);
    QCOMPARE(recorder.Lines,
             (QStringList{QStringLiteral("Log 0: Initialising backup, please wait..."),
                          QStringLiteral("Total 0: Gathering details, please wait..."),
                          QStringLiteral("Item 0: Gathering details, please wait..."),
                          QStringLiteral(
                              "Log 2: Could not load CreateObject function from 7za.dll\r\nPerhaps 7za.dll not found"),
                          QStringLiteral("Log 1: Backup Failed."), QStringLiteral("Finished 1")}));
    backup.Cancel();
    backup.SetZipType(zZip);
    backup.SetZipFileName(tree.Name("out.zip"));
    QCOMPARE(backup.Backup(&result), brComplete);
    QCOMPARE(result, QStringList{tree.Name("out.zip")});
  }
}

QTEST_GUILESS_MAIN(TestSevenZipBackup)
#include "tst_7zbackup.moc"
