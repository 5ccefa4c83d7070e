// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/TProgramSettingsSections.h"

TProgramSettingsSection* TProgramSettingsSections::Add(const QString& ASectionName, const QString& AKey,
                                                       TSettingValueType AType, const QVariant& AValue)
{
  TProgramSettingsSection* section = SectionByName(ASectionName);
  if (!section) {
    FItems.push_back(std::make_unique<TProgramSettingsSection>());
    section = FItems.back().get();
  }
  section->SetSectionName(ASectionName);
  section->Settings().AddValue(AKey, AType, AValue);
  return section;
}

int TProgramSettingsSections::IndexByName(const QString& ASectionName) const
{
  for (std::size_t i = 0; i < FItems.size(); ++i) {
    if (QString::compare(FItems[i]->SectionName(), ASectionName, Qt::CaseInsensitive) == 0)
      return int(i);
  }
  return -1;
}

TProgramSettingsSection* TProgramSettingsSections::SectionByName(const QString& ASectionName) const
{
  const int index = IndexByName(ASectionName);
  return index < 0 ? nullptr : GetItem(index);
}
