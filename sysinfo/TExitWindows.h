// SPDX-License-Identifier: GPL-3.0-or-later
// Carries out the exit actions: shut down, restart, log off, lock. Checks the privilege first and
// asks its owner for a last confirmation before ending anything.
#pragma once

#include "platform/TSessionControl.h"
#include "types/SharedTypes.h"

#include <QObject>

#include <memory>

using TOnExitRequest = std::function<void(QObject* ASender, TExitParameter AExitParameter, bool& Allow)>;

class TExitWindows : public QObject
{
  Q_OBJECT

public:
  // Without a session control, the desktop's own (CreateSessionControl) is used.
  explicit TExitWindows(std::unique_ptr<TSessionControl> ASessionControl = nullptr, QObject* AOwner = nullptr);
  ~TExitWindows() override;

  // True when the exit action was carried out, was not needed (xpNone) or was declined by
  // OnExitRequest; false when it failed or the privilege is missing.
  [[nodiscard]] bool ExitWindows(TExitParameter AExitParameter);
  [[nodiscard]] bool LogOff();
  [[nodiscard]] bool Reboot();
  [[nodiscard]] bool Shutdown();
  // Locks at once, without OnExitRequest.
  [[nodiscard]] bool LockWorkStation();
  // Keeps the machine awake (no suspend, no idle sleep) while the returned lock lives; null when
  // the system refused, which leaves the machine as it was.
  [[nodiscard]] std::unique_ptr<TInhibitLock> KeepAwake(const QString& AWhy);

  // The verb the confirmations show: "Log Off", "Restart", "Shut Down"; empty for the others.
  static QString ExitVerb(TExitParameter AExitParameter);

  TNotifyEvent OnInsufficientPrivileges;
  TOnExitRequest OnExitRequest;
  // An exit that ExitWindows reported as carried out was refused afterwards by the desktop's
  // session manager (another program objected, or the user cancelled its prompt). The owner
  // reports it as it reports a false result of ExitWindows.
  TNotifyEvent OnExitRefused;

private:
  std::unique_ptr<TSessionControl> FSessionControl;
};
