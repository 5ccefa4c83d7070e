// SPDX-License-Identifier: GPL-3.0-or-later
// Desktop notifications: the balloons of the notification-area icon, tray or not.
#pragma once

#include <QString>

#include <functional>
#include <memory>

enum class TNotificationUrgency : int { Low = 0, Normal = 1, Critical = 2 };

// One notification: what it says, how urgent it is, how long it stays and what it replaces.
struct TNotification
{
  QString Title;
  QString Text;
  TNotificationUrgency Urgency = TNotificationUrgency::Normal;
  // Milliseconds it is shown, kept also where the desktop would keep an urgent one longer;
  // 0 shows it until the user dismisses it, -1 leaves the time to the desktop.
  int TimeOutMs = -1;
  // A notification of the same, non-empty kind that is still shown is replaced in place instead
  // of being joined by a second one ("one Backup Alerts at a time").
  QString Kind;

  bool operator==(const TNotification&) const = default;
};

class TDesktopNotifications
{
public:
  virtual ~TDesktopNotifications() = default;

  // Shows ANotification with the program's icon and a default action (a click on it). Returns its
  // id, the replaced one's when it replaced one; 0 when no notification service answered.
  [[nodiscard]] virtual unsigned Show(const TNotification& ANotification) = 0;
  // A notification of no kind.
  [[nodiscard]] unsigned Notify(const QString& ATitle, const QString& AText, TNotificationUrgency AUrgency,
                                int ATimeOutMs)
  {
    return Show({ATitle, AText, AUrgency, ATimeOutMs, {}});
  }
  // Withdraws notification AId (sent by this object) when it is still shown.
  virtual void Close(unsigned AId) = 0;
  // Withdraws every notification sent by this object that is still shown: at exit, so that none
  // outlives the program that would answer its click.
  virtual void CloseAll() = 0;

  // The user chose the default action of notification AId (sent by this object), once per click.
  std::function<void(unsigned AId)> OnDefaultAction;
  // Notification AId (sent by this object) has gone, clicked, dismissed or expired.
  std::function<void(unsigned AId)> OnClosed;
};

// Notifications through the desktop's notification service on the session bus.
std::unique_ptr<TDesktopNotifications> CreateDesktopNotifications();
