// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/TArchiveReader.h"

#include "engine/SevenZipReadInterfaces.h"
#include "engine/TSevenZipLibrary.h"
#include "engine/TZipInputFile.h"
#include "engine/ZipExtraFields.h"
#include "platform/FileNames.h"
#include "platform/Posix.h"
#include "platform/TFileDescriptor.h"

#include <QDir>
#include <QSet>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <optional>
#include <thread>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

using namespace SevenZip;

namespace {

constexpr std::size_t BufferSize = 1 << 20;

QString OperationText(Int32 AResult, bool AEncrypted)
{
  switch (AResult) {
  case kOpUnsupportedMethod:
    return QStringLiteral("unsupported compression method");
  case kOpDataError:
    return AEncrypted ? QStringLiteral("data error in an encrypted entry (wrong password?)")
                      : QStringLiteral("data error");
  case kOpCRCError:
    return AEncrypted ? QStringLiteral("CRC error in an encrypted entry (wrong password?)")
                      : QStringLiteral("CRC error");
  case kOpUnavailable:
    return QStringLiteral("data unavailable (a volume is missing?)");
  case kOpUnexpectedEnd:
    return QStringLiteral("unexpected end of data (the archive is cut short)");
  case kOpDataAfterEnd:
    return QStringLiteral("data after the end of the entry");
  case kOpIsNotArc:
    return QStringLiteral("not an archive");
  case kOpHeadersError:
    return QStringLiteral("headers error");
  case kOpWrongPassword:
    return QStringLiteral("wrong password");
  default:
    return QStringLiteral("error %1").arg(AResult);
  }
}

QString ErrorFlagsText(UInt32 AFlags)
{
  QStringList texts;
  if (AFlags & kErrorIsNotArc)
    texts << QStringLiteral("not a 7z archive");
  if (AFlags & (kErrorHeaders | kErrorEncryptedHeaders))
    texts << QStringLiteral("headers error");
  if (AFlags & kErrorUnexpectedEnd)
    texts << QStringLiteral("unexpected end of the archive (a volume is missing or cut short?)");
  if (AFlags & kErrorDataAfterEnd)
    texts << QStringLiteral("data after the end of the archive");
  if (AFlags & (kErrorUnsupportedFeature | kErrorUnsupportedMethod))
    texts << QStringLiteral("unsupported method or feature");
  if (AFlags & kErrorData)
    texts << QStringLiteral("data error");
  if (AFlags & kErrorCrc)
    texts << QStringLiteral("CRC error");
  if (texts.isEmpty())
    texts << QStringLiteral("error flags 0x%1").arg(AFlags, 0, 16);
  return texts.join(QStringLiteral(", "));
}

QString ResultText(HRESULT AResult)
{
  if (const int error = ErrnoFromHResult(AResult); error != 0)
    return Posix::ErrorText(error);
  switch (AResult) {
  case E_OUTOFMEMORY:
    return QStringLiteral("out of memory");
  case E_ABORT:
    return QStringLiteral("cancelled");
  default:
    return QStringLiteral("error 0x%1").arg(static_cast<UInt32>(AResult), 8, 16, QLatin1Char('0'));
  }
}

// A stored 7z name: one UTF-16 unit per wchar_t; U+EF80..U+EFFF carry bytes that are not UTF-8.
QString NameFromUnits(const wchar_t* AUnits)
{
  QString name;
  for (const wchar_t* unit = AUnits; unit && *unit; ++unit) {
    const auto value = static_cast<char32_t>(*unit);
    if (value >= 0xEF80 && value <= 0xEFFF)
      name.append(QChar(static_cast<char16_t>(0xDC00 + (value - 0xEF00))));
    else if (value <= 0xFFFF)
      name.append(QChar(static_cast<char16_t>(value)));
    else
      name.append(QString::fromUcs4(&value, 1));
  }
  return name;
}

template <typename T> struct TReleased
{
  T* Object = nullptr;
  SEVENZIP_CALLS_LIBRARY_OBJECTS ~TReleased()
  {
    if (Object)
      Object->Release();
  }
};

// Reference counting shared by the callback objects below.
template <typename TBase> class TComObject : public TBase
{
public:
  ULONG AddRef() override { return ++FRefCount; }
  ULONG Release() override
  {
    const ULONG count = --FRefCount;
    if (count == 0)
      delete this;
    return count;
  }

protected:
  virtual ~TComObject() = default;

private:
  std::atomic<ULONG> FRefCount{1};
};

// The archive's files read as one stream, as 7-Zip's own front end joins volumes.
class TVolumeStream final : public TComObject<IInStream>, public IStreamGetSize
{
public:
  // Opens the files; 0 or the errno, with the index of the file that failed.
  int Open(const QList<QByteArray>& AFiles, int& AFailed)
  {
    for (qsizetype i = 0; i < AFiles.size(); ++i) {
      int error = 0;
      TFileDescriptor file = TFileDescriptor::Open(AFiles[i], O_RDONLY | O_NOCTTY, 0, error);
      struct stat st = {};
      if (file.IsOpen() && ::fstat(file.Fd(), &st) != 0)
        error = errno;
      if (!file.IsOpen() || error != 0) {
        AFailed = static_cast<int>(i);
        return error;
      }
      FStarts.push_back(FSize);
      FSize += static_cast<UInt64>(st.st_size);
      FFiles.push_back(std::move(file));
    }
    return 0;
  }
  UInt64 Size() const { return FSize; }

