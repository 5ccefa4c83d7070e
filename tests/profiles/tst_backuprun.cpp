// SPDX-License-Identifier: GPL-3.0-or-later
// Runs of the manager over real ZIP backups in a temporary folder: queue statuses, the order of
// outward effects, cancellation, the progress arithmetic and what is saved after each profile.
#include "engine/TBackup.h"
#include "platform/TRegistry.h"
#include "profiles/TBackupProfileManager.h"
#include "sysinfo/DateTime.h"
#include "sysinfo/TFormatSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString ProgramKey = QStringLiteral("\\Software\\Quenfield\\Orvel");

// Records the log e-mails asked for.
class TRunManager : public TBackupProfileManager
{
public:
  QStringList LogEmails;
  bool EmailSucceeds = true;

protected:
  bool SendBackupLogEmail(TBackupProfile* AProfile) override
  {
    LogEmails << AProfile->ProfileName();
    return EmailSucceeds;
  }
};

QList<TBackupProfileQueueStatus> Statuses(TBackupProfileManager& AManager)
{
  QList<TBackupProfileQueueStatus> result;
  for (int i = 0; i < AManager.Queue().Count(); ++i)
    result << AManager.Queue().GetItem(i)->QueueStatus();
  return result;
}

QString ReadText(const QString& APath)
{
  QFile file(APath);
  if (!file.open(QIODevice::ReadOnly))
    return QString();
  return QString::fromUtf8(file.readAll());
}

} // namespace

class TestBackupRun : public QObject
{
  Q_OBJECT

private slots:
  void initTestCase();
  void init();
  void completeRunInItsOrder();
  void cancelledProfileAsksAboutTheRest_data();
  void cancelledProfileAsksAboutTheRest();
  void cancelledLastProfileAsksNothing();
  void declinedProgramsSkipTheProfile();
  void totalProgressRoundsHalfToEven();
  void failedProfileKeepsLastBackupAndIsSaved();
  void missingOrDamagedProfileFailsItsEntry();
  void missingPluginFolderFailsAfterSaving();
  void errorInAHandlerEndsTheRun();
  void sevenZipProfileListsItsVolumes();
  void profileNamesNeverMakeAPath();

private:
  // A profile backing up the source folder into <name>.zip, saved in the store.
  TBackupProfile* AddProfile(TBackupProfileManager& AManager, const QString& AName);
  void SetUp(TBackupProfileManager& AManager);
  QString Path(const QString& AName) const { return FDir->filePath(AName); }
  std::unique_ptr<QTemporaryDir> FDir;
  QStringList FLog;
};

void TestBackupRun::initTestCase()
{
  TFormatSettings::Load(QLocale(QLocale::English, QLocale::UnitedKingdom));
}

void TestBackupRun::init()
{
  FDir = std::make_unique<QTemporaryDir>();
  QVERIFY(FDir->isValid());
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(Path(QStringLiteral("home"))));
  qputenv("XDG_CONFIG_DIRS", QFile::encodeName(Path(QStringLiteral("etc"))));
  QVERIFY(QDir().mkpath(Path(QStringLiteral("source/sub"))));
  QVERIFY(QDir().mkpath(Path(QStringLiteral("logs"))));
  for (int i = 0; i < 20; ++i) {
    QFile file(Path(QStringLiteral("source/sub/file%1.txt").arg(i)));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, char('a' + i)));
  }
  FLog.clear();
}

void TestBackupRun::SetUp(TBackupProfileManager& AManager)
{
  AManager.SetRegistryKey(ProgramKey);
  AManager.SetLogFolder(Path(QStringLiteral("logs")) + QLatin1Char('/'));
  AManager.SetPluginFolder(Path(QStringLiteral("plugins")) + QLatin1Char('/'));
  AManager.OnLog = [this](QObject*, const QString& AMessage) { FLog << AMessage; };
}

TBackupProfile* TestBackupRun::AddProfile(TBackupProfileManager& AManager, const QString& AName)
{
  TBackupProfile* profile = AManager.NewProfile(AName);
  profile->SetZipType(zZip);
  profile->SetZipFile(Path(AName + QStringLiteral(".zip")));
  profile->Files().Add(Path(QStringLiteral("source")) + QLatin1Char('/'), QStringLiteral("*.*"), true);
  profile->SetLogEmailEnabled(true);
  if (!profile->SaveProfile())
    return nullptr;
  AManager.QueueAdd(AName);
  return profile;
}

