// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers shared by the engine tests: trees of files named by their bytes, the 7z command, and a
// recorder of everything an engine reports.
#pragma once

#include "engine/TBackup.h"
#include "platform/FileNames.h"

#include <QByteArray>
#include <QDir>
#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace EngineTest {

inline bool WriteBytes(const QByteArray& APath, const QByteArray& AContent = QByteArray())
{
  const int fd = ::open(APath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0)
    return false;
  const bool written = ::write(fd, AContent.constData(), AContent.size()) == AContent.size();
  return ::close(fd) == 0 && written;
}

inline QByteArray ReadBytes(const QByteArray& APath)
{
  QByteArray result;
  const int fd = ::open(APath.constData(), O_RDONLY);
  if (fd < 0)
    return result;
  char buffer[65536];
  for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
    result.append(buffer, n);
  ::close(fd);
  return result;
}

inline bool MakeDir(const QByteArray& APath, mode_t AMode = 0755)
{
  return ::mkdir(APath.constData(), AMode) == 0;
}

// Removes a tree by its bytes (QTemporaryDir cannot remove names that are not UTF-8).
inline void RemoveTree(const QByteArray& APath)
{
  ::nftw(
      APath.constData(),
      [](const char* APathName, const struct stat*, int, struct FTW*) {
        ::chmod(APathName, 0755);
        return ::remove(APathName);
      },
      16, FTW_DEPTH | FTW_PHYS);
}

// Bytes that compress poorly, so that a file of a few MiB takes many progress steps.
inline QByteArray NoiseBytes(qsizetype ASize, quint32 ASeed)
{
  QByteArray result(ASize, Qt::Uninitialized);
  quint32 state = ASeed | 1u;
  for (qsizetype i = 0; i < ASize; ++i) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    result[i] = static_cast<char>(state & 0xFF);
  }
  return result;
}

// Runs AAction as an unprivileged user when the tests run as root, so that file permissions apply;
// its text result comes back through a pipe.
inline QByteArray RunUnprivileged(const std::function<QByteArray()>& AAction)
{
  if (::geteuid() != 0)
    return AAction();
  int pipeFds[2];
  if (::pipe(pipeFds) != 0)
    return "pipe failed";
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipeFds[0]);
    QByteArray result = "setuid failed";
    if (::setgid(65534) == 0 && ::setuid(65534) == 0)
      result = AAction();
    const bool written = ::write(pipeFds[1], result.constData(), result.size()) == result.size();
    ::_exit(written ? 0 : 1);
  }
  ::close(pipeFds[1]);
  QByteArray result;
  char buffer[4096];
  for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
    result.append(buffer, n);
  ::close(pipeFds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  return result;
}

// A temporary folder that also removes names that are not UTF-8.
class TTempTree
{
public:
  TTempTree()
  {
    FDir.setAutoRemove(false);
    FRoot = QFile::encodeName(FDir.path());
  }
  ~TTempTree() { RemoveTree(FRoot); }
  bool IsValid() const { return FDir.isValid(); }
  // The folder as bytes and as the engine sees it, without a trailing separator.
  const QByteArray& Root() const { return FRoot; }
  QString Path() const { return DecodeFileName(FRoot); }
  QByteArray operator()(const QByteArray& ARelative) const { return FRoot + '/' + ARelative; }
  QString Name(const QByteArray& ARelative) const { return DecodeFileName(FRoot + '/' + ARelative); }

private:
  QTemporaryDir FDir;
  QByteArray FRoot;
};

struct T7zResult
{
  int ExitCode = -1;
  QByteArray Output;
};

inline QString SevenZip()
{
  return QStandardPaths::findExecutable(QStringLiteral("7z"));
}

// Runs the real 7z command; arguments are bytes, so that names which are not UTF-8 pass through.
// Nothing is on its standard input, so that a password prompt fails at once.
inline T7zResult Run7z(const QStringList& AArguments)
{
  QProcess process;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
  process.setProcessEnvironment(environment);
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start(SevenZip(), AArguments);
  process.closeWriteChannel();
  if (!process.waitForFinished(120000)) {
    process.kill();
    process.waitForFinished();
    return {};
  }
  return {process.exitCode(), process.readAll()};
}

