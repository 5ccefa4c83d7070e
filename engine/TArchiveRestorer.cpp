// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/TArchiveRestorer.h"

#include "platform/FileNames.h"
#include "platform/Posix.h"
#include "platform/TFileDescriptor.h"
#include "sysinfo/Common.h"

#include <QDir>
#include <QRegularExpression>
#include <QSet>

#include <cerrno>
#include <cstdio>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Files stored without permissions get the usual ones for a new file.
constexpr mode_t DefaultFileMode = 0644;

// The process's umask, read without changing it (another thread may be creating files).
mode_t CurrentUmask()
{
  if (FILE* status = std::fopen("/proc/self/status", "re")) {
    char line[256];
    unsigned mask = 0;
    bool found = false;
    while (!found && std::fgets(line, sizeof line, status))
      found = std::sscanf(line, "Umask: %o", &mask) == 1;
    std::fclose(status);
    if (found)
      return static_cast<mode_t>(mask);
  }
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return mask;
}

// The steps of a stored path, or empty when the path must be refused (AReason says why).
QList<QByteArray> SafeSteps(const QString& AName, QString& AReason)
{
  const QByteArray path = EncodeFileName(AName);
  if (path.startsWith('/')) {
    AReason = QStringLiteral("refused: an absolute path would be written outside the target folder");
    return {};
  }
  QList<QByteArray> steps;
  for (const QByteArray& step : path.split('/')) {
    if (step.isEmpty() || step == ".")
      continue;
    if (step == "..") {
      AReason = QStringLiteral("refused: a \"..\" step would lead outside the target folder");
      return {};
    }
    steps << step;
  }
  if (steps.isEmpty())
    AReason = QStringLiteral("refused: the entry has no name");
  return steps;
}

// The folder AStep inside AParent, created when missing (ACreated tells), never through a
// symbolic link.
TFileDescriptor OpenFolder(int AParent, const QByteArray& AStep, bool ACreate, int& AError, bool* ACreated = nullptr)
{
  for (int attempt = 0; attempt < 2; ++attempt) {
    const int fd = ::openat(AParent, AStep.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0)
      return TFileDescriptor(fd);
    AError = errno;
    if (AError != ENOENT || !ACreate || attempt > 0)
      return TFileDescriptor();
    if (::mkdirat(AParent, AStep.constData(), 0777) == 0) {
      if (ACreated)
        *ACreated = true;
    } else if (errno != EEXIST) {
      AError = errno;
      return TFileDescriptor();
    }
  }
  return TFileDescriptor();
}

class TRestoreSink final : public TArchiveSink
{
public:
  TRestoreSink(int ARoot, const QStringList& APatterns, bool AOverwrite, bool AKeepSpecialModes)
    : FRoot(ARoot)
    , FOverwrite(AOverwrite)
    , FKeepSpecialModes(AKeepSpecialModes)
    , FUmask(CurrentUmask())
  {
    for (const QString& pattern : APatterns)
      FPatterns << QRegularExpression(QRegularExpression::wildcardToRegularExpression(pattern));
  }
  ~TRestoreSink() override { Abandon(); }
  TRestoreSink(const TRestoreSink&) = delete;
  TRestoreSink& operator=(const TRestoreSink&) = delete;

  bool Wanted(const TArchiveItem& AItem) override
  {
    if (FPatterns.isEmpty())
      return true;
    const QString baseName = AItem.Name.mid(AItem.Name.lastIndexOf(QLatin1Char('/')) + 1);
    for (const QRegularExpression& pattern : std::as_const(FPatterns)) {
      if (pattern.match(AItem.Name).hasMatch() || pattern.match(baseName).hasMatch())
        return true;
      // A folder selects what is inside it.
      for (qsizetype slash = AItem.Name.indexOf(QLatin1Char('/')); slash > 0;
           slash = AItem.Name.indexOf(QLatin1Char('/'), slash + 1))
        if (pattern.match(AItem.Name.left(slash)).hasMatch())
          return true;
    }
    return false;
  }

