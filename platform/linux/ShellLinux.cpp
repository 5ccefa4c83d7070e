// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FileNames.h"
#include "platform/FileSystem.h"
#include "platform/Shell.h"

#include <QProcess>
#include <QUrl>

#include <cerrno>
#include <csignal>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

QStringList SplitCommandLine(const QString& ACommandLine)
{
  // The rules of CommandLineToArgvW: 2n backslashes before a quote give n backslashes and a
  // quote that toggles quoting; 2n+1 give n backslashes and a literal quote; other backslashes
  // are literal; "" inside quotes is a literal quote.
  QStringList result;
  QString current;
  bool inQuotes = false;
  bool haveArgument = false;
  const qsizetype length = ACommandLine.size();
  for (qsizetype i = 0; i < length; ++i) {
    const QChar c = ACommandLine.at(i);
    if (c == QLatin1Char('\\')) {
      qsizetype backslashes = 0;
      while (i < length && ACommandLine.at(i) == QLatin1Char('\\')) {
        ++backslashes;
        ++i;
      }
      if (i < length && ACommandLine.at(i) == QLatin1Char('"')) {
        current += QString(backslashes / 2, QLatin1Char('\\'));
        if (backslashes % 2 == 1) {
          current += QLatin1Char('"');
        } else {
          inQuotes = !inQuotes;
        }
        haveArgument = true;
      } else {
        current += QString(backslashes, QLatin1Char('\\'));
        --i;
        haveArgument = true;
      }
    } else if (c == QLatin1Char('"')) {
      if (inQuotes && i + 1 < length && ACommandLine.at(i + 1) == QLatin1Char('"')) {
        current += QLatin1Char('"');
        ++i;
      } else {
        inQuotes = !inQuotes;
      }
      haveArgument = true;
    } else if (!inQuotes && (c == QLatin1Char(' ') || c == QLatin1Char('\t'))) {
      if (haveArgument) {
        result << current;
        current.clear();
        haveArgument = false;
      }
    } else {
      current += c;
      haveArgument = true;
    }
  }
  if (haveArgument)
    result << current;
  return result;
}

int ShellOpen(const QString& AFile, const QString& AParameters, const QString& ADirectory)
{
  if (AFile.isEmpty())
    return srFileNotFound;
  const bool isLink = AFile.contains(QStringLiteral("://")) || AFile.startsWith(QStringLiteral("mailto:"));
  if (!isLink && !FileExists(AFile) && !DirectoryExists(AFile))
    return srFileNotFound;

  QString program;
  QStringList arguments;
  if (!isLink && FileExists(AFile) && ::access(EncodeFileName(AFile).constData(), X_OK) == 0) {
    program = AFile;
    arguments = SplitCommandLine(AParameters);
  } else {
    program = QStringLiteral("xdg-open");
    arguments << AFile;
  }
  const QString directory = DirectoryExists(ADirectory) ? ADirectory : QString();
  return QProcess::startDetached(program, arguments, directory) ? srSuccess : srNoAssociation;
}

bool OpenAddress(const QString& AAddress)
{
  const QString& address = AAddress;
  const qsizetype colon = address.indexOf(QLatin1Char(':'));
  const QString scheme = address.left(colon);
  if (colon <= 0 ||
      (scheme != QLatin1String("http") && scheme != QLatin1String("https") && scheme != QLatin1String("mailto")))
    return false;
  // A web address needs a host; control characters never belong in one.
  if (scheme != QLatin1String("mailto") && !address.mid(colon).startsWith(QLatin1String("://")))
    return false;
  for (const QChar c : address)
    if (c.unicode() < 0x20 || c.unicode() == 0x7F)
      return false;
  return QProcess::startDetached(QStringLiteral("xdg-open"), {address});
}

namespace {

// Starts AArguments (the program looked up through PATH) and waits for it. Standard input reads
// /dev/null; standard output and error go to the files given, or stay the caller's.
TExecuteResult SpawnAndWait(const QStringList& AArguments, const QString& AOutputFile, const QString& AErrorFile)
{
  TExecuteResult result;
  if (AArguments.isEmpty()) {
    result.Error = QStringLiteral("Empty command line.");
    return result;
  }
  std::vector<QByteArray> bytes;
  bytes.reserve(static_cast<std::size_t>(AArguments.size()));
  for (const QString& argument : AArguments)
    bytes.push_back(EncodeFileName(argument));
  std::vector<char*> argv;
  for (QByteArray& argument : bytes)
    argv.push_back(argument.data());
  argv.push_back(nullptr);
  const QByteArray output = EncodeFileName(AOutputFile);
  const QByteArray error = EncodeFileName(AErrorFile);

  posix_spawn_file_actions_t actions;
  if (::posix_spawn_file_actions_init(&actions) != 0) {
    result.Error = qt_error_string(errno);
    return result;
  }
  const int redirect = O_WRONLY | O_CREAT | O_TRUNC;
  int failed = ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  if (failed == 0 && !AOutputFile.isEmpty())
    failed = ::posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.constData(), redirect, 0600);
  if (failed == 0 && !AErrorFile.isEmpty())
    failed = ::posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, error.constData(), redirect, 0600);
  // Nothing of the program's own open files reaches the child.
  if (failed == 0)
    failed = ::posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
  pid_t pid = 0;
  if (failed == 0)
    failed = ::posix_spawnp(&pid, argv.front(), &actions, nullptr, argv.data(), environ);
  ::posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) {
    result.Error = qt_error_string(failed);
    return result;
  }
  result.Started = true;

  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) {
      result.Error = qt_error_string(errno);
      return result;
    }
  }
  if (WIFEXITED(status))
    result.ExitStatus = WEXITSTATUS(status);
  else if (WIFSIGNALED(status))
    result.Error = QStringLiteral("Ended by signal %1.").arg(WTERMSIG(status));
  return result;
}

} // namespace

TExecuteResult ExecuteAndWait(const QString& ACommandLine, bool AHidden)
{
  Q_UNUSED(AHidden);
  return SpawnAndWait(SplitCommandLine(ACommandLine), QString(), QString());
}

TExecuteResult ExecuteToFiles(const QStringList& AArguments, const QString& AOutputFile, const QString& AErrorFile)
{
  return SpawnAndWait(AArguments, AOutputFile, AErrorFile);
}

int StartProgram(const QString& AProgram, const QStringList& AArguments, const QString& ADirectory)
{
  std::vector<QByteArray> arguments;
  arguments.push_back(EncodeFileName(AProgram));
  for (const QString& argument : AArguments)
    arguments.push_back(EncodeFileName(argument));
  std::vector<char*> argv;
  for (QByteArray& argument : arguments)
    argv.push_back(argument.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const QByteArray directory = EncodeFileName(ADirectory);
  if (!ADirectory.isEmpty() && DirectoryExists(ADirectory))
    posix_spawn_file_actions_addchdir_np(&actions, directory.constData());
  // None of this program's open files reaches the child.
  posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
  // The child starts with no signal blocked and default handlers, whatever this process set.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t mask;
  sigemptyset(&mask);
  posix_spawnattr_setsigmask(&attributes, &mask);
  sigfillset(&mask);
  posix_spawnattr_setsigdefault(&attributes, &mask);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  pid_t pid = 0;
  const int result = posix_spawn(&pid, argv.front(), &actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (result != 0)
    return result == ENOENT ? srFileNotFound : result == EACCES ? srAccessDenied : srNoAssociation;
  // Collects the child's exit status, so it does not linger as a zombie while this process runs.
  std::thread([pid] {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
  return srSuccess;
}
