// SPDX-License-Identifier: GPL-3.0-or-later
// The archive's streams and names, without the library: volumes, seeks, the move into place,
// reading sources, and the item names handed to the library.
#include "engine/SevenZipInterfaces.h"
#include "engine/TMyStreamReader.h"
#include "engine/TMyStreamWriter.h"
#include "engine/TSevenZip.h"
#include "engine/TSevenZipRun.h"
#include "platform/FileNames.h"
#include "platform/Posix.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace SevenZip;

namespace {

QByteArray ReadAll(const QString& AName)
{
  QFile file(AName);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void WriteAll(const QString& AName, const QByteArray& AContent)
{
  QFile file(AName);
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  QCOMPARE(file.write(AContent), AContent.size());
}

QStringList Entries(const QString& AFolder)
{
  QStringList names = QDir(AFolder).entryList(QDir::Files | QDir::Hidden | QDir::System);
  names.sort();
  return names;
}

int OpenHandles()
{
  return static_cast<int>(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::System | QDir::Files).size());
}

HRESULT Write(IOutStream* AStream, const QByteArray& AData, UInt32* AProcessed = nullptr)
{
  UInt32 processed = 0;
  const HRESULT result = AStream->Write(AData.constData(), static_cast<UInt32>(AData.size()), &processed);
  if (AProcessed)
    *AProcessed = processed;
  return result;
}

// A stream with one reference that goes when the test ends.
template <typename T> struct TReference
{
  T* Object = nullptr;
  ~TReference()
  {
    if (Object)
      Object->Release();
  }
  T* operator->() const { return Object; }
};

} // namespace

class TestSevenZipWriter : public QObject
{
  Q_OBJECT

private slots:
  void cleanupTestCase();
  void volumeNamesHaveAtLeastThreeDigits();
  void writesAreSplitAtVolumeEnds();
  void seeksFollowTheArchivePosition();
  void singleFileReplacesTheOldOneOnlyOnCommit();
  void discardLeavesThePreviousFiles();
  void manyVolumesStayWithinTheHandleLimit();
  void cancelStopsWritesAndReads();
  void firstFileThatCannotBeCreatedIsReported();
  void readerStreamsAFile();
  void readerRefusesWhatIsNotAFile();
  void itemNamesAreRelativeAndClean();
  void namesAndTimesInTheLibrarysForm();

private:
  QString Folder(const QString& AName);

  QTemporaryDir FDir;
  std::atomic<bool> FCancel{false};
};

void TestSevenZipWriter::cleanupTestCase()
{
  // QTemporaryDir cannot remove names that are not UTF-8; this removes by bytes.
  FDir.setAutoRemove(false);
  ::nftw(
      EncodeFileName(FDir.path()).constData(),
      [](const char* APathName, const struct stat*, int, struct FTW*) { return ::remove(APathName); }, 16,
      FTW_DEPTH | FTW_PHYS);
}

QString TestSevenZipWriter::Folder(const QString& AName)
{
  const QString folder = FDir.filePath(AName);
  QDir(folder).removeRecursively();
  QDir().mkpath(folder);
  return folder;
}

void TestSevenZipWriter::volumeNamesHaveAtLeastThreeDigits()
{
  QCOMPARE(TMyStreamWriter::VolumeName(QStringLiteral("/b/a.7z"), 1), QStringLiteral("/b/a.7z.001"));
  QCOMPARE(TMyStreamWriter::VolumeName(QStringLiteral("/b/a.7z"), 42), QStringLiteral("/b/a.7z.042"));
  QCOMPARE(TMyStreamWriter::VolumeName(QStringLiteral("/b/a.7z"), 999), QStringLiteral("/b/a.7z.999"));
  QCOMPARE(TMyStreamWriter::VolumeName(QStringLiteral("/b/a.7z"), 1000), QStringLiteral("/b/a.7z.1000"));
  QCOMPARE(TMyStreamWriter::VolumeName(QStringLiteral("/b/a.7z"), 12345), QStringLiteral("/b/a.7z.12345"));
}

