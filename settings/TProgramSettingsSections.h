// SPDX-License-Identifier: GPL-3.0-or-later
// A group of like records (sections) with the template their fields are read by.
#pragma once

#include "settings/TProgramSettingsSection.h"

#include <memory>
#include <vector>

class TProgramSettingsSections
{
public:
  const QString& BaseSectionName() const { return FBaseSectionName; }
  void SetBaseSectionName(const QString& AValue) { FBaseSectionName = AValue; }
  // The template: one item per field with its name, type and default.
  TSettings& BaseSettings() { return FBaseSettings; }
  const TSettings& BaseSettings() const { return FBaseSettings; }

  // The section of that name (found without regard to case) or a new one at the end, with the
  // key added to its values as AddValue does.
  TProgramSettingsSection* Add(const QString& ASectionName, const QString& AKey, TSettingValueType AType,
                               const QVariant& AValue);
  int IndexByName(const QString& ASectionName) const;
  TProgramSettingsSection* SectionByName(const QString& ASectionName) const; // nullptr when none
  int Count() const { return int(FItems.size()); }
  TProgramSettingsSection* GetItem(int AIndex) const { return FItems.at(std::size_t(AIndex)).get(); }
  void Clear() { FItems.clear(); }

private:
  QString FBaseSectionName;
  TSettings FBaseSettings;
  std::vector<std::unique_ptr<TProgramSettingsSection>> FItems;
};
