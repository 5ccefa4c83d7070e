// SPDX-License-Identifier: GPL-3.0-or-later
// The failed-backup window headless, its count-down stepped by hand: closing by itself, kept
// open by a click, and the logs of the failed profiles shown and saved.
#include "profiles/TBackupProfileManager.h"
#include "ui/TFileDialog.h"
#include "ui/TMessageBox.h"
#include "ui/TTicker.h"
#include "ui/TfrmFailedBackup.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

namespace {

class TManualTicker : public TTicker
{
public:
  void Start(std::function<void()> AOnTick) override
  {
    FOnTick = std::move(AOnTick);
    FActive = true;
  }
  void Stop() override { FActive = false; }
  bool IsActive() const override { return FActive; }
  void Tick(int ACount = 1)
  {
    for (int i = 0; i < ACount && FActive; ++i)
      FOnTick();
  }

private:
  std::function<void()> FOnTick;
  bool FActive = false;
};

QStringList Lines(const QListWidget& AList)
{
  QStringList lines;
  for (int i = 0; i < AList.count(); ++i)
    lines << AList.item(i)->text();
  return lines;
}

} // namespace

class TestFailedBackup : public QObject
{
  Q_OBJECT

private slots:
  void init();
  void cleanup();
  void countDownClosesTheDialog();
  void clickOnTheCountDownKeepsItOpen();
  void listsFailedProfilesAndShowsTheirLogs();
  void savesTheShownLog();

private:
  // Runs AWhile once the dialog shows; Ok closes it afterwards if it is still open.
  void ExecuteWith(int ATimeout, const std::function<void()>& AWhile);

  QTemporaryDir FFolder;
  std::unique_ptr<TBackupProfileManager> FManager;
  std::unique_ptr<TfrmFailedBackup> FDialog;
  TManualTicker* FTicker = nullptr;
};

void TestFailedBackup::init()
{
  QVERIFY(FFolder.isValid());
  FManager = std::make_unique<TBackupProfileManager>();
  // A run of four: complete, failed with a log, cancelled without one, failed and since deleted.
  const QStringList names = {QStringLiteral("Photos"), QStringLiteral("Documents"), QStringLiteral("Mail"),
                             QStringLiteral("Old")};
  const TBackupProfileQueueStatus states[] = {qsComplete, qsFailed, qsCancelled, qsFailed};
  for (int i = 0; i < names.size(); ++i) {
    if (names[i] != QLatin1String("Old"))
      FManager->NewProfile(names[i])->SetLogFile(FFolder.filePath(names[i] + QStringLiteral(".log")));
    FManager->QueueAdd(names[i]);
    FManager->Queue().GetItem(i)->SetQueueStatus(states[i]);
  }
  QFile log(FFolder.filePath(QStringLiteral("Documents.log")));
  QVERIFY(log.open(QIODevice::WriteOnly));
  log.write("Backup started.\r\nUnable to read \"/home/user/Documents/locked.odt\"\r\nBackup Failed.\r\n");
  log.close();
  auto ticker = std::make_unique<TManualTicker>();
  FTicker = ticker.get();
  FDialog = std::make_unique<TfrmFailedBackup>(*FManager, std::move(ticker));
  TMessageBox::Reset();
  TMessageBox::SetHeadless(true);
  TFileDialog::Reset();
}

void TestFailedBackup::cleanup()
{
  FDialog.reset();
  FManager.reset();
  TMessageBox::Reset();
  TFileDialog::Reset();
}

void TestFailedBackup::ExecuteWith(int ATimeout, const std::function<void()>& AWhile)
{
  QTimer::singleShot(0, FDialog.get(), [this, AWhile] {
    AWhile();
    if (FDialog->isVisible())
      FDialog->btnOk->click();
  });
  FDialog->Execute(ATimeout);
}

void TestFailedBackup::countDownClosesTheDialog()
{
  bool openBeforeTheLastSecond = false;
  ExecuteWith(60, [&] {
    QVERIFY(FDialog->lblAutoClose->isVisible());
    QCOMPARE(FDialog->lblAutoClose->text(), QStringLiteral("Dialog will automatically close in 60 second(s)"));
    FTicker->Tick(59);
    QCOMPARE(FDialog->lblAutoClose->text(), QStringLiteral("Dialog will automatically close in 1 second(s)"));
    openBeforeTheLastSecond = FDialog->isVisible();
    FTicker->Tick();
    QVERIFY(!FDialog->isVisible());
  });
  QVERIFY(openBeforeTheLastSecond);
  QVERIFY(!FTicker->IsActive());

  // A second use counts down afresh; 0 does not count down at all.
  ExecuteWith(60, [&] { QCOMPARE(FDialog->AutoCloseTimeout(), 60); });
  ExecuteWith(0, [&] {
    QVERIFY(!FTicker->IsActive());
    QVERIFY(!FDialog->lblAutoClose->isVisible());
    QVERIFY(FDialog->isVisible());
  });
}

