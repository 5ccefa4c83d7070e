// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/TSingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QLoggingCategory>
#include <QPointer>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <csignal>

Q_LOGGING_CATEGORY(lcInstance, "corvale.instance", QtWarningMsg)

namespace {

const QByteArray Acknowledge = QByteArrayLiteral("ok\n");
// A command is a short decimal number and a line feed.
constexpr qint64 MaxLine = 16;

} // namespace

QString TSingleInstance::DefaultFolder()
{
  return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + QStringLiteral("/Corvale");
}

TSingleInstance::TSingleInstance(const QString& AFolder, QObject* AParent)
  : QObject(AParent)
  , FFolder(AFolder)
{}

TSingleInstance::~TSingleInstance()
{
  if (FServer)
    FServer->close();
}

bool TSingleInstance::IsRunning(const QString& AFolder)
{
  QLockFile lock(AFolder + QStringLiteral("/instance.lock"));
  qint64 pid = 0;
  QString host;
  QString application;
  // A lock file left by a process that is gone does not count.
  return lock.getLockInfo(&pid, &host, &application) && pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

QString TSingleInstance::LockFileName() const
{
  return FFolder + QStringLiteral("/instance.lock");
}

QString TSingleInstance::SocketName() const
{
  return FFolder + QStringLiteral("/instance.socket");
}

TInstanceStart TSingleInstance::Start()
{
  FErrorString.clear();
  if (!QDir(FFolder).exists() && !QDir().mkdir(FFolder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) {
    FErrorString = QStringLiteral("Cannot create the folder \"%1\".").arg(FFolder);
    return TInstanceStart::Failed;
  }
  FLock = std::make_unique<QLockFile>(LockFileName());
  // A running instance holds the lock for hours; only a dead owner makes it stale.
  FLock->setStaleLockTime(0);
  if (!FLock->tryLock(0)) {
    if (FLock->error() == QLockFile::LockFailedError)
      return TInstanceStart::AlreadyRunning;
    FErrorString = FLock->error() == QLockFile::PermissionError
                       ? QStringLiteral("No permission to create the lock file \"%1\".").arg(LockFileName())
                       : QStringLiteral("Cannot create the lock file \"%1\".").arg(LockFileName());
    return TInstanceStart::Failed;
  }
  // We hold the lock, so any socket file left here belongs to a run that is gone.
  QLocalServer::removeServer(SocketName());
  FServer = new QLocalServer(this);
  FServer->setSocketOptions(QLocalServer::UserAccessOption);
  connect(FServer, &QLocalServer::newConnection, this, &TSingleInstance::Accept);
  if (!FServer->listen(SocketName())) {
    // Without the socket a later start could not wake this one and would take the lock for stale.
    FErrorString = QStringLiteral("Cannot listen on \"%1\": %2").arg(SocketName(), FServer->errorString());
    delete FServer;
    FServer = nullptr;
    FLock->unlock();
    return TInstanceStart::Failed;
  }
  return TInstanceStart::Started;
}

void TSingleInstance::Accept()
{
  while (QLocalSocket* socket = FServer->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    const auto drop = [socket](const char* AWhy) {
      qCWarning(lcInstance) << "Dropped a client of the instance socket:" << AWhy;
      socket->abort();
      socket->deleteLater();
    };
    // A client that keeps the connection without a command would hold it for ever.
    auto* idle = new QTimer(socket);
    idle->setSingleShot(true);
    connect(idle, &QTimer::timeout, socket, [drop] { drop("no command in time"); });
    idle->start(ClientTimeOutMs);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket, idle, drop] {
      QPointer<QLocalSocket> guard(socket);
      while (guard && socket->canReadLine()) {
        const QByteArray line = socket->readLine(MaxLine + 1);
        bool valid = line.endsWith('\n');
        const int command = valid ? line.trimmed().toInt(&valid) : 0;
        if (!valid) {
          drop("not a command");
          return;
        }
        qCDebug(lcInstance) << "received command" << command;
        if (command >= int(TInstanceCommand::Show) && command <= int(TInstanceCommand::Reload) && OnCommand)
          OnCommand(TInstanceCommand(command));
        if (guard) {
          idle->start(ClientTimeOutMs);
          socket->write(Acknowledge);
          socket->flush();
        }
      }
      if (guard && socket->bytesAvailable() > MaxLine)
        drop("line too long");
    });
  }
}

bool TSingleInstance::Send(TInstanceCommand ACommand, int ATimeOutMs)
{
  const QDeadlineTimer deadline(ATimeOutMs);
  QLocalSocket socket;
  // The running instance may hold the lock a moment before it listens.
  for (;;) {
    socket.connectToServer(SocketName());
    if (socket.waitForConnected(qMax(1, qMin(1000, int(deadline.remainingTime())))))
      break;
    if (deadline.hasExpired()) {
      qCWarning(lcInstance) << "No running instance answers on" << SocketName();
      return false;
    }
    socket.abort();
    QThread::msleep(100);
  }
  socket.write(QByteArray(QByteArray::number(int(ACommand)) + '\n'));
  if (!socket.waitForBytesWritten(qMax(1, int(deadline.remainingTime()))))
    return false;
  while (!socket.canReadLine()) {
    if (deadline.hasExpired() || !socket.waitForReadyRead(qMax(1, int(deadline.remainingTime()))))
      return false;
  }
  return socket.readLine() == Acknowledge;
}
