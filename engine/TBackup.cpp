// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/TBackup.h"

#include "engine/TArchiveGenerations.h"
#include "engine/TArchiveRotation.h"
#include "engine/TArchiveVerifier.h"
#include "engine/TNTBackup.h"
#include "engine/TPrivateFolder.h"
#include "engine/TSevenZip.h"
#include "engine/TSevenZipLibrary.h"
#include "engine/TSystemState.h"
#include "engine/TZipWriter.h"
#include "platform/FileNames.h"
#include "platform/FileSystem.h"
#include "platform/Posix.h"
#include "platform/TFileDescriptor.h"
#include "sysinfo/Common.h"

#include <QCryptographicHash>
#include <QSet>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

[[noreturn]] void RaiseFileError(const QString& AFormat, const QString& AFileName, int AErrno)
{
  throw EBackupException(AFormat.arg(AFileName, Posix::ErrorText(AErrno)));
}

TFileDescriptor OpenForReading(const QString& AFileName, struct stat& AStat)
{
  int error = 0;
  TFileDescriptor file = TFileDescriptor::Open(EncodeFileName(AFileName), O_RDONLY | O_NOCTTY, 0, error);
  if (!file.IsOpen())
    RaiseFileError(QStringLiteral("Cannot open file \"%1\". %2"), AFileName, error);
  if (::fstat(file.Fd(), &AStat) != 0)
    RaiseFileError(QStringLiteral("Cannot open file \"%1\". %2"), AFileName, errno);
  return file;
}

// Whether APath names the file AStat describes.
bool IsSameFile(const QString& APath, const struct stat& AStat)
{
  struct stat st = {};
  return ::stat(EncodeFileName(APath).constData(), &st) == 0 && st.st_dev == AStat.st_dev && st.st_ino == AStat.st_ino;
}

// A file being written under a temporary name beside its final one; Commit makes it whole and
// gives it its name, otherwise it is removed.
class TReplacement
{
public:
  TReplacement(const QString& AFileName, mode_t AMode)
    : FFileName(AFileName)
    , FTarget(EncodeFileName(AFileName))
  {
    int error = 0;
    FFile = Posix::CreateTemporaryBeside(FTarget, AMode, FTempPath, error);
    if (!FFile.IsOpen())
      RaiseFileError(QStringLiteral("Cannot create file \"%1\". %2"), AFileName, error);
  }
  ~TReplacement()
  {
    if (!FTempPath.isEmpty()) {
      FFile = TFileDescriptor();
      ::unlink(FTempPath.constData());
    }
  }
  TReplacement(const TReplacement&) = delete;
  TReplacement& operator=(const TReplacement&) = delete;
  int Fd() const { return FFile.Fd(); }
  void Commit()
  {
    const int error = Posix::CommitReplacement(FFile, FTempPath, FTarget);
    FTempPath.clear();
    if (error != 0)
      RaiseFileError(QStringLiteral("Cannot write file \"%1\". %2"), FFileName, error);
  }

private:
  QString FFileName;
  QByteArray FTarget;
  QByteArray FTempPath;
  TFileDescriptor FFile;
};

// Copies up to ACount bytes (all that is left when ACount is negative) through a fixed buffer.
void CopyData(int AIn, const QString& AInName, int AOut, const QString& AOutName, qint64 ACount)
{
  static constexpr qint64 BufferSize = 1 << 20;
  std::vector<char> buffer(static_cast<std::size_t>(BufferSize));
  qint64 left = ACount;
  while (ACount < 0 || left > 0) {
    const qint64 wanted = ACount < 0 ? BufferSize : std::min(left, BufferSize);
    ssize_t count = ::read(AIn, buffer.data(), static_cast<size_t>(wanted));
    if (count < 0 && errno == EINTR)
      continue;
    if (count < 0)
      RaiseFileError(QStringLiteral("Cannot read file \"%1\". %2"), AInName, errno);
    if (count == 0)
      break;
    if (const int error = Posix::WriteAll(AOut, buffer.data(), static_cast<std::size_t>(count)); error != 0)
      RaiseFileError(QStringLiteral("Cannot write file \"%1\". %2"), AOutName, error);
    left -= count;
  }
}