  HRESULT QueryInterface(const GUID& AIid, void** AObject) override
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
  ULONG AddRef() override { return TComObject<IInStream>::AddRef(); }
  ULONG Release() override { return TComObject<IInStream>::Release(); }

  HRESULT Read(void* AData, UInt32 ASize, UInt32* AProcessedSize) override
  {
    return Guarded([&]() -> HRESULT {
      std::lock_guard lock(FLock);
      if (AProcessedSize)
        *AProcessedSize = 0;
      if (ASize == 0 || FPosition >= FSize)
        return S_OK;
      const auto next = std::upper_bound(FStarts.begin(), FStarts.end(), FPosition);
      const std::size_t index = static_cast<std::size_t>(next - FStarts.begin()) - 1;
      const UInt64 end = index + 1 < FStarts.size() ? FStarts[index + 1] : FSize;
      const std::size_t wanted = static_cast<std::size_t>(std::min<UInt64>(ASize, end - FPosition));
      ssize_t count = 0;
      do {
        count = ::pread(FFiles[index].Fd(), AData, wanted, static_cast<off_t>(FPosition - FStarts[index]));
      } while (count < 0 && errno == EINTR);
      if (count < 0)
        return HResultFromErrno(errno);
      FPosition += static_cast<UInt64>(count);
      if (AProcessedSize)
        *AProcessedSize = static_cast<UInt32>(count);
      return S_OK;
    });
  }
  HRESULT Seek(Int64 AOffset, UInt32 AOrigin, UInt64* ANewPosition) override
  {
    std::lock_guard lock(FLock);
    Int64 base = 0;
    if (AOrigin == STREAM_SEEK_CUR)
      base = static_cast<Int64>(FPosition);
    else if (AOrigin == STREAM_SEEK_END)
      base = static_cast<Int64>(FSize);
    else if (AOrigin != STREAM_SEEK_SET)
      return E_INVALIDARG;
    if (base + AOffset < 0)
      return HResultFromErrno(EINVAL);
    FPosition = static_cast<UInt64>(base + AOffset);
    if (ANewPosition)
      *ANewPosition = FPosition;
    return S_OK;
  }
  HRESULT GetSize(UInt64* ASize) override
  {
    if (ASize)
      *ASize = FSize;
    return S_OK;
  }

private:
  std::mutex FLock;
  std::vector<TFileDescriptor> FFiles;
  std::vector<UInt64> FStarts;
  UInt64 FSize = 0;
  UInt64 FPosition = 0;
};

} // namespace

// What the reading thread and the calling thread share.
struct TArchiveReader::TState
{
  TArchiveReader* Reader = nullptr;
  std::mutex Lock;
  std::condition_variable Changed;
  bool Finished = false;
  QString Entry;
  QStringList NewErrors;
  std::atomic<quint64> Done{0};
  std::atomic<quint64> Total{0};
  std::atomic<int> Good{0};
  bool Failed = false;

  void SetEntry(const QString& AName)
  {
    std::lock_guard lock(Lock);
    Entry = AName;
  }
  void Error(const QString& AEntry, const QString& AReason)
  {
    std::lock_guard lock(Lock);
    Failed = true;
    NewErrors << (AEntry + QStringLiteral(": ") + AReason);
    Changed.notify_all();
  }
  bool Cancelled() const { return Reader->Cancelled(); }
};

namespace {

// Passes the password to the library when the headers are encrypted.
class TOpenCallback final : public TComObject<IArchiveOpenCallback>, public ICryptoGetTextPassword
{
public:
  TOpenCallback(const TSevenZipLibrary& ALibrary, const QString& APassword, TArchiveReader::TState& AState)
    : FLibrary(ALibrary)
    , FPassword(APassword)
    , FState(AState)
  {}
  bool PasswordAsked = false;

