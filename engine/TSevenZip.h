// SPDX-License-Identifier: GPL-3.0-or-later
// Writes 7z archives, optionally in volumes of a fixed size, through 7-Zip's own library.
//
// Add is one synchronous call for its caller, but the library works on a thread of its own (and
// compresses with several more). While it works, Add runs an event loop on the calling thread:
// the window stays responsive, and the events below are raised on the calling thread from the
// notices the library's threads leave. Cancel may be called at any time from that thread (for
// example from a progress handler or a button); the library stops at its next read, write or
// progress report.
#pragma once

#include "platform/ECorvaleError.h"
#include "types/SharedTypes.h"

#include <QFlags>
#include <QObject>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <memory>
#include <stdexcept>

class TSevenZipLibrary;
class TSevenZipRun;
struct TSevenZipNotice;
namespace SevenZip {
struct IInArchive;
struct IOutArchive;
struct ISetProperties;
} // namespace SevenZip

class ESevenZipError : public ECorvaleError
{
public:
  using ECorvaleError::ECorvaleError;
};

// Leaves Add (and the backup that called it) at once, without a result: the archive file could
// not be created. Its message names the file and the reason.
class ESevenZipAbort : public ESevenZipError
{
public:
  using ESevenZipError::ESevenZipError;
};

enum class TCompressType : int { LZMA = 0, PPMD = 1 };

enum class TCompressStrength : int { SAVE = 0, FAST = 1, NORMAL = 2, MAXIMUM = 3, ULTRA = 4 };

enum class AddOptsEnum : unsigned {
  AddRecurseDirs = 0x01,
  AddSolid = 0x02,
  AddStoreOnlyFilename = 0x04,
  AddIncludeDriveLetter = 0x08,
  AddEncryptFilename = 0x10,
};
Q_DECLARE_FLAGS(AddOpts, AddOptsEnum)
Q_DECLARE_OPERATORS_FOR_FLAGS(AddOpts)

// A file starts: its full name and size in bytes.
using TOnSevenZipAddFile = std::function<void(QObject* ASender, const QString& AFileName, qint64 ASize)>;
// Progress: the current file, the bytes of the whole archive's input done (FilePosArc) and those
// of the current file (FilePosFile).
using TOnSevenZipProgress =
    std::function<void(QObject* ASender, const QString& AFileName, qint64 AFilePosArc, qint64 AFilePosFile)>;
// Before the library starts: the sum of the sizes of all files to add.
using TOnSevenZipPreProgress = std::function<void(QObject* ASender, qint64 AMaxProgress)>;
// A message with its code (ErrCode) and the file it concerns, if any.
using TOnSevenZipMessage =
    std::function<void(QObject* ASender, int AErrCode, const QString& AMessage, const QString& AFileName)>;

class TSevenZip : public QObject
{
  Q_OBJECT

public:
  // Loads 7z.so (the program folder first, then the system's copy). Raises ESevenZipError
  // "Could not load CreateObject function from 7za.dll\r\nPerhaps 7za.dll not found" when no
  // usable library is found.
  explicit TSevenZip(QObject* AOwner = nullptr);
  // The same, trying the libraries ALibraryFiles in order.
  TSevenZip(const QStringList& ALibraryFiles, QObject* AOwner);
  ~TSevenZip() override;

