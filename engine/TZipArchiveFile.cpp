// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/TZipArchiveFile.h"

#include "platform/Posix.h"

#include <cerrno>

#include <unistd.h>

TZipArchiveFile::TZipArchiveFile(const QByteArray& ATarget, std::function<int(const QByteArray&)> AVerify)
  : FTarget(ATarget)
  , FMode(Posix::ReplacementMode(ATarget, 0600))
  , FVerify(std::move(AVerify))
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

void TZipArchiveFile::RemoveTemporary()
{
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
    int error = 0;
    FFile = Posix::CreateTemporaryBeside(FTarget, FMode, FTempPath, error);
    return FFile.IsOpen() ? 0 : Failed(ZIP_ER_TMPOPEN, error);
  }
  case ZIP_SOURCE_WRITE:
    if (const int error = Posix::WriteAll(FFile.Fd(), AData, ALength); error != 0)
      return Failed(ZIP_ER_WRITE, error);
    return static_cast<zip_int64_t>(ALength);
  case ZIP_SOURCE_SEEK_WRITE: {
    const auto* seek = ZIP_SOURCE_GET_ARGS(zip_source_args_seek_t, AData, ALength, &FError);
    if (seek == nullptr)
      return -1;
    if (::lseek(FFile.Fd(), static_cast<off_t>(seek->offset), seek->whence) < 0)
      return Failed(ZIP_ER_SEEK, errno);
    return 0;
  }
  case ZIP_SOURCE_TELL_WRITE: {
    const off_t position = ::lseek(FFile.Fd(), 0, SEEK_CUR);
    return position < 0 ? Failed(ZIP_ER_TELL, errno) : static_cast<zip_int64_t>(position);
  }
  case ZIP_SOURCE_COMMIT_WRITE: {
    if (FVerify) {
      if (const int code = FVerify(FTempPath); code != 0)
        return Failed(code, 0);
    }
    const int error = Posix::CommitReplacement(FFile, FTempPath, FTarget);
    FTempPath.clear();
    return error == 0 ? 0 : Failed(ZIP_ER_RENAME, error);
  }
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