void TestSevenZipWriter::writesAreSplitAtVolumeEnds()
{
  const QString folder = Folder(QStringLiteral("split"));
  const QString name = folder + QStringLiteral("/set.7z");
  auto run = std::make_shared<TSevenZipRun>(FCancel);
  int error = 0;
  TReference<TMyStreamWriter> writer{TMyStreamWriter::Create(name, 1600000000, 10, run, error)};
  QVERIFY(writer.Object);
  UInt32 processed = 0;
  QCOMPARE(Write(writer.Object, "0123456", &processed), S_OK);
  QCOMPARE(processed, 7u);
  QCOMPARE(Write(writer.Object, "789abcdefghijklmnopq", &processed), S_OK);
  QCOMPARE(processed, 20u);
  QCOMPARE(Write(writer.Object, QByteArray()), S_OK);
  QCOMPARE(writer->Size(), 27u);
  // What was gathered is written out; nothing carries a final name before the commit.
  QVERIFY(writer->WriteGathered());
  QCOMPARE(Entries(folder).size(), 3);
  for (const QString& entry : Entries(folder))
    QVERIFY2(entry.startsWith(QLatin1Char('.')) && entry.endsWith(QLatin1String(".tmp")), qPrintable(entry));

  int commitError = -1;
  QString failed;
  QVERIFY(writer->Commit(commitError, failed));
  QCOMPARE(commitError, 0);
  QCOMPARE(writer->VolumeNames(),
           (QStringList{name + QStringLiteral(".001"), name + QStringLiteral(".002"), name + QStringLiteral(".003")}));
  QCOMPARE(Entries(folder),
           (QStringList{QStringLiteral("set.7z.001"), QStringLiteral("set.7z.002"), QStringLiteral("set.7z.003")}));
  QCOMPARE(ReadAll(name + QStringLiteral(".001")), QByteArray("0123456789"));
  QCOMPARE(ReadAll(name + QStringLiteral(".002")), QByteArray("abcdefghij"));
  QCOMPARE(ReadAll(name + QStringLiteral(".003")), QByteArray("klmnopq"));
  // The files carry the time of the run.
  QCOMPARE(QFileInfo(name + QStringLiteral(".002")).lastModified().toSecsSinceEpoch(), 1600000000);
}

void TestSevenZipWriter::seeksFollowTheArchivePosition()
{
  const QString folder = Folder(QStringLiteral("seek"));
  const QString name = folder + QStringLiteral("/seek.7z");
  auto run = std::make_shared<TSevenZipRun>(FCancel);
  int error = 0;
  TReference<TMyStreamWriter> writer{TMyStreamWriter::Create(name, 1600000000, 4, run, error)};
  QVERIFY(writer.Object);
  UInt64 position = 99;
  QCOMPARE(writer->Seek(0, STREAM_SEEK_CUR, &position), S_OK);
  QCOMPARE(position, 0u);
  QCOMPARE(Write(writer.Object, "........abcd"), S_OK);
  QCOMPARE(writer->Seek(0, STREAM_SEEK_END, &position), S_OK);
  QCOMPARE(position, 12u);
  // The start header is written last, at the start, with no position asked back.
  QCOMPARE(writer->Seek(0, STREAM_SEEK_SET, nullptr), S_OK);
  QCOMPARE(Write(writer.Object, "HEAD12"), S_OK);
  QCOMPARE(writer->Seek(-2, STREAM_SEEK_CUR, &position), S_OK);
  QCOMPARE(position, 4u);
  // Before the start is refused and moves nothing.
  QVERIFY(writer->Seek(-5, STREAM_SEEK_CUR, &position) != S_OK);
  QVERIFY(writer->Seek(0, 7, &position) != S_OK);
  QCOMPARE(writer->Seek(0, STREAM_SEEK_CUR, &position), S_OK);
  QCOMPARE(position, 4u);
  // A seek past the end raises the size; the volumes in between are created by the next write.
  QCOMPARE(writer->Seek(20, STREAM_SEEK_SET, &position), S_OK);
  QCOMPARE(writer->Seek(0, STREAM_SEEK_END, &position), S_OK);
  QCOMPARE(position, 20u);
  QCOMPARE(Write(writer.Object, "xy"), S_OK);
  QCOMPARE(writer->SetSize(3), E_NOTIMPL);

  int commitError = 0;
  QString failed;
  QVERIFY(writer->Commit(commitError, failed));
  QCOMPARE(writer->VolumeNames().size(), 6);
  QCOMPARE(ReadAll(name + QStringLiteral(".001")), QByteArray("HEAD"));
  QCOMPARE(ReadAll(name + QStringLiteral(".002")), QByteArray("12.."));
  QCOMPARE(ReadAll(name + QStringLiteral(".003")), QByteArray("abcd"));
  QCOMPARE(ReadAll(name + QStringLiteral(".004")), QByteArray());
  QCOMPARE(ReadAll(name + QStringLiteral(".006")), QByteArray("xy"));

  // Interfaces: only the output stream's, each answer referenced, anything else refused cleanly.
  void* object = reinterpret_cast<void*>(1);
  QCOMPARE(writer->QueryInterface(IID_IOutStream, &object), S_OK);
  QCOMPARE(object, static_cast<void*>(static_cast<IOutStream*>(writer.Object)));
  writer->Release();
  object = reinterpret_cast<void*>(1);
  QCOMPARE(writer->QueryInterface(IID_IInStream, &object), E_NOINTERFACE);
  QCOMPARE(object, nullptr);
}

