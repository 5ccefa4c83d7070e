// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/TZipArchiveFile.h"

#include "platform/Posix.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <unistd.h>

TZipArchiveFile::TZipArchiveFile(const QByteArray& ATarget)
  : FTarget(ATarget)
  , FMode(Posix::ReplacementMode(ATarget, 0600))
{
  zip_error_init(&FError);
}

TZipArchiveFile::~TZipArchiveFile()
{
  RemoveTemporary();
  zip_error_fini(&FError);
}

zip_source_t* TZipArchiveFile::NewSource(zip_error_t* AError)
{
  return zip_source_function_create(&TZipArchiveFile::Callback, this, AError);
}

zip_int64_t TZipArchiveFile::Callback(void* AState, void* AData, zip_uint64_t ALength, zip_source_cmd_t ACommand)
{
  return static_cast<TZipArchiveFile*>(AState)->Command(AData, ALength, ACommand);
}

zip_int64_t TZipArchiveFile::Failed(int AZipError, int ASystemError)
{
  zip_error_set(&FError, AZipError, ASystemError);
  return -1;
}

namespace {

// What the buffer holds at most.
constexpr std::size_t BufferCapacity = 1 << 20;

} // namespace

int TZipArchiveFile::Flush()
{
  if (FBufferSize == 0) {
    FBufferStart = FPosition;
    return 0;
  }
  const int error = Posix::WriteAllAt(FFile.Fd(), FBuffer.get(), FBufferSize, FBufferStart);
  // The disk takes the data while libzip goes on; the commit then waits for little.
  if (error == 0)
    Posix::StartWriteback(FFile.Fd(), FBufferStart, FBufferSize);
  FBufferSize = 0;
  FBufferStart = FPosition;
  return error;
}

int TZipArchiveFile::Sync()
{
  return FWritten ? Posix::Sync(FFile.Fd()) : EBADF;
}

int TZipArchiveFile::Replace(int& ASystemError)
{
  ASystemError = 0;
  if (!FWritten || FTempPath.isEmpty())
    return ZIP_ER_INTERNAL;
  // Flushed again: little is left after Sync, and a file whose flush failed never gets here.
  // On failure CommitReplacement has removed the file itself.
  ASystemError = Posix::CommitReplacement(FFile, FTempPath, FTarget);
  FTempPath.clear();
  FWritten = false;
  return ASystemError == 0 ? 0 : ZIP_ER_RENAME;
}

void TZipArchiveFile::RemoveTemporary()
{
  FWritten = false;
  FBufferSize = 0;
  FBufferStart = FPosition = FEnd = 0;
  FFile = TFileDescriptor();
  if (!FTempPath.isEmpty())
    ::unlink(FTempPath.constData());
  FTempPath.clear();
}

zip_int64_t TZipArchiveFile::Command(void* AData, zip_uint64_t ALength, zip_source_cmd_t ACommand)
{
  switch (ACommand) {
  case ZIP_SOURCE_SUPPORTS:
    return ZIP_SOURCE_SUPPORTS_WRITABLE;
  case ZIP_SOURCE_STAT:
    // The archive is always written anew: what was there before is never read.
    return Failed(ZIP_ER_READ, ENOENT);
  case ZIP_SOURCE_BEGIN_WRITE: {
    RemoveTemporary();
    if (!FBuffer)
      FBuffer.reset(new char[BufferCapacity]);
    int error = 0;
    FFile = Posix::CreateTemporaryBeside(FTarget, FMode, FTempPath, error);
    return FFile.IsOpen() ? 0 : Failed(ZIP_ER_TMPOPEN, error);
  }
  case ZIP_SOURCE_WRITE: {
    // A write outside the buffered range (behind it, or past its end), or one that does not fit,
    // writes out what the buffer holds first; one larger than the buffer goes to the file as it is.
    if (FPosition < FBufferStart || FPosition > FBufferStart + FBufferSize ||
        FPosition - FBufferStart + ALength > BufferCapacity) {
      if (const int error = Flush(); error != 0)
        return Failed(ZIP_ER_WRITE, error);
      if (ALength > BufferCapacity) {
        if (const int error = Posix::WriteAllAt(FFile.Fd(), AData, ALength, FPosition); error != 0)
          return Failed(ZIP_ER_WRITE, error);
        Posix::StartWriteback(FFile.Fd(), FPosition, ALength);
        FPosition += ALength;
        FEnd = std::max(FEnd, FPosition);
        FBufferStart = FPosition;
        return static_cast<zip_int64_t>(ALength);
      }
    }
    const std::size_t offset = FPosition - FBufferStart;
    std::memcpy(FBuffer.get() + offset, AData, ALength);
    FBufferSize = std::max<std::size_t>(FBufferSize, offset + ALength);
    FPosition += ALength;
    FEnd = std::max(FEnd, FPosition);
    return static_cast<zip_int64_t>(ALength);
  }
  case ZIP_SOURCE_SEEK_WRITE: {
    const auto* seek = ZIP_SOURCE_GET_ARGS(zip_source_args_seek_t, AData, ALength, &FError);
    if (seek == nullptr)
      return -1;
    zip_int64_t base = 0;
    switch (seek->whence) {
    case SEEK_SET:
      break;
    case SEEK_CUR:
      base = static_cast<zip_int64_t>(FPosition);
      break;
    case SEEK_END:
      base = static_cast<zip_int64_t>(FEnd);
      break;
    default:
      return Failed(ZIP_ER_INVAL, 0);
    }
    if (base + seek->offset < 0)
      return Failed(ZIP_ER_SEEK, EINVAL);
    FPosition = static_cast<std::uint64_t>(base + seek->offset);
    return 0;
  }
  case ZIP_SOURCE_TELL_WRITE:
    return static_cast<zip_int64_t>(FPosition);
  case ZIP_SOURCE_COMMIT_WRITE:
    // The file takes the archive's place in Replace, after libzip has freed its entries: reading
    // it back then needs no room beside them.
    if (const int error = Flush(); error != 0) {
      RemoveTemporary();
      return Failed(ZIP_ER_WRITE, error);
    }
    FWritten = true;
    return 0;
  case ZIP_SOURCE_ROLLBACK_WRITE:
    RemoveTemporary();
    return 0;
  case ZIP_SOURCE_ERROR:
    return zip_error_to_data(&FError, AData, ALength);
  case ZIP_SOURCE_FREE:
    return 0;
  case ZIP_SOURCE_REMOVE:
    // An archive without entries is never written, so the old one is never removed either.
    return Failed(ZIP_ER_OPNOTSUPP, 0);
  default:
    return Failed(ZIP_ER_OPNOTSUPP, 0);
  }
}
