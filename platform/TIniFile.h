// SPDX-License-Identifier: GPL-3.0-or-later
// INI files as Windows profile files behave: sections and keys match without regard to case, the
// first match wins, values are trimmed, a missing file reads as empty and is created by the first
// write. Text is UTF-8.
//
// Every operation opens the file by name. A write rewrites the whole file atomically (a temporary
// file renamed over it) under a lock file, so a crash leaves the old or the new file and two
// processes writing at once lose nothing. Lines the layer does not touch keep their bytes.
#pragma once

#include "platform/ECorvaleError.h"

#include <QString>
#include <QStringList>

#include <stdexcept>

// Raised when a write cannot be done: the file cannot be read or replaced, or a name or value
// cannot be represented in an INI file (a line break, "=" in a key, "]" in a section name).
class EIniFileError : public ECorvaleError
{
public:
  using ECorvaleError::ECorvaleError;
};

class TIniFile
{
public:
  explicit TIniFile(const QString& AFileName);

  const QString& FileName() const { return FFileName; }

  // A value enclosed in a pair of double or single quotes is read without them, as Windows does;
  // WriteString adds such quotes where trimming or that rule would otherwise change the value.
  QString ReadString(const QString& ASection, const QString& AKey, const QString& ADefault) const;
  void WriteString(const QString& ASection, const QString& AKey, const QString& AValue);

  bool ValueExists(const QString& ASection, const QString& AKey) const;
  // A section exists when its header is in the file.
  bool SectionExists(const QString& ASection) const;
  // Key names of the (first) section, in file order, each once.
  QStringList ReadSection(const QString& ASection) const;
  QStringList ReadSections() const;

  // Removes every section of that name with its keys.
  void EraseSection(const QString& ASection);
  void DeleteKey(const QString& ASection, const QString& AKey);

private:
  QString FFileName;
};
