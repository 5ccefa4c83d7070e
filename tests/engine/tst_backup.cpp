// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineTestSupport.h"
#include "engine/TBackup.h"

#include <QRegularExpression>
#include <QTest>

using namespace EngineTest;

class TestBackup : public QObject
{
  Q_OBJECT

private slots:
  void constructionDefaults();
  void missingResultListRaisesBeforeAnyEvent();
  void zipRunReportsInOrder();
  void listHandlersDecideWhatIsWritten();
  void sevenZipListFilterComparesWholePathsIgnoringCase();
  void emptyListEndsEachTypeWithItsOwnText();
  void cancelDuringTheSearchSkipsTheRemainingEntries();
  void cancelAfterASuccessfulWriteStillCancels();
  void busyFollowsTheRunningWriter();
  void splitAndMergeFiles();
};

namespace {

// Lines without the per-file progress, which depends on the order the file system returns.
QStringList WithoutProgress(const QStringList& ALines)
{
  QStringList result;
  for (const QString& line : ALines) {
    if (!line.startsWith(QStringLiteral("Search")) && !line.startsWith(QStringLiteral("Item ")) &&
        !line.startsWith(QStringLiteral("Total ")))
      result << line;
  }
  return result;
}

} // namespace

void TestBackup::constructionDefaults()
{
  TBackup backup;
  QCOMPARE(backup.Files()->Count(), 0);
  QCOMPARE(backup.Exclusions()->Count(), 0);
  QVERIFY(backup.Files() != backup.Exclusions());
  QVERIFY(backup.DllDirectory().isEmpty());
  QVERIFY(backup.ZipFileName().isEmpty());
  QCOMPARE(backup.ZipType(), zSeven);
  QCOMPARE(backup.ZipCompression(), zcMaximum);
  QVERIFY(backup.ZipDescription().isEmpty());
  QVERIFY(backup.ZipPassword().isEmpty());
  QCOMPARE(backup.VolumeSize(), 0);
  QVERIFY(!backup.SystemState());
  QVERIFY(!backup.Busy());
  backup.SetDllDirectory(QStringLiteral("/opt/corvale/"));
  QCOMPARE(backup.DllDirectory(), QStringLiteral("/opt/corvale/"));
  // The stored ordinals: success reads as 0.
  QCOMPARE(int(brComplete), 0);
  QCOMPARE(int(brCancelled), 2);
}

void TestBackup::missingResultListRaisesBeforeAnyEvent()
{
  for (const TZipType type : {zZip, zSeven, zNTBackup}) {
    TBackup backup;
    TRecorder recorder(backup);
    backup.SetZipType(type);
    backup.Files()->Add(QStringLiteral("/tmp"), QStringLiteral("*.*"), false);
    try {
      (void)backup.Backup(nullptr);
      QFAIL("no exception");
    } catch (const EBackupException& AError) {
      QCOMPARE(AError.Message(), QStringLiteral("ZIPFileList has not been assigned."));
    }
    QVERIFY(recorder.Lines.isEmpty());
    QVERIFY(!backup.Busy());
  }
}