  QString Begin(const TArchiveItem& AItem) override
  {
    Abandon();
    QString reason;
    const QList<QByteArray> steps = SafeSteps(AItem.Name, reason);
    if (steps.isEmpty())
      return reason;
    const qsizetype folders = AItem.IsFolder ? steps.size() : steps.size() - 1;
    TFileDescriptor folder;
    int parent = FRoot;
    for (qsizetype i = 0; i < folders; ++i) {
      int error = 0;
      bool created = false;
      folder = OpenFolder(parent, steps[i], true, error, &created);
      if (!folder.IsOpen())
        return FolderFailure(steps, i, error);
      if (created)
        FCreatedFolders.insert(steps.mid(0, i + 1).join('/'));
      parent = folder.Fd();
    }
    // A folder that was there before keeps its own mode and times: the archive's are for the
    // folders this restore makes.
    if (AItem.IsFolder && FCreatedFolders.contains(steps.join('/'))) {
      if (AItem.HasMode)
        (void)::fchmod(parent, RestoredMode(AItem.Mode) | S_IRWXU);
      if (AItem.HasTime)
        FFolderTimes.push_back({steps, AItem.Seconds, AItem.Nanoseconds});
    }
    if (AItem.IsFolder) {
      FItem = AItem;
      return QString();
    }
    // A private temporary file beside the final one; it takes the final name in End.
    for (int attempt = 0;; ++attempt) {
      FTemp = '.' + steps.back().left(200) + '.' + RandomString(6).toLatin1() + ".tmp";
      const int fd = ::openat(parent, FTemp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
      if (fd >= 0) {
        FFile = TFileDescriptor(fd);
        break;
      }
      if (errno != EEXIST || attempt >= 5) {
        const int error = errno;
        FTemp.clear();
        return Posix::ErrorText(error);
      }
    }
    FFolder = folder.IsOpen() ? std::move(folder) : TFileDescriptor(::fcntl(FRoot, F_DUPFD_CLOEXEC, 0));
    FLeaf = steps.back();
    FItem = AItem;
    return QString();
  }

  QString Write(const char* AData, std::size_t ASize) override
  {
    if (!FFile.IsOpen())
      return QString();
    const int error = Posix::WriteAll(FFile.Fd(), AData, ASize);
    return error == 0 ? QString() : Posix::ErrorText(error);
  }

  QString End(bool AIntact) override
  {
    if (FItem.IsFolder || !FFile.IsOpen())
      return QString();
    if (!AIntact) {
      Abandon();
      return QString();
    }
    int error = 0;
    if (::fchmod(FFile.Fd(), RestoredMode(FItem.HasMode ? FItem.Mode : DefaultFileMode)) != 0)
      error = errno;
    const timespec times[2] = {{0, UTIME_OMIT},
                               FItem.HasTime ? timespec{static_cast<time_t>(FItem.Seconds), FItem.Nanoseconds}
                                             : timespec{0, UTIME_OMIT}};
    if (error == 0 && ::futimens(FFile.Fd(), times) != 0)
      error = errno;
    if (const int closed = FFile.Close(); error == 0)
      error = closed;
    if (error == 0) {
      const int renamed =
          FOverwrite ? ::renameat(FFolder.Fd(), FTemp.constData(), FFolder.Fd(), FLeaf.constData())
                     : ::renameat2(FFolder.Fd(), FTemp.constData(), FFolder.Fd(), FLeaf.constData(), RENAME_NOREPLACE);
      if (renamed != 0)
        error = errno;
      // File systems without RENAME_NOREPLACE: a hard link refuses an existing name too.
      if (error == EINVAL && !FOverwrite) {
        error = ::linkat(FFolder.Fd(), FTemp.constData(), FFolder.Fd(), FLeaf.constData(), 0) == 0 ? 0 : errno;
        if (error == 0)
          ::unlinkat(FFolder.Fd(), FTemp.constData(), 0);
      }
      if (error == 0)
        FTemp.clear();
    }
    Abandon();
    if (error == EEXIST)
      return QStringLiteral("not restored: a file of that name exists and overwriting was not asked for");
    return error == 0 ? QString() : Posix::ErrorText(error);
  }

  // Folders get their stored times last, since restoring their files changed them.
  void SetFolderTimes()
  {
    for (auto it = FFolderTimes.rbegin(); it != FFolderTimes.rend(); ++it) {
      TFileDescriptor folder;
      int parent = FRoot;
      bool reached = true;
      for (qsizetype i = 0; i + 1 < it->Steps.size() && reached; ++i) {
        int error = 0;
        folder = OpenFolder(parent, it->Steps[i], false, error);
        reached = folder.IsOpen();
        parent = folder.Fd();
      }
      const timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(it->Seconds), it->Nanoseconds}};
      if (reached)
        (void)::utimensat(parent, it->Steps.back().constData(), times, AT_SYMLINK_NOFOLLOW);
    }
  }

