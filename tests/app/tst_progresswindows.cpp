// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TdlgProgress.h"
#include "app/TfrmBackupProgress.h"
#include "sysinfo/TClock.h"

#include <QAction>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

class TestProgressWindows : public QObject
{
  Q_OBJECT

private slots:
  void cleanup() { TClock::SetSource({}); }
  void backupProgressLevels();
  void cancelAndHideFollowTheirBinding();
  void generalProgressStyles();
};

void TestProgressWindows::backupProgressLevels()
{
  TfrmBackupProgress window;
  QCOMPARE(window.lblProfileName->text(), QStringLiteral("Please Wait, Backup in progress..."));
  QCOMPARE(window.lblTotalProgress->text(), QStringLiteral("0% Complete"));
  QCOMPARE(window.size(), QSize(487, 213));

  QSignalSpy changes(window.ProgressBarBackup, &QProgressBar::valueChanged);
  window.SetBackupProgress(40, QStringLiteral("/home/user/a.txt"));
  QCOMPARE(window.lblBackupProgress->text(), QStringLiteral("/home/user/a.txt"));
  // The same value again leaves the bar alone; an empty message keeps the text.
  window.SetBackupProgress(40, QString());
  QCOMPARE(changes.size(), 1);
  QCOMPARE(window.lblBackupProgress->text(), QStringLiteral("/home/user/a.txt"));

  window.SetProfileProgress(50, QStringLiteral("Compressing"));
  QCOMPARE(window.ProgressBarProfile->value(), 50);
  QCOMPARE(window.lblProfileProgress->text(), QStringLiteral("Compressing (50%)"));

  window.SetTotalProgress(62, QStringLiteral("62%"));
  QCOMPARE(window.ProgressBarTotal->value(), 62);
  QCOMPARE(window.lblTotalProgress->text(), QStringLiteral("62%"));

  window.SetBackupProfile(QStringLiteral("Documents"));
  window.SetBackupProfile(QString());
  QCOMPARE(window.lblProfileName->text(), QStringLiteral("Documents"));
  window.SetTimeRemaining(QStringLiteral("Estimated: 3 minutes "));
  window.SetTimeRemaining(QString());
  window.SetTimeElapsed(QStringLiteral("Elapsed: 7 seconds "));
  QCOMPARE(window.lblTimeRemaining->text(), QStringLiteral("Estimated: 3 minutes "));
  QCOMPARE(window.lblTimeElapsed->text(), QStringLiteral("Elapsed: 7 seconds "));
}

void TestProgressWindows::cancelAndHideFollowTheirBinding()
{
  TfrmBackupProgress window;
  QVERIFY(!window.ActionCancel()->isEnabled());
  QVERIFY(!window.btnCancel->isEnabled());
  int cancels = 0;
  int hides = 0;
  window.SetOnCancel([&](QObject*) { ++cancels; });
  window.SetOnHide([&](QObject*) { ++hides; });
  QVERIFY(window.btnCancel->isEnabled());
  QTest::mouseClick(window.btnCancel, Qt::LeftButton);
  QTest::mouseClick(window.btnHide, Qt::LeftButton);
  QCOMPARE(cancels, 1);
  QCOMPARE(hides, 1);
  window.SetOnCancel({});
  QVERIFY(!window.btnCancel->isEnabled());
  window.ActionCancel()->trigger();
  QCOMPARE(cancels, 1);
}

void TestProgressWindows::generalProgressStyles()
{
  QDateTime now(QDate(2026, 12, 9), QTime(10, 0));
  TClock::SetSource([&] { return now; });
  auto* dialog = new TdlgProgress;
  QPointer<TdlgProgress> guard(dialog);
  dialog->SetShowEstimatedTime(true);
  dialog->Show(QStringLiteral("Generating File List..."), psNormal);
  QVERIFY(dialog->isVisible());
  QVERIFY(dialog->progressNormal->isVisible());
  QVERIFY(!dialog->progressWaiting->isVisible());
  QCOMPARE(dialog->lblTimeRemaining->text(), QStringLiteral("Calculating..."));
  QCOMPARE(dialog->lblTimeElapsed->text(), QStringLiteral("Elapsed: 0 seconds "));

  now = now.addSecs(120);
  dialog->Progress(25, QString());
  QCOMPARE(dialog->progressNormal->value(), 25);
  QCOMPARE(dialog->lblCaption->text(), QStringLiteral("Generating File List..."));
  QCOMPARE(dialog->lblTimeRemaining->text(), QStringLiteral("Estimated: 6 minutes "));
  QCOMPARE(dialog->lblTimeElapsed->text(), QStringLiteral("Elapsed: 2 minute(s) 0 seconds "));

  dialog->Show(QStringLiteral("Gathering System Information..."), psWaiting);
  QVERIFY(dialog->progressWaiting->isVisible());
  QVERIFY(!dialog->progressNormal->isVisible());
  QVERIFY(!dialog->lblTimeElapsed->isVisible());

  dialog->Show(QStringLiteral("Loading log file, please wait..."), psNone);
  QVERIFY(!dialog->progressWaiting->isVisible());
  QVERIFY(!dialog->progressNormal->isVisible());

  // Closing frees the window.
  dialog->close();
  QTRY_VERIFY(guard.isNull());
}

QTEST_MAIN(TestProgressWindows)
#include "tst_progresswindows.moc"
