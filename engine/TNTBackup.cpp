// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/TNTBackup.h"

#include "engine/TBackup.h"
#include "engine/TBackupFiles.h"
#include "engine/TPrivateFolder.h"
#include "platform/FileNames.h"
#include "platform/FileSystem.h"
#include "platform/Shell.h"
#include "sysinfo/Common.h"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace {

// The selection line of an entry: the named file when the mask names one, else the whole folder.
QString SelectionLine(const TBackupFile& AEntry)
{
  const QString folder = IncludeTrailingPathDelimiter(AEntry.Folder());
  const QString file = folder + AEntry.FileMask();
  return FileExists(file) ? file : folder;
}

[[noreturn]] void RaiseFileError(const QString& AFormat, const QString& AFileName, int AErrno)
{
  throw EBackupException(AFormat.arg(AFileName, qt_error_string(AErrno)));
}

} // namespace

TNTBackup::TNTBackup(QObject* ASender, const TBackupFiles& AFiles, const TBackupFiles& AExclusions)
  : FSender(ASender)
  , FFiles(AFiles)
  , FExclusions(AExclusions)
{}

void TNTBackup::Log(const QString& AMessage, int AErrorCode)
{
  if (OnLog)
    OnLog(FSender, AMessage, AErrorCode);
}

QString TNTBackup::BaseName() const
{
  const QString name = FZipFileName.mid(FZipFileName.lastIndexOf(PathDelim) + 1);
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  return dot < 0 ? name : name.left(dot);
}

bool TNTBackup::RunNTBackup(const QString& ABkfFile, bool ASystemStateOnly, bool AHidden)
{
  if (OnNTBackupStart)
    OnNTBackupStart(FSender);
  struct TFinished
  {
    TNTBackup* Self;
    ~TFinished()
    {
      if (Self->OnNTBackupFinished)
        Self->OnNTBackupFinished(Self->FSender);
    }
  } finished{this};

  const QString temp = GetTempFolder();
  if (ASystemStateOnly) {
    const QString target = ABkfFile.isEmpty() ? temp + BaseName() + QStringLiteral(".bkf") : ABkfFile;
    const QStringList arguments{QStringLiteral("ntbackup"),
                                QStringLiteral("backup"),
                                QStringLiteral("systemstate"),
                                QStringLiteral("/j"),
                                QStringLiteral("System State"),
                                QStringLiteral("/f"),
                                target};
    Log(QStringLiteral("Starting NT Backup ntbackup backup systemstate /j \"System State\" /f \"") + target +
            QLatin1Char('"'),
        0);
    return Execute(arguments, AHidden);
  }
  // The selection file lives in a private folder of this run, never under a fixed name in the
  // shared temporary folder; the folder goes when the program has ended.
  const TPrivateFolder folder(temp, QStringLiteral("corvale-ntbackup-"));
  if (!folder.IsValid())
    RaiseFileError(QStringLiteral("Cannot create a private folder in \"%1\". %2"), temp, folder.Error());
  const QString bksFile = folder.Path() + BaseName() + QStringLiteral(".bks");
  const QString target = ABkfFile.isEmpty() ? FZipFileName : ABkfFile;
  // An argument list: a name with quotes in it stays one argument.
  const QStringList arguments{QStringLiteral("ntbackup"),
                              QStringLiteral("backup"),
                              QLatin1Char('@') + bksFile,
                              QStringLiteral("/j"),
                              BaseName(),
                              QStringLiteral("/f"),
                              target};
  if (!GenerateBKSFile(bksFile))
    return false;
  Log(QStringLiteral("Starting NT Backup ntbackup backup \"@") + bksFile + QStringLiteral("\" /j \"") + BaseName() +
          QStringLiteral("\"  /f \"") + target + QLatin1Char('"'),
      0);
  return Execute(arguments, AHidden);
}

bool TNTBackup::Execute(const QStringList& AArguments, bool)
{
  // Without output files: the program writes where this process does.
  const TExecuteResult result = ExecuteToFiles(AArguments, QString(), QString());
  if (!result.Started) {
    Log(QStringLiteral("NT Backup could not be started: %1").arg(result.Error), 1);
    return false;
  }
  // The program's own verdict counts: a job that failed must not pass as a backup.
  if (result.ExitStatus != 0) {
    Log(result.ExitStatus < 0 ? QStringLiteral("NT Backup ended abnormally: %1").arg(result.Error)
                              : QStringLiteral("NT Backup exited with status %1.").arg(result.ExitStatus),
        1);
    return false;
  }
  return true;
}

bool TNTBackup::GenerateBKSFile(const QString& ABksFile)
{
  const QByteArray path = EncodeFileName(ABksFile);
  // A file (or link) of that name goes; unlink never follows a link.
  (void)::unlink(path.constData());
  Log(QStringLiteral("Generating BKS file list (%1)").arg(ABksFile), 0);
  // Created before the list is gathered, so that a folder that cannot take it fails first.
  struct TFile
  {
    int Fd;
    ~TFile()
    {
      if (Fd >= 0)
        ::close(Fd);
    }
  } file{::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600)};
  if (file.Fd < 0)
    RaiseFileError(QStringLiteral("Cannot create file \"%1\". %2"), ABksFile, errno);

  QStringList lines;
  for (int i = 0; i < FFiles.Count(); ++i)
    lines << SelectionLine(*FFiles.GetItem(i));
  // An excluded path carries the selection format's exclusion switch; as a plain line it would
  // be backed up.
  for (int i = 0; i < FExclusions.Count(); ++i)
    lines << SelectionLine(*FExclusions.GetItem(i)) + QStringLiteral(" /Exclude");
  QStringList extra;
  if (OnBackupFileList)
    OnBackupFileList(FSender, extra);
  lines << extra;
  if (FSystemState) {
    Log(QStringLiteral("Backing up system state."), 0);
    lines << QStringLiteral("SystemState");
  }
  QString text;
  for (const QString& line : std::as_const(lines))
    text += line + QStringLiteral("\r\n");
  Log(QStringLiteral("BKS File list: ") + text, 0);
  Log(QStringLiteral("BKS file %1").arg(ABksFile), 0);

  QByteArray bytes;
  bytes.reserve(text.size() * 2);
  for (const QChar c : std::as_const(text)) {
    bytes += char(c.unicode() & 0xFF);
    bytes += char(c.unicode() >> 8);
  }
  for (qsizetype written = 0; written < bytes.size();) {
    const ssize_t count = ::write(file.Fd, bytes.constData() + written, static_cast<size_t>(bytes.size() - written));
    if (count < 0 && errno == EINTR)
      continue;
    if (count < 0)
      RaiseFileError(QStringLiteral("Cannot write file \"%1\". %2"), ABksFile, errno);
    written += count;
  }
  const int fd = file.Fd;
  file.Fd = -1;
  if (::close(fd) != 0)
    RaiseFileError(QStringLiteral("Cannot write file \"%1\". %2"), ABksFile, errno);
  return FileExists(ABksFile);
}
