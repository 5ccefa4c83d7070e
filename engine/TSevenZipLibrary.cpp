// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/TSevenZipLibrary.h"

#include "platform/FileNames.h"
#include "platform/FileSystem.h"
#include "sysinfo/Common.h"

#include <dlfcn.h>

using namespace SevenZip;

namespace {

// 23.01: the first Linux generation without a virtual destructor in IUnknown.
constexpr UInt32 MinimumVersion = 0x00170001;

template <typename T> T Symbol(void* AHandle, const char* AName)
{
  return reinterpret_cast<T>(::dlsym(AHandle, AName));
}

} // namespace

TSevenZipLibrary::~TSevenZipLibrary()
{
  if (FHandle)
    ::dlclose(FHandle);
}

QStringList TSevenZipLibrary::DefaultCandidates()
{
  return {IncludeTrailingPathDelimiter(GetApplicationFolder()) + QStringLiteral("7z.so"),
          QStringLiteral("/usr/lib/p7zip/7z.so")};
}

std::shared_ptr<TSevenZipLibrary> TSevenZipLibrary::Load(const QStringList& ACandidates, QStringList* AReasons)
{
  for (const QString& candidate : ACandidates) {
    std::shared_ptr<TSevenZipLibrary> library(new TSevenZipLibrary);
    const QString reason = library->Open(candidate);
    if (reason.isEmpty())
      return library;
    if (AReasons)
      AReasons->append(candidate + QStringLiteral(": ") + reason);
  }
  return nullptr;
}

// Empty when the library is usable, else why not.
QString TSevenZipLibrary::Open(const QString& AFileName)
{
  if (!FileExists(AFileName))
    return QStringLiteral("not found");
  // RTLD_LOCAL: the library exports generic C names that must not bind to or from ours.
  FHandle = ::dlopen(EncodeFileName(AFileName).constData(), RTLD_NOW | RTLD_LOCAL);
  if (!FHandle)
    return QString::fromLocal8Bit(::dlerror());
  FFileName = AFileName;
  FCreateObject = Symbol<TCreateObject>(FHandle, "CreateObject");
  if (!FCreateObject)
    return QStringLiteral("no CreateObject export");

  // Older generations (p7zip, 7-Zip before 23.01) lay their vtables out differently.
  const auto getModuleProp = Symbol<TGetModuleProp>(FHandle, "GetModuleProp");
  if (!getModuleProp)
    return QStringLiteral("no GetModuleProp export (an older library generation)");
  PROPVARIANT value{};
  if (getModuleProp(kModulePropInterfaceType, &value) != S_OK || value.vt != VT_UI4 || value.ulVal != 0)
    return QStringLiteral("interface type is not 0 (virtual destructors)");
  value = PROPVARIANT{};
  if (getModuleProp(kModulePropVersion, &value) != S_OK || value.vt != VT_UI4)
    return QStringLiteral("no version");
  FVersion = value.ulVal;
  if (FVersion < MinimumVersion)
    return QStringLiteral("version %1.%2 is older than 23.01")
        .arg(FVersion >> 16)
        .arg(FVersion & 0xFFFF, 2, 10, QLatin1Char('0'));

  FSysAllocStringLen = Symbol<TSysAllocStringLen>(FHandle, "SysAllocStringLen");
  FSysFreeString = Symbol<TSysFreeString>(FHandle, "SysFreeString");
  FVariantClear = Symbol<TVariantClear>(FHandle, "VariantClear");
  if (!FSysAllocStringLen || !FSysFreeString || !FVariantClear)
    return QStringLiteral("no string allocator exports");

  // Our interface identifiers must be the library's own.
  const struct
  {
    const char* Name;
    const GUID& Id;
  } identifiers[] = {
      {"IID_IOutArchive", IID_IOutArchive},
      {"IID_IInArchive", IID_IInArchive},
      {"IID_ISetProperties", IID_ISetProperties},
      {"IID_IArchiveUpdateCallback", IID_IArchiveUpdateCallback},
      {"IID_ICryptoGetTextPassword2", IID_ICryptoGetTextPassword2},
      {"IID_IProgress", IID_IProgress},
      {"IID_ISequentialInStream", IID_ISequentialInStream},
      {"IID_IInStream", IID_IInStream},
      {"IID_IStreamGetSize", IID_IStreamGetSize},
      {"IID_ISequentialOutStream", IID_ISequentialOutStream},
      {"IID_IOutStream", IID_IOutStream},
  };
  for (const auto& identifier : identifiers) {
    const auto* exported = Symbol<const GUID*>(FHandle, identifier.Name);
    if (exported && !(*exported == identifier.Id))
      return QStringLiteral("%1 differs from ours").arg(QLatin1String(identifier.Name));
  }
  return {};
}

SEVENZIP_CALLS_LIBRARY_OBJECTS HRESULT TSevenZipLibrary::CreateObject(const GUID& AClassId, const GUID& AIid,
                                                                      void** AObject) const
{
  *AObject = nullptr;
  const HRESULT result = FCreateObject(&AClassId, &AIid, AObject);
  if (result != S_OK && *AObject) {
    static_cast<IUnknown*>(*AObject)->Release();
    *AObject = nullptr;
  }
  return *AObject || result != S_OK ? result : E_FAIL;
}

BSTR TSevenZipLibrary::AllocString(const std::wstring& AText) const
{
  return FSysAllocStringLen(AText.c_str(), static_cast<unsigned>(AText.size()));
}

void TSevenZipLibrary::FreeString(BSTR AText) const
{
  FSysFreeString(AText);
}

void TSevenZipLibrary::ClearVariant(PROPVARIANT* AValue) const
{
  FVariantClear(AValue);
}
