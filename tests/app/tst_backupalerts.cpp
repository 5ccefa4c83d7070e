// SPDX-License-Identifier: GPL-3.0-or-later
// Overdue alerts in the program: the 13-hour rule on the program's clock, the balloon's click,
// and the Backup Alerts window behind the main window's dialogs.
#include "app/TDesktopIntegration.h"
#include "app/TShellDialogWindows.h"
#include "app/TfrmOrvel.h"
#include "platform/TFileManager.h"
#include "platform/TProgramWindows.h"
#include "profiles/TBackupProfileManager.h"
#include "settings/TLog.h"
#include "settings/TProgramSettings.h"
#include "sysinfo/DateTime.h"
#include "sysinfo/TClock.h"
#include "tests/support/OffscreenNoise.h"
#include "tests/support/TFakeSession.h"
#include "tests/support/TShellRig.h"
#include "ui/TMessageBox.h"
#include "ui/TfrmBackupAlert.h"
#include "update/TAutoUpdate.h"

#include <QApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

class TestBackupAlerts : public QObject
{
  Q_OBJECT

private slots:
  void initTestCase();
  void cleanup();
  void checksAtMostEvery13Hours();
  void balloonClickOpensTheAlertsUnlessADialogIsOpen();
  void alertWindowQueuesTheTickedOverdueProfiles();

private:
  QTemporaryDir FHome;
};

void TestBackupAlerts::initTestCase()
{
  HideOffscreenNoise();
  QStandardPaths::setTestModeEnabled(true);
  QVERIFY(FHome.isValid());
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(FHome.filePath(QStringLiteral("config"))));
  qputenv("XDG_CONFIG_DIRS", QFile::encodeName(FHome.filePath(QStringLiteral("etc"))));
  TMessageBox::SetHeadless(true);
}

void TestBackupAlerts::cleanup()
{
  TClock::SetSource({});
  TMessageBox::Reset();
}

void TestBackupAlerts::checksAtMostEvery13Hours()
{
  QDateTime now(QDate(2026, 3, 2), QTime(8, 0));
  TClock::SetSource([&now] { return now; });
  TShellRig rig(std::make_unique<TFakeSession>());
  int checks = 0;
  bool active = false;
  rig.Fake.OnCheckBackupAlerts = [&] { ++checks; };
  rig.Fake.OnIsBackupActive = [&] { return active; };

  rig.Form.OverdueCheck().Tick(); // the first check happens at once
  QCOMPARE(checks, 1);
  now = now.addSecs(12 * 3600 + 59 * 60);
  rig.Form.OverdueCheck().Tick();
  QCOMPARE(checks, 1);
  now = now.addSecs(60);
  rig.Form.OverdueCheck().Tick();
  QCOMPARE(checks, 2);
  // A tick during a run is skipped and does not count as a check.
  now = now.addSecs(13 * 3600);
  active = true;
  rig.Form.OverdueCheck().Tick();
  QCOMPARE(checks, 2);
  active = false;
  now = now.addSecs(5 * 60);
  rig.Form.OverdueCheck().Tick();
  QCOMPARE(checks, 3);
}

void TestBackupAlerts::balloonClickOpensTheAlertsUnlessADialogIsOpen()
{
  auto session = std::make_unique<TFakeSession>();
  TFakeSession* calls = session.get();
  TShellRig rig(std::move(session));
  rig.Form.Desktop().TrayAvailable = [] { return true; };
  int asked = 0;
  int runs = 0;
  rig.Fake.OnBackupAlerts = [&] {
    ++asked;
    return true;
  };
  rig.Fake.OnBackup = [&] {
    ++runs;
    return true;
  };
  rig.Form.FormActivate();

  // Another window of the program waits for an answer: only the warning.
  QDialog modal;
  QTimer::singleShot(0, &modal, [&] {
    rig.Form.ShowBackupAlerts();
    modal.reject();
  });
  modal.exec();
  QCOMPARE(asked, 0);
  QCOMPARE(TMessageBox::Shown().size(), 1);
  QCOMPARE(TMessageBox::Shown().first().Text,
           QStringLiteral("A dialog box is open in Corvale. Close the dialog box and try again."));

  // Otherwise the alerts are asked, and Backup there runs the queue with no exit action after it.
  QSignalSpy finished(&rig.Form.RunSession(), &TRunSession::Finished);
  rig.Form.ShowBackupAlerts();
  QVERIFY(finished.wait(5000));
  QCOMPARE(asked, 1);
  QCOMPARE(runs, 1);
  QVERIFY(calls->Calls.isEmpty());
}

void TestBackupAlerts::alertWindowQueuesTheTickedOverdueProfiles()
{
  TBackupProfileManager manager;
  for (const char* name : {"First", "Second"})
    manager.NewProfile(QString::fromLatin1(name))->SetLastBackup(0);
  manager.NewProfile(QStringLiteral("Fresh"))->SetLastBackup(TClock::Now());
  TProgramSettings settings;
  TLog log;
  const auto programWindows = CreateProgramWindows();
  TAutoUpdate update;
  const auto fileManager = CreateFileManager();
  TShellDialogWindows dialogs(manager, *programWindows, update, settings, log, *fileManager);

  int rows = 0;
  QTimer::singleShot(0, this, [&] {
    auto* dialog = qobject_cast<TfrmBackupAlert*>(QApplication::activeModalWidget());
    QVERIFY(dialog);
    auto* list = dialog->findChild<QTreeWidget*>(QStringLiteral("ListViewBackupProfiles"));
    rows = list->topLevelItemCount();
    list->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
    dialog->findChild<QPushButton*>(QStringLiteral("btnOk"))->click();
  });
  QVERIFY(dialogs.BackupAlerts());
  QCOMPARE(rows, 2);
  QCOMPARE(manager.Queue().Count(), 1);
  QCOMPARE(manager.Queue().GetItem(0)->ProfileName(), QStringLiteral("Second"));

  // Nothing overdue: no window, nothing to run.
  manager.GetProfileByIndex(0)->SetLastBackup(TClock::Now());
  manager.GetProfileByIndex(1)->SetLastBackup(TClock::Now());
  QVERIFY(!dialogs.BackupAlerts());
  QCOMPARE(manager.Queue().Count(), 0);
}

QTEST_MAIN(TestBackupAlerts)
#include "tst_backupalerts.moc"
