// SPDX-License-Identifier: GPL-3.0-or-later
// Our declarations of the object interfaces of 7-Zip's shared library (7z.so), written for the
// Linux build of the library from 23.01 on: plain C++ member calls, Itanium vtables, no virtual
// destructor in IUnknown, wchar_t of 4 bytes holding UTF-16 code units.
//
// Everything lives in namespace SevenZip so that nothing here clashes with the generic C names
// the library exports (SysAllocString, VariantClear, ...).
#pragma once

#include <QString>

#include <cstdint>
#include <new>
#include <string>

// Marks functions that call methods of the library's own objects. Their type information carries
// the library's names for these interfaces, not ours, so a sanitizer's dynamic-type check cannot
// match them; the calls themselves follow the shared ABI.
#define SEVENZIP_CALLS_LIBRARY_OBJECTS __attribute__((no_sanitize("vptr")))

namespace SevenZip {

using HRESULT = std::int32_t;
using UInt32 = std::uint32_t;
using Int32 = std::int32_t;
using UInt64 = std::uint64_t;
using Int64 = std::int64_t;
using ULONG = std::uint32_t;
using PROPID = std::uint32_t;
using VARTYPE = std::uint16_t;
using VARIANT_BOOL = std::int16_t;
using OLECHAR = wchar_t;
using BSTR = OLECHAR*;

static_assert(sizeof(wchar_t) == 4, "the library's strings are 4-byte wchar_t; never build with -fshort-wchar");

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
inline constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004u);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);

// The library's form of an errno value as a result code.
constexpr HRESULT HResultFromErrno(int AErrno)
{
  return static_cast<HRESULT>(0x88000000u | (static_cast<unsigned>(AErrno) & 0xFFFFu));
}
// The errno inside such a result code, or 0 when it carries none.
constexpr int ErrnoFromHResult(HRESULT AResult)
{
  return (static_cast<unsigned>(AResult) & 0xFFFF0000u) == 0x88000000u ? static_cast<int>(AResult & 0xFFFF) : 0;
}

