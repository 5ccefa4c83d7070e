// SPDX-License-Identifier: GPL-3.0-or-later
// Desktop notifications through org.freedesktop.Notifications on the session bus.
#pragma once

#include "platform/TDesktopNotifications.h"

#include <QDBusConnection>
#include <QHash>
#include <QObject>

#include <optional>

class QTimer;

class TFreedesktopNotifications : public QObject, public TDesktopNotifications
{
  Q_OBJECT

public:
  static inline const QString Service = QStringLiteral("org.freedesktop.Notifications");
  static inline const QString ObjectPath = QStringLiteral("/org/freedesktop/Notifications");
  // The program's icon in the icon theme, and its desktop entry's name.
  static inline const QString DefaultIcon = QStringLiteral("corvale");

  // On the session bus, connected at the first notification.
  TFreedesktopNotifications();
  // On AConnection instead (a private bus in tests).
  explicit TFreedesktopNotifications(const QDBusConnection& AConnection);
  ~TFreedesktopNotifications() override;

  // The icon every notification carries: a name in the icon theme, or an absolute file name
  // (for a program that is not installed).
  void SetIcon(const QString& AIcon) { FIcon = AIcon; }

  [[nodiscard]] unsigned Show(const TNotification& ANotification) override;
  void Close(unsigned AId) override;
  void CloseAll() override;

private slots:
  void ActionInvoked(uint AId, const QString& AActionKey);
  void NotificationClosed(uint AId, uint AReason);

private:
  QDBusConnection Connection() const;
  void Connect();
  // The icon as the notification service takes it: a theme name or a file:// URL.
  QString IconReference() const;
  // Keeps notification AId for ATimeOutMs at most; a later notification with the same id (a
  // replacement) brings its own time.
  void KeepFor(uint AId, int ATimeOutMs);
  void Forget(uint AId);

  std::optional<QDBusConnection> FConnection;
  bool FConnected = false;
  QString FIcon = DefaultIcon;
  // The notifications sent from here that are still shown, each with its kind (maybe empty): the
  // signals reach every client, and a kind's notification is replaced only while shown.
  QHash<uint, QString> FOpen;
  // A timer for each shown notification with a time-out (children of this object).
  QHash<uint, QTimer*> FExpiry;
};
