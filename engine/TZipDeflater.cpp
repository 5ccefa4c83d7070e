// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/TZipDeflater.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace {

// Files are read in blocks of this size.
constexpr std::size_t BlockSize = 128 * 1024;
// Compressed data an entry may hold before its worker waits for the writer.
constexpr std::int64_t QueueLimit = 1024 * 1024;
// Past the first few entries, workers start a new one only while the entries ahead of the writer
// hold less than this in all, and stay at most MaxAhead entries ahead: small files are compressed
// in a run of their own without a hand-over for each, and memory stays bounded all the same.
constexpr std::int64_t AheadBudget = 4 * 1024 * 1024;
constexpr int MaxAhead = 256;
// A block that deflate shrinks by less than 1/StoreRatio is taken for incompressible (media,
// archives, encrypted data): the blocks after it go into the stream as stored blocks, a run that
// doubles while the data stays so, and then one is tried at the real level again. Deflating such
// data costs as much as compressing text, for nothing. A file's first block, the block after a
// stored run and every ProbePeriod-th block are judged; each ends its deflate block, so the judge
// sees exactly what that block's data became.
constexpr std::size_t StoreRatio = 64;
constexpr int FirstStoredRun = 3;
constexpr int LongestStoredRun = 63;
constexpr int ProbePeriod = 8;

bool IsMissing(int AErrno)
{
  return AErrno == ENOENT || AErrno == ENOTDIR;
}

} // namespace

struct TZipDeflater::TJob
{
  enum TOwner { joNobody, joWorker, joWriter };

  struct TChunk
  {
    std::unique_ptr<char[]> Data;
    std::size_t Size = 0;
    std::int64_t Raw = 0; // the file's bytes this data stands for
  };

  QByteArray Path;
  std::int64_t Size = 0;
  TOwner Owner = joNobody;
  bool Dropped = false;       // the writer is done with the entry
  bool WorkerClaimed = false; // a worker took it (and may still hold it)
  bool WorkerGone = false;    // that worker has let go of it
  // Used only by the entry's owner while it compresses.
  int Fd = -1;
  bool Opened = false;
  std::int64_t PendingRaw = 0; // read, but not yet in any chunk
  int StoredLeft = 0;          // blocks still to be stored before deflate is tried again
  int StoredRun = 0;           // how many the last incompressible block set off
  int SinceProbe = 0;          // blocks deflated since one was last judged
  // Shared, under the lock.
  std::vector<TChunk> Chunks;  // a vector: no memory for the entries that are not in flight
  std::size_t Front = 0;       // the first chunk not yet handed out whole
  std::size_t FrontOffset = 0; // bytes of it already handed out
  std::int64_t Queued = 0;
  std::int64_t Handed = 0; // bytes handed to the writer
  std::int64_t Read = 0;
  std::uint32_t Crc = 0;
  bool Done = false;
  TOutcome Outcome;
  bool FailedInRead = false;

  void Reset()
  {
    if (Fd >= 0)
      ::close(Fd);
    Fd = -1;
    Opened = false;
    PendingRaw = 0;
    StoredLeft = 0;
    StoredRun = 0;
    SinceProbe = 0;
    Chunks.clear();
    Front = 0;
    FrontOffset = 0;
    Queued = 0;
    Handed = 0;
    Read = 0;
    Crc = static_cast<std::uint32_t>(::crc32(0, nullptr, 0));
    Done = false;
    Outcome = TOutcome();
    FailedInRead = false;
  }
  ~TJob()
  {
    if (Fd >= 0)
      ::close(Fd);
  }
};

struct TZipDeflater::TCompressor
{
  z_stream Stream{};
  bool Ready = false;
  int Level = 0;
  std::vector<char> Input = std::vector<char>(BlockSize);

