// SPDX-License-Identifier: GPL-3.0-or-later
// Compresses the files of a ZIP archive ahead of the writer, on worker threads, into raw deflate
// data (zlib, the parameters libzip uses itself) with each file's CRC-32, so that libzip copies
// finished data instead of compressing on its own thread. The entries are consumed in order;
// the workers stay a few entries ahead (more of them when they are small), and the entries in
// flight hold a bounded amount of compressed data, so memory does not grow with the tree or a file. An entry no worker
// has begun when the writer reaches it is compressed on the writer's thread.
//
// Files are opened without blocking (a FIFO or device never stalls a worker) and read in large
// blocks up to the size they had when listed; bytes appended since are left out.
#pragma once

#include <QByteArray>

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class TZipDeflater
{
public:
  enum TFailure : int {
    dfNone = 0,
    dfVanished,   // the file is gone
    dfNotRegular, // no longer a regular file
    dfUnreadable, // cannot be opened or read
  };
  struct TOutcome
  {
    TFailure Failure = dfNone;
    int Errno = 0;
  };

  // ALevel 1 to 9; AThreads workers (0: none, everything on the writer's thread).
  TZipDeflater(int ALevel, int AThreads);
  ~TZipDeflater(); // stops and joins the workers
  TZipDeflater(const TZipDeflater&) = delete;
  TZipDeflater& operator=(const TZipDeflater&) = delete;

  // Before Start: the files in the order the writer takes them; returns the entry's number.
  int Add(const QByteArray& APath, std::int64_t ASize);
  void Start();

  // On the writer's thread, entries in order. Open checks the file as it is now (gone, not a
  // regular file, not readable: as opening it now would) and claims the entry.
  [[nodiscard]] TOutcome Open(int AEntry);
  // Copies up to ALength bytes of compressed data; 0 at the end, -1 on failure (AOutcome says
  // which). ARaw receives how many of the file's bytes the data stands for.
  std::int64_t Read(int AEntry, void* AData, std::int64_t ALength, std::int64_t& ARaw, TOutcome& AOutcome);
  // Valid once Read returned 0: the bytes read and their CRC-32.
  std::int64_t RawSize(int AEntry) const;
  std::uint32_t Crc(int AEntry) const;
  void Close(int AEntry);

  // The general purpose flag bits 1 and 2 that libzip's own deflate sets for ALevel.
  static std::uint16_t GeneralPurposeFlags(int ALevel);

private:
  struct TJob;
  struct TCompressor;

  struct TFile
  {
    QByteArray Path;
    std::int64_t Size = 0;
  };

  // Sets up AEntry's working state; under the lock.
  TJob& NewJob(int AEntry);
  // Whether a worker may begin FNextJob now; under the lock.
  bool MayStartNext() const;
  void Work();
  // Step, failing the entry when memory runs out.
  void Run(TJob& AJob, TCompressor& ACompressor);
  // Reads and compresses one block of AJob; called without the lock.
  void Step(TJob& AJob, TCompressor& ACompressor);
  void Finish(TJob& AJob, TCompressor& ACompressor, TFailure AFailure, int AErrno);

  int FLevel;
  int FThreads;
  std::vector<TFile> FFiles;
  std::vector<std::unique_ptr<TJob>> FJobs; // of the entries in flight
  std::vector<std::thread> FWorkers;
  std::unique_ptr<TCompressor> FInline; // the writer's own, for entries it compresses itself

  mutable std::mutex FMutex;
  std::condition_variable FWorkChanged; // workers wait here
  std::condition_variable FDataReady;   // the writer waits here
  int FNextJob = 0;                     // the next entry a worker may take
  int FConsumer = 0;                    // the entry the writer is at
  int FWindow = 1;                      // workers may always be this many entries ahead
  std::int64_t FQueuedTotal = 0;        // compressed data held by all entries in flight
  int FIdleWorkers = 0;                 // workers waiting for an entry to begin
  bool FStop = false;
  bool FWriterWaiting = false;
};