  HRESULT QueryInterface(const GUID& AIid, void** AObject) override
  {
    if (!AObject)
      return E_INVALIDARG;
    *AObject = nullptr;
    if (AIid == IID_IUnknown || AIid == IID_IArchiveOpenCallback)
      *AObject = static_cast<IArchiveOpenCallback*>(this);
    else if (AIid == IID_ICryptoGetTextPassword)
      *AObject = static_cast<ICryptoGetTextPassword*>(this);
    else
      return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return TComObject<IArchiveOpenCallback>::AddRef(); }
  ULONG Release() override { return TComObject<IArchiveOpenCallback>::Release(); }
  HRESULT SetTotal(const UInt64*, const UInt64*) override { return S_OK; }
  HRESULT SetCompleted(const UInt64*, const UInt64*) override { return FState.Cancelled() ? E_ABORT : S_OK; }
  HRESULT CryptoGetTextPassword(BSTR* APassword) override
  {
    return Guarded([&]() -> HRESULT {
      PasswordAsked = true;
      *APassword = FLibrary.AllocString(TextUnits(FPassword));
      return *APassword ? S_OK : E_OUTOFMEMORY;
    });
  }

private:
  const TSevenZipLibrary& FLibrary;
  QString FPassword;
  TArchiveReader::TState& FState;
};

// The data of one item, handed on to the sink.
class TSinkStream final : public TComObject<ISequentialOutStream>
{
public:
  TSinkStream(TArchiveSink& ASink, QString& AFailure)
    : FSink(ASink)
    , FFailure(AFailure)
  {}
  HRESULT QueryInterface(const GUID& AIid, void** AObject) override
  {
    if (!AObject)
      return E_INVALIDARG;
    *AObject = nullptr;
    if (!(AIid == IID_IUnknown || AIid == IID_ISequentialOutStream))
      return E_NOINTERFACE;
    *AObject = static_cast<ISequentialOutStream*>(this);
    AddRef();
    return S_OK;
  }
  HRESULT Write(const void* AData, UInt32 ASize, UInt32* AProcessedSize) override
  {
    return Guarded([&]() -> HRESULT {
      // A write that failed is told once; the rest of the item is still read and checked.
      if (FFailure.isEmpty() && ASize > 0)
        FFailure = FSink.Write(static_cast<const char*>(AData), ASize);
      if (AProcessedSize)
        *AProcessedSize = ASize;
      return S_OK;
    });
  }

private:
  TArchiveSink& FSink;
  QString& FFailure;
};

class TExtractCallback final : public TComObject<IArchiveExtractCallback>, public ICryptoGetTextPassword
{
public:
  TExtractCallback(const TSevenZipLibrary& ALibrary, const QString& APassword, const std::vector<TArchiveItem>& AItems,
                   const std::vector<bool>& AEncrypted, TArchiveSink* ASink, TArchiveReader::TState& AState)
    : FLibrary(ALibrary)
    , FPassword(APassword)
    , FItems(AItems)
    , FEncrypted(AEncrypted)
    , FSink(ASink)
    , FState(AState)
  {}

  HRESULT QueryInterface(const GUID& AIid, void** AObject) override
  {
    if (!AObject)
      return E_INVALIDARG;
    *AObject = nullptr;
    if (AIid == IID_IUnknown || AIid == IID_IProgress || AIid == IID_IArchiveExtractCallback)
      *AObject = static_cast<IArchiveExtractCallback*>(this);
    else if (AIid == IID_ICryptoGetTextPassword)
      *AObject = static_cast<ICryptoGetTextPassword*>(this);
    else
      return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return TComObject<IArchiveExtractCallback>::AddRef(); }
  ULONG Release() override { return TComObject<IArchiveExtractCallback>::Release(); }

