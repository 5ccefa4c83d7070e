// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/TBackupFile.h"

TBackupFile::TBackupFile(const QString& AFolder, const QString& AFileMask, bool ARecursive)
  : FFolder(AFolder)
  , FFileMask(AFileMask)
  , FRecursive(ARecursive)
{}
