// SPDX-License-Identifier: GPL-3.0-or-later
#include "TLogindMock.h"

#include "tests/support/StopProcess.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <algorithm>

#include <unistd.h>

const QString TLogindMock::Service = QStringLiteral("org.freedesktop.login1");
const QString TLogindMock::Path = QStringLiteral("/org/freedesktop/login1");
const QString TLogindMock::Manager = QStringLiteral("org.freedesktop.login1.Manager");

namespace {

const QString MockInterface = QStringLiteral("org.freedesktop.DBus.Mock");
const QString ConnectionName = QStringLiteral("tst_logind_mock");

} // namespace

TLogindMock::~TLogindMock()
{
  Stop();
}

QString TLogindMock::MissingPeers()
{
  if (const QString missing = TPrivateBus::MissingDaemon(); !missing.isEmpty())
    return missing;
  if (QProcess::execute(QStringLiteral("/usr/bin/python3"),
                        {QStringLiteral("-c"), QStringLiteral("import dbusmock")}) != 0)
    return QStringLiteral("python3-dbusmock is not installed");
  return {};
}

bool TLogindMock::Start(QString& AError)
{
  if (!FPrivateBus.Start(AError))
    return false;

  // The template claims the system bus; every bus variable points at the private one.
  FCallLog = FPrivateBus.FilePath(QStringLiteral("calls.log"));
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), Address());
  environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), Address());
  FMock.setProcessEnvironment(environment);
  FMock.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  FMock.start(QStringLiteral("/usr/bin/python3"),
              {QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--template"), QStringLiteral("logind"),
               QStringLiteral("-l"), FCallLog});
  if (!FMock.waitForStarted()) {
    AError = QStringLiteral("dbusmock did not start: ") + FMock.errorString();
    return false;
  }

  FBus = QDBusConnection::connectToBus(Address(), ConnectionName);
  if (!FBus->isConnected()) {
    AError = QStringLiteral("Cannot connect to the private bus: ") + FBus->lastError().message();
    return false;
  }
  const QDeadlineTimer deadline(15000);
  while (!FBus->interface()->isServiceRegistered(Service).value()) {
    if (deadline.hasExpired()) {
      AError = QStringLiteral("logind's mock did not appear on the bus");
      return false;
    }
    QThread::msleep(50);
  }

  const QDBusMessage added =
      CallMock(Path, QStringLiteral("AddSession"),
               {QStringLiteral("c7"), QStringLiteral("seat0"), uint(getuid()), QStringLiteral("tester"), true});
  if (added.type() != QDBusMessage::ReplyMessage) {
    AError = QStringLiteral("AddSession failed: ") + added.errorMessage();
    return false;
  }
  return SetManagerMethod(
             QStringLiteral("GetSession"), QStringLiteral("s"), QStringLiteral("o"),
             QStringLiteral("ret = '/org/freedesktop/login1/session/' + ('c7' if args[0] == 'auto' else args[0])"),
             &AError) &&
         Reset();
}

void TLogindMock::Stop()
{
  if (FBus) {
    FBus.reset();
    QDBusConnection::disconnectFromBus(ConnectionName);
  }
  StopProcess(FMock);
  FPrivateBus.Stop();
}

bool TLogindMock::Reset()
{
  const bool reset =
      SetManagerMethod(QStringLiteral("CanPowerOff"), {}, QStringLiteral("s"), QStringLiteral("ret = 'yes'")) &&
      SetManagerMethod(QStringLiteral("CanReboot"), {}, QStringLiteral("s"), QStringLiteral("ret = 'yes'")) &&
      SetManagerMethod(QStringLiteral("PowerOff"), QStringLiteral("b"), {}, {}) &&
      SetManagerMethod(QStringLiteral("Reboot"), QStringLiteral("b"), {}, {}) &&
      SetManagerMethod(QStringLiteral("TerminateSession"), QStringLiteral("s"), {}, {}) &&
      SetManagerMethod(QStringLiteral("LockSession"), QStringLiteral("s"), {}, {});
  NewCalls();
  return reset;
}

QDBusMessage TLogindMock::CallMock(const QString& APath, const QString& AMethod, const QVariantList& AArguments)
{
  QDBusMessage call = QDBusMessage::createMethodCall(Service, APath, MockInterface, AMethod);
  call.setArguments(AArguments);
  return FBus->call(call);
}

bool TLogindMock::SetManagerMethod(const QString& AName, const QString& AInSignature, const QString& AOutSignature,
                                   const QString& ACode, QString* AError)
{
  const QDBusMessage reply =
      CallMock(Path, QStringLiteral("AddMethod"), {Manager, AName, AInSignature, AOutSignature, ACode});
  if (reply.type() == QDBusMessage::ReplyMessage)
    return true;
  if (AError)
    *AError = AName + QStringLiteral(": ") + reply.errorMessage();
  return false;
}

QStringList TLogindMock::NewCalls()
{
  QFile file(FCallLog);
  if (!file.open(QIODevice::ReadOnly))
    return {};
  QStringList lines;
  for (const QByteArray& line : file.readAll().split('\n')) {
    const QString call = QString::fromUtf8(line.mid(line.indexOf(' ') + 1));
    // The mock's own bookkeeping (a property read is logged as Get and GetAll) is left out.
    static const QStringList internal = {QStringLiteral("GetAll "), QStringLiteral("Set "), QStringLiteral("emit "),
                                         QStringLiteral("Add")};
    if (!line.isEmpty() && std::none_of(internal.begin(), internal.end(),
                                        [&call](const QString& AStart) { return call.startsWith(AStart); }))
      lines.append(call);
  }
  const QStringList calls = lines.mid(FCallsSeen);
  FCallsSeen = lines.size();
  return calls;
}

QStringList TLogindMock::Inhibitors()
{
  const QDBusMessage reply =
      FBus->call(QDBusMessage::createMethodCall(Service, Path, Manager, QStringLiteral("ListInhibitors")));
  if (reply.type() != QDBusMessage::ReplyMessage)
    return {QStringLiteral("error: ") + reply.errorMessage()};
  QStringList inhibitors;
  const auto list = reply.arguments().value(0).value<QDBusArgument>();
  list.beginArray();
  while (!list.atEnd()) {
    QString what, who, why, mode;
    uint uid = 0, pid = 0;
    list.beginStructure();
    list >> what >> who >> why >> mode >> uid >> pid;
    list.endStructure();
    inhibitors << QStringList({what, who, why, mode}).join(QLatin1Char(' '));
  }
  list.endArray();
  return inhibitors;
}
