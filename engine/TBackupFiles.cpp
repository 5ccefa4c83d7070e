// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/TBackupFiles.h"

#include "platform/FileNames.h"
#include "platform/FileSystem.h"
#include "platform/Posix.h"
#include "sysinfo/FindFiles.h"

#include <cerrno>

#include <sys/stat.h>

namespace {

// Only a to z fold, as the collection has always compared folder names.
char16_t AsciiLower(char16_t AChar)
{
  return (AChar >= u'A' && AChar <= u'Z') ? static_cast<char16_t>(AChar + (u'a' - u'A')) : AChar;
}

bool SameTextAscii(const QString& A, const QString& B)
{
  if (A.size() != B.size())
    return false;
  for (qsizetype i = 0; i < A.size(); ++i) {
    if (AsciiLower(A.at(i).unicode()) != AsciiLower(B.at(i).unicode()))
      return false;
  }
  return true;
}

} // namespace

TBackupFiles::TBackupFiles(QObject* AOwner)
  : QObject(AOwner)
{}

TBackupFiles::~TBackupFiles() = default;

TBackupFile* TBackupFiles::Add(const QString& AFolder, const QString& AFileMask, bool ARecursive)
{
  Debug(QStringLiteral("Add"),
        QString(AFolder + QLatin1Char(',') + AFileMask + QLatin1Char(',') + BoolToStr(ARecursive)));
  FItems.push_back(std::make_unique<TBackupFile>(AFolder, AFileMask, ARecursive));
  return FItems.back().get();
}

TBackupFile* TBackupFiles::Add()
{
  FItems.push_back(std::make_unique<TBackupFile>());
  return FItems.back().get();
}

TBackupFile* TBackupFiles::GetItem(int AIndex) const
{
  if (AIndex < 0 || AIndex >= Count())
    return nullptr;
  return FItems[static_cast<std::size_t>(AIndex)].get();
}

void TBackupFiles::Clear()
{
  FItems.clear();
}

int TBackupFiles::IndexByName(const QString& AName) const
{
  for (int i = 0; i < Count(); ++i) {
    if (SameTextAscii(FItems[static_cast<std::size_t>(i)]->Folder(), AName))
      return i;
  }
  return -1;
}

TBackupFile* TBackupFiles::ItemByName(const QString& AName) const
{
  return GetItem(IndexByName(AName));
}

void TBackupFiles::GenerateFileList(QStringList& AFileList)
{
  FCancelled = false;
  AFileList.clear();
  Debug(QStringLiteral("GenerateFileList"), QStringLiteral("Items: %1").arg(Count()));

  // The search keeps its own cancel flag: a request reaches FCancelled through OnProgress and
  // stops the work before the next entry, never in the middle of one.
  const TFindFilesProgress progress = [this](const QString& AMessage, int AProgress, bool&) {
    if (OnProgress)
      OnProgress(this, AMessage, AProgress, FCancelled);
  };

  FSearchFailed = false;
  const TFindFilesError failed = [this](const QString& APath, int AErrno) {
    // A folder or file that vanished during the search held nothing to lose.
    if (AErrno == ENOENT || AErrno == ENOTDIR)
      return;
    FSearchFailed = true;
    if (OnLog)
      OnLog(this, QString(QStringLiteral("Cannot read ") + APath + QStringLiteral(": ") + Posix::ErrorText(AErrno)), 1);
  };

  for (const auto& item : FItems) {
    if (FCancelled)
      break;
    const QString folder = IncludeTrailingPathDelimiter(item->Folder());
    const QString path = folder + item->FileMask();
    const QString recursive = BoolToStr(item->Recursive());
    Debug(QStringLiteral("GenerateFileList"), QString(path + QStringLiteral(", Recursive: ") + recursive));
    if (OnLog)
      OnLog(this, QString(QStringLiteral("Scanning: ") + path + QStringLiteral(", Recursive: ") + recursive), 0);
    // A disk that was not mounted must show in the log, though it fails nothing.
    struct stat st = {};
    const int statError = ::stat(EncodeFileName(folder).constData(), &st) == 0 ? 0 : errno;
    if (statError != 0 && statError != ENOENT && statError != ENOTDIR) {
      failed(item->Folder(), statError);
      continue;
    }
    if (statError != 0 || !S_ISDIR(st.st_mode)) {
      if (OnLog)
        OnLog(this, QString(QStringLiteral("Folder not found, nothing added from it: ") + item->Folder()), 0);
      continue;
    }
    FindFiles(folder, item->FileMask(), item->Recursive(), progress, AFileList, failed);
  }

  Debug(QStringLiteral("GenerateFileList"), QString(QStringLiteral("Cancelled: ") + BoolToStr(FCancelled)));
}

void TBackupFiles::Debug(const QString& AProcedure, const QString& AMessage)
{
  if (OnDebug)
    OnDebug(this, AProcedure, AMessage);
}