void TestSevenZipWriter::singleFileReplacesTheOldOneOnlyOnCommit()
{
  const QString folder = Folder(QStringLiteral("single"));
  const QString name = folder + QStringLiteral("/single.7z");
  WriteAll(name, "old archive");
  auto run = std::make_shared<TSevenZipRun>(FCancel);
  int error = 0;
  TReference<TMyStreamWriter> writer{TMyStreamWriter::Create(name, 1500000000, 0, run, error)};
  QVERIFY(writer.Object);
  // The library's small pieces go to the file in one block.
  static int writes = 0;
  Posix::SetFaultHook([](Posix::TFaultPoint APoint, int, const QByteArray&, std::size_t&) {
    writes += APoint == Posix::fpWrite ? 1 : 0;
    return 0;
  });
  for (int i = 0; i < 50; ++i)
    QCOMPARE(Write(writer.Object, QByteArray(100, 'n')), S_OK);
  QVERIFY(writer->WriteGathered());
  Posix::SetFaultHook(nullptr);
  QCOMPARE(writes, 1);
  QCOMPARE(ReadAll(name), QByteArray("old archive"));
  QCOMPARE(Entries(folder).size(), 2);
  int commitError = 0;
  QString failed;
  QVERIFY(writer->Commit(commitError, failed));
  QCOMPARE(writer->VolumeNames(), QStringList{name});
  QCOMPARE(ReadAll(name), QByteArray(5000, 'n'));
  QCOMPARE(Entries(folder), QStringList{QStringLiteral("single.7z")});
}

void TestSevenZipWriter::discardLeavesThePreviousFiles()
{
  const QString folder = Folder(QStringLiteral("discard"));
  const QString name = folder + QStringLiteral("/keep.7z");
  WriteAll(name + QStringLiteral(".001"), "old first");
  WriteAll(name + QStringLiteral(".002"), "old second");
  auto run = std::make_shared<TSevenZipRun>(FCancel);
  for (const bool explicitly : {true, false}) {
    int error = 0;
    TMyStreamWriter* writer = TMyStreamWriter::Create(name, 1500000000, 8, run, error);
    QVERIFY(writer);
    QCOMPARE(Write(writer, "a run that fails half way"), S_OK);
    if (explicitly)
      writer->Discard();
    // The last release without a commit discards as well.
    writer->Release();
    QCOMPARE(Entries(folder), (QStringList{QStringLiteral("keep.7z.001"), QStringLiteral("keep.7z.002")}));
    QCOMPARE(ReadAll(name + QStringLiteral(".001")), QByteArray("old first"));
    QCOMPARE(ReadAll(name + QStringLiteral(".002")), QByteArray("old second"));
  }
}

void TestSevenZipWriter::manyVolumesStayWithinTheHandleLimit()
{
  const QString folder = Folder(QStringLiteral("many"));
  const QString name = folder + QStringLiteral("/many.7z");
  auto run = std::make_shared<TSevenZipRun>(FCancel);
  int error = 0;
  TReference<TMyStreamWriter> writer{TMyStreamWriter::Create(name, 1500000000, 2, run, error)};
  QVERIFY(writer.Object);
  const int before = OpenHandles();
  int most = before;
  for (int i = 0; i < 60; ++i) {
    const QByteArray piece = QByteArray::number(i % 10).repeated(2);
    QCOMPARE(Write(writer.Object, piece), S_OK);
    most = std::max(most, OpenHandles());
  }
  QVERIFY2(most <= before + 4, qPrintable(QStringLiteral("%1 -> %2").arg(before).arg(most)));
  // The first volume is opened again for the start header.
  QCOMPARE(writer->Seek(0, STREAM_SEEK_SET, nullptr), S_OK);
  QCOMPARE(Write(writer.Object, "HH"), S_OK);
  int commitError = 0;
  QString failed;
  QVERIFY(writer->Commit(commitError, failed));
  QCOMPARE(writer->VolumeNames().size(), 60);
  QCOMPARE(writer->VolumeNames().at(59), name + QStringLiteral(".060"));
  QCOMPARE(ReadAll(name + QStringLiteral(".001")), QByteArray("HH"));
  QCOMPARE(ReadAll(name + QStringLiteral(".010")), QByteArray("99"));
  QCOMPARE(ReadAll(name + QStringLiteral(".060")), QByteArray("99"));
  QCOMPARE(Entries(folder).size(), 60);
}

