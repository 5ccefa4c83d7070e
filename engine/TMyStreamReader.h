// SPDX-License-Identifier: GPL-3.0-or-later
// An input stream over one source file, read as the library asks for it: never as a whole.
#pragma once

#include "engine/SevenZipInterfaces.h"

#include <QString>

#include <atomic>
#include <memory>

class TSevenZipRun;

class TMyStreamReader final : public SevenZip::IInStream, public SevenZip::IStreamGetSize
{
public:
  // Opens AFileName (a name from the file search, possibly with escaped bytes) for reading.
  // Gives the stream with one reference, or null with the errno in AError.
  static TMyStreamReader* Open(const QString& AFileName, std::shared_ptr<TSevenZipRun> ARun, int& AError);

  SevenZip::HRESULT QueryInterface(const SevenZip::GUID& AIid, void** AObject) override;
  SevenZip::ULONG AddRef() override;
  SevenZip::ULONG Release() override;

  SevenZip::HRESULT Read(void* AData, SevenZip::UInt32 ASize, SevenZip::UInt32* AProcessedSize) override;
  SevenZip::HRESULT Seek(SevenZip::Int64 AOffset, SevenZip::UInt32 AOrigin, SevenZip::UInt64* ANewPosition) override;
  // The size the file had when it was opened.
  SevenZip::HRESULT GetSize(SevenZip::UInt64* ASize) override;

private:
  TMyStreamReader(int AHandle, SevenZip::UInt64 ASize, const QString& AFileName, std::shared_ptr<TSevenZipRun> ARun);
  ~TMyStreamReader();

  std::atomic<SevenZip::ULONG> FRefCount{1};
  int FHandle;
  SevenZip::UInt64 FSize;
  QString FFileName;
  std::shared_ptr<TSevenZipRun> FRun;
};
