// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/TZipWriter.h"

#include "engine/TBackgroundJob.h"
#include "engine/TZipArchiveFile.h"
#include "engine/TZipDeflater.h"
#include "engine/ZipExtraFields.h"
#include "platform/FileNames.h"

#include <QSet>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include <dlfcn.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

namespace {

// What went wrong with a source file while libzip was reading it.
enum TFailureKind : int {
  fkNone = 0,
  fkVanished,   // gone since the search: skipped
  fkNotRegular, // no longer a regular file: skipped
  fkUnreadable, // cannot be opened or read: the archive is not written
  fkCancelled,
  fkHandler, // an event handler raised an exception
};

// A run in which files keep disappearing is started again at most this often.
constexpr int MaxWriteAttempts = 5;

// Progress is reported about this often.
constexpr std::chrono::milliseconds ProgressInterval(20);
// Stored files are read in blocks of this size.
constexpr qint64 ReadBlockSize = 128 * 1024;
// Files from this size on are also reported at every tenth.
constexpr qint64 LargeFile = 1 << 20;

// The file's type and permissions as a Unix host records them; nothing for a mode of 0.
void SetUnixMode(zip_file_attributes_t& AAttributes, mode_t AMode)
{
  if (AMode == 0)
    return;
  AAttributes.valid |= ZIP_FILE_ATTRIBUTES_HOST_SYSTEM | ZIP_FILE_ATTRIBUTES_EXTERNAL_FILE_ATTRIBUTES;
  AAttributes.host_system = ZIP_OPSYS_UNIX;
  AAttributes.external_file_attributes = static_cast<zip_uint32_t>(AMode & 0xFFFF) << 16;
}

QString ZipErrorText(int ACode)
{
  zip_error_t error;
  zip_error_init_with_code(&error, ACode);
  const QString text = QString::fromUtf8(zip_error_strerror(&error));
  zip_error_fini(&error);
  return text;
}

bool IsMissing(int AErrno)
{
  return AErrno == ENOENT || AErrno == ENOTDIR;
}

// The entry name of a file: its path without leading "/", with "." and ".." steps resolved as the
// 7z writer does and none left above the top, so that extracting the archive cannot write
// outside the target folder.
QString EntryPath(const QString& APath)
{
  // Most paths have no empty, "." or ".." steps: only the leading '/' goes.
  if (!APath.contains(QLatin1String("//")) && !APath.contains(QLatin1String("/.")) &&
      !APath.startsWith(QLatin1Char('.')) && !APath.endsWith(QLatin1Char('/')))
    return APath.startsWith(QLatin1Char('/')) ? APath.mid(1) : APath;
  QStringList parts;
  for (const QString& part : APath.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
    if (part == QLatin1String("..")) {
      if (!parts.isEmpty())
        parts.removeLast();
    } else if (part != QLatin1String("."))
      parts.append(part);
  }
  return parts.join(QLatin1Char('/'));
}

// Looks at (stats) the files of a list's second half on a thread of its own while the caller
// works through the first: on a tree of small files the look at each file is most of the time
// taken to prepare the entries. Short lists, and single processors, are looked at in place.
class TLookAhead
{
public:
  explicit TLookAhead(const QStringList& APaths)
    : FFrom(APaths.size())
  {
    constexpr qsizetype MinimumFiles = 1024;
    if (APaths.size() < MinimumFiles || QThread::idealThreadCount() < 2)
      return;
    const qsizetype from = APaths.size() / 2;
    FLooks.resize(static_cast<std::size_t>(APaths.size() - from));
    try {
      FThread = std::thread([this, APaths, from] {
        for (std::size_t i = 0; i < FLooks.size() && !FStop; ++i) {
          TLook& look = FLooks[i];
          look.NativePath = EncodeFileName(APaths.at(from + static_cast<qsizetype>(i)));
          look.Error = ::stat(look.NativePath.constData(), &look.Stat) == 0 ? 0 : errno;
        }
      });
      FFrom = from;
    } catch (const std::exception&) {
      FLooks.clear();
    }
  }
  ~TLookAhead()
  {
    FStop = true;
    if (FThread.joinable())
      FThread.join();
  }
  TLookAhead(const TLookAhead&) = delete;
  TLookAhead& operator=(const TLookAhead&) = delete;

