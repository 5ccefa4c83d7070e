// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/TCommandLine.h"
#include "platform/FileNames.h"
#include "sysinfo/Common.h"
#include "sysinfo/TApplicationVersionInfo.h"
#include "sysinfo/TFormatSettings.h"

#include <QCoreApplication>

int main(int argc, char* argv[])
{
  if (PrintVersionWhenAsked(argc, argv))
    return 0;
  QCoreApplication application(argc, argv);
  QCoreApplication::setApplicationName(ApplicationTitle());
  // Dates are shown in the user's formats.
  TFormatSettings::Load();
  // Arguments are file and profile names: kept byte for byte.
  QStringList arguments;
  for (int i = 1; i < argc; ++i)
    arguments << DecodeFileName(QByteArray(argv[i]));
  TCommandLine commandLine;
  return commandLine.Run(arguments);
}
