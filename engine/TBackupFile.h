// SPDX-License-Identifier: GPL-3.0-or-later
// One include or exclusion entry: a folder, a mask and whether subfolders are searched.
#pragma once

#include <QString>

class TBackupFile
{
public:
  TBackupFile() = default;
  TBackupFile(const QString& AFolder, const QString& AFileMask, bool ARecursive);

  const QString& Folder() const { return FFolder; }
  void SetFolder(const QString& AValue) { FFolder = AValue; }
  const QString& FileMask() const { return FFileMask; }
  void SetFileMask(const QString& AValue) { FFileMask = AValue; }
  bool Recursive() const { return FRecursive; }
  void SetRecursive(bool AValue) { FRecursive = AValue; }

private:
  QString FFolder;
  QString FFileMask;
  bool FRecursive = false;
};