  // APath (at AIndex of the list) as a native path, and stat's look at it: 0, or the errno.
  int Look(qsizetype AIndex, const QString& APath, QByteArray& ANativePath, struct stat& AStat)
  {
    if (AIndex < FFrom) {
      ANativePath = EncodeFileName(APath);
      return ::stat(ANativePath.constData(), &AStat) == 0 ? 0 : errno;
    }
    if (FThread.joinable())
      FThread.join();
    TLook& look = FLooks[static_cast<std::size_t>(AIndex - FFrom)];
    ANativePath = std::move(look.NativePath);
    AStat = look.Stat;
    return look.Error;
  }

private:
  struct TLook
  {
    QByteArray NativePath;
    struct stat Stat = {};
    int Error = 0;
  };
  qsizetype FFrom;
  std::vector<TLook> FLooks;
  std::atomic<bool> FStop{false};
  std::thread FThread;
};

// Cuts UTF-8 text to at most AMax bytes without splitting a character.
QByteArray TruncateUtf8(const QByteArray& AText, qsizetype AMax)
{
  if (AText.size() <= AMax)
    return AText;
  qsizetype end = AMax;
  while (end > 0 && (static_cast<unsigned char>(AText.at(end)) & 0xC0) == 0x80)
    --end;
  return AText.left(end);
}

} // namespace

struct TZipWriter::TEntry
{
  int Index = 0; // position in the archive being written
  QString Path;
  QByteArray NativePath;
  QByteArray Name;
  qint64 Size = 0;
  time_t MTime = 0;
  mode_t Mode = 0;
  uid_t Uid = 0;
  gid_t Gid = 0;
  bool Statted = false; // stat taken in the current attempt
  int Fd = -1;
  bool Open = false;
  bool Closed = false;
  qint64 Read = 0;
  int Job = -1;    // its number in the deflater, when compressed ahead
  quint32 Crc = 0; // of the data read, once all of it was
  bool HaveCrc = false;
  zip_error_t Error;

  TEntry() { zip_error_init(&Error); }
  ~TEntry()
  {
    if (Fd >= 0)
      ::close(Fd);
    zip_error_fini(&Error);
  }
  TEntry(const TEntry&) = delete;
  TEntry& operator=(const TEntry&) = delete;
};

// The C entry points libzip calls back; each catches what the writer's handlers raise, since an
// exception must not unwind through libzip.
struct TZipCallbacks
{
  struct TSourceState
  {
    TZipWriter* Writer;
    TZipWriter::TEntry* Entry;
  };

  static zip_int64_t Source(void* AState, void* AData, zip_uint64_t ALength, zip_source_cmd_t ACommand)
  {
    auto* state = static_cast<TSourceState*>(AState);
    return state->Writer->Source(*state->Entry, AData, ALength, ACommand);
  }

  static zip_int64_t DeflatedSource(void* AState, void* AData, zip_uint64_t ALength, zip_source_cmd_t ACommand)
  {
    auto* state = static_cast<TSourceState*>(AState);
    return state->Writer->DeflatedSource(*state->Entry, AData, ALength, ACommand);
  }

  static void Progress(zip_t*, double, void* AWriter) { static_cast<TZipWriter*>(AWriter)->ReportProgress(); }

  static int Cancel(zip_t*, void* AWriter)
  {
    auto* writer = static_cast<TZipWriter*>(AWriter);
    return (writer->FCancel || writer->FHandlerRaised) ? 1 : 0;
  }
};

TZipWriter::TZipWriter(QObject* AOwner)
  : QObject(AOwner)
{}

TZipWriter::~TZipWriter() = default;

QString TZipWriter::DLL_Path() const
{
  // The version text lives in the library's own data, whereas a function's address may be a stub
  // in the executable.
  Dl_info info{};
  if (::dladdr(zip_libzip_version(), &info) == 0 || info.dli_fname == nullptr)
    return QString();
  return DecodeFileName(QByteArray(info.dli_fname));
}

QString TZipWriter::DLL_Version() const
{
  return QString::fromUtf8(zip_libzip_version());
}

void TZipWriter::Message(int AErrorCode, const QString& AMessage)
{
  if (OnMessage)
    OnMessage(this, AErrorCode, AMessage);
}

void TZipWriter::CannotWrite(int AErrorCode, const QString& AReason)
{
  Message(AErrorCode, QString(QStringLiteral("Cannot write ") + FZipFileName + QStringLiteral(": ") + AReason));
}

bool TZipWriter::Guard(const std::function<void()>& AAction)
{
  try {
    AAction();
    return true;
  } catch (...) {
    if (!FHandlerError)
      FHandlerError = std::current_exception();
    FHandlerRaised = true;
    return false;
  }
}