// Whether AFileName is a file that a 7z run writing AArchive replaces: the archive itself or one
// of its volumes (name.001, name.002, ...), whichever volume size an earlier run had. Packed
// into its successor, an archive would grow with every run. Names are checked first; only a
// match is looked up, by identity, so that differently spelt paths to the same folder agree.
// Whether APath (followed through links, as the writers open it) is a regular file or gone.
bool IsRegularOrMissing(const QString& APath)
{
  struct stat st = {};
  return ::stat(EncodeFileName(APath).constData(), &st) != 0 || S_ISREG(st.st_mode);
}

// The archive's full path with its folder resolved, so that every spelling of one archive
// takes the same lock.
QByteArray ResolvedArchivePath(const QString& AArchive)
{
  const QByteArray path = EncodeFileName(AArchive);
  const qsizetype slash = path.lastIndexOf('/');
  const QByteArray folder = slash < 0 ? QByteArrayLiteral(".") : slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
  char resolved[PATH_MAX];
  if (::realpath(folder.constData(), resolved) == nullptr)
    return path;
  return QByteArray(resolved) + '/' + path.mid(slash + 1);
}

// Whether AName is a temporary file the writers make beside the archive ABase (or one of its
// volumes, "ABase.NNN") while they write: ".<name>.XXXXXX.tmp".
bool IsTemporaryOfArchive(const QByteArray& AName, const QByteArray& ABase)
{
  if (Posix::IsTemporaryNameFor(AName, ABase))
    return true;
  const QByteArray prefix = '.' + ABase + '.';
  if (!AName.startsWith(prefix))
    return false;
  const qsizetype dot = AName.indexOf('.', prefix.size());
  if (dot <= prefix.size())
    return false;
  const QByteArray number = AName.mid(prefix.size(), dot - prefix.size());
  return std::all_of(number.begin(), number.end(), [](char AChar) { return AChar >= '0' && AChar <= '9'; }) &&
         Posix::IsTemporaryNameFor(AName, ABase + '.' + number);
}

bool IsSevenZipArchiveFile(const QString& AFileName, const QString& AArchive)
{
  const qsizetype archiveSlash = AArchive.lastIndexOf(PathDelim);
  const QString archiveBase = AArchive.mid(archiveSlash + 1);
  const QString base = AFileName.mid(AFileName.lastIndexOf(PathDelim) + 1);
  if (archiveBase.isEmpty() || !base.startsWith(archiveBase))
    return false;
  if (base.size() != archiveBase.size()) {
    const QStringView suffix = QStringView(base).mid(archiveBase.size());
    if (suffix.size() < 4 || suffix.front() != QLatin1Char('.') ||
        !std::all_of(suffix.begin() + 1, suffix.end(),
                     [](QChar AChar) { return AChar >= QLatin1Char('0') && AChar <= QLatin1Char('9'); }))
      return false;
  }
  struct stat listed = {};
  struct stat written = {};
  return ::stat(EncodeFileName(AFileName).constData(), &listed) == 0 &&
         ::stat(EncodeFileName(AArchive.left(archiveSlash + 1) + base).constData(), &written) == 0 &&
         listed.st_dev == written.st_dev && listed.st_ino == written.st_ino;
}

// APart of AWhole in per cent, to the nearest integer with an exact half to the even neighbour;
// 0 unless both are above 0.
int PerCent(qint64 APart, qint64 AWhole)
{
  if (APart <= 0 || AWhole <= 0)
    return 0;
  const double exact = static_cast<double>(APart) / static_cast<double>(AWhole) * 100.0;
  const double floor = std::floor(exact);
  const double fraction = exact - floor;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(floor, 2.0) != 0.0))
    return static_cast<int>(floor) + 1;
  return static_cast<int>(floor);
}

} // namespace

TBackup::TBackup(QObject* AOwner)
  : TBackup(TSevenZipLibrary::DefaultCandidates(), AOwner)
{}

