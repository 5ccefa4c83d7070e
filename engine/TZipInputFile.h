// SPDX-License-Identifier: GPL-3.0-or-later
// A ZIP archive read through libzip from large blocks. libzip seeks to every entry's header and
// data and reads them in small pieces; through this source the system sees one read per block
// instead of a seek and a read for each piece, which is most of the cost of reading back an
// archive of many small files.
#pragma once

#include "platform/TFileDescriptor.h"

#include <QByteArray>

#include <cstdint>
#include <memory>

#include <zip.h>

class TZipInputFile
{
public:
  TZipInputFile();
  ~TZipInputFile();
  TZipInputFile(const TZipInputFile&) = delete;
  TZipInputFile& operator=(const TZipInputFile&) = delete;

  // Opens APath for reading; 0, or the errno.
  [[nodiscard]] int Open(const QByteArray& APath);
  // A libzip source reading through this object, which must outlive it; null on failure.
  zip_source_t* NewSource(zip_error_t* AError);

private:
  static zip_int64_t Callback(void* AState, void* AData, zip_uint64_t ALength, zip_source_cmd_t ACommand);
  zip_int64_t Command(void* AData, zip_uint64_t ALength, zip_source_cmd_t ACommand);
  zip_int64_t Failed(int AZipError, int ASystemError);
  zip_int64_t Read(char* AData, std::uint64_t ALength);

  TFileDescriptor FFile;
  std::uint64_t FSize = 0;
  std::uint64_t FPosition = 0;
  std::unique_ptr<char[]> FBuffer; // the file's bytes from FBufferStart on
  std::uint64_t FBufferStart = 0;
  std::size_t FBufferSize = 0;
  zip_error_t FError{};
};
