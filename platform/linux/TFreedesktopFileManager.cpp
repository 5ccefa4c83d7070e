// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/TFreedesktopFileManager.h"

#include "platform/Shell.h"

#include <QDBusMessage>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QUrl>

Q_LOGGING_CATEGORY(lcFileManager, "corvale.filemanager", QtWarningMsg)

std::unique_ptr<TFileManager> CreateFileManager()
{
  return std::make_unique<TFreedesktopFileManager>();
}

TFreedesktopFileManager::TFreedesktopFileManager() = default;

TFreedesktopFileManager::TFreedesktopFileManager(const QDBusConnection& AConnection)
  : FConnection(AConnection)
{}

QDBusConnection TFreedesktopFileManager::Connection() const
{
  return FConnection ? *FConnection : QDBusConnection::sessionBus();
}

bool TFreedesktopFileManager::ShowFile(const QString& AFileName)
{
  const QFileInfo file(AFileName);
  QDBusConnection connection = Connection();
  if (connection.isConnected()) {
    QDBusMessage call = QDBusMessage::createMethodCall(Service, ObjectPath, Service, QStringLiteral("ShowItems"));
    call << QStringList(QUrl::fromLocalFile(file.absoluteFilePath()).toString(QUrl::FullyEncoded)) << QString();
    // A file manager that is started on demand by the bus may take a moment to come up.
    const QDBusMessage reply = connection.call(call, QDBus::Block, 10000);
    if (reply.type() == QDBusMessage::ReplyMessage)
      return true;
    qCInfo(lcFileManager) << "No file manager on the session bus:" << reply.errorMessage();
  }
  return ShellOpen(file.absolutePath(), QString(), QString()) > 32;
}