TBackup::TBackup(const QStringList& ASevenZipLibraryFiles, QObject* AOwner)
  : QObject(AOwner)
  , FFiles(std::make_unique<TBackupFiles>())
  , FExclusions(std::make_unique<TBackupFiles>())
  , FZipMaster(std::make_unique<TZipWriter>())
  , FSevenZipLibraryFiles(ASevenZipLibraryFiles)
{
  FZipMaster->OnProgress = [this](QObject*, const TZipWriter::TProgressDetails& ADetails) {
    ItemProgress(ADetails.ItemName, ADetails.ItemPerCent);
    TotalProgress(FZipMaster->ZipFileName(), ADetails.TotalPerCent);
    // Refreshed after the handlers, so that a cancel requested inside them stops the writing at once.
    FZipMaster->SetCancel(FCancelled);
  };
  FZipMaster->OnMessage = [this](QObject*, int AErrorCode, const QString& AMessage) { Log(AMessage, AErrorCode); };
  FZipMaster->OnVerify = [this](QObject*, const QByteArray& ATemporaryFile) {
    return BeforeReplace({ATemporaryFile}, {FZipFileName});
  };
  FZipMaster->OnWaiting = [this](QObject*) {
    RepeatProgress();
    FZipMaster->SetCancel(FCancelled);
  };
  // A missing 7z library fails 7z backups only, so the engine is still built without it.
  (void)LoadSevenZip();
  WireCollections();
}

TBackup::~TBackup() = default;

QString TBackup::DllDirectory() const
{
  return FZipMaster->DLLDirectory();
}

void TBackup::SetDllDirectory(const QString& AValue)
{
  FZipMaster->SetDLLDirectory(AValue);
}

bool TBackup::Busy() const
{
  switch (FZipType) {
  case zZip:
    return FZipMaster->State() == TZipWriter::zsBusy;
  case zSeven:
    return FBusy;
  default:
    return false;
  }
}

void TBackup::Cancel()
{
  if (FVerifier)
    FVerifier->Cancel();
  if (FZipType == zZip && !FCancelled)
    FZipMaster->SetCancel(true);
  if (FZipType == zSeven && !FCancelled && FSevenZip)
    FSevenZip->Cancel();
  FCancelled = true;
}

void TBackup::Log(const QString& AMessage, int AErrorCode)
{
  if (OnLog)
    OnLog(this, AMessage, AErrorCode);
}

void TBackup::Debug(const QString& AProcedure, const QString& AMessage)
{
  if (OnDebug)
    OnDebug(this, AProcedure, AMessage);
}

void TBackup::ItemProgress(const QString& AMessage, int AProgress)
{
  FLastItemProgress = {AMessage, AProgress};
  if (OnItemProgress)
    OnItemProgress(this, AMessage, AProgress);
}

void TBackup::TotalProgress(const QString& AMessage, int AProgress)
{
  FLastTotalProgress = {AMessage, AProgress};
  if (OnTotalProgress)
    OnTotalProgress(this, AMessage, AProgress);
}

void TBackup::RepeatProgress()
{
  if (FLastItemProgress.second >= 0)
    ItemProgress(FLastItemProgress.first, FLastItemProgress.second);
  if (FLastTotalProgress.second >= 0)
    TotalProgress(FLastTotalProgress.first, FLastTotalProgress.second);
}

void TBackup::WireCollections()
{
  // Done again at every run, so that handlers assigned after construction reach the collections.
  for (TBackupFiles* files : {FFiles.get(), FExclusions.get()}) {
    files->OnProgress = [this](QObject* ASender, const QString& AMessage, int AProgress, bool& ACancel) {
      InternalOnSearchProgress(ASender, AMessage, AProgress, ACancel);
    };
    files->OnLog = OnLog;
    files->OnDebug = OnDebug;
  }
}

void TBackup::InternalOnSearchProgress(QObject* ASender, const QString& AMessage, int AProgress, bool& ACancel)
{
  ACancel = FCancelled;
  if (FCancelled)
    Debug(QStringLiteral("InternalOnSearchProgress"), QStringLiteral("Cancel request."));
  if (OnFileSearchProgress)
    OnFileSearchProgress(ASender, AMessage, AProgress);
}

