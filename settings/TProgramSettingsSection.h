// SPDX-License-Identifier: GPL-3.0-or-later
// One record of a group of like records: its name and its values.
#pragma once

#include "settings/TSettings.h"

class TProgramSettingsSection
{
public:
  const QString& SectionName() const { return FSectionName; }
  void SetSectionName(const QString& AValue) { FSectionName = AValue; }
  TSettings& Settings() { return FSettings; }
  const TSettings& Settings() const { return FSettings; }

private:
  QString FSectionName;
  TSettings FSettings;
};
