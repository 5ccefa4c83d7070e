// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/TSevenZip.h"

#include "engine/SevenZipInterfaces.h"
#include "engine/TMyArchiveUpdateCallback.h"
#include "engine/TMyStreamWriter.h"
#include "engine/TSevenZipLibrary.h"
#include "engine/TSevenZipRun.h"
#include "platform/FileNames.h"
#include "platform/FileSystem.h"
#include "sysinfo/FindFiles.h"
#include "sysinfo/TClock.h"

#include <QAbstractEventDispatcher>
#include <QDir>

#include <cerrno>
#include <cstring>
#include <limits>
#include <thread>

#include <sys/stat.h>

using namespace SevenZip;

namespace {

QString LoadFailureText()
{
  return QStringLiteral("Could not load CreateObject function from 7za.dll\r\nPerhaps 7za.dll not found");
}

// The 7z level ("X") of each strength.
UInt32 Level(TCompressStrength AStrength)
{
  switch (AStrength) {
  case TCompressStrength::SAVE:
    return 0;
  case TCompressStrength::FAST:
    return 3;
  case TCompressStrength::NORMAL:
    return 5;
  case TCompressStrength::MAXIMUM:
    return 7;
  case TCompressStrength::ULTRA:
    return 9;
  }
  return 5;
}

QString ErrorText(int AError)
{
  return QString::fromLocal8Bit(std::strerror(AError));
}

QString DescribedMessage(int ACode, const QString& AFileName, int AError)
{
  return TSevenZip::MessageText(ACode) + QStringLiteral(": ") + AFileName + QStringLiteral(" (") + ErrorText(AError) +
         QLatin1Char(')');
}

// Properties for ISetProperties; string values are the library's own strings.
class TPropertyList
{
public:
  explicit TPropertyList(const TSevenZipLibrary& ALibrary)
    : FLibrary(ALibrary)
  {}
  ~TPropertyList()
  {
    for (PROPVARIANT& value : FValues)
      if (value.vt == VT_BSTR)
        FLibrary.FreeString(value.bstrVal);
  }
  TPropertyList(const TPropertyList&) = delete;
  TPropertyList& operator=(const TPropertyList&) = delete;

  void Add(const wchar_t* AName, UInt32 AValue)
  {
    PROPVARIANT value{};
    value.vt = VT_UI4;
    value.ulVal = AValue;
    Append(AName, value);
  }
  void Add(const wchar_t* AName, const wchar_t* AValue)
  {
    PROPVARIANT value{};
    value.bstrVal = FLibrary.AllocString(AValue);
    if (!value.bstrVal)
      throw std::bad_alloc();
    value.vt = VT_BSTR;
    Append(AName, value);
  }
  SEVENZIP_CALLS_LIBRARY_OBJECTS HRESULT SetOn(ISetProperties* ASetter) const
  {
    return ASetter->SetProperties(FNames.data(), FValues.data(), static_cast<UInt32>(FValues.size()));
  }

private:
  void Append(const wchar_t* AName, const PROPVARIANT& AValue)
  {
    FNames.push_back(AName);
    FValues.push_back(AValue);
  }

  const TSevenZipLibrary& FLibrary;
  std::vector<const wchar_t*> FNames;
  std::vector<PROPVARIANT> FValues;
};

// Releases a library object when leaving scope.
template <typename T> struct TReleaser
{
  T* Object = nullptr;
  SEVENZIP_CALLS_LIBRARY_OBJECTS ~TReleaser()
  {
    if (Object)
      Object->Release();
  }
};

// What the worker needs, copied from the component so that the component may be touched
// while the worker runs.
struct TJob
{
  std::shared_ptr<TSevenZipLibrary> Library;
  QStringList Files;
  QString ArcName;
  std::uint32_t VolumeSize = 0;
  QString Password;
  QString RootDir;
  AddOpts Options;
  TCompressType Method = TCompressType::LZMA;
  UInt32 Level = 0;
  int Dictionary = 0;
  int PPMdOrder = 0;
  int PPMdMemory = 0;
  std::time_t ArcDate = 0;
};

struct TJobResult
{
  int Code = static_cast<int>(E_FAIL);
  QStringList Volumes;
  int LastError = 0;
  QString AbortMessage; // set when the first archive file could not be created
  // The finished archive's files under their temporary and final names, while the worker waits
  // for the decision to keep them.
  QList<QByteArray> TemporaryFiles;
  QStringList FinalNames;
};

// The library's part of Add, on the worker thread.
void RunJob(const TJob& AJob, const std::shared_ptr<TSevenZipRun>& ARun, TJobResult& AResult);

} // namespace

