// SPDX-License-Identifier: GPL-3.0-or-later
// The archive's output stream: one file, or volumes of a fixed size named name.001, name.002, ...
//
// Every file is written under a temporary name beside its final one. Only Commit, after the
// library reported success, gives the files their final names (replacing older files of those
// names); Discard, or the last Release without a Commit, deletes them. A failed or cancelled run
// therefore leaves the previous archive as it was.
//
// The library writes in pieces of a few KiB, and single bytes; consecutive pieces are gathered
// and written in blocks of up to BufferCapacity (256 KiB).
#pragma once

#include "engine/SevenZipInterfaces.h"
#include "platform/TFileDescriptor.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <ctime>
#include <memory>
#include <mutex>
#include <vector>

class TSevenZipRun;

class TMyStreamWriter final : public SevenZip::IOutStream
{
public:
  // Creates the first file at once. Gives the stream with one reference, or null with the errno
  // in AError; AArcDate (Unix seconds) becomes the files' modification time.
  static TMyStreamWriter* Create(const QString& AArcName, std::time_t AArcDate, std::uint32_t AVolumeSize,
                                 std::shared_ptr<TSevenZipRun> ARun, int& AError);

  // Name of volume ANumber (from 1): AArcName + "." + the number, at least three digits.
  static QString VolumeName(const QString& AArcName, std::uint64_t ANumber);

  SevenZip::HRESULT QueryInterface(const SevenZip::GUID& AIid, void** AObject) override;
  SevenZip::ULONG AddRef() override;
  SevenZip::ULONG Release() override;

  SevenZip::HRESULT Write(const void* AData, SevenZip::UInt32 ASize, SevenZip::UInt32* AProcessedSize) override;
  SevenZip::HRESULT Seek(SevenZip::Int64 AOffset, SevenZip::UInt32 AOrigin, SevenZip::UInt64* ANewPosition) override;
  SevenZip::HRESULT SetSize(SevenZip::UInt64 ANewSize) override;

  // Writes out what is gathered, once the library has finished writing; false when that failed
  // (the error is told as a failed write is).
  [[nodiscard]] bool WriteGathered();
  // Sets the files' times, flushes them to disk, closes them and moves them to their final
  // names, then removes the volumes of an earlier, longer set, which would otherwise read as part
  // of this one. On failure every file of the previous archive is back in place, the new files
  // are deleted, and the errno and the file are told.
  [[nodiscard]] bool Commit(int& AError, QString& AFileName);
  // Closes and deletes the temporary files.
  void Discard();

  // The final names of the files, in order.
  QStringList VolumeNames() const;
  // Where the files are until Commit, in order.
  QList<QByteArray> TemporaryPaths() const;
  // The errno of the first failed system call, 0 when none failed.
  int MyLastError() const { return FMyLastError.load(); }
  std::uint64_t Size() const { return FArcSize; }

private:
  struct TVolume
  {
    QString Name;
    QByteArray TempPath;
    TFileDescriptor File;
    // The temporary file's identity: a reopened path must still lead to it.
    dev_t Device = 0;
    ino_t Inode = 0;
    std::uint64_t LastUse = 0;
  };

  TMyStreamWriter(const QString& AArcName, std::time_t AArcDate, std::uint32_t AVolumeSize,
                  std::shared_ptr<TSevenZipRun> ARun);
  ~TMyStreamWriter();

  int MakeRoomForHandle();
  int CreateVolume(std::size_t AIndex);
  int Handle(std::size_t AIndex, int& AError);
  int CloseVolume(TVolume& AVolume);
  // Writes ASize bytes at archive position APosition, over as many volumes as they span.
  SevenZip::HRESULT Put(const char* AData, std::size_t ASize, std::uint64_t APosition);
  SevenZip::HRESULT Flush();
  [[nodiscard]] bool WriteAt(std::size_t AVolume, const char* AData, std::size_t ASize, std::uint64_t AOffset,
                             int& AError);
  void Fail(int AError, const QString& AFileName, int ACode);
  [[nodiscard]] int MoveIntoPlace(QString& AFileName);
  void RemoveTemporaryFiles();

  std::atomic<SevenZip::ULONG> FRefCount{1};
  // Writes and seeks may come from different library threads.
  std::mutex FLock;
  QString FArcName;
  std::time_t FArcDate;
  std::uint64_t FArcVolumeSize;
  std::uint64_t FArcPosition = 0;
  std::uint64_t FArcSize = 0;
  static constexpr std::size_t BufferCapacity = 256 * 1024;
  std::unique_ptr<char[]> FBuffer; // FBuffered bytes gathered for archive position FBufferStart
  std::size_t FBuffered = 0;
  std::uint64_t FBufferStart = 0;
  std::vector<TVolume> FVolumes;
  std::uint64_t FUseCounter = 0;
  int FOpenHandles = 0;
  // Permissions of the new files: those of the archive replaced, else private.
  mode_t FMode = 0600;
  bool FFinished = false;
  std::atomic<int> FMyLastError{0};
  std::shared_ptr<TSevenZipRun> FRun;
};
