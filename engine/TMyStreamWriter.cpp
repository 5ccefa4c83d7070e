// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/TMyStreamWriter.h"

#include "engine/TSevenZip.h"
#include "engine/TSevenZipRun.h"
#include "platform/FileNames.h"
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
constexpr int NameMax = 255;

QString ErrorText(int AError)
{
  return QString::fromLocal8Bit(std::strerror(AError));
}

QByteArray TempPathFor(const QString& AName, const QByteArray& AToken, std::size_t AIndex)
{
  const QByteArray path = EncodeFileName(AName);
  const qsizetype slash = path.lastIndexOf('/');
  const QByteArray folder = path.left(slash + 1);
  const QByteArray base = path.mid(slash + 1);
  QByteArray name = '.' + base + '.' + AToken + ".tmp";
  if (name.size() > NameMax)
    name = ".corvale-" + AToken + '-' + QByteArray::number(static_cast<qulonglong>(AIndex + 1)) + ".tmp";
  return folder + name;
}

int SyncFolder(const QString& AFileName)
{
  const QByteArray path = EncodeFileName(AFileName);
  const qsizetype slash = path.lastIndexOf('/');
  const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
  const int handle = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (handle < 0)
    return errno;
  const int result = ::fsync(handle) == 0 || errno == EINVAL ? 0 : errno;
  ::close(handle);
  return result;
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
  , FToken(RandomString(8).toLatin1())
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
      if (candidate.Handle >= 0 && (!oldest || candidate.LastUse < oldest->LastUse))
        oldest = &candidate;
    if (const int error = CloseVolume(*oldest); error != 0)
      return error;
  }
  return 0;
}

// Creates volume AIndex (from 0) under its temporary name; 0 or the errno.
int TMyStreamWriter::CreateVolume(std::size_t AIndex)
{
  if (const int error = MakeRoomForHandle(); error != 0)
    return error;
  TVolume volume;
  volume.Name = FArcVolumeSize == 0 ? FArcName : VolumeName(FArcName, AIndex + 1);
  for (int attempt = 0;; ++attempt) {
    volume.TempPath = TempPathFor(volume.Name, FToken, AIndex);
    volume.Handle = ::open(volume.TempPath.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (volume.Handle >= 0)
      break;
    if (errno != EEXIST || attempt == 5)
      return errno;
    FToken = RandomString(8).toLatin1();
  }
  volume.LastUse = ++FUseCounter;
  ++FOpenHandles;
  FVolumes.push_back(std::move(volume));
  return 0;
}

// The open handle of volume AIndex, reopened when it was closed to save handles; -1 on failure.
int TMyStreamWriter::Handle(std::size_t AIndex, int& AError)
{
  TVolume& volume = FVolumes[AIndex];
  volume.LastUse = ++FUseCounter;
  if (volume.Handle >= 0)
    return volume.Handle;
  if (const int error = MakeRoomForHandle(); error != 0) {
    AError = error;
    return -1;
  }
  volume.Handle = ::open(volume.TempPath.constData(), O_RDWR | O_CLOEXEC);
  if (volume.Handle < 0) {
    AError = errno;
    return -1;
  }
  ++FOpenHandles;
  return volume.Handle;
}

// 0 or the errno of the close.
int TMyStreamWriter::CloseVolume(TVolume& AVolume)
{
  if (AVolume.Handle < 0)
    return 0;
  const int result = ::close(AVolume.Handle) == 0 ? 0 : errno;
  AVolume.Handle = -1;
  --FOpenHandles;
  return result;
}

bool TMyStreamWriter::WriteAt(std::size_t AVolume, const char* AData, std::size_t ASize, std::uint64_t AOffset,
                              int& AError)
{
  const int handle = Handle(AVolume, AError);
  if (handle < 0)
    return false;
  while (ASize > 0) {
    const ssize_t written = ::pwrite(handle, AData, ASize, static_cast<off_t>(AOffset));
    if (written < 0) {
      if (errno == EINTR)
        continue;
      AError = errno;
      return false;
    }
    AData += written;
    ASize -= static_cast<std::size_t>(written);
    AOffset += static_cast<std::uint64_t>(written);
  }
  return true;
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

    const char* data = static_cast<const char*>(AData);
    std::size_t left = ASize;
    std::uint64_t position = FArcPosition;
    int error = 0;
    if (FArcVolumeSize == 0) {
      if (!WriteAt(0, data, left, position, error)) {
        Fail(error, FVolumes[0].Name, 13);
        return HResultFromErrno(error);
      }
      position += left;
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
    FArcPosition = position;
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
  const timespec times[2] = {{FArcDate, 0}, {FArcDate, 0}};
  AError = 0;
  for (std::size_t i = 0; i < FVolumes.size() && AError == 0; ++i) {
    TVolume& volume = FVolumes[i];
    AFileName = volume.Name;
    int handle = Handle(i, AError);
    if (handle < 0)
      break;
    if (::futimens(handle, times) != 0 || ::fsync(handle) != 0)
      AError = errno;
    if (const int closed = CloseVolume(volume); AError == 0)
      AError = closed;
  }
  for (std::size_t i = 0; i < FVolumes.size() && AError == 0; ++i) {
    AFileName = FVolumes[i].Name;
    if (::rename(FVolumes[i].TempPath.constData(), EncodeFileName(FVolumes[i].Name).constData()) != 0)
      AError = errno;
    else
      FVolumes[i].TempPath.clear();
  }
  if (AError == 0) {
    AFileName = FArcName;
    AError = SyncFolder(FArcName);
  }
  if (AError != 0) {
    FMyLastError.store(AError);
    for (TVolume& volume : FVolumes) {
      CloseVolume(volume);
      if (!volume.TempPath.isEmpty())
        ::unlink(volume.TempPath.constData());
    }
    return false;
  }
  return true;
}

void TMyStreamWriter::Discard()
{
  std::lock_guard lock(FLock);
  FFinished = true;
  for (TVolume& volume : FVolumes) {
    CloseVolume(volume);
    if (!volume.TempPath.isEmpty())
      ::unlink(volume.TempPath.constData());
    volume.TempPath.clear();
  }
}

QStringList TMyStreamWriter::VolumeNames() const
{
  QStringList names;
  for (const TVolume& volume : FVolumes)
    names.append(volume.Name);
  return names;
}
