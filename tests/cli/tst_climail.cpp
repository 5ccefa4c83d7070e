// SPDX-License-Identifier: GPL-3.0-or-later
// "corvale-cli mail-test" against a real SMTP server on loopback.
#include "profiles/TBackupProfileManager.h"
#include "settings/TestHome.h"
#include "support/TLoopbackSmtpServer.h"
#include "tests/cli/CliRun.h"

#include <QJsonArray>
#include <QTest>

namespace {

const QString ProgramKey = QStringLiteral("\\Software\\Quenfield\\Orvel");

} // namespace

class TestCliMail : public QObject
{
  Q_OBJECT

private slots:
  void mailTestSaysWhatTheServerAnswered();
};

void TestCliMail::mailTestSaysWhatTheServerAnswered()
{
  const QString missing = TLoopbackSmtpServer::Missing();
  if (!missing.isEmpty())
    QSKIP(qPrintable(missing));
  TTestHome home;
  QVERIFY(home.IsValid());
  qputenv("XDG_RUNTIME_DIR", QFile::encodeName(home.Path(QStringLiteral("run"))));
  TLoopbackSmtpServer server;
  QString error;
  QVERIFY2(server.Start({}, error), qPrintable(error));
  {
    TBackupProfileManager manager;
    manager.SetRegistryKey(ProgramKey);
    TBackupProfile* profile = manager.NewProfile(QStringLiteral("Docs"));
    profile->SetLogEmailEnabled(true);
    profile->LogEmailDetails().Recipients = QStringLiteral("admin@example.org");
    profile->LogEmailDetails().Subject = QStringLiteral("Log of %profilename%");
    profile->LogEmailDetails().Body = QStringLiteral("%log%");
    profile->SetCustomSMTPSettings(true);
    profile->SMTPSettings().Hostname = QStringLiteral("127.0.0.1");
    profile->SMTPSettings().Port = server.Port();
    QVERIFY(profile->SaveProfile());
  }

  const TCliResult sent = RunCli({QStringLiteral("mail-test"), QStringLiteral("Docs")});
  QVERIFY2(sent.Status == 0, qPrintable(sent.Out + sent.Error));
  QVERIFY2(sent.Out.contains(QStringLiteral("The server answered: 250")), qPrintable(sent.Out));
  QCOMPARE(server.Messages().size(), 1);
  QCOMPARE(server.Messages().first().value(QStringLiteral("subject")).toString(), QStringLiteral("Log of Docs"));
  // No run yet: no attachment, and the body says the log is missing.
  QVERIFY(server.Messages().first().value(QStringLiteral("attachments")).toArray().isEmpty());
  QVERIFY(
      server.Messages().first().value(QStringLiteral("body")).toString().contains(QStringLiteral(" does not exists.")));

  server.Stop();
  const TCliResult down = RunCli({QStringLiteral("mail-test"), QStringLiteral("Docs")});
  QCOMPARE(down.Status, 1);
  QVERIFY2(down.Error.contains(QStringLiteral("Not sent: ")), qPrintable(down.Error));

  QCOMPARE(RunCli({QStringLiteral("mail-test"), QStringLiteral("Nobody")}).Status, 3);
  QCOMPARE(RunCli({QStringLiteral("mail-test")}).Status, 3);
}

QTEST_GUILESS_MAIN(TestCliMail)
#include "tst_climail.moc"