// The entries of an archive as "7z l -slt" lists them: one map of properties per entry, keyed by
// the raw bytes of the path; the archive's own properties under the empty key.
inline QMap<QByteArray, QMap<QByteArray, QByteArray>> List7z(const QString& AArchive,
                                                             const QString& APassword = QString())
{
  QStringList arguments{QStringLiteral("l"), QStringLiteral("-slt")};
  if (!APassword.isNull())
    arguments << QString(QStringLiteral("-p") + APassword);
  arguments << AArchive;
  const T7zResult result = Run7z(arguments);
  QMap<QByteArray, QMap<QByteArray, QByteArray>> entries;
  const qsizetype body = result.Output.indexOf("\n----------\n");
  const QByteArray head = result.Output.left(body);
  QMap<QByteArray, QByteArray> archive;
  for (const QByteArray& line : head.split('\n')) {
    const qsizetype eq = line.indexOf(" = ");
    if (eq > 0)
      archive.insert(line.left(eq), line.mid(eq + 3));
  }
  entries.insert(QByteArray(), archive);
  if (body < 0)
    return entries;
  const QByteArray listing = result.Output.mid(body + 12);
  for (qsizetype from = 0; from < listing.size();) {
    qsizetype to = listing.indexOf("\n\n", from);
    if (to < 0)
      to = listing.size();
    const QByteArray block = listing.mid(from, to - from);
    from = to + 2;
    QMap<QByteArray, QByteArray> properties;
    for (const QByteArray& line : block.split('\n')) {
      const qsizetype eq = line.indexOf(" = ");
      if (eq > 0)
        properties.insert(line.left(eq), line.mid(eq + 3));
    }
    if (properties.contains("Path"))
      entries.insert(properties.value("Path"), properties);
  }
  return entries;
}

// Everything one engine run reports, in order, as readable lines.
class TRecorder
{
public:
  explicit TRecorder(TBackup& ABackup)
  {
    ABackup.OnLog = [this](QObject* ASender, const QString& AMessage, int ACode) {
      Add(ASender, QStringLiteral("Log %1: %2").arg(ACode).arg(AMessage));
      Logs << AMessage;
    };
    ABackup.OnDebug = [this](QObject* ASender, const QString& AProcedure, const QString& AMessage) {
      Add(ASender, QString(QStringLiteral("Debug ") + AProcedure + QStringLiteral(": ") + AMessage));
      Debugs << QString(AProcedure + QStringLiteral(": ") + AMessage);
    };
    ABackup.OnTotalProgress = [this](QObject* ASender, const QString& AMessage, int AProgress) {
      Add(ASender, QStringLiteral("Total %1: %2").arg(AProgress).arg(AMessage));
      TotalPerCents << AProgress;
    };
    ABackup.OnItemProgress = [this](QObject* ASender, const QString& AMessage, int AProgress) {
      Add(ASender, QStringLiteral("Item %1: %2").arg(AProgress).arg(AMessage));
      ItemPerCents << qMakePair(AMessage, AProgress);
    };
    ABackup.OnFileSearchProgress = [this](QObject* ASender, const QString& AMessage, int AProgress) {
      Add(ASender, QStringLiteral("Search %1: %2").arg(AProgress).arg(AMessage));
    };
    ABackup.OnBackupFileList = [this](QObject* ASender, QStringList& AList) {
      Add(ASender, QStringLiteral("FileList %1").arg(AList.size()));
      IncludeList = AList;
    };
    ABackup.OnBackupFileExclusionList = [this](QObject* ASender, QStringList& AList) {
      Add(ASender, QStringLiteral("ExclusionList %1").arg(AList.size()));
      ExclusionList = AList;
    };
    ABackup.OnBackupFinished = [this](QObject* ASender, TBackupResult AResult) {
      Add(ASender, QStringLiteral("Finished %1").arg(int(AResult)));
    };
    FBackup = &ABackup;
  }

  // Lines that begin with APrefix, without it.
  QStringList Only(const QString& APrefix) const
  {
    QStringList result;
    for (const QString& line : Lines) {
      if (line.startsWith(APrefix))
        result << line.mid(APrefix.size());
    }
    return result;
  }

  QStringList Lines;
  QStringList Logs;
  QStringList Debugs;
  QStringList Senders;
  QList<int> TotalPerCents;
  QList<QPair<QString, int>> ItemPerCents;
  QStringList IncludeList;
  QStringList ExclusionList;

private:
  void Add(QObject* ASender, const QString& ALine)
  {
    Lines << ALine;
    Senders << (ASender == FBackup ? QStringLiteral("backup") : QStringLiteral("collection"));
  }

  TBackup* FBackup = nullptr;
};

} // namespace EngineTest
