// SPDX-License-Identifier: GPL-3.0-or-later
// A profile's log and alert e-mails through the manager, delivered to a real SMTP server on
// loopback: the keywords of a profile, the server chosen, the 25-hour rule and failed sends.
#include "profiles/TBackupProfileManager.h"
#include "support/TLoopbackSmtpServer.h"
#include "sysinfo/DateTime.h"
#include "sysinfo/TClock.h"
#include "sysinfo/TFormatSettings.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString ProgramKey = QStringLiteral("\\Software\\Quenfield\\Orvel");
const QDateTime Start(QDate(2026, 3, 2), QTime(9, 30));

QString Body(const QJsonObject& AMessage)
{
  return AMessage.value(QStringLiteral("body")).toString();
}

} // namespace

class TestProfileEmail : public QObject
{
  Q_OBJECT

private slots:
  void initTestCase();
  void init();
  void cleanup();
  void logEmailCarriesTheRunLog();
  void failedLogEmailIsLoggedAndLeavesTheRunAlone();
  void alertEmailsAreAtLeast25HoursApart();
  void profileServerOrProgramServer();

private:
  TBackupProfile* AddProfile(const QString& AName, int APort);
  QString Path(const QString& AName) const { return FDir->filePath(AName); }
  void SetNow(const QDateTime& AMoment)
  {
    TClock::SetSource([AMoment] { return AMoment; });
  }

  std::unique_ptr<QTemporaryDir> FDir;
  std::unique_ptr<TBackupProfileManager> FManager;
  QStringList FLog;
  QStringList FDebug;
};

void TestProfileEmail::initTestCase()
{
  const QString missing = TLoopbackSmtpServer::Missing();
  if (!missing.isEmpty())
    QSKIP(qPrintable(missing));
  TFormatSettings::Load(QLocale(QLocale::English, QLocale::UnitedKingdom));
}

void TestProfileEmail::init()
{
  FDir = std::make_unique<QTemporaryDir>();
  QVERIFY(FDir->isValid());
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(Path(QStringLiteral("home"))));
  qputenv("XDG_CONFIG_DIRS", QFile::encodeName(Path(QStringLiteral("etc"))));
  // The folder's name puts a keyword into the run log ("Scanning: ...").
  QVERIFY(QDir().mkpath(Path(QStringLiteral("src %zipfile%"))));
  QVERIFY(QDir().mkpath(Path(QStringLiteral("logs"))));
  QFile file(Path(QStringLiteral("src %zipfile%/a.txt")));
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write("data");
  file.close();
  FLog.clear();
  FDebug.clear();
  FManager = std::make_unique<TBackupProfileManager>();
  FManager->SetRegistryKey(ProgramKey);
  FManager->SetLogFolder(Path(QStringLiteral("logs")) + QLatin1Char('/'));
  FManager->SetPluginFolder(Path(QStringLiteral("plugins")) + QLatin1Char('/'));
  FManager->OnLog = [this](QObject*, const QString& AMessage) { FLog << AMessage; };
  FManager->OnDebug = [this](QObject*, const QString&, const QString& AMessage) { FDebug << AMessage; };
  SetNow(Start);
}

void TestProfileEmail::cleanup()
{
  FManager.reset();
  TClock::SetSource({});
}

TBackupProfile* TestProfileEmail::AddProfile(const QString& AName, int APort)
{
  FManager->SMTPSettings().Hostname = QStringLiteral("127.0.0.1");
  FManager->SMTPSettings().Port = APort;
  TBackupProfile* profile = FManager->NewProfile(AName);
  profile->SetZipType(zZip);
  profile->SetZipFile(Path(AName + QStringLiteral(".zip")));
  profile->Files().Add(Path(QStringLiteral("src %zipfile%")) + QLatin1Char('/'), QStringLiteral("*.*"), true);
  profile->SetAlertDays(7);
  for (TEmailTemplate* details : {&profile->LogEmailDetails(), &profile->AlertEmailDetails()}) {
    details->Recipients = QStringLiteral("admin@example.org");
    details->SenderAddress = QStringLiteral("backup@example.org");
    details->SenderName = QStringLiteral("Corvale");
  }
  profile->LogEmailDetails().Subject = QStringLiteral("Backup %ProfileName% finished");
  profile->LogEmailDetails().Body =
      QStringLiteral("Days: %daysoverdue%\r\nLast: %lastbackup%\r\nFile: %ZIPFILE%\r\n%log%");
  profile->AlertEmailDetails().Subject = QStringLiteral("Backup %profilename% overdue");
  profile->AlertEmailDetails().Body = QStringLiteral("Last: %lastbackup%, %daysoverdue% days");
  return profile;
}

