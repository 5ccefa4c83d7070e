// SPDX-License-Identifier: GPL-3.0-or-later
#include "profiles/EBackupProfileManagerException.h"
#include "profiles/TBackupProfileManager.h"
#include "sysinfo/DateTime.h"
#include "sysinfo/TClock.h"
#include "sysinfo/TFormatSettings.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString ProgramKey = QStringLiteral("\\Software\\Quenfield\\Orvel");

TDateTime At(int AYear, int AMonth, int ADay, int AHour = 0, int AMinute = 0, int ASecond = 0, int AMSec = 0)
{
  return DateTimeFromQDateTime(QDateTime(QDate(AYear, AMonth, ADay), QTime(AHour, AMinute, ASecond, AMSec)));
}

QStringList QueuedNames(const TBackupProfileManager& AManager)
{
  QStringList names;
  for (int i = 0; i < AManager.Queue().Count(); ++i)
    names << AManager.Queue().GetItem(i)->ProfileName();
  return names;
}

// Counts the alert e-mails the manager asks for and lets each succeed or fail.
class TAlertCountingManager : public TBackupProfileManager
{
public:
  QStringList Sent;
  bool Succeed = true;

protected:
  bool SendBackupAlertEmail(TBackupProfile* AProfile) override
  {
    Sent << AProfile->ProfileName();
    return Succeed;
  }
};

} // namespace

class TestProfileManager : public QObject
{
  Q_OBJECT

private slots:
  void initTestCase();
  void init();
  void cleanup() { TClock::SetSource({}); }
  void newProfileNamesAndDefaults();
  void deleteProfile();
  void queueKeepsNamesOnce();
  void fillOperations();
  void isBackupOverdueAtItsBoundaries();
  void queueOverdueCountsWholeDays();
  void checkBackupAlertsCountsAndSpacesEmails();
  void saveReportsEachUnsavedProfile();

private:
  void SetNow(TDateTime ANow);
  std::unique_ptr<QTemporaryDir> FHome;
  TDateTime FNow = 0;
};

void TestProfileManager::initTestCase()
{
  TFormatSettings::Load(QLocale(QLocale::English, QLocale::UnitedKingdom));
}

void TestProfileManager::init()
{
  FHome = std::make_unique<QTemporaryDir>();
  QVERIFY(FHome->isValid());
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(FHome->filePath(QStringLiteral("home"))));
  qputenv("XDG_CONFIG_DIRS", QFile::encodeName(FHome->filePath(QStringLiteral("etc"))));
}

void TestProfileManager::SetNow(TDateTime ANow)
{
  FNow = ANow;
  TClock::SetSource([this] { return QDateTimeFromDateTime(FNow); });
}

void TestProfileManager::newProfileNamesAndDefaults()
{
  TBackupProfileManager m;
  m.SetRegistryKey(ProgramKey);
  QStringList log;
  m.OnLog = [&log](QObject*, const QString& AMessage) { log << AMessage; };
  {
    TBackupProfile* defaults = m.NewProfile(QStringLiteral("Defaults"));
    defaults->SetAlertDays(4);
    QVERIFY(defaults->SaveAsDefaults());
    QVERIFY(m.DeleteProfile(QStringLiteral("Defaults")) == false); // never saved itself
  }
  QCOMPARE(m.NewProfile(QStringLiteral("Backup Profile"))->ProfileName(), QStringLiteral("Backup Profile"));
  QCOMPARE(m.NewProfile(QStringLiteral("Backup Profile"))->ProfileName(), QStringLiteral("Backup Profile 1"));
  TBackupProfile* third = m.NewProfile(QStringLiteral("Backup Profile"));
  QCOMPARE(third->ProfileName(), QStringLiteral("Backup Profile 2"));
  QCOMPARE(m.ProfileCount(), 3);
  QCOMPARE(m.GetProfileByIndex(2), third);
  QCOMPARE(m.ProfileByName(QStringLiteral("Backup Profile 2")), third);
  QVERIFY(!m.ProfileByName(QStringLiteral("backup profile 2")));
  // It carries the manager's storage and callbacks, took the defaults, and is not saved.
  QCOMPARE(third->RegistryKey(), ProgramKey);
  QCOMPARE(third->AlertDays(), 4);
  QVERIFY(log.contains(QStringLiteral("Loading Profile: .Default")));
  TRegistry reg;
  QVERIFY(!reg.KeyExists(ProgramKey + QStringLiteral("\\Backup Profile 2")));
}

void TestProfileManager::deleteProfile()
{
  TBackupProfileManager m;
  m.SetRegistryKey(ProgramKey);
  QVERIFY(m.NewProfile(QStringLiteral("Saved"))->SaveProfile());
  m.NewProfile(QStringLiteral("Unsaved"));
  QVERIFY(!m.DeleteProfile(QStringLiteral("Nowhere")));
  QCOMPARE(m.ProfileCount(), 2);
  QVERIFY(!m.DeleteProfile(QStringLiteral("Unsaved"))); // no stored key, yet it leaves the collection
  QCOMPARE(m.ProfileCount(), 1);
  QVERIFY(m.DeleteProfile(QStringLiteral("Saved")));
  QCOMPARE(m.ProfileCount(), 0);
  TRegistry reg;
  QVERIFY(!reg.KeyExists(ProgramKey + QStringLiteral("\\Saved")));
}

