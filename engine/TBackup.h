// SPDX-License-Identifier: GPL-3.0-or-later
// The backup engine: turns include and exclusion entries into a list of files and hands it to the
// writer of the chosen archive type, reporting everything through events.
#pragma once

#include "engine/BackupTypes.h"
#include "engine/TBackupFiles.h"
#include "platform/ECorvaleError.h"
#include "platform/TFileDescriptor.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>
#include <stdexcept>
#include <utility>

class TArchiveRotation;
class TArchiveVerifier;
class TPrivateFolder;
class TSevenZip;
class TSevenZipLibrary;
class TZipWriter;
enum class TCompressStrength : int;

class EBackupException : public ECorvaleError
{
public:
  using ECorvaleError::ECorvaleError;
};

class TBackup : public QObject
{
  Q_OBJECT

public:
  explicit TBackup(QObject* AOwner = nullptr);
  // The same, loading the 7z library from the first usable of ASevenZipLibraryFiles.
  TBackup(const QStringList& ASevenZipLibraryFiles, QObject* AOwner);
  ~TBackup() override;

  TBackupFiles* Files() const { return FFiles.get(); }
  TBackupFiles* Exclusions() const { return FExclusions.get(); }

  // Read and written straight through to the ZIP component.
  QString DllDirectory() const;
  void SetDllDirectory(const QString& AValue);
  const QString& ZipFileName() const { return FZipFileName; }
  void SetZipFileName(const QString& AValue) { FZipFileName = AValue; }
  TZipType ZipType() const { return FZipType; }
  void SetZipType(TZipType AValue) { FZipType = AValue; }
  TZipCompression ZipCompression() const { return FZipCompression; }
  void SetZipCompression(TZipCompression AValue) { FZipCompression = AValue; }
  const QString& ZipDescription() const { return FZipDescription; }
  void SetZipDescription(const QString& AValue) { FZipDescription = AValue; }
  const QString& ZipPassword() const { return FZipPassword; }
  void SetZipPassword(const QString& AValue) { FZipPassword = AValue; }
  // Volume size in bytes for 7z archives; 0 writes one file. ZIP archives are never cut. A run
  // refuses, before writing anything, a size below MinVolumeSize (a negative one too) or one
  // that would cut the files to back up into MaxVolumeCount volumes or more.
  static constexpr qint32 MinVolumeSize = 512;
  static constexpr qint64 MaxVolumeCount = 10000;
  qint32 VolumeSize() const { return FVolumeSize; }
  void SetVolumeSize(qint32 AValue) { FVolumeSize = AValue; }
  // Whether a written ZIP or 7z archive is read back whole before it replaces the previous one.
  bool VerifyArchive() const { return FVerifyArchive; }
  void SetVerifyArchive(bool AValue) { FVerifyArchive = AValue; }
  // How many earlier archives a successful ZIP or 7z run keeps beside the new one; 0 replaces
  // the archive.
  int KeepArchives() const { return FKeepArchives; }
  void SetKeepArchives(int AValue) { FKeepArchives = AValue; }
  bool SystemState() const { return FSystemState; }
  void SetSystemState(bool AValue) { FSystemState = AValue; }
  bool Busy() const;
  // Whether the last run was refused because another run, in any process, held the archive.
  bool ArchiveWasBusy() const { return FArchiveWasBusy; }

  // Runs one backup. AZipFileList is cleared and receives the names of the files written.
  // Raises EBackupException when no list is given, before anything else happens.
  TBackupResult Backup(QStringList* AZipFileList);
  // Asks a running backup to stop; it takes effect at the engine's next check.
  void Cancel();

  // Cuts a file into parts of AFilesByteSize bytes named like it with the extensions ._1, ._2 …
  // and joins such parts again. Both raise EBackupException when a file cannot be opened,
  // created, read or written.
  void SplitFile(const QString& AFileName, qint64 AFilesByteSize);
  void MergeFiles(const QString& ASourceFile, const QString& ADestFile);