  explicit TCompressor(int ALevel)
  {
    // As libzip sets up its own deflate: raw data, the largest window and memory level.
    Ready = ::deflateInit2(&Stream, ALevel, Z_DEFLATED, -MAX_WBITS, MAX_MEM_LEVEL, Z_DEFAULT_STRATEGY) == Z_OK;
    Level = ALevel;
  }
  ~TCompressor()
  {
    if (Ready)
      ::deflateEnd(&Stream);
  }
  TCompressor(const TCompressor&) = delete;
  TCompressor& operator=(const TCompressor&) = delete;
};

TZipDeflater::TZipDeflater(int ALevel, int AThreads)
  : FLevel(std::clamp(ALevel, 1, 9))
  , FThreads(std::max(0, AThreads))
  , FInline(std::make_unique<TCompressor>(FLevel))
  , FWindow(FThreads + 1)
{}

TZipDeflater::~TZipDeflater()
{
  {
    std::lock_guard lock(FMutex);
    FStop = true;
  }
  FWorkChanged.notify_all();
  for (std::thread& worker : FWorkers)
    worker.join();
}

int TZipDeflater::Add(const QByteArray& APath, std::int64_t ASize)
{
  // An entry's working state exists only while it is in flight.
  FFiles.push_back(TFile{APath, ASize});
  FJobs.emplace_back();
  return static_cast<int>(FJobs.size()) - 1;
}

TZipDeflater::TJob& TZipDeflater::NewJob(int AEntry)
{
  const auto index = static_cast<std::size_t>(AEntry);
  auto job = std::make_unique<TJob>();
  job->Path = FFiles[index].Path;
  job->Size = FFiles[index].Size;
  job->Reset();
  FJobs[index] = std::move(job);
  return *FJobs[index];
}

void TZipDeflater::Start()
{
  // Without a thread (the system refused one), the writer compresses what no worker takes.
  for (int i = 0; i < FThreads; ++i) {
    try {
      FWorkers.emplace_back([this] { Work(); });
    } catch (const std::system_error&) {
      break;
    }
  }
  std::lock_guard lock(FMutex);
  FWindow = static_cast<int>(FWorkers.size()) + 1;
}

bool TZipDeflater::MayStartNext() const
{
  if (FNextJob >= static_cast<int>(FJobs.size()))
    return false;
  const int ahead = FNextJob - FConsumer;
  return ahead < FWindow || (ahead < MaxAhead && FQueuedTotal < AheadBudget);
}

std::uint16_t TZipDeflater::GeneralPurposeFlags(int ALevel)
{
  if (ALevel < 3)
    return 2 << 1;
  if (ALevel > 7)
    return 1 << 1;
  return 0;
}

void TZipDeflater::Work()
{
  TCompressor compressor(FLevel);
  std::unique_lock lock(FMutex);
  while (!FStop) {
    if (!MayStartNext()) {
      ++FIdleWorkers;
      FWorkChanged.wait(lock);
      --FIdleWorkers;
      continue;
    }
    const int entry = FNextJob++;
    if (FJobs[static_cast<std::size_t>(entry)])
      continue; // the writer took it
    TJob& job = NewJob(entry);
    job.Owner = TJob::joWorker;
    job.WorkerClaimed = true;
    // Until the entry is done, dropped, or taken over by the writer after a failure.
    while (!FStop && !job.Done && !job.Dropped && job.Owner == TJob::joWorker) {
      if (job.Queued >= QueueLimit) {
        FWorkChanged.wait(lock);
        continue;
      }
      lock.unlock();
      Run(job, compressor);
      lock.lock();
    }
    // A file the writer took over is the writer's; one dropped or stopped is closed here.
    if (job.Owner == TJob::joWorker && (job.Dropped || FStop) && job.Fd >= 0) {
      ::close(job.Fd);
      job.Fd = -1;
    }
    job.WorkerGone = true;
    if (job.Dropped)
      FJobs[static_cast<std::size_t>(entry)].reset();
  }
}

