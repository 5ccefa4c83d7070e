// SPDX-License-Identifier: GPL-3.0-or-later
// Ending or locking the user's session through the desktop's session manager.
#pragma once

#include "platform/TInhibitLock.h"

#include <QString>

#include <functional>
#include <memory>

class TSessionControl
{
public:
  enum TExitKind : int { ekLogOff = 0, ekReboot = 1, ekPowerOff = 2 };

  virtual ~TSessionControl() = default;

  // The privilege step: true when the caller may take this exit (possibly after the system asks
  // for a password); false when it may not or the answer could not be had.
  [[nodiscard]] virtual bool MayExit(TExitKind AKind) = 0;
  // Ends the session or the machine. Where the desktop's session manager takes the request, it
  // asks the running programs first and true means "under way"; false when refused at once.
  [[nodiscard]] virtual bool Exit(TExitKind AKind) = 0;
  // Locks the caller's session; false when the request failed.
  [[nodiscard]] virtual bool Lock() = 0;
  // Keeps the machine from suspending or idling into sleep until the lock is destroyed; null when
  // the system refused. A desktop without such a service answers null.
  [[nodiscard]] virtual std::unique_ptr<TInhibitLock> InhibitSleep(const QString& AWhy)
  {
    (void)AWhy;
    return nullptr;
  }

  // Why the last call above failed, for developer logs.
  virtual QString LastError() const = 0;

  // An exit that Exit reported as under way was refused afterwards: another program objected or
  // the user cancelled the desktop's own prompt. Called on the thread that made the request.
  std::function<void(TExitKind AKind, const QString& AWhy)> OnExitRefused;
};

// The session control of this desktop. Nothing is contacted until the first call.
std::unique_ptr<TSessionControl> CreateSessionControl();
