// SPDX-License-Identifier: GPL-3.0-or-later
// The Backup Alerts window headless: its list and details, the close question, and Backup.
#include "profiles/TBackupProfileManager.h"
#include "sysinfo/DateTime.h"
#include "sysinfo/TClock.h"
#include "sysinfo/TFormatSettings.h"
#include "ui/TMessageBox.h"
#include "ui/TQueueRunner.h"
#include "ui/TfrmBackupAlert.h"

#include <QCalendarWidget>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

namespace {

const QDateTime Now(QDate(2026, 3, 12), QTime(9, 0));

class TRecordingRunner : public TQueueRunner
{
public:
  explicit TRecordingRunner(TBackupProfileManager& AManager)
    : FManager(AManager)
  {}
  void RunQueue() override
  {
    QStringList names;
    for (int i = 0; i < FManager.Queue().Count(); ++i)
      names << FManager.Queue().GetItem(i)->ProfileName();
    Runs << names;
  }
  QList<QStringList> Runs;

private:
  TBackupProfileManager& FManager;
};

} // namespace

class TestBackupAlert : public QObject
{
  Q_OBJECT

private slots:
  void initTestCase();
  void init();
  void cleanup();
  void listsOverdueProfilesWithTheirDetails();
  void closingWithoutBackupAsksFirst();
  void backupQueuesTheTickedProfilesInOrder();

private:
  // Runs AWhile on the shown dialog, then ends it with Escape and Yes if it is still open.
  bool ExecuteWith(TfrmBackupAlert& ADialog, const std::function<void()>& AWhile);

  QTemporaryDir FHome;
  std::unique_ptr<TBackupProfileManager> FManager;
  std::unique_ptr<TRecordingRunner> FRunner;
};

void TestBackupAlert::initTestCase()
{
  QVERIFY(FHome.isValid());
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(FHome.filePath(QStringLiteral("config"))));
  qputenv("XDG_CONFIG_DIRS", QFile::encodeName(FHome.filePath(QStringLiteral("etc"))));
  TFormatSettings::Load(QLocale(QLocale::English, QLocale::UnitedKingdom));
}

void TestBackupAlert::init()
{
  TClock::SetSource([] { return Now; });
  FManager = std::make_unique<TBackupProfileManager>();
  FRunner = std::make_unique<TRecordingRunner>(*FManager);
  // Overdue: 36 hours past its due moment; never backed up; not overdue; overdue but switched off.
  TBackupProfile* late = FManager->NewProfile(QStringLiteral("Late"));
  late->SetAlertDays(7);
  late->SetLastBackup(DateTimeFromQDateTime(Now.addSecs(-(7 * 24 + 36) * 3600)));
  FManager->NewProfile(QStringLiteral("Never"))->SetLastBackup(0);
  FManager->NewProfile(QStringLiteral("Fresh"))->SetLastBackup(DateTimeFromQDateTime(Now.addDays(-1)));
  TBackupProfile* off = FManager->NewProfile(QStringLiteral("Off"));
  off->SetEnabled(false);
  TMessageBox::Reset();
  TMessageBox::SetHeadless(true);
}

void TestBackupAlert::cleanup()
{
  TClock::SetSource({});
  TMessageBox::Reset();
  TMessageBox::SetHeadless(false);
}

bool TestBackupAlert::ExecuteWith(TfrmBackupAlert& ADialog, const std::function<void()>& AWhile)
{
  QTimer::singleShot(0, &ADialog, [&] {
    AWhile();
    if (ADialog.isVisible()) {
      TMessageBox::QueueAnswer(TMessageBox::maYes);
      QTest::keyClick(&ADialog, Qt::Key_Escape);
    }
  });
  return ADialog.Execute();
}

