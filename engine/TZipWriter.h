// SPDX-License-Identifier: GPL-3.0-or-later
// The ZIP component of the backup engine: writes one ZIP archive from a list of full file names,
// over libzip.
//
// Files are streamed into the archive in chunks, never read whole. The archive is written to a
// temporary file beside the destination, which replaces the destination only when everything
// was written; a failed or cancelled run leaves the previous archive as it was.
#pragma once

#include "engine/TZipDeflater.h"

#include <QFlags>
#include <QObject>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class TZipWriter : public QObject
{
  Q_OBJECT

public:
  enum TAddOption : unsigned {
    AddDirNames = 0x01,    // entry names keep the file's folder path
    AddHiddenFiles = 0x02, // files whose name begins with "." are added too
    AddEncrypt = 0x04,     // entries are encrypted with Password (WinZip AES-256)
  };
  Q_DECLARE_FLAGS(TAddOptions, TAddOption)

  enum TZipState : int { zsIdle = 0, zsBusy = 1 };

  struct TProgressDetails
  {
    QString ItemName; // full name of the file being added
    int ItemPerCent = 0;
    int TotalPerCent = 0; // by bytes of all files to add
  };
  using TOnZipProgress = std::function<void(QObject* ASender, const TProgressDetails& ADetails)>;
  // AErrorCode is libzip's error code (ZIP_ER_...) of the condition, 0 for information.
  using TOnZipMessage = std::function<void(QObject* ASender, int AErrorCode, const QString& AMessage)>;

  explicit TZipWriter(QObject* AOwner = nullptr);
  ~TZipWriter() override;

  // libzip is linked, so loading cannot fail; the folder is kept for the caller.
  const QString& DLLDirectory() const { return FDLLDirectory; }
  void SetDLLDirectory(const QString& AValue) { FDLLDirectory = AValue; }
  QString DLL_Path() const;
  QString DLL_Version() const;

  QStringList& SpecArgs() { return FSpecArgs; }
  QStringList& SpecArgsExcl() { return FSpecArgsExcl; }

  // Work files go beside the archive, so that it can be replaced by a rename.
  const QString& TempDir() const { return FTempDir; }
  void SetTempDir(const QString& AValue) { FTempDir = AValue; }
  TAddOptions AddOptions() const { return FAddOptions; }
  void SetAddOptions(TAddOptions AValue) { FAddOptions = AValue; }
  // 0 stores, 1 to 9 deflate at that level.
  int AddCompLevel() const { return FAddCompLevel; }
  void SetAddCompLevel(int AValue) { FAddCompLevel = AValue; }
  const QString& ZipFileName() const { return FZipFileName; }
  void SetZipFileName(const QString& AValue) { FZipFileName = AValue; }
  // The archive comment as stored: UTF-8 (libzip refuses other encodings), at most 65535 bytes.
  const QByteArray& ZipComment() const { return FZipComment; }
  void SetZipComment(const QByteArray& AValue) { FZipComment = AValue; }
  const QString& Password() const { return FPassword; }
  void SetPassword(const QString& AValue) { FPassword = AValue; }

  // Writes the archive from SpecArgs less SpecArgsExcl (full names, compared without regard to
  // case). Returns 0 on success, otherwise the error code of the message that said why.
  // Exceptions raised by event handlers stop the writing and propagate once it is undone.
  [[nodiscard]] int Add();

  // May be set from a progress handler while libzip writes on the writer's own thread.
  bool Cancel() const { return FCancel; }
  void SetCancel(bool AValue) { FCancel = AValue; }
  TZipState State() const { return FState; }

  // Handlers are called on the thread that called Add, also while libzip writes on another.
  TOnZipProgress OnProgress;
  TOnZipMessage OnMessage;
  // Checks the finished archive (ATemporaryFile, still under its temporary name) before it
  // replaces the previous one; false keeps the previous archive and fails the Add.
  std::function<bool(QObject* ASender, const QByteArray& ATemporaryFile)> OnVerify;
  // Called every 20 ms while the written archive is still on its way to the disk after OnVerify
  // has returned, with no progress of the writer's own to report: a handler keeping a window
  // alive can repeat what it shows.
  std::function<void(QObject* ASender)> OnWaiting;

  struct TEntry;

private:
  // One attempt at writing the archive from FEntries; see Add.
  enum TWriteOutcome { woWritten, woRetry, woFailed };
  TWriteOutcome WriteArchive(int& AErrorCode);
  int PrepareEntries();
  void DropVanishedEntries();
  void Message(int AErrorCode, const QString& AMessage);
  // "Cannot write <archive>: AReason".
  void CannotWrite(int AErrorCode, const QString& AReason);
  // On the thread libzip writes on: queues the progress for PassOnProgress.
  void ReportProgress();
  // On the calling thread: passes the queued progress to OnProgress, or the last again.
  void PassOnProgress();
  // While the files are listed and handed to libzip, which reports nothing: APath at 0% every
  // ProgressInterval, so that a window stays alive and a cancel is seen. True when cancelled.
  bool ReportPreparing(const QString& APath);
  bool Guard(const std::function<void()>& AAction);

  qint64 Source(TEntry& AEntry, void* AData, quint64 ALength, int ACommand);
  qint64 DeflatedSource(TEntry& AEntry, void* AData, quint64 ALength, int ACommand);
  // What both entry sources share: the progress report and cancel check after each step (false
  // when the entry failed), the end of an entry, and the commands answered alike.
  bool ReportAndCheck(TEntry& AEntry);
  qint64 CloseEntry(TEntry& AEntry);
  qint64 OtherCommand(TEntry& AEntry, void* AData, quint64 ALength, int ACommand);
  void FailDeflated(TEntry& AEntry, const TZipDeflater::TOutcome& AOutcome, int AZipError);
  bool StatEntry(TEntry& AEntry);
  void Fail(TEntry& AEntry, int AKind, int ASystemError, int AZipError = 0);
  void ClearFailure();
  int VerifyWritten(const QByteArray& ATemporaryFile);

  friend struct TZipCallbacks;

  QString FDLLDirectory;
  QStringList FSpecArgs;
  QStringList FSpecArgsExcl;
  QString FTempDir;
  TAddOptions FAddOptions;
  int FAddCompLevel = 9;
  QString FZipFileName;
  QByteArray FZipComment;
  QString FPassword;
  std::atomic<bool> FCancel = false;
  TZipState FState = zsIdle;

  // State of one Add.
  std::vector<std::unique_ptr<TEntry>> FEntries;
  std::unique_ptr<TZipDeflater> FDeflater; // while an archive is written with compression
  std::unique_ptr<char[]> FReadBuffer;     // a block of the stored file being read
  qint64 FReadBufferPos = 0;
  qint64 FReadBufferSize = 0;
  qint64 FTotalBytes = 0;
  qint64 FDoneBytes = 0;
  TEntry* FCurrent = nullptr;
  int FLastItem = -1;
  int FLastItemPerCent = -1;
  int FLastTotalPerCent = -1;
  std::chrono::steady_clock::time_point FLastReport;
  std::exception_ptr FHandlerError;
  std::atomic<bool> FHandlerRaised = false; // FHandlerError is set, for libzip's thread to see
  std::mutex FReportLock;
  std::vector<TProgressDetails> FReports; // not yet passed on, under FReportLock
  TProgressDetails FLastPassedOn;
  // The first thing that went wrong while libzip read the files.
  int FFailureKind = 0;
  int FFailureErrno = 0;
  TEntry* FFailureEntry = nullptr;
  bool FVerifyFailed = false;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TZipWriter::TAddOptions)
