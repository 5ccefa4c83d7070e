// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/TXServer.h"

#include "tests/support/StopProcess.h"

#include <QDeadlineTimer>
#include <QStandardPaths>
#include <QThread>

TXServer::~TXServer()
{
  for (auto& client : FClients)
    StopProcess(*client);
  StopProcess(FWindowManager);
  StopProcess(FServer);
  if (FStarted) {
    if (FHadDisplay)
      qputenv("DISPLAY", FSavedDisplay);
    else
      qunsetenv("DISPLAY");
  }
}

bool TXServer::Start(bool AWindowManager)
{
  const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
  if (xvfb.isEmpty()) {
    Error = QStringLiteral("Xvfb is not installed (scripts/deps.sh installs it)");
    return false;
  }
  // The server picks a free display and writes its number on the descriptor given.
  FServer.setProgram(xvfb);
  FServer.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                        QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                        QStringLiteral("1024x768x24")});
  // Its warnings are of no interest, and an unread pipe would stop it once full.
  FServer.setStandardErrorFile(QProcess::nullDevice());
  FServer.start();
  QByteArray number;
  const QDeadlineTimer deadline(20000);
  while (!number.contains('\n') && !deadline.hasExpired() && FServer.state() != QProcess::NotRunning) {
    FServer.waitForReadyRead(200);
    number += FServer.readAllStandardOutput();
  }
  if (!number.contains('\n')) {
    Error = QStringLiteral("Xvfb did not start");
    return false;
  }
  Display = QLatin1Char(':') + QString::fromLatin1(number.trimmed());
  FHadDisplay = qEnvironmentVariableIsSet("DISPLAY");
  FSavedDisplay = qgetenv("DISPLAY");
  FStarted = true;
  qputenv("DISPLAY", Display.toLatin1());
  // The server may refuse its first connections a moment after it named its display.
  const QDeadlineTimer serving(20000);
  while (!serving.hasExpired() && !Answers())
    QThread::msleep(100);
  if (!AWindowManager)
    return true;

  const QString openbox = QStandardPaths::findExecutable(QStringLiteral("openbox"));
  if (openbox.isEmpty()) {
    Error = QStringLiteral("openbox is not installed (scripts/deps.sh installs it)");
    return false;
  }
  FWindowManager.setProgram(openbox);
  FWindowManager.setArguments({QStringLiteral("--sm-disable")});
  FWindowManager.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  FWindowManager.setStandardOutputFile(QProcess::nullDevice());
  // The manager names itself early in its start and manages windows once it has started; a
  // window mapped meanwhile may never be managed, so probe windows are shown until one is.
  const QDeadlineTimer managing(60000);
  bool managed = false;
  while (!managed && !managing.hasExpired()) {
    if (FWindowManager.state() == QProcess::NotRunning) {
      FWindowManager.start();
      FWindowManager.waitForStarted(10000);
    }
    QProcess probe;
    probe.start(QStringLiteral(CORVALE_XSTUBBORN), {QStringLiteral("Probe"), QStringLiteral("Probe")});
    while (!probe.canReadLine() && probe.waitForReadyRead(10000)) {
    }
    const QByteArray id = "0x" + QByteArray::number(probe.readLine().trimmed().toUInt(), 16);
    const QDeadlineTimer attempt(3000);
    while (!managed && !attempt.hasExpired() && FWindowManager.state() != QProcess::NotRunning) {
      managed = RootProperty("_NET_CLIENT_LIST").contains(id);
      if (!managed)
        QThread::msleep(100);
    }
    probe.kill();
    probe.waitForFinished(5000);
  }
  if (managed)
    return true;
  Error = QStringLiteral("openbox did not take the screen");
  return false;
}

QByteArray TXServer::RootProperty(const char* AName)
{
  QProcess xprop;
  xprop.start(QStringLiteral("xprop"), {QStringLiteral("-root"), QString::fromLatin1(AName)});
  return xprop.waitForFinished(5000) && xprop.exitCode() == 0 ? xprop.readAllStandardOutput() : QByteArray();
}

bool TXServer::Answers()
{
  return !RootProperty("_NET_CLIENT_LIST").isEmpty();
}

QProcess* TXServer::StartClient(const QString& AProgram, const QStringList& AArguments)
{
  auto process = std::make_unique<QProcess>();
  process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
  process->start(AProgram, AArguments);
  process->waitForStarted(10000);
  FClients.push_back(std::move(process));
  return FClients.back().get();
}

QProcess* TXServer::StartStubborn(const QStringList& AArguments)
{
  QProcess* process = StartClient(QStringLiteral(CORVALE_XSTUBBORN), AArguments);
  // Its windows exist once it has said so.
  const QDeadlineTimer deadline(10000);
  while (!process->canReadLine() && !deadline.hasExpired() && process->state() == QProcess::Running)
    process->waitForReadyRead(200);
  return process;
}

bool TXServer::WaitEnded(QProcess* AProcess, int ATimeOutMs)
{
  return AProcess->state() == QProcess::NotRunning || AProcess->waitForFinished(ATimeOutMs);
}
