// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/TFreedesktopNotifications.h"

#include <QDBusMessage>
#include <QDBusReply>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcNotifications, "corvale.notifications", QtWarningMsg)

namespace {

const QString Interface = QStringLiteral("org.freedesktop.Notifications");
// The action a click on the notification's body invokes.
const QString DefaultAction = QStringLiteral("default");

} // namespace

std::unique_ptr<TDesktopNotifications> CreateDesktopNotifications()
{
  return std::make_unique<TFreedesktopNotifications>();
}

TFreedesktopNotifications::TFreedesktopNotifications() = default;

TFreedesktopNotifications::TFreedesktopNotifications(const QDBusConnection& AConnection)
  : FConnection(AConnection)
{}

QDBusConnection TFreedesktopNotifications::Connection() const
{
  return FConnection ? *FConnection : QDBusConnection::sessionBus();
}

void TFreedesktopNotifications::Connect()
{
  QDBusConnection connection = Connection();
  if (FConnected || !connection.isConnected())
    return;
  FConnected = connection.connect(Service, ObjectPath, Interface, QStringLiteral("ActionInvoked"), this,
                                  SLOT(ActionInvoked(uint, QString))) &&
               connection.connect(Service, ObjectPath, Interface, QStringLiteral("NotificationClosed"), this,
                                  SLOT(NotificationClosed(uint, uint)));
}

unsigned TFreedesktopNotifications::Notify(const QString& ATitle, const QString& AText, TNotificationUrgency AUrgency,
                                           int ATimeOutMs)
{
  QDBusConnection connection = Connection();
  if (!connection.isConnected()) {
    qCWarning(lcNotifications) << "No session bus:" << connection.lastError().message();
    return 0;
  }
  Connect();
  QDBusMessage call = QDBusMessage::createMethodCall(Service, ObjectPath, Interface, QStringLiteral("Notify"));
  const QVariantMap hints{{QStringLiteral("urgency"), QVariant::fromValue(uchar(AUrgency))},
                          {QStringLiteral("desktop-entry"), QStringLiteral("corvale")}};
  call << QStringLiteral("Corvale") << uint(0) << QString() << ATitle << AText << QStringList({DefaultAction, ATitle})
       << hints << qint32(ATimeOutMs);
  const QDBusReply<uint> reply = connection.call(call, QDBus::Block, 5000);
  if (!reply.isValid()) {
    qCWarning(lcNotifications) << "Notification not shown:" << reply.error().message();
    return 0;
  }
  FOpen.insert(reply.value());
  return reply.value();
}

void TFreedesktopNotifications::ActionInvoked(uint AId, const QString& AActionKey)
{
  if (AActionKey != DefaultAction || !FOpen.contains(AId))
    return;
  if (OnDefaultAction)
    OnDefaultAction(AId);
}

void TFreedesktopNotifications::NotificationClosed(uint AId, uint)
{
  if (FOpen.remove(AId) && OnClosed)
    OnClosed(AId);
}
