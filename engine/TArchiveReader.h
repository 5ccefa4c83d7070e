// SPDX-License-Identifier: GPL-3.0-or-later
// Reads a ZIP or 7z archive back whole through the libraries that wrote it: libzip reads every
// entry to its end (which checks each CRC and, with a password, each AES authentication code);
// 7-Zip's library extracts or tests every item. Each entry's data goes to a sink, or nowhere when
// the archive is only checked.
//
// Read is one synchronous call. The libraries work on a thread of their own; the calling thread
// waits, raising OnProgress every 20 ms (with the same values when nothing moved) and OnError
// from there, so a window stays responsive when a handler processes events. Cancel may be called from those handlers.
#pragma once

#include "types/SharedTypes.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>

#include <sys/types.h>

class TSevenZipLibrary;

// One entry as stored.
struct TArchiveItem
{
  // The stored path, with bytes that are not UTF-8 as lone surrogates (platform/FileNames.h).
  QString Name;
  bool IsFolder = false;
  quint64 Size = 0;
  bool HasTime = false;
  qint64 Seconds = 0;
  long Nanoseconds = 0;
  bool HasMode = false;
  mode_t Mode = 0; // permission bits
};

// Receives the entries being read. Called on the reading thread, one call at a time. Texts
// returned are empty for success, else the reason the entry cannot be written.
class TArchiveSink
{
public:
  virtual ~TArchiveSink() = default;
  // Entries not wanted are neither read nor checked.
  virtual bool Wanted(const TArchiveItem& AItem) = 0;
  virtual QString Begin(const TArchiveItem& AItem) = 0;
  virtual QString Write(const char* AData, std::size_t ASize) = 0;
  // AIntact: the library read the entry whole and found it sound; only then is it kept.
  virtual QString End(bool AIntact) = 0;
};

class TArchiveReader
{
public:
  // ALibrary may be null; 7z archives then fail with the reason.
  explicit TArchiveReader(std::shared_ptr<const TSevenZipLibrary> ALibrary);
  ~TArchiveReader();
  TArchiveReader(const TArchiveReader&) = delete;
  TArchiveReader& operator=(const TArchiveReader&) = delete;

  // The files that hold the archive AArchive: the file itself, or (AVolumes) its volumes
  // AArchive.001, .002, ... False, with the reason, when the archive or one of its volumes is
  // missing.
  [[nodiscard]] static bool FindArchiveFiles(const QString& AArchive, bool AVolumes, QStringList& AFiles,
                                             QString& AError);

  // Reads the archive held by AFiles (in order) with APassword, handing the entries to ASink (null:
  // only checked). ANames are the names the files are reported by (the final names of files
  // still under temporary ones). True when every wanted entry was read whole and sound and the
  // sink took it.
  [[nodiscard]] bool Read(TZipType AType, const QList<QByteArray>& AFiles, const QStringList& ANames,
                          const QString& APassword, TArchiveSink* ASink);
  // Any thread.
  void Cancel();
  bool Cancelled() const { return FCancel.load(); }

  // "entry: reason", one line per failure of the last Read.
  const QStringList& Errors() const { return FErrors; }
  // Entries of the last Read found sound (and taken by the sink).
  int GoodEntries() const { return FGoodEntries; }

  // The entry being read (empty while the archive's directory is read) and the share of the
  // bytes done.
  std::function<void(const QString& AEntry, int APerCent)> OnProgress;
  // A failure, as it is found.
  std::function<void(const QString& ALine)> OnError;

  struct TState;

private:
  std::shared_ptr<const TSevenZipLibrary> FLibrary;
  std::atomic<bool> FCancel{false};
  QStringList FErrors;
  int FGoodEntries = 0;
};
