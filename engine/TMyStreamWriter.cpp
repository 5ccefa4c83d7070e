// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/TMyStreamWriter.h"

#include "engine/TSevenZip.h"
#include "engine/TSevenZipRun.h"
#include "platform/FileNames.h"
#include "platform/Posix.h"
#include "sysinfo/Common.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace SevenZip;

namespace {

// Volumes are written one after the other; only the first is visited again at the end. A few
// open files are enough, and a set of thousands of volumes stays within the process's limit.
constexpr int MaxOpenHandles = 4;

QString ErrorText(int AError)
{
  return Posix::ErrorText(AError);
}

// An existing file of the previous archive, kept under a second name while the new files move
// into place, so that it can be put back when one of them cannot.
struct TKeptFile
{
  QByteArray Final;
  QByteArray Kept;
  bool Replaced = false;
};

// Gives the file AFinal a second, temporary name beside it: a hard link where the file system
// has them (the file stays in place), else a rename. 0 or the errno.
int Keep(TKeptFile& AFile)
{
  const qsizetype slash = AFile.Final.lastIndexOf('/');
  for (int attempt = 0;; ++attempt) {
    AFile.Kept =
        AFile.Final.left(slash + 1) + '.' + AFile.Final.mid(slash + 1) + '.' + RandomString(6).toLatin1() + ".tmp";
    if (::link(AFile.Final.constData(), AFile.Kept.constData()) == 0)
      return 0;
    if (errno == EEXIST && attempt < 5)
      continue;
    if (errno != EPERM && errno != EOPNOTSUPP && errno != EMLINK)
      return errno;
    if (::rename(AFile.Final.constData(), AFile.Kept.constData()) == 0)
      return 0;
    return errno;
  }
}

} // namespace

TMyStreamWriter* TMyStreamWriter::Create(const QString& AArcName, std::time_t AArcDate, std::uint32_t AVolumeSize,
                                         std::shared_ptr<TSevenZipRun> ARun, int& AError)
{
  if (AArcName.isEmpty()) {
    AError = ENOENT;
    return nullptr;
  }
  auto* writer = new TMyStreamWriter(AArcName, AArcDate, AVolumeSize, std::move(ARun));
  AError = writer->CreateVolume(0);
  if (AError != 0) {
    writer->Release();
    return nullptr;
  }
  return writer;
}

QString TMyStreamWriter::VolumeName(const QString& AArcName, std::uint64_t ANumber)
{
  return AArcName + QLatin1Char('.') + QString::number(ANumber).rightJustified(3, QLatin1Char('0'));
}

TMyStreamWriter::TMyStreamWriter(const QString& AArcName, std::time_t AArcDate, std::uint32_t AVolumeSize,
                                 std::shared_ptr<TSevenZipRun> ARun)
  : FArcName(AArcName)
  , FArcDate(AArcDate)
  , FArcVolumeSize(AVolumeSize)
  , FMode(Posix::ReplacementMode(EncodeFileName(AVolumeSize == 0 ? AArcName : VolumeName(AArcName, 1)), 0600))
  , FRun(std::move(ARun))
{}
TMyStreamWriter::~TMyStreamWriter()
{
  if (!FFinished)
    Discard();
}

HRESULT TMyStreamWriter::QueryInterface(const GUID& AIid, void** AObject)
{
  if (!AObject)
    return E_INVALIDARG;
  *AObject = nullptr;
  if (!(AIid == IID_IUnknown || AIid == IID_ISequentialOutStream || AIid == IID_IOutStream))
    return E_NOINTERFACE;
  *AObject = static_cast<IOutStream*>(this);
  AddRef();
  return S_OK;
}

ULONG TMyStreamWriter::AddRef()
{
  return ++FRefCount;
}

ULONG TMyStreamWriter::Release()
{
  const ULONG count = --FRefCount;
  if (count == 0)
    delete this;
  return count;
}

// Closes the least recently used files while too many are open; 0 or the errno of a close.
int TMyStreamWriter::MakeRoomForHandle()
{
  while (FOpenHandles >= MaxOpenHandles) {
    TVolume* oldest = nullptr;
    for (TVolume& candidate : FVolumes)
      if (candidate.File.IsOpen() && (!oldest || candidate.LastUse < oldest->LastUse))
        oldest = &candidate;
    if (const int error = CloseVolume(*oldest); error != 0)
      return error;
  }
  return 0;
}

