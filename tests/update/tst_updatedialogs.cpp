// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/TApplicationOptions.h"
#include "settings/TProgramSettings.h"
#include "ui/RichTextDocument.h"
#include "ui/TMessageBox.h"
#include "ui/TdlgUpdateInformation.h"
#include "ui/TfrmAutoUpdate.h"
#include "update/EAutoUpdateError.h"
#include "update/TAutoUpdate.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

class TestUpdateDialogs : public QObject
{
  Q_OBJECT

private slots:
  void init()
  {
    TMessageBox::Reset();
    TMessageBox::SetHeadless(true);
  }
  void offerAndDownloadWindow();
  void enablingFollowsTheOptions();
  void informationDialogCountsDown();
  void rtfDocumentsShowTheirText();
};

void TestUpdateDialogs::offerAndDownloadWindow()
{
  TAutoUpdate update;
  TfrmAutoUpdate window(update, nullptr);
  QStringList messages;
  window.OnUpdateMessage = [&](QObject*, const QString& AMessage) { messages << AMessage; };
  QVERIFY(!window.isVisible());

  // No: the check ends with "Download cancelled.", shown as an error; the window stays hidden.
  bool start = true;
  TMessageBox::QueueAnswer(TMessageBox::maNo);
  update.OnUpdateAvailable(&update, QStringLiteral("Corvale"), QStringLiteral("3.0.0.0"), QStringLiteral("2.0.0.0"),
                           start);
  QVERIFY(!start);
  QCOMPARE(TMessageBox::Shown().last().Kind, TMessageBox::mkInformation);
  QCOMPARE(TMessageBox::Shown().last().Text,
           QStringLiteral("Version 3.0.0.0 of \"Corvale\" is available, would you like to update now?"));
  QVERIFY(!window.isVisible());
  update.OnUpdateEnd(&update, false, QStringLiteral("Download cancelled."), QString(), QString());
  QCOMPARE(TMessageBox::Shown().last().Kind, TMessageBox::mkError);
  QCOMPARE(TMessageBox::Shown().last().Text, QStringLiteral("Download cancelled."));
  QVERIFY(!window.isVisible());

  // Yes: the window follows the download, then hides; a failure without a message is silent.
  TMessageBox::QueueAnswer(TMessageBox::maYes);
  update.OnUpdateAvailable(&update, QStringLiteral("Corvale"), QStringLiteral("3.0.0.0"), QStringLiteral("2.0.0.0"),
                           start);
  QVERIFY(start);
  QVERIFY(window.isVisible());
  update.OnUpdateBegin(&update);
  bool cancel = false;
  update.OnUpdateProgress(&update, QStringLiteral("50% (5 of 10 Bytes)"), 50, cancel);
  QCOMPARE(window.lblStatus->text(), QStringLiteral("50% (5 of 10 Bytes)"));
  QCOMPARE(window.ProgressBar->value(), 50);
  QVERIFY(window.lblElapsed->text().startsWith(QStringLiteral("Elapsed: ")));
  const int boxes = static_cast<int>(TMessageBox::Shown().size());
  update.OnUpdateEnd(&update, false, QStringLiteral("  "), QString(), QString());
  QCOMPARE(TMessageBox::Shown().size(), boxes);
  QVERIFY(!window.isVisible());

  // Esc acts as the Cancel button (and does not just hide the window mid-download).
  window.show();
  QSignalSpy cancelled(window.btnCancel, &QPushButton::clicked);
  QTest::keyClick(&window, Qt::Key_Escape);
  QCOMPARE(cancelled.size(), 1);
  QVERIFY(window.isVisible());
  window.hide();

  // Cancel reaches the component; log lines are passed on; installing is always allowed.
  QTest::mouseClick(window.btnCancel, Qt::LeftButton);
  update.OnUpdateProgress = [](QObject*, const QString&, int, bool& ACancel) { Q_UNUSED(ACancel) };
  update.OnLog(&update, QStringLiteral("line"));
  QCOMPARE(messages, QStringList{QStringLiteral("line")});
  bool execute = false;
  update.OnUpdateExecute(&update, execute, QString(), QString());
  QVERIFY(execute);
}

void TestUpdateDialogs::enablingFollowsTheOptions()
{
  TAutoUpdate update;
  {
    TfrmAutoUpdate window(update, nullptr);
    try {
      window.SetAutoUpdateEnabled(true);
      QFAIL("no error without settings");
    } catch (const EAutoUpdateError& AError) {
      QCOMPARE(AError.Message(), QStringLiteral("TfrmAutoUpdate: Property \"ProgramSettings\" has not been assigned."));
    }
  }
  TProgramSettings settings;
  TApplicationOptions options(&settings);
  options.RegisterOptions();
  settings.SetValueByName(QStringLiteral("AutomaticUpdateEnabled"), false);
  settings.SetValueByName(QStringLiteral("AutomaticUpdateURL"), QString());
  TfrmAutoUpdate window(update, &settings);
  window.SetAutoUpdateEnabled(true);
  QVERIFY(!window.AutoUpdateEnabled());
  QCOMPARE(update.ProgramSettings(), &settings);

  // Switched on, the first check starts at once (here it ends at once: no address).
  settings.SetValueByName(QStringLiteral("AutomaticUpdateEnabled"), true);
  int errors = 0;
  window.OnUpdateMessage = [&](QObject*, const QString& AMessage) {
    errors += AMessage == QStringLiteral("ERROR: No update URL specified.");
  };
  window.SetAutoUpdateEnabled(true);
  QVERIFY(window.AutoUpdateEnabled());
  QTRY_COMPARE(errors, 1);
  window.SetAutoUpdateEnabled(false);
  QVERIFY(!window.AutoUpdateEnabled());
  QCOMPARE(update.ProgramSettings(), nullptr);
}