void TestFailedBackup::clickOnTheCountDownKeepsItOpen()
{
  bool stillOpen = false;
  ExecuteWith(60, [&] {
    FTicker->Tick(50);
    QCOMPARE(FDialog->AutoCloseTimeout(), 10);
    QTest::mouseClick(FDialog->lblAutoClose, Qt::LeftButton);
    QVERIFY(!FDialog->lblAutoClose->isVisible());
    FTicker->Tick(20);
    stillOpen = FDialog->isVisible();
  });
  QVERIFY(stillOpen);
}

void TestFailedBackup::listsFailedProfilesAndShowsTheirLogs()
{
  ExecuteWith(60, [&] {
    QTreeWidget* list = FDialog->ListViewFailedProfiles;
    QCOMPARE(list->topLevelItemCount(), 3);
    const auto row = [list](int AIndex) {
      const QTreeWidgetItem* item = list->topLevelItem(AIndex);
      return QStringList({item->text(0), item->text(1), item->text(2)});
    };
    QCOMPARE(row(0), QStringList({"Failed", "Documents", FFolder.filePath(QStringLiteral("Documents.log"))}));
    QCOMPARE(row(1), QStringList({"Cancelled", "Mail", FFolder.filePath(QStringLiteral("Mail.log"))}));
    QCOMPARE(row(2), QStringList({"Failed", "Old", ""}));

    // Show Log without a selection stays where it is and keeps counting down.
    FDialog->ActionShowLog->trigger();
    QCOMPARE(FDialog->PageControl->currentWidget(), FDialog->tabFailedProfiles);
    QVERIFY(FTicker->IsActive());
    QVERIFY(FDialog->ActionShowLog->isVisible() && !FDialog->ActionBack->isVisible());

    list->setCurrentItem(list->topLevelItem(1));
    FDialog->ActionShowLog->trigger();
    QCOMPARE(FDialog->PageControl->currentWidget(), FDialog->tabLog);
    QVERIFY(!FTicker->IsActive());
    QVERIFY(!FDialog->ActionShowLog->isVisible() && FDialog->ActionBack->isVisible());
    QCOMPARE(Lines(*FDialog->ListBoxLog),
             QStringList(QStringLiteral("No log file available: \"%1\".").arg(FFolder.filePath("Mail.log"))));

    FDialog->ActionBack->trigger();
    QCOMPARE(FDialog->PageControl->currentWidget(), FDialog->tabFailedProfiles);
    list->setCurrentItem(list->topLevelItem(0));
    emit list->itemDoubleClicked(list->topLevelItem(0), 0);
    QCOMPARE(Lines(*FDialog->ListBoxLog),
             QStringList({"Backup started.", "Unable to read \"/home/user/Documents/locked.odt\"", "Backup Failed."}));
  });
  // The next showing starts on the profiles page again.
  ExecuteWith(60, [&] { QCOMPARE(FDialog->PageControl->currentWidget(), FDialog->tabFailedProfiles); });
}

void TestFailedBackup::savesTheShownLog()
{
  const QString target = FFolder.filePath(QStringLiteral("saved/documents.log"));
  QVERIFY(QDir().mkpath(FFolder.filePath(QStringLiteral("saved"))));
  ExecuteWith(60, [&] {
    // From the profiles page: the selected row's log, after the file name was asked for.
    FDialog->ListViewFailedProfiles->setCurrentItem(FDialog->ListViewFailedProfiles->topLevelItem(0));
    TFileDialog::QueueFileName(target);
    FDialog->ActionSaveLog->trigger();
    QVERIFY(!FTicker->IsActive());
    QCOMPARE(TFileDialog::LastRequest().FileName, QStringLiteral("Documents.log"));

    // Cancelled: nothing written. Into a folder that is not there: an error, nothing left behind.
    TFileDialog::QueueFileName(QString());
    FDialog->ActionSaveLog->trigger();
    TFileDialog::QueueFileName(FFolder.filePath(QStringLiteral("missing/documents.log")));
    FDialog->ActionSaveLog->trigger();
  });
  QFile saved(target);
  QVERIFY(saved.open(QIODevice::ReadOnly));
  QCOMPARE(saved.readAll(),
           QByteArray("Backup started.\nUnable to read \"/home/user/Documents/locked.odt\"\nBackup Failed.\n"));
  QCOMPARE(QDir(FFolder.filePath(QStringLiteral("saved"))).entryList(QDir::Files | QDir::Hidden),
           QStringList({"documents.log"}));
  QCOMPARE(TMessageBox::Shown().size(), 1);
  QCOMPARE(TMessageBox::Shown().first().Kind, TMessageBox::mkError);
  QVERIFY(TMessageBox::Shown().first().Text.startsWith(QStringLiteral("Unable to save log file")));
}

QTEST_MAIN(TestFailedBackup)
#include "tst_failedbackup.moc"