TBackupResult TBackup::Backup(QStringList* AZipFileList)
{
  if (AZipFileList == nullptr)
    throw EBackupException(QStringLiteral("ZIPFileList has not been assigned."));

  AZipFileList->clear();
  TBackupResult result = brFailed;
  WireCollections();

  // Cleared before the first report: a cancel requested from its handlers must stand.
  FCancelled = false;
  Log(QStringLiteral("Initialising backup, please wait..."), 0);
  TotalProgress(QStringLiteral("Gathering details, please wait..."), 0);
  ItemProgress(QStringLiteral("Gathering details, please wait..."), 0);

  FBusy = true;

  // One run per archive at a time, across processes (the tray program and the terminal program
  // share the profiles); the lock is held until the run ends.
  TFileDescriptor lock;
  FArchiveWasBusy = !LockArchive(lock);
  if (FArchiveWasBusy) {
    Log(QStringLiteral("Backup already active."), 1);
    Log(QStringLiteral("Backup Failed."), 1);
    FBusy = false;
    if (OnBackupFinished)
      OnBackupFinished(this, brFailed);
    return brFailed;
  }
  RemoveLeftovers();
  // The run's private folder goes when the run ends, however it ends.
  struct TRunFolderRemoval
  {
    std::unique_ptr<TPrivateFolder>& Folder;
    ~TRunFolderRemoval() { Folder.reset(); }
  } runFolderRemoval{FRunFolder};

  // An exception out of an event handler leaves at once: no result message, and Busy stays set.
  switch (FZipType) {
  case zZip:
    BackupZip(*AZipFileList, result);
    break;
  case zSeven:
    Backup7z(*AZipFileList, result);
    break;
  case zNTBackup:
    BackupNTBackup(*AZipFileList, result);
    break;
  }

  FBusy = false;

  if (FCancelled) {
    Log(QStringLiteral("Backup Cancelled."), 1);
    result = brCancelled;
  } else if (result != brComplete) {
    Log(QStringLiteral("Backup Failed."), 1);
  } else {
    Log(QStringLiteral("Backup Complete."), 0);
  }

  if (OnBackupFinished)
    OnBackupFinished(this, result);
  return result;
}

bool TBackup::LockArchive(TFileDescriptor& ALock)
{
  QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (folder.isEmpty())
    folder = GetTempFolder();
  const QByteArray hash =
      QCryptographicHash::hash(ResolvedArchivePath(FZipFileName), QCryptographicHash::Sha1).toHex().left(20);
  int error = 0;
  ALock =
      TFileDescriptor::Open(EncodeFileName(IncludeTrailingPathDelimiter(folder)) + "corvale-archive-" + hash + ".lock",
                            O_RDWR | O_CREAT | O_NOFOLLOW, 0600, error);
  // Without a lock file (an odd runtime folder) the run goes on as it always did.
  if (!ALock.IsOpen()) {
    Debug(QStringLiteral("LockArchive"), Posix::ErrorText(error));
    return true;
  }
  while (::flock(ALock.Fd(), LOCK_EX | LOCK_NB) != 0) {
    if (errno != EINTR)
      return errno != EWOULDBLOCK;
  }
  return true;
}

void TBackup::RemoveLeftovers()
{
  // Temporary files of a run that was killed (SIGKILL, power cut): never packed, never kept.
  const QByteArray archive = EncodeFileName(FZipFileName);
  const QByteArray folder = Posix::FolderOf(archive);
  const QByteArray base = archive.mid(archive.lastIndexOf('/') + 1);
  if (base.isEmpty())
    return;
  DIR* dir = ::opendir(folder.constData());
  if (!dir)
    return;
  while (const dirent* entry = ::readdir(dir)) {
    const QByteArray name(entry->d_name);
    if (IsTemporaryOfArchive(name, base) && ::unlink(QByteArray(folder + '/' + name).constData()) == 0)
      Log(QString(QStringLiteral("Removed the temporary file of an unfinished run: ") +
                  DecodeFileName(folder + '/' + name)),
          0);
  }
  ::closedir(dir);
}