void TestSevenZipWriter::cancelStopsWritesAndReads()
{
  const QString folder = Folder(QStringLiteral("cancel"));
  const QString source = folder + QStringLiteral("/source.txt");
  WriteAll(source, "source data");
  std::atomic<bool> cancel{false};
  auto run = std::make_shared<TSevenZipRun>(cancel);
  const QString current = source;
  run->SetCurrentFile(&current);
  int error = 0;
  TReference<TMyStreamWriter> writer{TMyStreamWriter::Create(folder + QStringLiteral("/c.7z"), 0, 0, run, error)};
  TReference<TMyStreamReader> reader{TMyStreamReader::Open(source, run, error)};
  QVERIFY(writer.Object && reader.Object);
  cancel = true;
  UInt32 processed = 77;
  QCOMPARE(Write(writer.Object, "data", &processed), E_ABORT);
  QCOMPARE(processed, 0u);
  char buffer[16];
  QCOMPARE(reader->Read(buffer, sizeof buffer, &processed), E_ABORT);
  QCOMPARE(processed, 0u);
  // One message for the whole run, naming the file being read.
  const auto notices = run->Take();
  QCOMPARE(notices.size(), 1u);
  QCOMPARE(notices[0].Code, 6);
  QCOMPARE(notices[0].Text, QStringLiteral("User canceled operation"));
  QCOMPARE(notices[0].FileName, source);
}

void TestSevenZipWriter::firstFileThatCannotBeCreatedIsReported()
{
  auto run = std::make_shared<TSevenZipRun>(FCancel);
  int error = 0;
  QCOMPARE(TMyStreamWriter::Create(FDir.filePath(QStringLiteral("missing/a.7z")), 0, 0, run, error), nullptr);
  QCOMPARE(error, ENOENT);
  QCOMPARE(TMyStreamWriter::Create(QString(), 0, 0, run, error), nullptr);
  QCOMPARE(error, ENOENT);
}

void TestSevenZipWriter::readerStreamsAFile()
{
  const QString folder = Folder(QStringLiteral("reader"));
  const QByteArray name = EncodeFileName(folder) + "/caf\xe9.bin";
  QByteArray content;
  for (int i = 0; i < 100000; ++i)
    content += static_cast<char>(i * 7);
  const int fd = ::open(name.constData(), O_WRONLY | O_CREAT, 0644);
  QCOMPARE(::write(fd, content.constData(), static_cast<size_t>(content.size())), content.size());
  ::close(fd);

  auto run = std::make_shared<TSevenZipRun>(FCancel);
  int error = 0;
  TReference<TMyStreamReader> reader{TMyStreamReader::Open(DecodeFileName(name), run, error)};
  QVERIFY(reader.Object);
  UInt64 size = 0;
  QCOMPARE(reader->GetSize(&size), S_OK);
  QCOMPARE(size, 100000u);
  QByteArray read;
  char buffer[40000];
  UInt32 processed = 0;
  do {
    QCOMPARE(reader->Read(buffer, sizeof buffer, &processed), S_OK);
    read.append(buffer, processed);
  } while (processed > 0);
  QCOMPARE(read, content);
  QCOMPARE(run->BytesRead.load(), 100000u);
  QCOMPARE(reader->Read(buffer, 0, &processed), S_OK);
  QCOMPARE(reader->Seek(-10, STREAM_SEEK_END, nullptr), S_OK);
  UInt64 position = 0;
  QCOMPARE(reader->Seek(0, STREAM_SEEK_CUR, &position), S_OK);
  QCOMPARE(position, 99990u);

  // Both interfaces, at their own addresses.
  void* sizer = nullptr;
  QCOMPARE(reader->QueryInterface(IID_IStreamGetSize, &sizer), S_OK);
  QCOMPARE(sizer, static_cast<void*>(static_cast<IStreamGetSize*>(reader.Object)));
  QVERIFY(sizer != static_cast<void*>(static_cast<IInStream*>(reader.Object)));
  static_cast<IStreamGetSize*>(sizer)->Release();
  void* props = reinterpret_cast<void*>(1);
  // Never the stream-properties interface: its answers would override the item's.
  QCOMPARE(reader->QueryInterface(InterfaceId(0x03, 0x08), &props), E_NOINTERFACE);
  QCOMPARE(props, nullptr);
}

