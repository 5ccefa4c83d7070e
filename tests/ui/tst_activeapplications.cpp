// SPDX-License-Identifier: GPL-3.0-or-later
// The two dialogs about other programs, headless, with real X clients on a private X server:
// closing a profile's programs before its backup, and picking a program from the open windows.
#include "tests/support/DropRoot.h"
#include "tests/support/TXServer.h"
#include "ui/TMessageBox.h"
#include "ui/TfrmActiveApplications.h"
#include "ui/TfrmAddProgram.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

namespace {

// Counts how often a widget was shown.
class TShowCounter : public QObject
{
public:
  int Shown = 0;
  bool eventFilter(QObject* AObject, QEvent* AEvent) override
  {
    if (AEvent->type() == QEvent::Show)
      ++Shown;
    return QObject::eventFilter(AObject, AEvent);
  }
};

QStringList Rows(const QTreeWidget* AList)
{
  QStringList rows;
  for (int i = 0; i < AList->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* row = AList->topLevelItem(i);
    rows << row->text(0) + QLatin1Char('|') + row->text(1) + QLatin1Char('|') + row->text(2);
  }
  return rows;
}

const QString ContinueQuestion =
    QStringLiteral("Backup may fail without closing all active applications, are you sure you want to continue?");

} // namespace

class TestActiveApplications : public QObject
{
  Q_OBJECT

private slots:
  void initTestCase();
  void init() { TMessageBox::Reset(); }
  void programsNotRunningNeverShowTheDialog();
  void dialogEndsByItselfOnceProgramsHaveGone();
  void continueAsksAndCancelSkips();
  void programsOutOfReachAreListedUntilTheyEnd();
  void addProgramListsProgramWindowsAndCopiesTheChoice();

private:
  TXServer FServer;
  std::unique_ptr<TProgramWindows> FWindows;
};

void TestActiveApplications::initTestCase()
{
  QVERIFY(DropRootForGood());
  TMessageBox::SetHeadless(true);
  if (!FServer.Start(true)) {
    if (FServer.Error.contains(QStringLiteral("not installed")))
      QSKIP(qPrintable(FServer.Error));
    QFAIL(qPrintable(FServer.Error));
  }
  FWindows = CreateProgramWindows();
}

void TestActiveApplications::programsNotRunningNeverShowTheDialog()
{
  TfrmActiveApplications dialog(*FWindows);
  TShowCounter counter;
  dialog.installEventFilter(&counter);
  QVERIFY(dialog.Execute({}, true));
  QVERIFY(dialog.Execute({QStringLiteral("Ledger=Stubborn"), QStringLiteral("xlogo=XLogo")}, true));
  QVERIFY(dialog.Execute({QStringLiteral("Ledger=Stubborn")}, false));
  QCOMPARE(counter.Shown, 0);
  QVERIFY(TMessageBox::Shown().isEmpty());
}

void TestActiveApplications::dialogEndsByItselfOnceProgramsHaveGone()
{
  TfrmActiveApplications dialog(*FWindows);
  QCOMPARE(dialog.RefreshTimer.interval(), 5000);
  QVERIFY(!dialog.RefreshTimer.isActive());
  {
    // Closed: xlogo agrees, and the next refresh finds nothing left.
    QProcess* logo = FServer.StartClient(QStringLiteral("xlogo"));
    QTRY_VERIFY_WITH_TIMEOUT(FWindows->FindProgramWindow(QString(), QStringLiteral("XLogo")) != 0, 30000);
    QStringList rows;
    bool timerRan = false;
    QTimer::singleShot(0, &dialog, [&] {
      rows = Rows(dialog.ListViewActiveApplications);
      timerRan = dialog.RefreshTimer.isActive();
      dialog.RefreshTimer.setInterval(100);
    });
    QVERIFY(dialog.Execute({QStringLiteral("Nothing=NoSuchClass"), QStringLiteral("xlogo=XLogo")}, true));
    // xlogo may have gone already when the dialog shows.
    QVERIFY(rows.isEmpty() || rows == QStringList{QStringLiteral("xlogo|XLogo|Closing...")});
    QVERIFY(timerRan);
    QVERIFY(!dialog.RefreshTimer.isActive());
    QVERIFY(TXServer::WaitEnded(logo));
    QCOMPARE(logo->exitStatus(), QProcess::NormalExit);
  }
  {
    // Terminated: a program that ignores close requests ends without being asked.
    QProcess* ledger = FServer.StartStubborn({QStringLiteral("Ledger"), QStringLiteral("Stubborn")});
    QStringList rows;
    QTimer::singleShot(0, &dialog, [&] {
      rows = Rows(dialog.ListViewActiveApplications);
      dialog.RefreshTimer.setInterval(100);
    });
    QTRY_VERIFY_WITH_TIMEOUT(FWindows->FindProgramWindow(QStringLiteral("Ledger"), QString()) != 0, 30000);
    QVERIFY(dialog.Execute({QStringLiteral("Ledger=")}, false));
    // The window may already be gone when the dialog shows.
    QVERIFY(rows.isEmpty() || rows == QStringList{QStringLiteral("Ledger||Terminating...")});
    QVERIFY(TXServer::WaitEnded(ledger));
    QCOMPARE(ledger->exitStatus(), QProcess::CrashExit);
  }
  QVERIFY(TMessageBox::Shown().isEmpty());
}

