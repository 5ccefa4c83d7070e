// SPDX-License-Identifier: GPL-3.0-or-later
// Runs corvale-cli on a pseudo-terminal, as a user at a shell runs it, and reads what it shows.
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <csignal>

#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

class TTerminalRun
{
public:
  explicit TTerminalRun(const QStringList& AArguments)
  {
    QList<QByteArray> arguments{QByteArray(CORVALE_CLI)};
    for (const QString& argument : AArguments)
      arguments << argument.toUtf8();
    winsize size{};
    size.ws_col = 200;
    size.ws_row = 40;
    FChild = ::forkpty(&FMaster, nullptr, nullptr, &size);
    if (FChild == 0) {
      QList<char*> argv;
      for (QByteArray& argument : arguments)
        argv << argument.data();
      argv << nullptr;
      ::execv(argv.first(), argv.data());
      ::_exit(127);
    }
  }
  ~TTerminalRun()
  {
    if (FChild > 0 && Status() == -1) {
      ::kill(FChild, SIGKILL);
      ::waitpid(FChild, nullptr, 0);
    }
    if (FMaster >= 0)
      ::close(FMaster);
  }

  bool IsValid() const { return FChild > 0; }
  const QString& Output() const { return FOutput; }
  void Type(const QByteArray& AKeys)
  {
    [[maybe_unused]] const ssize_t written = ::write(FMaster, AKeys.constData(), size_t(AKeys.size()));
  }

  // Reads the terminal until AText shows after AFrom; false after ATimeOutMs.
  bool WaitFor(const QString& AText, int ATimeOutMs = 60000, qsizetype AFrom = 0)
  {
    QElapsedTimer timer;
    timer.start();
    while (!FOutput.mid(AFrom).contains(AText)) {
      if (timer.elapsed() > ATimeOutMs || !ReadSome(100))
        return FOutput.mid(AFrom).contains(AText);
    }
    return true;
  }
  // Waits for the end and gives the exit status, -1 while it still runs.
  int Finish(int ATimeOutMs = 120000)
  {
    QElapsedTimer timer;
    timer.start();
    while (Status() == -1 && timer.elapsed() < ATimeOutMs)
      ReadSome(100);
    while (ReadSome(0)) {
    }
    return Status();
  }

private:
  bool ReadSome(int AWaitMs)
  {
    pollfd handle{FMaster, POLLIN, 0};
    if (::poll(&handle, 1, AWaitMs) <= 0)
      return Status() == -1;
    char buffer[4096];
    const ssize_t got = ::read(FMaster, buffer, sizeof buffer);
    if (got <= 0)
      return false;
    FOutput += QString::fromUtf8(buffer, got);
    return true;
  }
  int Status()
  {
    if (FStatus == -1 && FChild > 0) {
      int status = 0;
      if (::waitpid(FChild, &status, WNOHANG) == FChild)
        FStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    }
    return FStatus;
  }

  pid_t FChild = -1;
  int FMaster = -1;
  int FStatus = -1;
  QString FOutput;
};
