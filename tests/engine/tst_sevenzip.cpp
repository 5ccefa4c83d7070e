// SPDX-License-Identifier: GPL-3.0-or-later
// TSevenZip against the real 7z.so, every archive checked with the real `7z` command.
#include "engine/TSevenZip.h"
#include "platform/FileNames.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <thread>

#include <dlfcn.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct TCommandResult
{
  int ExitCode = -1;
  QString Output;
};

// Runs the 7z command with stdin closed, so that it never waits for a password.
TCommandResult SevenZipCommand(const QStringList& AArguments)
{
  QProcess process;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("TZ"), QStringLiteral("UTC"));
  environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
  process.setProcessEnvironment(environment);
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start(QStringLiteral("7z"), AArguments);
  process.closeWriteChannel();
  if (!process.waitForFinished(120000))
    return {};
  return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, QString::fromUtf8(process.readAll())};
}

// The items of `7z l -slt`, each a map of its "Name = value" lines.
QList<QMap<QString, QString>> ListItems(const QString& AArchive, const QString& APassword = QString())
{
  QStringList arguments{QStringLiteral("l"), QStringLiteral("-slt")};
  if (!APassword.isNull())
    arguments << QStringLiteral("-p") + APassword;
  arguments << AArchive;
  const TCommandResult result = SevenZipCommand(arguments);
  QList<QMap<QString, QString>> items;
  const qsizetype start = result.Output.indexOf(QStringLiteral("\n----------\n"));
  if (start < 0)
    return items;
  for (const QString& block : result.Output.mid(start + 12).split(QStringLiteral("\n\n"), Qt::SkipEmptyParts)) {
    QMap<QString, QString> item;
    for (const QString& line : block.split(QLatin1Char('\n'))) {
      const qsizetype equals = line.indexOf(QStringLiteral(" = "));
      if (equals > 0)
        item.insert(line.left(equals), line.mid(equals + 3));
    }
    if (item.contains(QStringLiteral("Path")))
      items.append(item);
  }
  return items;
}

// `7z t`; its output is shown when the outcome is not the expected one.
bool TestArchive(const QString& AArchive, const QString& APassword = QString(), bool AExpectGood = true)
{
  QStringList arguments{QStringLiteral("t")};
  arguments << QStringLiteral("-p") + APassword << AArchive;
  const TCommandResult result = SevenZipCommand(arguments);
  if ((result.ExitCode == 0) != AExpectGood)
    qWarning().noquote() << result.Output;
  return result.ExitCode == 0;
}

void WriteBytes(const QByteArray& APath, const QByteArray& AContent, mode_t AMode = 0644)
{
  const int fd = ::open(APath.constData(), O_WRONLY | O_CREAT | O_TRUNC, AMode);
  QVERIFY2(fd >= 0, APath.constData());
  QCOMPARE(::write(fd, AContent.constData(), static_cast<size_t>(AContent.size())), AContent.size());
  ::close(fd);
  ::chmod(APath.constData(), AMode);
}

QByteArray ReadBytes(const QByteArray& APath)
{
  QByteArray content;
  const int fd = ::open(APath.constData(), O_RDONLY);
  if (fd < 0)
    return "<missing>";
  char buffer[65536];
  ssize_t count;
  while ((count = ::read(fd, buffer, sizeof buffer)) > 0)
    content.append(buffer, count);
  ::close(fd);
  return content;
}

QByteArray RandomBytes(qsizetype ASize)
{
  QByteArray data(ASize, Qt::Uninitialized);
  QRandomGenerator generator(42);
  for (qsizetype i = 0; i + 4 <= ASize; i += 4) {
    const quint32 value = generator.generate();
    std::memcpy(data.data() + i, &value, 4);
  }
  return data;
}

QByteArray TextBytes(qsizetype ASize)
{
  QByteArray data;
  while (data.size() < ASize)
    data += "Backup line " + QByteArray::number(data.size()) + " of some compressible text.\n";
  data.truncate(ASize);
  return data;
}

void SetModified(const QByteArray& APath, qint64 ASeconds, long ANanoseconds)
{
  const timespec times[2] = {{static_cast<time_t>(ASeconds), ANanoseconds},
                             {static_cast<time_t>(ASeconds), ANanoseconds}};
  QCOMPARE(::utimensat(AT_FDCWD, APath.constData(), times, 0), 0);
}

