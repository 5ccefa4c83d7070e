// SPDX-License-Identifier: GPL-3.0-or-later
// One named, typed setting with its current and its default value.
#pragma once

#include "settings/SettingTypes.h"

#include <QString>
#include <QVariant>

class TSettingItem
{
public:
  // The name is also the value's name in the registry and its key in an INI file.
  const QString& KeyName() const { return FKeyName; }
  void SetKeyName(const QString& AValue) { FKeyName = AValue; }
  // Empty (invalid) until set or loaded.
  const QVariant& Value() const { return FValue; }
  void SetValue(const QVariant& AValue) { FValue = AValue; }
  const QVariant& DefaultValue() const { return FDefaultValue; }
  void SetDefaultValue(const QVariant& AValue) { FDefaultValue = AValue; }
  TSettingValueType ValueType() const { return FValueType; }
  void SetValueType(TSettingValueType AValue) { FValueType = AValue; }

private:
  QString FKeyName;
  QVariant FValue;
  QVariant FDefaultValue;
  TSettingValueType FValueType = vtUnknown;
};
