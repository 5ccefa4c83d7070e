// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/TLogindSleepInhibitor.h"

#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QLoggingCategory>

#include <fcntl.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcInhibit, "corvale.inhibit", QtWarningMsg)

std::unique_ptr<TSleepInhibitor> CreateSleepInhibitor()
{
  return std::make_unique<TLogindSleepInhibitor>();
}

TLogindSleepInhibitor::TLogindSleepInhibitor() = default;

TLogindSleepInhibitor::TLogindSleepInhibitor(const QDBusConnection& AConnection)
  : FConnection(AConnection)
{}

TLogindSleepInhibitor::~TLogindSleepInhibitor()
{
  Release();
}

bool TLogindSleepInhibitor::Acquire(const QString& AReason)
{
  if (Held())
    return true;
  if (!FConnection)
    FConnection = QDBusConnection::systemBus();
  if (!FConnection->isConnected()) {
    FLastError = QStringLiteral("No system bus: ") + FConnection->lastError().message();
    qCWarning(lcInhibit).noquote() << FLastError;
    return false;
  }
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
      QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
  call << QStringLiteral("sleep:idle") << QStringLiteral("Corvale") << AReason << QStringLiteral("block");
  const QDBusMessage reply = FConnection->call(call, QDBus::Block, 5000);
  const QDBusUnixFileDescriptor descriptor = reply.type() == QDBusMessage::ReplyMessage
                                                 ? qvariant_cast<QDBusUnixFileDescriptor>(reply.arguments().value(0))
                                                 : QDBusUnixFileDescriptor();
  if (!descriptor.isValid()) {
    FLastError = QStringLiteral("Inhibit failed: ") + reply.errorName() + QStringLiteral(": ") + reply.errorMessage();
    qCWarning(lcInhibit).noquote() << FLastError;
    return false;
  }
  // The descriptor object closes its copy when it goes; keep one of our own.
  FDescriptor = ::fcntl(descriptor.fileDescriptor(), F_DUPFD_CLOEXEC, 0);
  if (FDescriptor < 0) {
    FLastError = QStringLiteral("Inhibit: the descriptor could not be kept");
    return false;
  }
  return true;
}

void TLogindSleepInhibitor::Release()
{
  if (FDescriptor < 0)
    return;
  ::close(FDescriptor);
  FDescriptor = -1;
}
