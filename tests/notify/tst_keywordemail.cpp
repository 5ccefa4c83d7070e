// SPDX-License-Identifier: GPL-3.0-or-later
// The keyword e-mail against a real SMTP server on loopback: keywords, headers and attachments,
// STARTTLS with a certificate of our own, the logins, and the ways a send can fail.
#include "notify/EKeywordEmailError.h"
#include "notify/TKeywordEmail.h"
#include "support/TLoopbackSmtpServer.h"

#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QTest>

namespace {

void AddKeyword(TKeywordEmail& AEmail, const QString& AKeyword, const QString& AValue)
{
  TEmailKeywordItem* item = AEmail.Add();
  item->SetKeyword(AKeyword);
  item->SetValue(AValue);
}

void Address(TKeywordEmail& AEmail, int APort)
{
  AEmail.Server().Hostname = QStringLiteral("127.0.0.1");
  AEmail.Server().Port = APort;
  AEmail.Message().SenderAddress = QStringLiteral("backup@example.org");
  AEmail.Message().Recipients = QStringLiteral("admin@example.org");
  AEmail.Message().Subject = QStringLiteral("Test");
}

} // namespace

class TestKeywordEmail : public QObject
{
  Q_OBJECT

private slots:
  void initTestCase();
  void cleanup();
  void keywordsFillEverythingButTheAddresses();
  void startTlsIsUsedAndItsCertificateChecked();
  void loginsAreTheChosenMechanism();
  void loginIsNeverSentInClearToARemoteServer();
  void failuresBeforeAndAfterConnecting();

private:
  QTemporaryDir FCertificates;
};

void TestKeywordEmail::initTestCase()
{
  const QString missing = TLoopbackSmtpServer::Missing();
  if (!missing.isEmpty())
    QSKIP(qPrintable(missing));
  QString error;
  QVERIFY2(TLoopbackSmtpServer::MakeCertificates(FCertificates.path(), error), qPrintable(error));
}

void TestKeywordEmail::cleanup()
{
  TKeywordEmail::SetTrustedCertificates(QString());
  TKeywordEmail::SetLoopbackCheck({});
}

void TestKeywordEmail::keywordsFillEverythingButTheAddresses()
{
  TLoopbackSmtpServer server;
  QString error;
  QVERIFY2(server.Start({}, error), qPrintable(error));
  QTemporaryDir dir;
  QFile attachment(dir.filePath(QStringLiteral("Daily.log")));
  QVERIFY(attachment.open(QIODevice::WriteOnly));
  attachment.write("line one\r\nline two\r\n");
  attachment.close();

  TKeywordEmail email;
  Address(email, server.Port());
  email.Message().Recipients = QStringLiteral("%name%@example.org, Ops <ops@example.org>; third@example.org");
  email.Message().Subject = QStringLiteral("Backup %ProfileName% overdue — ünïcode");
  email.Message().SenderName = QStringLiteral("Corvale on %HOST%");
  email.Message().Body = QStringLiteral("Profile: %profilename%\r\n%chain%");
  email.Attachments() << dir.filePath(QStringLiteral("%name%.log"));
  int calls = 0;
  email.OnGetKeywords = [&](TKeywordEmail& ASender) {
    ++calls;
    ASender.Clear();
    AddKeyword(ASender, QStringLiteral("%chain%"), QStringLiteral("%NAME% via chain"));
    AddKeyword(ASender, QStringLiteral("%profilename%"), QStringLiteral("Daily"));
    AddKeyword(ASender, QStringLiteral("%name%"), QStringLiteral("Daily"));
    AddKeyword(ASender, QStringLiteral("%host%"), QStringLiteral("box"));
    AddKeyword(ASender, QStringLiteral("%log%"), QStringLiteral("text with %name% inside"));
  };
  QVERIFY(email.Send());
  QCOMPARE(calls, 1);
  QVERIFY(email.LastReply().startsWith(QStringLiteral("250")));

  const QList<QJsonObject> messages = server.Messages();
  QCOMPARE(messages.size(), 1);
  const QJsonObject message = messages.first();
  QCOMPARE(message.value(QStringLiteral("subject")).toString(), QStringLiteral("Backup Daily overdue — ünïcode"));
  QVERIFY(message.value(QStringLiteral("from_header")).toString().startsWith(QStringLiteral("Corvale on box")));
  // Addresses keep their keywords; the later keyword replaces what an earlier one inserted.
  QCOMPARE(message.value(QStringLiteral("to")).toArray().first().toString(), QStringLiteral("%name%@example.org"));
  QCOMPARE(message.value(QStringLiteral("to")).toArray().size(), 3);
  QCOMPARE(message.value(QStringLiteral("body")).toString(), QStringLiteral("Profile: Daily\r\nDaily via chain\r\n"));
  const QJsonArray attachments = message.value(QStringLiteral("attachments")).toArray();
  QCOMPARE(attachments.size(), 1);
  QCOMPARE(attachments.first()[QStringLiteral("name")].toString(), QStringLiteral("Daily.log"));
  QCOMPARE(QByteArray::fromBase64(attachments.first()[QStringLiteral("data")].toString().toLatin1()),
           QByteArray("line one\r\nline two\r\n"));

  // A value with line breaks in the subject cannot add headers of its own.
  TKeywordEmail injected;
  Address(injected, server.Port());
  injected.Message().Subject = QStringLiteral("%x%");
  AddKeyword(injected, QStringLiteral("%x%"), QStringLiteral("a\r\nBcc: victim@example.org"));
  QVERIFY(injected.Send());
  QCOMPARE(server.Messages().at(1).value(QStringLiteral("to")).toArray().size(), 1);
  QCOMPARE(server.Messages().at(1).value(QStringLiteral("subject")).toString(),
           QStringLiteral("a  Bcc: victim@example.org"));
}

