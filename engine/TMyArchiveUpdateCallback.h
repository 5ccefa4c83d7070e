// SPDX-License-Identifier: GPL-3.0-or-later
// Answers the library's questions while it writes a new archive: the items and their properties,
// a stream for each file, the password and the progress.
//
// Its methods run on the library's threads: they read the item arrays (fixed before the run)
// and otherwise only touch the shared run state.
#pragma once

#include "engine/SevenZipInterfaces.h"
#include "engine/TSevenZip.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <vector>

class TSevenZipLibrary;
class TSevenZipRun;

class TMyArchiveUpdateCallback final : public SevenZip::IArchiveUpdateCallback, public SevenZip::ICryptoGetTextPassword2
{
public:
  // With one reference.
  // ARootDir and AOptions shape the item names (TSevenZip::ArchiveItemName).
  TMyArchiveUpdateCallback(std::shared_ptr<const TSevenZipLibrary> ALibrary, std::shared_ptr<TSevenZipRun> ARun,
                           const QString& APassword, const QString& ARootDir, AddOpts AOptions);

  // The item arrays; filled before the run starts.
  void AddItem(const QString& AFileName, SevenZip::UInt64 ASize, const SevenZip::FILETIME& ALastWrite,
               SevenZip::UInt32 AAttributes);
  int Count() const { return static_cast<int>(FFileNames.size()); }
  const QString& FileName(int AIndex) const { return FFileNames[static_cast<std::size_t>(AIndex)]; }
  SevenZip::UInt64 Size(int AIndex) const { return FSizes[static_cast<std::size_t>(AIndex)]; }

  SevenZip::HRESULT QueryInterface(const SevenZip::GUID& AIid, void** AObject) override;
  SevenZip::ULONG AddRef() override;
  SevenZip::ULONG Release() override;

  SevenZip::HRESULT SetTotal(SevenZip::UInt64 ATotal) override;
  SevenZip::HRESULT SetCompleted(const SevenZip::UInt64* ACompleteValue) override;
  SevenZip::HRESULT GetUpdateItemInfo(SevenZip::UInt32 AIndex, SevenZip::Int32* ANewData, SevenZip::Int32* ANewProps,
                                      SevenZip::UInt32* AIndexInArchive) override;
  SevenZip::HRESULT GetProperty(SevenZip::UInt32 AIndex, SevenZip::PROPID APropID,
                                SevenZip::PROPVARIANT* AValue) override;
  SevenZip::HRESULT GetStream(SevenZip::UInt32 AIndex, SevenZip::ISequentialInStream** AInStream) override;
  SevenZip::HRESULT SetOperationResult(SevenZip::Int32 AOperationResult) override;
  SevenZip::HRESULT CryptoGetTextPassword2(SevenZip::Int32* APasswordIsDefined, SevenZip::BSTR* APassword) override;

private:
  ~TMyArchiveUpdateCallback() = default;

  std::atomic<SevenZip::ULONG> FRefCount{1};
  std::shared_ptr<const TSevenZipLibrary> FLibrary;
  std::shared_ptr<TSevenZipRun> FRun;
  QString FPassword;
  QString FRootDir;
  AddOpts FOptions;
  std::vector<QString> FFileNames;
  std::vector<SevenZip::UInt64> FSizes;
  std::vector<SevenZip::FILETIME> FLastWrites;
  std::vector<SevenZip::UInt32> FAttributes;
};
