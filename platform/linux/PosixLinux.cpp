// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FileNames.h"
#include "platform/Posix.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Posix {

namespace {

std::atomic<TFaultHook> FaultHook{nullptr};

constexpr qsizetype NameMax = 255;
const QByteArray TemporarySuffix = ".tmp";
constexpr qsizetype RandomLength = 6;

int Injected(TFaultPoint APoint, int AFd, const QByteArray& APath, std::size_t& ASize)
{
  const TFaultHook hook = FaultHook.load(std::memory_order_acquire);
  return hook ? hook(APoint, AFd, APath, ASize) : 0;
}

template <typename TWrite> int WriteLoop(int AFd, const char* AData, std::size_t ASize, TWrite AWrite)
{
  std::uint64_t done = 0;
  while (ASize > 0) {
    std::size_t size = ASize;
    if (const int fault = Injected(fpWrite, AFd, {}, size); fault != 0)
      return fault;
    const ssize_t written = AWrite(AData, size, done);
    if (written < 0) {
      if (errno == EINTR)
        continue;
      return errno;
    }
    if (written == 0)
      return ENOSPC;
    AData += written;
    ASize -= static_cast<std::size_t>(written);
    done += static_cast<std::uint64_t>(written);
  }
  return 0;
}

} // namespace

QString ErrorText(int AErrno)
{
  char buffer[256];
  // The GNU strerror_r, which may return a static text instead of filling the buffer.
  return QString::fromLocal8Bit(::strerror_r(AErrno, buffer, sizeof buffer));
}

int WriteAll(int AFd, const void* AData, std::size_t ASize)
{
  return WriteLoop(
      AFd, static_cast<const char*>(AData), ASize,
      [AFd](const char* AChunk, std::size_t ALength, std::uint64_t) { return ::write(AFd, AChunk, ALength); });
}

int WriteAll(int AFd, const QByteArray& AData)
{
  return WriteAll(AFd, AData.constData(), static_cast<std::size_t>(AData.size()));
}

int WriteAllAt(int AFd, const void* AData, std::size_t ASize, std::uint64_t AOffset)
{
  return WriteLoop(AFd, static_cast<const char*>(AData), ASize,
                   [AFd, AOffset](const char* AChunk, std::size_t ALength, std::uint64_t ADone) {
                     return ::pwrite(AFd, AChunk, ALength, static_cast<off_t>(AOffset + ADone));
                   });
}

int Sync(int AFd)
{
  std::size_t none = 0;
  if (const int fault = Injected(fpSync, AFd, {}, none); fault != 0)
    return fault;
  return ::fsync(AFd) == 0 ? 0 : errno;
}

void StartWriteback(int AFd, std::uint64_t AOffset, std::uint64_t ALength)
{
  ::sync_file_range(AFd, static_cast<off_t>(AOffset), static_cast<off_t>(ALength), SYNC_FILE_RANGE_WRITE);
}

int Rename(const QByteArray& AFrom, const QByteArray& ATo)
{
  std::size_t none = 0;
  if (const int fault = Injected(fpRename, -1, ATo, none); fault != 0)
    return fault;
  return ::rename(AFrom.constData(), ATo.constData()) == 0 ? 0 : errno;
}

QByteArray FolderOf(const QByteArray& APath)
{
  const qsizetype slash = APath.lastIndexOf('/');
  if (slash < 0)
    return QByteArrayLiteral(".");
  return slash == 0 ? QByteArrayLiteral("/") : APath.left(slash);
}

int SyncFolderOf(const QByteArray& APath)
{
  int error = 0;
  TFileDescriptor folder = TFileDescriptor::Open(FolderOf(APath), O_RDONLY | O_DIRECTORY, 0, error);
  if (!folder.IsOpen())
    return error;
  // Some file systems cannot flush a folder; their renames are as durable as they get.
  error = Sync(folder.Fd());
  return error == EINVAL ? 0 : error;
}

mode_t ReplacementMode(const QByteArray& ATarget, mode_t ADefault)
{
  struct stat st = {};
  if (::stat(ATarget.constData(), &st) == 0 && S_ISREG(st.st_mode))
    return st.st_mode & 07777;
  return ADefault;
}