void TZipWriter::ReportProgress()
{
  if (FCurrent == nullptr)
    return;
  const int index = FCurrent->Index;
  int item = 0;
  if (FCurrent->Size > 0)
    item = static_cast<int>(std::min<qint64>(100, FCurrent->Read * 100 / FCurrent->Size));
  else if (FCurrent->Closed)
    item = 100;
  int total = 0;
  if (FTotalBytes > 0) {
    const qint64 done = FDoneBytes + (FCurrent->Open ? FCurrent->Read : 0);
    total = static_cast<int>(std::min<qint64>(100, done * 100 / FTotalBytes));
  } else if (!FEntries.empty()) {
    total = static_cast<int>((index + (FCurrent->Closed ? 1 : 0)) * 100 / static_cast<qsizetype>(FEntries.size()));
  }
  if (index == FLastItem && item == FLastItemPerCent && total == FLastTotalPerCent)
    return;
  // A report per ProgressInterval is plenty for a progress bar and keeps the handlers' cost
  // (clock, log, event dispatch) out of the run's time, which matters with many small files.
  // Large files are reported at least at every tenth, and the run's last report always.
  const auto now = std::chrono::steady_clock::now();
  const bool lastOfRun = FCurrent->Closed && index + 1 == static_cast<int>(FEntries.size());
  const bool tenth = FCurrent->Size >= LargeFile && (index != FLastItem || item / 10 != FLastItemPerCent / 10);
  if (!lastOfRun && !tenth && now - FLastReport < ProgressInterval)
    return;
  FLastReport = now;
  FLastItem = index;
  FLastItemPerCent = item;
  FLastTotalPerCent = total;
  std::lock_guard lock(FReportLock);
  FReports.push_back(TProgressDetails{FCurrent->Path, item, total});
}

void TZipWriter::PassOnProgress()
{
  std::vector<TProgressDetails> reports;
  {
    std::lock_guard lock(FReportLock);
    reports.swap(FReports);
    // Nothing new, or only what was written after a cancel: the handlers still get their turn.
    if (reports.empty() || FCancel)
      reports.assign(1, FLastPassedOn);
  }
  for (const TProgressDetails& details : reports) {
    FLastPassedOn = details;
    if (!Guard([&] {
          if (OnProgress)
            OnProgress(this, details);
        }))
      break;
    if (FCancel)
      break;
  }
}

bool TZipWriter::ReportPreparing(const QString& APath)
{
  const auto now = std::chrono::steady_clock::now();
  if (now - FLastReport >= ProgressInterval) {
    FLastReport = now;
    if (OnProgress)
      OnProgress(this, TProgressDetails{APath, 0, 0});
  }
  return FCancel;
}

void TZipWriter::Fail(TEntry& AEntry, int AKind, int ASystemError, int AZipError)
{
  if (FFailureKind == fkNone) {
    FFailureKind = AKind;
    FFailureErrno = ASystemError;
    FFailureEntry = &AEntry;
  }
  int code = AZipError;
  switch (AKind) {
  case fkVanished:
    code = ZIP_ER_NOENT;
    break;
  case fkNotRegular:
    code = ZIP_ER_OPNOTSUPP;
    break;
  case fkCancelled:
    code = ZIP_ER_CANCELLED;
    break;
  case fkHandler:
    code = ZIP_ER_INTERNAL;
    break;
  default:
    break;
  }
  zip_error_set(&AEntry.Error, code, ASystemError);
}

void TZipWriter::ClearFailure()
{
  FFailureKind = fkNone;
  FFailureErrno = 0;
  FFailureEntry = nullptr;
}

bool TZipWriter::StatEntry(TEntry& AEntry)
{
  if (AEntry.Statted)
    return true;
  struct stat st = {};
  if (::stat(AEntry.NativePath.constData(), &st) != 0) {
    const int error = errno;
    Fail(AEntry, IsMissing(error) ? fkVanished : fkUnreadable, error, ZIP_ER_OPEN);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    Fail(AEntry, fkNotRegular, 0);
    return false;
  }
  FTotalBytes += st.st_size - AEntry.Size;
  AEntry.Size = st.st_size;
  AEntry.MTime = st.st_mtime;
  AEntry.Mode = st.st_mode;
  AEntry.Statted = true;
  return true;
}

bool TZipWriter::ReportAndCheck(TEntry& AEntry)
{
  ReportProgress();
  if (FHandlerRaised) {
    Fail(AEntry, fkHandler, 0);
    return false;
  }
  if (FCancel) {
    Fail(AEntry, fkCancelled, 0);
    return false;
  }
  return true;
}

qint64 TZipWriter::CloseEntry(TEntry& AEntry)
{
  if (!AEntry.Open)
    return 0;
  AEntry.Open = false;
  AEntry.Closed = true;
  FDoneBytes += std::max(AEntry.Read, AEntry.Size);
  ReportProgress();
  if (FHandlerRaised) {
    Fail(AEntry, fkHandler, 0);
    return -1;
  }
  return 0;
}

qint64 TZipWriter::OtherCommand(TEntry& AEntry, void* AData, quint64 ALength, int ACommand)
{
  switch (static_cast<zip_source_cmd_t>(ACommand)) {
  case ZIP_SOURCE_ERROR:
    return zip_error_to_data(&AEntry.Error, AData, ALength);
  case ZIP_SOURCE_FREE:
    // The writer owns its entries.
    return 0;
  case ZIP_SOURCE_SUPPORTS:
    return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                          ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, ZIP_SOURCE_SUPPORTS,
                                          ZIP_SOURCE_GET_FILE_ATTRIBUTES, -1);
  default:
    zip_error_set(&AEntry.Error, ZIP_ER_OPNOTSUPP, 0);
    return -1;
  }
}

