// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/TSystemState.h"

#include "platform/FileNames.h"
#include "platform/FileSystem.h"
#include "platform/Shell.h"
#include "sysinfo/Common.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstdlib>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The first lines of what a program wrote to its standard error, as one line.
QString ErrorText(const QString& AErrorFile)
{
  QFile file(AErrorFile);
  if (!file.open(QIODevice::ReadOnly))
    return QString();
  return QString::fromLocal8Bit(file.read(1024)).simplified();
}

} // namespace

TSystemState::TSystemState(QObject* ASender)
  : FSender(ASender)
{}

void TSystemState::Log(const QString& AMessage, int AErrorCode)
{
  if (OnLog)
    OnLog(FSender, AMessage, AErrorCode);
}

bool TSystemState::CollectPart(const QString& AFolder, const QString& AFile, const QStringList& AArguments)
{
  const QString output = AFolder + AFile;
  const QString errors = AFolder + QStringLiteral(".errors");
  const TExecuteResult result = ExecuteToFiles(AArguments, output, errors);
  const QString errorText = ErrorText(errors);
  (void)QFile::remove(errors);
  // A user without a crontab has nothing to restore, which is not a failure.
  const bool noCrontab = AArguments.first() == QStringLiteral("crontab") && result.ExitStatus == 1 &&
                         errorText.startsWith(QStringLiteral("no crontab"));
  if (result.Started && (result.ExitStatus == 0 || noCrontab))
    return true;
  (void)QFile::remove(output);
  QString reason = result.Started ? errorText : result.Error;
  if (reason.isEmpty())
    reason = result.ExitStatus >= 0 ? QStringLiteral("exit status %1").arg(result.ExitStatus) : result.Error;
  Log(QStringLiteral("System state: %1 could not be collected (%2): %3")
          .arg(AFile, AArguments.join(QLatin1Char(' ')), reason),
      1);
  return false;
}

bool TSystemState::Collect(const QString& ATarFile)
{
  // The parts are gathered in a private folder, then written into the tar file with /etc.
  QByteArray stagingTemplate = EncodeFileName(GetTempFolder() + QStringLiteral("corvale-state-XXXXXX"));
  if (!::mkdtemp(stagingTemplate.data())) {
    Log(QStringLiteral("System state could not be collected: %1").arg(qt_error_string(errno)), 1);
    return false;
  }
  const QString staging = IncludeTrailingPathDelimiter(DecodeFileName(stagingTemplate));
  struct TCleanUp
  {
    QString Folder;
    ~TCleanUp() { QDir(Folder).removeRecursively(); }
  } cleanUp{staging};

  QStringList parts;
  const struct
  {
    const char* File;
    QStringList Arguments;
  } commands[] = {
      {"dpkg-selections.txt", {QStringLiteral("dpkg"), QStringLiteral("--get-selections")}},
      {"apt-manual-packages.txt", {QStringLiteral("apt-mark"), QStringLiteral("showmanual")}},
      {"systemd-enabled-units.txt",
       {QStringLiteral("systemctl"), QStringLiteral("list-unit-files"), QStringLiteral("--state=enabled"),
        QStringLiteral("--no-legend"), QStringLiteral("--no-pager")}},
      {"crontab.txt", {QStringLiteral("crontab"), QStringLiteral("-l")}},
  };
  for (const auto& command : commands) {
    const QString file = QString::fromLatin1(command.File);
    if (CollectPart(staging, file, command.Arguments))
      parts << file;
  }

  // Created here so that the state, which holds private settings, is readable by the user alone;
  // a name that exists already (a planted file or link) is never written through.
  const QByteArray tarPath = EncodeFileName(ATarFile);
  const int fd = ::open(tarPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0 || ::close(fd) != 0) {
    Log(QStringLiteral("System state could not be collected: cannot create \"%1\": %2")
            .arg(ATarFile, qt_error_string(errno)),
        1);
    return false;
  }

  // tar skips what this user cannot read and names it on its standard error.
  QStringList arguments{QStringLiteral("tar"),
                        QStringLiteral("--create"),
                        QStringLiteral("--format=posix"),
                        QStringLiteral("--ignore-failed-read"),
                        QStringLiteral("--file"),
                        ATarFile,
                        QStringLiteral("--directory"),
                        staging};
  arguments << parts;
  const QString etc = ExcludeTrailingPathDelimiter(FEtcFolder);
  const qsizetype slash = etc.lastIndexOf(PathDelim);
  if (DirectoryExists(etc)) {
    arguments << QStringLiteral("--directory") << (slash > 0 ? etc.left(slash) : QStringLiteral("/"))
              << etc.mid(slash + 1);
  } else {
    Log(QStringLiteral("System state: %1 could not be collected: the folder does not exist").arg(etc), 1);
  }
  const QString errors = staging + QStringLiteral(".tar-errors");
  const TExecuteResult result = ExecuteToFiles(arguments, QString(), errors);
  QFile errorFile(errors);
  if (errorFile.open(QIODevice::ReadOnly)) {
    while (!errorFile.atEnd()) {
      const QString line = QString::fromLocal8Bit(errorFile.readLine()).trimmed();
      if (!line.isEmpty())
        Log(QStringLiteral("System state: ") + line, 1);
    }
  }
  // Status 1 means a file changed while it was read: the rest of the state is sound.
  if (!result.Started || result.ExitStatus < 0 || result.ExitStatus > 1) {
    Log(QStringLiteral("System state could not be collected: tar %1")
            .arg(result.Started ? QStringLiteral("failed with status %1").arg(result.ExitStatus) : result.Error),
        1);
    (void)::unlink(tarPath.constData());
    return false;
  }
  return true;
}
