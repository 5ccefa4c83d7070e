// SPDX-License-Identifier: GPL-3.0-or-later
// Which registry data type each value below the program key must have: the options in the key
// itself (by their setting types), the profiles in its sub-keys (by the profile's tables of
// stored values). A
// value of another type would make the program fail to read its options or a profile.
#pragma once

#include "platform/TRegistry.h"

#include <QString>
#include <QStringList>

class TRegFileLayout
{
public:
  struct TExpected
  {
    TRegDataType Type = rdUnknown; // rdUnknown: any type is accepted
    int Size = -1;                 // binary values of a fixed size (dates: 8), else -1
  };

  // AKeyParts are the names of the key below the program key (empty for the program key).
  static TExpected Expected(const QStringList& AKeyParts, const QString& AValueName);
  // "a string", "a dword", "hex: binary data" as the registry file writes them.
  static QString KindText(TRegDataType AType);
};
