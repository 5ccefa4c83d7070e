// SPDX-License-Identifier: GPL-3.0-or-later
// An entry of the store's list of section groups; it owns one group.
#pragma once

#include "settings/TProgramSettingsSections.h"

class TProgramSettingsBaseSection
{
public:
  TProgramSettingsSections& Sections() { return FSections; }
  const TProgramSettingsSections& Sections() const { return FSections; }

private:
  TProgramSettingsSections FSections;
};
