// SPDX-License-Identifier: GPL-3.0-or-later
// The store's section groups, found by their base section name without regard to case.
#pragma once

#include "settings/TProgramSettingsBaseSection.h"

#include <memory>
#include <vector>

class TProgramSettingsBaseSections
{
public:
  // The group of that name, or a new one at the end with its sections collection named.
  TProgramSettingsBaseSection* Add(const QString& AName);
  int IndexByName(const QString& AName) const;
  TProgramSettingsBaseSection* BaseSectionByName(const QString& AName) const; // nullptr when none
  int Count() const { return int(FItems.size()); }
  TProgramSettingsBaseSection* GetItem(int AIndex) const { return FItems.at(std::size_t(AIndex)).get(); }
  void Clear() { FItems.clear(); }

private:
  std::vector<std::unique_ptr<TProgramSettingsBaseSection>> FItems;
};