void TestProfileManager::queueKeepsNamesOnce()
{
  TBackupProfileManager m;
  m.QueueAdd(QStringLiteral("Daily"));
  m.QueueAdd(QStringLiteral("daily")); // names compare exactly
  m.QueueAdd(QStringLiteral("Not a profile"));
  try {
    m.QueueAdd(QStringLiteral("Daily"));
    QFAIL("no exception");
  } catch (const EBackupProfileManagerException& e) {
    QCOMPARE(e.Message(), QStringLiteral("Profile already queued \"Daily\""));
  }
  QCOMPARE(QueuedNames(m), (QStringList{"Daily", "daily", "Not a profile"}));
  const TBackupProfileQueueItem* item = m.Queue().ProfileByName(QStringLiteral("daily"));
  QVERIFY(item);
  QCOMPARE(item->QueueStatus(), qsPending);
  QCOMPARE(m.Queue().FindProfileIndex(QStringLiteral("Not a profile")), 2);
  QCOMPARE(m.Queue().FindProfileIndex(QStringLiteral("DAILY")), -1);
  m.Queue().GetItem(0)->SetQueueStatus(qsComplete);
  m.Queue().GetItem(1)->SetQueueStatus(qsInProgress);
  m.Queue().GetItem(2)->SetQueueStatus(qsCancelled);
  QCOMPARE(m.Queue().FinishedCount(), 2);
  m.ClearQueue();
  QCOMPARE(m.Queue().Count(), 0);
}

void TestProfileManager::fillOperations()
{
  TBackupProfileManager m;
  QStringList debug;
  m.OnDebug = [&debug](QObject*, const QString& AProcedure, const QString& AMessage) {
    if (AProcedure == QStringLiteral("QueueAllEnabled"))
      debug << AMessage;
  };
  m.NewProfile(QStringLiteral("One"));
  m.NewProfile(QStringLiteral("Two"))->SetEnabled(false);
  m.NewProfile(QStringLiteral("Three"));
  m.QueueAdd(QStringLiteral("Stale"));
  m.QueueAllEnabled();
  QCOMPARE(QueuedNames(m), (QStringList{"One", "Three"}));
  QCOMPARE(debug, (QStringList{"Checking profile: One", "Checking profile: Two", "Checking profile: Three"}));
  debug.clear();
  m.QueueAll();
  QCOMPARE(QueuedNames(m), (QStringList{"One", "Two", "Three"}));
  QVERIFY(debug.isEmpty());

  // A rename can leave two profiles of one name: the fill ends at the second.
  m.GetProfileByIndex(2)->SetProfileName(QStringLiteral("One"));
  QVERIFY_THROWS_EXCEPTION(EBackupProfileManagerException, m.QueueAll());
  QCOMPARE(QueuedNames(m), (QStringList{"One", "Two"}));
}

void TestProfileManager::isBackupOverdueAtItsBoundaries()
{
  TBackupProfile p;
  p.SetProfileName(QStringLiteral("Daily"));
  QStringList debug;
  p.OnDebug = [&debug](QObject*, const QString& AProcedure, const QString& AMessage) {
    QCOMPARE(AProcedure, QStringLiteral("IsBackupOverdue"));
    debug << AMessage;
  };
  {
    // Never backed up: overdue at once.
    SetNow(At(2015, 7, 1, 9));
    QVERIFY(p.IsBackupOverdue());
  }
  p.SetLastBackup(At(2015, 7, 1, 14));
  p.SetAlertDays(7);
  {
    // Due at 2015-07-08 14:00; compared with today at 00:00, so overdue from 2015-07-09.
    SetNow(At(2015, 7, 8, 23, 59, 59));
    debug.clear();
    QVERIFY(!p.IsBackupOverdue());
    QCOMPARE(debug,
             (QStringList{"Daily, Last Backup: 01/07/2015", "Daily, Due Date: 08/07/2015", "Daily, Result: False"}));
    SetNow(At(2015, 7, 9));
    QVERIFY(p.IsBackupOverdue());
  }
  {
    // A backup stored at 00:00 is overdue on the seventh day.
    p.SetLastBackup(At(2015, 7, 1));
    SetNow(At(2015, 7, 7, 23, 59));
    QVERIFY(!p.IsBackupOverdue());
    SetNow(At(2015, 7, 8));
    QVERIFY(p.IsBackupOverdue());
  }
  {
    p.SetEnabled(false);
    debug.clear();
    QVERIFY(!p.IsBackupOverdue());
    QCOMPARE(debug, QStringList{"Daily, Result: False"});
    p.SetEnabled(true);
    p.SetShowAlerts(false);
    QVERIFY(!p.IsBackupOverdue());
  }
}

