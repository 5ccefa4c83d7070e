// SPDX-License-Identifier: GPL-3.0-or-later
// What the threads of one Add share: the cancel flag, the running byte count of the input, and the
// notices that the library's threads leave for the thread that called Add.
//
// The library calls back from its own threads. Those calls only read and write atomics and append
// to the notice queue under a short lock; the caller's thread takes the notices and raises the
// component's events, so handlers always run on the thread that called Add.
#pragma once

#include "engine/SevenZipInterfaces.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

struct TSevenZipNotice
{
  enum TKind { nkPreProgress, nkStreamOpened, nkProgress, nkMessage, nkCompressed, nkFinished };
  TKind Kind = nkProgress;
  SevenZip::UInt32 Index = 0; // nkStreamOpened: the item
  SevenZip::UInt64 Value =
      0;                     // nkPreProgress: total bytes; nkStreamOpened: bytes read before it; nkProgress: bytes done
  SevenZip::UInt64 Size = 0; // nkStreamOpened: the file's size as listed
  int Code = 0;              // nkMessage: the message code
  QString Text;              // nkMessage
  QString FileName;          // nkMessage, nkStreamOpened
  SevenZip::HRESULT Result = SevenZip::S_OK; // nkFinished
};

class TSevenZipRun
{
public:
  explicit TSevenZipRun(std::atomic<bool>& ACancel);

  // Thread that called Add: takes every queued notice.
  std::deque<TSevenZipNotice> Take();
  // Thread that called Add: blocks until a notice is queued. Progress and opened streams,
  // reported hundreds of times a second, wake it at most every WakeInterval; the rest at once.
  void WaitForNotice();

  // Any thread.
  bool Cancelled() const { return FCancel.load(std::memory_order_relaxed); }
  // E_ABORT once cancel was asked for, after queueing "User canceled operation" (once per run)
  // for the file being read; S_OK otherwise.
  SevenZip::HRESULT CheckCancel();
  void PostPreProgress(SevenZip::UInt64 ATotal);
  void PostStreamOpened(SevenZip::UInt32 AIndex, const QString& AFileName, SevenZip::UInt64 ASize,
                        SevenZip::UInt64 AStart);
  // Consecutive progress notices are merged: only the latest figure matters.
  void PostProgress(SevenZip::UInt64 ACompleted);
  void PostMessage(int ACode, const QString& AText, const QString& AFileName);
  void PostFinished(SevenZip::HRESULT AResult);

  // The library has written the whole archive. The worker then waits until the calling thread,
  // having raised the events of every earlier notice, says whether to keep the archive: not when
  // the run was cancelled or a handler failed meanwhile.
  [[nodiscard]] bool PostCompressedAndWait();
  void Decide(bool AKeep);

  // The file the library reads now (its full path), for messages.
  void SetCurrentFile(const QString* AFileName) { FCurrentFile.store(AFileName); }
  const QString* CurrentFile() const { return FCurrentFile.load(); }

  // Bytes read from all input streams so far.
  std::atomic<SevenZip::UInt64> BytesRead{0};
  // A source file could not be opened or read: the first such failure is told, with the file
  // and the reason, and kept (errno) so the run is not also blamed on the writer.
  void ReportInputError(int AError, const QString& AFileName);
  int InputError() const { return FInputError.load(); }

private:
  void Push(TSevenZipNotice&& ANotice, bool AMergeProgress);

  std::atomic<bool>& FCancel;
  std::atomic<bool> FCancelReported{false};
  std::atomic<int> FInputError{0};
  std::atomic<const QString*> FCurrentFile{nullptr};
  std::mutex FLock;
  std::condition_variable FArrived;
  std::deque<TSevenZipNotice> FNotices;
  std::chrono::steady_clock::time_point FLastWake;
  std::condition_variable FDecided;
  int FDecision = -1;
};