void TZipDeflater::Run(TJob& AJob, TCompressor& ACompressor)
{
  // Nothing may unwind into libzip or out of a worker: a lack of memory fails the entry.
  try {
    if (ACompressor.Ready)
      Step(AJob, ACompressor);
    else
      Finish(AJob, ACompressor, dfUnreadable, ENOMEM);
  } catch (const std::bad_alloc&) {
    Finish(AJob, ACompressor, dfUnreadable, ENOMEM);
  }
}

void TZipDeflater::Finish(TJob& AJob, TCompressor&, TFailure AFailure, int AErrno)
{
  if (AJob.Fd >= 0)
    ::close(AJob.Fd);
  AJob.Fd = -1;
  {
    std::lock_guard lock(FMutex);
    AJob.Outcome = TOutcome{AFailure, AErrno};
    AJob.FailedInRead = AJob.Opened;
    AJob.Done = true;
  }
  FDataReady.notify_all();
}

void TZipDeflater::Step(TJob& AJob, TCompressor& ACompressor)
{
  if (!AJob.Opened) {
    const int fd = ::open(AJob.Path.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
      const int error = errno;
      Finish(AJob, ACompressor, IsMissing(error) ? dfVanished : dfUnreadable, error);
      return;
    }
    struct stat st = {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      ::close(fd);
      Finish(AJob, ACompressor, dfNotRegular, 0);
      return;
    }
    // Read-ahead advice helps only a file read in more than one block.
    if (AJob.Size > static_cast<std::int64_t>(BlockSize))
      ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    // A fresh stream starts at the real level; after a reset, changing it writes nothing.
    if (::deflateReset(&ACompressor.Stream) != Z_OK ||
        (ACompressor.Level != FLevel && ::deflateParams(&ACompressor.Stream, FLevel, Z_DEFAULT_STRATEGY) != Z_OK)) {
      ::close(fd);
      Finish(AJob, ACompressor, dfUnreadable, ENOMEM);
      return;
    }
    ACompressor.Level = FLevel;
    AJob.Fd = fd;
    AJob.Opened = true;
  }

  // The file as it was listed: bytes appended since are left out.
  std::int64_t read = 0;
  {
    std::lock_guard lock(FMutex);
    read = AJob.Read;
  }
  const auto wanted = static_cast<std::size_t>(
      std::min<std::int64_t>(static_cast<std::int64_t>(ACompressor.Input.size()), AJob.Size - read));
  ssize_t count = 0;
  if (wanted > 0) {
    do {
      count = ::read(AJob.Fd, ACompressor.Input.data(), wanted);
    } while (count < 0 && errno == EINTR);
    if (count < 0) {
      Finish(AJob, ACompressor, dfUnreadable, errno);
      return;
    }
  }
  // A file that shrank ends early; the archive records what was read.
  const bool last = count == 0 || read + count >= AJob.Size;
  const bool store = AJob.StoredLeft > 0;
  const bool probe = !store && !last && static_cast<std::size_t>(count) == ACompressor.Input.size() &&
                     (read == 0 || AJob.StoredRun > 0 || AJob.SinceProbe + 1 >= ProbePeriod);

  z_stream& stream = ACompressor.Stream;
  // Room for the block as it is, with deflate's small overhead; grown only if that is short.
  std::size_t capacity = static_cast<std::size_t>(count) + static_cast<std::size_t>(count) / 8 + 1024;
  std::unique_ptr<char[]> output(new char[capacity]);
  std::size_t used = 0;
  // Runs AStep until it is done (AFinishing: the stream is ended), growing the output as needed.
  const auto deflateInto = [&](auto AStep, bool AFinishing) {
    for (;;) {
      if (used == capacity) {
        std::unique_ptr<char[]> larger(new char[capacity * 2]);
        std::memcpy(larger.get(), output.get(), used);
        output = std::move(larger);
        capacity *= 2;
      }
      stream.next_out = reinterpret_cast<Bytef*>(output.get() + used);
      stream.avail_out = static_cast<uInt>(capacity - used);
      const int result = AStep();
      used = capacity - stream.avail_out;
      if (result != Z_OK && result != Z_BUF_ERROR && result != Z_STREAM_END)
        return false;
      if (AFinishing ? result == Z_STREAM_END : stream.avail_in == 0 && stream.avail_out != 0)
        return true;
      // Stuck with room to spare is a fault of the stream; short of room, go round with more.
      if (result == Z_BUF_ERROR && stream.avail_out != 0)
        return false;
    }
  };

  // Changing the level first ends the deflate block in progress, written to this block's output.
  const int level = store ? 0 : FLevel;
  if (level != ACompressor.Level) {
    stream.avail_in = 0;
    if (!deflateInto([&] { return ::deflateParams(&stream, level, Z_DEFAULT_STRATEGY); }, false)) {
      Finish(AJob, ACompressor, dfUnreadable, EIO);
      return;
    }
    ACompressor.Level = level;
  }
  // What earlier blocks left in the stream is written first, so the judge sees this block alone.
  if (probe && read > 0) {
    stream.avail_in = 0;
    if (!deflateInto([&] { return ::deflate(&stream, Z_BLOCK); }, false)) {
      Finish(AJob, ACompressor, dfUnreadable, EIO);
      return;
    }
  }
  const std::size_t before = used;
  stream.next_in = reinterpret_cast<Bytef*>(ACompressor.Input.data());
  stream.avail_in = static_cast<uInt>(count);
  const int flush = last ? Z_FINISH : probe ? Z_BLOCK : Z_NO_FLUSH;
  if (!deflateInto([&] { return ::deflate(&stream, flush); }, last)) {
    Finish(AJob, ACompressor, dfUnreadable, EIO);
    return;
  }
  if (store) {
    --AJob.StoredLeft;
  } else if (probe) {
    AJob.SinceProbe = 0;
    if (used - before >= static_cast<std::size_t>(count) - static_cast<std::size_t>(count) / StoreRatio) {
      AJob.StoredRun = AJob.StoredRun > 0 ? std::min(AJob.StoredRun * 2 + 1, LongestStoredRun) : FirstStoredRun;
      AJob.StoredLeft = AJob.StoredRun;
    } else {
      AJob.StoredRun = 0;
    }
  } else {
    ++AJob.SinceProbe;
  }

  const std::uint32_t crc =
      count > 0 ? static_cast<std::uint32_t>(::crc32(AJob.Crc, reinterpret_cast<const Bytef*>(ACompressor.Input.data()),
                                                     static_cast<uInt>(count)))
                : AJob.Crc;
  bool wake = false;
  if (last && AJob.Fd >= 0) {
    ::close(AJob.Fd);
    AJob.Fd = -1;
  }
  {
    std::lock_guard lock(FMutex);
    AJob.Read += count;
    AJob.Crc = crc;
    AJob.PendingRaw += count;
    if (used > 0) {
      AJob.Queued += static_cast<std::int64_t>(used);
      FQueuedTotal += static_cast<std::int64_t>(used);
      AJob.Chunks.push_back(TJob::TChunk{std::move(output), used, AJob.PendingRaw});
      AJob.PendingRaw = 0;
    }
    AJob.Done = last;
    wake = FWriterWaiting;
  }
  if (wake)
    FDataReady.notify_one();
}

