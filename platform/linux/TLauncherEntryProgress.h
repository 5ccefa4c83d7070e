// SPDX-License-Identifier: GPL-3.0-or-later
// Taskbar progress through the launcher-entry signal that docks and panels listen for on the
// session bus (com.canonical.Unity.LauncherEntry.Update).
#pragma once

#include "platform/TTaskbarProgress.h"

#include <QDBusConnection>

#include <optional>

class TLauncherEntryProgress : public TTaskbarProgress
{
public:
  static inline const QString Interface = QStringLiteral("com.canonical.Unity.LauncherEntry");
  static inline const QString ObjectPath = QStringLiteral("/org/corvale/LauncherEntry");

  // Signals on the session bus, connected at the first call.
  explicit TLauncherEntryProgress(const QString& ADesktopFileName);
  // Signals on AConnection instead (a private bus in tests).
  TLauncherEntryProgress(const QString& ADesktopFileName, const QDBusConnection& AConnection);

  void SetProgress(int AProgress) override;
  void Clear() override;

  // The entry the signals name: "application://" + the desktop file name.
  QString ApplicationUri() const;

private:
  void Update(const QVariantMap& AProperties);

  QString FDesktopFileName;
  std::optional<QDBusConnection> FConnection;
  // Nothing is sent until there is progress to take off again.
  bool FVisible = false;
  int FLastProgress = -1;
};