void TestBackup::zipRunReportsInOrder()
{
  TTempTree tree;
  QVERIFY(MakeDir(tree("data")));
  QVERIFY(WriteBytes(tree("data/one.txt"), "first"));
  QVERIFY(WriteBytes(tree("data/two.txt"), "second"));
  const QString data = tree.Path() + QStringLiteral("/data");
  const QString archive = tree.Path() + QStringLiteral("/out.zip");

  TBackup backup;
  TRecorder recorder(backup);
  backup.SetZipType(zZip);
  backup.SetZipFileName(archive);
  backup.Files()->Add(data, QStringLiteral("*.*"), true);

  QStringList result{QStringLiteral("left over")};
  QCOMPARE(backup.Backup(&result), brComplete);
  QCOMPARE(result, QStringList{archive});
  QVERIFY(QFile::exists(archive));

  const QStringList expected{
      QStringLiteral("Log 0: Initialising backup, please wait..."),
      QStringLiteral("Log 0: LoadZipDll: True ") + recorder.Logs.value(1).mid(17),
      QStringLiteral("Log 0: Generating file list..."),
      QStringLiteral("Debug GenerateFileList: Items: 1"),
      QString(QStringLiteral("Debug GenerateFileList: ") + data + QStringLiteral("/*.*, Recursive: True")),
      QString(QStringLiteral("Log 0: Scanning: ") + data + QStringLiteral("/*.*, Recursive: True")),
      QStringLiteral("Debug GenerateFileList: Cancelled: False"),
      QStringLiteral("Debug GenerateFileList: Items: 0"),
      QStringLiteral("Debug GenerateFileList: Cancelled: False"),
      QStringLiteral("Log 0: Processing file list..."),
      QStringLiteral("FileList 2"),
      QStringLiteral("Log 0: Processing exclusion file list..."),
      QStringLiteral("ExclusionList 0"),
      QStringLiteral("Debug GenerateFileList: Include Count: 2"),
      QStringLiteral("Debug GenerateFileList: Exclude Count: 0"),
      QStringLiteral("Log 0: Backup in progress, Please wait..."),
      QStringLiteral("Debug GetZipCompression: Result: 9"),
      // The new archive is read back before it replaces the previous one.
      QStringLiteral("Log 0: Verifying archive..."),
      QStringLiteral("Log 0: Archive verified: 2 entries read back intact."),
      QString(QStringLiteral("Log 0: Added 2 files to ") + archive),
      QStringLiteral("Log 0: Backup Complete."),
      QStringLiteral("Finished 0"),
  };
  QCOMPARE(WithoutProgress(recorder.Lines), expected);

  // The load line names libzip's shared object and its version.
  const QString load = recorder.Logs.value(1);
  QVERIFY2(load.contains(QStringLiteral("/libzip.so")), qPrintable(load));
  QVERIFY2(QRegularExpression(QStringLiteral(" \\d+\\.\\d+(\\.\\d+)?$")).match(load).hasMatch(), qPrintable(load));

  // The progress steps of the common start, then the writer's.
  QCOMPARE(recorder.Lines.value(1), QStringLiteral("Total 0: Gathering details, please wait..."));
  QCOMPARE(recorder.Lines.value(2), QStringLiteral("Item 0: Gathering details, please wait..."));
  QCOMPARE(recorder.Only(QStringLiteral("Search 0: ")).size(), 2);
  const qsizetype start = recorder.Lines.indexOf(QStringLiteral("Item 0: Starting ZIP compression..."));
  QVERIFY(start > recorder.Lines.indexOf(QStringLiteral("Debug GetZipCompression: Result: 9")));
  QCOMPARE(recorder.TotalPerCents.last(), 100);
  // The writing reaches 100 before the new archive is read back.
  const qsizetype verifying = recorder.Lines.indexOf(QStringLiteral("Total 100: Verifying archive..."));
  QVERIFY(verifying > 0);
  QCOMPARE(recorder.Lines.lastIndexOf(QString(QStringLiteral("Total 100: ") + archive), verifying), verifying - 3);

  // Collections report with themselves as sender; everything else comes from the engine.
  const qsizetype scanning = recorder.Lines.indexOf(
      QString(QStringLiteral("Log 0: Scanning: ") + data + QStringLiteral("/*.*, Recursive: True")));
  QCOMPARE(recorder.Senders.value(scanning), QStringLiteral("collection"));
  QCOMPARE(recorder.Senders.value(scanning - 1), QStringLiteral("collection"));
  QCOMPARE(recorder.Senders.value(scanning + 1), QStringLiteral("collection")); // search progress
  QCOMPARE(recorder.Senders.value(0), QStringLiteral("backup"));
  QCOMPARE(recorder.Senders.last(), QStringLiteral("backup"));

  // Handlers assigned after construction (and changed between runs) reach the collections.
  QStringList later;
  backup.OnLog = [&](QObject*, const QString& AMessage, int) { later << AMessage; };
  QCOMPARE(backup.Backup(&result), brComplete);
  QVERIFY(later.contains(QString(QStringLiteral("Scanning: ") + data + QStringLiteral("/*.*, Recursive: True"))));

  // Each compression level is mapped onto the deflate scale.
  const QList<QPair<TZipCompression, QString>> levels{{zcNone, QStringLiteral("0")},
                                                      {zcFast, QStringLiteral("2")},
                                                      {zcNormal, QStringLiteral("5")},
                                                      {zcHigh, QStringLiteral("7")},
                                                      {zcMaximum, QStringLiteral("9")}};
  for (const auto& [compression, level] : levels) {
    recorder.Debugs.clear();
    backup.SetZipCompression(compression);
    QCOMPARE(backup.Backup(&result), brComplete);
    QVERIFY(recorder.Debugs.contains(QString(QStringLiteral("GetZipCompression: Result: ") + level)));
  }
}

