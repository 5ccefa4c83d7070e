// SPDX-License-Identifier: GPL-3.0-or-later
// The custom-backup window headless: profiles read back from the store, ticks into the queue,
// and the chosen exit action.
#include "profiles/TBackupProfileManager.h"
#include "sysinfo/TFormatSettings.h"
#include "ui/TfrmCustomBackup.h"

#include <QComboBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

namespace {

const QString ProgramKey = QStringLiteral("\\Software\\Quenfield\\Orvel");

QStringList QueueNames(const TBackupProfileManager& AManager)
{
  QStringList names;
  for (int i = 0; i < AManager.Queue().Count(); ++i)
    names << AManager.Queue().GetItem(i)->ProfileName();
  return names;
}

} // namespace

class TestCustomBackup : public QObject
{
  Q_OBJECT

private slots:
  void initTestCase();
  void ticksBecomeTheQueueAndTheExitAction();

private:
  QTemporaryDir FHome;
};

void TestCustomBackup::initTestCase()
{
  QVERIFY(FHome.isValid());
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(FHome.filePath(QStringLiteral("config"))));
  qputenv("XDG_CONFIG_DIRS", QFile::encodeName(FHome.filePath(QStringLiteral("etc"))));
  TFormatSettings::Load(QLocale(QLocale::English, QLocale::UnitedKingdom));
}

void TestCustomBackup::ticksBecomeTheQueueAndTheExitAction()
{
  TBackupProfileManager manager;
  manager.SetRegistryKey(ProgramKey);
  for (const char* name : {"Documents", "Mail", "Photos"}) {
    TBackupProfile* profile = manager.NewProfile(QString::fromLatin1(name));
    // Mail was never backed up: its last backup shows blank, not as the date 0 encodes.
    profile->SetLastBackup(QByteArray(name) == "Mail" ? 0 : 46091.5); // 10/03/2026 12:00
    QVERIFY(profile->SaveProfile());
  }
  manager.NewProfile(QStringLiteral("Never stored"));
  {
    // Stored meanwhile by another program: Mail switched off, Photos deleted.
    TBackupProfile other;
    other.SetRegistryKey(ProgramKey);
    QVERIFY(other.LoadProfile(QStringLiteral("Mail")));
    other.SetEnabled(false);
    QVERIFY(other.SaveProfile());
    QVERIFY(other.DeleteProfile(QStringLiteral("Photos")));
  }
  manager.QueueAdd(QStringLiteral("Photos")); // an old queue

  TfrmCustomBackup dialog(manager);
  QTreeWidget* list = dialog.ListViewBackupProfiles;
  const auto executeWith = [&](TExitParameter& AExitParameter, const std::function<void()>& AWhile) {
    QTimer::singleShot(0, &dialog, [&dialog, AWhile] {
      AWhile();
      if (dialog.isVisible())
        dialog.btnCancel->click();
    });
    return dialog.Execute(AExitParameter);
  };
  {
    // Cancel touches neither the queue nor the exit action.
    TExitParameter exitParameter = xpReboot;
    QVERIFY(!executeWith(exitParameter, [&] {
      QCOMPARE(dialog.comboShutdownOption->currentText(), QStringLiteral("Reboot"));
      QCOMPARE(list->topLevelItemCount(), 2);
      QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("Documents"));
      QCOMPARE(list->topLevelItem(0)->text(1), QStringLiteral("10/03/2026 12:00:00"));
      QCOMPARE(list->topLevelItem(0)->checkState(0), Qt::Checked);
      QCOMPARE(list->topLevelItem(1)->text(0), QStringLiteral("Mail"));
      QCOMPARE(list->topLevelItem(1)->text(1), QString());
      QCOMPARE(list->topLevelItem(1)->checkState(0), Qt::Unchecked);
      QVERIFY(dialog.btnBackup->isEnabled());
    }));
    QCOMPARE(exitParameter, xpReboot);
    QCOMPARE(QueueNames(manager), QStringList({"Photos"}));
  }
  {
    TExitParameter exitParameter = xpNone;
    QVERIFY(executeWith(exitParameter, [&] {
      QCOMPARE(dialog.comboShutdownOption->currentText(), QStringLiteral("Do nothing"));
      list->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
      QVERIFY(!dialog.btnBackup->isEnabled());
      list->topLevelItem(1)->setCheckState(0, Qt::Checked);
      QVERIFY(dialog.btnBackup->isEnabled());
      list->topLevelItem(0)->setCheckState(0, Qt::Checked);
      dialog.comboShutdownOption->setCurrentIndex(4);
      dialog.btnBackup->click();
    }));
    QCOMPARE(exitParameter, xpLockWorkstation);
    QCOMPARE(QueueNames(manager), QStringList({"Documents", "Mail"}));
  }
  const TExitParameter expected[] = {xpNone, xpShutdown, xpReboot, xpLogoff, xpLockWorkstation};
  for (int i = 0; i < 5; ++i)
    QCOMPARE(TfrmCustomBackup::OptionExitParameter(i), expected[i]);
}

QTEST_MAIN(TestCustomBackup)
#include "tst_custombackup.moc"
