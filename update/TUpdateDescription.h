// SPDX-License-Identifier: GPL-3.0-or-later
// The update description: an INI file with one section per application ("Version", "URL",
// "Params" and an optional "SHA256" of the installer).
#pragma once

#include <QString>

class TUpdateDescription
{
public:
  QString Version = QStringLiteral("0.0.0.0");
  QString URL;
  QString Params;
  // Lower-case hexadecimal SHA-256 of the installer; empty when the description gives none.
  QString SHA256;

  // Reads the section of AApplicationName (any letter case). False when the file has none.
  [[nodiscard]] bool Load(const QString& AFileName, const QString& AApplicationName);

  // The installer's local file name: the text after the last "/" of AURL, up to a query or
  // fragment, without control characters or backslash-separated folders, trimmed, then without
  // leading dots. False when nothing usable remains.
  [[nodiscard]] static bool InstallerFileName(const QString& AURL, QString& AName);
  // True when AText is empty or 64 hexadecimal digits.
  static bool ValidChecksum(const QString& AText);
};
