// SPDX-License-Identifier: GPL-3.0-or-later
// The version information of the running executable.
#pragma once

#include "sysinfo/TFileVersionInformation.h"

class TApplicationVersionInfo : public TFileVersionInformation
{
public:
  // Reads the running executable; a missing record leaves the defaults ("0.0.0.0").
  TApplicationVersionInfo();

  // The running program's file version, "0.0.0.0" when it cannot be read.
  static QString ProgramVersion();
  // The product name, or the application title when the executable has none.
  static QString ProgramProductName();
  // The lines "--version" prints: product and version, description, legal notice.
  QString VersionText() const;
};

// With "--version" as the only argument, prints the version text and returns true.
bool PrintVersionWhenAsked(int argc, char* argv[]);