void TestBackup::listHandlersDecideWhatIsWritten()
{
  TTempTree tree;
  QVERIFY(MakeDir(tree("data")));
  for (const QByteArray& name : {QByteArray("keep.txt"), QByteArray("drop.tmp"), QByteArray("Other.TMP")})
    QVERIFY(WriteBytes(tree("data/" + name), name));
  QVERIFY(WriteBytes(tree("extra.txt"), "extra"));
  const QString data = tree.Path() + QStringLiteral("/data");

  TBackup backup;
  TRecorder recorder(backup);
  backup.SetZipType(zZip);
  backup.SetZipFileName(tree.Path() + QStringLiteral("/out.zip"));
  backup.Files()->Add(data, QStringLiteral("*.*"), false);
  backup.Exclusions()->Add(data, QStringLiteral("*.tmp"), false);

  // The include handler adds a file; the exclusion handler keeps only one exclusion, in other case.
  backup.OnBackupFileList = [&](QObject* ASender, QStringList& AList) {
    QCOMPARE(ASender, &backup);
    QCOMPARE(AList.size(), 3);
    // A file listed twice is stored once.
    AList << tree.Name("extra.txt") << tree.Name("extra.txt");
  };
  backup.OnBackupFileExclusionList = [&](QObject*, QStringList& AList) {
    QCOMPARE(AList.size(), 2);
    AList = QStringList{tree.Name("data/drop.tmp").toUpper()};
  };
  QStringList result;
  QCOMPARE(backup.Backup(&result), brComplete);
  QVERIFY(recorder.Debugs.contains(QStringLiteral("GenerateFileList: Include Count: 5")));
  QVERIFY(recorder.Debugs.contains(QStringLiteral("GenerateFileList: Exclude Count: 1")));
  QVERIFY(recorder.Logs.contains(QString(QStringLiteral("Added 3 files to ") + result.value(0))));
}

void TestBackup::sevenZipListFilterComparesWholePathsIgnoringCase()
{
  TTempTree tree;
  QVERIFY(MakeDir(tree("Data")));
  QVERIFY(MakeDir(tree("Data/Sub")));
  QVERIFY(WriteBytes(tree("Data/a.tmp"), "a"));
  QVERIFY(WriteBytes(tree("Data/b.doc"), "b"));
  QVERIFY(WriteBytes(tree("Data/Sub/c.doc"), "c"));
  const QString data = tree.Path() + QStringLiteral("/Data");

  TBackup backup;
  TRecorder recorder(backup);
  backup.SetZipType(zSeven);
  backup.SetZipFileName(tree.Path() + QStringLiteral("/out.7z"));
  backup.Files()->Add(data, QStringLiteral("*.*"), false);
  backup.Files()->Add(data, QStringLiteral("b.doc"), false); // b.doc a second time
  backup.Exclusions()->Add(data, QStringLiteral("*.TMP"), false);
  // Files inside Sub are not in the include list, so excluding them removes nothing.
  backup.Exclusions()->Add(data + QStringLiteral("/Sub"), QStringLiteral("*.*"), false);
  // Whole paths compare without regard to case.
  backup.OnBackupFileExclusionList = [&](QObject*, QStringList& AList) {
    for (QString& path : AList)
      path = path.toLower();
  };

  QStringList result;
  QCOMPARE(backup.Backup(&result), brComplete);
  QCOMPARE(result, QStringList{tree.Path() + QStringLiteral("/out.7z")});

  QStringList filter;
  for (const QString& line : std::as_const(recorder.Debugs)) {
    if (line.startsWith(QStringLiteral("GenerateFileList: Add: ")) ||
        line.startsWith(QStringLiteral("GenerateFileList: Exclude: ")) ||
        line.startsWith(QStringLiteral("GenerateFileList: Include Count")))
      filter << line.mid(18);
  }
  QCOMPARE(filter.size(), 4);
  QVERIFY(filter.contains(QString(QStringLiteral("Exclude: ") + data + QStringLiteral("/a.tmp"))));
  QCOMPARE(filter.count(QString(QStringLiteral("Add: ") + data + QStringLiteral("/b.doc"))), 2);
  QCOMPARE(filter.last(), QStringLiteral("Include Count: 2"));
  // Every include entry is shown as item progress before it is judged.
  QCOMPARE(recorder.ItemPerCents.count(qMakePair(QString(data + QStringLiteral("/b.doc")), 0)), 2);
}

