// SPDX-License-Identifier: GPL-3.0-or-later
// The file a ZIP archive is written to, as a libzip source: libzip writes into a temporary file
// beside the archive, created with the permissions of the archive it replaces (private for a new
// one). libzip's commit writes out what is buffered. Once zip_close has succeeded, the file may
// be flushed (Sync, on any thread) while it is read back by name; Replace flushes it, renames it
// over the archive and flushes the folder, so the archive is on disk before the run reports
// success. A rollback, a failed Replace, or a file never replaced is removed.
// libzip writes in small pieces and goes back to complete each entry's header; the pieces are
// gathered in a buffer, headers still in it are completed there, and the file is written in
// large blocks.
#pragma once

#include "platform/TFileDescriptor.h"

#include <QByteArray>

#include <cstdint>
#include <memory>

#include <sys/types.h>
#include <zip.h>

class TZipArchiveFile
{
public:
  explicit TZipArchiveFile(const QByteArray& ATarget);
  ~TZipArchiveFile();
  TZipArchiveFile(const TZipArchiveFile&) = delete;
  TZipArchiveFile& operator=(const TZipArchiveFile&) = delete;

  // A libzip source that writes through this object, which must outlive it; null on failure.
  zip_source_t* NewSource(zip_error_t* AError);

  // After a successful zip_close: the written file, under its temporary name.
  const QByteArray& TemporaryPath() const { return FTempPath; }
  // After a successful zip_close: flushes the written file to the disk; 0 or the errno.
  [[nodiscard]] int Sync();
  // After a successful zip_close (and a Sync that has returned): the file replaces the archive.
  // 0, or the libzip error code with ASystemError set to the errno behind it, if any.
  [[nodiscard]] int Replace(int& ASystemError);

private:
  static zip_int64_t Callback(void* AState, void* AData, zip_uint64_t ALength, zip_source_cmd_t ACommand);
  zip_int64_t Command(void* AData, zip_uint64_t ALength, zip_source_cmd_t ACommand);
  zip_int64_t Failed(int AZipError, int ASystemError);
  void RemoveTemporary();
  // Writes out the buffer; 0 or the errno.
  int Flush();

  QByteArray FTarget;
  QByteArray FTempPath;
  TFileDescriptor FFile;
  mode_t FMode;
  bool FWritten = false; // libzip committed the file
  zip_error_t FError;
  std::unique_ptr<char[]> FBuffer; // the bytes from FBufferStart on, not yet written
  std::size_t FBufferSize = 0;
  std::uint64_t FBufferStart = 0;
  std::uint64_t FPosition = 0; // where libzip writes next
  std::uint64_t FEnd = 0;      // the file's length as libzip sees it
};
