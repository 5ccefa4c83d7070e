// SPDX-License-Identifier: GPL-3.0-or-later
// The ordered collection of all profiles; names compare exactly, letter case included.
#pragma once

#include "profiles/TBackupProfile.h"

#include <memory>
#include <vector>

class TBackupProfiles
{
public:
  TBackupProfiles() = default;
  ~TBackupProfiles();
  TBackupProfiles(const TBackupProfiles&) = delete;
  TBackupProfiles& operator=(const TBackupProfiles&) = delete;

  int Count() const { return static_cast<int>(FItems.size()); }
  TBackupProfile* GetItem(int AIndex) const;
  // Position of the first profile of that name, -1 if none.
  int GetProfileIndex(const QString& AProfileName) const;
  TBackupProfile* ProfileByName(const QString& AProfileName) const;
  // The profile of that name, appended when there is none.
  TBackupProfile* Add(const QString& AProfileName);

  void Delete(int AIndex);
  void Clear();

private:
  std::vector<std::unique_ptr<TBackupProfile>> FItems;
};
