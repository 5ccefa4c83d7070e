// SPDX-License-Identifier: GPL-3.0-or-later
// The POSIX file calls the program writes through: complete writes across EINTR and short
// writes, the system's error text, and the atomic replacement of a file (a private temporary
// file beside it, flushed, renamed over it, and the folder flushed) so that a crash or a power
// cut leaves either the old file or the new one.
//
// Paths are bytes (FileNames.h). Functions return 0 or the errno of the call that failed.
#pragma once

#include "platform/TFileDescriptor.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>

#include <sys/types.h>

namespace Posix {

// The system's text for AErrno, in the user's language.
QString ErrorText(int AErrno);

// The file AFileName names, its name encoded byte for byte (FileNames.h), open for reading as a
// QFile; nullptr when it cannot be opened.
std::unique_ptr<QFile> OpenForReading(const QString& AFileName);
// Reads the file AFileName names into AData: all of it, or with AMaxBytes >= 0 about its first
// AMaxBytes bytes (at least that many where the file has them), or with ALast its last AMaxBytes.
// Returns 0 or an errno.
[[nodiscard]] int ReadFile(const QString& AFileName, QByteArray& AData, qint64 AMaxBytes = -1, bool ALast = false);

[[nodiscard]] int WriteAll(int AFd, const void* AData, std::size_t ASize);
[[nodiscard]] int WriteAll(int AFd, const QByteArray& AData);
// As WriteAll, at AOffset, leaving the file position alone.
[[nodiscard]] int WriteAllAt(int AFd, const void* AData, std::size_t ASize, std::uint64_t AOffset);
[[nodiscard]] int Sync(int AFd);
// Starts writing ALength bytes from AOffset to the disk without waiting for them, so that the
// Sync that makes a large file durable has little left to do. A hint: failures are ignored.
void StartWriteback(int AFd, std::uint64_t AOffset, std::uint64_t ALength);
[[nodiscard]] int Rename(const QByteArray& AFrom, const QByteArray& ATo);

// The folder part of APath ("." for a bare name, "/" for the root's entries).
QByteArray FolderOf(const QByteArray& APath);
// Flushes the folder that holds APath, so that a rename into it survives a power cut.
[[nodiscard]] int SyncFolderOf(const QByteArray& APath);

// The permission bits of ATarget when it is a file, else ADefault: a replacement keeps the
// permissions the user gave the file it replaces.
mode_t ReplacementMode(const QByteArray& ATarget, mode_t ADefault);

// Creates a new temporary file beside ATarget, named ".<name>.XXXXXX.tmp" (or
// ".corvale-XXXXXX.tmp" when that name would be too long), with exactly the permissions AMode.
// ATempPath receives its path; on failure the result is not open and AError holds the errno.
TFileDescriptor CreateTemporaryBeside(const QByteArray& ATarget, mode_t AMode, QByteArray& ATempPath, int& AError);
// Whether AName (a file name without folder) is one that CreateTemporaryBeside makes for ABase.
bool IsTemporaryNameFor(const QByteArray& AName, const QByteArray& ABase);

// Flushes and closes AFile (the temporary file ATempPath), renames it over ATarget and flushes
// the folder. On failure the temporary file is removed and ATarget is as it was.
[[nodiscard]] int CommitReplacement(TFileDescriptor& AFile, const QByteArray& ATempPath, const QByteArray& ATarget);
// Replaces ATarget by a file holding AData with the permissions AMode, atomically.
[[nodiscard]] int ReplaceFile(const QByteArray& ATarget, const QByteArray& AData, mode_t AMode);

// Fault injection for tests. When a hook is set, each WriteAll/WriteAllAt, Sync and Rename
// asks it first: a non-zero result fails the call with that errno; for a write the hook may
// lower ASize to make the system call write less than asked (a short write).
enum TFaultPoint { fpWrite, fpSync, fpRename };
using TFaultHook = int (*)(TFaultPoint APoint, int AFd, const QByteArray& APath, std::size_t& ASize);
void SetFaultHook(TFaultHook AHook);

} // namespace Posix