private:
  struct TFolderTime
  {
    QList<QByteArray> Steps;
    qint64 Seconds;
    long Nanoseconds;
  };

  // Setuid, setgid and sticky bits and what the umask forbids are dropped: an archive may come
  // from someone else, and its modes must not hand the restoring user's rights to others.
  mode_t RestoredMode(mode_t AMode) const
  {
    if (FKeepSpecialModes)
      return AMode & 07777;
    return AMode & 0777 & ~FUmask;
  }

  QString FolderFailure(const QList<QByteArray>& ASteps, qsizetype AStep, int AError)
  {
    const QString folder = DecodeFileName(ASteps.mid(0, AStep + 1).join('/'));
    if (AError == ELOOP || AError == ENOTDIR)
      return QStringLiteral("refused: \"%1\" in the target folder is a symbolic link or not a folder").arg(folder);
    return QStringLiteral("\"%1\": %2").arg(folder, Posix::ErrorText(AError));
  }

  void Abandon()
  {
    if (FFile.IsOpen())
      (void)FFile.Close();
    if (!FTemp.isEmpty() && FFolder.IsOpen())
      ::unlinkat(FFolder.Fd(), FTemp.constData(), 0);
    FTemp.clear();
    FFolder = TFileDescriptor();
    FItem = TArchiveItem();
  }

  int FRoot;
  bool FOverwrite;
  bool FKeepSpecialModes;
  mode_t FUmask;
  QSet<QByteArray> FCreatedFolders;
  QList<QRegularExpression> FPatterns;
  std::vector<TFolderTime> FFolderTimes;
  TArchiveItem FItem;
  TFileDescriptor FFolder;
  TFileDescriptor FFile;
  QByteArray FLeaf;
  QByteArray FTemp;
};

} // namespace

TArchiveRestorer::TArchiveRestorer(std::shared_ptr<const TSevenZipLibrary> ALibrary)
  : FReader(std::move(ALibrary))
{
  FReader.OnProgress = [this](const QString& AEntry, int APerCent) {
    if (OnProgress)
      OnProgress(AEntry, APerCent);
  };
  FReader.OnError = [this](const QString& ALine) {
    if (OnError)
      OnError(ALine);
  };
}

void TArchiveRestorer::Report(const QString& ALine)
{
  FErrors << ALine;
  if (OnError)
    OnError(ALine);
}

bool TArchiveRestorer::Restore(TZipType AType, const QString& AArchive, bool AVolumes, const QString& APassword,
                               const QString& ATarget, const QStringList& APatterns, bool AOverwrite)
{
  FErrors.clear();
  QStringList names;
  QString error;
  if (!TArchiveReader::FindArchiveFiles(AArchive, AVolumes && AType == zSeven, names, error)) {
    Report(error);
    return false;
  }
  const QByteArray target = EncodeFileName(ATarget);
  if (::mkdir(target.constData(), 0777) != 0 && errno != EEXIST) {
    Report(ATarget + QStringLiteral(": ") + Posix::ErrorText(errno));
    return false;
  }
  int openError = 0;
  const TFileDescriptor root = TFileDescriptor::Open(target, O_RDONLY | O_DIRECTORY, 0, openError);
  if (!root.IsOpen()) {
    Report(ATarget + QStringLiteral(": ") + Posix::ErrorText(openError));
    return false;
  }
  QList<QByteArray> files;
  for (const QString& name : std::as_const(names))
    files << EncodeFileName(name);
  TRestoreSink sink(root.Fd(), APatterns, AOverwrite, FKeepSpecialModes && ::geteuid() == 0);
  const bool restored = FReader.Read(AType, files, names, APassword, &sink);
  sink.SetFolderTimes();
  FErrors << FReader.Errors();
  return restored;
}
