// SPDX-License-Identifier: GPL-3.0-or-later
// Directory enumeration with the Windows attribute model the program's search rules are written for.
//
// Attributes are derived as Wine derives them: hidden = the name begins with "."; read-only = a
// file whose owner has no write permission (folders are never read-only: on Windows the flag
// marks a customised folder, not protected data); reparse point = a symbolic link. System, archive, compressed,
// encrypted and not-indexed are never set.
#pragma once

#include <QString>

#include <functional>

enum TFileAttribute : unsigned {
  faReadOnly = 0x01,
  faHidden = 0x02,
  faSysFile = 0x04,
  faDirectory = 0x10,
  faArchive = 0x20,
  faNormal = 0x80,
  faReparsePoint = 0x400,
};

struct TDirectoryEntry
{
  QString Name;        // the entry's name, decoded losslessly (FileNames.h)
  unsigned Attributes; // TFileAttribute flags; faDirectory also for a link to a folder; never
                       // faReadOnly (FileAttributes tells that), which would cost a look at each
};

// Calls AVisit for every entry of AFolder except "." and "..", in the order the file system
// returns them, until AVisit returns false. A folder that cannot be opened has no entries.
void EnumerateDirectory(const QString& AFolder, const std::function<bool(const TDirectoryEntry&)>& AVisit);

// Told the path and the errno when a folder cannot be opened or read to its end, or one of its
// entries cannot be examined. An entry that vanished while it was looked at is no error.
using TEnumerateError = std::function<void(const QString& APath, int AErrno)>;
void EnumerateDirectory(const QString& AFolder, const std::function<bool(const TDirectoryEntry&)>& AVisit,
                        const TEnumerateError& AOnError);

// Attributes of one path; 0 when it does not exist.
unsigned FileAttributes(const QString& APath);

bool FileExists(const QString& APath);      // anything but a folder
bool DirectoryExists(const QString& APath); // a folder, or a link to one

// The path separator of the platform.
inline constexpr QChar PathDelim = QLatin1Char('/');

// APath with exactly one trailing separator (an empty path stays empty).
QString IncludeTrailingPathDelimiter(const QString& APath);
QString ExcludeTrailingPathDelimiter(const QString& APath);