// The entries of a folder by bytes, names that are not UTF-8 included.
QStringList Entries(const QString& AFolder)
{
  QStringList names;
  QDir dir(AFolder);
  for (const QString& name : dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
    names << name;
  names.sort();
  return names;
}

// QTemporaryDir cannot remove names that are not UTF-8; this removes by bytes.
void RemoveTree(const QByteArray& APath)
{
  ::nftw(
      APath.constData(),
      [](const char* APathName, const struct stat*, int, struct FTW*) { return ::remove(APathName); }, 16,
      FTW_DEPTH | FTW_PHYS);
}

// Events as a component's owner sees them.
struct TRecorder
{
  qint64 PreProgress = -1;
  QList<QPair<QString, qint64>> Added;
  QList<std::tuple<QString, qint64, qint64>> Progress;
  QList<std::tuple<int, QString, QString>> Messages;
  bool AllOnCallingThread = true;

  void Attach(TSevenZip& AZip)
  {
    QThread* thread = QThread::currentThread();
    AZip.OnPreProgress = [this, thread](QObject*, qint64 AMax) {
      AllOnCallingThread &= QThread::currentThread() == thread;
      PreProgress = AMax;
    };
    AZip.OnAddfile = [this, thread](QObject*, const QString& AName, qint64 ASize) {
      AllOnCallingThread &= QThread::currentThread() == thread;
      Added.append({AName, ASize});
    };
    AZip.OnProgress = [this, thread](QObject*, const QString& AName, qint64 AArc, qint64 AFile) {
      AllOnCallingThread &= QThread::currentThread() == thread;
      Progress.append({AName, AArc, AFile});
    };
    AZip.OnMessage = [this, thread](QObject*, int ACode, const QString& AText, const QString& AName) {
      AllOnCallingThread &= QThread::currentThread() == thread;
      Messages.append({ACode, AText, AName});
    };
  }
};

} // namespace

class TestSevenZip : public QObject
{
  Q_OBJECT

private slots:
  void initTestCase();
  void cleanupTestCase() { RemoveTree(EncodeFileName(FDir.path())); }
  void loadsTheLibraryPrivately();
  void writesItemsThatSevenZipReadsBack();
  void levelsChooseTheMethod();
  void passwordEncryptsDataAndNames();
  void volumesHaveExactlyTheSetSize();
  void existingArchiveIsReplaced();
  void eventsFollowTheFiles();
  void missingFilesAreLeftOut();
  void cancelKeepsThePreviousArchive();
  void handlerErrorStopsTheRun();
  void worksOnAThreadWithoutAnEventLoop();
  void unreadableFileFailsTheRun();
  void failedWriteKeepsThePreviousArchive();
  void archiveThatCannotBeCreatedAborts();

private:
  QString Path(const QString& AName) const { return FDir.filePath(AName); }
  QByteArray BytePath(const QString& AName) const { return EncodeFileName(FDir.filePath(AName)); }
  QString FreshFolder(const QString& AName);

  QTemporaryDir FDir;
};

void TestSevenZip::initTestCase()
{
  QVERIFY(FDir.isValid());
  FDir.setAutoRemove(false);
  if (SevenZipCommand({QStringLiteral("i")}).ExitCode != 0)
    QSKIP("the 7z command (Debian p7zip-full) is not installed");
  ::chmod(EncodeFileName(FDir.path()).constData(), 0777);
}

QString TestSevenZip::FreshFolder(const QString& AName)
{
  const QString folder = Path(AName);
  RemoveTree(EncodeFileName(folder));
  QDir().mkpath(folder);
  ::chmod(EncodeFileName(folder).constData(), 0777);
  return folder;
}

void TestSevenZip::loadsTheLibraryPrivately()
{
  TSevenZip zip;
  QVERIFY(!zip.LibraryFileName().isEmpty());
  QVERIFY(zip.LibraryVersion() >= QStringLiteral("23.01"));
  // The library's generic C names stay out of the global symbol space.
  QVERIFY(::dlsym(RTLD_DEFAULT, "SysAllocString") == nullptr);
  QVERIFY(::dlsym(RTLD_DEFAULT, "CreateObject") == nullptr);
}