qint64 TZipWriter::Source(TEntry& AEntry, void* AData, quint64 ALength, int ACommand)
{
  switch (static_cast<zip_source_cmd_t>(ACommand)) {
  case ZIP_SOURCE_STAT: {
    if (!StatEntry(AEntry))
      return -1;
    auto* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, AData, ALength, &AEntry.Error);
    if (st == nullptr)
      return -1;
    zip_stat_init(st);
    st->valid = ZIP_STAT_SIZE | ZIP_STAT_MTIME;
    st->size = static_cast<zip_uint64_t>(AEntry.Size);
    st->mtime = AEntry.MTime;
    return sizeof(zip_stat_t);
  }
  case ZIP_SOURCE_GET_FILE_ATTRIBUTES: {
    auto* attributes = ZIP_SOURCE_GET_ARGS(zip_file_attributes_t, AData, ALength, &AEntry.Error);
    if (attributes == nullptr)
      return -1;
    // Asked when the entry is added; the permissions come from the look before the writing.
    SetUnixMode(*attributes, AEntry.Mode);
    return 0;
  }
  case ZIP_SOURCE_OPEN: {
    if (!StatEntry(AEntry))
      return -1;
    const int fd = ::open(AEntry.NativePath.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
      const int error = errno;
      Fail(AEntry, IsMissing(error) ? fkVanished : fkUnreadable, error, ZIP_ER_OPEN);
      return -1;
    }
    struct stat st = {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      ::close(fd);
      Fail(AEntry, fkNotRegular, 0);
      return -1;
    }
    // Read-ahead advice helps only a file read in more than one block.
    if (st.st_size > ReadBlockSize)
      ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    FReadBufferPos = FReadBufferSize = 0;
    AEntry.Fd = fd;
    AEntry.Open = true;
    AEntry.Closed = false;
    AEntry.Read = 0;
    FCurrent = &AEntry;
    if (!ReportAndCheck(AEntry))
      return -1;
    return 0;
  }
  case ZIP_SOURCE_READ: {
    // The file is read as it was when the entry began: bytes appended since are left out.
    // libzip asks for small pieces; the file is read in large blocks and handed out from FReadBuffer.
    if (FReadBufferPos == FReadBufferSize) {
      const qint64 wanted = std::min<qint64>(ReadBlockSize, AEntry.Size - AEntry.Read);
      if (wanted <= 0)
        return 0;
      if (!FReadBuffer)
        FReadBuffer.reset(new char[ReadBlockSize]);
      ssize_t count = 0;
      do {
        count = ::read(AEntry.Fd, FReadBuffer.get(), static_cast<size_t>(wanted));
      } while (count < 0 && errno == EINTR);
      if (count < 0) {
        Fail(AEntry, fkUnreadable, errno, ZIP_ER_READ);
        return -1;
      }
      if (count == 0)
        return 0; // the file shrank: libzip records the sizes of what it was given
      FReadBufferPos = 0;
      FReadBufferSize = count;
    }
    const qint64 count = std::min<qint64>(static_cast<qint64>(ALength), FReadBufferSize - FReadBufferPos);
    std::memcpy(AData, FReadBuffer.get() + FReadBufferPos, static_cast<std::size_t>(count));
    FReadBufferPos += count;
    AEntry.Read += count;
    if (!ReportAndCheck(AEntry))
      return -1;
    return count;
  }
  case ZIP_SOURCE_CLOSE:
    if (AEntry.Fd >= 0)
      ::close(AEntry.Fd);
    AEntry.Fd = -1;
    return CloseEntry(AEntry);
  default:
    return OtherCommand(AEntry, AData, ALength, ACommand);
  }
}