// Creates volume AIndex (from 0) under a temporary name; 0 or the errno.
int TMyStreamWriter::CreateVolume(std::size_t AIndex)
{
  if (const int error = MakeRoomForHandle(); error != 0)
    return error;
  TVolume volume;
  volume.Name = FArcVolumeSize == 0 ? FArcName : VolumeName(FArcName, AIndex + 1);
  int error = 0;
  volume.File = Posix::CreateTemporaryBeside(EncodeFileName(volume.Name), FMode, volume.TempPath, error);
  if (!volume.File.IsOpen())
    return error;
  struct stat st = {};
  if (::fstat(volume.File.Fd(), &st) != 0) {
    error = errno;
    ::unlink(volume.TempPath.constData());
    return error;
  }
  volume.Device = st.st_dev;
  volume.Inode = st.st_ino;
  volume.LastUse = ++FUseCounter;
  ++FOpenHandles;
  FVolumes.push_back(std::move(volume));
  return 0;
}

// The open handle of volume AIndex, reopened when it was closed to save handles; -1 on failure.
// The folder may be writable by others: the path is not followed through a symbolic link, and
// the file found must be the one created.
int TMyStreamWriter::Handle(std::size_t AIndex, int& AError)
{
  TVolume& volume = FVolumes[AIndex];
  volume.LastUse = ++FUseCounter;
  if (volume.File.IsOpen())
    return volume.File.Fd();
  if (const int error = MakeRoomForHandle(); error != 0) {
    AError = error;
    return -1;
  }
  TFileDescriptor file = TFileDescriptor::Open(volume.TempPath, O_RDWR | O_NOFOLLOW | O_NOCTTY, 0, AError);
  if (!file.IsOpen())
    return -1;
  struct stat st = {};
  if (::fstat(file.Fd(), &st) != 0) {
    AError = errno;
    return -1;
  }
  if (st.st_dev != volume.Device || st.st_ino != volume.Inode || !S_ISREG(st.st_mode)) {
    AError = ESTALE;
    return -1;
  }
  volume.File = std::move(file);
  ++FOpenHandles;
  return volume.File.Fd();
}

// 0 or the errno of the close.
int TMyStreamWriter::CloseVolume(TVolume& AVolume)
{
  if (!AVolume.File.IsOpen())
    return 0;
  --FOpenHandles;
  return AVolume.File.Close();
}

bool TMyStreamWriter::WriteAt(std::size_t AVolume, const char* AData, std::size_t ASize, std::uint64_t AOffset,
                              int& AError)
{
  const int handle = Handle(AVolume, AError);
  if (handle < 0)
    return false;
  AError = Posix::WriteAllAt(handle, AData, ASize, AOffset);
  // Large writes go to the disk at once, so the flush at the end of the run has little left;
  // small ones (headers, mostly) are left to the page cache.
  if (AError == 0 && ASize >= 64 * 1024)
    Posix::StartWriteback(handle, AOffset, ASize);
  return AError == 0;
}

void TMyStreamWriter::Fail(int AError, const QString& AFileName, int ACode)
{
  int expected = 0;
  if (!FMyLastError.compare_exchange_strong(expected, AError))
    return;
  if (FRun->InputError() == 0)
    FRun->PostMessage(ACode,
                      TSevenZip::MessageText(ACode) + QStringLiteral(": ") + AFileName + QStringLiteral(" (") +
                          ErrorText(AError) + QLatin1Char(')'),
                      AFileName);
}