void TestSevenZip::writesItemsThatSevenZipReadsBack()
{
  const QString source = FreshFolder(QStringLiteral("items"));
  const QByteArray src = EncodeFileName(source);
  ::mkdir(QByteArray(src + "/sub").constData(), 0755);
  const QByteArray notUtf8 = src + "/caf\xe9.txt";
  const QByteArray emoji = src + "/sub/smile \xF0\x9F\x98\x80.txt";
  const QByteArray readOnly = src + "/sub/readonly.txt";
  const QByteArray script = src + "/run.sh";
  const QByteArray empty = src + "/empty.txt";
  WriteBytes(notUtf8, TextBytes(70000));
  WriteBytes(emoji, RandomBytes(5000));
  WriteBytes(readOnly, "read only", 0444);
  WriteBytes(script, TextBytes(4000), 0755);
  WriteBytes(empty, QByteArray());
  SetModified(notUtf8, 1614834367, 123456700);
  SetModified(emoji, 946684800, 0);

  TSevenZip zip;
  const QString archive = Path(QStringLiteral("items.7z"));
  for (const QByteArray& file : {notUtf8, emoji, readOnly, script, empty})
    zip.Files() << DecodeFileName(file);
  zip.SetSZFileName(archive);
  zip.SetLZMACompressStrength(TCompressStrength::NORMAL);
  QCOMPARE(zip.Add(), 0);
  QCOMPARE(zip.NamesOfVolumesWritten(), QStringList{archive});
  QVERIFY(TestArchive(archive));

  const auto items = ListItems(archive);
  QCOMPARE(items.size(), 5);
  QStringList paths;
  for (const auto& item : items) {
    paths << item.value(QStringLiteral("Path"));
    QVERIFY(!item.value(QStringLiteral("Path")).startsWith(QLatin1Char('/')));
  }
  QVERIFY(paths.contains(source.mid(1) + QStringLiteral("/sub/smile \U0001F600.txt")));
  for (const auto& item : items) {
    const QString path = item.value(QStringLiteral("Path"));
    struct stat info
    {};
    QVERIFY(::stat(EncodeFileName(QLatin1Char('/') + path).constData(), &info) == 0 ||
            path.contains(QLatin1String("caf")));
    if (path.endsWith(QLatin1String("smile \U0001F600.txt"))) {
      QCOMPARE(item.value(QStringLiteral("Size")), QStringLiteral("5000"));
      QCOMPARE(item.value(QStringLiteral("Modified")), QStringLiteral("2000-01-01 00:00:00.0000000"));
    }
    if (path.contains(QLatin1String("caf")))
      QCOMPARE(item.value(QStringLiteral("Modified")), QStringLiteral("2021-03-04 05:06:07.1234567"));
    if (path.endsWith(QLatin1String("readonly.txt")))
      QCOMPARE(item.value(QStringLiteral("Attributes")), QStringLiteral("RA -r--r--r--"));
    if (path.endsWith(QLatin1String("run.sh")))
      QCOMPARE(item.value(QStringLiteral("Attributes")), QStringLiteral("A -rwxr-xr-x"));
    if (path.endsWith(QLatin1String("empty.txt")))
      QCOMPARE(item.value(QStringLiteral("Size")), QStringLiteral("0"));
  }

  // Extracted by 7-Zip, every file comes back with its bytes and its name's bytes.
  const QString out = FreshFolder(QStringLiteral("items-out"));
  QCOMPARE(SevenZipCommand({QStringLiteral("x"), QStringLiteral("-o") + out, QStringLiteral("-p"), archive}).ExitCode,
           0);
  const QByteArray outBytes = EncodeFileName(out);
  for (const QByteArray& file : {notUtf8, emoji, readOnly, script, empty})
    QCOMPARE(ReadBytes(outBytes + file), ReadBytes(file));
  RemoveTree(outBytes);
}