void TestKeywordEmail::startTlsIsUsedAndItsCertificateChecked()
{
  TLoopbackSmtpServer server;
  QString error;
  TLoopbackSmtpServer::TOptions options;
  options.CertificateFile = TLoopbackSmtpServer::CertificateFile(FCertificates.path());
  options.KeyFile = TLoopbackSmtpServer::KeyFile(FCertificates.path());
  QVERIFY2(server.Start(options, error), qPrintable(error));

  {
    // A certificate nobody vouches for: connected, then refused, and nothing is delivered.
    TKeywordEmail email;
    Address(email, server.Port());
    QVERIFY_THROWS_EXCEPTION(EKeywordEmailError, (void)email.Send());
    QVERIFY(!email.LastError().isEmpty());
    QVERIFY(server.Messages().isEmpty());
  }
  {
    TKeywordEmail::SetTrustedCertificates(TLoopbackSmtpServer::CaFile(FCertificates.path()));
    TKeywordEmail email;
    Address(email, server.Port());
    QVERIFY(email.Send());
    QCOMPARE(server.Messages().size(), 1);
    QVERIFY(server.Messages().first().value(QStringLiteral("tls")).toBool());
  }
}

void TestKeywordEmail::loginsAreTheChosenMechanism()
{
  TLoopbackSmtpServer server;
  QString error;
  TLoopbackSmtpServer::TOptions options;
  options.UserName = QStringLiteral("backup");
  options.Password = QStringLiteral("s3cret");
  options.OfferCramMd5 = true;
  QVERIFY2(server.Start(options, error), qPrintable(error));

  auto send = [&](bool ASecure, const QString& APassword) {
    TKeywordEmail email;
    Address(email, server.Port());
    email.Server().Authentication = true;
    email.Server().Secure = ASecure;
    email.Server().Username = QStringLiteral("backup");
    email.Server().Password = APassword;
    return email.Send();
  };
  // On loopback the login may go without TLS: LOGIN by default, the strongest shared
  // mechanism (here CRAM-MD5, which never sends the password) for the secure login.
  QVERIFY(send(false, QStringLiteral("s3cret")));
  QVERIFY(send(true, QStringLiteral("s3cret")));
  QCOMPARE(server.Messages().size(), 2);
  QCOMPARE(server.Messages().at(0).value(QStringLiteral("mechanism")).toString(), QStringLiteral("LOGIN"));
  QCOMPARE(server.Messages().at(1).value(QStringLiteral("mechanism")).toString(), QStringLiteral("CRAM-MD5"));
  // A wrong password is an error once connected.
  QVERIFY_THROWS_EXCEPTION(EKeywordEmailError, (void)send(false, QStringLiteral("wrong")));
  QCOMPARE(server.Messages().size(), 2);

  // Without authentication, user name and password play no part.
  TKeywordEmail plain;
  Address(plain, server.Port());
  plain.Server().Secure = true;
  plain.Server().Username = QStringLiteral("nobody");
  plain.Server().Password = QStringLiteral("wrong");
  QVERIFY(plain.Send());
  QCOMPARE(server.Messages().at(2).value(QStringLiteral("mechanism")).toString(), QString());
}