HRESULT TMyStreamWriter::Put(const char* AData, std::size_t ASize, std::uint64_t APosition)
{
  const char* data = AData;
  std::size_t left = ASize;
  std::uint64_t position = APosition;
  int error = 0;
  if (FArcVolumeSize == 0) {
    if (!WriteAt(0, data, left, position, error)) {
      Fail(error, FVolumes[0].Name, 13);
      return HResultFromErrno(error);
    }
  } else {
    // Every volume up to the one that holds the last byte of this write must exist.
    const std::uint64_t last = (position + left - 1) / FArcVolumeSize;
    while (FVolumes.size() <= last) {
      if (const int created = CreateVolume(FVolumes.size()); created != 0) {
        Fail(created, VolumeName(FArcName, FVolumes.size() + 1), 11);
        return HResultFromErrno(created);
      }
    }
    // Each piece ends at the end of a volume or at the end of the data.
    while (left > 0) {
      const std::size_t volume = static_cast<std::size_t>(position / FArcVolumeSize);
      const std::uint64_t offset = position % FArcVolumeSize;
      const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(left, FArcVolumeSize - offset));
      if (!WriteAt(volume, data, piece, offset, error)) {
        Fail(error, FVolumes[volume].Name, 13);
        return HResultFromErrno(error);
      }
      data += piece;
      left -= piece;
      position += piece;
    }
  }
  return S_OK;
}

HRESULT TMyStreamWriter::Flush()
{
  if (FBuffered == 0)
    return S_OK;
  const HRESULT result = Put(FBuffer.get(), FBuffered, FBufferStart);
  FBuffered = 0;
  return result;
}

bool TMyStreamWriter::WriteGathered()
{
  std::lock_guard lock(FLock);
  if (FMyLastError.load() != 0)
    return false;
  return Flush() == S_OK;
}

HRESULT TMyStreamWriter::Write(const void* AData, UInt32 ASize, UInt32* AProcessedSize)
{
  return Guarded([&]() -> HRESULT {
    if (AProcessedSize)
      *AProcessedSize = 0;
    if (const HRESULT cancelled = FRun->CheckCancel(); cancelled != S_OK)
      return cancelled;
    if (ASize == 0)
      return S_OK;
    std::lock_guard lock(FLock);
    if (const int error = FMyLastError.load(); error != 0)
      return HResultFromErrno(error);

    // A piece that does not continue what is gathered, or does not fit, writes that out first.
    if (FBuffered > 0 && (FArcPosition != FBufferStart + FBuffered || FBuffered + ASize > BufferCapacity)) {
      if (const HRESULT flushed = Flush(); flushed != S_OK)
        return flushed;
    }
    const char* data = static_cast<const char*>(AData);
    if (ASize >= BufferCapacity) {
      if (const HRESULT put = Put(data, ASize, FArcPosition); put != S_OK)
        return put;
    } else {
      if (!FBuffer)
        FBuffer.reset(new char[BufferCapacity]);
      if (FBuffered == 0)
        FBufferStart = FArcPosition;
      std::memcpy(FBuffer.get() + FBuffered, data, ASize);
      FBuffered += ASize;
    }
    FArcPosition += ASize;
    FArcSize = std::max(FArcSize, FArcPosition);
    if (AProcessedSize)
      *AProcessedSize = ASize;
    return S_OK;
  });
}

HRESULT TMyStreamWriter::Seek(Int64 AOffset, UInt32 AOrigin, UInt64* ANewPosition)
{
  return Guarded([&]() -> HRESULT {
    std::lock_guard lock(FLock);
    Int64 base = 0;
    switch (AOrigin) {
    case STREAM_SEEK_SET:
      break;
    case STREAM_SEEK_CUR:
      base = static_cast<Int64>(FArcPosition);
      break;
    case STREAM_SEEK_END:
      base = static_cast<Int64>(FArcSize);
      break;
    default:
      return E_INVALIDARG;
    }
    const Int64 position = base + AOffset;
    if (position < 0)
      return E_INVALIDARG;
    FArcPosition = static_cast<UInt64>(position);
    FArcSize = std::max(FArcSize, FArcPosition);
    if (ANewPosition)
      *ANewPosition = FArcPosition;
    return S_OK;
  });
}

HRESULT TMyStreamWriter::SetSize(UInt64)
{
  return E_NOTIMPL;
}

