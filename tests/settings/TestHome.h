// SPDX-License-Identifier: GPL-3.0-or-later
// A temporary home for the settings tests: the user's and the machine's configuration folders
// and the data folder all live in one temporary folder.
#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <functional>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

class TTestHome
{
public:
  TTestHome()
  {
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(Path(QStringLiteral("home/config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(Path(QStringLiteral("home/data"))));
    qputenv("XDG_CONFIG_DIRS", QFile::encodeName(Path(QStringLiteral("etc"))));
  }

  bool IsValid() const { return FFolder.isValid(); }
  QString Path(const QString& AName) const { return FFolder.filePath(AName); }
  QString UserHive() const { return Path(QStringLiteral("home/config/Corvale/registry.db")); }

  // Runs ACheck in a child process as an ordinary user (nobody) with its own configuration
  // folder, and gives its exit code; 0 means every check passed.
  int RunAsUser(const std::function<int()>& ACheck) const
  {
    const QString userHome = Path(QStringLiteral("nobody"));
    QDir().mkpath(userHome);
    ::chmod(QFile::encodeName(FFolder.path()).constData(), 0755);
    ::chmod(QFile::encodeName(userHome).constData(), 0777);
    const pid_t child = ::fork();
    if (child < 0)
      return -1;
    if (child == 0) {
      if (::geteuid() == 0 && ::setuid(65534) != 0)
        ::_exit(100);
      qputenv("XDG_CONFIG_HOME", QFile::encodeName(userHome));
      ::_exit(ACheck());
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status))
      return -2;
    return WEXITSTATUS(status);
  }

private:
  QTemporaryDir FFolder;
};