void TestBackupAlert::listsOverdueProfilesWithTheirDetails()
{
  TfrmBackupAlert dialog(*FManager, FRunner.get(), [] { return DateTimeFromQDateTime(Now); });
  auto* list = dialog.findChild<QTreeWidget*>(QStringLiteral("ListViewBackupProfiles"));
  auto* calendar = dialog.findChild<QCalendarWidget*>(QStringLiteral("Calendar"));
  auto* days = dialog.findChild<QLabel*>(QStringLiteral("lblDaysOverdue"));
  QVERIFY(list && calendar && days);
  ExecuteWith(dialog, [&] {
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Backup Alerts"));
    QVERIFY(dialog.IsOnTop());
    QCOMPARE(list->topLevelItemCount(), 2);
    QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("Late"));
    QCOMPARE(list->topLevelItem(1)->text(0), QStringLiteral("Never"));
    QCOMPARE(list->topLevelItem(0)->checkState(0), Qt::Checked);
    QCOMPARE(dialog.CheckedCount(), 2);
    // Nothing selected yet.
    QVERIFY(!calendar->isVisible());
    QCOMPARE(days->text(), QStringLiteral("No previous backup details."));

    list->setCurrentItem(list->topLevelItem(0));
    QVERIFY(calendar->isVisible());
    QCOMPARE(calendar->selectedDate(), Now.addSecs(-(7 * 24 + 36) * 3600).date());
    QCOMPARE(days->text(), QStringLiteral("1 day(s) overdue.\nDue: 10/03/2026"));

    list->setCurrentItem(list->topLevelItem(1));
    QVERIFY(!calendar->isVisible());
    QCOMPARE(days->text(), QStringLiteral("No previous backup details."));

    // A row whose profile went away meanwhile shows no details.
    (void)FManager->DeleteProfile(QStringLiteral("Late"));
    list->setCurrentItem(list->topLevelItem(0));
    QVERIFY(!calendar->isVisible());
  });
}

void TestBackupAlert::closingWithoutBackupAsksFirst()
{
  TfrmBackupAlert dialog(*FManager, FRunner.get());
  {
    // Ignore, then No: still open. Escape, then Yes: closed, and nothing runs.
    const bool result = ExecuteWith(dialog, [&] {
      TMessageBox::QueueAnswer(TMessageBox::maNo);
      dialog.findChild<QPushButton*>(QStringLiteral("btnCancel"))->click();
      QVERIFY(dialog.isVisible());
      QVERIFY(dialog.IsOnTop());
      QCOMPARE(TMessageBox::Shown().size(), 1);
      QCOMPARE(TMessageBox::Shown().first().Kind, TMessageBox::mkWarning);
      QCOMPARE(
          TMessageBox::Shown().first().Text,
          QStringLiteral("It is stronly recommended that you backup your data, are you sure you want to continue?"));
    });
    QVERIFY(!result);
    QCOMPARE(TMessageBox::Shown().size(), 2);
    QVERIFY(FRunner->Runs.isEmpty());
  }
  {
    // The close box asks too, and a second showing asks again.
    const bool result = ExecuteWith(dialog, [&] {
      TMessageBox::QueueAnswer(TMessageBox::maNo);
      dialog.close();
      QVERIFY(dialog.isVisible());
    });
    QVERIFY(!result);
    QCOMPARE(TMessageBox::Shown().size(), 4);
  }
}

void TestBackupAlert::backupQueuesTheTickedProfilesInOrder()
{
  FManager->NewProfile(QStringLiteral("Later"))->SetLastBackup(0);
  FManager->QueueAdd(QStringLiteral("Fresh")); // an old queue is replaced
  TfrmBackupAlert dialog(*FManager, FRunner.get());
  const bool result = ExecuteWith(dialog, [&] {
    auto* list = dialog.findChild<QTreeWidget*>(QStringLiteral("ListViewBackupProfiles"));
    auto* backup = dialog.findChild<QPushButton*>(QStringLiteral("btnOk"));
    QCOMPARE(list->topLevelItemCount(), 3);
    for (int i = 0; i < 3; ++i)
      list->topLevelItem(i)->setCheckState(0, Qt::Unchecked);
    QVERIFY(!backup->isEnabled());
    list->topLevelItem(2)->setCheckState(0, Qt::Checked);
    list->topLevelItem(0)->setCheckState(0, Qt::Checked);
    QVERIFY(backup->isEnabled());
    backup->click();
  });
  QVERIFY(result);
  QVERIFY(TMessageBox::Shown().isEmpty());
  QCOMPARE(FRunner->Runs, QList<QStringList>({{QStringLiteral("Late"), QStringLiteral("Later")}}));
}

QTEST_MAIN(TestBackupAlert)
#include "tst_backupalert.moc"