void TestSevenZip::levelsChooseTheMethod()
{
  const QString source = FreshFolder(QStringLiteral("levels"));
  const QByteArray file = EncodeFileName(source) + "/text.txt";
  WriteBytes(file, TextBytes(200000));
  const struct
  {
    TCompressStrength Strength;
    QString Method;
  } cases[] = {
      {TCompressStrength::SAVE, QStringLiteral("Copy")},       {TCompressStrength::FAST, QStringLiteral("LZMA2:22")},
      {TCompressStrength::NORMAL, QStringLiteral("LZMA2:24")}, {TCompressStrength::MAXIMUM, QStringLiteral("LZMA2:24")},
      {TCompressStrength::ULTRA, QStringLiteral("LZMA2:24")},
  };
  for (const auto& level : cases) {
    TSevenZip zip;
    zip.Files() << DecodeFileName(file);
    zip.SetSZFileName(Path(QStringLiteral("level.7z")));
    zip.SetLZMACompressStrength(level.Strength);
    QCOMPARE(zip.Add(), 0);
    const auto items = ListItems(zip.SZFileName());
    QCOMPARE(items.size(), 1);
    // The dictionary shrinks to the data; the method is what counts.
    QVERIFY2(items[0].value(QStringLiteral("Method")).startsWith(level.Method.left(5)),
             qPrintable(items[0].value(QStringLiteral("Method"))));
    QVERIFY(TestArchive(zip.SZFileName()));
  }
  {
    // A dictionary given as a power of two, and the PPMd method.
    TSevenZip zip;
    zip.Files() << DecodeFileName(file);
    zip.SetSZFileName(Path(QStringLiteral("level.7z")));
    zip.SetLZMACompressStrength(TCompressStrength::NORMAL);
    zip.SetLZMAStrength(16);
    QCOMPARE(zip.Add(), 0);
    QCOMPARE(ListItems(zip.SZFileName()).value(0).value(QStringLiteral("Method")), QStringLiteral("LZMA2:16"));
    zip.SetLZMACompressType(TCompressType::PPMD);
    zip.SetLPPMDsize(6);
    zip.SetLPPMDmem(24);
    QCOMPARE(zip.Add(), 0);
    QVERIFY(
        ListItems(zip.SZFileName()).value(0).value(QStringLiteral("Method")).startsWith(QStringLiteral("PPMD:o6:mem")));
    QVERIFY(TestArchive(zip.SZFileName()));
  }
}

void TestSevenZip::passwordEncryptsDataAndNames()
{
  const QString source = FreshFolder(QStringLiteral("password"));
  const QByteArray file = EncodeFileName(source) + "/secret.txt";
  WriteBytes(file, TextBytes(10000));
  const QString archive = Path(QStringLiteral("password.7z"));
  {
    // Names hidden too; a password outside the basic plane must match what 7-Zip derives.
    const QString password = QStringLiteral("p\u00e4ss \U0001F511");
    TSevenZip zip;
    zip.Files() << DecodeFileName(file);
    zip.SetSZFileName(archive);
    zip.SetLZMACompressStrength(TCompressStrength::FAST);
    zip.SetPassword(password);
    zip.SetAddOptions(AddOptsEnum::AddEncryptFilename);
    QCOMPARE(zip.Add(), 0);
    QVERIFY(ListItems(archive).isEmpty());
    QVERIFY(ListItems(archive, QStringLiteral("wrong")).isEmpty());
    const auto items = ListItems(archive, password);
    QCOMPARE(items.size(), 1);
    QCOMPARE(items[0].value(QStringLiteral("Encrypted")), QStringLiteral("+"));
    QVERIFY(TestArchive(archive, password));
    QVERIFY(!TestArchive(archive, QStringLiteral("wrong"), false));
  }
  {
    // A password of spaces encrypts the data, but the names stay readable.
    TSevenZip zip;
    zip.Files() << DecodeFileName(file);
    zip.SetSZFileName(archive);
    zip.SetPassword(QStringLiteral("   "));
    QCOMPARE(zip.Add(), 0);
    const auto items = ListItems(archive);
    QCOMPARE(items.size(), 1);
    QCOMPARE(items[0].value(QStringLiteral("Encrypted")), QStringLiteral("+"));
    QVERIFY(TestArchive(archive, QStringLiteral("   ")));
    QVERIFY(!TestArchive(archive, QString(), false));
  }
}