// Runs the body of a callback. No C++ exception may cross the library's C frames.
template <typename TBody> HRESULT Guarded(TBody&& ABody) noexcept
{
  try {
    return ABody();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

enum : VARTYPE {
  VT_EMPTY = 0,
  VT_BSTR = 8,
  VT_BOOL = 11,
  VT_UI1 = 17,
  VT_UI4 = 19,
  VT_I8 = 20,
  VT_UI8 = 21,
  VT_FILETIME = 64,
};

// Item properties the archive writer asks for.
enum : PROPID {
  kpidPath = 3,
  kpidName = 4,
  kpidIsDir = 6,
  kpidSize = 7,
  kpidAttrib = 9,
  kpidCTime = 10,
  kpidATime = 11,
  kpidMTime = 12,
  kpidIsAnti = 21,
};

// Properties of the library itself (GetModuleProp).
enum : PROPID {
  kModulePropInterfaceType = 0,
  kModulePropVersion = 1,
};

struct GUID
{
  UInt32 Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::uint8_t Data4[8];
};
static_assert(sizeof(GUID) == 16);

bool operator==(const GUID& ALeft, const GUID& ARight);

// 100 ns units since 1601-01-01 UTC.
struct FILETIME
{
  UInt32 dwLowDateTime;
  UInt32 dwHighDateTime;
};
static_assert(sizeof(FILETIME) == 8 && alignof(FILETIME) == 4);

struct PROPVARIANT
{
  VARTYPE vt;
  std::uint16_t wReserved1;
  std::uint16_t wReserved2;
  std::uint16_t wReserved3;
  union {
    BSTR bstrVal;
    VARIANT_BOOL boolVal;
    UInt32 ulVal;
    UInt64 uhVal;
    Int64 hVal;
    FILETIME filetime;
  };
};
static_assert(sizeof(PROPVARIANT) == 16 && alignof(PROPVARIANT) == 8);

// Interface identifiers: {23170F69-40C1-278A-0000-00GG00SS0000}.
constexpr GUID InterfaceId(std::uint8_t AGroup, std::uint8_t ASub)
{
  return GUID{0x23170F69, 0x40C1, 0x278A, {0, 0, 0, AGroup, 0, ASub, 0, 0}};
}

inline constexpr GUID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr GUID IID_IProgress = InterfaceId(0x00, 0x05);
inline constexpr GUID IID_ISequentialInStream = InterfaceId(0x03, 0x01);
inline constexpr GUID IID_ISequentialOutStream = InterfaceId(0x03, 0x02);
inline constexpr GUID IID_IInStream = InterfaceId(0x03, 0x03);
inline constexpr GUID IID_IOutStream = InterfaceId(0x03, 0x04);
inline constexpr GUID IID_IStreamGetSize = InterfaceId(0x03, 0x06);
inline constexpr GUID IID_ICryptoGetTextPassword2 = InterfaceId(0x05, 0x11);
inline constexpr GUID IID_ISetProperties = InterfaceId(0x06, 0x03);
inline constexpr GUID IID_IInArchive = InterfaceId(0x06, 0x60);
inline constexpr GUID IID_IArchiveUpdateCallback = InterfaceId(0x06, 0x80);
inline constexpr GUID IID_IOutArchive = InterfaceId(0x06, 0xA0);

// The 7z format's handler class.
inline constexpr GUID CLSID_CFormat7z = {0x23170F69, 0x40C1, 0x278A, {0x10, 0, 0, 0x01, 0x10, 0x07, 0, 0}};

// The destructors are protected and not virtual: the objects are freed by Release alone, and the
// library's vtables have no destructor slots.
struct IUnknown
{
  virtual HRESULT QueryInterface(const GUID& AIid, void** AObject) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

protected:
  ~IUnknown() = default;
};

struct ISequentialInStream : IUnknown
{
  virtual HRESULT Read(void* AData, UInt32 ASize, UInt32* AProcessedSize) = 0;

protected:
  ~ISequentialInStream() = default;
};

struct IInStream : ISequentialInStream
{
  virtual HRESULT Seek(Int64 AOffset, UInt32 AOrigin, UInt64* ANewPosition) = 0;

protected:
  ~IInStream() = default;
};

struct IStreamGetSize : IUnknown
{
  virtual HRESULT GetSize(UInt64* ASize) = 0;

protected:
  ~IStreamGetSize() = default;
};

struct ISequentialOutStream : IUnknown
{
  virtual HRESULT Write(const void* AData, UInt32 ASize, UInt32* AProcessedSize) = 0;

protected:
  ~ISequentialOutStream() = default;
};

struct IOutStream : ISequentialOutStream
{
  virtual HRESULT Seek(Int64 AOffset, UInt32 AOrigin, UInt64* ANewPosition) = 0;
  virtual HRESULT SetSize(UInt64 ANewSize) = 0;

protected:
  ~IOutStream() = default;
};

struct IProgress : IUnknown
{
  virtual HRESULT SetTotal(UInt64 ATotal) = 0;
  virtual HRESULT SetCompleted(const UInt64* ACompleteValue) = 0;

protected:
  ~IProgress() = default;
};

struct IArchiveUpdateCallback : IProgress
{
  virtual HRESULT GetUpdateItemInfo(UInt32 AIndex, Int32* ANewData, Int32* ANewProps, UInt32* AIndexInArchive) = 0;
  virtual HRESULT GetProperty(UInt32 AIndex, PROPID APropID, PROPVARIANT* AValue) = 0;
  virtual HRESULT GetStream(UInt32 AIndex, ISequentialInStream** AInStream) = 0;
  virtual HRESULT SetOperationResult(Int32 AOperationResult) = 0;

protected:
  ~IArchiveUpdateCallback() = default;
};

struct ICryptoGetTextPassword2 : IUnknown
{
  virtual HRESULT CryptoGetTextPassword2(Int32* APasswordIsDefined, BSTR* APassword) = 0;

protected:
  ~ICryptoGetTextPassword2() = default;
};

struct IOutArchive : IUnknown
{
  virtual HRESULT UpdateItems(ISequentialOutStream* AOutStream, UInt32 ANumItems,
                              IArchiveUpdateCallback* AUpdateCallback) = 0;
  virtual HRESULT GetFileTimeType(UInt32* AType) = 0;

protected:
  ~IOutArchive() = default;
};

struct ISetProperties : IUnknown
{
  virtual HRESULT SetProperties(const wchar_t* const* ANames, const PROPVARIANT* AValues, UInt32 ANumProps) = 0;

protected:
  ~ISetProperties() = default;
};

// Only held and released here; the reading side is not used by the program.
struct IInArchive : IUnknown
{
  virtual HRESULT Open(IInStream* AStream, const UInt64* AMaxCheckStartPosition, IUnknown* AOpenCallback) = 0;
  virtual HRESULT Close() = 0;
  virtual HRESULT GetNumberOfItems(UInt32* ANumItems) = 0;
  virtual HRESULT GetProperty(UInt32 AIndex, PROPID APropID, PROPVARIANT* AValue) = 0;
  virtual HRESULT Extract(const UInt32* AIndices, UInt32 ANumItems, Int32 ATestMode, IUnknown* AExtractCallback) = 0;
  virtual HRESULT GetArchiveProperty(PROPID APropID, PROPVARIANT* AValue) = 0;
  virtual HRESULT GetNumberOfProperties(UInt32* ANumProps) = 0;
  virtual HRESULT GetPropertyInfo(UInt32 AIndex, BSTR* AName, PROPID* APropID, VARTYPE* AVarType) = 0;
  virtual HRESULT GetNumberOfArchiveProperties(UInt32* ANumProps) = 0;
  virtual HRESULT GetArchivePropertyInfo(UInt32 AIndex, BSTR* AName, PROPID* APropID, VARTYPE* AVarType) = 0;

protected:
  ~IInArchive() = default;
};

// Seek origins.
enum : UInt32 { STREAM_SEEK_SET = 0, STREAM_SEEK_CUR = 1, STREAM_SEEK_END = 2 };

// Unix time (seconds and nanoseconds) to FILETIME; times before 1601 give 0.
FILETIME FileTimeFromUnix(std::int64_t ASeconds, long ANanoseconds);
std::uint64_t FileTimeValue(const FILETIME& ATime);

// The UTF-16 code units of AText, one per wchar_t, as the library stores names and passwords.
// Bytes of a file name that are not UTF-8 (lone surrogates U+DC80..U+DCFF) are handed over as
// U+EF80..U+EFFF, the escape the library's own Linux front end uses, so they come back as the
// same bytes when the archive is extracted on Linux.
std::wstring ArchiveNameUnits(const QString& AName);
std::wstring TextUnits(const QString& AText);

} // namespace SevenZip
