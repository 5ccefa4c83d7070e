// SPDX-License-Identifier: GPL-3.0-or-later
// An ordered collection of settings; names are unique and compare without regard to case.
#pragma once

#include "settings/TSettingItem.h"

#include <memory>
#include <vector>

class TSettings
{
public:
  TSettings() = default;
  TSettings(const TSettings&) = delete;
  TSettings& operator=(const TSettings&) = delete;

  // The item of that name, or a new one at the end; sets the name, type and default and leaves
  // the value as it was (empty for a new item).
  TSettingItem* Add(const QString& AName, TSettingValueType AType, const QVariant& ADefault);
  // As Add, and sets the value to the default.
  TSettingItem* AddValue(const QString& AName, TSettingValueType AType, const QVariant& AValue);

  int IndexByName(const QString& AName) const;
  // Raises EProgramSettingsError "Invalid Key Name (%s)" for a name that is not registered.
  TSettingItem* KeyByName(const QString& AName) const;
  bool KeyExists(const QString& AName) const { return IndexByName(AName) != -1; }
  QVariant GetValueByName(const QString& AName) const;
  void SetValueByName(const QString& AName, const QVariant& AValue);

  int Count() const { return int(FItems.size()); }
  TSettingItem* GetItem(int AIndex) const { return FItems.at(std::size_t(AIndex)).get(); }
  void Clear() { FItems.clear(); }

  // Every item as its name, ": " and its value's text, one after the other.
  QString AsString() const;

  // The keyed scrambling of stored passwords; applying it twice with the same key gives the text
  // back. An empty text or key gives an empty text.
  static QString SuperCipher(const QString& AText, const QString& AKey);

private:
  std::vector<std::unique_ptr<TSettingItem>> FItems;
};
