// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/TArchiveRotation.h"

#include "engine/TArchiveGenerations.h"
#include "platform/FileNames.h"
#include "platform/Posix.h"

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// Gives AFrom the second name ATo: a link where the file system has them, else a rename. 0 or
// the errno.
int GiveName(const QByteArray& AFrom, const QByteArray& ATo)
{
  if (::link(AFrom.constData(), ATo.constData()) == 0)
    return 0;
  if (errno != EPERM && errno != EOPNOTSUPP && errno != EMLINK)
    return errno;
  // rename would replace an existing ATo silently.
  struct stat st = {};
  if (::lstat(ATo.constData(), &st) == 0)
    return EEXIST;
  return ::rename(AFrom.constData(), ATo.constData()) == 0 ? 0 : errno;
}

bool SameFile(const struct stat& A, const struct stat& B)
{
  return A.st_dev == B.st_dev && A.st_ino == B.st_ino;
}

} // namespace

TArchiveRotation::TArchiveRotation(const QString& AArchive, bool AVolumes, int AKeep)
  : FArchive(AArchive)
  , FVolumes(AVolumes)
  , FKeep(AKeep)
{}

TArchiveRotation::~TArchiveRotation()
{
  if (!FMoves.empty() && !Replaced())
    TakeBack();
}

bool TArchiveRotation::Prepare(QString& AError)
{
  // The writers may ask again after a retry; the names given stand.
  if (!FMoves.empty())
    return true;
  const TArchiveGenerations generations(FArchive, FVolumes);
  const TArchiveGeneration newest = generations.Newest();
  if (newest.Files.isEmpty())
    return true;
  struct stat first = {};
  if (::stat(EncodeFileName(newest.Files.front()).constData(), &first) != 0) {
    AError = newest.Files.front() + QStringLiteral(": ") + Posix::ErrorText(errno);
    return false;
  }
  FDevice = first.st_dev;
  FInode = first.st_ino;
  FKeptArchive = generations.KeptName(newest.Time, newest.Files.size());
  // Volumes beyond those the new set writes are replaced too (deleted as stale), so the whole
  // old set is kept.
  for (qsizetype i = 0; i < newest.Files.size(); ++i) {
    const QString to = FVolumes ? TArchiveGenerations::VolumeName(FKeptArchive, static_cast<int>(i + 1)) : FKeptArchive;
    TMove move{EncodeFileName(newest.Files.at(i)), EncodeFileName(to)};
    if (const int error = GiveName(move.From, move.To); error != 0) {
      AError = to + QStringLiteral(": ") + Posix::ErrorText(error);
      TakeBack();
      return false;
    }
    FMoves.push_back(move);
  }
  if (const int error = Posix::SyncFolderOf(EncodeFileName(FArchive)); error != 0) {
    AError = FArchive + QStringLiteral(": ") + Posix::ErrorText(error);
    TakeBack();
    return false;
  }
  return true;
}

bool TArchiveRotation::Replaced() const
{
  if (FMoves.empty())
    return false;
  struct stat now = {};
  if (::lstat(FMoves.front().From.constData(), &now) != 0)
    return false;
  return now.st_dev != FDevice || now.st_ino != FInode;
}

void TArchiveRotation::TakeBack()
{
  for (auto move = FMoves.rbegin(); move != FMoves.rend(); ++move) {
    struct stat from = {};
    struct stat to = {};
    if (::lstat(move->To.constData(), &to) != 0)
      continue;
    if (::lstat(move->From.constData(), &from) != 0) {
      // Renamed, where links are not to be had.
      (void)Posix::Rename(move->To, move->From);
    } else if (SameFile(from, to)) {
      ::unlink(move->To.constData());
    }
    // A new file under the old name: the old one stays under its kept name rather than be lost.
  }
  FMoves.clear();
  (void)Posix::SyncFolderOf(EncodeFileName(FArchive));
}

void TArchiveRotation::Settle(bool APrune)
{
  if (FMoves.empty())
    return;
  if (!Replaced()) {
    TakeBack();
    return;
  }
  FMoves.clear();
  Log(QStringLiteral("Kept the previous archive: ") + FKeptArchive, 0);
  if (APrune)
    Prune();
}

void TArchiveRotation::Prune()
{
  const TArchiveGenerations generations(FArchive, FVolumes);
  const QList<TArchiveGeneration> kept = generations.Kept();
  for (qsizetype i = FKeep; i < kept.size(); ++i) {
    bool deleted = true;
    for (const QString& file : kept.at(i).Files) {
      if (::unlink(EncodeFileName(file).constData()) != 0 && errno != ENOENT) {
        Log(QStringLiteral("Cannot delete the kept archive file %1: %2").arg(file, Posix::ErrorText(errno)), 1);
        deleted = false;
      }
    }
    if (deleted)
      Log(QStringLiteral("Deleted the kept archive: ") + kept.at(i).Archive, 0);
  }
  (void)Posix::SyncFolderOf(EncodeFileName(FArchive));
}

void TArchiveRotation::Log(const QString& AMessage, int ACode)
{
  if (OnLog)
    OnLog(AMessage, ACode);
}