void TestSevenZip::volumesHaveExactlyTheSetSize()
{
  const QString source = FreshFolder(QStringLiteral("volumes"));
  const QByteArray file = EncodeFileName(source) + "/random.bin";
  const QString folder = FreshFolder(QStringLiteral("volumes-out"));
  const QString archive = folder + QStringLiteral("/set.7z");
  const auto write = [&](qsizetype ADataSize, std::uint32_t AVolumeSize, const QString& APassword) {
    WriteBytes(file, RandomBytes(ADataSize));
    TSevenZip zip;
    zip.Files() << DecodeFileName(file);
    zip.SetSZFileName(archive);
    zip.SetVolumeSize(AVolumeSize);
    zip.SetPassword(APassword);
    zip.SetAddOptions(APassword.isEmpty() ? AddOpts() : AddOpts(AddOptsEnum::AddEncryptFilename));
    zip.SetLZMACompressStrength(TCompressStrength::SAVE);
    const int result = zip.Add();
    return std::make_pair(result, zip.NamesOfVolumesWritten());
  };
  for (const QString& password : {QString(), QStringLiteral("volume secret")}) {
    FreshFolder(QStringLiteral("volumes-out"));
    // About 2.5 MiB: two full volumes and the rest.
    const auto [result, names] = write(2621440, 1048576, password);
    QCOMPARE(result, 0);
    QCOMPARE(names, (QStringList{archive + QStringLiteral(".001"), archive + QStringLiteral(".002"),
                                 archive + QStringLiteral(".003")}));
    QCOMPARE(QFileInfo(names[0]).size(), 1048576);
    QCOMPARE(QFileInfo(names[1]).size(), 1048576);
    QVERIFY(QFileInfo(names[2]).size() > 2621440 - 2 * 1048576);
    QCOMPARE(Entries(folder),
             (QStringList{QStringLiteral("set.7z.001"), QStringLiteral("set.7z.002"), QStringLiteral("set.7z.003")}));
    QVERIFY(TestArchive(names[0], password));
  }
  {
    // An archive of exactly 2 MiB fills exactly two volumes.
    FreshFolder(QStringLiteral("volumes-out"));
    auto [single, singleNames] = write(2000000, 0, QString());
    QCOMPARE(single, 0);
    const qint64 overhead = QFileInfo(archive).size() - 2000000;
    FreshFolder(QStringLiteral("volumes-out"));
    const auto [result, names] = write(2097152 - overhead, 1048576, QString());
    QCOMPARE(result, 0);
    QCOMPARE(names.size(), 2);
    QCOMPARE(QFileInfo(names[0]).size(), 1048576);
    QCOMPARE(QFileInfo(names[1]).size(), 1048576);
    QCOMPARE(Entries(folder).size(), 2);
    QVERIFY(TestArchive(names[0]));
  }
}

void TestSevenZip::existingArchiveIsReplaced()
{
  const QString source = FreshFolder(QStringLiteral("replace"));
  const QByteArray first = EncodeFileName(source) + "/first.bin";
  const QByteArray second = EncodeFileName(source) + "/second.txt";
  WriteBytes(first, RandomBytes(3500000));
  WriteBytes(second, "second run");
  const QString folder = FreshFolder(QStringLiteral("replace-out"));
  {
    const QString archive = folder + QStringLiteral("/one.7z");
    WriteBytes(EncodeFileName(archive), "not an archive at all");
    TSevenZip zip;
    zip.SetSZFileName(archive);
    zip.Files() << DecodeFileName(first);
    QCOMPARE(zip.Add(), 0);
    zip.Files() = QStringList{DecodeFileName(second)};
    QCOMPARE(zip.Add(), 0);
    const auto items = ListItems(archive);
    QCOMPARE(items.size(), 1);
    QVERIFY(items[0].value(QStringLiteral("Path")).endsWith(QLatin1String("second.txt")));
    QVERIFY(TestArchive(archive));
  }
  {
    // A smaller set replaces the earlier one whole: its later volumes go, since 7-Zip would read
    // them as part of the new set.
    const QString archive = folder + QStringLiteral("/set.7z");
    TSevenZip zip;
    zip.SetSZFileName(archive);
    zip.SetVolumeSize(1048576);
    zip.Files() << DecodeFileName(first);
    QCOMPARE(zip.Add(), 0);
    QCOMPARE(zip.NamesOfVolumesWritten().size(), 4);
    zip.Files() = QStringList{DecodeFileName(second)};
    QCOMPARE(zip.Add(), 0);
    QCOMPARE(zip.NamesOfVolumesWritten(), QStringList{archive + QStringLiteral(".001")});
    QVERIFY(QFileInfo(archive + QStringLiteral(".001")).size() < 1000);
  }
  QCOMPARE(Entries(folder), (QStringList{QStringLiteral("one.7z"), QStringLiteral("set.7z.001")}));
}

