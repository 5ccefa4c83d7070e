// SPDX-License-Identifier: GPL-3.0-or-later
// A record's values as one key of the registry holds them: one row per value with its name, the
// field it fills, its initial value and the range the editor offers. Saving, loading, the initial
// values and the check of an imported registry file all read the same rows.
#pragma once

#include "platform/TRegistry.h"
#include "types/SharedTypes.h"

#include <QString>

#include <span>
#include <variant>

// A value always written as the row's Default and never read back into a field.
struct TFixedValue
{};

template <typename TRecord> struct TStoredField
{
  const char* Name;
  std::variant<TFixedValue, bool TRecord::*, int TRecord::*, TZipType TRecord::*, TCompressionLevel TRecord::*,
               QString TRecord::*, TDateTime TRecord::*>
      Field;
  // The initial value of a flag, number or enumeration; texts start empty and dates at 0.
  int Default = 0;
  // The range the editor offers for a number; none where Min > Max.
  int Min = 0;
  int Max = -1;
  // One of the fields the user's default profile carries.
  bool InDefaults = false;

  // Flags, numbers and enumerations are dwords, texts strings, dates 8 bytes of binary data.
  TRegDataType Type() const
  {
    if (std::holds_alternative<QString TRecord::*>(Field))
      return rdString;
    return std::holds_alternative<TDateTime TRecord::*>(Field) ? rdBinary : rdInteger;
  }
};

template <typename TRecord> using TStoredFields = std::span<const TStoredField<TRecord>>;

// Sets every field to its initial value.
template <typename TRecord> void ResetFields(TRecord& ARecord, TStoredFields<TRecord> AFields)
{
  for (const TStoredField<TRecord>& row : AFields) {
    std::visit(
        [&](auto AField) {
          using T = decltype(AField);
          if constexpr (std::is_same_v<T, QString TRecord::*>)
            (ARecord.*AField).clear();
          else if constexpr (std::is_same_v<T, TDateTime TRecord::*>)
            ARecord.*AField = 0;
          else if constexpr (!std::is_same_v<T, TFixedValue>)
            ARecord.*AField = static_cast<std::remove_reference_t<decltype(ARecord.*AField)>>(row.Default);
        },
        row.Field);
  }
}

// Copies the fields marked InDefaults.
template <typename TRecord>
void CopyDefaultFields(TRecord& ATarget, const TRecord& ASource, TStoredFields<TRecord> AFields)
{
  for (const TStoredField<TRecord>& row : AFields) {
    if (!row.InDefaults)
      continue;
    std::visit(
        [&](auto AField) {
          if constexpr (!std::is_same_v<decltype(AField), TFixedValue>)
            ATarget.*AField = ASource.*AField;
        },
        row.Field);
  }
}

// Writes every value into the open key, in the rows' order.
template <typename TRecord> void WriteFields(TRegistry& AReg, const TRecord& ARecord, TStoredFields<TRecord> AFields)
{
  for (const TStoredField<TRecord>& row : AFields) {
    const QString name = QString::fromLatin1(row.Name);
    std::visit(
        [&](auto AField) {
          using T = decltype(AField);
          if constexpr (std::is_same_v<T, TFixedValue>)
            AReg.WriteInteger(name, row.Default);
          else if constexpr (std::is_same_v<T, bool TRecord::*>)
            AReg.WriteBool(name, ARecord.*AField);
          else if constexpr (std::is_same_v<T, QString TRecord::*>)
            AReg.WriteString(name, ARecord.*AField);
          else if constexpr (std::is_same_v<T, TDateTime TRecord::*>)
            AReg.WriteDateTime(name, ARecord.*AField);
          else
            AReg.WriteInteger(name, static_cast<int>(ARecord.*AField));
        },
        row.Field);
  }
}

// Reads the values of the open key into their fields. A missing value leaves its field as it
// was; with AMissingToo it is read all the same, so that a missing number raises
// ERegistryException and a missing text reads as empty. Numbers outside an enumeration are taken
// as they are.
template <typename TRecord>
void ReadFields(TRegistry& AReg, TRecord& ARecord, TStoredFields<TRecord> AFields, bool AMissingToo = false)
{
  for (const TStoredField<TRecord>& row : AFields) {
    const QString name = QString::fromLatin1(row.Name);
    if (!AMissingToo && !AReg.ValueExists(name))
      continue;
    std::visit(
        [&](auto AField) {
          using T = decltype(AField);
          if constexpr (std::is_same_v<T, TFixedValue>)
            (void)AReg.ReadInteger(name); // of the wrong type, it still marks the key as damaged
          else if constexpr (std::is_same_v<T, bool TRecord::*>)
            ARecord.*AField = AReg.ReadBool(name);
          else if constexpr (std::is_same_v<T, QString TRecord::*>)
            ARecord.*AField = AReg.ReadString(name);
          else if constexpr (std::is_same_v<T, TDateTime TRecord::*>)
            ARecord.*AField = AReg.ReadDateTime(name);
          else
            ARecord.*AField = static_cast<std::remove_reference_t<decltype(ARecord.*AField)>>(AReg.ReadInteger(name));
        },
        row.Field);
  }
}
