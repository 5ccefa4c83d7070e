// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/TZipInputFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t BlockSize = 256 * 1024;

} // namespace

TZipInputFile::TZipInputFile()
{
  zip_error_init(&FError);
}

TZipInputFile::~TZipInputFile()
{
  zip_error_fini(&FError);
}

int TZipInputFile::Open(const QByteArray& APath)
{
  int error = 0;
  FFile = TFileDescriptor::Open(APath, O_RDONLY | O_NOCTTY, 0, error);
  if (!FFile.IsOpen())
    return error;
  struct stat st = {};
  if (::fstat(FFile.Fd(), &st) != 0)
    return errno;
  if (!S_ISREG(st.st_mode))
    return EINVAL;
  FSize = static_cast<std::uint64_t>(st.st_size);
  ::posix_fadvise(FFile.Fd(), 0, 0, POSIX_FADV_SEQUENTIAL);
  FBuffer.reset(new char[BlockSize]);
  return 0;
}

zip_source_t* TZipInputFile::NewSource(zip_error_t* AError)
{
  return zip_source_function_create(&TZipInputFile::Callback, this, AError);
}

zip_int64_t TZipInputFile::Callback(void* AState, void* AData, zip_uint64_t ALength, zip_source_cmd_t ACommand)
{
  return static_cast<TZipInputFile*>(AState)->Command(AData, ALength, ACommand);
}

zip_int64_t TZipInputFile::Failed(int AZipError, int ASystemError)
{
  zip_error_set(&FError, AZipError, ASystemError);
  return -1;
}

zip_int64_t TZipInputFile::Read(char* AData, std::uint64_t ALength)
{
  ALength = std::min(ALength, FSize - std::min(FPosition, FSize));
  std::uint64_t done = 0;
  while (done < ALength) {
    const std::uint64_t position = FPosition + done;
    if (position < FBufferStart || position >= FBufferStart + FBufferSize) {
      // A piece as large as a block goes straight to the caller.
      if (ALength - done >= BlockSize) {
        const ssize_t count = ::pread(FFile.Fd(), AData + done, ALength - done, static_cast<off_t>(position));
        if (count < 0 && errno == EINTR)
          continue;
        if (count < 0)
          return Failed(ZIP_ER_READ, errno);
        if (count == 0)
          break;
        done += static_cast<std::uint64_t>(count);
        continue;
      }
      const ssize_t count = ::pread(FFile.Fd(), FBuffer.get(), BlockSize, static_cast<off_t>(position));
      if (count < 0 && errno == EINTR)
        continue;
      if (count < 0)
        return Failed(ZIP_ER_READ, errno);
      FBufferStart = position;
      FBufferSize = static_cast<std::size_t>(count);
      if (count == 0)
        break; // the file is shorter than it was
    }
    const std::size_t offset = position - FBufferStart;
    const std::size_t count = std::min<std::uint64_t>(FBufferSize - offset, ALength - done);
    std::memcpy(AData + done, FBuffer.get() + offset, count);
    done += count;
  }
  FPosition += done;
  return static_cast<zip_int64_t>(done);
}

zip_int64_t TZipInputFile::Command(void* AData, zip_uint64_t ALength, zip_source_cmd_t ACommand)
{
  switch (ACommand) {
  case ZIP_SOURCE_SUPPORTS:
    return ZIP_SOURCE_SUPPORTS_SEEKABLE;
  case ZIP_SOURCE_OPEN:
    FPosition = 0;
    return 0;
  case ZIP_SOURCE_READ:
    return Read(static_cast<char*>(AData), ALength);
  case ZIP_SOURCE_CLOSE:
    return 0;
  case ZIP_SOURCE_STAT: {
    auto* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, AData, ALength, &FError);
    if (st == nullptr)
      return -1;
    zip_stat_init(st);
    st->size = FSize;
    st->valid |= ZIP_STAT_SIZE;
    return 0;
  }
  case ZIP_SOURCE_SEEK: {
    const zip_int64_t position = zip_source_seek_compute_offset(FPosition, FSize, AData, ALength, &FError);
    if (position < 0)
      return -1;
    FPosition = static_cast<std::uint64_t>(position);
    return 0;
  }
  case ZIP_SOURCE_TELL:
    return static_cast<zip_int64_t>(FPosition);
  case ZIP_SOURCE_ERROR:
    return zip_error_to_data(&FError, AData, ALength);
  case ZIP_SOURCE_FREE:
    return 0;
  default:
    return Failed(ZIP_ER_OPNOTSUPP, 0);
  }
}
