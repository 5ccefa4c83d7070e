// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/TProgramSettingsBaseSections.h"

TProgramSettingsBaseSection* TProgramSettingsBaseSections::Add(const QString& AName)
{
  TProgramSettingsBaseSection* base = BaseSectionByName(AName);
  if (!base) {
    FItems.push_back(std::make_unique<TProgramSettingsBaseSection>());
    base = FItems.back().get();
  }
  base->Sections().SetBaseSectionName(AName);
  return base;
}

int TProgramSettingsBaseSections::IndexByName(const QString& AName) const
{
  for (std::size_t i = 0; i < FItems.size(); ++i) {
    if (QString::compare(FItems[i]->Sections().BaseSectionName(), AName, Qt::CaseInsensitive) == 0)
      return int(i);
  }
  return -1;
}

TProgramSettingsBaseSection* TProgramSettingsBaseSections::BaseSectionByName(const QString& AName) const
{
  const int index = IndexByName(AName);
  return index < 0 ? nullptr : GetItem(index);
}
