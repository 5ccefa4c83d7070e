// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/TMyStreamReader.h"

#include "engine/TSevenZipRun.h"
#include "platform/FileNames.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace SevenZip;

TMyStreamReader* TMyStreamReader::Open(const QString& AFileName, std::shared_ptr<TSevenZipRun> ARun, int& AError)
{
  // O_NONBLOCK keeps a FIFO or device that took the place of a file from hanging the run.
  const int handle = ::open(EncodeFileName(AFileName).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (handle < 0) {
    AError = errno;
    return nullptr;
  }
  struct stat info
  {};
  if (::fstat(handle, &info) != 0 || !S_ISREG(info.st_mode)) {
    AError = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    ::close(handle);
    return nullptr;
  }
  ::fcntl(handle, F_SETFL, ::fcntl(handle, F_GETFL) & ~O_NONBLOCK);
  // Read-ahead advice helps only a file the library reads in more than one of its (1 MiB) blocks.
  if (info.st_size > 1 << 20)
    ::posix_fadvise(handle, 0, 0, POSIX_FADV_SEQUENTIAL);
  AError = 0;
  return new TMyStreamReader(handle, static_cast<UInt64>(info.st_size), AFileName, std::move(ARun));
}

TMyStreamReader::TMyStreamReader(int AHandle, UInt64 ASize, const QString& AFileName,
                                 std::shared_ptr<TSevenZipRun> ARun)
  : FHandle(AHandle)
  , FSize(ASize)
  , FFileName(AFileName)
  , FRun(std::move(ARun))
{}

TMyStreamReader::~TMyStreamReader()
{
  ::close(FHandle);
}

HRESULT TMyStreamReader::QueryInterface(const GUID& AIid, void** AObject)
{
  if (!AObject)
    return E_INVALIDARG;
  *AObject = nullptr;
  if (AIid == IID_IUnknown || AIid == IID_ISequentialInStream || AIid == IID_IInStream)
    *AObject = static_cast<IInStream*>(this);
  else if (AIid == IID_IStreamGetSize)
    *AObject = static_cast<IStreamGetSize*>(this);
  else
    return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

ULONG TMyStreamReader::AddRef()
{
  return ++FRefCount;
}

ULONG TMyStreamReader::Release()
{
  const ULONG count = --FRefCount;
  if (count == 0)
    delete this;
  return count;
}

HRESULT TMyStreamReader::Read(void* AData, UInt32 ASize, UInt32* AProcessedSize)
{
  return Guarded([&]() -> HRESULT {
    if (AProcessedSize)
      *AProcessedSize = 0;
    if (const HRESULT cancelled = FRun->CheckCancel(); cancelled != S_OK)
      return cancelled;
    if (ASize == 0)
      return S_OK;
    ssize_t count;
    do {
      count = ::read(FHandle, AData, ASize);
    } while (count < 0 && errno == EINTR);
    if (count < 0) {
      // A source that cannot be read fails the run; it is never stored cut short.
      const int error = errno;
      FRun->ReportInputError(error, FFileName);
      return HResultFromErrno(error);
    }
    FRun->BytesRead += static_cast<UInt64>(count);
    if (AProcessedSize)
      *AProcessedSize = static_cast<UInt32>(count);
    return S_OK;
  });
}

HRESULT TMyStreamReader::Seek(Int64 AOffset, UInt32 AOrigin, UInt64* ANewPosition)
{
  static constexpr int Whence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
  if (AOrigin > STREAM_SEEK_END)
    return E_INVALIDARG;
  const off_t position = ::lseek(FHandle, static_cast<off_t>(AOffset), Whence[AOrigin]);
  if (position < 0)
    return HResultFromErrno(errno);
  if (ANewPosition)
    *ANewPosition = static_cast<UInt64>(position);
  return S_OK;
}

HRESULT TMyStreamReader::GetSize(UInt64* ASize)
{
  // Asked once per file, right after the open that looked at it.
  if (ASize)
    *ASize = FSize;
  return S_OK;
}