  // Added to what is shared as differences: a second extraction may count into it as well.
  HRESULT SetTotal(UInt64 ATotal) override
  {
    FState.Total += ATotal - FTotal;
    FTotal = ATotal;
    return S_OK;
  }
  HRESULT SetCompleted(const UInt64* AValue) override
  {
    if (AValue) {
      FState.Done += *AValue - FDone;
      FDone = *AValue;
    }
    return FState.Cancelled() ? E_ABORT : S_OK;
  }
  HRESULT GetStream(UInt32 AIndex, ISequentialOutStream** AOutStream, Int32 AAskMode) override
  {
    return Guarded([&]() -> HRESULT {
      *AOutStream = nullptr;
      if (FState.Cancelled())
        return E_ABORT;
      FIndex = AIndex;
      FMode = AAskMode;
      FBegun = false;
      FFailure.clear();
      if (AAskMode == kSkip || AIndex >= FItems.size())
        return S_OK;
      const TArchiveItem& item = FItems[AIndex];
      FState.SetEntry(item.Name);
      if (AAskMode != kExtract || !FSink)
        return S_OK;
      FFailure = FSink->Begin(item);
      FBegun = FFailure.isEmpty();
      if (FBegun && !item.IsFolder)
        *AOutStream = new TSinkStream(*FSink, FFailure);
      return S_OK;
    });
  }
  HRESULT PrepareOperation(Int32) override { return S_OK; }
  HRESULT SetOperationResult(Int32 AResult) override
  {
    return Guarded([&]() -> HRESULT {
      if (FMode == kSkip || FIndex >= FItems.size())
        return S_OK;
      const TArchiveItem& item = FItems[FIndex];
      if (AResult != kOpOK)
        FState.Error(item.Name, OperationText(AResult, FEncrypted[FIndex]));
      if (FBegun) {
        const QString ended = FSink->End(AResult == kOpOK && FFailure.isEmpty());
        if (FFailure.isEmpty())
          FFailure = ended;
      }
      if (!FFailure.isEmpty())
        FState.Error(item.Name, FFailure);
      else if (AResult == kOpOK)
        ++FState.Good;
      FBegun = false;
      FFailure.clear();
      return S_OK;
    });
  }
  HRESULT CryptoGetTextPassword(BSTR* APassword) override
  {
    return Guarded([&]() -> HRESULT {
      *APassword = FLibrary.AllocString(TextUnits(FPassword));
      return *APassword ? S_OK : E_OUTOFMEMORY;
    });
  }

private:
  const TSevenZipLibrary& FLibrary;
  QString FPassword;
  const std::vector<TArchiveItem>& FItems;
  const std::vector<bool>& FEncrypted;
  TArchiveSink* FSink;
  TArchiveReader::TState& FState;
  UInt32 FIndex = 0;
  Int32 FMode = kSkip;
  bool FBegun = false;
  QString FFailure;
  UInt64 FTotal = 0;
  UInt64 FDone = 0;
};

SEVENZIP_CALLS_LIBRARY_OBJECTS QString StringProperty(const TSevenZipLibrary& ALibrary, IInArchive* AArchive,
                                                      UInt32 AIndex, PROPID AProperty)
{
  PROPVARIANT value{};
  QString text;
  if (AArchive->GetProperty(AIndex, AProperty, &value) == S_OK && value.vt == VT_BSTR)
    text = NameFromUnits(value.bstrVal);
  ALibrary.ClearVariant(&value);
  return text;
}

SEVENZIP_CALLS_LIBRARY_OBJECTS PROPVARIANT Property(const TSevenZipLibrary& ALibrary, IInArchive* AArchive,
                                                    UInt32 AIndex, PROPID AProperty)
{
  PROPVARIANT value{};
  if (AArchive->GetProperty(AIndex, AProperty, &value) != S_OK || value.vt == VT_BSTR) {
    ALibrary.ClearVariant(&value);
    value = PROPVARIANT{};
  }
  return value;
}

// The first of the entries (of sizes ASizes) that a check without a sink hands to a second
// processor, which reads them through an opening of its own; ASizes.size() when it does not. Only
// where the bytes, not the entries, are the work: each opening keeps the whole list in memory.
std::size_t SecondHalfStart(const std::vector<quint64>& ASizes, const TArchiveSink* ASink)
{
  constexpr quint64 SplitBytes = 16 << 20;
  constexpr quint64 SplitBytesPerEntry = 16 << 10;
  quint64 total = 0;
  for (const quint64 size : ASizes)
    total += size;
  if (ASink || QThread::idealThreadCount() < 2 || total < SplitBytes ||
      total / std::max<std::size_t>(1, ASizes.size()) < SplitBytesPerEntry)
    return ASizes.size();
  std::size_t split = 0;
  for (quint64 first = 0; split < ASizes.size() && first < total / 2; ++split)
    first += ASizes[split];
  return split;
}

// Runs the second half's reading on a thread of its own, joined when this goes.
class TSecondReader
{
public:
  template <typename TRead> TSecondReader(const QString& AName, TArchiveReader::TState& AState, TRead ARead)
  {
    FThread = std::thread([&AName, &AState, ARead] {
      try {
        ARead();
      } catch (const std::bad_alloc&) {
        AState.Error(AName, Posix::ErrorText(ENOMEM));
      }
    });
  }
  TSecondReader(const TSecondReader&) = delete;
  TSecondReader& operator=(const TSecondReader&) = delete;
  ~TSecondReader()
  {
    if (FThread.joinable())
      FThread.join();
  }

private:
  std::thread FThread;
};

// A 7z archive opened for reading, closed when it goes.
struct TOpenedSevenZip
{
  TReleased<TVolumeStream> Stream{new TVolumeStream};
  TReleased<IInArchive> Archive;
  bool Opened = false;
  SEVENZIP_CALLS_LIBRARY_OBJECTS ~TOpenedSevenZip()
  {
    if (Opened)
      Archive.Object->Close();
  }
};

// Opens the 7z archive AFiles into AInto; false when it cannot be, with the reason told.
SEVENZIP_CALLS_LIBRARY_OBJECTS bool OpenSevenZip(const TSevenZipLibrary& ALibrary, const QList<QByteArray>& AFiles,
                                                 const QStringList& ANames, const QString& APassword,
                                                 TArchiveReader::TState& AState, TOpenedSevenZip& AInto)
{
  const QString archiveName = ANames.value(0);
  int failed = 0;
  if (const int error = AInto.Stream.Object->Open(AFiles, failed); error != 0) {
    AState.Error(ANames.value(failed), Posix::ErrorText(error));
    return false;
  }
  if (const HRESULT created =
          ALibrary.CreateObject(CLSID_CFormat7z, IID_IInArchive, reinterpret_cast<void**>(&AInto.Archive.Object));
      created != S_OK) {
    AState.Error(archiveName, QStringLiteral("7-Zip cannot read 7z archives: ") + ResultText(created));
    return false;
  }
  TReleased<TOpenCallback> open{new TOpenCallback(ALibrary, APassword, AState)};
  const UInt64 maxCheckStart = 0;
  const HRESULT opened =
      AInto.Archive.Object->Open(AInto.Stream.Object, &maxCheckStart, static_cast<IArchiveOpenCallback*>(open.Object));
  if (opened != S_OK) {
    if (opened == E_ABORT && AState.Cancelled())
      return false;
    AState.Error(archiveName, opened != S_FALSE ? ResultText(opened)
                              : open.Object->PasswordAsked
                                  ? QStringLiteral("cannot be opened: wrong password, or the headers are damaged")
                                  : QStringLiteral("cannot be opened as a 7z archive: it is damaged or incomplete"));
    return false;
  }
  AInto.Opened = true;
  return true;
}

// Reads (or tests) the entries AWanted[AFirst, ALast) of AArchive, described by AItems.
SEVENZIP_CALLS_LIBRARY_OBJECTS void
ExtractSevenZip(const TSevenZipLibrary& ALibrary, IInArchive* AArchive, const QString& AName, const QString& APassword,
                const std::vector<TArchiveItem>& AItems, const std::vector<bool>& AEncrypted,
                const std::vector<UInt32>& AWanted, std::size_t AFirst, std::size_t ALast, TArchiveSink* ASink,
                TArchiveReader::TState& AState)
{
  if (AFirst >= ALast)
    return;
  TReleased<TExtractCallback> callback{new TExtractCallback(ALibrary, APassword, AItems, AEncrypted, ASink, AState)};
  const HRESULT result = AArchive->Extract(AWanted.data() + AFirst, static_cast<UInt32>(ALast - AFirst), ASink ? 0 : 1,
                                           static_cast<IArchiveExtractCallback*>(callback.Object));
  if (result != S_OK && !(result == E_ABORT && AState.Cancelled()))
    AState.Error(AName, ResultText(result));
}

SEVENZIP_CALLS_LIBRARY_OBJECTS void ReadSevenZip(const TSevenZipLibrary& ALibrary, const QList<QByteArray>& AFiles,
                                                 const QStringList& ANames, const QString& APassword,
                                                 TArchiveSink* ASink, TArchiveReader::TState& AState)
{
  const QString archiveName = ANames.value(0);
  TOpenedSevenZip opened;
  if (!OpenSevenZip(ALibrary, AFiles, ANames, APassword, AState, opened))
    return;
  IInArchive* archive = opened.Archive.Object;

  PROPVARIANT flags{};
  if (archive->GetArchiveProperty(kpidErrorFlags, &flags) == S_OK && flags.vt == VT_UI4 && flags.ulVal != 0)
    AState.Error(archiveName, ErrorFlagsText(flags.ulVal));
  ALibrary.ClearVariant(&flags);

  UInt32 count = 0;
  if (archive->GetNumberOfItems(&count) != S_OK) {
    AState.Error(archiveName, QStringLiteral("the list of entries cannot be read"));
    return;
  }
  std::vector<TArchiveItem> items(count);
  std::vector<bool> encrypted(count);
  std::vector<UInt32> wanted;
  std::vector<quint64> sizes;
  for (UInt32 i = 0; i < count; ++i) {
    TArchiveItem& item = items[i];
    item.Name = StringProperty(ALibrary, archive, i, kpidPath);
    const PROPVARIANT isDir = Property(ALibrary, archive, i, kpidIsDir);
    item.IsFolder = isDir.vt == VT_BOOL && isDir.boolVal != VARIANT_FALSE;
    const PROPVARIANT size = Property(ALibrary, archive, i, kpidSize);
    item.Size = size.vt == VT_UI8 ? size.uhVal : size.vt == VT_UI4 ? size.ulVal : 0;
    const PROPVARIANT time = Property(ALibrary, archive, i, kpidMTime);
    if (time.vt == VT_FILETIME) {
      constexpr std::int64_t SecondsFrom1601To1970 = 11644473600;
      const std::uint64_t value = FileTimeValue(time.filetime);
      item.HasTime = true;
      item.Seconds = static_cast<qint64>(value / 10000000u) - SecondsFrom1601To1970;
      item.Nanoseconds = static_cast<long>(value % 10000000u) * 100;
    }
    const PROPVARIANT attributes = Property(ALibrary, archive, i, kpidAttrib);
    if (attributes.vt == VT_UI4 && (attributes.ulVal & 0x8000u)) {
      item.HasMode = true;
      item.Mode = static_cast<mode_t>((attributes.ulVal >> 16) & 07777);
    }
    const PROPVARIANT isEncrypted = Property(ALibrary, archive, i, kpidEncrypted);
    encrypted[i] = isEncrypted.vt == VT_BOOL && isEncrypted.boolVal != VARIANT_FALSE;
    if (!ASink || ASink->Wanted(item)) {
      wanted.push_back(i);
      sizes.push_back(item.Size);
    }
  }

  // In a solid archive the halves would share blocks, each decoded twice: read on one thread.
  PROPVARIANT isSolid{};
  const bool splittable = archive->GetArchiveProperty(kpidSolid, &isSolid) == S_OK && isSolid.vt == VT_BOOL &&
                          isSolid.boolVal == VARIANT_FALSE;
  ALibrary.ClearVariant(&isSolid);
  const std::size_t split = splittable ? SecondHalfStart(sizes, ASink) : wanted.size();
  std::optional<TSecondReader> second;
  if (split < wanted.size()) {
    second.emplace(archiveName, AState, [&] {
      TOpenedSevenZip secondOpened;
      if (OpenSevenZip(ALibrary, AFiles, ANames, APassword, AState, secondOpened))
        ExtractSevenZip(ALibrary, secondOpened.Archive.Object, archiveName, APassword, items, encrypted, wanted, split,
                        wanted.size(), nullptr, AState);
    });
  }
  ExtractSevenZip(ALibrary, archive, archiveName, APassword, items, encrypted, wanted, 0, split, ASink, AState);
}

// Opens the ZIP archive AFile through AInput; null when it cannot be, with the reason told.
zip_t* OpenZip(const QByteArray& AFile, const QString& AName, const QByteArray& APassword, TZipInputFile& AInput,
               TArchiveReader::TState& AState)
{
  zip_error_t error;
  zip_error_init(&error);
  zip_t* zip = nullptr;
  if (const int openError = AInput.Open(AFile); openError != 0) {
    zip_error_set(&error, ZIP_ER_OPEN, openError);
  } else if (zip_source_t* source = AInput.NewSource(&error)) {
    zip = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (!zip)
      zip_source_free(source);
  }
  if (!zip)
    AState.Error(AName, QString::fromUtf8(zip_error_strerror(&error)));
  zip_error_fini(&error);
  if (zip && !APassword.isEmpty())
    zip_set_default_password(zip, APassword.constData());
  return zip;
}

// Reads the entries AWanted[AFirst, ALast) of AZip, described by AItems alike, into ASink if given.
void ReadZipEntries(zip_t* AZip, const std::vector<TArchiveItem>& AItems, const std::vector<zip_uint64_t>& AWanted,
                    std::size_t AFirst, std::size_t ALast, TArchiveSink* ASink, TArchiveReader::TState& AState)
{
  std::vector<char> buffer(BufferSize);
  for (std::size_t i = AFirst; i < ALast && !AState.Cancelled(); ++i) {
    const TArchiveItem& item = AItems[i];
    AState.SetEntry(item.Name);
    QString failure = ASink ? ASink->Begin(item) : QString();
    const bool begun = ASink && failure.isEmpty();
    bool intact = true;
    if (!item.IsFolder) {
      zip_file_t* file = zip_fopen_index(AZip, AWanted[i], 0);
      if (!file) {
        AState.Error(item.Name, QString::fromUtf8(zip_error_strerror(zip_get_error(AZip))));
        intact = false;
      }
      while (file && !AState.Cancelled()) {
        const zip_int64_t read = zip_fread(file, buffer.data(), buffer.size());
        if (read < 0) {
          AState.Error(item.Name, QString::fromUtf8(zip_file_strerror(file)));
          intact = false;
          break;
        }
        if (read == 0)
          break;
        if (begun && failure.isEmpty())
          failure = ASink->Write(buffer.data(), static_cast<std::size_t>(read));
        AState.Done += static_cast<quint64>(read);
      }
      if (file)
        zip_fclose(file);
    }
    if (AState.Cancelled())
      intact = false;
    if (begun) {
      const QString ended = ASink->End(intact && failure.isEmpty());
      if (failure.isEmpty())
        failure = ended;
    }
    if (!failure.isEmpty())
      AState.Error(item.Name, failure);
    else if (intact)
      ++AState.Good;
  }
}

void ReadZip(const QByteArray& AFile, const QString& AName, const QString& APassword, TArchiveSink* ASink,
             TArchiveReader::TState& AState)
{
  const QByteArray password = APassword.toUtf8();
  TZipInputFile input;
  zip_t* zip = OpenZip(AFile, AName, password, input, AState);
  if (!zip)
    return;
  struct TCloser
  {
    zip_t* Zip;
    ~TCloser() { zip_discard(Zip); }
  } closer{zip};

  const zip_int64_t count = zip_get_num_entries(zip, 0);
  std::vector<TArchiveItem> items;
  std::vector<zip_uint64_t> wanted;
  quint64 total = 0;
  for (zip_int64_t i = 0; i < count; ++i) {
    const auto index = static_cast<zip_uint64_t>(i);
    zip_stat_t st;
    const char* raw = zip_get_name(zip, index, ZIP_FL_ENC_RAW);
    if (!raw || zip_stat_index(zip, index, 0, &st) != 0) {
      AState.Error(AName, QString::fromUtf8(zip_error_strerror(zip_get_error(zip))));
      continue;
    }
    TArchiveItem item;
    item.Name = DecodeFileName(QByteArray(raw));
    item.IsFolder = item.Name.endsWith(QLatin1Char('/'));
    if (item.IsFolder)
      item.Name.chop(1);
    item.Size = (st.valid & ZIP_STAT_SIZE) ? st.size : 0;
    if (st.valid & ZIP_STAT_MTIME) {
      item.HasTime = true;
      item.Seconds = st.mtime;
    }
    // The extended timestamp, where the writer left one, has the second the DOS time rounds.
    for (const zip_flags_t where : {zip_flags_t(ZIP_FL_CENTRAL), zip_flags_t(ZIP_FL_LOCAL)}) {
      zip_uint16_t length = 0;
      const zip_uint8_t* field =
          zip_file_extra_field_get_by_id(zip, index, ZipExtraFields::ExtendedTimestampId, 0, &length, where);
      qint64 seconds = 0;
      if (ZipExtraFields::ReadModificationTime(field, length, seconds)) {
        item.HasTime = true;
        item.Seconds = seconds;
        break;
      }
    }
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(zip, index, 0, &system, &attributes) == 0 && system == ZIP_OPSYS_UNIX &&
        (attributes >> 16) != 0) {
      item.HasMode = true;
      item.Mode = static_cast<mode_t>((attributes >> 16) & 07777);
    }
    if (ASink && !ASink->Wanted(item))
      continue;
    total += item.Size;
    items.push_back(item);
    wanted.push_back(index);
  }
  AState.Total.store(total);

