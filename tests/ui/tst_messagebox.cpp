// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/TFileDialog.h"
#include "ui/TMessageBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

class TestMessageBox : public QObject
{
  Q_OBJECT

private slots:
  void cleanup()
  {
    TMessageBox::Reset();
    TMessageBox::SetHeadless(false);
    TFileDialog::Reset();
  }
  void queuedAnswersAreTakenInOrder();
  void headlessAnswersSafely();
  void realBoxIsShownWhenNothingIsQueued();
  void fileDialogsTakeQueuedNames();
};

void TestMessageBox::queuedAnswersAreTakenInOrder()
{
  TMessageBox::QueueAnswer(TMessageBox::maYes);
  TMessageBox::QueueAnswer(TMessageBox::maNo);
  TMessageBox::QueueAnswer(TMessageBox::maOk);
  QVERIFY(TMessageBox::Confirmation(nullptr, QStringLiteral("First?")));
  QVERIFY(!TMessageBox::Question(nullptr, TMessageBox::mkWarning, QStringLiteral("Second?")));
  TMessageBox::Error(nullptr, QStringLiteral("Third."));

  const auto& shown = TMessageBox::Shown();
  QCOMPARE(shown.size(), 3);
  QCOMPARE(shown.at(0).Kind, TMessageBox::mkConfirmation);
  QCOMPARE(shown.at(0).Text, QStringLiteral("First?"));
  QCOMPARE(shown.at(1).Kind, TMessageBox::mkWarning);
  QCOMPARE(shown.at(1).Answer, TMessageBox::maNo);
  QCOMPARE(shown.at(2).Kind, TMessageBox::mkError);
  QVERIFY(shown.at(2).Queued);
}

void TestMessageBox::headlessAnswersSafely()
{
  TMessageBox::SetHeadless(true);
  // An unanswered question never proceeds.
  QVERIFY(!TMessageBox::Confirmation(nullptr, QStringLiteral("Delete everything?")));
  TMessageBox::Information(nullptr, QStringLiteral("Done."));
  QCOMPARE(TMessageBox::Shown().size(), 2);
  QVERIFY(!TMessageBox::Shown().at(0).Queued);
  QCOMPARE(TMessageBox::Shown().at(1).Answer, TMessageBox::maOk);
}

void TestMessageBox::realBoxIsShownWhenNothingIsQueued()
{
  // The real box appears with the kind's caption and buttons; Yes is pressed on it.
  QString caption;
  QString text;
  QTimer::singleShot(0, this, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    QVERIFY(box);
    caption = box->windowTitle();
    text = box->text();
    QVERIFY(box->button(QMessageBox::No));
    box->button(QMessageBox::Yes)->click();
  });
  QVERIFY(TMessageBox::Confirmation(nullptr, QStringLiteral("Proceed?")));
  QCOMPARE(caption, QStringLiteral("Confirm"));
  QCOMPARE(text, QStringLiteral("Proceed?"));

  // Escape answers No.
  QTimer::singleShot(0, this, [] { QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape); });
  QVERIFY(!TMessageBox::Confirmation(nullptr, QStringLiteral("Proceed?")));
  QCOMPARE(TMessageBox::Shown().size(), 2);
}

void TestMessageBox::fileDialogsTakeQueuedNames()
{
  TFileDialog::QueueFileName(QStringLiteral("/tmp/a.zip"));
  TFileDialog::QueueFileName(QString());
  QCOMPARE(TFileDialog::GetSaveFileName(nullptr, QString(), QString(), QString()), QStringLiteral("/tmp/a.zip"));
  QCOMPARE(TFileDialog::GetExistingDirectory(nullptr, QString(), QString()), QString());
}

QTEST_MAIN(TestMessageBox)
#include "tst_messagebox.moc"