  const QString& SZFileName() const { return FSZFileName; }
  void SetSZFileName(const QString& AValue) { FSZFileName = AValue; }
  // Full names of the files to add, in order.
  QStringList& Files() { return FFiles; }
  const QStringList& Files() const { return FFiles; }
  AddOpts AddOptions() const { return FAddOptions; }
  void SetAddOptions(AddOpts AValue) { FAddOptions = AValue; }
  TCompressType LZMACompressType() const { return FLZMACompressType; }
  void SetLZMACompressType(TCompressType AValue) { FLZMACompressType = AValue; }
  TCompressStrength LZMACompressStrength() const { return FLZMACompressStrength; }
  void SetLZMACompressStrength(TCompressStrength AValue) { FLZMACompressStrength = AValue; }
  // Dictionary size as a power of two (24 = 16 MiB); sent only when not 0.
  int LZMAStrength() const { return FLZMAStrength; }
  void SetLZMAStrength(int AValue) { FLZMAStrength = AValue; }
  int LPPMDsize() const { return FLPPMDsize; }
  void SetLPPMDsize(int AValue) { FLPPMDsize = AValue; }
  int LPPMDmem() const { return FLPPMDmem; }
  void SetLPPMDmem(int AValue) { FLPPMDmem = AValue; }
  // Bytes per volume; 0 writes one file named SZFileName.
  std::uint32_t VolumeSize() const { return FVolumeSize; }
  void SetVolumeSize(std::uint32_t AValue) { FVolumeSize = AValue; }
  const QString& Password() const { return FPassword; }
  void SetPassword(const QString& AValue) { FPassword = AValue; }
  // Kept, not written into the archive.
  const QString& SevenZipComment() const { return FSevenZipComment; }
  void SetSevenZipComment(const QString& AValue) { FSevenZipComment = AValue; }
  // A prefix removed from the item names.
  const QString& AddRootDir() const { return FAddRootDir; }
  void SetAddRootDir(const QString& AValue) { FAddRootDir = AValue; }

  // The archive files the last Add wrote, in order; empty when it wrote none.
  const QStringList& NamesOfVolumesWritten() const { return FNamesOfVolumesWritten; }
  // Code of the last message.
  int ErrCode() const { return FErrCode; }
  // The last operating-system error (errno) of a stream.
  int LastError() const { return FLastError; }
  int NumberOfFiles() const { return FNumberOfFiles; }

  // The library that was loaded and its version as "major.minor".
  QString LibraryFileName() const;
  QString LibraryVersion() const;

  // Writes the archive: 0 on success, the library's result (non-zero) on failure, -1 when
  // there is nothing to add. Raises ESevenZipAbort when the first archive file cannot be
  // created, and passes on what an event handler raises (after stopping the library).
  int Add();
  // Asks a running Add to stop. Safe from any thread.
  void Cancel();

  // The text of a message code.
  static QString MessageText(int ACode);
  // The name an item gets in the archive for the full file name AFileName.
  static QString ArchiveItemName(const QString& AFileName, const QString& ARootDir, AddOpts AOptions);

  TOnSevenZipAddFile OnAddfile;
  TOnSevenZipProgress OnProgress;
  TOnSevenZipPreProgress OnPreProgress;
  TOnSevenZipMessage OnMessage;
  // Checks the finished archive's files (ATemporaryFiles, reported as AFinalNames) before they
  // replace the previous archive; false keeps the previous archive and fails the Add.
  std::function<bool(QObject* ASender, const QList<QByteArray>& ATemporaryFiles, const QStringList& AFinalNames)>
      OnVerify;

private:
  struct TProgressState;

  void LoadLibrary(const QStringList& ALibraryFiles);
  void Dispatch(const TSevenZipNotice& ANotice, TProgressState& AState);
  void EnterFiles(std::uint64_t ACompleted, TProgressState& AState, bool AReportEach);

  std::shared_ptr<TSevenZipLibrary> FLibrary;
  SevenZip::IInArchive* FInArchive = nullptr;
  SevenZip::IOutArchive* FOutArchive = nullptr;
  SevenZip::ISetProperties* FSetProperties = nullptr;
  std::atomic<bool> FMainCancel{false};
  bool FRunning = false;

  QString FSZFileName;
  QStringList FFiles;
  AddOpts FAddOptions;
  TCompressType FLZMACompressType = TCompressType::LZMA;
  TCompressStrength FLZMACompressStrength = TCompressStrength::SAVE;
  int FLZMAStrength = 0;
  int FLPPMDsize = 10;
  int FLPPMDmem = 30;
  std::uint32_t FVolumeSize = 0;
  QString FPassword;
  QString FSevenZipComment;
  QString FAddRootDir;
  QStringList FNamesOfVolumesWritten;
  int FErrCode = 0;
  int FLastError = 0;
  int FNumberOfFiles = -1;
};