void TestBackupRun::completeRunInItsOrder()
{
  TRunManager m;
  SetUp(m);
  QStringList events;
  m.OnCloseActiveApplications = [&](QObject*, const QStringList&, bool, bool&) { events << "close"; };
  m.OnStartBackup = [&](QObject*, TBackupProfile* AProfile) { events << "start " + AProfile->ProfileName(); };
  m.OnPluginsStart = [&](QObject*) { events << "plugins start"; };
  m.OnPluginsFinished = [&](QObject*) { events << "plugins finished"; };
  m.OnFinishBackup = [&](QObject*, TBackupProfile* AProfile) {
    // The run log is closed and the profile saved before this.
    QVERIFY(!ReadText(AProfile->LogFile()).isEmpty());
    events << "finish " + AProfile->ProfileName();
  };
  int lastTotal = -1;
  m.OnTotalProgress = [&](QObject*, const QString&, int AProgress) {
    QVERIFY(AProgress >= lastTotal);
    lastTotal = AProgress;
  };
  QVERIFY(AddProfile(m, QStringLiteral("One")));
  QVERIFY(AddProfile(m, QStringLiteral("Two")));
  FLog.clear();

  QVERIFY(m.Backup());
  QVERIFY(!m.IsBackupActive());
  QCOMPARE(Statuses(m), (QList<TBackupProfileQueueStatus>{qsComplete, qsComplete}));
  QCOMPARE(lastTotal, 100);
  QCOMPARE(events, (QStringList{"close", "start One", "plugins start", "plugins finished", "finish One", "close",
                                "start Two", "plugins start", "plugins finished", "finish Two"}));
  QCOMPARE(FLog.first(), QStringLiteral("Starting Backup..."));
  QCOMPARE(FLog.last(), QStringLiteral("Backup Complete."));
  QVERIFY(FLog.contains(QStringLiteral("Backup Complete: One, Zip Files: ") + Path(QStringLiteral("One.zip")) +
                        QStringLiteral("\r\n")));
  QCOMPARE(m.LogEmails, (QStringList{"One", "Two"}));

  // Each profile's run log is its own, and a later run replaces it.
  const QString logFile = Path(QStringLiteral("logs/One.log"));
  QCOMPARE(m.ProfileByName(QStringLiteral("One"))->LogFile(), logFile);
  const QString firstLog = ReadText(logFile);
  QVERIFY2(firstLog.contains(QStringLiteral("Added 20 files to ") + Path(QStringLiteral("One.zip"))),
           qPrintable(firstLog));
  QVERIFY(QFile::exists(Path(QStringLiteral("plugins"))));

  // LastBackup was stamped and stored.
  TRunManager reloaded;
  SetUp(reloaded);
  reloaded.LoadProfiles();
  QVERIFY(reloaded.ProfileByName(QStringLiteral("Two")));
  QVERIFY(reloaded.ProfileByName(QStringLiteral("Two"))->LastBackup() > 0);
  m.OnTotalProgress = nullptr;
  m.ClearQueue();
  m.QueueAdd(QStringLiteral("One"));
  QVERIFY(m.Backup());
  QCOMPARE(ReadText(logFile).count(QStringLiteral("----------------------------")),
           firstLog.count(QStringLiteral("----------------------------")));
}

void TestBackupRun::cancelledProfileAsksAboutTheRest_data()
{
  QTest::addColumn<bool>("cancelAll");
  QTest::addColumn<QList<TBackupProfileQueueStatus>>("statuses");
  QTest::newRow("go on") << false << QList<TBackupProfileQueueStatus>{qsComplete, qsCancelled, qsComplete};
  QTest::newRow("stop") << true << QList<TBackupProfileQueueStatus>{qsComplete, qsCancelled, qsPending};
}

void TestBackupRun::cancelledProfileAsksAboutTheRest()
{
  QFETCH(bool, cancelAll);
  QFETCH(QList<TBackupProfileQueueStatus>, statuses);
  TRunManager m;
  SetUp(m);
  QString running;
  int confirmations = 0;
  int questions = 0;
  m.OnStartBackup = [&](QObject*, TBackupProfile* AProfile) { running = AProfile->ProfileName(); };
  m.OnCancelConfirm = [&](QObject*, bool& ACancel) {
    // The first request is declined, the second confirmed.
    ACancel = ++confirmations > 1;
  };
  m.OnBackupProgress = [&](QObject*, const QString&, int) {
    if (running == QStringLiteral("Two") && confirmations < 2)
      m.CancelBackup();
  };
  m.OnCancelQueueRequest = [&](QObject*, bool& ACancelAll) {
    ++questions;
    QVERIFY(ACancelAll);
    ACancelAll = cancelAll;
  };
  for (const char* name : {"One", "Two", "Three"})
    QVERIFY(AddProfile(m, QString::fromLatin1(name)));
  const TDateTime before = m.ProfileByName(QStringLiteral("Two"))->LastBackup();

  QVERIFY(!m.Backup());
  QCOMPARE(Statuses(m), statuses);
  QCOMPARE(confirmations, 2);
  QCOMPARE(questions, 1);
  QCOMPARE(FLog.count(QStringLiteral("Backup Cancel Request...")), 1);
  QVERIFY(FLog.contains(QStringLiteral("Backup Cancelled: Two")));
  QCOMPARE(m.ProfileByName(QStringLiteral("Two"))->LastBackup(), before);
  QVERIFY(!QFile::exists(Path(QStringLiteral("Two.zip"))));
  QCOMPARE(QFile::exists(Path(QStringLiteral("Three.zip"))), !cancelAll);
  QCOMPARE(FLog.last(), QStringLiteral("Backup Complete."));
}

