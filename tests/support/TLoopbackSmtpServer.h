// SPDX-License-Identifier: GPL-3.0-or-later
// A real SMTP server (aiosmtpd) on loopback for one test, and the certificates it can present.
#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class TLoopbackSmtpServer
{
public:
  struct TOptions
  {
    QString CertificateFile; // with KeyFile: offer STARTTLS (or speak TLS at once, ImplicitTls)
    QString KeyFile;
    bool ImplicitTls = false;
    QString UserName; // the one login the server accepts
    QString Password;
    bool OfferCramMd5 = false;
    QStringList RejectedRecipients;
  };

  TLoopbackSmtpServer() = default;
  ~TLoopbackSmtpServer();
  TLoopbackSmtpServer(const TLoopbackSmtpServer&) = delete;
  TLoopbackSmtpServer& operator=(const TLoopbackSmtpServer&) = delete;

  // Why the server cannot run here, or empty when it can.
  static QString Missing();
  [[nodiscard]] bool Start(const TOptions& AOptions, QString& AError);
  void Stop();
  int Port() const { return FPort; }

  // The messages taken so far; each holds the envelope, the AUTH mechanism, "tls", and the
  // decoded subject, headers, body and attachments (base64 data).
  QList<QJsonObject> Messages() const;

  // A certificate authority and a server certificate for 127.0.0.1 and localhost, made with
  // openssl in AFolder. False with AError when openssl failed.
  [[nodiscard]] static bool MakeCertificates(const QString& AFolder, QString& AError);
  static QString CaFile(const QString& AFolder) { return AFolder + QStringLiteral("/ca.pem"); }
  static QString CertificateFile(const QString& AFolder) { return AFolder + QStringLiteral("/server.pem"); }
  static QString KeyFile(const QString& AFolder) { return AFolder + QStringLiteral("/server.key"); }

  // A loopback port where nothing listens.
  static int DeadPort();

private:
  QTemporaryDir FFolder;
  QProcess FProcess;
  int FPort = 0;
};
