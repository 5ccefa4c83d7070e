// SPDX-License-Identifier: GPL-3.0-or-later
#include "TLoopbackSmtpServer.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QString Python = QStringLiteral("/usr/bin/python3");

bool Run(const QString& AProgram, const QStringList& AArguments, const QString& AFolder, QString& AError)
{
  QProcess process;
  process.setWorkingDirectory(AFolder);
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start(AProgram, AArguments);
  if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
    AError = AProgram + QLatin1Char(' ') + AArguments.join(QLatin1Char(' ')) + QStringLiteral(": ") +
             QString::fromLocal8Bit(process.readAll());
    return false;
  }
  return true;
}

} // namespace

TLoopbackSmtpServer::~TLoopbackSmtpServer()
{
  Stop();
}

QString TLoopbackSmtpServer::Missing()
{
  QProcess probe;
  probe.start(Python, {QStringLiteral("-c"), QStringLiteral("import aiosmtpd")});
  if (!probe.waitForFinished(30000) || probe.exitCode() != 0)
    return QStringLiteral("python3-aiosmtpd is not installed for /usr/bin/python3");
  return QString();
}

bool TLoopbackSmtpServer::Start(const TOptions& AOptions, QString& AError)
{
  if (!FFolder.isValid()) {
    AError = QStringLiteral("no temporary folder");
    return false;
  }
  QStringList arguments = {QStringLiteral(CORVALE_TEST_SUPPORT_DIR "/smtp_server.py"), QStringLiteral("--out"),
                           FFolder.path()};
  if (!AOptions.CertificateFile.isEmpty())
    arguments << QStringLiteral("--cert") << AOptions.CertificateFile << QStringLiteral("--key") << AOptions.KeyFile;
  if (AOptions.ImplicitTls)
    arguments << QStringLiteral("--implicit-tls");
  if (!AOptions.UserName.isEmpty())
    arguments << QStringLiteral("--user") << AOptions.UserName << QStringLiteral("--password") << AOptions.Password;
  if (AOptions.OfferCramMd5)
    arguments << QStringLiteral("--cram");
  for (const QString& address : AOptions.RejectedRecipients)
    arguments << QStringLiteral("--reject") << address;
  FProcess.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  FProcess.start(Python, arguments);
  if (!FProcess.waitForStarted(30000)) {
    AError = FProcess.errorString();
    return false;
  }
  while (!FProcess.canReadLine()) {
    if (!FProcess.waitForReadyRead(30000)) {
      AError = QStringLiteral("the SMTP server did not come up");
      Stop();
      return false;
    }
  }
  const QString line = QString::fromUtf8(FProcess.readLine()).trimmed();
  FPort = line.section(QLatin1Char(' '), 1).toInt();
  if (!line.startsWith(QStringLiteral("READY ")) || FPort <= 0) {
    AError = QStringLiteral("unexpected answer from the SMTP server: ") + line;
    Stop();
    return false;
  }
  return true;
}

void TLoopbackSmtpServer::Stop()
{
  if (FProcess.state() == QProcess::NotRunning)
    return;
  FProcess.closeWriteChannel(); // the server ends when its input ends
  if (!FProcess.waitForFinished(10000)) {
    FProcess.kill();
    FProcess.waitForFinished(10000);
  }
}

QList<QJsonObject> TLoopbackSmtpServer::Messages() const
{
  QList<QJsonObject> result;
  for (int n = 1;; ++n) {
    QFile file(FFolder.filePath(QString::number(n) + QStringLiteral(".json")));
    if (!file.open(QIODevice::ReadOnly))
      break;
    result.append(QJsonDocument::fromJson(file.readAll()).object());
  }
  return result;
}

bool TLoopbackSmtpServer::MakeCertificates(const QString& AFolder, QString& AError)
{
  const QString openssl = QStringLiteral("openssl");
  QFile extensions(AFolder + QStringLiteral("/server.ext"));
  if (!extensions.open(QIODevice::WriteOnly) ||
      extensions.write("subjectAltName=DNS:localhost,IP:127.0.0.1\nbasicConstraints=CA:FALSE\n"
                       "extendedKeyUsage=serverAuth\n") < 0) {
    AError = QStringLiteral("cannot write server.ext");
    return false;
  }
  extensions.close();
  const QStringList ecKey = {QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                             QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes")};
  return Run(openssl,
             QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + ecKey +
                 QStringList{QStringLiteral("-keyout"), QStringLiteral("ca.key"), QStringLiteral("-out"),
                             QStringLiteral("ca.pem"), QStringLiteral("-days"), QStringLiteral("2"),
                             QStringLiteral("-subj"), QStringLiteral("/CN=Corvale Test CA")},
             AFolder, AError) &&
         Run(openssl,
             QStringList{QStringLiteral("req")} + ecKey +
                 QStringList{QStringLiteral("-keyout"), QStringLiteral("server.key"), QStringLiteral("-out"),
                             QStringLiteral("server.csr"), QStringLiteral("-subj"), QStringLiteral("/CN=localhost")},
             AFolder, AError) &&
         Run(openssl,
             {QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"), QStringLiteral("server.csr"),
              QStringLiteral("-CA"), QStringLiteral("ca.pem"), QStringLiteral("-CAkey"), QStringLiteral("ca.key"),
              QStringLiteral("-CAcreateserial"), QStringLiteral("-out"), QStringLiteral("server.pem"),
              QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-extfile"), QStringLiteral("server.ext")},
             AFolder, AError);
}

int TLoopbackSmtpServer::DeadPort()
{
  // A port the system hands out and that is closed again at once.
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof(address);
  int port = 1;
  if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
    port = ntohs(address.sin_port);
  if (fd >= 0)
    ::close(fd);
  return port;
}
