// SPDX-License-Identifier: GPL-3.0-or-later
// Real peers of the update tests on loopback: an HTTP(S) file server, tinyproxy and microsocks.
#pragma once

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <memory>

class TPeer
{
public:
  ~TPeer()
  {
    if (FProcess.state() != QProcess::NotRunning) {
      FProcess.kill();
      FProcess.waitForFinished(5000);
    }
  }
  int Port() const { return FPort; }
  QString Error() const { return FError; }

  // The Python file server: serves AFolder, over TLS when a certificate is given.
  bool StartServer(const QString& AFolder, const QString& ACertificate = {}, const QString& AKey = {})
  {
    QStringList arguments{QStringLiteral(UPDATE_SERVER_SCRIPT), AFolder};
    if (!ACertificate.isEmpty())
      arguments << ACertificate << AKey;
    FProcess.start(QStringLiteral("/usr/bin/python3"), arguments);
    if (!FProcess.waitForReadyRead(20000))
      return Fail(QStringLiteral("the file server did not start"));
    FPort = FProcess.readLine().trimmed().toInt();
    return FPort > 0;
  }

  // tinyproxy requiring basic authentication.
  bool StartHttpProxy(const QString& AFolder, const QString& AUser, const QString& APassword)
  {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("tinyproxy"),
                                                           {QStringLiteral("/usr/bin"), QStringLiteral("/usr/sbin")});
    if (program.isEmpty())
      return Fail(QStringLiteral("tinyproxy is not installed (scripts/deps.sh)"));
    FPort = FreePort();
    const QString config = AFolder + QStringLiteral("/tinyproxy.conf");
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
      return Fail(QStringLiteral("cannot write the proxy configuration"));
    file.write(QStringLiteral("Port %1\nListen 127.0.0.1\nTimeout 60\nMaxClients 20\nAllow 127.0.0.1\n"
                              "BasicAuth %2 %3\nLogLevel Critical\nLogFile \"%4/tinyproxy.log\"\n")
                   .arg(FPort)
                   .arg(AUser, APassword, AFolder)
                   .toUtf8());
    file.close();
    FProcess.start(program, {QStringLiteral("-d"), QStringLiteral("-c"), config});
    return WaitForPort();
  }

  // microsocks, a SOCKS 5 proxy, requiring a user name and password.
  bool StartSocksProxy(const QString& AUser, const QString& APassword)
  {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("microsocks"));
    if (program.isEmpty())
      return Fail(QStringLiteral("microsocks is not installed (scripts/deps.sh)"));
    FPort = FreePort();
    FProcess.start(program, {QStringLiteral("-i"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                             QString::number(FPort), QStringLiteral("-u"), AUser, QStringLiteral("-P"), APassword});
    return WaitForPort();
  }

  // A self-signed certificate for 127.0.0.1 made with openssl.
  static bool MakeCertificate(const QString& ACertificate, const QString& AKey)
  {
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                   QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-keyout"), AKey,
                   QStringLiteral("-out"), ACertificate, QStringLiteral("-days"), QStringLiteral("1"),
                   QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-addext"),
                   QStringLiteral("subjectAltName=IP:127.0.0.1")});
    return openssl.waitForFinished(60000) && openssl.exitCode() == 0;
  }

private:
  bool Fail(const QString& AError)
  {
    FError = AError;
    return false;
  }
  static int FreePort()
  {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
  }
  bool WaitForPort()
  {
    const bool up = QTest::qWaitFor(
        [this] {
          if (FProcess.state() == QProcess::NotRunning)
            return true;
          QTcpSocket socket;
          socket.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(FPort));
          return socket.waitForConnected(200);
        },
        20000);
    if (!up || FProcess.state() == QProcess::NotRunning)
      return Fail(QStringLiteral("the proxy did not start: ") + QString::fromUtf8(FProcess.readAllStandardError()));
    return true;
  }

  QProcess FProcess;
  int FPort = 0;
  QString FError;
};