void TestUpdateDialogs::informationDialogCountsDown()
{
  QTemporaryDir folder;
  const QString notes = folder.filePath(QStringLiteral("Corvale - Release Notes.rtf"));
  const QString license = folder.filePath(QStringLiteral("Corvale - License.rtf"));
  const QString support = folder.filePath(QStringLiteral("Corvale - Support Details.rtf"));
  {
    TdlgUpdateInformation dialog(QStringLiteral("Corvale"), QStringLiteral("1.2.3.4"));
    QTimer::singleShot(0, &dialog, [&] {
      QCOMPARE(dialog.lblTitle->text(), QStringLiteral("\"Corvale\" has been updated successfully."));
      QCOMPARE(dialog.lblVersion->text(), QStringLiteral("1.2.3.4"));
      // Only the release notes remain, saying their file is missing.
      QVERIFY(dialog.PageControl->isTabVisible(0));
      QVERIFY(!dialog.PageControl->isTabVisible(1) && !dialog.PageControl->isTabVisible(2));
      QCOMPARE(dialog.ReleaseNotesView->toPlainText(), QStringLiteral("\"%1\" does not exist.").arg(notes));

      // Closing during the count-down is refused with the review warning.
      dialog.close();
      QVERIFY(dialog.isVisible());
      QCOMPARE(TMessageBox::Shown().last().Kind, TMessageBox::mkWarning);
      QVERIFY(TMessageBox::Shown().last().Text.startsWith(QStringLiteral("Please review the release notes")));
      QTest::keyClick(&dialog, Qt::Key_Escape);
      QVERIFY(dialog.isVisible());

      dialog.TimerTick();
      QCOMPARE(dialog.btnClose->text(), QStringLiteral("Close (2)"));
      dialog.TimerTick();
      QCOMPARE(dialog.btnClose->text(), QStringLiteral("Close (1)"));
      QVERIFY(!dialog.btnClose->isEnabled());
      dialog.TimerTick();
      QCOMPARE(dialog.btnClose->text(), QStringLiteral("Close"));
      QVERIFY(dialog.btnClose->isEnabled() && dialog.CanClose());
      QTest::mouseClick(dialog.btnClose, Qt::LeftButton);
    });
    QVERIFY(dialog.Execute(notes, license, support, 2));
    QVERIFY(!dialog.isVisible());
  }
  {
    QFile file(support);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("Write to support.");
    file.close();
    TdlgUpdateInformation dialog(QStringLiteral("Corvale"), QStringLiteral("1.2.3.4"));
    QTimer::singleShot(0, &dialog, [&] {
      QVERIFY(dialog.PageControl->isTabVisible(1));
      QCOMPARE(dialog.SupportView->toPlainText(), QStringLiteral("Write to support."));
      // A Shift-click on the title closes at once.
      QTest::mouseClick(dialog.lblTitle, Qt::LeftButton, Qt::ShiftModifier);
    });
    QVERIFY(dialog.Execute(notes, license, support, 15));
    QVERIFY(!dialog.isVisible());
  }
  {
    // Opened without waiting, it counts down while the program goes on; the program's end closes
    // it in the middle of the count-down, without the review warning.
    TdlgUpdateInformation dialog(QStringLiteral("Corvale"), QStringLiteral("1.2.3.4"));
    dialog.Open(notes, license, support, 15);
    QVERIFY(dialog.isVisible() && !dialog.CanClose());
    const qsizetype warnings = TMessageBox::Shown().size();
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    // Should the quit be refused, the loop still ends, with 1.
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, qApp, [] { QCoreApplication::exit(1); });
    watchdog.start(10000);
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(TMessageBox::Shown().size(), warnings);
  }
}

void TestUpdateDialogs::rtfDocumentsShowTheirText()
{
  const QByteArray rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red0\\green0\\blue0;}"
                         "{\\*\\generator Writer;}\\f0\\fs20 Caf\\'e9 \\b new\\b0\\par Line\\tab two \\u8364?\\par}";
  QTemporaryDir folder;
  QFile file(folder.filePath(QStringLiteral("notes.rtf")));
  QVERIFY(file.open(QIODevice::WriteOnly) && file.write(rtf) == rtf.size());
  file.close();
  QTextEdit view;
  QVERIFY(LoadDocument(view, file.fileName()));
  const QString text = view.toPlainText();
  QVERIFY2(text.contains(QString::fromUtf8("Café new")) && text.contains(QString::fromUtf8("two €")) &&
               !text.contains(QStringLiteral("Arial")) && !text.contains(QStringLiteral("Writer")),
           qPrintable(text));
}

QTEST_MAIN(TestUpdateDialogs)
#include "tst_updatedialogs.moc"
