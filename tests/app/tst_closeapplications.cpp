// SPDX-License-Identifier: GPL-3.0-or-later
// The tray program closes the programs a profile lists before its backup: the real composition,
// headless, with real X clients on a private X server. A declined dialog skips the profile.
#include "app/TComposition.h"
#include "app/TDesktopIntegration.h"
#include "app/TShellServices.h"
#include "app/TfrmOrvel.h"
#include "profiles/TBackupProfileManager.h"
#include "settings/TLog.h"
#include "tests/support/TFakeSession.h"
#include "tests/support/TXServer.h"
#include "ui/TMessageBox.h"
#include "ui/TfrmActiveApplications.h"

#include <QApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

namespace {

const QString ProgramKey = QStringLiteral("\\Software\\Quenfield\\Orvel");

} // namespace

class TestCloseApplications : public QObject
{
  Q_OBJECT

private slots:
  void initTestCase();
  void declinedDialogSkipsTheProfile();

private:
  QString Path(const QString& AName) const { return FDir.filePath(AName); }
  void StoreProfile(const QString& AName, const QStringList& APrograms);

  TXServer FServer;
  QTemporaryDir FDir;
};

void TestCloseApplications::initTestCase()
{
  QVERIFY(FDir.isValid());
  for (const char* variable : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "XDG_RUNTIME_DIR"})
    qputenv(variable, QFile::encodeName(Path(QString::fromLatin1(variable))));
  QVERIFY(QDir().mkpath(Path(QStringLiteral("source"))));
  QFile file(Path(QStringLiteral("source/file.txt")));
  QVERIFY(file.open(QIODevice::WriteOnly) && file.write("data") == 4);
  TMessageBox::SetHeadless(true);
  if (!FServer.Start(false)) {
    if (FServer.Error.contains(QStringLiteral("not installed")))
      QSKIP(qPrintable(FServer.Error));
    QFAIL(qPrintable(FServer.Error));
  }
}

void TestCloseApplications::StoreProfile(const QString& AName, const QStringList& APrograms)
{
  TBackupProfileManager store;
  store.SetRegistryKey(ProgramKey);
  TBackupProfile* profile = store.NewProfile(AName);
  profile->SetEnabled(true);
  profile->SetShowAlerts(false);
  profile->SetZipType(zZip);
  profile->SetZipFile(Path(AName + QStringLiteral(".zip")));
  profile->Files().Add(Path(QStringLiteral("source")) + QLatin1Char('/'), QStringLiteral("*.*"), true);
  profile->ActivePrograms() = APrograms;
  QVERIFY(profile->SaveProfile());
}

void TestCloseApplications::declinedDialogSkipsTheProfile()
{
  QProcess* ledger = FServer.StartStubborn({QStringLiteral("Ledger"), QStringLiteral("Stubborn")});
  QVERIFY(ledger->state() == QProcess::Running);
  StoreProfile(QStringLiteral("Books"), {QStringLiteral("Ledger=Stubborn")});
  StoreProfile(QStringLiteral("Mail"), {QStringLiteral("Ledger=Stubborn")});
  StoreProfile(QStringLiteral("Notes"), {QStringLiteral("Nothing=NoSuchClass")});

  TComposition composition(std::make_unique<TFakeSession>());
  TfrmOrvel& form = composition.MainWindow();
  form.Desktop().TrayAvailable = [] { return true; };
  form.ApplicationLog()->SetCacheSize(1000);
  form.FormActivate();
  TBackupProfileManager& manager = composition.Services().BackupProfileManager();

  // The dialog is cancelled for the first profile that lists the program and continued (after
  // its question) for the second; the profile whose program does not run shows nothing.
  QStringList shownFor;
  QTimer answer;
  answer.setInterval(10);
  connect(&answer, &QTimer::timeout, this, [&] {
    auto* dialog = qobject_cast<TfrmActiveApplications*>(QApplication::activeModalWidget());
    if (!dialog || !dialog->isVisible() || dialog->ListViewActiveApplications->topLevelItemCount() == 0)
      return;
    shownFor << dialog->ListViewActiveApplications->topLevelItem(0)->text(0);
    if (shownFor.size() == 1) {
      dialog->btnCancel->click();
    } else {
      TMessageBox::QueueAnswer(TMessageBox::maYes);
      dialog->btnContinue->click();
    }
  });
  answer.start();
  form.SetSelectedIndex(4); // back up only
  QSignalSpy finished(&form.RunSession(), &TRunSession::Finished);
  form.ActionOk->trigger();
  QVERIFY(finished.wait(30000));
  answer.stop();

  QCOMPARE(shownFor, QStringList({"Ledger", "Ledger"}));
  QHash<QString, TBackupProfileQueueStatus> statuses;
  for (int i = 0; i < manager.Queue().Count(); ++i)
    statuses.insert(manager.Queue().GetItem(i)->ProfileName(), manager.Queue().GetItem(i)->QueueStatus());
  QCOMPARE(statuses.size(), 3);
  const QString first = manager.Queue().GetItem(0)->ProfileName();
  const QString second = first == QStringLiteral("Books") ? QStringLiteral("Mail") : QStringLiteral("Books");
  QCOMPARE(statuses.value(first), qsCancelled);
  QCOMPARE(statuses.value(second), qsComplete);
  QCOMPARE(statuses.value(QStringLiteral("Notes")), qsComplete);
  QVERIFY(!QFile::exists(Path(first + QStringLiteral(".zip"))));
  QVERIFY(QFile::exists(Path(second + QStringLiteral(".zip"))));
  const QString log = form.ApplicationLog()->LogCache().join(QLatin1Char('\n'));
  QVERIFY2(log.contains(QStringLiteral("Backup Cancelled: ") + first), qPrintable(log));
  // Continue went on with the program still open: it ignores close requests.
  QCOMPARE(ledger->state(), QProcess::Running);
  QCOMPARE(TMessageBox::Shown().size(), 1);
  ledger->kill();
}

QTEST_MAIN(TestCloseApplications)
#include "tst_closeapplications.moc"
