// SPDX-License-Identifier: GPL-3.0-or-later
// Starting a downloaded installer.
#pragma once

#include <QString>

// A program (an ELF file or a script with "#!") is made executable for its owner and started
// with AParameters split by the Windows command-line rules, never through a shell; any other
// file (a package, a document) is opened by the desktop (xdg-open). Returns the shell result:
// above 32 is success.
int StartUpdateFile(const QString& AFileName, const QString& AParameters, const QString& ADirectory);
// True when AFileName starts like a program.
bool IsProgramFile(const QString& AFileName);