qint64 TZipWriter::DeflatedSource(TEntry& AEntry, void* AData, quint64 ALength, int ACommand)
{
  // The entry's data arrives compressed from FDeflater; libzip copies it as it is.
  switch (static_cast<zip_source_cmd_t>(ACommand)) {
  case ZIP_SOURCE_STAT: {
    auto* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, AData, ALength, &AEntry.Error);
    if (st == nullptr)
      return -1;
    zip_stat_init(st);
    st->valid = ZIP_STAT_SIZE | ZIP_STAT_MTIME | ZIP_STAT_COMP_METHOD;
    st->comp_method = ZIP_CM_DEFLATE;
    st->size = static_cast<zip_uint64_t>(AEntry.Size);
    st->mtime = AEntry.MTime;
    if (AEntry.HaveCrc) {
      // Asked again once the data was copied: what was actually read.
      st->valid |= ZIP_STAT_CRC;
      st->crc = AEntry.Crc;
      st->size = static_cast<zip_uint64_t>(AEntry.Read);
    }
    return sizeof(zip_stat_t);
  }
  case ZIP_SOURCE_GET_FILE_ATTRIBUTES: {
    auto* attributes = ZIP_SOURCE_GET_ARGS(zip_file_attributes_t, AData, ALength, &AEntry.Error);
    if (attributes == nullptr)
      return -1;
    SetUnixMode(*attributes, AEntry.Mode);
    // The level bits libzip's own deflate would set.
    attributes->valid |= ZIP_FILE_ATTRIBUTES_GENERAL_PURPOSE_BIT_FLAGS;
    attributes->general_purpose_bit_flags = TZipDeflater::GeneralPurposeFlags(FAddCompLevel);
    attributes->general_purpose_bit_mask = 0x0006;
    return 0;
  }
  case ZIP_SOURCE_OPEN: {
    const TZipDeflater::TOutcome outcome = FDeflater->Open(AEntry.Job);
    if (outcome.Failure != TZipDeflater::dfNone) {
      FailDeflated(AEntry, outcome, ZIP_ER_OPEN);
      return -1;
    }
    AEntry.Open = true;
    AEntry.Closed = false;
    AEntry.Read = 0;
    AEntry.HaveCrc = false;
    FCurrent = &AEntry;
    if (!ReportAndCheck(AEntry))
      return -1;
    return 0;
  }
  case ZIP_SOURCE_READ: {
    std::int64_t raw = 0;
    TZipDeflater::TOutcome outcome;
    const qint64 count = FDeflater->Read(AEntry.Job, AData, static_cast<qint64>(ALength), raw, outcome);
    if (count < 0) {
      FailDeflated(AEntry, outcome, ZIP_ER_READ);
      return -1;
    }
    if (count == 0) {
      AEntry.Read = FDeflater->RawSize(AEntry.Job);
      AEntry.Crc = FDeflater->Crc(AEntry.Job);
      AEntry.HaveCrc = true;
      return 0;
    }
    AEntry.Read += raw;
    if (!ReportAndCheck(AEntry))
      return -1;
    return count;
  }
  case ZIP_SOURCE_CLOSE:
    FDeflater->Close(AEntry.Job);
    return CloseEntry(AEntry);
  default:
    return OtherCommand(AEntry, AData, ALength, ACommand);
  }
}

void TZipWriter::FailDeflated(TEntry& AEntry, const TZipDeflater::TOutcome& AOutcome, int AZipError)
{
  switch (AOutcome.Failure) {
  case TZipDeflater::dfVanished:
    Fail(AEntry, fkVanished, AOutcome.Errno, ZIP_ER_OPEN);
    break;
  case TZipDeflater::dfNotRegular:
    Fail(AEntry, fkNotRegular, 0);
    break;
  default:
    Fail(AEntry, fkUnreadable, AOutcome.Errno, AZipError);
    break;
  }
}

int TZipWriter::VerifyWritten(const QByteArray& ATemporaryFile)
{
  if (!OnVerify)
    return 0;
  bool sound = false;
  if (!Guard([&] { sound = OnVerify(this, ATemporaryFile); }))
    return ZIP_ER_INTERNAL;
  if (sound)
    return 0;
  FVerifyFailed = true;
  return FCancel ? ZIP_ER_CANCELLED : ZIP_ER_INCONS;
}

