// SPDX-License-Identifier: GPL-3.0-or-later
// Moves the program's key (options, profiles, the user's default profile) between the user's
// registry and a registry file. Import merges as the Windows registry editor does: keys and
// values in the file are created or replaced, "[-KEY]" deletes a key with everything below it,
// "name"=- deletes a value, and what the file does not mention stays.
#pragma once

#include "settings/TRegFile.h"

#include <QString>
#include <QStringList>

class TRegFileTransfer
{
public:
  // AProgramKey is the program's key below HKEY_CURRENT_USER ("\Software\...").
  explicit TRegFileTransfer(const QString& AProgramKey);

  // Writes the program key and everything below it. The file is created readable and writable
  // by its owner only (it holds passwords) and appears complete or not at all.
  [[nodiscard]] bool Export(const QString& AFileName);
  // Reads and checks the whole file first; only a file without fault reaches the registry, in one
  // transaction. AReplace empties the program key first, so that it then holds just the file.
  [[nodiscard]] bool Import(const QString& AFileName, bool AReplace = false);

  // The registry's content as a file, and the check of a file against the program key and the
  // types of the stored values (false with ErrorText naming the line).
  [[nodiscard]] bool Read(TRegFile& AFile);
  [[nodiscard]] bool Check(const TRegFile& AFile);
  [[nodiscard]] bool Apply(const TRegFile& AFile, bool AReplace);

  const QString& ErrorText() const { return FErrorText; }
  // Keys and values written by the last export or import.
  int KeyCount() const { return FKeyCount; }
  int ValueCount() const { return FValueCount; }

private:
  // The names of a file's key below the program key; false when it lies outside it.
  bool RelativeParts(const QString& APath, QStringList& AParts) const;
  QString RegistryPath(const QStringList& AParts) const;
  QString FilePath(const QStringList& AParts) const;
  void ReadKey(TRegistry& ARegistry, const QStringList& AParts, TRegFile& AFile);
  bool Fail(const QString& AMessage);

  QStringList FProgramParts;
  QString FErrorText;
  int FKeyCount = 0;
  int FValueCount = 0;
};
