// SPDX-License-Identifier: GPL-3.0-or-later
// How one setting value is kept in the registry and in INI files, by its type.
//
// Registry: texts as strings, integers and Booleans as 32-bit numbers, floating-point numbers and
// date-times as 8-byte little-endian doubles, currency as an 8-byte integer of ten-thousandths
// (custom values as a double), passwords as strings scrambled with SuperCipher. INI: the same
// as text, numbers, dates and times in the user's regional formats.
#pragma once

#include "platform/TRegistry.h"
#include "settings/SettingTypes.h"

#include <QString>
#include <QVariant>

class TIniFile;

enum TCurrencyForm : int { cfScaled, cfDouble };

// The registry data type a value of AType is stored as.
TRegDataType RegistryDataType(TSettingValueType AType);
// Writes into the open key; a failed write raises the registry's error.
void WriteRegistryValue(TRegistry& ARegistry, const QString& AName, TSettingValueType AType, const QVariant& AValue,
                        const QString& AEncryptKey, TCurrencyForm ACurrencyForm = cfScaled);
// Reads an existing value of the open key; a value of another data type raises the registry's error.
QVariant ReadRegistryValue(TRegistry& ARegistry, const QString& AName, TSettingValueType AType,
                           const QString& AEncryptKey, TCurrencyForm ACurrencyForm = cfScaled);

QString IniText(TSettingValueType AType, const QVariant& AValue, const QString& AEncryptKey);
void WriteIniValue(TIniFile& AIniFile, const QString& ASection, const QString& AKey, TSettingValueType AType,
                   const QVariant& AValue, const QString& AEncryptKey);
// A key that is absent, or whose text does not read as the type, gives ADefault unchanged.
QVariant ReadIniValue(const TIniFile& AIniFile, const QString& ASection, const QString& AKey, TSettingValueType AType,
                      const QVariant& ADefault, const QString& AEncryptKey);
