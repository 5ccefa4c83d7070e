// SPDX-License-Identifier: GPL-3.0-or-later
// Restores the entries of an archive into a folder: the folder structure, the files' contents,
// permissions (without setuid, setgid and sticky bits, within the umask) and modification times,
// and the names as stored, byte for byte. Folders that already exist keep their mode and times.
//
// Nothing is written outside the target folder: entries with an absolute path or a ".." step
// are refused, and every step of a path is opened without following symbolic links, so a link
// inside the target cannot lead out of it either. An existing file is replaced only when asked
// to; each file is written under a temporary name and takes its own name only once the archive
// confirmed its data, so a damaged entry never leaves a half-written file behind.
#pragma once

#include "engine/TArchiveReader.h"

class TArchiveRestorer
{
public:
  // ALibrary may be null; 7z archives then fail with the reason.
  explicit TArchiveRestorer(std::shared_ptr<const TSevenZipLibrary> ALibrary);

  // Restores the archive AArchive (itself, or its volumes AArchive.001... when AVolumes) into
  // ATarget, which is created when missing. APatterns (wildcards) select entries by their path,
  // their name or a folder they are in; none selects all. True when every selected entry was
  // restored; Errors names each that was not, and why.
  [[nodiscard]] bool Restore(TZipType AType, const QString& AArchive, bool AVolumes, const QString& APassword,
                             const QString& ATarget, const QStringList& APatterns, bool AOverwrite);

  // Restored files and folders drop setuid, setgid and sticky bits and take the umask, unless
  // this is set and the process runs as root.
  void SetKeepSpecialModes(bool AKeep) { FKeepSpecialModes = AKeep; }

  // Any thread.
  void Cancel() { FReader.Cancel(); }
  bool Cancelled() const { return FReader.Cancelled(); }
  const QStringList& Errors() const { return FErrors; }
  // Entries restored by the last Restore.
  int Restored() const { return FReader.GoodEntries(); }

  std::function<void(const QString& AEntry, int APerCent)> OnProgress;
  std::function<void(const QString& ALine)> OnError;

private:
  void Report(const QString& ALine);

  TArchiveReader FReader;
  QStringList FErrors;
  bool FKeepSpecialModes = false;
};
