// SPDX-License-Identifier: GPL-3.0-or-later
// A "sleep:idle" block inhibitor of systemd-logind (org.freedesktop.login1), held as the file
// descriptor logind hands out: closing it ends the inhibition, also when the program dies.
#pragma once

#include "platform/TSleepInhibitor.h"

#include <QDBusConnection>

#include <optional>

class TLogindSleepInhibitor : public TSleepInhibitor
{
public:
  // Talks to the system bus, connected at the first Acquire.
  TLogindSleepInhibitor();
  // Talks to logind on AConnection instead (a private bus in tests).
  explicit TLogindSleepInhibitor(const QDBusConnection& AConnection);
  ~TLogindSleepInhibitor() override;

  [[nodiscard]] bool Acquire(const QString& AReason) override;
  void Release() override;
  bool Held() const override { return FDescriptor >= 0; }
  QString LastError() const { return FLastError; }

private:
  std::optional<QDBusConnection> FConnection;
  int FDescriptor = -1;
  QString FLastError;
};