void TestSevenZipWriter::readerRefusesWhatIsNotAFile()
{
  const QString folder = Folder(QStringLiteral("notafile"));
  const QByteArray fifo = EncodeFileName(folder) + "/fifo";
  QCOMPARE(::mkfifo(fifo.constData(), 0644), 0);
  auto run = std::make_shared<TSevenZipRun>(FCancel);
  int error = 0;
  QCOMPARE(TMyStreamReader::Open(DecodeFileName(fifo), run, error), nullptr);
  QCOMPARE(error, EINVAL);
  QCOMPARE(TMyStreamReader::Open(folder, run, error), nullptr);
  QCOMPARE(error, EISDIR);
  QCOMPARE(TMyStreamReader::Open(folder + QStringLiteral("/none"), run, error), nullptr);
  QCOMPARE(error, ENOENT);
}

void TestSevenZipWriter::itemNamesAreRelativeAndClean()
{
  const auto name = [](const char* AFile, const char* ARoot = "", AddOpts AOptions = {}) {
    return TSevenZip::ArchiveItemName(QString::fromUtf8(AFile), QString::fromUtf8(ARoot), AOptions);
  };
  QCOMPARE(name("/home/ann/Documents/a.txt"), QStringLiteral("home/ann/Documents/a.txt"));
  QCOMPARE(name("/home/ann/Documents/a.txt", "/HOME/ann/"), QStringLiteral("Documents/a.txt"));
  QCOMPARE(name("/home/ann/Documents/a.txt", "/srv/"), QStringLiteral("home/ann/Documents/a.txt"));
  QCOMPARE(name("/home/ann/Documents/a.txt", "", AddOptsEnum::AddStoreOnlyFilename), QStringLiteral("a.txt"));
  QCOMPARE(name("/home//ann/./x/../b.txt"), QStringLiteral("home/ann/b.txt"));
  QCOMPARE(name("/../../etc/passwd"), QStringLiteral("etc/passwd"));
  QCOMPARE(name("/srv/back\\slash.txt"), QStringLiteral("srv/back\\slash.txt"));
}

void TestSevenZipWriter::namesAndTimesInTheLibrarysForm()
{
  // A byte that is not UTF-8 goes over as the library's own escape; pairs stay pairs.
  const QString escaped = QStringLiteral("caf") + QChar(0xDCE9) + QStringLiteral("\U0001F600");
  const std::wstring units = ArchiveNameUnits(escaped);
  QCOMPARE(units.size(), 6u);
  QCOMPARE(static_cast<unsigned>(units[3]), 0xEFE9u);
  QCOMPARE(static_cast<unsigned>(units[4]), 0xD83Du);
  QCOMPARE(static_cast<unsigned>(units[5]), 0xDE00u);
  // Passwords go over unit for unit, as typed.
  QCOMPARE(TextUnits(QStringLiteral("\U0001F511 ")).size(), 3u);

  QCOMPARE(FileTimeValue(FileTimeFromUnix(0, 0)), 116444736000000000u);
  QCOMPARE(FileTimeValue(FileTimeFromUnix(1, 999)), 116444736000000000u + 10000000u + 9u);
  QCOMPARE(FileTimeValue(FileTimeFromUnix(-11644473601LL, 0)), 0u);

  QCOMPARE(HResultFromErrno(ENOSPC), static_cast<HRESULT>(0x8800001Cu));
  QCOMPARE(ErrnoFromHResult(HResultFromErrno(ENOSPC)), ENOSPC);
  QCOMPARE(ErrnoFromHResult(E_ABORT), 0);
}

QTEST_GUILESS_MAIN(TestSevenZipWriter)
#include "tst_sevenzipwriter.moc"
