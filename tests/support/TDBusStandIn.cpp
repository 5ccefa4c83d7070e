// SPDX-License-Identifier: GPL-3.0-or-later
#include "TDBusStandIn.h"

#include "tests/support/StopProcess.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

namespace {

const QString MockInterface = QStringLiteral("org.freedesktop.DBus.Mock");

bool NameOwned(QDBusConnection& ABus, const QString& AName)
{
  const QDBusReply<bool> reply = ABus.interface()->isServiceRegistered(AName);
  return reply.isValid() && reply.value();
}

} // namespace

TDBusStandIn::~TDBusStandIn()
{
  Stop();
}

QString TDBusStandIn::Missing()
{
  if (!QFile::exists(QStringLiteral("/usr/bin/dbus-daemon")))
    return QStringLiteral("dbus-daemon is not installed (Debian package dbus)");
  if (QProcess::execute(QStringLiteral("/usr/bin/python3"),
                        {QStringLiteral("-c"), QStringLiteral("import dbusmock")}) != 0)
    return QStringLiteral("python3-dbusmock is not installed");
  return {};
}

bool TDBusStandIn::Start(const QString& AAddress, const QDBusConnection& ABus, const QString& AService,
                         const QString& APath, const QString& AInterface, const QList<TMethod>& AMethods,
                         QString& AError)
{
  FBus = ABus;
  FService = AService;
  FPath = APath;
  FInterface = AInterface;
  FLog = FFolder.filePath(QStringLiteral("calls.log"));
  FSeen = 0;
  QFile::remove(FLog);
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), AAddress);
  FProcess.setProcessEnvironment(environment);
  FProcess.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  FProcess.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-m"), QStringLiteral("dbusmock"), AService, APath,
                                                      AInterface, QStringLiteral("-l"), FLog});
  if (!FProcess.waitForStarted()) {
    AError = QStringLiteral("dbusmock did not start: ") + FProcess.errorString();
    return false;
  }
  const QDeadlineTimer deadline(15000);
  while (!NameOwned(FBus, AService)) {
    if (deadline.hasExpired() || FProcess.state() == QProcess::NotRunning) {
      AError = AService + QStringLiteral(" did not appear on the bus");
      return false;
    }
    QThread::msleep(50);
  }
  for (const TMethod& method : AMethods)
    if (!AddMethod(method, &AError))
      return false;
  return true;
}

void TDBusStandIn::Stop()
{
  if (!Running())
    return;
  StopProcess(FProcess);
  const QDeadlineTimer deadline(5000);
  while (NameOwned(FBus, FService) && !deadline.hasExpired())
    QThread::msleep(20);
}

bool TDBusStandIn::CallMock(const QString& APath, const QString& AMethod, const QVariantList& AArguments,
                            QString* AError)
{
  QDBusMessage call = QDBusMessage::createMethodCall(FService, APath, MockInterface, AMethod);
  call.setArguments(AArguments);
  const QDBusMessage reply = FBus.call(call);
  if (reply.type() == QDBusMessage::ReplyMessage)
    return true;
  if (AError)
    *AError = AMethod + QStringLiteral(": ") + reply.errorMessage();
  return false;
}

bool TDBusStandIn::AddMethod(const TMethod& AMethod, QString* AError)
{
  return CallMock(FPath, QStringLiteral("AddMethod"),
                  {FInterface, AMethod.Name, AMethod.InSignature, AMethod.OutSignature, AMethod.Code}, AError);
}

bool TDBusStandIn::EmitSignal(const QString& AName, const QString& ASignature, const QVariantList& AArguments,
                              QString* AError)
{
  QVariantList arguments;
  for (const QVariant& argument : AArguments)
    arguments << QVariant::fromValue(QDBusVariant(argument));
  return CallMock(FPath, QStringLiteral("EmitSignal"), {FInterface, AName, ASignature, QVariant::fromValue(arguments)},
                  AError);
}

QStringList TDBusStandIn::NewCalls()
{
  QFile file(FLog);
  if (!file.open(QIODevice::ReadOnly))
    return {};
  const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  QStringList calls;
  for (qsizetype i = FSeen; i < lines.size(); ++i) {
    const QString call = lines.at(i).section(QLatin1Char(' '), 1);
    // The mock's own bookkeeping is left out.
    if (!call.startsWith(QLatin1String("Add")) && !call.startsWith(QLatin1String("emit ")))
      calls << call;
  }
  FSeen = lines.size();
  return calls;
}