void TestKeywordEmail::loginIsNeverSentInClearToARemoteServer()
{
  TKeywordEmail::SetLoopbackCheck([](const QString&) { return false; });
  TKeywordEmail::SetTrustedCertificates(TLoopbackSmtpServer::CaFile(FCertificates.path()));
  TLoopbackSmtpServer::TOptions options;
  options.UserName = QStringLiteral("backup");
  options.Password = QStringLiteral("s3cret");
  auto login = [&](TKeywordEmail& AEmail, int APort) {
    Address(AEmail, APort);
    AEmail.Server().Authentication = true;
    AEmail.Server().Username = options.UserName;
    AEmail.Server().Password = options.Password;
  };
  {
    TLoopbackSmtpServer server;
    QString error;
    QVERIFY2(server.Start(options, error), qPrintable(error));
    TKeywordEmail email;
    login(email, server.Port());
    try {
      (void)email.Send();
      QFAIL("the login went out without TLS");
    } catch (const EKeywordEmailError& e) {
      QVERIFY2(e.Message().contains(QStringLiteral("offers no TLS")), qPrintable(e.Message()));
    }
    QVERIFY(server.Messages().isEmpty());
    // "Secure Connection" without a login asks for TLS just as much.
    TKeywordEmail secure;
    Address(secure, server.Port());
    secure.Server().Secure = true;
    try {
      (void)secure.Send();
      QFAIL("the secure mail went out without TLS");
    } catch (const EKeywordEmailError& e) {
      QVERIFY2(e.Message().endsWith(QStringLiteral("offers no TLS, and a secure connection was asked for.")),
               qPrintable(e.Message()));
    }
    QVERIFY(server.Messages().isEmpty());
  }
  {
    // The same server with STARTTLS takes the login over TLS.
    options.CertificateFile = TLoopbackSmtpServer::CertificateFile(FCertificates.path());
    options.KeyFile = TLoopbackSmtpServer::KeyFile(FCertificates.path());
    TLoopbackSmtpServer server;
    QString error;
    QVERIFY2(server.Start(options, error), qPrintable(error));
    TKeywordEmail email;
    login(email, server.Port());
    QVERIFY(email.Send());
    QCOMPARE(server.Messages().size(), 1);
    QVERIFY(server.Messages().first().value(QStringLiteral("tls")).toBool());
    QCOMPARE(server.Messages().first().value(QStringLiteral("mechanism")).toString(), QStringLiteral("LOGIN"));
  }
  // The real check knows loopback from elsewhere.
  TKeywordEmail::SetLoopbackCheck({});
  QVERIFY(TKeywordEmail::IsLoopbackHost(QStringLiteral("127.0.0.1")));
  QVERIFY(TKeywordEmail::IsLoopbackHost(QStringLiteral("::1")));
  QVERIFY(TKeywordEmail::IsLoopbackHost(QStringLiteral("localhost")));
  QVERIFY(!TKeywordEmail::IsLoopbackHost(QStringLiteral("192.0.2.1")));
  // Only literal names: no name is trusted for what it resolves to today.
  QVERIFY(TKeywordEmail::IsLoopbackHost(QStringLiteral("127.8.9.10")));
  QVERIFY(TKeywordEmail::IsLoopbackHost(QStringLiteral("LocalHost")));
  for (const char* other : {"127.0.0.1.example", "localhost.localdomain", "ip6-localhost", "127.1", "::2"})
    QVERIFY2(!TKeywordEmail::IsLoopbackHost(QString::fromLatin1(other)), other);
}

void TestKeywordEmail::failuresBeforeAndAfterConnecting()
{
  {
    // Nobody listens: false, and nothing escapes.
    TKeywordEmail email;
    Address(email, TLoopbackSmtpServer::DeadPort());
    QVERIFY(!email.Send());
    QVERIFY(!email.LastError().isEmpty());
  }
  {
    TKeywordEmail email;
    Address(email, 25);
    email.Server().Hostname = QStringLiteral("no-such-host.invalid");
    QVERIFY(!email.Send());
  }
  TLoopbackSmtpServer server;
  QString error;
  TLoopbackSmtpServer::TOptions options;
  options.RejectedRecipients << QStringLiteral("gone@example.org");
  QVERIFY2(server.Start(options, error), qPrintable(error));
  {
    TKeywordEmail email;
    Address(email, server.Port());
    email.Message().Recipients = QStringLiteral("gone@example.org");
    try {
      (void)email.Send();
      QFAIL("a rejected recipient was reported as sent");
    } catch (const EKeywordEmailError& e) {
      QVERIFY2(e.Message().contains(QStringLiteral("550")), qPrintable(e.Message()));
    }
  }
  {
    // A missing attachment is an error, not a message without it.
    TKeywordEmail email;
    Address(email, server.Port());
    email.Attachments() << QStringLiteral("/nonexistent/file.log");
    QVERIFY_THROWS_EXCEPTION(EKeywordEmailError, (void)email.Send());
  }
  QVERIFY(server.Messages().isEmpty());
}

QTEST_GUILESS_MAIN(TestKeywordEmail)
#include "tst_keywordemail.moc"