void TestSevenZip::eventsFollowTheFiles()
{
  const QString source = FreshFolder(QStringLiteral("events"));
  const QByteArray src = EncodeFileName(source);
  const QList<QPair<QByteArray, qsizetype>> files = {
      {"/a.txt", 300000}, {"/b.bin", 2000000}, {"/c.txt", 10}, {"/d.txt", 0}, {"/e.txt", 1500000}};
  TSevenZip zip;
  qint64 total = 0;
  for (const auto& [name, size] : files) {
    WriteBytes(src + name, name.endsWith(".bin") ? RandomBytes(size) : TextBytes(size));
    zip.Files() << DecodeFileName(src + name);
    total += size;
  }
  zip.SetSZFileName(Path(QStringLiteral("events.7z")));
  zip.SetLZMACompressStrength(TCompressStrength::FAST);
  TRecorder recorder;
  recorder.Attach(zip);
  QCOMPARE(zip.Add(), 0);
  QVERIFY(recorder.AllOnCallingThread);
  QCOMPARE(recorder.PreProgress, total);
  QVERIFY(recorder.Messages.isEmpty());

  // Each file that has data is announced once with its size (the library reads them in its own
  // order); an empty file is stored without being read.
  QCOMPARE(recorder.Added.size(), 4);
  QSet<QString> announced;
  for (const auto& [name, size] : recorder.Added) {
    QVERIFY(!announced.contains(name));
    announced.insert(name);
    QCOMPARE(size, QFileInfo(name).size());
  }
  QVERIFY(!announced.contains(DecodeFileName(src + "/d.txt")));

  // Progress of a file never runs past its size nor ahead of the archive's figure, and ends at the total.
  qint64 lastArc = 0;
  for (const auto& [name, arc, inFile] : recorder.Progress) {
    QVERIFY(announced.contains(name));
    QVERIFY(inFile >= 0 && inFile <= QFileInfo(name).size());
    QVERIFY(arc >= lastArc);
    lastArc = arc;
  }
  QCOMPARE(lastArc, total);
}

void TestSevenZip::missingFilesAreLeftOut()
{
  const QString source = FreshFolder(QStringLiteral("missing"));
  const QByteArray present = EncodeFileName(source) + "/present.txt";
  WriteBytes(present, "here");
  const QString archive = Path(QStringLiteral("missing.7z"));
  {
    TSevenZip zip;
    TRecorder recorder;
    recorder.Attach(zip);
    zip.Files() << source + QStringLiteral("/gone.txt") << DecodeFileName(present)
                << source + QStringLiteral("/no/such/folder.txt");
    zip.SetSZFileName(archive);
    QCOMPARE(zip.Add(), 0);
    QVERIFY(recorder.Messages.isEmpty());
    QCOMPARE(ListItems(archive).size(), 1);
  }
  {
    // Nothing left: no archive is written, and the previous one stays.
    const QByteArray before = ReadBytes(EncodeFileName(archive));
    TSevenZip zip;
    TRecorder recorder;
    recorder.Attach(zip);
    zip.Files() << source + QStringLiteral("/gone.txt");
    zip.SetSZFileName(archive);
    QCOMPARE(zip.Add(), -1);
    QCOMPARE(zip.ErrCode(), 10);
    QCOMPARE(recorder.Messages.size(), 1);
    QCOMPARE(recorder.Messages[0], std::make_tuple(10, QStringLiteral("No files to add"), QString()));
    QVERIFY(zip.NamesOfVolumesWritten().isEmpty());
    QCOMPARE(ReadBytes(EncodeFileName(archive)), before);
  }
}