bool TBackup::GenerateFileList()
{
  Log(QStringLiteral("Generating file list..."), 0);

  QStringList includeList;
  QStringList exclusionList;
  FFiles->GenerateFileList(includeList);
  FExclusions->GenerateFileList(exclusionList);
  // A folder that could not be read may hold files the user counts on: the run fails, as it
  // does for an unreadable file, before anything is written.
  FSearchFailed = FFiles->SearchFailed() || FExclusions->SearchFailed();
  if (FSearchFailed)
    return false;

  Log(QStringLiteral("Processing file list..."), 0);
  if (OnBackupFileList)
    OnBackupFileList(this, includeList);

  Log(QStringLiteral("Processing exclusion file list..."), 0);
  if (OnBackupFileExclusionList)
    OnBackupFileExclusionList(this, exclusionList);

  // Kept archives in a backed-up folder would be packed into every new archive, which would grow
  // with each run.
  const TArchiveGenerations generations(FZipFileName, FZipType == zSeven && FVolumeSize != 0);
  includeList.removeIf([&](const QString& APath) {
    if (!generations.IsKeptFile(APath))
      return false;
    Log(QString(QStringLiteral("Skipped, a kept archive: ") + APath), 0);
    return true;
  });

  switch (FZipType) {
  case zZip: {
    FZipMaster->SpecArgs() = includeList;
    FZipMaster->SpecArgsExcl() = exclusionList;
    Debug(QStringLiteral("GenerateFileList"), QStringLiteral("Include Count: %1").arg(includeList.size()));
    Debug(QStringLiteral("GenerateFileList"), QStringLiteral("Exclude Count: %1").arg(exclusionList.size()));
    return !includeList.isEmpty() && !FCancelled;
  }
  case zSeven: {
    QStringList& files = FSevenZip->Files();
    files.clear();
    // Whole paths, compared without regard to case.
    QSet<QString> excluded;
    for (const QString& path : std::as_const(exclusionList))
      excluded.insert(path.toCaseFolded());
    for (const QString& path : std::as_const(includeList)) {
      if (FCancelled)
        break;
      ItemProgress(path, 0);
      if (excluded.contains(path.toCaseFolded())) {
        Debug(QStringLiteral("GenerateFileList"), QString(QStringLiteral("Exclude: ") + path));
        continue;
      }
      if (!IsRegularOrMissing(path)) {
        // A FIFO, socket or device holds no file data, and reading one could block the run.
        Log(QString(QStringLiteral("Skipped, not a regular file: ") + path), 0);
        continue;
      }
      if (IsSevenZipArchiveFile(path, FZipFileName)) {
        Log(QString(QStringLiteral("Skipped, the archive itself: ") + path), 0);
        Debug(QStringLiteral("GenerateFileList"), QString(QStringLiteral("Exclude: ") + path));
        continue;
      }
      Debug(QStringLiteral("GenerateFileList"), QString(QStringLiteral("Add: ") + path));
      files.append(path);
    }
    Debug(QStringLiteral("GenerateFileList"), QStringLiteral("Include Count: %1").arg(files.size()));
    return !files.isEmpty() && !FCancelled;
  }
  default:
    return false;
  }
}

void TBackup::LogZipLibrary()
{
  // libzip is linked in, so it is always there; the line names the copy and version in use.
  Log(QStringLiteral("LoadZipDll: True ") + FZipMaster->DLL_Path() + QLatin1Char(' ') + FZipMaster->DLL_Version(), 0);
}

int TBackup::GetZipCompression()
{
  int level = 9;
  switch (FZipCompression) {
  case zcNone:
    level = 0;
    break;
  case zcFast:
    level = 2;
    break;
  case zcNormal:
    level = 5;
    break;
  case zcHigh:
    level = 7;
    break;
  case zcMaximum:
    level = 9;
    break;
  }
  Debug(QStringLiteral("GetZipCompression"), QStringLiteral("Result: %1").arg(level));
  return level;
}

void TBackup::BackupZip(QStringList& AZipFileList, TBackupResult& AResult)
{
  LogZipLibrary();
  if (!GenerateFileList()) {
    if (!FSearchFailed)
      Log(QStringLiteral("File list is empty, backup cannot continue"), 1);
    return;
  }
  if (FSystemState)
    AddSystemState(FZipMaster->SpecArgs());

  Log(QStringLiteral("Backup in progress, Please wait..."), 0);

  FZipMaster->SetTempDir(IncludeTrailingPathDelimiter(GetTempFolder()));
  FZipMaster->SetAddOptions(TZipWriter::AddDirNames | TZipWriter::AddHiddenFiles);
  FZipMaster->SetAddCompLevel(GetZipCompression());
  FZipMaster->SetZipFileName(FZipFileName);
  // The system's text encoding is UTF-8, which is also the only one libzip accepts for comments.
  FZipMaster->SetZipComment(FZipDescription.toUtf8());
  FZipMaster->SetPassword(FZipPassword);
  if (!TrimText(FZipMaster->Password()).isEmpty())
    FZipMaster->SetAddOptions(FZipMaster->AddOptions() | TZipWriter::AddEncrypt);

  ItemProgress(QStringLiteral("Starting ZIP compression..."), 0);
  WriteKeepingPrevious([&] {
    if (FZipMaster->Add() == 0)
      AResult = brComplete;
  });
  AZipFileList.append(FZipMaster->ZipFileName());
}

bool TBackup::LoadSevenZip()
{
  if (FSevenZip)
    return true;
  try {
    FSevenZip = std::make_unique<TSevenZip>(FSevenZipLibraryFiles, nullptr);
  } catch (const ESevenZipError& AError) {
    FSevenZipLoadError = AError.Message();
    return false;
  }
  FSevenZipLoadError.clear();
  WireSevenZip();
  return true;
}

