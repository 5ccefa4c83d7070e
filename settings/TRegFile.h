// SPDX-License-Identifier: GPL-3.0-or-later
// A registry file as the Windows registry editor writes and reads it: keys in brackets, each
// followed by its values as "name"="text", "name"=dword:0000002a or "name"=hex:01,02,...
// It writes version 5.00 (UTF-16LE with a byte-order mark) and reads that, "REGEDIT4" and UTF-8.
#pragma once

#include "platform/TRegistry.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>

class TRegFile
{
public:
  struct TValue
  {
    QString Name;        // empty for the key's unnamed value ("@")
    bool Delete = false; // "name"=-
    TRegDataType Type = rdUnknown;
    QVariant Data; // QString, int or QByteArray by Type
    int Line = 0;
  };

  struct TKey
  {
    QString Path;        // as written, from the root ("HKEY_CURRENT_USER\Software\...")
    bool Delete = false; // [-KEY]
    QList<TValue> Values;
    int Line = 0;
  };

  static inline const QString Version5Header = QStringLiteral("Windows Registry Editor Version 5.00");
  static inline const QString Version4Header = QStringLiteral("REGEDIT4");
  // Bounds on what is read: the program's own key exports to a few KiB; the key limits are
  // those of the Windows registry.
  static constexpr qsizetype MaxFileSize = qsizetype(16) << 20;
  static constexpr int MaxKeyLevels = 512;
  static constexpr int MaxKeyNameLength = 255;

  QList<TKey>& Keys() { return FKeys; }
  const QList<TKey>& Keys() const { return FKeys; }

  // Reads a whole file's bytes; false with ErrorText() ("Line 7: ...") when any line cannot be
  // read, and the keys are then empty.
  [[nodiscard]] bool Parse(const QByteArray& AData);
  const QString& ErrorText() const { return FErrorText; }

  // The file in version 5.00 form: UTF-16LE with a byte-order mark and CR LF line ends. Texts
  // that a quoted string cannot carry (line breaks, NUL) are written as hex(1).
  QByteArray ToBytes() const;

private:
  bool Fail(int ALine, const QString& AMessage);

  QList<TKey> FKeys;
  QString FErrorText;
};