void TestBackup::emptyListEndsEachTypeWithItsOwnText()
{
  TTempTree tree;
  QVERIFY(MakeDir(tree("empty")));
  for (const TZipType type : {zZip, zSeven}) {
    TBackup backup;
    TRecorder recorder(backup);
    backup.SetZipType(type);
    backup.SetZipFileName(tree.Path() + QStringLiteral("/out.zip"));
    backup.SetSystemState(true);
    backup.Files()->Add(tree.Path() + QStringLiteral("/empty"), QStringLiteral("*.*"), true);
    backup.Files()->Add(tree.Path() + QStringLiteral("/does not exist"), QStringLiteral("*.*"), true);
    QStringList result;
    QCOMPARE(backup.Backup(&result), brFailed);
    QVERIFY(result.isEmpty());
    const QString text = type == zZip ? QStringLiteral("File list is empty, backup cannot continue")
                                      : QStringLiteral("File list is empty, backup cannot continue.");
    QVERIFY(recorder.Lines.contains(QString(QStringLiteral("Log 1: ") + text)));
    QCOMPARE(recorder.Lines.mid(recorder.Lines.size() - 2),
             (QStringList{QStringLiteral("Log 1: Backup Failed."), QStringLiteral("Finished 1")}));
    // Nothing is written, and no system state is saved for an empty list.
    QVERIFY(!recorder.Lines.contains(QStringLiteral("Log 0: Backup in progress, Please wait...")));
    QVERIFY(!recorder.Debugs.contains(QStringLiteral("AddSystemState: System state backup is not available.")));
    QVERIFY(!QFile::exists(tree.Path() + QStringLiteral("/out.zip")));
  }
}

void TestBackup::cancelDuringTheSearchSkipsTheRemainingEntries()
{
  TTempTree tree;
  for (const QByteArray& folder : {QByteArray("big"), QByteArray("later"), QByteArray("excluded")}) {
    QVERIFY(MakeDir(tree(folder)));
    QVERIFY(MakeDir(tree(folder + "/deep")));
    for (int i = 0; i < 4; ++i) {
      QVERIFY(WriteBytes(tree(folder + "/f" + QByteArray::number(i)), "x"));
      QVERIFY(WriteBytes(tree(folder + "/deep/g" + QByteArray::number(i)), "y"));
    }
  }

  for (const TZipType type : {zZip, zSeven}) {
    TBackup backup;
    TRecorder recorder(backup);
    backup.SetZipType(type);
    backup.SetZipFileName(tree.Path() + QStringLiteral("/out.zip"));
    backup.Files()->Add(tree.Path() + QStringLiteral("/big"), QStringLiteral("*.*"), true);
    backup.Files()->Add(tree.Path() + QStringLiteral("/later"), QStringLiteral("*.*"), true);
    backup.Exclusions()->Add(tree.Path() + QStringLiteral("/excluded"), QStringLiteral("*.*"), true);
    backup.Exclusions()->Add(tree.Path() + QStringLiteral("/later"), QStringLiteral("*.*"), true);
    bool asked = false;
    auto onSearch = backup.OnFileSearchProgress;
    backup.OnFileSearchProgress = [&](QObject* ASender, const QString& AMessage, int AProgress) {
      onSearch(ASender, AMessage, AProgress);
      if (!asked) {
        asked = true;
        backup.Cancel();
      }
    };

    QStringList result;
    QCOMPARE(backup.Backup(&result), brCancelled);
    QVERIFY(result.isEmpty());
    // The first entry's search ran to its end; the second include entry was never searched.
    QCOMPARE(recorder.IncludeList.size(), 8);
    QVERIFY(!recorder.Logs.contains(
        QString(QStringLiteral("Scanning: ") + tree.Path() + QStringLiteral("/later/*.*, Recursive: True"))));
    // The exclusions start afresh and pick the request up at their first file: that entry's
    // search still runs to its end, the next one is skipped.
    QCOMPARE(recorder.ExclusionList.size(), 8);
    QVERIFY(recorder.Debugs.contains(QStringLiteral("InternalOnSearchProgress: Cancel request.")));
    const QString text = type == zZip ? QStringLiteral("File list is empty, backup cannot continue")
                                      : QStringLiteral("File list is empty, backup cannot continue.");
    QCOMPARE(recorder.Lines.mid(recorder.Lines.size() - 3),
             (QStringList{QString(QStringLiteral("Log 1: ") + text), QStringLiteral("Log 1: Backup Cancelled."),
                          QStringLiteral("Finished 2")}));
    QVERIFY(!QFile::exists(tree.Path() + QStringLiteral("/out.zip")));
  }
}

