// SPDX-License-Identifier: GPL-3.0-or-later
// The recursive file search behind every include and exclusion entry.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// Progress of a search: the path just found or entered, a progress of 0, and a cancel flag the
// callback may set.
using TFindFilesProgress = std::function<void(const QString& AMessage, int AProgress, bool& ACancel)>;

// A folder that could not be opened or read, or an entry that could not be examined, with the errno.
using TFindFilesError = std::function<void(const QString& APath, int AErrno)>;

// Appends to AFileList the files of AFolder matching AMask, then (when ARecursive) searches
// each subfolder that is not hidden and not a symbolic link; a folder without write permission
// is searched like any other. Files of any attribute and kind are found. Nothing is sorted or
// made unique. Names that are not valid UTF-8 on disk keep their bytes (see FileNames.h). Every
// folder or entry that cannot be read is told to AOnError once.
void FindFiles(const QString& AFolder, const QString& AMask, bool ARecursive, const TFindFilesProgress& AProgress,
               QStringList& AFileList, const TFindFilesError& AOnError = {});

// Windows file-name wildcards: "*" and "?", letters compared without regard to case, and "*.*"
// matching every name, also names without a dot.
bool MatchesMask(const QString& AName, const QString& AMask);
