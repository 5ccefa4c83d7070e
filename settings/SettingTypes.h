// SPDX-License-Identifier: GPL-3.0-or-later
// Enumerations of the settings store; they live in memory only and are never stored.
#pragma once

enum TSettingValueType : int {
  vtUnknown,
  vtString,
  vtInteger,
  vtFloat,
  vtCurrency,
  vtTime,
  vtDate,
  vtDateTime,
  vtBoolean,
  vtPassword
};

enum TSettingsStore : int { ssRegistry, ssINIFile };

// Which store the last successful full load came from.
enum TLoadedState : int { lsNone, lsRegistry, lsINIFile };
