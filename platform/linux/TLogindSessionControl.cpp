// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/TLogindSessionControl.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <QLoggingCategory>

#include <fcntl.h>

Q_LOGGING_CATEGORY(lcSession, "corvale.session", QtWarningMsg)

namespace {

const QString LogindService = QStringLiteral("org.freedesktop.login1");
const QString LogindPath = QStringLiteral("/org/freedesktop/login1");
const QString ManagerInterface = QStringLiteral("org.freedesktop.login1.Manager");
const QString SessionInterface = QStringLiteral("org.freedesktop.login1.Session");

} // namespace

TLogindSessionControl::TLogindSessionControl() = default;

TLogindSessionControl::TLogindSessionControl(const QDBusConnection& AConnection)
  : FConnection(AConnection)
{}

QDBusConnection& TLogindSessionControl::Connection()
{
  if (!FConnection)
    FConnection = QDBusConnection::systemBus();
  return *FConnection;
}

void TLogindSessionControl::Fail(const QString& AError)
{
  FLastError = AError;
  qCWarning(lcSession).noquote() << AError;
}

bool TLogindSessionControl::CallManager(const QString& AMethod, const QVariantList& AArguments, QVariantList* AReplies)
{
  QDBusConnection& connection = Connection();
  if (!connection.isConnected()) {
    Fail(QStringLiteral("No system bus: ") + connection.lastError().message());
    return false;
  }
  QDBusMessage call = QDBusMessage::createMethodCall(LogindService, LogindPath, ManagerInterface, AMethod);
  call.setArguments(AArguments);
  // Blocks without running the event loop, so that nothing else runs while logind decides.
  const QDBusMessage reply = connection.call(call, QDBus::Block);
  if (reply.type() != QDBusMessage::ReplyMessage) {
    Fail(AMethod + QStringLiteral(" failed: ") + reply.errorName() + QStringLiteral(": ") + reply.errorMessage());
    return false;
  }
  if (AReplies)
    *AReplies = reply.arguments();
  return true;
}

bool TLogindSessionControl::MayExit(TExitKind AKind)
{
  // Ending one's own session needs no privilege.
  if (AKind == ekLogOff)
    return true;
  const QString method = AKind == ekReboot ? QStringLiteral("CanReboot") : QStringLiteral("CanPowerOff");
  QVariantList replies;
  if (!CallManager(method, {}, &replies))
    return false;
  const QString answer = replies.value(0).toString();
  // "challenge": allowed after the system asks for authentication, so the exit call is made
  // interactive and the desktop's authentication agent can ask for the password.
  FChallenged[AKind == ekReboot] = answer == QLatin1String("challenge");
  if (answer == QLatin1String("yes") || answer == QLatin1String("challenge"))
    return true;
  Fail(method + QStringLiteral(" answered \"") + answer + QLatin1Char('"'));
  return false;
}

bool TLogindSessionControl::CallerSession(QString& AId)
{
  QVariantList replies;
  if (!CallManager(QStringLiteral("GetSession"), {QStringLiteral("auto")}, &replies))
    return false;
  const QString path = replies.value(0).value<QDBusObjectPath>().path();
  if (path.isEmpty()) {
    Fail(QStringLiteral("GetSession answered no session path"));
    return false;
  }
  // The id is read from the session itself: object paths escape it.
  QDBusMessage get = QDBusMessage::createMethodCall(
      LogindService, path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
  get.setArguments({SessionInterface, QStringLiteral("Id")});
  const QDBusMessage reply = Connection().call(get, QDBus::Block);
  if (reply.type() != QDBusMessage::ReplyMessage) {
    Fail(QStringLiteral("Reading the session id failed: ") + reply.errorName() + QStringLiteral(": ") +
         reply.errorMessage());
    return false;
  }
  AId = reply.arguments().value(0).value<QDBusVariant>().variant().toString();
  if (AId.isEmpty()) {
    Fail(QStringLiteral("The session at ") + path + QStringLiteral(" has no id"));
    return false;
  }
  return true;
}

bool TLogindSessionControl::Exit(TExitKind AKind)
{
  switch (AKind) {
  case ekPowerOff:
    return CallManager(QStringLiteral("PowerOff"), {FChallenged[0]});
  case ekReboot:
    return CallManager(QStringLiteral("Reboot"), {FChallenged[1]});
  case ekLogOff: {
    QString session;
    return CallerSession(session) && CallManager(QStringLiteral("TerminateSession"), {session});
  }
  }
  Fail(QStringLiteral("Unknown exit kind ") + QString::number(AKind));
  return false;
}

bool TLogindSessionControl::Lock()
{
  QString session;
  return CallerSession(session) && CallManager(QStringLiteral("LockSession"), {session});
}

std::unique_ptr<TInhibitLock> TLogindSessionControl::InhibitSleep(const QString& AWhy)
{
  QVariantList replies;
  if (!CallManager(QStringLiteral("Inhibit"),
                   {QStringLiteral("sleep:idle"), QStringLiteral("Corvale"), AWhy, QStringLiteral("block")}, &replies))
    return nullptr;
  const auto descriptor = replies.value(0).value<QDBusUnixFileDescriptor>();
  // The reply's descriptor closes with the reply; the lock keeps its own copy.
  const int fd = descriptor.isValid() ? ::fcntl(descriptor.fileDescriptor(), F_DUPFD_CLOEXEC, 0) : -1;
  if (fd < 0) {
    Fail(QStringLiteral("Inhibit answered no file descriptor"));
    return nullptr;
  }
  return std::make_unique<TInhibitLock>(fd);
}
