// SPDX-License-Identifier: GPL-3.0-or-later
// Desktop notifications through org.freedesktop.Notifications on the session bus.
#pragma once

#include "platform/TDesktopNotifications.h"

#include <QDBusConnection>
#include <QObject>
#include <QSet>

#include <optional>

class TFreedesktopNotifications : public QObject, public TDesktopNotifications
{
  Q_OBJECT

public:
  static inline const QString Service = QStringLiteral("org.freedesktop.Notifications");
  static inline const QString ObjectPath = QStringLiteral("/org/freedesktop/Notifications");

  // On the session bus, connected at the first notification.
  TFreedesktopNotifications();
  // On AConnection instead (a private bus in tests).
  explicit TFreedesktopNotifications(const QDBusConnection& AConnection);

  [[nodiscard]] unsigned Notify(const QString& ATitle, const QString& AText, TNotificationUrgency AUrgency,
                                int ATimeOutMs) override;

private slots:
  void ActionInvoked(uint AId, const QString& AActionKey);
  void NotificationClosed(uint AId, uint AReason);

private:
  QDBusConnection Connection() const;
  void Connect();

  std::optional<QDBusConnection> FConnection;
  bool FConnected = false;
  // The notifications sent from here that are still open: the signals reach every client.
  QSet<uint> FOpen;
};
