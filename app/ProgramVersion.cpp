// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ProgramVersion.h"

#include "sysinfo/TApplicationVersionInfo.h"

// Both are read from the running executable's own version record.
QString ProgramFileVersion()
{
  return TApplicationVersionInfo::ProgramVersion();
}

QString ProgramLegalNotice()
{
  return TApplicationVersionInfo().LegalCopyright();
}
