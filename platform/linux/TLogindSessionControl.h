// SPDX-License-Identifier: GPL-3.0-or-later
// Session control through systemd-logind (org.freedesktop.login1) on the system bus.
#pragma once

#include "platform/TSessionControl.h"

#include <QDBusConnection>
#include <QVariantList>

#include <optional>

class TLogindSessionControl : public TSessionControl
{
public:
  // Talks to the system bus, connected at the first call.
  TLogindSessionControl();
  // Talks to logind on AConnection instead (a private bus in tests).
  explicit TLogindSessionControl(const QDBusConnection& AConnection);

  [[nodiscard]] bool MayExit(TExitKind AKind) override;
  [[nodiscard]] bool Exit(TExitKind AKind) override;
  [[nodiscard]] bool Lock() override;
  [[nodiscard]] std::unique_ptr<TInhibitLock> InhibitSleep(const QString& AWhy) override;
  QString LastError() const override { return FLastError; }

private:
  QDBusConnection& Connection();
  // Calls a method of logind's manager; false (with FLastError) when the bus or logind refused.
  [[nodiscard]] bool CallManager(const QString& AMethod, const QVariantList& AArguments,
                                 QVariantList* AReplies = nullptr);
  // The id of the session this program runs in (or, outside one, the user's graphical session).
  [[nodiscard]] bool CallerSession(QString& AId);
  void Fail(const QString& AError);

  std::optional<QDBusConnection> FConnection;
  // Whether the last CanPowerOff / CanReboot answered "challenge".
  bool FChallenged[2] = {false, false};
  QString FLastError;
};
