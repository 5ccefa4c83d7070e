// SPDX-License-Identifier: GPL-3.0-or-later
// The version record our executables carry: an ELF note (owner "Corvale", type 1) whose
// description is UTF-8 text of "Key=Value" lines, built from the project version.
#pragma once

#include <QByteArray>
#include <QString>

inline constexpr char VersionRecordOwner[] = "Corvale";
inline constexpr unsigned VersionRecordType = 1;

// Reads the record of AFileName into ARecord. False, with AError saying why, when the file cannot
// be opened, is no ELF file or carries no record.
[[nodiscard]] bool ReadVersionRecord(const QString& AFileName, QByteArray& ARecord, QString& AError);
