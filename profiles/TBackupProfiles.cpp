// SPDX-License-Identifier: GPL-3.0-or-later
#include "profiles/TBackupProfiles.h"

TBackupProfiles::~TBackupProfiles() = default;

TBackupProfile* TBackupProfiles::GetItem(int AIndex) const
{
  return FItems.at(static_cast<std::size_t>(AIndex)).get();
}

int TBackupProfiles::GetProfileIndex(const QString& AProfileName) const
{
  for (std::size_t i = 0; i < FItems.size(); ++i) {
    if (FItems[i]->ProfileName() == AProfileName)
      return static_cast<int>(i);
  }
  return -1;
}

TBackupProfile* TBackupProfiles::ProfileByName(const QString& AProfileName) const
{
  const int index = GetProfileIndex(AProfileName);
  return index < 0 ? nullptr : FItems[static_cast<std::size_t>(index)].get();
}

TBackupProfile* TBackupProfiles::Add(const QString& AProfileName)
{
  TBackupProfile* profile = ProfileByName(AProfileName);
  if (!profile) {
    FItems.push_back(std::make_unique<TBackupProfile>(this));
    profile = FItems.back().get();
  }
  profile->SetProfileName(AProfileName);
  return profile;
}

void TBackupProfiles::Delete(int AIndex)
{
  FItems.erase(FItems.begin() + AIndex);
}

void TBackupProfiles::Clear()
{
  FItems.clear();
}