void TestSevenZip::cancelKeepsThePreviousArchive()
{
  const QString source = FreshFolder(QStringLiteral("cancel"));
  const QByteArray src = EncodeFileName(source);
  WriteBytes(src + "/one.bin", RandomBytes(3000000));
  WriteBytes(src + "/two.txt", TextBytes(3000000));
  const QString folder = FreshFolder(QStringLiteral("cancel-out"));
  for (const std::uint32_t volumeSize : {0u, 1048576u}) {
    const QString archive = folder + QStringLiteral("/cancel.7z");
    const QString firstName = volumeSize ? archive + QStringLiteral(".001") : archive;
    WriteBytes(EncodeFileName(firstName), "previous archive");
    TSevenZip zip;
    TRecorder recorder;
    recorder.Attach(zip);
    zip.Files() << DecodeFileName(src + "/one.bin") << DecodeFileName(src + "/two.txt");
    zip.SetSZFileName(archive);
    zip.SetVolumeSize(volumeSize);
    zip.SetLZMACompressStrength(TCompressStrength::NORMAL);
    zip.OnAddfile = [&zip](QObject*, const QString&, qint64) { zip.Cancel(); };
    const int result = zip.Add();
    QVERIFY(result != 0);
    QCOMPARE(zip.ErrCode(), 6);
    QCOMPARE(recorder.Messages.size(), 1);
    QCOMPARE(std::get<0>(recorder.Messages[0]), 6);
    QCOMPARE(std::get<1>(recorder.Messages[0]), QStringLiteral("User canceled operation"));
    QVERIFY(std::get<2>(recorder.Messages[0]).startsWith(source));
    QVERIFY(zip.NamesOfVolumesWritten().isEmpty());
    QCOMPARE(ReadBytes(EncodeFileName(firstName)), QByteArray("previous archive"));
    QCOMPARE(Entries(folder), QStringList{QFileInfo(firstName).fileName()});
    ::unlink(EncodeFileName(firstName).constData());
  }
}

void TestSevenZip::handlerErrorStopsTheRun()
{
  const QString source = FreshFolder(QStringLiteral("handler"));
  const QByteArray file = EncodeFileName(source) + "/data.txt";
  WriteBytes(file, TextBytes(2000000));
  const QString folder = FreshFolder(QStringLiteral("handler-out"));
  const QString archive = folder + QStringLiteral("/handler.7z");
  TSevenZip zip;
  zip.Files() << DecodeFileName(file);
  zip.SetSZFileName(archive);
  zip.OnAddfile = [](QObject*, const QString&, qint64) { throw std::runtime_error("log is full"); };
  QVERIFY_THROWS_EXCEPTION(std::runtime_error, zip.Add());
  QCOMPARE(Entries(folder), QStringList());
  // The component is usable again afterwards.
  zip.OnAddfile = nullptr;
  QCOMPARE(zip.Add(), 0);
  QVERIFY(TestArchive(archive));
}

void TestSevenZip::worksOnAThreadWithoutAnEventLoop()
{
  const QString source = FreshFolder(QStringLiteral("plain"));
  const QByteArray file = EncodeFileName(source) + "/data.txt";
  WriteBytes(file, TextBytes(3000000));
  TSevenZip zip;
  zip.Files() << DecodeFileName(file);
  zip.SetSZFileName(Path(QStringLiteral("plain.7z")));
  zip.SetLZMACompressStrength(TCompressStrength::FAST);
  TRecorder recorder;
  int result = -2;
  std::thread caller([&] {
    recorder.Attach(zip);
    result = zip.Add();
  });
  caller.join();
  QCOMPARE(result, 0);
  QVERIFY(recorder.AllOnCallingThread);
  QCOMPARE(recorder.Added.size(), 1);
  QVERIFY(!recorder.Progress.isEmpty());
  QVERIFY(TestArchive(zip.SZFileName()));
}