// Which file the progress figures are in, on the calling thread.
struct TSevenZip::TProgressState
{
  struct TOpened
  {
    QString FileName;
    std::uint64_t Size;
    std::uint64_t Start;
  };
  std::vector<TOpened> Opened;
  std::size_t Current = std::numeric_limits<std::size_t>::max();
  std::uint64_t Completed = 0;
};

TSevenZip::TSevenZip(QObject* AOwner)
  : TSevenZip(TSevenZipLibrary::DefaultCandidates(), AOwner)
{}

TSevenZip::TSevenZip(const QStringList& ALibraryFiles, QObject* AOwner)
  : QObject(AOwner)
{
  LoadLibrary(ALibraryFiles);
}

SEVENZIP_CALLS_LIBRARY_OBJECTS TSevenZip::~TSevenZip()
{
  if (FSetProperties)
    FSetProperties->Release();
  if (FOutArchive)
    FOutArchive->Release();
  if (FInArchive)
    FInArchive->Release();
}

SEVENZIP_CALLS_LIBRARY_OBJECTS void TSevenZip::LoadLibrary(const QStringList& ALibraryFiles)
{
  FLibrary = TSevenZipLibrary::Load(ALibraryFiles);
  if (!FLibrary)
    throw ESevenZipError(LoadFailureText());
  // The 7z format's reader, writer and property setter prove that the library serves the format.
  if (FLibrary->CreateObject(CLSID_CFormat7z, IID_IInArchive, reinterpret_cast<void**>(&FInArchive)) != S_OK ||
      FLibrary->CreateObject(CLSID_CFormat7z, IID_IOutArchive, reinterpret_cast<void**>(&FOutArchive)) != S_OK ||
      FOutArchive->QueryInterface(IID_ISetProperties, reinterpret_cast<void**>(&FSetProperties)) != S_OK) {
    if (FSetProperties)
      FSetProperties->Release();
    if (FOutArchive)
      FOutArchive->Release();
    if (FInArchive)
      FInArchive->Release();
    FSetProperties = nullptr;
    FOutArchive = nullptr;
    FInArchive = nullptr;
    FLibrary.reset();
    throw ESevenZipError(LoadFailureText());
  }
}

QString TSevenZip::LibraryFileName() const
{
  return FLibrary->FileName();
}

QString TSevenZip::LibraryVersion() const
{
  return QStringLiteral("%1.%2")
      .arg(FLibrary->Version() >> 16)
      .arg(FLibrary->Version() & 0xFFFF, 2, 10, QLatin1Char('0'));
}

QString TSevenZip::MessageText(int ACode)
{
  switch (ACode) {
  case 0:
    return QStringLiteral("Success");
  case 1:
    return QStringLiteral("File not found");
  case 2:
    return QStringLiteral("Data Error");
  case 3:
    return QStringLiteral("CRC Error");
  case 4:
    return QStringLiteral("Unsupported Method");
  case 5:
    return QStringLiteral("Index out of Range");
  case 6:
    return QStringLiteral("User canceled operation");
  case 7:
    return QStringLiteral("File is not an 7z SFX archive");
  case 8:
    return QStringLiteral("SFXModule error ( Not found )");
  case 9:
    return QStringLiteral("Could not create SFX");
  case 10:
    return QStringLiteral("No files to add");
  case 11:
    return QStringLiteral("Could not create file");
  case 12:
    return QStringLiteral("Could not read file");
  case 13:
    return QStringLiteral("Could not write file");
  default:
    return QString();
  }
}

QString TSevenZip::ArchiveItemName(const QString& AFileName, const QString& ARootDir, AddOpts AOptions)
{
  QString name = AFileName;
  if (!ARootDir.isEmpty() && name.startsWith(ARootDir, Qt::CaseInsensitive))
    name.remove(0, ARootDir.size());
  if (AOptions.testFlag(AddOptsEnum::AddStoreOnlyFilename))
    name = name.mid(name.lastIndexOf(QLatin1Char('/')) + 1);
  // Relative, with "." and ".." resolved and none left above the top: the library stores what it
  // is given, and an extractor must not be led outside its target folder.
  QStringList parts;
  for (const QString& part : name.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
    if (part == QLatin1String("."))
      continue;
    if (part == QLatin1String("..")) {
      if (!parts.isEmpty())
        parts.removeLast();
      continue;
    }
    parts.append(part);
  }
  return parts.join(QLatin1Char('/'));
}