void TestActiveApplications::programsOutOfReachAreListedUntilTheyEnd()
{
  // A Wayland session whose native windows nothing here can see, and a listed program running in it.
  const QByteArray savedWayland = qgetenv("WAYLAND_DISPLAY");
  qputenv("WAYLAND_DISPLAY", "wayland-0");
  const auto restore = qScopeGuard([&savedWayland] {
    savedWayland.isEmpty() ? qunsetenv("WAYLAND_DISPLAY") : qputenv("WAYLAND_DISPLAY", savedWayland);
  });
  const auto windows = CreateProgramWindows();
  QTemporaryDir folder;
  QVERIFY(folder.isValid());
  const QString program = folder.filePath(QStringLiteral("zzeditor4712"));
  QVERIFY(QFile::copy(QStringLiteral("/bin/sleep"), program));
  QProcess editor;
  editor.start(program, {QStringLiteral("60")});
  QVERIFY(editor.waitForStarted());

  // Named, not closed; once the user has closed it, the dialog ends by itself.
  TfrmActiveApplications dialog(*windows);
  QStringList rows;
  QTimer::singleShot(0, &dialog, [&] {
    rows = Rows(dialog.ListViewActiveApplications);
    editor.kill();
    editor.waitForFinished();
    dialog.RefreshTimer.setInterval(100);
  });
  QVERIFY(dialog.Execute({QStringLiteral("Editor=zzeditor4712")}, true));
  QCOMPARE(rows, QStringList{QStringLiteral("Editor|zzeditor4712|cannot be closed on this desktop")});
  QVERIFY(TMessageBox::Shown().isEmpty());
}

void TestActiveApplications::continueAsksAndCancelSkips()
{
  QProcess* ledger = FServer.StartStubborn({QStringLiteral("Ledger"), QStringLiteral("Stubborn")});
  QTRY_VERIFY_WITH_TIMEOUT(FWindows->FindProgramWindow(QStringLiteral("Ledger"), QString()) != 0, 30000);
  TfrmActiveApplications dialog(*FWindows);
  const QStringList programs{QStringLiteral("Ledger=Stubborn")};
  {
    // No keeps the dialog open; Yes goes on although the program still runs.
    bool openAfterNo = false;
    QStringList rows;
    QTimer::singleShot(0, &dialog, [&] {
      rows = Rows(dialog.ListViewActiveApplications);
      TMessageBox::QueueAnswer(TMessageBox::maNo);
      dialog.btnContinue->click();
      openAfterNo = dialog.isVisible();
      TMessageBox::QueueAnswer(TMessageBox::maYes);
      dialog.btnContinue->click();
    });
    QVERIFY(dialog.Execute(programs, true));
    QVERIFY(openAfterNo);
    QCOMPARE(rows, QStringList{QStringLiteral("Ledger|Stubborn|Closing...")});
    QCOMPARE(TMessageBox::Shown().size(), 2);
    for (const TMessageBox::TShown& shown : TMessageBox::Shown()) {
      QCOMPARE(shown.Kind, TMessageBox::mkConfirmation);
      QCOMPARE(shown.Text, ContinueQuestion);
    }
    QCOMPARE(ledger->state(), QProcess::Running);
  }
  {
    // Cancel skips the profile.
    QTimer::singleShot(0, &dialog, [&] { dialog.btnCancel->click(); });
    QVERIFY(!dialog.Execute(programs, true));
    QCOMPARE(TMessageBox::Shown().size(), 2);
  }
  {
    // "&Terminate" on the selected row ends the program; the refresh then finds no row.
    QTimer::singleShot(0, &dialog, [&] {
      dialog.mnuTerminate->trigger(); // nothing selected: nothing happens
      dialog.ListViewActiveApplications->setCurrentItem(dialog.ListViewActiveApplications->topLevelItem(0));
      dialog.mnuTerminate->trigger();
      dialog.RefreshTimer.setInterval(100);
    });
    QVERIFY(dialog.Execute(programs, true));
    QVERIFY(TXServer::WaitEnded(ledger));
    QCOMPARE(ledger->exitStatus(), QProcess::CrashExit);
  }
}

