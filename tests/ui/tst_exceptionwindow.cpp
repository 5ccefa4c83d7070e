// SPDX-License-Identifier: GPL-3.0-or-later
// The exception window: what it shows, Continue, and Terminate behind its confirmation.
#include "ui/TMessageBox.h"
#include "ui/TfrmException.h"

#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <functional>

class TestExceptionWindow : public QObject
{
  Q_OBJECT

private slots:
  void initTestCase() { TMessageBox::SetHeadless(true); }
  void cleanup() { TMessageBox::Reset(); }
  void continueAndTerminate();
};

namespace {

// Acts on the window as soon as it is on screen.
void WhenShown(TfrmException& ADialog, const std::function<void()>& AAction)
{
  QTimer::singleShot(0, &ADialog, [&ADialog, AAction] {
    QTRY_VERIFY(ADialog.isVisible());
    AAction();
  });
}

} // namespace

void TestExceptionWindow::continueAndTerminate()
{
  QObject sender;
  {
    TfrmException dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Error"));
    WhenShown(dialog, [&dialog] { QTest::mouseClick(dialog.btnContinue, Qt::LeftButton); });
    QCOMPARE(dialog.Execute(&sender, QStringLiteral("Disk full"), QStringLiteral("EBackupException")),
             TfrmException::ecContinue);
    QCOMPARE(dialog.memoException->toPlainText(),
             QStringLiteral("Disk full\n\nSender Class: QObject\nClass: EBackupException"));
    QVERIFY(dialog.memoInformation->toPlainText().startsWith(
        QLatin1String("We apologize for this inconvenience, press continue to attempt\n")));
    QVERIFY(TMessageBox::Shown().isEmpty());
  }
  {
    // Terminate asks first; No leaves the window open, Esc then continues.
    TfrmException dialog;
    TMessageBox::QueueAnswer(TMessageBox::maNo);
    WhenShown(dialog, [&dialog] {
      QTest::mouseClick(dialog.btnSend, Qt::LeftButton);
      QVERIFY(dialog.isVisible());
      QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    QCOMPARE(dialog.Execute(&sender, QStringLiteral("x"), QStringLiteral("E")), TfrmException::ecContinue);
    QCOMPARE(TMessageBox::Shown().size(), 1);
    QCOMPARE(TMessageBox::Shown().first().Text,
             QStringLiteral("Terminating Corvale will loose any unsaved changes, are you sure you want to continue?"));
  }
  {
    TfrmException dialog;
    TMessageBox::QueueAnswer(TMessageBox::maYes);
    WhenShown(dialog, [&dialog] { QTest::mouseClick(dialog.btnSend, Qt::LeftButton); });
    QCOMPARE(dialog.Execute(&sender, QStringLiteral("x"), QStringLiteral("E")), TfrmException::ecTerminate);
  }
}

QTEST_MAIN(TestExceptionWindow)
#include "tst_exceptionwindow.moc"
