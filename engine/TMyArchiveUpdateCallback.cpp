// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/TMyArchiveUpdateCallback.h"

#include "engine/TMyStreamReader.h"
#include "engine/TSevenZip.h"
#include "engine/TSevenZipLibrary.h"
#include "engine/TSevenZipRun.h"

#include <cerrno>

using namespace SevenZip;

namespace {

constexpr UInt32 DirectoryAttribute = 0x10;

} // namespace

TMyArchiveUpdateCallback::TMyArchiveUpdateCallback(std::shared_ptr<const TSevenZipLibrary> ALibrary,
                                                   std::shared_ptr<TSevenZipRun> ARun, const QString& APassword,
                                                   const QString& ARootDir, AddOpts AOptions)
  : FLibrary(std::move(ALibrary))
  , FRun(std::move(ARun))
  , FPassword(APassword)
  , FRootDir(ARootDir)
  , FOptions(AOptions)
{}

void TMyArchiveUpdateCallback::AddItem(const QString& AFileName, UInt64 ASize, const FILETIME& ALastWrite,
                                       UInt32 AAttributes)
{
  // The arrays grow in steps of 100 items.
  if (FFileNames.size() == FFileNames.capacity()) {
    const std::size_t capacity = FFileNames.size() + 100;
    FFileNames.reserve(capacity);
    FSizes.reserve(capacity);
    FLastWrites.reserve(capacity);
    FAttributes.reserve(capacity);
  }
  FFileNames.push_back(AFileName);
  FSizes.push_back(ASize);
  FLastWrites.push_back(ALastWrite);
  FAttributes.push_back(AAttributes);
}

HRESULT TMyArchiveUpdateCallback::QueryInterface(const GUID& AIid, void** AObject)
{
  if (!AObject)
    return E_INVALIDARG;
  *AObject = nullptr;
  if (AIid == IID_IUnknown || AIid == IID_IProgress || AIid == IID_IArchiveUpdateCallback)
    *AObject = static_cast<IArchiveUpdateCallback*>(this);
  else if (AIid == IID_ICryptoGetTextPassword2)
    *AObject = static_cast<ICryptoGetTextPassword2*>(this);
  else
    return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

ULONG TMyArchiveUpdateCallback::AddRef()
{
  return ++FRefCount;
}

ULONG TMyArchiveUpdateCallback::Release()
{
  const ULONG count = --FRefCount;
  if (count == 0)
    delete this;
  return count;
}

HRESULT TMyArchiveUpdateCallback::SetTotal(UInt64)
{
  return S_OK;
}

HRESULT TMyArchiveUpdateCallback::SetCompleted(const UInt64* ACompleteValue)
{
  return Guarded([&]() -> HRESULT {
    if (const HRESULT cancelled = FRun->CheckCancel(); cancelled != S_OK)
      return cancelled;
    if (ACompleteValue)
      FRun->PostProgress(*ACompleteValue);
    return S_OK;
  });
}

HRESULT TMyArchiveUpdateCallback::GetUpdateItemInfo(UInt32 AIndex, Int32* ANewData, Int32* ANewProps,
                                                    UInt32* AIndexInArchive)
{
  if (AIndex >= FFileNames.size())
    return E_INVALIDARG;
  // The archive is always written from scratch.
  if (ANewData)
    *ANewData = 1;
  if (ANewProps)
    *ANewProps = 1;
  if (AIndexInArchive)
    *AIndexInArchive = 0xFFFFFFFFu;
  return S_OK;
}

HRESULT TMyArchiveUpdateCallback::GetProperty(UInt32 AIndex, PROPID APropID, PROPVARIANT* AValue)
{
  if (AIndex >= FFileNames.size() || !AValue)
    return E_INVALIDARG;
  return Guarded([&]() -> HRESULT {
    *AValue = PROPVARIANT{};
    switch (APropID) {
    case kpidPath:
      // Formed when asked for, once per item: the list may be long.
      AValue->bstrVal =
          FLibrary->AllocString(ArchiveNameUnits(TSevenZip::ArchiveItemName(FFileNames[AIndex], FRootDir, FOptions)));
      if (!AValue->bstrVal)
        return E_OUTOFMEMORY;
      AValue->vt = VT_BSTR;
      break;
    case kpidIsDir:
      AValue->vt = VT_BOOL;
      AValue->boolVal = (FAttributes[AIndex] & DirectoryAttribute) ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    case kpidSize:
      AValue->vt = VT_UI8;
      AValue->uhVal = FSizes[AIndex];
      break;
    case kpidAttrib:
      AValue->vt = VT_UI4;
      AValue->ulVal = FAttributes[AIndex];
      break;
    case kpidCTime:
    case kpidATime:
      AValue->vt = VT_FILETIME;
      AValue->filetime = FILETIME{0, 0};
      break;
    case kpidMTime:
      AValue->vt = VT_FILETIME;
      AValue->filetime = FLastWrites[AIndex];
      break;
    case kpidIsAnti:
      AValue->vt = VT_BOOL;
      AValue->boolVal = VARIANT_FALSE;
      break;
    default:
      // No value. Any answer but S_OK would stop the library.
      break;
    }
    return S_OK;
  });
}

HRESULT TMyArchiveUpdateCallback::GetStream(UInt32 AIndex, ISequentialInStream** AInStream)
{
  if (!AInStream)
    return E_INVALIDARG;
  *AInStream = nullptr;
  if (AIndex >= FFileNames.size())
    return E_INVALIDARG;
  return Guarded([&]() -> HRESULT {
    if (const HRESULT cancelled = FRun->CheckCancel(); cancelled != S_OK)
      return cancelled;
    const QString& fileName = FFileNames[AIndex];
    FRun->SetCurrentFile(&fileName);
    int error = 0;
    TMyStreamReader* stream = TMyStreamReader::Open(fileName, FRun, error);
    if (!stream) {
      // Gone since it was listed: left out, as a file deleted before the run would be.
      if (error == ENOENT || error == ENOTDIR)
        return S_FALSE;
      // Anything else fails the run with the file named; it is never stored empty.
      FRun->ReportInputError(error, fileName);
      return HResultFromErrno(error);
    }
    FRun->PostStreamOpened(AIndex, fileName, FSizes[AIndex], FRun->BytesRead.load());
    *AInStream = static_cast<IInStream*>(stream);
    return S_OK;
  });
}

HRESULT TMyArchiveUpdateCallback::SetOperationResult(Int32)
{
  return S_OK;
}

HRESULT TMyArchiveUpdateCallback::CryptoGetTextPassword2(Int32* APasswordIsDefined, BSTR* APassword)
{
  if (!APasswordIsDefined || !APassword)
    return E_INVALIDARG;
  // Spaces count: a password of spaces encrypts the data.
  *APasswordIsDefined = FPassword.isEmpty() ? 0 : 1;
  *APassword = FLibrary->AllocString(TextUnits(FPassword));
  return *APassword ? S_OK : E_OUTOFMEMORY;
}