void TestActiveApplications::addProgramListsProgramWindowsAndCopiesTheChoice()
{
  QProcess* logo = FServer.StartClient(QStringLiteral("xlogo"));
  FServer.StartStubborn({QStringLiteral("Hidden"), QStringLiteral("Stubborn"), QStringLiteral("hidden")});
  FServer.StartStubborn({QString(), QStringLiteral("Nameless")});
  FServer.StartStubborn({QStringLiteral("Journal"), QStringLiteral("Books"), QStringLiteral("owned")});
  QTRY_VERIFY_WITH_TIMEOUT(FWindows->FindProgramWindow(QString(), QStringLiteral("XLogo")) != 0, 30000);
  FServer.StartStubborn({QStringLiteral("Tax=2024"), QStringLiteral("Sheets")});
  QTRY_VERIFY_WITH_TIMEOUT(FWindows->FindProgramWindow(QStringLiteral("Journal Options"), QString()) != 0, 30000);
  QTRY_VERIFY_WITH_TIMEOUT(FWindows->FindProgramWindow(QString(), QStringLiteral("Sheets")) != 0, 30000);
  // The class can arrive before the title: wait for both.
  QTRY_VERIFY_WITH_TIMEOUT(FWindows->FindProgramWindow(QStringLiteral("Tax=2024"), QString()) != 0, 30000);

  TfrmAddProgram dialog(*FWindows);
  {
    // Shown, unowned, titled windows, the top one first.
    QStringList list;
    // A client's title and map state reach the server a moment after its class.
    QTRY_VERIFY_WITH_TIMEOUT(
        (list.clear(), dialog.GetWindowList(list), list.contains(QStringLiteral("Tax=2024=Sheets"))), 30000);
    QVERIFY2(list.contains(QStringLiteral("xlogo=XLogo")), qPrintable(list.join(QLatin1Char(','))));
    QVERIFY(list.contains(QStringLiteral("Journal=Books")));
    QVERIFY(!list.contains(QStringLiteral("Journal Options=Books")));
    QVERIFY(!list.contains(QStringLiteral("Hidden=Stubborn")));
    QVERIFY(!list.contains(QStringLiteral("=Nameless")));
    QVERIFY(list.indexOf(QStringLiteral("Tax=2024=Sheets")) >= 0);
    QVERIFY(list.indexOf(QStringLiteral("Tax=2024=Sheets")) < list.indexOf(QStringLiteral("xlogo=XLogo")));
  }
  {
    // A click copies the entry, split at its first "="; Ok wants a title.
    bool openWithoutTitle = false;
    QTimer::singleShot(0, &dialog, [&] {
      const QList<QListWidgetItem*> items =
          dialog.lbActivePrograms->findItems(QStringLiteral("Tax=2024=Sheets"), Qt::MatchExactly);
      if (items.isEmpty())
        return dialog.reject();
      const QRect rect = dialog.lbActivePrograms->visualItemRect(items.first());
      QTest::mouseClick(dialog.lbActivePrograms->viewport(), Qt::LeftButton, {}, rect.center());
      const QString title = dialog.editWindowTitle->text();
      dialog.editWindowTitle->clear();
      dialog.btnOk->click();
      openWithoutTitle = dialog.isVisible();
      dialog.editWindowTitle->setText(title);
      dialog.btnOk->click();
    });
    QVERIFY(dialog.Execute());
    QVERIFY(openWithoutTitle);
    QCOMPARE(dialog.WindowName(), QStringLiteral("Tax"));
    QCOMPARE(dialog.WindowClass(), QStringLiteral("2024=Sheets"));
    QCOMPARE(TMessageBox::Shown().size(), 1);
    QCOMPARE(TMessageBox::Shown().first().Kind, TMessageBox::mkError);
    QCOMPARE(TMessageBox::Shown().first().Text, QStringLiteral("You must specify a window name."));
  }
  {
    // Editing: the fields set before are shown; "Add" copies the current entry; Cancel says no.
    dialog.SetWindowName(QStringLiteral("Old"));
    dialog.SetWindowClass(QStringLiteral("OldClass"));
    QString shownTitle, copiedClass;
    QTimer::singleShot(0, &dialog, [&] {
      shownTitle = dialog.editWindowTitle->text();
      const QList<QListWidgetItem*> items =
          dialog.lbActivePrograms->findItems(QStringLiteral("xlogo=XLogo"), Qt::MatchExactly);
      if (!items.isEmpty())
        dialog.lbActivePrograms->setCurrentItem(items.first());
      dialog.ActionAddDetails->trigger();
      copiedClass = dialog.editWindowClass->text();
      dialog.btnCancel->click();
    });
    QVERIFY(!dialog.Execute());
    QCOMPARE(shownTitle, QStringLiteral("Old"));
    QCOMPARE(copiedClass, QStringLiteral("XLogo"));
  }
  logo->kill();
}

QTEST_MAIN(TestActiveApplications)
#include "tst_activeapplications.moc"
