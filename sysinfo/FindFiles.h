// SPDX-License-Identifier: GPL-3.0-or-later
// The recursive file search behind every include and exclusion entry.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// Progress of a search: the path just found or entered, a progress of 0, and a cancel flag the
// callback may set.
using TFindFilesProgress = std::function<void(const QString& AMessage, int AProgress, bool& ACancel)>;

// Appends to AFileList the files of AFolder matching AMask, then (when ARecursive) searches
// each subfolder that is a plain folder: hidden, read-only and linked folders are not entered.
// Files of any attribute are found. Nothing is sorted or made unique. Names that are not valid
// UTF-8 on disk keep their bytes (see FileNames.h).
void FindFiles(const QString& AFolder, const QString& AMask, bool ARecursive, const TFindFilesProgress& AProgress,
               QStringList& AFileList);

// Windows file-name wildcards: "*" and "?", letters compared without regard to case, and "*.*"
// matching every name, also names without a dot.
bool MatchesMask(const QString& AName, const QString& AMask);