void TestBackupRun::cancelledLastProfileAsksNothing()
{
  TRunManager m;
  SetUp(m);
  QString running;
  bool asked = false;
  m.OnStartBackup = [&](QObject*, TBackupProfile* AProfile) { running = AProfile->ProfileName(); };
  m.OnBackupProgress = [&](QObject*, const QString&, int) {
    if (running == QStringLiteral("Two"))
      m.CancelBackup();
  };
  m.OnCancelQueueRequest = [&](QObject*, bool&) { asked = true; };
  QVERIFY(AddProfile(m, QStringLiteral("One")));
  QVERIFY(AddProfile(m, QStringLiteral("Two")));
  QVERIFY(!m.Backup());
  QVERIFY(!asked);
  QCOMPARE(Statuses(m), (QList<TBackupProfileQueueStatus>{qsComplete, qsCancelled}));
}

void TestBackupRun::declinedProgramsSkipTheProfile()
{
  TRunManager m;
  SetUp(m);
  QStringList started;
  QStringList finished;
  m.OnCloseActiveApplications = [&](QObject*, const QStringList& APrograms, bool AGracefully, bool& AContinue) {
    if (APrograms.contains(QStringLiteral("Mail=mail")))
      AContinue = false;
    QVERIFY(AGracefully);
  };
  m.OnStartBackup = [&](QObject*, TBackupProfile* AProfile) { started << AProfile->ProfileName(); };
  m.OnFinishBackup = [&](QObject*, TBackupProfile* AProfile) { finished << AProfile->ProfileName(); };
  TBackupProfile* busy = AddProfile(m, QStringLiteral("Busy"));
  QVERIFY(busy);
  busy->ActivePrograms() << QStringLiteral("Mail=mail");
  busy->SetCloseGracefully(true);
  TBackupProfile* free = AddProfile(m, QStringLiteral("Free"));
  QVERIFY(free);
  free->SetCloseGracefully(true);

  QVERIFY(m.Backup());
  QCOMPARE(Statuses(m), (QList<TBackupProfileQueueStatus>{qsCancelled, qsComplete}));
  QCOMPARE(started, QStringList{"Free"});
  QCOMPARE(finished, QStringList{"Free"});
  QCOMPARE(m.LogEmails, QStringList{"Free"});
  QVERIFY(FLog.contains(QStringLiteral("Backup Cancelled: Busy")));
  QVERIFY(!QFile::exists(Path(QStringLiteral("logs/Busy.log"))));
}

void TestBackupRun::totalProgressRoundsHalfToEven()
{
  TRunManager m;
  SetUp(m);
  QString running;
  QStringList totals;
  bool reported = false;
  m.OnStartBackup = [&](QObject*, TBackupProfile* AProfile) {
    running = AProfile->ProfileName();
    reported = false;
  };
  // Once per profile, the engine reports its profile at exactly 50 %.
  m.OnBackupProgress = [&](QObject*, const QString&, int) {
    if (reported || (running != QStringLiteral("P1") && running != QStringLiteral("P3")))
      return;
    reported = true;
    m.BackupEngine().OnTotalProgress(&m.BackupEngine(), QStringLiteral("Half"), 50);
  };
  m.OnTotalProgress = [&](QObject*, const QString& AMessage, int AProgress) {
    if (reported && totals.size() < (running == QStringLiteral("P1") ? 1 : 2)) {
      QCOMPARE(AMessage, QString::number(AProgress) + QLatin1Char('%'));
      totals << AMessage;
    }
  };
  for (const char* name : {"P1", "P2", "P3", "P4"})
    QVERIFY(AddProfile(m, QString::fromLatin1(name)));
  QVERIFY(m.Backup());
  QCOMPARE(totals, (QStringList{"12%", "62%"}));
}