void TestProfileEmail::logEmailCarriesTheRunLog()
{
  TLoopbackSmtpServer server;
  QString error;
  QVERIFY2(server.Start({}, error), qPrintable(error));
  TBackupProfile* profile = AddProfile(QStringLiteral("Daily"), server.Port());
  profile->SetLogEmailEnabled(true);
  QVERIFY(profile->SaveProfile());
  FManager->QueueAdd(QStringLiteral("Daily"));
  // Time moves on between the stamp of the run and its e-mail.
  auto ticks = std::make_shared<int>(0);
  TClock::SetSource([ticks] { return Start.addMSecs(++*ticks); });
  QVERIFY(FManager->Backup());
  QVERIFY(FDebug.contains(QStringLiteral("SendBackupLogEmail: Ok")));

  QCOMPARE(server.Messages().size(), 1);
  const QJsonObject message = server.Messages().first();
  QCOMPARE(message.value(QStringLiteral("subject")).toString(), QStringLiteral("Backup Daily finished"));
  const QString body = Body(message);
  // Right after a run the due moment lies just under AlertDays ahead.
  QVERIFY2(body.startsWith(QStringLiteral("Days: 6\r\nLast: 02/03/2026\r\nFile: ") + Path(QStringLiteral("Daily.zip"))),
           qPrintable(body));
  // The log is in the body as it was written: its keyword-like text is left alone.
  QFile log(Path(QStringLiteral("logs/Daily.log")));
  QVERIFY(log.open(QIODevice::ReadOnly));
  const QByteArray logBytes = log.readAll();
  QVERIFY(logBytes.contains("%zipfile%"));
  QVERIFY(body.contains(QStringLiteral("Scanning: ") + Path(QStringLiteral("src %zipfile%"))));
  QVERIFY(body.contains(QString::fromUtf8(logBytes)));
  const QJsonArray attachments = message.value(QStringLiteral("attachments")).toArray();
  QCOMPARE(attachments.size(), 1);
  QCOMPARE(attachments.first()[QStringLiteral("name")].toString(), QStringLiteral("Daily.log"));
  QCOMPARE(QByteArray::fromBase64(attachments.first()[QStringLiteral("data")].toString().toLatin1()), logBytes);
}

void TestProfileEmail::failedLogEmailIsLoggedAndLeavesTheRunAlone()
{
  TLoopbackSmtpServer server;
  QString error;
  TLoopbackSmtpServer::TOptions options;
  options.RejectedRecipients << QStringLiteral("admin@example.org");
  QVERIFY2(server.Start(options, error), qPrintable(error));
  TBackupProfile* rejected = AddProfile(QStringLiteral("Rejected"), server.Port());
  rejected->SetLogEmailEnabled(true);
  QVERIFY(rejected->SaveProfile());
  TBackupProfile* down = FManager->NewProfile(QStringLiteral("Down"));
  down->Files().Add(Path(QStringLiteral("src %zipfile%")) + QLatin1Char('/'), QStringLiteral("*.*"), true);
  down->SetZipFile(Path(QStringLiteral("Down.zip")));
  down->SetLogEmailEnabled(true);
  down->LogEmailDetails().Recipients = QStringLiteral("admin@example.org");
  down->SetCustomSMTPSettings(true);
  down->SMTPSettings().Hostname = QStringLiteral("127.0.0.1");
  down->SMTPSettings().Port = TLoopbackSmtpServer::DeadPort();
  QVERIFY(down->SaveProfile());
  FManager->QueueAdd(QStringLiteral("Rejected"));
  FManager->QueueAdd(QStringLiteral("Down"));

  QVERIFY(FManager->Backup());
  QCOMPARE(FManager->Queue().GetItem(0)->QueueStatus(), qsComplete);
  QCOMPARE(FManager->Queue().GetItem(1)->QueueStatus(), qsComplete);
  QCOMPARE(FDebug.count(QStringLiteral("SendBackupLogEmail: Failed")), 2);
  // Each reason is one line of the application log. The refusal is matched with its command:
  // the dead port's number may contain "550" too.
  const QStringList refusals = FLog.filter(QStringLiteral("RCPT failed: 550"));
  QCOMPARE(refusals.size(), 1);
  QVERIFY(!refusals.first().contains(QLatin1Char('\n')));
  QVERIFY2(FLog.filter(QStringLiteral("Cannot connect to the SMTP server 127.0.0.1:")).size() == 1,
           qPrintable(FLog.join(QLatin1Char('\n'))));
  QVERIFY(server.Messages().isEmpty());
}

