// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineTestSupport.h"
#include "engine/TBackupFiles.h"

#include <QTest>

using namespace EngineTest;

class TestBackupFiles : public QObject
{
  Q_OBJECT

private slots:
  void addReportsAndLookupIgnoresOnlyAsciiCase();
  void generateFileListReportsEachEntry();
  void cancelTakesEffectBeforeTheNextEntry();
};

void TestBackupFiles::addReportsAndLookupIgnoresOnlyAsciiCase()
{
  TBackupFiles files;
  QStringList debug;
  files.OnDebug = [&](QObject* ASender, const QString& AProcedure, const QString& AMessage) {
    QCOMPARE(ASender, &files);
    debug << QString(AProcedure + QLatin1Char('|') + AMessage);
  };

  TBackupFile* data = files.Add(QStringLiteral("/home/Data"), QStringLiteral("*.*"), true);
  QCOMPARE(debug, QStringList{QStringLiteral("Add|/home/Data,*.*,True")});
  QCOMPARE(data->Folder(), QStringLiteral("/home/Data"));
  QCOMPARE(data->FileMask(), QStringLiteral("*.*"));
  QVERIFY(data->Recursive());
  files.Add(QStringLiteral("/home/Straße"), QStringLiteral("*.pst"), false);
  QCOMPARE(debug.last(), QStringLiteral("Add|/home/Straße,*.pst,False"));

  // The empty form reports nothing and appends an empty item.
  TBackupFile* empty = files.Add();
  QCOMPARE(debug.size(), 2);
  QCOMPARE(files.Count(), 3);
  QVERIFY(empty->Folder().isEmpty() && empty->FileMask().isEmpty() && !empty->Recursive());
  QCOMPARE(files.GetItem(2), empty);
  QCOMPARE(files.GetItem(3), nullptr);
  QCOMPARE(files.GetItem(-1), nullptr);

  QCOMPARE(files.IndexByName(QStringLiteral("/HOME/data")), 0);
  QCOMPARE(files.ItemByName(QStringLiteral("/home/DATA")), data);
  // Only a to z fold: other letters must match exactly.
  QCOMPARE(files.IndexByName(QStringLiteral("/home/STRASSE")), -1);
  QCOMPARE(files.IndexByName(QStringLiteral("/HOME/Straße")), 1);
  QCOMPARE(files.IndexByName(QStringLiteral("/home/straẞe")), -1);
  QCOMPARE(files.IndexByName(QStringLiteral("/home/Data/")), -1);
  QCOMPARE(files.ItemByName(QStringLiteral("/elsewhere")), nullptr);

  // The first of two equal folders is found.
  files.Add(QStringLiteral("/home/data"), QStringLiteral("*.doc"), false);
  QCOMPARE(files.IndexByName(QStringLiteral("/home/data")), 0);

  files.Clear();
  QCOMPARE(files.Count(), 0);
  QCOMPARE(files.IndexByName(QStringLiteral("/home/Data")), -1);
}

