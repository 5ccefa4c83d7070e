// SPDX-License-Identifier: GPL-3.0-or-later
// Earlier archives kept beside the newest: rotation after a successful run, pruning, and nothing
// touched by a run that does not replace the archive.
#include "EngineTestSupport.h"
#include "engine/TArchiveGenerations.h"
#include "engine/TBackup.h"
#include "platform/Posix.h"

#include <QTest>

#include <utime.h>

using namespace EngineTest;

class TestGenerations : public QObject
{
  Q_OBJECT

private slots:
  void initTestCase();
  void zipRunsKeepAndPruneEarlierArchives();
  void sevenZipVolumeSetIsKeptAndPrunedWhole();
  void runThatDoesNotReplaceKeepsNothing();
};

namespace {

bool SetTime(const QString& APath, const QDateTime& ATime)
{
  const struct utimbuf times = {ATime.toSecsSinceEpoch(), ATime.toSecsSinceEpoch()};
  return ::utime(EncodeFileName(APath).constData(), &times) == 0;
}

QStringList FilesIn(const QString& AFolder)
{
  return QDir(AFolder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

mode_t ModeOf(const QString& APath)
{
  struct stat st = {};
  return ::stat(EncodeFileName(APath).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

const QDateTime Monday(QDate(2026, 3, 2), QTime(18, 30, 5));
const QDateTime Tuesday(QDate(2026, 3, 3), QTime(18, 31, 0));
const QDateTime Wednesday(QDate(2026, 3, 4), QTime(9, 0, 0));

} // namespace

void TestGenerations::initTestCase()
{
  if (SevenZip().isEmpty())
    QSKIP("The 7z command (Debian package p7zip-full) is not installed.");
}

void TestGenerations::zipRunsKeepAndPruneEarlierArchives()
{
  // The destination lies inside the backed-up folder: kept archives are not packed again.
  TTempTree tree;
  QVERIFY(MakeDir(tree("src")));
  QVERIFY(MakeDir(tree("src/out")));
  QVERIFY(WriteBytes(tree("src/one.txt"), "one"));
  const QString archive = tree.Name("src/out/backup.zip");
  TBackup backup;
  TRecorder recorder(backup);
  backup.SetZipType(zZip);
  backup.SetZipFileName(archive);
  backup.SetKeepArchives(2);
  backup.Files()->Add(tree.Path() + QStringLiteral("/src"), QStringLiteral("*.*"), true);
  QStringList result;

  QCOMPARE(backup.Backup(&result), brComplete);
  QCOMPARE(result, QStringList{archive});
  QCOMPARE(FilesIn(tree.Name("src/out")), QStringList{QStringLiteral("backup.zip")});
  QVERIFY(SetTime(archive, Monday));
  const QByteArray monday = ReadBytes(tree("src/out/backup.zip"));

  // The replaced archive is renamed after its own last write, and keeps its permissions.
  QVERIFY(WriteBytes(tree("src/two.txt"), "two"));
  QCOMPARE(backup.Backup(&result), brComplete);
  QCOMPARE(result, QStringList{archive});
  QCOMPARE(FilesIn(tree.Name("src/out")),
           (QStringList{QStringLiteral("backup.2026-03-02_183005.zip"), QStringLiteral("backup.zip")}));
  QCOMPARE(ReadBytes(tree("src/out/backup.2026-03-02_183005.zip")), monday);
  QCOMPARE(ModeOf(tree.Name("src/out/backup.2026-03-02_183005.zip")), mode_t(0600));
  QVERIFY(recorder.Logs.contains(
      QString(QStringLiteral("Kept the previous archive: ") + tree.Name("src/out/backup.2026-03-02_183005.zip"))));
  QCOMPARE(List7z(archive).size() - 1, 2); // one.txt and two.txt, no archive

  // Two archives written in one second: the later gets "-2".
  QVERIFY(SetTime(archive, Monday));
  QCOMPARE(backup.Backup(&result), brComplete);
  QVERIFY(SetTime(archive, Tuesday));
  QCOMPARE(backup.Backup(&result), brComplete);
  QCOMPARE(List7z(archive).size() - 1, 2);
  // Three kept for a moment is one too many: the oldest went.
  QCOMPARE(FilesIn(tree.Name("src/out")),
           (QStringList{QStringLiteral("backup.2026-03-02_183005-2.zip"),
                        QStringLiteral("backup.2026-03-03_183100.zip"), QStringLiteral("backup.zip")}));
  QVERIFY(recorder.Logs.contains(
      QString(QStringLiteral("Deleted the kept archive: ") + tree.Name("src/out/backup.2026-03-02_183005.zip"))));

  const QList<TArchiveGeneration> generations = TArchiveGenerations(archive, false).List();
  QCOMPARE(generations.size(), 3);
  QCOMPARE(generations[0].Archive, archive);
  QCOMPARE(generations[1].Archive, tree.Name("src/out/backup.2026-03-03_183100.zip"));
  QCOMPARE(generations[1].Time, Tuesday);
  QCOMPARE(generations[2].Archive, tree.Name("src/out/backup.2026-03-02_183005-2.zip"));
  QCOMPARE(generations[2].Size, QFileInfo(generations[2].Archive).size());
}

void TestGenerations::sevenZipVolumeSetIsKeptAndPrunedWhole()
{
  TTempTree tree;
  QVERIFY(MakeDir(tree("src")));
  QVERIFY(MakeDir(tree("out")));
  QVERIFY(WriteBytes(tree("src/noise.bin"), NoiseBytes(250000, 3)));
  const QString archive = tree.Name("out/set.7z");
  TBackup backup;
  TRecorder recorder(backup);
  backup.SetZipType(zSeven);
  backup.SetZipCompression(zcNone);
  backup.SetZipFileName(archive);
  backup.SetVolumeSize(100000);
  backup.SetKeepArchives(1);
  backup.Files()->Add(tree.Name("src"), QStringLiteral("*.*"), false);
  QStringList result;
  QCOMPARE(backup.Backup(&result), brComplete);
  QCOMPARE(result.size(), 3);
  QList<QByteArray> first;
  for (const QString& volume : std::as_const(result)) {
    QVERIFY(SetTime(volume, Monday));
    first << ReadBytes(EncodeFileName(volume));
  }

  // Fewer volumes this time: the old set's third volume is kept with the others, not deleted.
  QVERIFY(WriteBytes(tree("src/noise.bin"), NoiseBytes(150000, 4)));
  QCOMPARE(backup.Backup(&result), brComplete);
  QCOMPARE(result.size(), 2);
  const QString kept = tree.Name("out/set.2026-03-02_183005.7z");
  QCOMPARE(FilesIn(tree.Name("out")),
           (QStringList{QStringLiteral("set.2026-03-02_183005.7z.001"), QStringLiteral("set.2026-03-02_183005.7z.002"),
                        QStringLiteral("set.2026-03-02_183005.7z.003"), QStringLiteral("set.7z.001"),
                        QStringLiteral("set.7z.002")}));
  for (int i = 0; i < 3; ++i)
    QCOMPARE(ReadBytes(EncodeFileName(TArchiveGenerations::VolumeName(kept, i + 1))), first[i]);
  const T7zResult test = Run7z({QStringLiteral("t"), TArchiveGenerations::VolumeName(kept, 1)});
  QVERIFY2(test.ExitCode == 0, test.Output.constData());

  const QList<TArchiveGeneration> generations = TArchiveGenerations(archive, true).List();
  QCOMPARE(generations.size(), 2);
  QCOMPARE(generations[1].Archive, kept);
  QCOMPARE(generations[1].Files.size(), 3);
  QCOMPARE(generations[1].Size, qint64(first[0].size() + first[1].size() + first[2].size()));

  // The next run keeps one set only: the Monday set goes, all of its volumes.
  for (const QString& volume : std::as_const(result))
    QVERIFY(SetTime(volume, Tuesday));
  QCOMPARE(backup.Backup(&result), brComplete);
  QCOMPARE(FilesIn(tree.Name("out")),
           (QStringList{QStringLiteral("set.2026-03-03_183100.7z.001"), QStringLiteral("set.2026-03-03_183100.7z.002"),
                        QStringLiteral("set.7z.001"), QStringLiteral("set.7z.002")}));
  QVERIFY(recorder.Logs.contains(QString(QStringLiteral("Deleted the kept archive: ") + kept)));
}

void TestGenerations::runThatDoesNotReplaceKeepsNothing()
{
  TTempTree tree;
  QVERIFY(MakeDir(tree("src")));
  QVERIFY(MakeDir(tree("out")));
  QVERIFY(WriteBytes(tree("src/one.txt"), "one"));
  QVERIFY(WriteBytes(tree("src/two.bin"), NoiseBytes(1 << 20, 3)));
  const QString archive = tree.Name("out/backup.zip");
  TBackup backup;
  TRecorder recorder(backup);
  backup.SetZipType(zZip);
  backup.SetZipFileName(archive);
  backup.Files()->Add(tree.Name("src"), QStringLiteral("*.*"), false);
  QStringList result;
  QCOMPARE(backup.Backup(&result), brComplete);
  QVERIFY(WriteBytes(tree("out/backup.2026-03-02_183005.zip"), "kept"));
  QVERIFY(WriteBytes(tree("out/backup.2026-03-03_183100.zip"), "kept"));
  QVERIFY(SetTime(archive, Wednesday));
  const QStringList before = FilesIn(tree.Name("out"));
  const QByteArray previous = ReadBytes(tree("out/backup.zip"));
  backup.SetKeepArchives(1);

  // Cancelled while writing.
  backup.OnItemProgress = [&](QObject*, const QString& AMessage, int AProgress) {
    if (AMessage.endsWith(QStringLiteral("two.bin")) && AProgress > 10)
      backup.Cancel();
  };
  QCOMPARE(backup.Backup(&result), brCancelled);
  QCOMPARE(FilesIn(tree.Name("out")), before);

  // Cancelled during the read-back, after the kept name could have been given.
  backup.OnItemProgress = [&](QObject*, const QString& AMessage, int) {
    if (AMessage == QStringLiteral("Verifying archive..."))
      backup.Cancel();
  };
  QCOMPARE(backup.Backup(&result), brCancelled);
  QCOMPARE(FilesIn(tree.Name("out")), before);

  // A handler that raises.
  backup.OnItemProgress = [&](QObject*, const QString& AMessage, int AProgress) {
    if (AMessage.endsWith(QStringLiteral("two.bin")) && AProgress > 10)
      throw std::runtime_error("handler failed");
  };
  QVERIFY_THROWS_EXCEPTION(std::runtime_error, (void)backup.Backup(&result));
  QCOMPARE(FilesIn(tree.Name("out")), before);
  QCOMPARE(ReadBytes(tree("out/backup.zip")), previous);
  // Written and checked, but the new archive cannot take the old one's place: the kept name given
  // just before is taken back.
  backup.OnItemProgress = {};
  Posix::SetFaultHook([](Posix::TFaultPoint APoint, int, const QByteArray&, std::size_t&) {
    return APoint == Posix::fpRename ? EIO : 0;
  });
  const TBackupResult renameFailed = backup.Backup(&result);
  Posix::SetFaultHook(nullptr);
  QCOMPARE(renameFailed, brFailed);
  QCOMPARE(FilesIn(tree.Name("out")), before);
  QCOMPARE(ReadBytes(tree("out/backup.zip")), previous);
  QVERIFY(recorder.Logs.filter(QStringLiteral("Kept the previous archive")).isEmpty());
  QVERIFY(recorder.Logs.filter(QStringLiteral("Deleted the kept archive")).isEmpty());

  // Something else under the kept name is left alone: the next free name is taken.
  backup.OnItemProgress = {};
  QVERIFY(::mkdir(tree("out/backup.2026-03-04_090000.zip").constData(), 0700) == 0);
  QCOMPARE(backup.Backup(&result), brComplete);
  QCOMPARE(ReadBytes(tree("out/backup.2026-03-04_090000-2.zip")), previous);
}

QTEST_GUILESS_MAIN(TestGenerations)
#include "tst_generations.moc"
