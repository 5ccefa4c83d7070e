// SPDX-License-Identifier: GPL-3.0-or-later
// A session control that records what it is asked instead of ending anything, for window tests.
#pragma once

#include "platform/TSessionControl.h"

#include <QList>
#include <QStringList>

#include <algorithm>

#include <poll.h>
#include <unistd.h>

class TFakeSession : public TSessionControl
{
public:
  QStringList Calls;
  bool Privileged = true;
  bool Succeeds = true;

  bool MayExit(TExitKind AKind) override
  {
    Calls << QStringLiteral("May ") + Name(AKind);
    return Privileged;
  }
  bool Exit(TExitKind AKind) override
  {
    Calls << QStringLiteral("Exit ") + Name(AKind);
    return Succeeds;
  }
  bool Lock() override
  {
    Calls << QStringLiteral("Lock");
    return Succeeds;
  }
  QString LastError() const override { return {}; }

  // Sleep locks: each is a pipe whose write end the program holds; a hung-up read end is released.
  QStringList Inhibited;
  std::unique_ptr<TInhibitLock> InhibitSleep(const QString& AWhy) override
  {
    int fds[2];
    if (::pipe(fds) != 0)
      return nullptr;
    Inhibited << AWhy;
    FReadEnds << fds[0];
    return std::make_unique<TInhibitLock>(fds[1]);
  }
  int HeldLocks() const
  {
    return int(std::count_if(FReadEnds.begin(), FReadEnds.end(), [](int AFd) {
      pollfd poll = {AFd, POLLIN, 0};
      return ::poll(&poll, 1, 0) == 0;
    }));
  }
  ~TFakeSession() override
  {
    for (const int fd : FReadEnds)
      ::close(fd);
  }

private:
  QList<int> FReadEnds;

  static QString Name(TExitKind AKind)
  {
    return AKind == ekLogOff   ? QStringLiteral("LogOff")
           : AKind == ekReboot ? QStringLiteral("Reboot")
                               : QStringLiteral("PowerOff");
  }
};