void TestProfileManager::queueOverdueCountsWholeDays()
{
  TBackupProfileManager m;
  TBackupProfile* due = m.NewProfile(QStringLiteral("Due"));
  due->SetLastBackup(At(2015, 7, 1, 14));
  TBackupProfile* disabled = m.NewProfile(QStringLiteral("Disabled"));
  disabled->SetLastBackup(At(2015, 7, 1, 14));
  disabled->SetEnabled(false);
  m.NewProfile(QStringLiteral("Quiet"))->SetShowAlerts(false); // never backed up, but no alerts
  m.NewProfile(QStringLiteral("Never"));

  SetNow(At(2015, 7, 8, 13, 59, 59, 999));
  m.QueueOverdue();
  QCOMPARE(QueuedNames(m), QStringList{"Never"});
  SetNow(At(2015, 7, 8, 14));
  m.QueueOverdue();
  QCOMPARE(QueuedNames(m), (QStringList{"Due", "Disabled", "Never"}));
  // The other rule still says not overdue on that day, and never for a disabled profile.
  QVERIFY(!due->IsBackupOverdue());
  SetNow(At(2015, 7, 9));
  QVERIFY(due->IsBackupOverdue());
  QVERIFY(!disabled->IsBackupOverdue());
}

void TestProfileManager::checkBackupAlertsCountsAndSpacesEmails()
{
  SetNow(At(2015, 7, 20, 12));
  TAlertCountingManager m;
  m.SetRegistryKey(ProgramKey);
  QList<int> counts;
  m.OnBackupAlerts = [&counts](QObject*, int ACount) { counts << ACount; };

  // Nothing overdue: no call.
  m.NewProfile(QStringLiteral("Fresh"))->SetLastBackup(At(2015, 7, 19));
  m.CheckBackupAlerts();
  QVERIFY(counts.isEmpty());

  TBackupProfile* mailing = m.NewProfile(QStringLiteral("Mailing"));
  mailing->SetAlertEmailEnabled(true);
  mailing->SetAlertEmailLastRun(FNow - (24.5 / 24));
  m.NewProfile(QStringLiteral("Second"));
  m.NewProfile(QStringLiteral("Third"));
  m.NewProfile(QStringLiteral("Disabled"))->SetEnabled(false);
  m.CheckBackupAlerts();
  QCOMPARE(counts, QList<int>{3});
  QVERIFY(m.Sent.isEmpty());

  // 25 whole hours after the last one it goes out, and the time is stored.
  SetNow(FNow + 0.5 / 24);
  m.CheckBackupAlerts();
  QCOMPARE(m.Sent, QStringList{"Mailing"});
  QCOMPARE(mailing->AlertEmailLastRun(), FNow);
  {
    TRegistry reg;
    QVERIFY(reg.OpenKeyReadOnly(ProgramKey + QStringLiteral("\\Mailing")));
    QCOMPARE(reg.ReadDateTime(QStringLiteral("AlertEmailLastRun")), FNow);
  }

  // A failed send changes nothing, so the next check tries again; one never sent goes at once.
  m.Sent.clear();
  m.Succeed = false;
  mailing->SetAlertEmailLastRun(0);
  m.CheckBackupAlerts();
  m.CheckBackupAlerts();
  QCOMPARE(m.Sent, (QStringList{"Mailing", "Mailing"}));
  QCOMPARE(mailing->AlertEmailLastRun(), 0.0);

  // Until alert e-mails exist, the manager itself sends none and stores nothing.
  TBackupProfileManager plain;
  TBackupProfile* p = plain.NewProfile(QStringLiteral("Mailing"));
  p->SetAlertEmailEnabled(true);
  int reported = 0;
  plain.OnBackupAlerts = [&reported](QObject*, int ACount) { reported = ACount; };
  plain.CheckBackupAlerts();
  QCOMPARE(reported, 1);
  QCOMPARE(p->AlertEmailLastRun(), 0.0);
}

void TestProfileManager::saveReportsEachUnsavedProfile()
{
  TRegistry reg;
  {
    // A profile that cannot be saved is reported by name; the others are still saved.
    TBackupProfileManager m;
    m.SetRegistryKey(ProgramKey);
    QStringList log;
    m.OnLog = [&log](QObject*, const QString& AMessage) { log << AMessage; };
    m.NewProfile(QStringLiteral("Nameless"))->SetProfileName(QString());
    m.NewProfile(QStringLiteral("Monthly"));
    QVERIFY(!m.SaveProfiles());
    QVERIFY(log.contains(QStringLiteral("Failed to save profile: ")));
    QVERIFY(reg.KeyExists(ProgramKey + QStringLiteral("\\Monthly")));
  }
}

QTEST_GUILESS_MAIN(TestProfileManager)
#include "tst_profilemanager.moc"