bool TMyStreamWriter::Commit(int& AError, QString& AFileName)
{
  std::lock_guard lock(FLock);
  FFinished = true;
  // What is still gathered goes out first; its failure has been told as a failed write is.
  AError = Flush() == S_OK ? 0 : FMyLastError.load();
  AFileName = FVolumes.back().Name;
  const timespec times[2] = {{FArcDate, 0}, {FArcDate, 0}};
  for (std::size_t i = 0; i < FVolumes.size() && AError == 0; ++i) {
    TVolume& volume = FVolumes[i];
    AFileName = volume.Name;
    int handle = Handle(i, AError);
    if (handle < 0)
      break;
    if (::futimens(handle, times) != 0)
      AError = errno;
    if (AError == 0)
      AError = Posix::Sync(handle);
    if (const int closed = CloseVolume(volume); AError == 0)
      AError = closed;
  }
  if (AError == 0)
    AError = MoveIntoPlace(AFileName);
  if (AError != 0) {
    FMyLastError.store(AError);
    RemoveTemporaryFiles();
    return false;
  }
  return true;
}

// Renames the new files over the old ones. The previous archive's files are kept under second
// names until every new file is in place, and put back when one cannot be; 0 or the errno.
int TMyStreamWriter::MoveIntoPlace(QString& AFileName)
{
  std::vector<TKeptFile> kept(FVolumes.size());
  const auto restore = [&]() {
    for (std::size_t i = 0; i < FVolumes.size(); ++i) {
      TKeptFile& file = kept[i];
      if (!file.Kept.isEmpty()) {
        // A rename between two links of one file does nothing, so the second link is removed too.
        ::rename(file.Kept.constData(), file.Final.constData());
        ::unlink(file.Kept.constData());
      } else if (file.Replaced)
        ::unlink(file.Final.constData());
    }
  };

  for (std::size_t i = 0; i < FVolumes.size(); ++i) {
    kept[i].Final = EncodeFileName(FVolumes[i].Name);
    struct stat st = {};
    if (::lstat(kept[i].Final.constData(), &st) != 0 || !S_ISREG(st.st_mode))
      continue;
    if (const int error = Keep(kept[i]); error != 0) {
      AFileName = FVolumes[i].Name;
      kept[i].Kept.clear();
      restore();
      return error;
    }
  }
  for (std::size_t i = 0; i < FVolumes.size(); ++i) {
    AFileName = FVolumes[i].Name;
    // What is renamed must still be the file written, not something put in its place.
    struct stat st = {};
    if (::lstat(FVolumes[i].TempPath.constData(), &st) != 0 || st.st_dev != FVolumes[i].Device ||
        st.st_ino != FVolumes[i].Inode) {
      restore();
      return ESTALE;
    }
    if (const int error = Posix::Rename(FVolumes[i].TempPath, kept[i].Final); error != 0) {
      restore();
      return error;
    }
    FVolumes[i].TempPath.clear();
    kept[i].Replaced = true;
  }
  AFileName = FArcName;
  if (const int error = Posix::SyncFolderOf(EncodeFileName(FArcName)); error != 0) {
    restore();
    return error;
  }
  for (const TKeptFile& file : kept)
    if (!file.Kept.isEmpty())
      ::unlink(file.Kept.constData());
  // Volumes of an earlier, longer set follow on from this one's numbers.
  if (FArcVolumeSize != 0) {
    for (std::uint64_t number = FVolumes.size() + 1;; ++number) {
      const QByteArray stale = EncodeFileName(VolumeName(FArcName, number));
      struct stat st = {};
      if (::lstat(stale.constData(), &st) != 0 || !S_ISREG(st.st_mode) || ::unlink(stale.constData()) != 0)
        break;
    }
  }
  return Posix::SyncFolderOf(EncodeFileName(FArcName));
}

void TMyStreamWriter::RemoveTemporaryFiles()
{
  for (TVolume& volume : FVolumes) {
    CloseVolume(volume);
    if (!volume.TempPath.isEmpty())
      ::unlink(volume.TempPath.constData());
    volume.TempPath.clear();
  }
}

void TMyStreamWriter::Discard()
{
  std::lock_guard lock(FLock);
  FFinished = true;
  FBuffered = 0;
  RemoveTemporaryFiles();
}

QList<QByteArray> TMyStreamWriter::TemporaryPaths() const
{
  QList<QByteArray> paths;
  for (const TVolume& volume : FVolumes)
    paths.append(volume.TempPath);
  return paths;
}

QStringList TMyStreamWriter::VolumeNames() const
{
  QStringList names;
  for (const TVolume& volume : FVolumes)
    names.append(volume.Name);
  return names;
}