TFileDescriptor CreateTemporaryBeside(const QByteArray& ATarget, mode_t AMode, QByteArray& ATempPath, int& AError)
{
  const qsizetype slash = ATarget.lastIndexOf('/');
  const QByteArray folder = ATarget.left(slash + 1);
  QByteArray name = '.' + ATarget.mid(slash + 1) + '.' + QByteArray(RandomLength, 'X') + TemporarySuffix;
  if (name.size() > NameMax)
    name = ".corvale-" + QByteArray(RandomLength, 'X') + TemporarySuffix;
  ATempPath = folder + name;
  // Created private; widened below only when the file it replaces was.
  const int fd = ::mkostemps(ATempPath.data(), static_cast<int>(TemporarySuffix.size()), O_CLOEXEC);
  if (fd < 0) {
    AError = errno;
    ATempPath.clear();
    return TFileDescriptor();
  }
  TFileDescriptor file(fd);
  if ((AMode & 07777) != 0600 && ::fchmod(fd, AMode & 07777) != 0) {
    AError = errno;
    ::unlink(ATempPath.constData());
    ATempPath.clear();
    return TFileDescriptor();
  }
  AError = 0;
  return file;
}

bool IsTemporaryNameFor(const QByteArray& AName, const QByteArray& ABase)
{
  const qsizetype fixed = 1 + 1 + RandomLength + TemporarySuffix.size();
  if (!AName.startsWith('.') || !AName.endsWith(TemporarySuffix))
    return false;
  if (AName.size() == ABase.size() + fixed)
    return AName.mid(1, ABase.size()) == ABase && AName.at(1 + ABase.size()) == '.';
  return AName.startsWith(".corvale-") && AName.size() == 9 + RandomLength + TemporarySuffix.size();
}

int CommitReplacement(TFileDescriptor& AFile, const QByteArray& ATempPath, const QByteArray& ATarget)
{
  int error = Sync(AFile.Fd());
  if (const int closed = AFile.Close(); error == 0)
    error = closed;
  if (error == 0)
    error = Rename(ATempPath, ATarget);
  if (error != 0) {
    ::unlink(ATempPath.constData());
    return error;
  }
  return SyncFolderOf(ATarget);
}

std::unique_ptr<QFile> OpenForReading(const QString& AFileName)
{
  if (AFileName.isEmpty())
    return {};
  const int fd = ::open(EncodeFileName(AFileName).constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return {};
  auto file = std::make_unique<QFile>();
  if (!file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    return {};
  }
  return file;
}

int ReadFile(const QString& AFileName, QByteArray& AData, qint64 AMaxBytes, bool ALast)
{
  AData.clear();
  int error = 0;
  const TFileDescriptor file = TFileDescriptor::Open(EncodeFileName(AFileName), O_RDONLY, 0, error);
  if (!file.IsOpen())
    return error;
  if (ALast && AMaxBytes >= 0) {
    struct stat info
    {};
    if (::fstat(file.Fd(), &info) != 0)
      return errno;
    if (S_ISREG(info.st_mode) && info.st_size > AMaxBytes && ::lseek(file.Fd(), info.st_size - AMaxBytes, SEEK_SET) < 0)
      return errno;
  }
  char buffer[65536];
  while (AMaxBytes < 0 || AData.size() < AMaxBytes) {
    const ssize_t count = ::read(file.Fd(), buffer, sizeof buffer);
    if (count < 0 && errno == EINTR)
      continue;
    if (count < 0)
      return errno;
    if (count == 0)
      break;
    AData.append(buffer, count);
  }
  return 0;
}

int ReplaceFile(const QByteArray& ATarget, const QByteArray& AData, mode_t AMode)
{
  QByteArray temporary;
  int error = 0;
  TFileDescriptor file = CreateTemporaryBeside(ATarget, AMode, temporary, error);
  if (!file.IsOpen())
    return error;
  if (error = WriteAll(file.Fd(), AData); error != 0) {
    file = TFileDescriptor();
    ::unlink(temporary.constData());
    return error;
  }
  return CommitReplacement(file, temporary, ATarget);
}

void SetFaultHook(TFaultHook AHook)
{
  FaultHook.store(AHook, std::memory_order_release);
}

} // namespace Posix