void TSevenZip::Cancel()
{
  FMainCancel.store(true);
}

int TSevenZip::Add()
{
  if (FRunning)
    throw ESevenZipError(QStringLiteral("An archive is already being written."));
  FMainCancel.store(false);
  FNamesOfVolumesWritten.clear();

  TJob job;
  job.Library = FLibrary;
  job.Files = FFiles;
  job.ArcName = FSZFileName;
  job.VolumeSize = FVolumeSize;
  job.Password = FPassword;
  job.RootDir = FAddRootDir;
  job.Options = FAddOptions;
  job.Method = FLZMACompressType;
  job.Level = Level(FLZMACompressStrength);
  job.Dictionary = FLZMAStrength;
  job.PPMdOrder = FLPPMDsize;
  job.PPMdMemory = FLPPMDmem;
  // The files get the start time, to the two seconds a packed date-time holds.
  job.ArcDate = static_cast<std::time_t>(TClock::CurrentDateTime().toSecsSinceEpoch() & ~qint64(1));

  auto run = std::make_shared<TSevenZipRun>(FMainCancel);
  TJobResult result;
  TProgressState progress;
  std::exception_ptr handlerError;
  bool finished = false;
  bool dispatching = false;

  // Raises the events for a batch of notices. A handler that pumps events (the terminal's
  // Ctrl-C) may re-enter here: a nested call leaves the notices to the outer one.
  const auto dispatchBatch = [&] {
    if (dispatching)
      return;
    dispatching = true;
    for (const TSevenZipNotice& notice : run->Take()) {
      if (notice.Kind == TSevenZipNotice::nkFinished) {
        finished = true;
        continue;
      }
      if (notice.Kind == TSevenZipNotice::nkCompressed) {
        // Every file read is announced, and the new archive checked, before it is kept.
        bool verified = true;
        if (!handlerError && !FMainCancel.load()) {
          try {
            EnterFiles(std::numeric_limits<std::uint64_t>::max(), progress, true);
            if (OnVerify)
              verified = OnVerify(this, result.TemporaryFiles, result.FinalNames);
          } catch (...) {
            handlerError = std::current_exception();
          }
        }
        run->Decide(!handlerError && !FMainCancel.load() && verified);
        continue;
      }
      if (handlerError)
        continue;
      try {
        Dispatch(notice, progress);
      } catch (...) {
        // Raised again once the library has stopped.
        handlerError = std::current_exception();
        FMainCancel.store(true);
      }
    }
    dispatching = false;
  };

  FRunning = true;
  struct TRunningGuard
  {
    bool& Running;
    ~TRunningGuard() { Running = false; }
  } runningGuard{FRunning};
  // The calling thread waits for the library's notices and raises the events itself; the window
  // never runs a backup, so nothing here turns an event loop.
  std::thread worker([&job, run, &result] { RunJob(job, run, result); });
  while (!finished) {
    run->WaitForNotice();
    dispatchBatch();
  }
  worker.join();

  FLastError = result.LastError;
  FNamesOfVolumesWritten = result.Volumes;
  FMainCancel.store(false);
  if (handlerError)
    std::rethrow_exception(handlerError);
  if (!result.AbortMessage.isEmpty())
    throw ESevenZipAbort(result.AbortMessage);
  return result.Code;
}

void TSevenZip::Dispatch(const TSevenZipNotice& ANotice, TProgressState& AState)
{
  switch (ANotice.Kind) {
  case TSevenZipNotice::nkPreProgress:
    if (OnPreProgress)
      OnPreProgress(this, static_cast<qint64>(ANotice.Value));
    break;
  case TSevenZipNotice::nkStreamOpened:
    AState.Opened.push_back({ANotice.FileName, ANotice.Size, ANotice.Value});
    break;
  case TSevenZipNotice::nkProgress: {
    AState.Completed = std::max(AState.Completed, ANotice.Value);
    EnterFiles(AState.Completed, AState, true);
    if (AState.Current < AState.Opened.size() && OnProgress) {
      const auto& file = AState.Opened[AState.Current];
      const std::uint64_t inFile = std::min(AState.Completed - file.Start, file.Size);
      OnProgress(this, file.FileName, static_cast<qint64>(AState.Completed), static_cast<qint64>(inFile));
    }
    break;
  }
  case TSevenZipNotice::nkMessage:
    FErrCode = ANotice.Code;
    if (OnMessage)
      OnMessage(this, ANotice.Code, ANotice.Text, ANotice.FileName);
    break;
  case TSevenZipNotice::nkCompressed:
  case TSevenZipNotice::nkFinished:
    break;
  }
}