void TBackup::WireSevenZip()
{
  // Every report also passes on a cancel that arrived before the writer started, which its Add
  // would otherwise forget.
  FSevenZip->OnPreProgress = [this](QObject*, qint64 AMaxProgress) {
    FTotalProgressMax = AMaxProgress;
    if (FCancelled)
      FSevenZip->Cancel();
  };
  FSevenZip->OnAddfile = [this](QObject*, const QString& AFileName, qint64 ASize) {
    FItemProgressMax = ASize;
    Log(QString(AFileName + QStringLiteral(" (") + QString::number(ASize) + QLatin1Char(')')), 0);
    if (FCancelled)
      FSevenZip->Cancel();
  };
  FSevenZip->OnProgress = [this](QObject*, const QString& AFileName, qint64 AFilePosArc, qint64 AFilePosFile) {
    ItemProgress(AFileName, PerCent(AFilePosFile, FItemProgressMax));
    TotalProgress(FSevenZip->SZFileName(), PerCent(AFilePosArc, FTotalProgressMax));
    if (FCancelled)
      FSevenZip->Cancel();
  };
  FSevenZip->OnMessage = [this](QObject*, int AErrCode, const QString& AMessage, const QString&) {
    Log(AMessage, AErrCode);
  };
  FSevenZip->OnVerify = [this](QObject*, const QList<QByteArray>& ATemporaryFiles, const QStringList& AFinalNames) {
    return BeforeReplace(ATemporaryFiles, AFinalNames);
  };
}

TCompressStrength TBackup::GetSevenZipCompression()
{
  TCompressStrength strength = TCompressStrength::ULTRA;
  switch (FZipCompression) {
  case zcNone:
    strength = TCompressStrength::SAVE;
    break;
  case zcFast:
    strength = TCompressStrength::FAST;
    break;
  case zcNormal:
    strength = TCompressStrength::NORMAL;
    break;
  case zcHigh:
    strength = TCompressStrength::MAXIMUM;
    break;
  case zcMaximum:
    strength = TCompressStrength::ULTRA;
    break;
  }
  Debug(QStringLiteral("GetSevenZipCompression"), QStringLiteral("Result: %1").arg(static_cast<int>(strength)));
  return strength;
}

bool TBackup::CheckVolumeSize(const QStringList& AFiles)
{
  if (FVolumeSize == 0)
    return true;
  if (FVolumeSize < MinVolumeSize) {
    Log(QStringLiteral("Volume size %1 is not valid: it must be 0 (one file) or at least %2 bytes.")
            .arg(FVolumeSize)
            .arg(MinVolumeSize),
        1);
    return false;
  }
  // The files' sizes bound the archive's closely enough: stored data barely grows.
  qint64 total = 0;
  for (const QString& path : AFiles) {
    struct stat st = {};
    if (::stat(EncodeFileName(path).constData(), &st) == 0 && S_ISREG(st.st_mode))
      total += st.st_size;
  }
  if (total / FVolumeSize >= MaxVolumeCount) {
    Log(QStringLiteral("Volume size %1 would split %2 bytes into more than %3 files; choose a larger volume size.")
            .arg(FVolumeSize)
            .arg(total)
            .arg(MaxVolumeCount),
        1);
    return false;
  }
  return true;
}

