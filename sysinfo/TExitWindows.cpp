// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysinfo/TExitWindows.h"

TExitWindows::TExitWindows(std::unique_ptr<TSessionControl> ASessionControl, QObject* AOwner)
  : QObject(AOwner)
  , FSessionControl(ASessionControl ? std::move(ASessionControl) : CreateSessionControl())
{
  FSessionControl->OnExitRefused = [this](TSessionControl::TExitKind, const QString&) {
    if (OnExitRefused)
      OnExitRefused(this);
  };
}

TExitWindows::~TExitWindows()
{
  FSessionControl->OnExitRefused = nullptr;
}

bool TExitWindows::ExitWindows(TExitParameter AExitParameter)
{
  TSessionControl::TExitKind kind = TSessionControl::ekPowerOff;
  switch (AExitParameter) {
  case xpNone:
    return true;
  case xpLockWorkstation:
    return LockWorkStation();
  case xpLogoff:
    kind = TSessionControl::ekLogOff;
    break;
  case xpReboot:
    kind = TSessionControl::ekReboot;
    break;
  case xpShutdown:
    kind = TSessionControl::ekPowerOff;
    break;
  default:
    // A value outside the enumeration names no action; nothing was carried out.
    return false;
  }

  if (!FSessionControl->MayExit(kind)) {
    if (OnInsufficientPrivileges)
      OnInsufficientPrivileges(this);
    return false;
  }

  bool allow = true;
  if (OnExitRequest)
    OnExitRequest(this, AExitParameter, allow);
  // Declining is the user's choice, not a failure.
  if (!allow)
    return true;
  return FSessionControl->Exit(kind);
}

bool TExitWindows::LogOff()
{
  return ExitWindows(xpLogoff);
}

bool TExitWindows::Reboot()
{
  return ExitWindows(xpReboot);
}

bool TExitWindows::Shutdown()
{
  return ExitWindows(xpShutdown);
}

bool TExitWindows::LockWorkStation()
{
  return FSessionControl->Lock();
}

std::unique_ptr<TInhibitLock> TExitWindows::KeepAwake(const QString& AWhy)
{
  return FSessionControl->InhibitSleep(AWhy);
}

QString TExitWindows::ExitVerb(TExitParameter AExitParameter)
{
  switch (AExitParameter) {
  case xpLogoff:
    return QStringLiteral("Log Off");
  case xpReboot:
    return QStringLiteral("Restart");
  case xpShutdown:
    return QStringLiteral("Shut Down");
  default:
    return QString();
  }
}
