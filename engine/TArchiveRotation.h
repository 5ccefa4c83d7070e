// SPDX-License-Identifier: GPL-3.0-or-later
// Keeps the archive that a successful run replaces, and deletes the oldest kept archives beyond
// the number the profile keeps (TArchiveGenerations names them).
//
// Prepare runs once the new archive is written and checked, just before it takes the old one's
// place: the old files get their kept names as second links (renames where the file system has
// no links), so nothing is copied and the old archive never leaves its name before the new one
// is there. Settle, once the writer has finished, looks at what the archive's name now holds:
// a new file means the run replaced the archive, and the old one stays kept; otherwise every
// name given is taken back and the old archive is exactly as it was.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <vector>

#include <sys/types.h>

class TArchiveRotation
{
public:
  // AArchive and AVolumes as for TArchiveGenerations; AKeep (from 1) archives are kept.
  TArchiveRotation(const QString& AArchive, bool AVolumes, int AKeep);
  // Settles a Prepare that was not settled, without deleting anything.
  ~TArchiveRotation();
  TArchiveRotation(const TArchiveRotation&) = delete;
  TArchiveRotation& operator=(const TArchiveRotation&) = delete;

  // Gives the archive's present files their kept names; true when done or when there is no
  // archive yet, false (with AError) when a name could not be given, and nothing changed.
  [[nodiscard]] bool Prepare(QString& AError);
  // Keeps or takes back what Prepare did, see above; deletes the oldest kept archives beyond the
  // number to keep when APrune and the archive was replaced.
  void Settle(bool APrune);

  // One line per archive kept or deleted (code 0), or per file that could not be (code 1).
  std::function<void(const QString& AMessage, int ACode)> OnLog;

private:
  struct TMove
  {
    QByteArray From;
    QByteArray To;
  };
  bool Replaced() const;
  void TakeBack();
  void Prune();
  void Log(const QString& AMessage, int ACode);

  QString FArchive;
  bool FVolumes;
  int FKeep;
  QString FKeptArchive;
  std::vector<TMove> FMoves;
  // The old first file's identity, to tell it from a new one under its name.
  dev_t FDevice = 0;
  ino_t FInode = 0;
};
