// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/TFreedesktopNotifications.h"

#include <QDBusMessage>
#include <QDBusReply>
#include <QDir>
#include <QLoggingCategory>
#include <QTimer>
#include <QUrl>

Q_LOGGING_CATEGORY(lcNotifications, "corvale.notifications", QtWarningMsg)

namespace {

const QString Interface = QStringLiteral("org.freedesktop.Notifications");
// The action a click on the notification's body invokes.
const QString DefaultAction = QStringLiteral("default");
const int CallTimeOutMs = 5000;

} // namespace

std::unique_ptr<TDesktopNotifications> CreateDesktopNotifications()
{
  return std::make_unique<TFreedesktopNotifications>();
}

TFreedesktopNotifications::TFreedesktopNotifications() = default;

TFreedesktopNotifications::TFreedesktopNotifications(const QDBusConnection& AConnection)
  : FConnection(AConnection)
{}

// The notifications stay: a notification shown just before the program ends (a fatal error at
// start) must outlive it. The program withdraws its own through CloseAll at a normal exit.
TFreedesktopNotifications::~TFreedesktopNotifications() = default;

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

QString TFreedesktopNotifications::IconReference() const
{
  if (QDir::isAbsolutePath(FIcon))
    return QUrl::fromLocalFile(FIcon).toString(QUrl::FullyEncoded);
  return FIcon;
}

unsigned TFreedesktopNotifications::Show(const TNotification& ANotification)
{
  QDBusConnection connection = Connection();
  if (!connection.isConnected()) {
    qCWarning(lcNotifications) << "No session bus:" << connection.lastError().message();
    return 0;
  }
  Connect();
  // The kind's notification still shown, if any, is replaced where it is.
  uint replaces = 0;
  if (!ANotification.Kind.isEmpty())
    for (auto open = FOpen.cbegin(); open != FOpen.cend(); ++open)
      if (open.value() == ANotification.Kind)
        replaces = open.key();

  const QString icon = IconReference();
  // image-path for the servers that show the image rather than app_icon; desktop-entry lets the
  // desktop group the notifications under the program's own entry.
  const QVariantMap hints{{QStringLiteral("urgency"), QVariant::fromValue(uchar(ANotification.Urgency))},
                          {QStringLiteral("desktop-entry"), DefaultIcon},
                          {QStringLiteral("image-path"), icon}};
  QDBusMessage call = QDBusMessage::createMethodCall(Service, ObjectPath, Interface, QStringLiteral("Notify"));
  call << QStringLiteral("Corvale") << replaces << icon << ANotification.Title << ANotification.Text
       << QStringList({DefaultAction, ANotification.Title}) << hints << qint32(ANotification.TimeOutMs);
  const QDBusReply<uint> reply = connection.call(call, QDBus::Block, CallTimeOutMs);
  if (!reply.isValid()) {
    qCWarning(lcNotifications) << "Notification not shown:" << reply.error().message();
    return 0;
  }
  const uint id = reply.value();
  if (replaces != 0 && replaces != id)
    Forget(replaces);
  FOpen.insert(id, ANotification.Kind);
  KeepFor(id, ANotification.TimeOutMs);
  return id;
}

void TFreedesktopNotifications::KeepFor(uint AId, int ATimeOutMs)
{
  // Servers keep an urgent notification until it is dismissed whatever its time-out says, and
  // some ignore every time-out; the program's times hold all the same.
  if (ATimeOutMs <= 0) {
    if (QTimer* timer = FExpiry.value(AId))
      timer->stop();
    return;
  }
  QTimer*& timer = FExpiry[AId];
  if (!timer) {
    timer = new QTimer(this);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, [this, AId] { Close(AId); });
  }
  timer->start(ATimeOutMs);
}

void TFreedesktopNotifications::Forget(uint AId)
{
  FOpen.remove(AId);
  // Later, not now: the timer may be the one whose time-out is being handled.
  if (QTimer* timer = FExpiry.take(AId)) {
    timer->stop();
    timer->deleteLater();
  }
}

void TFreedesktopNotifications::Close(unsigned AId)
{
  if (!FOpen.contains(AId))
    return;
  Forget(AId);
  if (OnClosed)
    OnClosed(AId);
  QDBusMessage call =
      QDBusMessage::createMethodCall(Service, ObjectPath, Interface, QStringLiteral("CloseNotification"));
  call << uint(AId);
  const QDBusMessage reply = Connection().call(call, QDBus::Block, CallTimeOutMs);
  if (reply.type() != QDBusMessage::ReplyMessage)
    qCWarning(lcNotifications) << "Notification" << AId << "not withdrawn:" << reply.errorMessage();
}

void TFreedesktopNotifications::CloseAll()
{
  for (const uint id : FOpen.keys())
    Close(id);
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
  if (!FOpen.contains(AId))
    return;
  Forget(AId);
  if (OnClosed)
    OnClosed(AId);
}