  std::vector<quint64> sizes;
  for (const TArchiveItem& item : items)
    sizes.push_back(item.Size);
  const std::size_t split = SecondHalfStart(sizes, ASink);
  std::optional<TSecondReader> second;
  if (split < wanted.size()) {
    second.emplace(AName, AState, [&] {
      TZipInputFile secondInput;
      if (zip_t* secondZip = OpenZip(AFile, AName, password, secondInput, AState)) {
        ReadZipEntries(secondZip, items, wanted, split, wanted.size(), nullptr, AState);
        zip_discard(secondZip);
      }
    });
  }
  ReadZipEntries(zip, items, wanted, 0, split, ASink, AState);
}

} // namespace

TArchiveReader::TArchiveReader(std::shared_ptr<const TSevenZipLibrary> ALibrary)
  : FLibrary(std::move(ALibrary))
{}

TArchiveReader::~TArchiveReader() = default;

void TArchiveReader::Cancel()
{
  FCancel.store(true);
}

bool TArchiveReader::FindArchiveFiles(const QString& AArchive, bool AVolumes, QStringList& AFiles, QString& AError)
{
  AFiles.clear();
  struct stat st = {};
  if (!AVolumes) {
    if (::stat(EncodeFileName(AArchive).constData(), &st) != 0) {
      AError = AArchive + QStringLiteral(": ") + Posix::ErrorText(errno);
      return false;
    }
    AFiles << AArchive;
    return true;
  }
  // Every volume from .001 to the highest number in the folder must be there.
  const QByteArray path = EncodeFileName(AArchive);
  const QByteArray folder = Posix::FolderOf(path);
  const QByteArray base = path.mid(path.lastIndexOf('/') + 1) + '.';
  quint64 highest = 0;
  if (DIR* dir = ::opendir(folder.constData())) {
    while (const dirent* entry = ::readdir(dir)) {
      const QByteArray name(entry->d_name);
      if (!name.startsWith(base) || name.size() < base.size() + 3)
        continue;
      const QByteArray digits = name.mid(base.size());
      if (!std::all_of(digits.begin(), digits.end(), [](char AChar) { return AChar >= '0' && AChar <= '9'; }))
        continue;
      highest = std::max(highest, digits.toULongLong());
    }
    ::closedir(dir);
  }
  const auto volumeName = [&](quint64 ANumber) {
    QString name = AArchive;
    name += QLatin1Char('.');
    name += QString::number(ANumber).rightJustified(3, QLatin1Char('0'));
    return name;
  };
  if (highest == 0) {
    AError = volumeName(1) + QStringLiteral(": ") + Posix::ErrorText(ENOENT);
    return false;
  }
  for (quint64 number = 1; number <= highest; ++number) {
    const QString name = volumeName(number);
    if (::stat(EncodeFileName(name).constData(), &st) != 0) {
      AError = name + QStringLiteral(": the volume is missing");
      AFiles.clear();
      return false;
    }
    AFiles << name;
  }
  return true;
}