// Makes the file that holds byte ACompleted of the input the current one, announcing every file
// on the way; a file passed over gets a last progress report of all its bytes.
void TSevenZip::EnterFiles(std::uint64_t ACompleted, TProgressState& AState, bool AReportEach)
{
  for (;;) {
    const std::size_t next = AState.Current < AState.Opened.size() ? AState.Current + 1 : 0;
    if (next >= AState.Opened.size() || AState.Opened[next].Start > ACompleted)
      return;
    if (AReportEach && AState.Current < AState.Opened.size() && OnProgress) {
      const auto& file = AState.Opened[AState.Current];
      OnProgress(this, file.FileName, static_cast<qint64>(AState.Opened[next].Start), static_cast<qint64>(file.Size));
    }
    AState.Current = next;
    if (OnAddfile)
      OnAddfile(this, AState.Opened[next].FileName, static_cast<qint64>(AState.Opened[next].Size));
  }
}

namespace {

// Attributes as 7-Zip's Linux build forms them: the Unix mode in the high word, then the
// directory or archive bit, and read-only when the owner may not write.
UInt32 Attributes(const struct stat& AInfo)
{
  return 0x8000u | ((static_cast<UInt32>(AInfo.st_mode) & 0xFFFFu) << 16) | (S_ISDIR(AInfo.st_mode) ? 0x10u : 0x20u) |
         ((AInfo.st_mode & S_IWUSR) ? 0u : 0x01u);
}

// The item arrays from the file list: 0, or the errno of a file that exists but cannot be looked at.
int CollectItems(const TJob& AJob, const TSevenZipRun& ARun, TMyArchiveUpdateCallback& ACallback, UInt64& ATotal,
                 QString& AFailed)
{
  ATotal = 0;
  for (const QString& entry : AJob.Files) {
    if (ARun.Cancelled())
      return 0;
    QStringList names;
    if (entry.contains(QLatin1Char('*'))) {
      const qsizetype slash = entry.lastIndexOf(QLatin1Char('/'));
      FindFiles(entry.left(slash + 1), entry.mid(slash + 1), AJob.Options.testFlag(AddOptsEnum::AddRecurseDirs), {},
                names);
    } else {
      names.append(entry);
    }
    for (const QString& name : names) {
      struct stat info
      {};
      if (::stat(EncodeFileName(name).constData(), &info) != 0) {
        // Gone since the search: left out without a word.
        if (errno == ENOENT || errno == ENOTDIR)
          continue;
        AFailed = name;
        return errno;
      }
      const bool folder = S_ISDIR(info.st_mode);
      const UInt64 size = folder ? 0 : static_cast<UInt64>(info.st_size);
      ACallback.AddItem(name, size, FileTimeFromUnix(info.st_mtim.tv_sec, info.st_mtim.tv_nsec), Attributes(info));
      ATotal += size;
    }
  }
  return 0;
}

void BuildProperties(const TJob& AJob, TPropertyList& AProperties)
{
  if (AJob.Method == TCompressType::PPMD) {
    AProperties.Add(L"0", L"PPMd");
    AProperties.Add(L"X", AJob.Level);
    if (AJob.PPMdOrder != 0)
      AProperties.Add(L"o", static_cast<UInt32>(AJob.PPMdOrder));
    if (AJob.PPMdMemory != 0)
      AProperties.Add(L"mem", static_cast<UInt32>(AJob.PPMdMemory));
  } else {
    // LZMA2 splits the input into blocks that compress in parallel, and every 7-Zip since
    // 9.20 reads it. Level 0 stores the files (the Copy method).
    if (AJob.Level > 0)
      AProperties.Add(L"0", L"LZMA2");
    AProperties.Add(L"X", AJob.Level);
    AProperties.Add(L"s", AJob.Options.testFlag(AddOptsEnum::AddSolid) ? L"on" : L"off");
    if (AJob.Dictionary != 0)
      AProperties.Add(L"d", static_cast<UInt32>(AJob.Dictionary));
  }
  if (!AJob.Password.isEmpty() && AJob.Options.testFlag(AddOptsEnum::AddEncryptFilename))
    AProperties.Add(L"he", L"on");
  // Every processor.
  AProperties.Add(L"mt", L"on");
}

SEVENZIP_CALLS_LIBRARY_OBJECTS HRESULT Compress(const TJob& AJob, TMyStreamWriter* AWriter,
                                                TMyArchiveUpdateCallback* ACallback)
{
  TReleaser<IOutArchive> archive;
  // A fresh handler for every archive: the library's objects keep state between updates.
  if (const HRESULT created =
          AJob.Library->CreateObject(CLSID_CFormat7z, IID_IOutArchive, reinterpret_cast<void**>(&archive.Object));
      created != S_OK)
    return created;
  TReleaser<ISetProperties> setter;
  if (const HRESULT found =
          archive.Object->QueryInterface(IID_ISetProperties, reinterpret_cast<void**>(&setter.Object));
      found != S_OK)
    return found;
  TPropertyList properties(*AJob.Library);
  BuildProperties(AJob, properties);
  // Every call resets all options, so they go in one call.
  if (const HRESULT set = properties.SetOn(setter.Object); set != S_OK)
    return set;
  return archive.Object->UpdateItems(AWriter, static_cast<UInt32>(ACallback->Count()), ACallback);
}

void RunJob(const TJob& AJob, const std::shared_ptr<TSevenZipRun>& ARun, TJobResult& AResult)
{
  HRESULT result = E_FAIL;
  TReleaser<TMyArchiveUpdateCallback> callback;
  TReleaser<TMyStreamWriter> writer;
  try {
    callback.Object = new TMyArchiveUpdateCallback(AJob.Library, ARun, AJob.Password, AJob.RootDir, AJob.Options);
    UInt64 total = 0;
    QString unreadable;
    if (const int error = CollectItems(AJob, *ARun, *callback.Object, total, unreadable); error != 0) {
      // Nothing written yet: the previous archive stays as it is.
      ARun->PostMessage(12, DescribedMessage(12, unreadable, error), unreadable);
      AResult.LastError = error;
      AResult.Code = HResultFromErrno(error);
      ARun->PostFinished(AResult.Code);
      return;
    }
    if (ARun->Cancelled()) {
      AResult.Code = ARun->CheckCancel();
      ARun->PostFinished(AResult.Code);
      return;
    }
    ARun->PostPreProgress(total);

    int error = 0;
    writer.Object = TMyStreamWriter::Create(AJob.ArcName, AJob.ArcDate, AJob.VolumeSize, ARun, error);
    if (!writer.Object) {
      const QString name = AJob.VolumeSize == 0 ? AJob.ArcName : TMyStreamWriter::VolumeName(AJob.ArcName, 1);
      AResult.AbortMessage = DescribedMessage(11, name, error);
      ARun->PostMessage(11, AResult.AbortMessage, name);
      AResult.LastError = error;
      ARun->PostFinished(E_FAIL);
      return;
    }

    if (callback.Object->Count() == 0) {
      ARun->PostMessage(10, TSevenZip::MessageText(10), QString());
      writer.Object->Discard();
      AResult.Code = -1;
      ARun->PostFinished(AResult.Code);
      return;
    }

    result = Compress(AJob, writer.Object, callback.Object);
    if (result == S_OK && !writer.Object->WriteGathered())
      result = HResultFromErrno(writer.Object->MyLastError());
    if (result == S_OK) {
      AResult.TemporaryFiles = writer.Object->TemporaryPaths();
      AResult.FinalNames = writer.Object->VolumeNames();
    }
    // Only S_OK is success: S_FALSE leaves an unfinished archive.
    if (result == S_OK && !ARun->PostCompressedAndWait()) {
      result = ARun->CheckCancel();
      if (result == S_OK)
        result = E_ABORT;
    }
    if (result == S_OK) {
      QString failed;
      if (!writer.Object->Commit(error, failed)) {
        ARun->PostMessage(13, DescribedMessage(13, failed, error), failed);
        result = HResultFromErrno(error);
      }
    } else {
      if (result != E_ABORT && ARun->InputError() == 0 && writer.Object->MyLastError() == 0) {
        ARun->PostMessage(2,
                          TSevenZip::MessageText(2) +
                              QStringLiteral(" (0x%1)").arg(static_cast<UInt32>(result), 8, 16, QLatin1Char('0')),
                          QString());
      }
    }
    if (result == S_OK)
      AResult.Volumes = writer.Object->VolumeNames();
    AResult.LastError = writer.Object->MyLastError() != 0 ? writer.Object->MyLastError() : ARun->InputError();
  } catch (const std::bad_alloc&) {
    result = E_OUTOFMEMORY;
  } catch (...) {
    result = E_FAIL;
  }
  AResult.Code = result;
  if (writer.Object && result != S_OK)
    writer.Object->Discard();
  ARun->PostFinished(result);
}

} // namespace