void TBackup::Backup7z(QStringList& AZipFileList, TBackupResult& AResult)
{
  if (!LoadSevenZip()) {
    Log(FSevenZipLoadError, 2);
    return;
  }
  if (!GenerateFileList()) {
    if (!FSearchFailed)
      Log(QStringLiteral("File list is empty, backup cannot continue."), 1);
    return;
  }
  if (FSystemState)
    AddSystemState(FSevenZip->Files());
  if (!CheckVolumeSize(FSevenZip->Files()))
    return;

  Log(QStringLiteral("Backup in progress, Please wait..."), 0);

  FSevenZip->SetLZMACompressStrength(GetSevenZipCompression());
  Debug(QStringLiteral("Backup"), QString(QStringLiteral("SZFileName: ") + FZipFileName));
  FSevenZip->SetSZFileName(FZipFileName);
  Debug(QStringLiteral("Backup"), QStringLiteral("Volumesize: %1").arg(FVolumeSize));
  FSevenZip->SetVolumeSize(static_cast<std::uint32_t>(FVolumeSize));
  FSevenZip->SetSevenZipComment(FZipDescription);
  FSevenZip->SetPassword(FZipPassword);
  // Set for this run alone: the same writer serves every profile, and a password of spaces
  // encrypts the data but leaves the names readable.
  AddOpts options = FSevenZip->AddOptions();
  options.setFlag(AddOptsEnum::AddEncryptFilename, !TrimText(FZipPassword).isEmpty());
  FSevenZip->SetAddOptions(options);

  ItemProgress(QStringLiteral("Starting 7z compression..."), 0);
  FTotalProgressMax = 0;
  FItemProgressMax = 0;
  WriteKeepingPrevious([&] {
    try {
      if (FSevenZip->Add() == 0)
        AResult = brComplete;
    } catch (const ESevenZipAbort&) {
      // The archive file could not be created; the writer's message has said which and why.
    } catch (const ESevenZipError& AError) {
      Log(AError.Message(), 1);
    }
  });

  const QStringList& volumes = FSevenZip->NamesOfVolumesWritten();
  Debug(QStringLiteral("Backup"), QStringLiteral("Zip Volumes: %1 file(s)").arg(volumes.size()));
  for (const QString& name : volumes) {
    Debug(QStringLiteral("Backup"), QString(QStringLiteral("Zip Volumes: ") + name));
    AZipFileList.append(name);
  }
}

bool TBackup::VerifyWritten(const QList<QByteArray>& AFiles, const QStringList& ANames)
{
  // Cancelled while the writer finished: the archive is not kept, so not checked either.
  if (FCancelled)
    return false;
  // The check's progress shows as the item's; the total stays where the writing left it.
  static const QString Verifying = QStringLiteral("Verifying archive...");
  Log(Verifying, 0);
  ItemProgress(Verifying, 0);
  TotalProgress(Verifying, 100);
  if (FZipType == zSeven && !FVerifyLibrary)
    FVerifyLibrary = TSevenZipLibrary::Load(FSevenZipLibraryFiles);
  TArchiveVerifier verifier(FVerifyLibrary);
  verifier.OnProgress = [this, &verifier](const QString& AEntry, int APerCent) {
    ItemProgress(AEntry, APerCent);
    if (FCancelled)
      verifier.Cancel();
  };
  verifier.OnError = [this](const QString& ALine) { Log(QStringLiteral("Verification failed: ") + ALine, 1); };
  FVerifier = &verifier;
  struct TReset
  {
    TArchiveVerifier*& Verifier;
    ~TReset() { Verifier = nullptr; }
  } reset{FVerifier};
  // A handler above may have cancelled before the verifier existed.
  if (FCancelled)
    verifier.Cancel();
  const bool sound = verifier.VerifyFiles(FZipType, AFiles, ANames, FZipPassword);
  if (sound) {
    Log(QStringLiteral("Archive verified: %1 entries read back intact.").arg(verifier.GoodEntries()), 0);
    return true;
  }
  if (!verifier.Cancelled())
    Log(QStringLiteral("The new archive failed verification and was not kept; the previous archive, if any, is "
                       "unchanged."),
        1);
  return false;
}

bool TBackup::BeforeReplace(const QList<QByteArray>& AFiles, const QStringList& ANames)
{
  if (FVerifyArchive && !VerifyWritten(AFiles, ANames))
    return false;
  if (!FRotation)
    return true;
  QString error;
  if (FRotation->Prepare(error))
    return true;
  Log(QStringLiteral("Cannot keep the previous archive, so it was not replaced: ") + error, 1);
  return false;
}

void TBackup::WriteKeepingPrevious(const std::function<void()>& AWrite)
{
  if (FKeepArchives <= 0) {
    AWrite();
    return;
  }
  TArchiveRotation rotation(FZipFileName, FZipType == zSeven && FVolumeSize != 0, FKeepArchives);
  rotation.OnLog = [this](const QString& AMessage, int ACode) { Log(AMessage, ACode); };
  FRotation = &rotation;
  struct TReset
  {
    TArchiveRotation*& Rotation;
    ~TReset() { Rotation = nullptr; }
  } reset{FRotation};
  AWrite();
  // A cancel that came after the archive was replaced keeps the previous one but deletes nothing.
  rotation.Settle(!FCancelled);
}