TZipDeflater::TOutcome TZipDeflater::Open(int AEntry)
{
  // As opening the file now would find it (gone, or no longer readable): a worker may have read
  // it a moment ago. What the file is, the worker's own look found out.
  if (::access(FFiles[static_cast<std::size_t>(AEntry)].Path.constData(), R_OK) != 0) {
    const int error = errno;
    return TOutcome{IsMissing(error) ? dfVanished : dfUnreadable, error};
  }
  bool wake = false;
  {
    std::lock_guard lock(FMutex);
    FConsumer = AEntry;
    if (!FJobs[static_cast<std::size_t>(AEntry)]) {
      // No worker has reached it: the writer compresses it, and no worker will.
      NewJob(AEntry).Owner = TJob::joWriter;
      FNextJob = std::max(FNextJob, AEntry + 1);
    }
    // Idle workers are woken once there is room for a run of entries, not for each one.
    wake =
        FIdleWorkers > 0 && MayStartNext() && (FNextJob - FConsumer < FWindow || FNextJob - FConsumer <= MaxAhead / 2);
  }
  if (wake)
    FWorkChanged.notify_all();
  return TOutcome();
}

std::int64_t TZipDeflater::Read(int AEntry, void* AData, std::int64_t ALength, std::int64_t& ARaw, TOutcome& AOutcome)
{
  ARaw = 0;
  std::unique_lock lock(FMutex);
  TJob& job = *FJobs[static_cast<std::size_t>(AEntry)];
  for (;;) {
    if (job.Front < job.Chunks.size()) {
      TJob::TChunk& chunk = job.Chunks[job.Front];
      const auto size = static_cast<std::int64_t>(chunk.Size);
      const auto offset = static_cast<std::int64_t>(job.FrontOffset);
      const std::int64_t count = std::min(ALength, size - offset);
      std::memcpy(AData, chunk.Data.get() + offset, static_cast<std::size_t>(count));
      ARaw = chunk.Raw * (offset + count) / size - chunk.Raw * offset / size;
      job.FrontOffset += static_cast<std::size_t>(count);
      job.Handed += count;
      // The worker waits only while the entry holds too much.
      const bool wake = job.Queued >= QueueLimit && job.Queued - count < QueueLimit;
      job.Queued -= count;
      FQueuedTotal -= count;
      if (job.FrontOffset == chunk.Size) {
        chunk.Data.reset();
        job.FrontOffset = 0;
        if (++job.Front == job.Chunks.size()) {
          job.Chunks.clear();
          job.Front = 0;
        }
      }
      lock.unlock();
      if (wake)
        FWorkChanged.notify_all();
      return count;
    }
    if (job.Done) {
      if (job.Outcome.Failure == dfNone)
        return 0;
      // A worker that failed before the writer took anything may have met the file in a
      // passing state (just replaced, say): the writer tries once more itself.
      if (job.Owner == TJob::joWorker && job.Handed == 0) {
        FQueuedTotal -= job.Queued;
        job.Reset();
        job.Owner = TJob::joWriter;
        continue;
      }
      AOutcome = job.Outcome;
      return -1;
    }
    if (job.Owner == TJob::joWriter) {
      lock.unlock();
      Run(job, *FInline);
      lock.lock();
      continue;
    }
    FWriterWaiting = true;
    FDataReady.wait(lock);
    FWriterWaiting = false;
  }
}

std::int64_t TZipDeflater::RawSize(int AEntry) const
{
  std::lock_guard lock(FMutex);
  return FJobs[static_cast<std::size_t>(AEntry)]->Read;
}

std::uint32_t TZipDeflater::Crc(int AEntry) const
{
  std::lock_guard lock(FMutex);
  return FJobs[static_cast<std::size_t>(AEntry)]->Crc;
}

void TZipDeflater::Close(int AEntry)
{
  bool wake = false;
  {
    std::lock_guard lock(FMutex);
    TJob& job = *FJobs[static_cast<std::size_t>(AEntry)];
    job.Dropped = true;
    job.Chunks = std::vector<TJob::TChunk>();
    job.Front = 0;
    FQueuedTotal -= job.Queued;
    job.Queued = 0;
    if (job.Owner == TJob::joWriter && job.Fd >= 0) {
      ::close(job.Fd);
      job.Fd = -1;
    }
    // A worker still holding it lets it go itself, once woken.
    wake = job.WorkerClaimed && !job.WorkerGone;
    if (!wake)
      FJobs[static_cast<std::size_t>(AEntry)].reset();
  }
  if (wake)
    FWorkChanged.notify_all();
}