int TZipWriter::PrepareEntries()
{
  QSet<QString> excluded;
  for (const QString& path : std::as_const(FSpecArgsExcl))
    excluded.insert(path.toCaseFolded());

  // A previous archive inside the backed-up folders is not stored in its successor.
  struct stat archive = {};
  const bool archiveExists = ::stat(EncodeFileName(FZipFileName).constData(), &archive) == 0;

  QSet<QByteArray> names;
  int result = 0;
  FLastReport = {};
  const uid_t ownerId = ::geteuid();
  TLookAhead looks(FSpecArgs);
  for (qsizetype i = 0; i < FSpecArgs.size(); ++i) {
    const QString& path = FSpecArgs.at(i);
    if (ReportPreparing(path)) {
      CannotWrite(ZIP_ER_CANCELLED, ZipErrorText(ZIP_ER_CANCELLED));
      return ZIP_ER_CANCELLED;
    }
    if (!excluded.isEmpty() && excluded.contains(path.toCaseFolded()))
      continue;
    const QString fileName = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    if (!FAddOptions.testFlag(AddHiddenFiles) && fileName.startsWith(QLatin1Char('.')))
      continue;
    const QString name = FAddOptions.testFlag(AddDirNames) ? EntryPath(path) : fileName;
    if (name.isEmpty())
      continue;
    auto entry = std::make_unique<TEntry>();
    entry->Path = path;
    struct stat st = {};
    const int error = looks.Look(i, path, entry->NativePath, st);
    entry->Name = EncodeFileName(name);
    // A file listed twice (matched by two entries) is stored once.
    if (names.contains(entry->Name))
      continue;

    if (error != 0) {
      if (IsMissing(error)) {
        Message(ZIP_ER_NOENT, QString(QStringLiteral("Skipped, file not found: ") + path));
      } else {
        Message(ZIP_ER_OPEN,
                QString(QStringLiteral("Cannot read ") + path + QStringLiteral(": ") + qt_error_string(error)));
        result = ZIP_ER_OPEN;
      }
      continue;
    }
    if (!S_ISREG(st.st_mode)) {
      Message(ZIP_ER_OPNOTSUPP, QString(QStringLiteral("Skipped, not a regular file: ") + path));
      continue;
    }
    if (archiveExists && st.st_dev == archive.st_dev && st.st_ino == archive.st_ino) {
      Message(ZIP_ER_INUSE, QString(QStringLiteral("Skipped, the archive itself: ") + path));
      continue;
    }
    // Catch files without read permission before anything is compressed, and name them all. The
    // owner's own readable files need no asking: on a tree of small files, asking took a quarter
    // of the time spent preparing. Opening the file stays the final word.
    const bool ownReadable = st.st_uid == ownerId && (st.st_mode & S_IRUSR) != 0;
    if (!ownReadable && ::access(entry->NativePath.constData(), R_OK) != 0 && errno == EACCES) {
      Message(ZIP_ER_OPEN,
              QString(QStringLiteral("Cannot read ") + path + QStringLiteral(": ") + qt_error_string(EACCES)));
      result = ZIP_ER_OPEN;
      continue;
    }
    names.insert(entry->Name);
    entry->Size = st.st_size;
    entry->MTime = st.st_mtime;
    entry->Mode = st.st_mode;
    entry->Uid = st.st_uid;
    entry->Gid = st.st_gid;
    FTotalBytes += st.st_size;
    FEntries.push_back(std::move(entry));
  }
  return result;
}

void TZipWriter::DropVanishedEntries()
{
  for (auto it = FEntries.begin(); it != FEntries.end();) {
    TEntry& entry = **it;
    struct stat st = {};
    const bool missing = ::stat(entry.NativePath.constData(), &st) != 0 && IsMissing(errno);
    if (missing || (!missing && !S_ISREG(st.st_mode))) {
      Message(missing ? ZIP_ER_NOENT : ZIP_ER_OPNOTSUPP,
              QString((missing ? QStringLiteral("Skipped, file not found: ")
                               : QStringLiteral("Skipped, not a regular file: ")) +
                      entry.Path));
      it = FEntries.erase(it);
    } else {
      ++it;
    }
  }
}

