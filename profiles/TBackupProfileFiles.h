// SPDX-License-Identifier: GPL-3.0-or-later
// The ordered entry list of a profile, keyed by folder and mask without regard to case.
#pragma once

#include "profiles/TBackupProfileFile.h"

#include <memory>
#include <vector>

class TBackupProfileFiles
{
public:
  TBackupProfileFiles() = default;
  TBackupProfileFiles(const TBackupProfileFiles&) = delete;
  TBackupProfileFiles& operator=(const TBackupProfileFiles&) = delete;

  int Count() const { return static_cast<int>(FItems.size()); }
  TBackupProfileFile* GetItem(int AIndex) const;

  // Appends an entry, or updates the one with the same folder and mask (any letter case), which
  // then takes the letter case and recursion flag given here. A blank folder adds nothing and
  // gives nullptr.
  TBackupProfileFile* Add(const QString& AFolder, const QString& AFileMask, bool ARecursive);
  // The first entry whose folder and mask equal the given ones without regard to case; -1 if none.
  int IndexByName(const QString& AFolder, const QString& AFileMask) const;
  TBackupProfileFile* ItemByName(const QString& AFolder, const QString& AFileMask) const;

  void Delete(int AIndex);
  void Clear() { FItems.clear(); }

private:
  std::vector<std::unique_ptr<TBackupProfileFile>> FItems;
};
