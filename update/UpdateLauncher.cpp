// SPDX-License-Identifier: GPL-3.0-or-later
#include "update/UpdateLauncher.h"

#include "platform/FileNames.h"
#include "platform/Shell.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool IsProgramFile(const QString& AFileName)
{
  const int fd = ::open(EncodeFileName(AFileName).constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return false;
  char magic[4] = {};
  const ssize_t count = ::read(fd, magic, sizeof(magic));
  ::close(fd);
  return (count == 4 && magic[0] == 0x7f && magic[1] == 'E' && magic[2] == 'L' && magic[3] == 'F') ||
         (count >= 2 && magic[0] == '#' && magic[1] == '!');
}

int StartUpdateFile(const QString& AFileName, const QString& AParameters, const QString& ADirectory)
{
  if (!IsProgramFile(AFileName))
    return ShellOpen(AFileName, QString(), ADirectory);
  if (::chmod(EncodeFileName(AFileName).constData(), 0700) != 0)
    return srAccessDenied;
  return StartProgram(AFileName, SplitCommandLine(AParameters), ADirectory);
}
