// SPDX-License-Identifier: GPL-3.0-or-later
// The file manager interface most Linux desktops offer on the session bus; where none answers,
// the file's folder is opened with xdg-open instead (without the selection).
#pragma once

#include "platform/TFileManager.h"

#include <QDBusConnection>

#include <optional>

class TFreedesktopFileManager : public TFileManager
{
public:
  static inline const QString Service = QStringLiteral("org.freedesktop.FileManager1");
  static inline const QString ObjectPath = QStringLiteral("/org/freedesktop/FileManager1");

  // On the session bus.
  TFreedesktopFileManager();
  // On AConnection (tests use a private bus).
  explicit TFreedesktopFileManager(const QDBusConnection& AConnection);

  [[nodiscard]] bool ShowFile(const QString& AFileName) override;

private:
  QDBusConnection Connection() const;

  std::optional<QDBusConnection> FConnection;
};
