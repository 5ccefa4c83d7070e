// SPDX-License-Identifier: GPL-3.0-or-later
// Desktop notifications, for desktops that show no tray icon and so no balloons.
#pragma once

#include <QString>

#include <functional>
#include <memory>

enum class TNotificationUrgency : int { Low = 0, Normal = 1, Critical = 2 };

class TDesktopNotifications
{
public:
  virtual ~TDesktopNotifications() = default;

  // Shows a notification whose default action (a click on it) is offered; ATimeOutMs as the
  // desktop allows. Returns its id, or 0 when no notification service answered.
  [[nodiscard]] virtual unsigned Notify(const QString& ATitle, const QString& AText, TNotificationUrgency AUrgency,
                                        int ATimeOutMs) = 0;

  // The user chose the default action of notification AId (sent by this object).
  std::function<void(unsigned AId)> OnDefaultAction;
  // Notification AId (sent by this object) has gone, clicked, dismissed or expired.
  std::function<void(unsigned AId)> OnClosed;
};

// Notifications through the desktop's notification service on the session bus.
std::unique_ptr<TDesktopNotifications> CreateDesktopNotifications();