TZipWriter::TWriteOutcome TZipWriter::WriteArchive(int& AErrorCode)
{
  FDoneBytes = 0;
  FTotalBytes = 0;
  FCurrent = nullptr;
  FLastItem = FLastItemPerCent = FLastTotalPerCent = -1;
  FLastReport = {};
  ClearFailure();
  int index = 0;
  for (auto& entry : FEntries) {
    entry->Index = index++;
    entry->Statted = false;
    entry->Open = entry->Closed = false;
    entry->Read = 0;
    FTotalBytes += entry->Size;
  }

  const auto fail = [&](int ACode, const QString& AText) {
    AErrorCode = ACode;
    CannotWrite(ACode, AText);
    return woFailed;
  };

  // libzip writes into a temporary file beside the archive that replaces the archive only when
  // every entry was written and the file was read back; on failure it is removed.
  FVerifyFailed = false;
  TZipArchiveFile output(EncodeFileName(FZipFileName));
  zip_error_t openError;
  zip_error_init(&openError);
  zip_source_t* target = output.NewSource(&openError);
  zip_t* zip = target ? zip_open_from_source(target, ZIP_CREATE | ZIP_TRUNCATE, &openError) : nullptr;
  if (zip == nullptr) {
    if (target)
      zip_source_free(target);
    const int code = zip_error_code_zip(&openError);
    const QString text = QString::fromUtf8(zip_error_strerror(&openError));
    zip_error_fini(&openError);
    return fail(code, text);
  }
  zip_error_fini(&openError);
  const auto zipFailure = [&]() {
    const int code = zip_error_code_zip(zip_get_error(zip));
    const QString text = QString::fromUtf8(zip_error_strerror(zip_get_error(zip)));
    zip_discard(zip);
    return fail(code, text);
  };

  const QByteArray comment = TruncateUtf8(FZipComment, 0xFFFF);
  if (!comment.isEmpty() &&
      zip_set_archive_comment(zip, comment.constData(), static_cast<zip_uint16_t>(comment.size())) != 0)
    return zipFailure();

  const bool encrypt = FAddOptions.testFlag(AddEncrypt);
  const QByteArray password = FPassword.toUtf8();
  const int level = std::clamp(FAddCompLevel, 0, 9);
  // Deflated entries are compressed ahead on worker threads, one per processor; stored ones
  // are read by libzip itself.
  struct TDeflaterReset
  {
    std::unique_ptr<TZipDeflater>& Deflater;
    ~TDeflaterReset() { Deflater.reset(); }
  } deflaterReset{FDeflater};
  if (level > 0) {
    FDeflater = std::make_unique<TZipDeflater>(level, std::max(1, QThread::idealThreadCount()));
    for (auto& entry : FEntries)
      entry->Job = FDeflater->Add(entry->NativePath, entry->Size);
  }
  std::vector<TZipCallbacks::TSourceState> states(FEntries.size());
  for (std::size_t i = 0; i < FEntries.size(); ++i) {
    bool cancelled = false;
    if (!Guard([&] { cancelled = ReportPreparing(FEntries[i]->Path); })) {
      zip_discard(zip);
      return woFailed;
    }
    if (cancelled) {
      zip_discard(zip);
      return fail(ZIP_ER_CANCELLED, ZipErrorText(ZIP_ER_CANCELLED));
    }
    states[i] = TZipCallbacks::TSourceState{this, FEntries[i].get()};
    zip_source_t* source =
        zip_source_function(zip, FDeflater ? &TZipCallbacks::DeflatedSource : &TZipCallbacks::Source, &states[i]);
    if (source == nullptr)
      return zipFailure();
    const zip_int64_t index = zip_file_add(zip, FEntries[i]->Name.constData(), source, ZIP_FL_ENC_GUESS);
    if (index < 0) {
      zip_source_free(source);
      return zipFailure();
    }
    const auto entry = static_cast<zip_uint64_t>(index);
    if (zip_set_file_compression(zip, entry, level == 0 ? ZIP_CM_STORE : ZIP_CM_DEFLATE,
                                 static_cast<zip_uint32_t>(level)) != 0)
      return zipFailure();
    if (encrypt && zip_file_set_encryption(zip, entry, ZIP_EM_AES_256, password.constData()) != 0)
      return zipFailure();
    // The DOS time keeps even seconds only; these give readers the exact second and the owner.
    const QByteArray stamp = ZipExtraFields::ExtendedTimestamp(FEntries[i]->MTime);
    const QByteArray owner = ZipExtraFields::UnixOwner(FEntries[i]->Uid, FEntries[i]->Gid);
    constexpr zip_flags_t Both = ZIP_FL_LOCAL | ZIP_FL_CENTRAL;
    if (!stamp.isEmpty() &&
        zip_file_extra_field_set(zip, entry, ZipExtraFields::ExtendedTimestampId, ZIP_EXTRA_FIELD_NEW,
                                 reinterpret_cast<const zip_uint8_t*>(stamp.constData()),
                                 static_cast<zip_uint16_t>(stamp.size()), Both) != 0)
      return zipFailure();
    if (zip_file_extra_field_set(zip, entry, ZipExtraFields::UnixOwnerId, ZIP_EXTRA_FIELD_NEW,
                                 reinterpret_cast<const zip_uint8_t*>(owner.constData()),
                                 static_cast<zip_uint16_t>(owner.size()), Both) != 0)
      return zipFailure();
  }

  zip_register_progress_callback_with_state(zip, 0.0, &TZipCallbacks::Progress, nullptr, this);
  zip_register_cancel_callback_with_state(zip, &TZipCallbacks::Cancel, nullptr, this);
  if (FDeflater)
    FDeflater->Start();

  // libzip writes the archive on a thread of its own, since it blocks for long stretches
  // (reading files, writing the central directory, freeing its entries) that would keep a window
  // on this thread waiting; the progress it publishes is passed on from here. Once closed, that
  // thread flushes the file to the disk while this one reads it back.
  enum { jsClosed = 1 };
  bool closed = false;
  int syncError = 0;
  {
    std::lock_guard lock(FReportLock);
    FReports.clear();
  }
  FLastPassedOn = TProgressDetails{FEntries.front()->Path, 0, 0};
  TBackgroundJob job([&](TBackgroundJob& AJob) {
    closed = zip_close(zip) == 0;
    if (!closed)
      return;
    // libzip freed its entries in small pieces the allocator keeps; the read-back would take
    // fresh memory beside them.
    ::malloc_trim(0);
    AJob.Reach(jsClosed);
    syncError = output.Sync();
  });
  job.Wait(jsClosed, [this] { PassOnProgress(); });
  PassOnProgress(); // the run's last report

  if (closed) {
    const int verified = VerifyWritten(output.TemporaryPath());
    job.Wait(TBackgroundJob::Finished, [this] {
      if (OnWaiting)
        Guard([this] { OnWaiting(this); });
      else
        PassOnProgress();
    });
    int systemError = syncError;
    int code = verified;
    if (code == 0 && syncError != 0)
      code = ZIP_ER_WRITE;
    // A handler that raised while the flush was awaited fails the run, as one raised earlier does.
    if (code == 0 && FHandlerError)
      code = ZIP_ER_INTERNAL;
    if (code == 0)
      code = output.Replace(systemError);
    if (code == 0)
      return woWritten;
    if (FHandlerError)
      return woFailed;
    // The check has said what is wrong.
    if (FVerifyFailed && !FCancel) {
      AErrorCode = ZIP_ER_INCONS;
      return woFailed;
    }
    if (FCancel || code == ZIP_ER_CANCELLED)
      return fail(ZIP_ER_CANCELLED, ZipErrorText(ZIP_ER_CANCELLED));
    zip_error_t error;
    zip_error_init(&error);
    zip_error_set(&error, code, systemError);
    const QString text = QString::fromUtf8(zip_error_strerror(&error));
    zip_error_fini(&error);
    return fail(code, text);
  }

  const int code = zip_error_code_zip(zip_get_error(zip));
  const QString text = QString::fromUtf8(zip_error_strerror(zip_get_error(zip)));
  zip_discard(zip);
  // zip_discard closes what libzip still held open; the entries' descriptors are closed by them.
  for (auto& entry : FEntries) {
    if (entry->Fd >= 0)
      ::close(entry->Fd);
    entry->Fd = -1;
  }

  if (FHandlerError)
    return woFailed;
  switch (FFailureKind) {
  case fkVanished:
  case fkNotRegular: {
    Message(FFailureKind == fkVanished ? ZIP_ER_NOENT : ZIP_ER_OPNOTSUPP,
            QString((FFailureKind == fkVanished ? QStringLiteral("Skipped, file not found: ")
                                                : QStringLiteral("Skipped, not a regular file: ")) +
                    FFailureEntry->Path));
    FEntries.erase(FEntries.begin() + FFailureEntry->Index);
    FFailureEntry = nullptr;
    return woRetry;
  }
  case fkUnreadable:
    AErrorCode = zip_error_code_zip(&FFailureEntry->Error);
    Message(AErrorCode, QString(QStringLiteral("Cannot read ") + FFailureEntry->Path + QStringLiteral(": ") +
                                qt_error_string(FFailureErrno)));
    return woFailed;
  default:
    break;
  }
  if (FCancel || FFailureKind == fkCancelled || code == ZIP_ER_CANCELLED)
    return fail(ZIP_ER_CANCELLED, ZipErrorText(ZIP_ER_CANCELLED));
  return fail(code, text);
}

