// SPDX-License-Identifier: GPL-3.0-or-later
// The reading side of 7-Zip's library, as SevenZipInterfaces.h declares the writing side: the
// callbacks IInArchive::Open and IInArchive::Extract ask for, and the properties read back.
#pragma once

#include "engine/SevenZipInterfaces.h"

namespace SevenZip {

inline constexpr GUID IID_ICryptoGetTextPassword = InterfaceId(0x05, 0x10);
inline constexpr GUID IID_IArchiveOpenCallback = InterfaceId(0x06, 0x10);
inline constexpr GUID IID_IArchiveExtractCallback = InterfaceId(0x06, 0x20);

// Item and archive properties read back.
enum : PROPID {
  kpidSolid = 13,
  kpidEncrypted = 15,
  kpidPhySize = 44,
  kpidErrorFlags = 71,
};

// IArchiveExtractCallback's ask modes and the results of one item (NExtract).
enum : Int32 { kExtract = 0, kTest = 1, kSkip = 2 };
enum : Int32 {
  kOpOK = 0,
  kOpUnsupportedMethod = 1,
  kOpDataError = 2,
  kOpCRCError = 3,
  kOpUnavailable = 4,
  kOpUnexpectedEnd = 5,
  kOpDataAfterEnd = 6,
  kOpIsNotArc = 7,
  kOpHeadersError = 8,
  kOpWrongPassword = 9,
};

// Bits of kpidErrorFlags.
enum : UInt32 {
  kErrorIsNotArc = 1u << 0,
  kErrorHeaders = 1u << 1,
  kErrorEncryptedHeaders = 1u << 2,
  kErrorUnavailableStart = 1u << 3,
  kErrorUnconfirmedStart = 1u << 4,
  kErrorUnexpectedEnd = 1u << 5,
  kErrorDataAfterEnd = 1u << 6,
  kErrorUnsupportedFeature = 1u << 7,
  kErrorUnsupportedMethod = 1u << 8,
  kErrorData = 1u << 9,
  kErrorCrc = 1u << 10,
};

struct ICryptoGetTextPassword : IUnknown
{
  virtual HRESULT CryptoGetTextPassword(BSTR* APassword) = 0;

protected:
  ~ICryptoGetTextPassword() = default;
};

struct IArchiveOpenCallback : IUnknown
{
  virtual HRESULT SetTotal(const UInt64* AFiles, const UInt64* ABytes) = 0;
  virtual HRESULT SetCompleted(const UInt64* AFiles, const UInt64* ABytes) = 0;

protected:
  ~IArchiveOpenCallback() = default;
};

struct IArchiveExtractCallback : IProgress
{
  virtual HRESULT GetStream(UInt32 AIndex, ISequentialOutStream** AOutStream, Int32 AAskExtractMode) = 0;
  virtual HRESULT PrepareOperation(Int32 AAskExtractMode) = 0;
  virtual HRESULT SetOperationResult(Int32 AOperationResult) = 0;

protected:
  ~IArchiveExtractCallback() = default;
};

} // namespace SevenZip