void TestBackupFiles::generateFileListReportsEachEntry()
{
  TTempTree tree;
  QVERIFY(tree.IsValid());
  QVERIFY(MakeDir(tree("docs")));
  QVERIFY(WriteBytes(tree("docs/a.txt"), "a"));
  QVERIFY(WriteBytes(tree("docs/.hidden.txt"), "h"));
  QVERIFY(WriteBytes(tree("docs/locked.txt"), "l"));
  QVERIFY(::chmod(tree("docs/locked.txt").constData(), 0444) == 0);
  QVERIFY(MakeDir(tree("docs/sub")));
  QVERIFY(WriteBytes(tree("docs/sub/b.txt"), "b"));
  QVERIFY(MakeDir(tree("docs/readonly")));
  QVERIFY(WriteBytes(tree("docs/readonly/c.txt"), "c"));
  QVERIFY(::chmod(tree("docs/readonly").constData(), 0555) == 0);
  QVERIFY(MakeDir(tree("docs/.hiddendir")));
  QVERIFY(WriteBytes(tree("docs/.hiddendir/d.txt"), "d"));

  TBackupFiles files;
  QStringList lines;
  files.OnDebug = [&](QObject*, const QString& AProcedure, const QString& AMessage) {
    lines << QString(QStringLiteral("Debug ") + AProcedure + QStringLiteral(": ") + AMessage);
  };
  files.OnLog = [&](QObject* ASender, const QString& AMessage, int ACode) {
    QCOMPARE(ASender, &files);
    lines << QStringLiteral("Log %1: %2").arg(ACode).arg(AMessage);
  };
  QStringList progress;
  files.OnProgress = [&](QObject* ASender, const QString& AMessage, int AProgress, bool& ACancel) {
    QCOMPARE(ASender, &files);
    QCOMPARE(AProgress, 0);
    QVERIFY(!ACancel);
    progress << AMessage;
  };

  const QString docs = tree.Path() + QStringLiteral("/docs");
  files.Add(docs, QStringLiteral("*.txt"), true);
  files.Add(docs + QLatin1Char('/'), QStringLiteral("a.TXT"), false);
  files.Add(tree.Path() + QStringLiteral("/missing"), QStringLiteral("*.*"), true);
  lines.clear();

  QStringList list{QStringLiteral("stale entry")};
  files.GenerateFileList(list);

  QCOMPARE(
      lines,
      (QStringList{
          QStringLiteral("Debug GenerateFileList: Items: 3"),
          QString(QStringLiteral("Debug GenerateFileList: ") + docs + QStringLiteral("/*.txt, Recursive: True")),
          QString(QStringLiteral("Log 0: Scanning: ") + docs + QStringLiteral("/*.txt, Recursive: True")),
          QString(QStringLiteral("Debug GenerateFileList: ") + docs + QStringLiteral("/a.TXT, Recursive: False")),
          QString(QStringLiteral("Log 0: Scanning: ") + docs + QStringLiteral("/a.TXT, Recursive: False")),
          QString(QStringLiteral("Debug GenerateFileList: ") + tree.Path() +
                  QStringLiteral("/missing/*.*, Recursive: True")),
          QString(QStringLiteral("Log 0: Scanning: ") + tree.Path() + QStringLiteral("/missing/*.*, Recursive: True")),
          // A missing folder (a disk not mounted) contributes nothing, but the log says so.
          QString(QStringLiteral("Log 0: Folder not found, nothing added from it: ") + tree.Path() +
                  QStringLiteral("/missing")),
          QStringLiteral("Debug GenerateFileList: Cancelled: False"),
      }));

  // Hidden and read-only files are found; hidden folders are not entered, read-only ones are;
  // the file matched by two entries is listed twice; the missing folder adds nothing.
  QStringList sorted = list;
  sorted.sort();
  QCOMPARE(sorted, (QStringList{docs + QStringLiteral("/.hidden.txt"), docs + QStringLiteral("/a.txt"),
                                docs + QStringLiteral("/a.txt"), docs + QStringLiteral("/locked.txt"),
                                docs + QStringLiteral("/readonly/c.txt"), docs + QStringLiteral("/sub/b.txt")}));
  QVERIFY(!files.SearchFailed());
  // The recursive entry's files come first, then the second entry's.
  QCOMPARE(list.last(), docs + QStringLiteral("/a.txt"));
  // Progress names every file found and the two folders entered.
  QCOMPARE(progress.size(), 5 + 1 + 2);
  QVERIFY(progress.contains(docs + QStringLiteral("/sub")));
  QVERIFY(progress.contains(docs + QStringLiteral("/readonly")));
}

void TestBackupFiles::cancelTakesEffectBeforeTheNextEntry()
{
  TTempTree tree;
  for (const QByteArray& folder : {QByteArray("one"), QByteArray("two")}) {
    QVERIFY(MakeDir(tree(folder)));
    QVERIFY(MakeDir(tree(folder + "/deep")));
    for (int i = 0; i < 3; ++i) {
      QVERIFY(WriteBytes(tree(folder + "/f" + QByteArray::number(i)), "x"));
      QVERIFY(WriteBytes(tree(folder + "/deep/g" + QByteArray::number(i)), "y"));
    }
  }

  TBackupFiles files;
  files.Add(tree.Path() + QStringLiteral("/one"), QStringLiteral("*.*"), true);
  files.Add(tree.Path() + QStringLiteral("/two"), QStringLiteral("*.*"), true);
  QStringList debug;
  files.OnDebug = [&](QObject*, const QString&, const QString& AMessage) { debug << AMessage; };
  int calls = 0;
  files.OnProgress = [&](QObject*, const QString&, int, bool& ACancel) {
    ++calls;
    ACancel = true; // asked at the very first file
  };

  QStringList list;
  files.GenerateFileList(list);
  // The search of the first entry runs to its end (its subfolder included); the second is skipped.
  QCOMPARE(list.size(), 6);
  for (const QString& path : std::as_const(list))
    QVERIFY(path.startsWith(tree.Path() + QStringLiteral("/one/")));
  QCOMPARE(calls, 7);
  QVERIFY(files.Cancelled());
  QCOMPARE(debug.last(), QStringLiteral("Cancelled: True"));

  // The next run starts with the flag cleared.
  files.OnProgress = {};
  files.GenerateFileList(list);
  QCOMPARE(list.size(), 12);
  QVERIFY(!files.Cancelled());
}

QTEST_GUILESS_MAIN(TestBackupFiles)
#include "tst_backupfiles.moc"