void TestSevenZip::unreadableFileFailsTheRun()
{
  const QString source = FreshFolder(QStringLiteral("unreadable"));
  const QByteArray src = EncodeFileName(source);
  WriteBytes(src + "/fine.txt", TextBytes(100000));
  WriteBytes(src + "/locked.txt", TextBytes(5000), 0);
  QVERIFY(::symlink("loop", QByteArray(src + "/loop").constData()) == 0);
  const QString folder = FreshFolder(QStringLiteral("unreadable-out"));
  const QString archive = folder + QStringLiteral("/unreadable.7z");

  for (const QByteArray& bad : {QByteArray("/locked.txt"), QByteArray("/loop")}) {
    WriteBytes(EncodeFileName(archive), "previous archive");
    TSevenZip zip;
    TRecorder recorder;
    recorder.Attach(zip);
    zip.Files() << DecodeFileName(src + "/fine.txt") << DecodeFileName(src + bad);
    zip.SetSZFileName(archive);
    zip.SetLZMACompressStrength(TCompressStrength::FAST);
    // Root reads everything; the run drops to an ordinary user for the locked file.
    const bool root = ::geteuid() == 0;
    if (root)
      QCOMPARE(::seteuid(65534), 0);
    const int result = zip.Add();
    if (root)
      QCOMPARE(::seteuid(0), 0);
    QVERIFY(result != 0);
    QCOMPARE(zip.ErrCode(), 12);
    QCOMPARE(zip.LastError(), bad == "/loop" ? ELOOP : EACCES);
    QCOMPARE(recorder.Messages.size(), 1);
    QCOMPARE(std::get<2>(recorder.Messages[0]), DecodeFileName(src + bad));
    QVERIFY2(std::get<1>(recorder.Messages[0])
                 .startsWith(QStringLiteral("Could not read file: ") + source + QString::fromUtf8(bad)),
             qPrintable(std::get<1>(recorder.Messages[0])));
    QCOMPARE(ReadBytes(EncodeFileName(archive)), QByteArray("previous archive"));
    QCOMPARE(Entries(folder), QStringList{QStringLiteral("unreadable.7z")});
  }
}

void TestSevenZip::failedWriteKeepsThePreviousArchive()
{
  const QString source = FreshFolder(QStringLiteral("diskfull"));
  const QByteArray file = EncodeFileName(source) + "/random.bin";
  WriteBytes(file, RandomBytes(3000000));
  const QString folder = FreshFolder(QStringLiteral("diskfull-out"));
  const QString archive = folder + QStringLiteral("/full.7z");
  WriteBytes(EncodeFileName(archive), "previous archive");

  // A file-size limit makes the system refuse the write as a full disk would.
  TSevenZip zip;
  TRecorder recorder;
  recorder.Attach(zip);
  zip.Files() << DecodeFileName(file);
  zip.SetSZFileName(archive);
  rlimit saved{};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limited = saved;
  limited.rlim_cur = 1000000;
  QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limited), 0);
  const int result = zip.Add();
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);

  QVERIFY(result != 0);
  QCOMPARE(zip.ErrCode(), 13);
  QCOMPARE(zip.LastError(), EFBIG);
  QVERIFY(!recorder.Messages.isEmpty());
  QVERIFY(std::get<1>(recorder.Messages.last()).startsWith(QStringLiteral("Could not write file: ") + archive));
  QVERIFY(zip.NamesOfVolumesWritten().isEmpty());
  QCOMPARE(ReadBytes(EncodeFileName(archive)), QByteArray("previous archive"));
  QCOMPARE(Entries(folder), QStringList{QStringLiteral("full.7z")});
}

void TestSevenZip::archiveThatCannotBeCreatedAborts()
{
  const QString source = FreshFolder(QStringLiteral("abort"));
  const QByteArray file = EncodeFileName(source) + "/data.txt";
  WriteBytes(file, "data");
  TSevenZip zip;
  TRecorder recorder;
  recorder.Attach(zip);
  zip.Files() << DecodeFileName(file);
  zip.SetSZFileName(Path(QStringLiteral("no-such-folder/archive.7z")));
  try {
    zip.Add();
    QFAIL("Add must raise when the archive cannot be created");
  } catch (const ESevenZipAbort& error) {
    QVERIFY2(error.Message().startsWith(QStringLiteral("Could not create file: ") + zip.SZFileName()),
             qPrintable(error.Message()));
  }
  QCOMPARE(zip.ErrCode(), 11);
  QCOMPARE(zip.LastError(), ENOENT);
  QCOMPARE(recorder.Messages.size(), 1);
}

QTEST_GUILESS_MAIN(TestSevenZip)
#include "tst_sevenzip.moc"