void TestBackup::cancelAfterASuccessfulWriteStillCancels()
{
  TTempTree tree;
  QVERIFY(WriteBytes(tree("file.txt"), "content"));
  const QString archive = tree.Path() + QStringLiteral("/out.zip");

  TBackup backup;
  TRecorder recorder(backup);
  backup.SetZipType(zZip);
  backup.SetZipFileName(archive);
  backup.Files()->Add(tree.Path(), QStringLiteral("*.txt"), false);
  auto onLog = backup.OnLog;
  backup.OnLog = [&](QObject* ASender, const QString& AMessage, int ACode) {
    onLog(ASender, AMessage, ACode);
    if (AMessage.startsWith(QStringLiteral("Added ")))
      backup.Cancel();
  };
  QStringList result;
  QCOMPARE(backup.Backup(&result), brCancelled);
  QCOMPARE(result, QStringList{archive});
  QVERIFY(QFile::exists(archive));
  QCOMPARE(recorder.Logs.last(), QStringLiteral("Backup Cancelled."));
  QVERIFY(!recorder.Logs.contains(QStringLiteral("Backup Complete.")));

  // The next run starts without the old request.
  backup.OnLog = onLog;
  QCOMPARE(backup.Backup(&result), brComplete);

  // A request from the very first report of a run is not lost.
  auto onTotal = backup.OnTotalProgress;
  backup.OnTotalProgress = [&](QObject* ASender, const QString& AMessage, int AProgress) {
    onTotal(ASender, AMessage, AProgress);
    if (AMessage == QStringLiteral("Gathering details, please wait..."))
      backup.Cancel();
  };
  QCOMPARE(backup.Backup(&result), brCancelled);
  QCOMPARE(recorder.Logs.last(), QStringLiteral("Backup Cancelled."));
}

void TestBackup::busyFollowsTheRunningWriter()
{
  TTempTree tree;
  QVERIFY(WriteBytes(tree("file.txt"), "content"));

  // ZIP: busy while the ZIP component writes, not while the list is prepared.
  {
    TBackup backup;
    backup.SetZipType(zZip);
    backup.SetZipFileName(tree.Path() + QStringLiteral("/out.zip"));
    backup.Files()->Add(tree.Path(), QStringLiteral("*.txt"), false);
    bool busyInList = true;
    bool busyWhileWriting = false;
    backup.OnBackupFileList = [&](QObject*, QStringList&) { busyInList = backup.Busy(); };
    backup.OnItemProgress = [&](QObject*, const QString& AMessage, int) {
      if (AMessage.endsWith(QStringLiteral("file.txt")))
        busyWhileWriting = backup.Busy();
    };
    QStringList result;
    QCOMPARE(backup.Backup(&result), brComplete);
    QVERIFY(!busyInList);
    QVERIFY(busyWhileWriting);
    QVERIFY(!backup.Busy());
  }
  // 7z: busy from the start of the run to its end. NT Backup: never.
  for (const TZipType type : {zSeven, zNTBackup}) {
    TBackup backup;
    backup.SetZipType(type);
    backup.SetZipFileName(tree.Path() + QStringLiteral("/out.7z"));
    backup.Files()->Add(tree.Path(), QStringLiteral("*.txt"), false);
    bool busy = type == zNTBackup;
    const QStringList outside{QStringLiteral("Initialising backup, please wait..."), QStringLiteral("Backup Complete."),
                              QStringLiteral("Backup Failed.")};
    backup.OnLog = [&](QObject*, const QString& AMessage, int) {
      if (outside.contains(AMessage))
        QVERIFY(!backup.Busy());
      else
        busy = backup.Busy();
    };
    QStringList result;
    QCOMPARE(backup.Backup(&result), type == zSeven ? brComplete : brFailed);
    QCOMPARE(busy, type == zSeven);
  }
  // An exception out of a handler during the run leaves the engine busy until the next run.
  {
    TBackup backup;
    backup.SetZipType(zSeven);
    backup.SetZipFileName(tree.Path() + QStringLiteral("/out.7z"));
    backup.Files()->Add(tree.Path(), QStringLiteral("*.txt"), false);
    backup.OnBackupFileList = [](QObject*, QStringList&) { throw std::runtime_error("handler failed"); };
    QStringList result;
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, (void)backup.Backup(&result));
    QVERIFY(backup.Busy());
    backup.OnBackupFileList = {};
    QCOMPARE(backup.Backup(&result), brComplete);
    QVERIFY(!backup.Busy());
  }
}

