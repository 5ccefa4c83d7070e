// SPDX-License-Identifier: GPL-3.0-or-later
// Small helpers for tests of the program's stored key: writing a file, and the whole key as text.
#pragma once

#include "profiles/TRegFileTransfer.h"
#include "settings/TRegFile.h"

#include <QFile>
#include <QStringDecoder>

inline bool WriteFile(const QString& AName, const QByteArray& AData)
{
  QFile file(AName);
  return file.open(QIODevice::WriteOnly) && file.write(AData) == AData.size();
}

// Every key and value below AKey as text, for comparing two states of the store.
inline QString Snapshot(const QString& AKey = QStringLiteral("\\Software\\Quenfield\\Orvel"))
{
  TRegFileTransfer transfer(AKey);
  TRegFile file;
  if (!transfer.Read(file))
    return QStringLiteral("<unreadable>");
  QStringDecoder decoder(QStringConverter::Utf16LE);
  return decoder(file.ToBytes().mid(2));
}