void TestBackupRun::failedProfileKeepsLastBackupAndIsSaved()
{
  TRunManager m;
  SetUp(m);
  m.EmailSucceeds = false;
  QStringList debug;
  m.OnDebug = [&](QObject*, const QString& AProcedure, const QString& AMessage) {
    if (AMessage.startsWith(QStringLiteral("SendBackupLogEmail")))
      debug << AProcedure + ": " + AMessage;
  };
  TBackupProfile* broken = AddProfile(m, QStringLiteral("Broken"));
  QVERIFY(broken);
  const TDateTime lastGood = DateTimeFromQDateTime(QDateTime(QDate(2020, 5, 1), QTime(8, 0)));
  broken->SetLastBackup(lastGood);
  // The archive's folder is a regular file: the engine cannot write there.
  QFile blocker(Path(QStringLiteral("blocker")));
  QVERIFY(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  broken->SetZipFile(Path(QStringLiteral("blocker/Broken.zip")));
  broken->SetDescription(QStringLiteral("changed before the run"));
  TBackupProfile* quiet = AddProfile(m, QStringLiteral("Quiet"));
  QVERIFY(quiet);
  quiet->SetLogEmailEnabled(false);

  QVERIFY(!m.Backup());
  QCOMPARE(Statuses(m), (QList<TBackupProfileQueueStatus>{qsFailed, qsComplete}));
  QVERIFY(FLog.contains(QStringLiteral("Backup Failed: Broken")));
  QCOMPARE(broken->LastBackup(), lastGood);
  QCOMPARE(broken->LogFile(), Path(QStringLiteral("logs/Broken.log")));
  QVERIFY(QFile::exists(broken->LogFile()));
  QCOMPARE(m.LogEmails, QStringList{"Broken"});
  QCOMPARE(debug, QStringList{"ExecuteBackup: SendBackupLogEmail: Failed"});

  TRunManager reloaded;
  SetUp(reloaded);
  reloaded.LoadProfiles();
  const TBackupProfile* stored = reloaded.ProfileByName(QStringLiteral("Broken"));
  QVERIFY(stored);
  QCOMPARE(stored->Description(), QStringLiteral("changed before the run"));
  QCOMPARE(stored->LastBackup(), lastGood);
}

void TestBackupRun::missingOrDamagedProfileFailsItsEntry()
{
  TRunManager m;
  SetUp(m);
  QList<TBackupProfile*> finished;
  m.OnFinishBackup = [&](QObject*, TBackupProfile* AProfile) { finished << AProfile; };
  m.QueueAdd(QStringLiteral("Gone"));
  QVERIFY(AddProfile(m, QStringLiteral("Here")));
  QVERIFY(!m.Backup());
  QCOMPARE(Statuses(m), (QList<TBackupProfileQueueStatus>{qsFailed, qsComplete}));
  QVERIFY(FLog.contains(QStringLiteral("Backup Failed: Gone, Error: Unable to load backup profile \"Gone\"")));
  QCOMPARE(finished.size(), 2);
  QVERIFY(finished.first() == nullptr);
  QVERIFY(m.LogEmails == QStringList{"Here"});

  // A profile whose stored values could not be read is not backed up from what is left of it.
  TRegistry reg;
  QVERIFY(reg.OpenKey(ProgramKey + QStringLiteral("\\Here"), false));
  reg.WriteString(QStringLiteral("AlertDays"), QStringLiteral("seven"));
  reg.CloseKey();
  TRunManager again;
  SetUp(again);
  again.LoadProfiles();
  again.QueueAdd(QStringLiteral("Here"));
  QVERIFY(!again.Backup());
  QCOMPARE(Statuses(again), QList<TBackupProfileQueueStatus>{qsFailed});
  const QString line = FLog.filter(QStringLiteral("Backup Failed: Here, Error: ")).value(0);
  QVERIFY2(line.startsWith(QStringLiteral("Backup Failed: Here, Error: Unable to load backup profile \"Here\": ")),
           qPrintable(line));
  QVERIFY(again.LogEmails.isEmpty());
}

void TestBackupRun::missingPluginFolderFailsAfterSaving()
{
  TRunManager m;
  SetUp(m);
  QFile blocker(Path(QStringLiteral("plugins")));
  QVERIFY(blocker.open(QIODevice::WriteOnly)); // a file where the folder should be
  blocker.close();
  TBackupProfile* profile = AddProfile(m, QStringLiteral("One"));
  QVERIFY(profile);
  profile->SetDescription(QStringLiteral("saved anyway"));
  QVERIFY(!m.Backup());
  QCOMPARE(Statuses(m), QList<TBackupProfileQueueStatus>{qsFailed});
  QVERIFY(FLog.contains(QStringLiteral("Backup Failed: One, Error: Failed to locate plugin folder \"") +
                        Path(QStringLiteral("plugins")) + QStringLiteral("/\"")));
  QCOMPARE(m.LogEmails, QStringList{"One"});
  TRunManager reloaded;
  SetUp(reloaded);
  reloaded.LoadProfiles();
  QCOMPARE(reloaded.ProfileByName(QStringLiteral("One"))->Description(), QStringLiteral("saved anyway"));
}

void TestBackupRun::errorInAHandlerEndsTheRun()
{
  TRunManager m;
  SetUp(m);
  m.OnStartBackup = [](QObject*, TBackupProfile*) { throw std::runtime_error("handler"); };
  QVERIFY(AddProfile(m, QStringLiteral("One")));
  QVERIFY_THROWS_EXCEPTION(std::runtime_error, m.Backup());
  QVERIFY(!m.IsBackupActive());
  QVERIFY(!m.ProcessTimer().Running());
  QVERIFY(!FLog.contains(QStringLiteral("Backup Complete.")));
}

void TestBackupRun::sevenZipProfileListsItsVolumes()
{
  TRunManager m;
  SetUp(m);
  TBackupProfile* profile = AddProfile(m, QStringLiteral("Seven"));
  QVERIFY(profile);
  profile->SetZipType(zSeven);
  profile->SetZipFile(Path(QStringLiteral("Seven.7z")));
  // 20 files of 4 KiB, stored as they are, spread over volumes of 30000 bytes.
  profile->SetCompressionLevel(clNone);
  profile->SetSpanningSize(30000);
  profile->SetPassword(QStringLiteral("secret"));
  QVERIFY(profile->SaveProfile());
  FLog.clear();

  QVERIFY(m.Backup());
  QCOMPARE(Statuses(m), QList<TBackupProfileQueueStatus>{qsComplete});
  const QString base = Path(QStringLiteral("Seven.7z"));
  QVERIFY(FLog.contains(QStringLiteral("Backup Complete: Seven, Zip Files: ") + base + QStringLiteral(".001\r\n") +
                        base + QStringLiteral(".002\r\n") + base + QStringLiteral(".003\r\n")));
  QCOMPARE(QFileInfo(base + QStringLiteral(".001")).size(), 30000);
  QVERIFY(!QFile::exists(base + QStringLiteral(".004")));
  const QString runLog = ReadText(Path(QStringLiteral("logs/Seven.log")));
  QVERIFY2(runLog.contains(Path(QStringLiteral("source/sub/file7.txt")) + QStringLiteral(" (4096)")),
           qPrintable(runLog));
  QVERIFY(runLog.contains(QStringLiteral("Backup Complete.")));
}

void TestBackupRun::profileNamesNeverMakeAPath()
{
  TRunManager m;
  SetUp(m);
  // Names an imported profile may carry; "a/b" is an ordinary name a user may type.
  const QStringList names{QStringLiteral("../escape"), QStringLiteral("a/b"), QStringLiteral("line\nbreak"),
                          QStringLiteral("..")};
  for (const QString& name : names) {
    TBackupProfile* profile = m.NewProfile(name);
    profile->SetZipType(zZip);
    profile->SetZipFile(Path(QStringLiteral("archive.zip")));
    profile->Files().Add(Path(QStringLiteral("source")) + QLatin1Char('/'), QStringLiteral("*.*"), true);
    QVERIFY(profile->SaveProfile());
    m.QueueAdd(name);
  }
  QVERIFY(QFile::copy(QStringLiteral("/dev/null"), Path(QStringLiteral("escape.log"))));
  QVERIFY(m.Backup());
  QCOMPARE(Statuses(m), (QList<TBackupProfileQueueStatus>{qsComplete, qsComplete, qsComplete, qsComplete}));
  QStringList logs = QDir(Path(QStringLiteral("logs"))).entryList(QDir::Files | QDir::Hidden);
  logs.sort();
  QStringList expected{QStringLiteral("%2E..log"), QStringLiteral("%2E.%2Fescape.log"), QStringLiteral("a%2Fb.log"),
                       QStringLiteral("line%0Abreak.log")};
  expected.sort();
  QCOMPARE(logs, expected);
  QCOMPARE(QFileInfo(Path(QStringLiteral("escape.log"))).size(), 0);
  QVERIFY(ReadText(Path(QStringLiteral("logs/a%2Fb.log"))).contains(QStringLiteral("Backup Complete.")));
}

QTEST_GUILESS_MAIN(TestBackupRun)
#include "tst_backuprun.moc"