void TestBackup::splitAndMergeFiles()
{
  TTempTree tree;
  TBackup backup;
  for (const int size : {250, 200}) {
    const QByteArray content = NoiseBytes(size, 7);
    const QByteArray name = "backup" + QByteArray::number(size);
    QVERIFY(WriteBytes(tree(name + ".zip"), content));
    backup.SplitFile(tree.Name(name + ".zip"), 100);
    QCOMPARE(ReadBytes(tree(name + "._1")), content.mid(0, 100));
    QCOMPARE(ReadBytes(tree(name + "._2")), content.mid(100, 100));
    QCOMPARE(ReadBytes(tree(name + "._3")), content.mid(200));
    QCOMPARE(ReadBytes(tree(name + "._3")).size(), size - 200);
    QVERIFY(::access(tree(name + "._4").constData(), F_OK) != 0);
    // The source stays as it was.
    QCOMPARE(ReadBytes(tree(name + ".zip")), content);

    backup.MergeFiles(tree.Name(name + "._1"), tree.Name(name + ".joined"));
    QCOMPARE(ReadBytes(tree(name + ".joined")), content);
    // The parts stay in place.
    QVERIFY(::access(tree(name + "._3").constData(), F_OK) == 0);
  }

  // Without an extension the part number is appended; the folder's dots do not count.
  QVERIFY(MakeDir(tree("dir.d")));
  QVERIFY(WriteBytes(tree("dir.d/plain"), "abcdefg"));
  backup.SplitFile(tree.Name("dir.d/plain"), 3);
  QCOMPARE(ReadBytes(tree("dir.d/plain._3")), QByteArray("g"));
  // Splitting again replaces the parts; merging replaces the destination.
  QVERIFY(WriteBytes(tree("dir.d/plain"), "xy"));
  QVERIFY(WriteBytes(tree("dir.d/merged"), "old content that is longer"));
  backup.SplitFile(tree.Name("dir.d/plain"), 3);
  QCOMPARE(ReadBytes(tree("dir.d/plain._1")), QByteArray("xy"));
  backup.MergeFiles(tree.Name("dir.d/plain._1"), tree.Name("dir.d/merged"));
  // The later parts of the earlier split are still there and join in: every existing name counts.
  QCOMPARE(ReadBytes(tree("dir.d/merged")), QByteArray("xydefg"));

  // Names that are not UTF-8 are split by their bytes.
  QVERIFY(WriteBytes(tree("r\xe9sum\xe9.doc"), "12345"));
  backup.SplitFile(tree.Name("r\xe9sum\xe9.doc"), 4);
  QCOMPARE(ReadBytes(tree("r\xe9sum\xe9._2")), QByteArray("5"));

  // File errors are raised.
  try {
    backup.SplitFile(tree.Name("missing.zip"), 100);
    QFAIL("no exception");
  } catch (const EBackupException& AError) {
    QVERIFY2(AError.Message().startsWith(QStringLiteral("Cannot open file \"")), qPrintable(AError.Message()));
  }
  try {
    backup.MergeFiles(tree.Name("backup250._1"), tree.Name("no such folder/out"));
    QFAIL("no exception");
  } catch (const EBackupException& AError) {
    QVERIFY2(AError.Message().startsWith(QStringLiteral("Cannot create file \"")), qPrintable(AError.Message()));
  }
  QVERIFY_THROWS_EXCEPTION(EBackupException, backup.SplitFile(tree.Name("backup250.zip"), 0));
  // A destination that is one of the parts would grow without end; both are refused before
  // anything is truncated, and so is a file named like its own first part.
  const QByteArray secondPart = ReadBytes(tree("backup250._2"));
  QVERIFY_THROWS_EXCEPTION(EBackupException, backup.MergeFiles(tree.Name("backup250._1"), tree.Name("backup250._2")));
  QCOMPARE(ReadBytes(tree("backup250._2")), secondPart);
  QVERIFY(WriteBytes(tree("self._1"), "whole file"));
  QVERIFY_THROWS_EXCEPTION(EBackupException, backup.SplitFile(tree.Name("self._1"), 4));
  QCOMPARE(ReadBytes(tree("self._1")), QByteArray("whole file"));
}

QTEST_GUILESS_MAIN(TestBackup)
#include "tst_backup.moc"