void TBackup::BackupNTBackup(QStringList& AZipFileList, TBackupResult& AResult)
{
  TNTBackup ntBackup(this, *FFiles, *FExclusions);
  ntBackup.OnLog = OnLog;
  ntBackup.OnBackupFileList = OnBackupFileList;
  ntBackup.OnNTBackupStart = OnNTBackupStart;
  ntBackup.OnNTBackupFinished = OnNTBackupFinished;
  ntBackup.SetZipFileName(FZipFileName);
  ntBackup.SetSystemState(FSystemState);
  if (ntBackup.RunNTBackup(QString(), false, false)) {
    AResult = brComplete;
    AZipFileList.append(FZipFileName);
  } else {
    Log(QStringLiteral("NT Backup failed."), 1);
  }
}

void TBackup::AddSystemState(QStringList& AFileList)
{
  // Linux has no system backup program: the engine collects the state itself, into a file that
  // joins the archive like any other. It lives in the run's private folder, gone when the run ends.
  Log(QStringLiteral("Performing System State Backup, Please wait..."), 0);
  if (!FRunFolder)
    FRunFolder = std::make_unique<TPrivateFolder>(GetTempFolder(), QStringLiteral("corvale-run-"));
  if (!FRunFolder->IsValid()) {
    Log(QStringLiteral("System state could not be collected: cannot create a private folder in \"%1\": %2")
            .arg(GetTempFolder(), qt_error_string(FRunFolder->Error())),
        1);
    return;
  }
  const QString name = FZipFileName.mid(FZipFileName.lastIndexOf(PathDelim) + 1);
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  const QString stateFile =
      FRunFolder->Path() + (dot < 0 ? name : name.left(dot)) + QStringLiteral("-system-state.tar");
  TSystemState state(this);
  state.OnLog = OnLog;
  if (state.Collect(stateFile)) {
    Log(QStringLiteral("System state file: ") + stateFile, 0);
    AFileList.append(stateFile);
  }
}

void TBackup::SplitFile(const QString& AFileName, qint64 AFilesByteSize)
{
  if (AFilesByteSize <= 0)
    throw EBackupException(QStringLiteral("Invalid part size %1 for \"%2\".").arg(AFilesByteSize).arg(AFileName));
  struct stat st = {};
  TFileDescriptor source = OpenForReading(AFileName, st);
  // One part more than whole parts fit: the last one takes the rest, and is empty when none is left.
  const qint64 wholeParts = static_cast<qint64>(st.st_size) / AFilesByteSize;
  QStringList partNames;
  for (qint64 part = 1; part <= wholeParts + 1; ++part) {
    partNames.append(ChangeFileExt(AFileName, QStringLiteral("._%1").arg(part)));
    // A file named like its own part ("a._1") would be replaced while it is read.
    if (IsSameFile(partNames.back(), st))
      throw EBackupException(QStringLiteral("Cannot split \"%1\" into itself.").arg(AFileName));
  }
  for (const QString& partName : std::as_const(partNames)) {
    TReplacement target(partName, st.st_mode & 07777);
    CopyData(source.Fd(), AFileName, target.Fd(), partName, AFilesByteSize);
    target.Commit();
  }
}

void TBackup::MergeFiles(const QString& ASourceFile, const QString& ADestFile)
{
  QStringList partNames;
  for (QString partName = ASourceFile; FileExists(partName);
       partName = ChangeFileExt(ASourceFile, QStringLiteral("._%1").arg(partNames.size() + 1)))
    partNames.append(partName);

  // The parts are checked before anything is written: merging a part into itself would lose it.
  struct stat targetStat = {};
  if (::stat(EncodeFileName(ADestFile).constData(), &targetStat) == 0) {
    for (const QString& partName : std::as_const(partNames))
      if (IsSameFile(partName, targetStat))
        throw EBackupException(QStringLiteral("Cannot merge \"%1\" into itself.").arg(partName));
  }

  struct stat first = {};
  const bool haveFirst = !partNames.isEmpty() && ::stat(EncodeFileName(partNames.front()).constData(), &first) == 0;
  TReplacement target(ADestFile, haveFirst ? first.st_mode & 07777 : 0600);
  for (const QString& partName : std::as_const(partNames)) {
    struct stat st = {};
    TFileDescriptor source = OpenForReading(partName, st);
    CopyData(source.Fd(), partName, target.Fd(), ADestFile, -1);
  }
  target.Commit();
}
