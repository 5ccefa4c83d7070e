// SPDX-License-Identifier: GPL-3.0-or-later
// Archives keep their secrets and their place: permissions, stale volumes, volume sizes, and
// real failures (a full disk, short writes, a failing flush or rename, a swapped file) injected
// into the writers' system calls.
#include "EngineTestSupport.h"
#include "engine/TBackup.h"
#include "platform/Posix.h"

#include <QTest>

#include <atomic>

using namespace EngineTest;

class TestArchiveGuarantees : public QObject
{
  Q_OBJECT

private slots:
  void initTestCase();
  void cleanup();
  void archivesArePrivateOrKeepTheModeTheyReplace();
  void longerVolumeSetsDoNotSurvive();
  void volumeSizesOutOfBoundsAreRefused();
  void faultsLeaveThePreviousArchive();
  void swappedVolumeIsNotFollowed();
  void leftoversGoAndOneRunPerArchive();
};

namespace {

enum TFaultKind { fkNone, fkDiskFull, fkShortWrites, fkFail, fkSwap };

// The fault the hook injects: into the calls of APoint on a file whose path contains APathPart.
struct TFault
{
  TFaultKind Kind = fkNone;
  Posix::TFaultPoint Point = Posix::fpWrite;
  QByteArray PathPart;
  int Error = 0;
  std::size_t Budget = 0; // bytes a full disk still takes
  QByteArray SwapFolder;  // fkSwap: where the first volume's temporary file is replaced
  QByteArray Victim;
};
TFault Fault;
std::atomic<int> Hits{0};

QByteArray PathOf(int AFd)
{
  char buffer[4096];
  const ssize_t length =
      ::readlink(QByteArray("/proc/self/fd/" + QByteArray::number(AFd)).constData(), buffer, sizeof buffer);
  return length > 0 ? QByteArray(buffer, length) : QByteArray();
}

int Inject(Posix::TFaultPoint APoint, int AFd, const QByteArray& APath, std::size_t& ASize)
{
  if (Fault.Kind == fkNone || APoint != Fault.Point)
    return 0;
  if (!(APath.isEmpty() ? PathOf(AFd) : APath).contains(Fault.PathPart))
    return 0;
  ++Hits;
  switch (Fault.Kind) {
  case fkDiskFull:
    if (Fault.Budget == 0)
      return ENOSPC;
    ASize = std::min(ASize, Fault.Budget);
    Fault.Budget -= ASize;
    return 0;
  case fkShortWrites:
    ASize = std::max<std::size_t>(1, ASize / 3);
    return 0;
  case fkSwap: {
    // A co-user replaces the first volume, closed by now, with a link to a file of theirs.
    const QStringList names = QDir(DecodeFileName(Fault.SwapFolder))
                                  .entryList({QStringLiteral(".backup.7z.001.*.tmp")}, QDir::Files | QDir::Hidden);
    if (!names.isEmpty()) {
      const QByteArray temporary = Fault.SwapFolder + '/' + EncodeFileName(names.first());
      if (::rename(temporary.constData(), QByteArray(Fault.SwapFolder + "/moved").constData()) == 0 &&
          ::symlink(Fault.Victim.constData(), temporary.constData()) == 0)
        Fault.Kind = fkNone;
    }
    return 0;
  }
  default:
    return Fault.Error;
  }
}

mode_t ModeOf(const QByteArray& APath)
{
  struct stat st = {};
  return ::stat(APath.constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// The files of AFolder, hidden ones too.
QStringList FilesIn(const TTempTree& ATree, const QByteArray& AFolder)
{
  QStringList names = QDir(ATree.Name(AFolder)).entryList(QDir::Files | QDir::Hidden | QDir::System);
  names.sort();
  return names;
}

struct TRun
{
  TBackupResult Result = brFailed;
  QStringList Logs;
  QStringList Files;
};

TRun Run(const TTempTree& ATree, TZipType AType, qint32 AVolumeSize)
{
  TBackup backup;
  TRecorder recorder(backup);
  backup.SetZipType(AType);
  backup.SetZipCompression(zcNone);
  backup.SetVolumeSize(AVolumeSize);
  backup.SetZipFileName(ATree.Name(AType == zZip ? "out/backup.zip" : "out/backup.7z"));
  backup.Files()->Add(ATree.Name("src"), QStringLiteral("*.*"), false);
  TRun run;
  run.Result = backup.Backup(&run.Files);
  run.Logs = recorder.Logs;
  return run;
}

struct TWriter
{
  TZipType Type;
  qint32 VolumeSize;
};
const QList<TWriter> Writers{{zZip, 0}, {zSeven, 0}, {zSeven, 4096}};

} // namespace

void TestArchiveGuarantees::initTestCase()
{
  if (SevenZip().isEmpty())
    QSKIP("The 7z command (Debian package p7zip-full) is not installed.");
}

void TestArchiveGuarantees::cleanup()
{
  Posix::SetFaultHook(nullptr);
  Fault = TFault();
}

void TestArchiveGuarantees::archivesArePrivateOrKeepTheModeTheyReplace()
{
  for (const TWriter& writer : Writers) {
    TTempTree tree;
    QVERIFY(MakeDir(tree("src")));
    QVERIFY(MakeDir(tree("out")));
    QVERIFY(WriteBytes(tree("src/public.txt"), NoiseBytes(10000, 1)));
    QVERIFY(::chmod(tree("src/public.txt").constData(), 0644) == 0);
    TRun run = Run(tree, writer.Type, writer.VolumeSize);
    QCOMPARE(run.Result, brComplete);
    QVERIFY(run.Files.size() >= (writer.VolumeSize ? 2 : 1));
    for (const QString& name : std::as_const(run.Files))
      QCOMPARE(ModeOf(EncodeFileName(name)), mode_t(0600));

    // The user widened the archive for a group: the replacement keeps that.
    for (const QString& name : std::as_const(run.Files))
      QVERIFY(::chmod(EncodeFileName(name).constData(), 0640) == 0);
    run = Run(tree, writer.Type, writer.VolumeSize);
    QCOMPARE(run.Result, brComplete);
    for (const QString& name : std::as_const(run.Files))
      QCOMPARE(ModeOf(EncodeFileName(name)), mode_t(0640));
  }
}

void TestArchiveGuarantees::longerVolumeSetsDoNotSurvive()
{
  TTempTree tree;
  QVERIFY(MakeDir(tree("src")));
  QVERIFY(MakeDir(tree("out")));
  QVERIFY(WriteBytes(tree("src/data.bin"), NoiseBytes(30000, 2)));
  QCOMPARE(Run(tree, zSeven, 4096).Result, brComplete);
  QVERIFY(QFile::exists(tree.Name("out/backup.7z.008")));

  // 7-Zip would read the old .003 onwards as part of the new, shorter set.
  QVERIFY(WriteBytes(tree("src/data.bin"), NoiseBytes(5000, 3)));
  const TRun run = Run(tree, zSeven, 4096);
  QCOMPARE(run.Result, brComplete);
  QCOMPARE(run.Files.size(), 2);
  QCOMPARE(FilesIn(tree, "out"), (QStringList{QStringLiteral("backup.7z.001"), QStringLiteral("backup.7z.002")}));
  const T7zResult test = Run7z({QStringLiteral("t"), tree.Name("out/backup.7z.001")});
  QVERIFY2(test.ExitCode == 0, test.Output.constData());
}

void TestArchiveGuarantees::volumeSizesOutOfBoundsAreRefused()
{
  TTempTree tree;
  QVERIFY(MakeDir(tree("src")));
  QVERIFY(MakeDir(tree("out")));
  QVERIFY(WriteBytes(tree("src/data.bin"), NoiseBytes(6 << 20, 4)));
  // Negative (once read as some 4 GiB), tiny, and small enough to make over 10000 files.
  for (const qint32 size : {-1, 100, 600}) {
    const TRun run = Run(tree, zSeven, size);
    QCOMPARE(run.Result, brFailed);
    QVERIFY2(std::any_of(
                 run.Logs.begin(), run.Logs.end(),
                 [&](const QString& ALine) { return ALine.startsWith(QStringLiteral("Volume size %1 ").arg(size)); }),
             qPrintable(run.Logs.join(QLatin1Char('\n'))));
    QCOMPARE(FilesIn(tree, "out"), QStringList());
  }
}

void TestArchiveGuarantees::faultsLeaveThePreviousArchive()
{
  Posix::SetFaultHook(&Inject);
  for (const TWriter& writer : Writers) {
    TTempTree tree;
    QVERIFY(MakeDir(tree("src")));
    QVERIFY(MakeDir(tree("out")));
    QVERIFY(WriteBytes(tree("src/data.bin"), NoiseBytes(10000, 5)));
    TRun previous = Run(tree, writer.Type, writer.VolumeSize);
    QCOMPARE(previous.Result, brComplete);
    QMap<QString, QByteArray> before;
    for (const QString& name : std::as_const(previous.Files)) {
      QVERIFY(::chmod(EncodeFileName(name).constData(), 0604) == 0);
      before.insert(name, ReadBytes(EncodeFileName(name)));
    }
    const QStringList files = FilesIn(tree, "out");
    // Same size, other bytes: a set mixed of old and new volumes would show.
    QVERIFY(WriteBytes(tree("src/data.bin"), NoiseBytes(10000, 6)));

    const QByteArray secondVolume = writer.VolumeSize ? QByteArray(".002") : QByteArray("backup.");
    const struct
    {
      TFaultKind Kind;
      Posix::TFaultPoint Point;
      QByteArray PathPart;
      int Error;
    } faults[] = {
        {fkDiskFull, Posix::fpWrite, "backup", ENOSPC},
        {fkFail, Posix::fpSync, "backup", EIO},
        {fkFail, Posix::fpRename, secondVolume, EXDEV},
    };
    for (const auto& fault : faults) {
      Fault = TFault{fault.Kind, fault.Point, fault.PathPart, fault.Error, 3000, {}, {}};
      Hits = 0;
      const TRun run = Run(tree, writer.Type, writer.VolumeSize);
      const QString context =
          QStringLiteral("type %1 volume %2 fault %3\n").arg(writer.Type).arg(writer.VolumeSize).arg(fault.Kind) +
          run.Logs.join(QLatin1Char('\n'));
      QVERIFY2(Hits > 0, qPrintable(context));
      QVERIFY2(run.Result == brFailed, qPrintable(context));
      QVERIFY2(std::any_of(run.Logs.begin(), run.Logs.end(),
                           [&](const QString& ALine) { return ALine.contains(Posix::ErrorText(fault.Error)); }),
               qPrintable(context));
      QCOMPARE(FilesIn(tree, "out"), files);
      for (auto it = before.begin(); it != before.end(); ++it) {
        QVERIFY2(ReadBytes(EncodeFileName(it.key())) == it.value(), qPrintable(it.key()));
        QCOMPARE(ModeOf(EncodeFileName(it.key())), mode_t(0604));
      }
    }

    // Writes the system cuts short are completed, and the archive is whole.
    Fault = TFault{fkShortWrites, Posix::fpWrite, "backup", 0, 0, {}, {}};
    Hits = 0;
    const TRun run = Run(tree, writer.Type, writer.VolumeSize);
    QCOMPARE(run.Result, brComplete);
    QVERIFY(Hits > 0);
    const T7zResult test = Run7z({QStringLiteral("t"), run.Files.value(0)});
    QVERIFY2(test.ExitCode == 0, test.Output.constData());
    QCOMPARE(ModeOf(EncodeFileName(run.Files.value(0))), mode_t(0604));
  }
}

void TestArchiveGuarantees::swappedVolumeIsNotFollowed()
{
  TTempTree tree;
  QVERIFY(MakeDir(tree("src")));
  QVERIFY(MakeDir(tree("out")));
  QVERIFY(WriteBytes(tree("src/data.bin"), NoiseBytes(40000, 7)));
  QVERIFY(WriteBytes(tree("victim"), "not yours"));
  Fault.Kind = fkSwap;
  Fault.Point = Posix::fpWrite;
  Fault.PathPart = ".backup.7z.008.";
  Fault.SwapFolder = tree("out");
  Fault.Victim = tree("victim");
  Posix::SetFaultHook(&Inject);
  const TRun run = Run(tree, zSeven, 4096);
  QCOMPARE(Fault.Kind, fkNone);
  QCOMPARE(run.Result, brFailed);
  QCOMPARE(ReadBytes(tree("victim")), QByteArray("not yours"));
  QVERIFY(!QFile::exists(tree.Name("out/backup.7z.001")));
}

void TestArchiveGuarantees::leftoversGoAndOneRunPerArchive()
{
  TTempTree tree;
  QVERIFY(MakeDir(tree("src")));
  QVERIFY(WriteBytes(tree("src/data.bin"), "data"));
  // The archive lies inside the folder it backs up, beside what a killed run left.
  const QList<QByteArray> leftovers{"src/.backup.zip.Ab12Cd.tmp", "src/.backup.zip.001.Xy34Zw.tmp"};
  for (const QByteArray& name : leftovers)
    QVERIFY(WriteBytes(tree(name), "half written"));
  QVERIFY(WriteBytes(tree("src/.backup.zip.notes"), "the user's"));

  const auto configure = [&](TBackup& ABackup) {
    ABackup.SetZipType(zZip);
    ABackup.SetZipFileName(tree.Name("src/backup.zip"));
    ABackup.Files()->Add(tree.Name("src"), QStringLiteral("*.*"), false);
  };

  // A second run of the same archive (in another process it meets the same lock file) starts
  // while the first one is writing: it is refused.
  TBackup first;
  configure(first);
  QStringList secondLogs;
  TBackupResult secondResult = brComplete;
  first.OnLog = [&](QObject*, const QString& AMessage, int) {
    if (AMessage != QStringLiteral("Backup in progress, Please wait..."))
      return;
    TBackup second;
    configure(second);
    second.OnLog = [&](QObject*, const QString& ALine, int) { secondLogs << ALine; };
    QStringList result;
    secondResult = second.Backup(&result);
  };
  QStringList result;
  QCOMPARE(first.Backup(&result), brComplete);
  QCOMPARE(secondResult, brFailed);
  QVERIFY2(secondLogs.contains(QStringLiteral("Backup already active.")),
           qPrintable(secondLogs.join(QLatin1Char('\n'))));
  // The first run is over: the next one goes ahead.
  first.OnLog = {};
  QCOMPARE(first.Backup(&result), brComplete);

  // The leftovers were removed before the search, so no archive holds them; the user's own
  // file stays.
  for (const QByteArray& name : leftovers)
    QVERIFY(!QFile::exists(tree.Name(name)));
  QVERIFY(QFile::exists(tree.Name("src/.backup.zip.notes")));
  const auto entries = List7z(tree.Name("src/backup.zip"));
  for (auto it = entries.begin(); it != entries.end(); ++it)
    QVERIFY2(!it.key().endsWith(".tmp"), it.key().constData());
}

QTEST_GUILESS_MAIN(TestArchiveGuarantees)
#include "tst_archiveguarantees.moc"