int TZipWriter::Add()
{
  if (FState == zsBusy) {
    Message(ZIP_ER_INUSE, ZipErrorText(ZIP_ER_INUSE));
    return ZIP_ER_INUSE;
  }
  FState = zsBusy;
  FCancel = false;
  // libzip sets up a fresh deflate state of some 400 KiB for every entry. Keeping a spare MiB at
  // the top of the heap stops the allocator from giving those pages back and faulting them in
  // again per file, which made archives of many small files several times slower.
  ::mallopt(M_TOP_PAD, 1 << 20);
  FHandlerError = nullptr;
  FHandlerRaised = false;
  FEntries.clear();
  FTotalBytes = 0;

  struct TReset
  {
    TZipWriter* Writer;
    ~TReset()
    {
      Writer->FEntries.clear();
      Writer->FCurrent = nullptr;
      Writer->FFailureEntry = nullptr;
      Writer->FState = zsIdle;
    }
  } reset{this};

  // Unreadable files are named one by one; none of them may be left out silently.
  int result = PrepareEntries();
  if (result != 0)
    return result;

  for (int attempt = 1;; ++attempt) {
    if (FEntries.empty()) {
      // libzip would delete an existing archive when closing one without entries.
      Message(ZIP_ER_NOENT, QString(QStringLiteral("Nothing to add to ") + FZipFileName));
      return ZIP_ER_NOENT;
    }
    const TWriteOutcome outcome = WriteArchive(result);
    if (FHandlerError)
      std::rethrow_exception(FHandlerError);
    if (outcome == woWritten)
      break;
    if (outcome == woFailed)
      return result;
    if (FCancel || attempt >= MaxWriteAttempts) {
      result = FCancel ? ZIP_ER_CANCELLED : ZIP_ER_CHANGED;
      CannotWrite(result, FCancel ? ZipErrorText(ZIP_ER_CANCELLED)
                                  : QStringLiteral("files kept disappearing while they were added"));
      return result;
    }
    // Files disappeared while the archive was written: leave out every file missing now and
    // start again, so that the archive never holds an empty stand-in for a lost file.
    DropVanishedEntries();
  }

  Message(0, QStringLiteral("Added %1 files to %2").arg(FEntries.size()).arg(FZipFileName));
  return 0;
}
