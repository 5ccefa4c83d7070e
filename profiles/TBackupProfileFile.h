// SPDX-License-Identifier: GPL-3.0-or-later
// One source or exclusion entry of a profile: a folder, a file mask and whether sub-folders count.
#pragma once

#include <QString>

class TBackupProfileFile
{
public:
  // The folder as entered: not normalised, no trailing separator required.
  const QString& Folder() const { return FFolder; }
  void SetFolder(const QString& AValue) { FFolder = AValue; }
  bool Recursive() const { return FRecursive; }
  void SetRecursive(bool AValue) { FRecursive = AValue; }
  // "*.*", another mask or a single file name.
  const QString& FileMask() const { return FFileMask; }
  void SetFileMask(const QString& AValue) { FFileMask = AValue; }

private:
  friend class TBackupProfile; // its table of stored values

  QString FFolder;
  bool FRecursive = false;
  QString FFileMask;
};