void TestProfileEmail::alertEmailsAreAtLeast25HoursApart()
{
  TLoopbackSmtpServer server;
  QString error;
  QVERIFY2(server.Start({}, error), qPrintable(error));
  TBackupProfile* profile = AddProfile(QStringLiteral("Never"), server.Port());
  profile->SetAlertEmailEnabled(true);
  QVERIFY(profile->SaveProfile());
  QList<int> counts;
  FManager->OnBackupAlerts = [&](QObject*, int ACount) { counts << ACount; };

  FManager->CheckBackupAlerts();
  QCOMPARE(server.Messages().size(), 1);
  QCOMPARE(server.Messages().first().value(QStringLiteral("subject")).toString(),
           QStringLiteral("Backup Never overdue"));
  // Never backed up: the epoch's date and a large number of days.
  QVERIFY(Body(server.Messages().first()).startsWith(QStringLiteral("Last: 30/12/1899, 46")));
  TBackupProfile stored;
  stored.SetRegistryKey(ProgramKey);
  QVERIFY(stored.LoadProfile(QStringLiteral("Never")));
  QCOMPARE(stored.AlertEmailLastRun(), DateTimeFromQDateTime(Start));

  SetNow(Start.addSecs(24 * 3600 + 30 * 60));
  FManager->CheckBackupAlerts();
  QCOMPARE(server.Messages().size(), 1);
  SetNow(Start.addSecs(25 * 3600));
  FManager->CheckBackupAlerts();
  QCOMPARE(server.Messages().size(), 2);
  QCOMPARE(counts, QList<int>({1, 1, 1}));

  // A failed send keeps the last time, so that the next check tries again.
  server.Stop();
  SetNow(Start.addDays(3));
  FManager->CheckBackupAlerts();
  QCOMPARE(profile->AlertEmailLastRun(), DateTimeFromQDateTime(Start.addSecs(25 * 3600)));
}

void TestProfileEmail::profileServerOrProgramServer()
{
  TLoopbackSmtpServer program;
  TLoopbackSmtpServer own;
  QString error;
  QVERIFY2(program.Start({}, error), qPrintable(error));
  QVERIFY2(own.Start({}, error), qPrintable(error));
  TBackupProfile* shared = AddProfile(QStringLiteral("Shared"), program.Port());
  shared->SetAlertEmailEnabled(true);
  TBackupProfile* custom = AddProfile(QStringLiteral("Custom"), program.Port());
  custom->SetAlertEmailEnabled(true);
  custom->SetCustomSMTPSettings(true);
  custom->SMTPSettings().Hostname = QStringLiteral("localhost");
  custom->SMTPSettings().Port = own.Port();
  FManager->CheckBackupAlerts();
  QCOMPARE(program.Messages().size(), 1);
  QCOMPARE(program.Messages().first().value(QStringLiteral("subject")).toString(),
           QStringLiteral("Backup Shared overdue"));
  QCOMPARE(own.Messages().size(), 1);
  QCOMPARE(own.Messages().first().value(QStringLiteral("subject")).toString(), QStringLiteral("Backup Custom overdue"));
}

QTEST_GUILESS_MAIN(TestProfileEmail)
#include "tst_profileemail.moc"
