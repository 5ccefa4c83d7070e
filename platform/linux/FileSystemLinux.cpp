// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FileNames.h"
#include "platform/FileSystem.h"

#include <cerrno>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

// The kind of APath (faDirectory, faReparsePoint, faReadOnly), relative to the folder ADirectory
// when that is not AT_FDCWD (which spares the kernel the walk along the whole path for every
// entry of a folder); false, with errno set, when it cannot be examined.
bool KindFromStat(int ADirectory, const QByteArray& APath, unsigned& AKind)
{
  struct stat linkInfo
  {};
  if (::fstatat(ADirectory, APath.constData(), &linkInfo, AT_SYMLINK_NOFOLLOW) != 0)
    return false;
  // Windows has no read-only folders in this sense (its flag marks customised folders), so
  // faReadOnly is a file's attribute only: a folder copied from a disc (mode 0555) is searched.
  unsigned attributes = 0;
  const struct stat* info = &linkInfo;
  struct stat targetInfo
  {};
  if (S_ISLNK(linkInfo.st_mode)) {
    attributes |= faReparsePoint;
    // A link carries the kind of its target; a dangling link reads as a file.
    if (::fstatat(ADirectory, APath.constData(), &targetInfo, 0) == 0)
      info = &targetInfo;
  }
  if (S_ISDIR(info->st_mode))
    attributes |= faDirectory;
  if (!(info->st_mode & S_IWUSR) && !S_ISDIR(info->st_mode))
    attributes |= faReadOnly;
  AKind = attributes;
  return true;
}

// AKind with faHidden for a dot name, or faNormal when no flag applies.
unsigned WithName(unsigned AKind, const QString& AName)
{
  if (AName.startsWith(QLatin1Char('.')))
    AKind |= faHidden;
  return AKind == 0 ? faNormal : AKind;
}

QString BaseName(const QString& APath)
{
  const QString trimmed = ExcludeTrailingPathDelimiter(APath);
  return trimmed.mid(trimmed.lastIndexOf(PathDelim) + 1);
}

} // namespace

void EnumerateDirectory(const QString& AFolder, const std::function<bool(const TDirectoryEntry&)>& AVisit)
{
  EnumerateDirectory(AFolder, AVisit, {});
}

void EnumerateDirectory(const QString& AFolder, const std::function<bool(const TDirectoryEntry&)>& AVisit,
                        const TEnumerateError& AOnError)
{
  const QString folderName = IncludeTrailingPathDelimiter(AFolder);
  const QByteArray folder = EncodeFileName(folderName);
  DIR* dir = ::opendir(folder.constData());
  if (!dir) {
    if (AOnError)
      AOnError(ExcludeTrailingPathDelimiter(AFolder), errno);
    return;
  }
  // In a folder that may be listed but not searched, no entry can be examined or opened: each
  // is looked at, so that each is named with its error.
  const bool searchable = ::faccessat(::dirfd(dir), ".", X_OK, AT_EACCESS) == 0;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir);
    if (!entry) {
      if (errno != 0 && AOnError)
        AOnError(ExcludeTrailingPathDelimiter(AFolder), errno);
      break;
    }
    const QByteArray name(entry->d_name);
    if (name == "." || name == "..")
      continue;
    TDirectoryEntry item;
    item.Name = DecodeFileName(name);
    unsigned kind = 0;
    if (searchable && (entry->d_type == DT_REG || entry->d_type == DT_DIR)) {
      // The listing says what it is: no look at the entry itself, which was most of a search's time.
      kind = entry->d_type == DT_DIR ? unsigned(faDirectory) : 0u;
    } else if (KindFromStat(::dirfd(dir), name, kind)) {
      // Links (their target's kind) and file systems that do not fill in the type.
      kind &= ~faReadOnly;
    } else {
      // Vanished while we looked, or cannot be examined.
      if (errno != ENOENT && AOnError)
        AOnError(folderName + item.Name, errno);
      continue;
    }
    item.Attributes = WithName(kind, item.Name);
    if (!AVisit(item))
      break;
  }
  ::closedir(dir);
}

unsigned FileAttributes(const QString& APath)
{
  unsigned kind = 0;
  return KindFromStat(AT_FDCWD, EncodeFileName(APath), kind) ? WithName(kind, BaseName(APath)) : 0;
}

bool FileExists(const QString& APath)
{
  struct stat info
  {};
  return !APath.isEmpty() && ::stat(EncodeFileName(APath).constData(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool DirectoryExists(const QString& APath)
{
  struct stat info
  {};
  return !APath.isEmpty() && ::stat(EncodeFileName(APath).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

QString IncludeTrailingPathDelimiter(const QString& APath)
{
  if (APath.isEmpty() || APath.endsWith(PathDelim))
    return APath;
  return APath + PathDelim;
}

QString ExcludeTrailingPathDelimiter(const QString& APath)
{
  QString result = APath;
  while (result.size() > 1 && result.endsWith(PathDelim))
    result.chop(1);
  return result;
}