bool TArchiveReader::Read(TZipType AType, const QList<QByteArray>& AFiles, const QStringList& ANames,
                          const QString& APassword, TArchiveSink* ASink)
{
  FCancel.store(false);
  FErrors.clear();
  FGoodEntries = 0;
  TState state;
  state.Reader = this;
  if (AFiles.isEmpty()) {
    FErrors << QStringLiteral("no archive files");
    return false;
  }
  if (AType == zSeven && !FLibrary) {
    FErrors << ANames.value(0) + QStringLiteral(": 7-Zip's library (7z.so) cannot be loaded");
    if (OnError)
      OnError(FErrors.back());
    return false;
  }
  if (AType != zSeven && AType != zZip) {
    FErrors << ANames.value(0) + QStringLiteral(": archives of this type cannot be read back");
    if (OnError)
      OnError(FErrors.back());
    return false;
  }

  std::thread worker([&] {
    if (AType == zSeven)
      ReadSevenZip(*FLibrary, AFiles, ANames, APassword, ASink, state);
    else
      ReadZip(AFiles.front(), ANames.value(0), APassword, ASink, state);
    std::lock_guard lock(state.Lock);
    state.Finished = true;
    state.Changed.notify_all();
  });

  // Reports from this thread until the worker is done, every 20 ms, so that a handler keeping a
  // window alive is called often enough; a handler that raises cancels the read, and what it
  // raised is passed on once the worker has stopped.
  std::exception_ptr handlerError;
  for (;;) {
    QString entry;
    QStringList errors;
    bool finished = false;
    {
      std::unique_lock lock(state.Lock);
      state.Changed.wait_for(lock, std::chrono::milliseconds(20),
                             [&] { return state.Finished || !state.NewErrors.isEmpty(); });
      finished = state.Finished;
      entry = state.Entry;
      errors.swap(state.NewErrors);
    }
    FErrors << errors;
    if (!handlerError) {
      try {
        for (const QString& line : std::as_const(errors))
          if (OnError)
            OnError(line);
        const quint64 total = state.Total.load();
        const int perCent = total == 0 ? 0 : static_cast<int>(std::min<quint64>(100, state.Done.load() * 100 / total));
        if (OnProgress)
          OnProgress(entry, perCent);
      } catch (...) {
        handlerError = std::current_exception();
        Cancel();
      }
    }
    if (finished)
      break;
  }
  worker.join();
  FGoodEntries = state.Good.load();
  if (handlerError)
    std::rethrow_exception(handlerError);
  return !state.Failed && !Cancelled();
}