  TOnBackupLog OnLog;
  TOnDebug OnDebug;
  TOnProgress OnTotalProgress;
  TOnProgress OnItemProgress;
  TOnProgress OnFileSearchProgress;
  TOnBackupFileList OnBackupFileList;
  TOnBackupFileExclusionList OnBackupFileExclusionList;
  TNotifyEvent OnNTBackupStart;
  TNotifyEvent OnNTBackupFinished;
  TOnBackupFinished OnBackupFinished;

private:
  void WireCollections();
  void InternalOnSearchProgress(QObject* ASender, const QString& AMessage, int AProgress, bool& ACancel);
  [[nodiscard]] bool GenerateFileList();
  [[nodiscard]] bool CheckVolumeSize(const QStringList& AFiles);
  // Takes the lock of the archive's runs; false when another run (any process) holds it.
  [[nodiscard]] bool LockArchive(TFileDescriptor& ALock);
  void RemoveLeftovers();
  void LogZipLibrary();
  int GetZipCompression();
  [[nodiscard]] bool LoadSevenZip();
  void WireSevenZip();
  TCompressStrength GetSevenZipCompression();
  void BackupZip(QStringList& AZipFileList, TBackupResult& AResult);
  void Backup7z(QStringList& AZipFileList, TBackupResult& AResult);
  void BackupNTBackup(QStringList& AZipFileList, TBackupResult& AResult);
  void AddSystemState(QStringList& AFileList);
  // Reads the new archive's files back (under their temporary names AFiles) before they replace
  // the previous archive; false when it is damaged or the check was cancelled.
  [[nodiscard]] bool VerifyWritten(const QList<QByteArray>& AFiles, const QStringList& ANames);
  // What the writers do once the new archive is written and before it replaces the previous one:
  // the read-back, then the previous archive's kept names; false keeps the previous archive.
  [[nodiscard]] bool BeforeReplace(const QList<QByteArray>& AFiles, const QStringList& ANames);
  // Runs AWrite with the previous archive kept (when KeepArchives asks for it) if AWrite replaced it.
  void WriteKeepingPrevious(const std::function<void()>& AWrite);

  void Log(const QString& AMessage, int AErrorCode);
  void Debug(const QString& AProcedure, const QString& AMessage);
  void ItemProgress(const QString& AMessage, int AProgress);
  void TotalProgress(const QString& AMessage, int AProgress);
  // Reports again what was last reported, for a handler that keeps a window alive.
  void RepeatProgress();

  std::unique_ptr<TBackupFiles> FFiles;
  std::unique_ptr<TBackupFiles> FExclusions;
  QString FZipFileName;
  TZipType FZipType = zSeven;
  TZipCompression FZipCompression = zcMaximum;
  QString FZipDescription;
  QString FZipPassword;
  qint32 FVolumeSize = 0;
  bool FSystemState = false;
  bool FVerifyArchive = true;
  int FKeepArchives = 0;
  // The previous archive's rotation, while a run that keeps it writes.
  TArchiveRotation* FRotation = nullptr;
  // The check of the archive being written, while it runs.
  TArchiveVerifier* FVerifier = nullptr;
  std::shared_ptr<const TSevenZipLibrary> FVerifyLibrary;

  std::unique_ptr<TZipWriter> FZipMaster;
  // Null while the 7z library cannot be loaded; FSevenZipLoadError then tells why.
  std::unique_ptr<TSevenZip> FSevenZip;
  QStringList FSevenZipLibraryFiles;
  QString FSevenZipLoadError;
  // Byte counts that turn the 7z writer's progress into percentages.
  qint64 FTotalProgressMax = 0;
  qint64 FItemProgressMax = 0;
  std::pair<QString, int> FLastItemProgress{QString(), -1};
  std::pair<QString, int> FLastTotalProgress{QString(), -1};
  bool FBusy = false;
  bool FArchiveWasBusy = false;
  bool FCancelled = false;
  bool FSearchFailed = false; // a folder or entry of the last search could not be read
  // The run's own folder in the temporary folder (the system-state file), made when needed.
  std::unique_ptr<TPrivateFolder> FRunFolder;
};
