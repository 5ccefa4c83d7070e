// SPDX-License-Identifier: GPL-3.0-or-later
// Programs are never terminated by root, so tests that end programs run as an ordinary user
// (nobody) when they were started as root. For good: the process cannot take root back.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <grp.h>
#include <unistd.h>

// True when the process runs as an ordinary user afterwards.
inline bool DropRootForGood()
{
  if (::geteuid() != 0)
    return true;
  if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
    return false;
  // Root's own folders are not the user's.
  qputenv("HOME", QFile::encodeName(QDir::tempPath()));
  qunsetenv("XDG_RUNTIME_DIR");
  qunsetenv("XDG_CONFIG_HOME");
  return true;
}
