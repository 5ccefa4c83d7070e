// SPDX-License-Identifier: GPL-3.0-or-later
// Checks an archive by reading all of it back (every volume, every entry) through the library
// that wrote it, without writing anything.
#pragma once

#include "engine/TArchiveReader.h"

class TArchiveVerifier
{
public:
  // ALibrary may be null; 7z archives then fail with the reason.
  explicit TArchiveVerifier(std::shared_ptr<const TSevenZipLibrary> ALibrary);

  // The archive a profile writes: AArchive itself, or its volumes AArchive.001... (AVolumes).
  // False when it is missing, a volume is missing, or an entry is damaged; Errors then says which.
  [[nodiscard]] bool VerifyArchive(TZipType AType, const QString& AArchive, bool AVolumes, const QString& APassword);
  // Archive files found under other names (a new archive before it replaces the old one), reported
  // by the names ANames.
  [[nodiscard]] bool VerifyFiles(TZipType AType, const QList<QByteArray>& AFiles, const QStringList& ANames,
                                 const QString& APassword);

  // Any thread.
  void Cancel() { FReader.Cancel(); }
  bool Cancelled() const { return FReader.Cancelled(); }
  const QStringList& Errors() const { return FErrors; }
  // Entries found sound by the last check.
  int GoodEntries() const { return FReader.GoodEntries(); }

  std::function<void(const QString& AEntry, int APerCent)> OnProgress;
  std::function<void(const QString& ALine)> OnError;

private:
  TArchiveReader FReader;
  QStringList FErrors;
};
