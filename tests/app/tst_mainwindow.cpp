// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's action flow, tray, start-up and shutdown, with a fake session control.
#include "app/TDesktopIntegration.h"
#include "app/TfrmBackupProgress.h"
#include "app/TfrmExitConfirm.h"
#include "app/TfrmOrvel.h"
#include "profiles/EBackupProfileManagerException.h"
#include "settings/TLog.h"
#include "sysinfo/TClock.h"
#include "tests/support/OffscreenNoise.h"
#include "tests/support/TFakeSession.h"
#include "tests/support/TShellRig.h"
#include "ui/TMessageBox.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSemaphore>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

#include <thread>

namespace {

// The windows of the rig under test.
TfrmOrvel* frmOrvel = nullptr;
TfrmBackupProgress* frmBackupProgress = nullptr;
TfrmExitConfirm* frmExitConfirm = nullptr;

// Acts on the exit confirmation as soon as it is on screen, also when that is inside a run's end.
void WhenConfirmationShows(const std::function<void(TfrmExitConfirm*)>& AAction)
{
  auto* poll = new QTimer(frmExitConfirm);
  poll->setInterval(5);
  QObject::connect(poll, &QTimer::timeout, frmExitConfirm, [poll, AAction] {
    if (!frmExitConfirm->isVisible())
      return;
    poll->stop();
    poll->deleteLater();
    AAction(frmExitConfirm);
  });
  poll->start();
}

// Does AStart and waits until the run it starts has ended, exit action included.
bool RunToEnd(const std::function<void()>& AStart)
{
  QSignalSpy finished(&frmOrvel->RunSession(), &TRunSession::Finished);
  AStart();
  return finished.wait(10000);
}

// A run that lasts until the test lets it end.
class TBlockedRun
{
public:
  explicit TBlockedRun(TFakeBackupRunner& ARunner, bool AResult = true)
  {
    ARunner.OnBackup = [this, AResult] {
      FInside.release();
      FGate.acquire();
      return AResult;
    };
  }
  // Waits until the run's thread is inside the runner.
  bool Entered() { return FInside.tryAcquire(1, 5000); }
  void Release() { FGate.release(); }

private:
  QSemaphore FInside;
  QSemaphore FGate;
};

QStringList Texts(const QList<QAction*>& AActions)
{
  QStringList texts;
  for (const QAction* action : AActions)
    texts << action->text();
  return texts;
}

} // namespace

class TestMainWindow : public QObject
{
  Q_OBJECT

private slots:
  void initTestCase();
  void init();
  void cleanup();
  void windowAndActions();
  void selectedExitParameter();
  void exitConfirmation();
  void okOnExitOnlyActions();
  void missingPrivilegeShowsMessageThenBalloon();
  void startupAndShutdownSequences();
  void firstStartOffersTheWizard();
  void shutdownErrorStopsTheClose();
  void commandLineSwitchesRunInOrder();
  void commandsFromLaterStarts();
  void reloadWaitsForTheRunAndTheOptions();
  void enabledRulesAndShiftCancel();
  void trayMenuAndQuickBackup();
  void profileEditorFromTrayAndCommandLine();
  void trayIconsAndBalloons();
  void runBackupRestoresTheWindows();
  void progressReportsAreThinnedNotLost();
  void failedRunShowsItsDialogBeforeTheExitAction();
  void customBackupWithLockLocksAtOnce();
  void exitOnlyAfterSuccessHoldsTheExitBack();
  void hidingWithoutTrayMinimises();
  void nothingReachesIntoARun();
  void cancelledSessionEndLeavesLaterExitsAlone();
  void endOfSessionClosesOpenDialogs();

private:
  void MakeForms(bool AActivate);
  void FreeForms();

  QTemporaryDir FHome;
  std::unique_ptr<TShellRig> FRig;
  TFakeSession* FSession = nullptr;
  QStringList FHooks; // hooks called, in order
};

void TestMainWindow::initTestCase()
{
  HideOffscreenNoise();
  QStandardPaths::setTestModeEnabled(true);
  QVERIFY(FHome.isValid());
  for (const char* variable : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"})
    qputenv(variable, QFile::encodeName(FHome.path() + QLatin1Char('/') + QLatin1String(variable)));
  TMessageBox::SetHeadless(true);
}

void TestMainWindow::init()
{
  MakeForms(true);
}

void TestMainWindow::MakeForms(bool AActivate)
{
  FreeForms();
  TMessageBox::Reset();
  FHooks.clear();
  auto session = std::make_unique<TFakeSession>();
  FSession = session.get();
  FRig = std::make_unique<TShellRig>(std::move(session));
  frmOrvel = &FRig->Form;
  frmBackupProgress = &FRig->BackupProgress;
  frmExitConfirm = &FRig->ExitConfirm;
  frmOrvel->Desktop().TrayAvailable = [] { return true; };
  TFakeShell& hooks = FRig->Fake;
  hooks.OnStoreLastSelection = [this](int AIndex) { FHooks << QStringLiteral("Store %1").arg(AIndex); };
  hooks.OnShowException = [this](QWidget*, const QString& AMessage, const QString&) {
    FHooks << QStringLiteral("Exception ") + AMessage;
    return TExceptionChoice::Continue;
  };
  // Started, so that showing the window later runs nothing more.
  if (AActivate)
    frmOrvel->FormActivate();
}

void TestMainWindow::FreeForms()
{
  FRig.reset();
  frmOrvel = nullptr;
  frmBackupProgress = nullptr;
  frmExitConfirm = nullptr;
}

void TestMainWindow::cleanup()
{
  FreeForms();
  TClock::SetSource({});
}

void TestMainWindow::windowAndActions()
{
  QCOMPARE(frmOrvel->size(), QSize(352, 165));
  QVERIFY(frmOrvel->windowFlags() & Qt::FramelessWindowHint);
  QCOMPARE(frmOrvel->windowTitle(), QStringLiteral("Corvale"));
  QCOMPARE(frmOrvel->lblShutdown->text(), QStringLiteral("What do you want the computer to do?"));
  QStringList items;
  for (int index = 0; index < frmOrvel->ComboBoxSelectBackup->count(); ++index)
    items << frmOrvel->ComboBoxSelectBackup->itemText(index);
  QCOMPARE(items, QStringList({"Corvale", "Backup and Restart", "Backup and Log Off", "Backup and Lock Workstation",
                               "Backup", "Shutdown", "Restart", "Log Off", "Lock Workstation", "Custom Backup"}));
  QCOMPARE(frmOrvel->bntOptions->text(), QStringLiteral("Options"));
  QCOMPARE(frmOrvel->btnOk->text(), QStringLiteral("Ok"));
  QCOMPARE(frmOrvel->btnCancel->text(), QStringLiteral("Cancel"));
  QCOMPARE(frmOrvel->ActionOptions->shortcut(), QKeySequence(Qt::Key_F3));
  QCOMPARE(frmOrvel->ActionCustomBackup->shortcut(), QKeySequence(Qt::Key_F9));
  QCOMPARE(frmOrvel->ActionCustomBackup->text(), QStringLiteral("Custom Backup..."));
  QCOMPARE(frmOrvel->ActionCheckBackupAlerts->text(), QStringLiteral("Backup Alerts"));
}

void TestMainWindow::selectedExitParameter()
{
  const TExitParameter expected[] = {xpShutdown, xpReboot, xpLogoff, xpLockWorkstation, xpNone,
                                     xpShutdown, xpReboot, xpLogoff, xpLockWorkstation, xpNone};
  for (int index = 0; index < 10; ++index) {
    frmOrvel->SetSelectedIndex(index);
    QCOMPARE(frmOrvel->SelectedExitParameter(), expected[index]);
  }
  frmOrvel->ComboBoxSelectBackup->setCurrentIndex(-1);
  QCOMPARE(frmOrvel->SelectedExitParameter(), xpNone);
  // A stored selection beyond the ten actions selects the first.
  frmOrvel->SetSelectedIndex(10);
  QCOMPARE(frmOrvel->SelectedIndex(), 0);
  frmOrvel->SetSelectedIndex(-2);
  QCOMPARE(frmOrvel->SelectedIndex(), 0);
}

void TestMainWindow::exitConfirmation()
{
  QCOMPARE(frmExitConfirm->windowTitle(), QStringLiteral("Exit Windows Confim"));
  QVERIFY(frmExitConfirm->windowFlags() & Qt::WindowStaysOnTopHint);
  QCOMPARE(TfrmExitConfirm::ExitVerb(xpLogoff), QStringLiteral("Log Off"));
  QCOMPARE(TfrmExitConfirm::ExitVerb(xpReboot), QStringLiteral("Restart"));
  QCOMPARE(TfrmExitConfirm::ExitVerb(xpShutdown), QStringLiteral("Shut Down"));
  QCOMPARE(TfrmExitConfirm::ExitVerb(xpLockWorkstation), QString());
  {
    // Every tick counts one down on the button; the tick after 0 confirms.
    QStringList captions;
    WhenConfirmationShows([&captions](TfrmExitConfirm* ADialog) {
      QCOMPARE(ADialog->memoAlert->toPlainText(),
               QStringLiteral("WARNING\n\nWindows will Shut Down in 30 second(s)..."));
      ADialog->TimerConfirm.stop();
      for (int tick = 0; tick < 30; ++tick) {
        ADialog->TimerConfirmTimer();
        captions << ADialog->btnOk->text();
      }
      QVERIFY(ADialog->isVisible());
      ADialog->TimerConfirmTimer();
    });
    QVERIFY(frmExitConfirm->Execute(xpShutdown, 30));
    QCOMPARE(captions.first(), QStringLiteral("Ok (29)"));
    QCOMPARE(captions.last(), QStringLiteral("Ok (0)"));
    QVERIFY(!frmExitConfirm->TimerConfirm.isActive());
  }
  {
    // Reused: the text and the button start afresh; Cancel and the close box decline.
    WhenConfirmationShows([](TfrmExitConfirm* ADialog) {
      QCOMPARE(ADialog->btnOk->text(), QStringLiteral("Ok"));
      QVERIFY(ADialog->memoAlert->toPlainText().endsWith(QLatin1String("Windows will Restart in 5 second(s)...")));
      QTest::mouseClick(ADialog->btnCancel, Qt::LeftButton);
    });
    QVERIFY(!frmExitConfirm->Execute(xpReboot, 5));
    WhenConfirmationShows([](TfrmExitConfirm* ADialog) { ADialog->close(); });
    QVERIFY(!frmExitConfirm->Execute(xpLogoff, 5));
    WhenConfirmationShows([](TfrmExitConfirm* ADialog) { QTest::mouseClick(ADialog->btnOk, Qt::LeftButton); });
    QVERIFY(frmExitConfirm->Execute(xpLogoff, 5));
  }
  {
    // Left alone, the running timer confirms by itself.
    frmExitConfirm->TimerConfirm.setInterval(1);
    QVERIFY(frmExitConfirm->Execute(xpShutdown, 3));
    QCOMPARE(frmExitConfirm->btnOk->text(), QStringLiteral("Ok (0)"));
  }
}

void TestMainWindow::okOnExitOnlyActions()
{
  frmExitConfirm->TimerConfirm.setInterval(1);
  const QString kinds[] = {QStringLiteral("PowerOff"), QStringLiteral("Reboot"), QStringLiteral("LogOff")};
  for (int index = 5; index <= 7; ++index) {
    const QString kind = kinds[index - 5];
    frmOrvel->SetSelectedIndex(index);
    // Accepted, cancelled, then left to run out.
    frmOrvel->show();
    WhenConfirmationShows([](TfrmExitConfirm* ADialog) { QTest::mouseClick(ADialog->btnOk, Qt::LeftButton); });
    frmOrvel->btnOk->click();
    QCOMPARE(FSession->Calls, QStringList({QStringLiteral("May ") + kind, QStringLiteral("Exit ") + kind}));
    QVERIFY(!frmOrvel->isVisible());
    // The machine stayed awake through the count-down, and is free to sleep again.
    QCOMPARE(FSession->Inhibited, QStringList({QStringLiteral("Waiting to end the session")}));
    QCOMPARE(FSession->HeldLocks(), 0);
    FSession->Inhibited.clear();

    FSession->Calls.clear();
    WhenConfirmationShows([](TfrmExitConfirm* ADialog) { QTest::mouseClick(ADialog->btnCancel, Qt::LeftButton); });
    frmOrvel->ActionOk->trigger();
    QCOMPARE(FSession->Calls, QStringList({QStringLiteral("May ") + kind}));

    FSession->Calls.clear();
    frmOrvel->ActionOk->trigger();
    QCOMPARE(FSession->Calls, QStringList({QStringLiteral("May ") + kind, QStringLiteral("Exit ") + kind}));
    FSession->Calls.clear();
    QCOMPARE(FHooks, QStringList(3, QStringLiteral("Store %1").arg(index)));
    FHooks.clear();
    FSession->Inhibited.clear();
  }
  QVERIFY(frmOrvel->Desktop().Balloons().isEmpty());

  // Lock Workstation locks at once, without the confirmation.
  QSignalSpy confirmations(frmExitConfirm, &QDialog::finished);
  frmOrvel->SetSelectedIndex(8);
  frmOrvel->ActionOk->trigger();
  QCOMPARE(FSession->Calls, QStringList({QStringLiteral("Lock")}));
  QCOMPARE(confirmations.size(), 0);

  // An exit that fails raises the balloon only.
  FSession->Succeeds = false;
  frmOrvel->ActionOk->trigger();
  QCOMPARE(frmOrvel->Desktop().Balloons().size(), 1);
  QCOMPARE(frmOrvel->Desktop().Balloons().last().Text,
           QStringLiteral("Unable to exit windows, you may not have permission."));
  QVERIFY(TMessageBox::Shown().isEmpty());
}

void TestMainWindow::missingPrivilegeShowsMessageThenBalloon()
{
  FSession->Privileged = false;
  QSignalSpy confirmations(frmExitConfirm, &QDialog::finished);
  frmOrvel->SetSelectedIndex(5);
  frmOrvel->ActionOk->trigger();
  QCOMPARE(FSession->Calls, QStringList({QStringLiteral("May PowerOff")}));
  QCOMPARE(confirmations.size(), 0);
  QCOMPARE(TMessageBox::Shown().size(), 1);
  QCOMPARE(TMessageBox::Shown().first().Kind, TMessageBox::mkError);
  QCOMPARE(TMessageBox::Shown().first().Text, QStringLiteral("You do not have sufficient privileges to exit windows."));
  QCOMPARE(frmOrvel->Desktop().Balloons().size(), 1);
  const TDesktopIntegration::TBalloon balloon = frmOrvel->Desktop().Balloons().first();
  QCOMPARE(balloon.Text, QStringLiteral("Unable to exit windows, you may not have permission."));
  QCOMPARE(balloon.Type, btError);
  QCOMPARE(balloon.Time, 5000);
}

void TestMainWindow::startupAndShutdownSequences()
{
  MakeForms(false);
  TFakeShell& hooks = FRig->Fake;
  hooks.OnLoadApplicationSettings = [this] { FHooks << QStringLiteral("LoadSettings"); };
  hooks.OnSaveSettings = [this](bool ADefaults) { FHooks << QStringLiteral("SaveSettings %1").arg(ADefaults); };
  hooks.OnLoadBackupProfiles = [this] { FHooks << QStringLiteral("LoadProfiles"); };
  hooks.OnSaveBackupProfiles = [this] { FHooks << QStringLiteral("SaveProfiles"); };
  hooks.OnSetAutoUpdateEnabled = [this](bool AOn) { FHooks << QStringLiteral("AutoUpdate %1").arg(AOn); };
  hooks.OnCheckBackupAlerts = [this] { FHooks << QStringLiteral("Alerts"); };
  hooks.OnShowAbout = [this](const QString&, const QString&, const QString&) { FHooks << QStringLiteral("About"); };
  TClock::SetSource([] { return QDateTime(QDate(2015, 12, 25), QTime(14, 30, 5)); });
  frmOrvel->SetArguments({QStringLiteral("/about")});
  int closed = 0;
  frmOrvel->OnClosed = [&closed](QObject*) { ++closed; };

  // Closing is refused until Exit (or the end of the session) allows it.
  frmOrvel->show();
  QVERIFY(!frmOrvel->close());
  QCOMPARE(closed, 0);

  QTRY_VERIFY(frmOrvel->ApplicationActive());
  frmOrvel->FormActivate();
  QCOMPARE(FHooks, QStringList({"LoadSettings", "LoadProfiles", "AutoUpdate 1", "Alerts", "About"}));
  const QString logName =
      QDir(qEnvironmentVariable("XDG_DATA_HOME")).filePath(QStringLiteral("Corvale/Logs/251215143005.log"));
  QVERIFY(frmOrvel->ApplicationLog()->Active());
  QCOMPARE(frmOrvel->ApplicationLog()->FileName(), logName);
  QVERIFY(frmOrvel->Desktop().TrayIcon->isVisible());
  QCOMPARE(frmOrvel->Desktop().TrayIconIndex(), 0);
  QCOMPARE(frmOrvel->Desktop().TrayIconHint(), QStringLiteral("Corvale"));
  QVERIFY(frmOrvel->OverdueCheck().Timer.isActive());

  FHooks.clear();
  QVERIFY(frmOrvel->QueryEndSession());
  frmOrvel->EndSession();
  QCOMPARE(FHooks, QStringList({"AutoUpdate 0", "SaveSettings 0", "LoadSettings", "SaveProfiles"}));
  QCOMPARE(closed, 1);
  QVERIFY(!QFile::exists(logName));
  QVERIFY(!frmOrvel->Desktop().TrayIcon->isVisible());
  QVERIFY(!frmOrvel->OverdueCheck().Timer.isActive());

  // A log folder that cannot be made ends the start-up there; the error reaches the exception window.
  MakeForms(false);
  FRig->Fake.OnLoadBackupProfiles = [this] { FHooks << QStringLiteral("LoadProfiles"); };
  QDir(qEnvironmentVariable("XDG_DATA_HOME")).removeRecursively();
  QDir().mkpath(qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/Corvale"));
  QFile blocker(qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/Corvale/Logs"));
  QVERIFY(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  frmOrvel->FormActivate();
  QCOMPARE(FHooks.size(), 1);
  QVERIFY(FHooks.first().startsWith(QLatin1String("Exception Failed to create log file folder \"")));
  QVERIFY(!frmOrvel->Desktop().TrayIcon->isVisible());
  QVERIFY(!frmOrvel->ApplicationLog()->Active());
  blocker.remove();
}

void TestMainWindow::firstStartOffersTheWizard()
{
  // Offered only to a start by the user (no switches) that finds no profile at all.
  const auto offers = [this](const QStringList& AArguments, const QStringList& AProfiles) {
    MakeForms(false);
    int offered = 0;
    FRig->Fake.OnOfferFirstProfile = [&offered] { return ++offered, true; };
    FRig->Fake.OnProfileNames = [AProfiles] { return AProfiles; };
    frmOrvel->SetArguments(AArguments);
    frmOrvel->FormActivate();
    return offered;
  };
  QCOMPARE(offers({}, {}), 1);
  QCOMPARE(offers({QStringLiteral("/HIDE")}, {}), 0);
  QCOMPARE(offers({}, {QStringLiteral("Documents")}), 0);
}

void TestMainWindow::shutdownErrorStopsTheClose()
{
  TFakeShell& hooks = FRig->Fake;
  int closed = 0;
  int terminated = 0;
  FHooks.clear();
  frmOrvel->OnClosed = [&closed](QObject*) { ++closed; };
  frmOrvel->OnTerminate = [&terminated](QObject*) { ++terminated; };
  QString className;
  TExceptionChoice choice = TExceptionChoice::Continue;
  QWidget* sender = nullptr;
  const auto showException = [&](QWidget* ASender, const QString& AMessage, const QString& AClassName) {
    FHooks << QStringLiteral("Exception ") + AMessage;
    className = AClassName;
    sender = ASender;
    return choice;
  };
  bool failing = true;
  int saves = 0;
  const auto saveProfiles = [&] {
    ++saves;
    if (failing)
      throw EBackupProfileManagerException(QStringLiteral("Failed to save the backup profiles."));
  };
  hooks.OnShowException = showException;
  hooks.OnSaveBackupProfiles = saveProfiles;
  const QString logName = frmOrvel->ApplicationLog()->FileName();

  // A failed save stops the close: the user sees it, the program and its log stay.
  frmOrvel->ActionExit->trigger();
  QCOMPARE(closed, 0);
  QCOMPARE(FHooks, QStringList({"Exception Failed to save the backup profiles."}));
  QCOMPARE(className, QStringLiteral("EBackupProfileManagerException"));
  QCOMPARE(sender, frmOrvel);
  QVERIFY(QFile::exists(logName));
  QVERIFY(frmOrvel->ApplicationLog()->Active());
  QVERIFY(frmOrvel->OverdueCheck().Timer.isActive());
  QVERIFY(frmOrvel->Desktop().TrayIcon->isVisible());
  // Closing the window any other way is refused again.
  QVERIFY(!frmOrvel->close());
  QCOMPARE(saves, 1);

  // Once the cause is gone, Exit closes as usual.
  failing = false;
  FHooks.clear();
  frmOrvel->ActionExit->trigger();
  QCOMPARE(closed, 1);
  QVERIFY(FHooks.isEmpty());
  QVERIFY(!QFile::exists(logName));

  // Terminate ends the program at once; the shutdown sequence does not run again afterwards.
  MakeForms(true);
  TFakeShell& next = FRig->Fake;
  closed = 0;
  saves = 0;
  failing = true;
  choice = TExceptionChoice::Terminate;
  next.OnShowException = showException;
  next.OnSaveBackupProfiles = saveProfiles;
  frmOrvel->OnClosed = [&closed](QObject*) { ++closed; };
  frmOrvel->OnTerminate = [&terminated](QObject*) { ++terminated; };
  frmOrvel->EndSession();
  QCOMPARE(terminated, 1);
  QVERIFY(frmOrvel->Terminated());
  frmOrvel->EndSession();
  QCOMPARE(saves, 1);
  QCOMPARE(closed, 0);
  QCOMPARE(FHooks.size(), 1);
}

void TestMainWindow::profileEditorFromTrayAndCommandLine()
{
  QMenu* menu = frmOrvel->Desktop().PopupMenuTrayIcon;
  FRig->Fake.OnProfileNames = [] { return QStringList({QStringLiteral("Documents"), QStringLiteral("R&D")}); };
  FRig->Fake.OnEditProfile = [this](const QString& AName) {
    FHooks << QStringLiteral("Edit ") + AName;
    return true;
  };
  FRig->Fake.OnNewProfile = [this] {
    FHooks << QStringLiteral("New");
    return true;
  };
  bool active = false;
  FRig->Fake.OnIsBackupActive = [&active] { return active; };

  emit menu->aboutToShow();
  QCOMPARE(Texts(frmOrvel->Desktop().mnuEditProfile->actions()), QStringList({"Documents...", "R&&D..."}));
  frmOrvel->Desktop().mnuEditProfile->actions().at(1)->trigger();
  frmOrvel->Desktop().mnuNewProfile->trigger();
  QCOMPARE(FHooks, QStringList({"Edit R&D", "New"}));

  // The command line names the profile in the argument after the switch; a missing name is reported.
  FHooks.clear();
  TMessageBox::QueueAnswer(TMessageBox::maOk);
  frmOrvel->ProcessCommandLine({QStringLiteral("--edit-profile"), QStringLiteral("/HIDE"),
                                QStringLiteral("--new-profile"), QStringLiteral("--edit-profile")});
  QCOMPARE(FHooks, QStringList({"Edit /HIDE", "New"}));
  QCOMPARE(TMessageBox::Shown().last().Kind, TMessageBox::mkError);

  // Not while a backup runs.
  FHooks.clear();
  active = true;
  emit menu->aboutToShow();
  QVERIFY(!frmOrvel->Desktop().mnuEditProfile->isEnabled() && !frmOrvel->Desktop().mnuNewProfile->isEnabled());
  frmOrvel->ProcessCommandLine({QStringLiteral("--new-profile")});
  QVERIFY(FHooks.isEmpty());
  QCOMPARE(TMessageBox::Shown().last().Text, QStringLiteral("Backup already active."));
}

void TestMainWindow::commandLineSwitchesRunInOrder()
{
  frmOrvel->show();
  bool visibleDuringDialog = false;
  FRig->Fake.OnCustomBackup = [&](TExitParameter&) {
    // The dialog holds the following switches until it closes.
    QTest::qWait(20);
    visibleDuringDialog = frmOrvel->isVisible();
    FHooks << QStringLiteral("Custom");
    return false;
  };
  FRig->Fake.OnShowOptions = [this] {
    FHooks << QStringLiteral("Options");
    return false;
  };
  frmOrvel->ProcessCommandLine(
      {QStringLiteral("/BACKUP"), QStringLiteral("/hide"), QStringLiteral("other"), QStringLiteral("/Options")});
  QVERIFY(visibleDuringDialog);
  QCOMPARE(FHooks, QStringList({"Custom", "Options"}));
  // /OPTIONS shows the application again after /hide.
  QVERIFY(frmOrvel->isVisible());
  frmOrvel->ProcessCommandLine({QStringLiteral("/HiDe")});
  QVERIFY(!frmOrvel->isVisible());
}

void TestMainWindow::commandsFromLaterStarts()
{
  int closed = 0;
  frmOrvel->OnClosed = [&closed](QObject*) { ++closed; };
  FRig->Fake.OnShowOptions = [this] {
    FHooks << QStringLiteral("Options");
    return false;
  };
  frmOrvel->ExecuteCommand(TInstanceCommand::Show);
  QVERIFY(frmOrvel->isVisible());
  frmOrvel->ExecuteCommand(TInstanceCommand::Hide);
  QVERIFY(!frmOrvel->isVisible());
  frmOrvel->ExecuteCommand(TInstanceCommand(0));
  frmOrvel->ExecuteCommand(TInstanceCommand(6));
  QVERIFY(!frmOrvel->isVisible());
  frmOrvel->ExecuteCommand(TInstanceCommand::Options);
  QTRY_COMPARE(FHooks, QStringList({"Options"}));

  // While a backup runs, Open shows the progress window and Exit asks to cancel instead of quitting.
  TBlockedRun run(FRig->Fake);
  FRig->Fake.OnCancelBackup = [this] { FHooks << QStringLiteral("Cancel"); };
  QVERIFY(RunToEnd([&] {
    QVERIFY(frmOrvel->RunBackup());
    QVERIFY(run.Entered());
    frmBackupProgress->hide();
    frmOrvel->ExecuteCommand(TInstanceCommand::Show);
    QVERIFY(frmBackupProgress->isVisible());
    QVERIFY(!frmOrvel->isVisible());
    frmOrvel->ExecuteCommand(TInstanceCommand::Options); // options are disabled during a run
    frmOrvel->ExecuteCommand(TInstanceCommand::Exit);
    QTest::qWait(20);
    QCOMPARE(FHooks, QStringList({"Options", "Cancel"}));
    QCOMPARE(closed, 0);
    run.Release();
  }));
  frmOrvel->ExecuteCommand(TInstanceCommand::Exit);
  QCOMPARE(closed, 1);
}

void TestMainWindow::reloadWaitsForTheRunAndTheOptions()
{
  TFakeShell& hooks = FRig->Fake;
  bool active = false;
  hooks.OnIsBackupActive = [&active] { return active; };
  hooks.OnLoadApplicationSettings = [this] { FHooks << QStringLiteral("LoadSettings"); };
  hooks.OnLoadBackupProfiles = [this] { FHooks << QStringLiteral("LoadProfiles"); };
  hooks.OnSaveSettings = [this](bool) { FHooks << QStringLiteral("SaveSettings"); };
  hooks.OnSaveBackupProfiles = [this] { FHooks << QStringLiteral("SaveProfiles"); };
  hooks.OnCheckBackupAlerts = [this] { FHooks << QStringLiteral("Alerts"); };
  frmOrvel->ApplicationLog()->SetCacheSize(100);

  // Idle: the sender is answered first, the store is read from the event loop, and an alert on
  // show is counted again.
  frmOrvel->Desktop().SetTrayIcon(12, QStringLiteral("Corvale - Backup Alerts: 1"));
  frmOrvel->ExecuteCommand(TInstanceCommand::Reload);
  QVERIFY(FHooks.isEmpty());
  QTRY_COMPARE(FHooks, QStringList({"LoadSettings", "LoadProfiles", "Alerts"}));
  QCOMPARE(frmOrvel->Desktop().TrayIconIndex(), 0);
  QVERIFY(frmOrvel->ApplicationLog()
              ->LogCache()
              .join(QLatin1Char('\n'))
              .contains(QStringLiteral("Reloading settings and backup profiles...")));

  // During a run the manager is left alone; the store is read once the run has saved its profiles.
  // An error out of the run still leaves nothing waiting.
  for (const bool raises : {false, true}) {
    FHooks.clear();
    QSemaphore gate;
    hooks.OnBackup = [&]() -> bool {
      gate.acquire();
      if (raises)
        throw std::runtime_error("disk gone");
      return true;
    };
    QVERIFY(RunToEnd([&] {
      QVERIFY(frmOrvel->RunBackup());
      frmOrvel->ExecuteCommand(TInstanceCommand::Reload);
      QTest::qWait(20);
      FHooks << QStringLiteral("Saved");
      gate.release();
    }));
    QCOMPARE(FHooks, QStringList({"Saved", "LoadSettings", "LoadProfiles"}) +
                         (raises ? QStringList({"Exception disk gone"}) : QStringList()));
    QVERIFY(!frmOrvel->ReloadPending());
  }

  // With the options dialog on screen the reading waits until it closes.
  FHooks.clear();
  bool optionsOpen = false;
  hooks.OnOptionsVisible = [&optionsOpen] { return optionsOpen; };
  hooks.OnShowOptions = [&] {
    optionsOpen = true;
    frmOrvel->ExecuteCommand(TInstanceCommand::Reload);
    QTest::qWait(20);
    FHooks << QStringLiteral("Options");
    optionsOpen = false;
    return false;
  };
  frmOrvel->ExecuteCommand(TInstanceCommand::Options);
  QTRY_COMPARE(FHooks, QStringList({"Options", "LoadSettings", "LoadProfiles"}));

  // A request not yet carried out when the program closes comes before its saving.
  FHooks.clear();
  frmOrvel->ExecuteCommand(TInstanceCommand::Reload);
  frmOrvel->ExecuteCommand(TInstanceCommand::Exit);
  QTest::qWait(20);
  QCOMPARE(FHooks, QStringList({"LoadSettings", "LoadProfiles", "SaveSettings", "LoadSettings", "SaveProfiles"}));

  // Before the start-up there is nothing to read again: the start-up reads the store.
  MakeForms(false);
  FRig->Fake.OnLoadApplicationSettings = [this] { FHooks << QStringLiteral("LoadSettings"); };
  frmOrvel->ExecuteCommand(TInstanceCommand::Reload);
  QTest::qWait(20);
  QVERIFY(FHooks.isEmpty());
  QVERIFY(!frmOrvel->ReloadPending());
}

void TestMainWindow::enabledRulesAndShiftCancel()
{
  bool active = false;
  FRig->Fake.OnIsBackupActive = [&active] { return active; };
  frmOrvel->show();
  active = true;
  frmOrvel->UpdateActions();
  for (QAction* action : {frmOrvel->ActionOk, frmOrvel->ActionOptions, frmOrvel->ActionCustomBackup})
    QVERIFY(!action->isEnabled());
  for (QAction* action : {frmOrvel->ActionHide, frmOrvel->ActionExit, frmOrvel->ActionAbout, frmOrvel->ActionShow,
                          frmOrvel->ActionCheckBackupAlerts})
    QVERIFY(action->isEnabled());
  QVERIFY(!frmOrvel->btnOk->isEnabled() && !frmOrvel->bntOptions->isEnabled() && frmOrvel->btnCancel->isEnabled());
  active = false;
  // Re-evaluated when the event loop waits for the next event.
  QEventLoop idle;
  QTimer::singleShot(20, &idle, &QEventLoop::quit);
  idle.exec();
  QVERIFY(frmOrvel->btnOk->isEnabled());

  int closed = 0;
  frmOrvel->OnClosed = [&closed](QObject*) { ++closed; };
  QTest::mouseClick(frmOrvel->btnCancel, Qt::LeftButton, Qt::ShiftModifier | Qt::ControlModifier);
  QVERIFY(!frmOrvel->isVisible());
  QCOMPARE(closed, 0);
  frmOrvel->show();
  QTest::mouseClick(frmOrvel->btnCancel, Qt::LeftButton, Qt::ShiftModifier);
  QCOMPARE(closed, 1);
  QVERIFY(!frmOrvel->isVisible());
}

void TestMainWindow::trayMenuAndQuickBackup()
{
  QMenu* menu = frmOrvel->Desktop().PopupMenuTrayIcon;
  QCOMPARE(Texts(menu->actions()), QStringList({"Open", "Backup", "", "Options", "About", "", "Exit"}));
  QCOMPARE(menu->defaultAction(), frmOrvel->ActionShow);
  QVERIFY(frmOrvel->ActionShow->font().bold());
  QCOMPARE(frmOrvel->Desktop().TrayIcon->contextMenu(), menu);

  QStringList profiles = {QStringLiteral("Documents"), QStringLiteral("R&D")};
  FRig->Fake.OnProfileNames = [&profiles] { return profiles; };
  emit menu->aboutToShow();
  QCOMPARE(Texts(frmOrvel->Desktop().mnuBackup->actions()),
           QStringList({"Custom Backup...", "Documents", "R&&D", "", "Edit Profile", "New Profile..."}));
  profiles = {QStringLiteral("Mail")};
  emit menu->aboutToShow();
  QCOMPARE(Texts(frmOrvel->Desktop().mnuBackup->actions()),
           QStringList({"Custom Backup...", "Mail", "", "Edit Profile", "New Profile..."}));

  // A profile entry asks, runs that profile alone and ends hidden, without an exit action.
  profiles = {QStringLiteral("R&D")};
  bool active = false;
  FRig->Fake.OnIsBackupActive = [&active] { return active; };
  FRig->Fake.OnQueueProfile = [this](const QString& AName) { FHooks << QStringLiteral("Queue ") + AName; };
  int heldDuringRun = 0;
  FRig->Fake.OnBackup = [this, &heldDuringRun] {
    FHooks << QStringLiteral("Backup");
    heldDuringRun = FSession->HeldLocks();
    return true;
  };
  emit menu->aboutToShow();
  TMessageBox::QueueAnswer(TMessageBox::maYes);
  QVERIFY(RunToEnd([] { frmOrvel->Desktop().mnuBackup->actions().at(1)->trigger(); }));
  QCOMPARE(TMessageBox::Shown().last().Text, QStringLiteral("Are you sure you want to launch backup \"R&D\"?"));
  QCOMPARE(FHooks, QStringList({"Queue R&D", "Backup"}));
  QVERIFY(FSession->Calls.isEmpty());
  // Kept awake during the run only.
  QCOMPARE(heldDuringRun, 1);
  QCOMPARE(FSession->Inhibited, QStringList({QStringLiteral("Backup in progress")}));
  QCOMPARE(FSession->HeldLocks(), 0);
  QVERIFY(!frmOrvel->isVisible());

  active = true;
  emit menu->aboutToShow();
  QVERIFY(!frmOrvel->Desktop().mnuBackup->actions().at(1)->isEnabled());
  frmOrvel->QuickBackup(QStringLiteral("R&D"));
  QCOMPARE(TMessageBox::Shown().last().Text, QStringLiteral("Backup already active."));
  QCOMPARE(FHooks.size(), 2);

  // A double click on the icon opens the window.
  active = false;
  emit frmOrvel->Desktop().TrayIcon->activated(QSystemTrayIcon::DoubleClick);
  QVERIFY(frmOrvel->isVisible());

  // The submenus are made once, not again at each opening.
  for (int opening = 0; opening < 50; ++opening)
    emit menu->aboutToShow();
  QCOMPARE(frmOrvel->Desktop().mnuBackup->findChildren<QMenu*>().size(), 1);
  QCOMPARE(frmOrvel->Desktop().mnuEditProfile->actions().size(), 1);
}

void TestMainWindow::trayIconsAndBalloons()
{
  frmOrvel->Desktop().SetTrayIcon(5, QStringLiteral("hint"));
  frmOrvel->Desktop().SetTrayIcon(-1, QString());
  QCOMPARE(frmOrvel->Desktop().TrayIconIndex(), 5);
  QCOMPARE(frmOrvel->Desktop().TrayIconHint(), QStringLiteral("hint"));
  frmOrvel->Desktop().SetTrayIcon(-1, QStringLiteral("other"));
  QCOMPARE(frmOrvel->Desktop().TrayIconIndex(), 5);
  QCOMPARE(frmOrvel->Desktop().TrayIconHint(), QStringLiteral("other"));

  const QList<std::pair<int, int>> steps = {{0, 1},  {10, 1}, {11, 2}, {20, 2},  {21, 3},
                                            {50, 5}, {51, 6}, {90, 9}, {91, 10}, {100, 10}};
  for (const auto& [progress, icon] : steps)
    QCOMPARE(TDesktopIntegration::ProgressIconIndex(progress), icon);
  frmOrvel->Desktop().ShowRunProgress(45);
  QCOMPARE(frmOrvel->Desktop().TrayIconIndex(), 5);
  QCOMPARE(frmOrvel->Desktop().TrayIconHint(), QStringLiteral("Corvale - Progress: 45%"));

  // A click on a balloon runs the handler given with the last balloon.
  int first = 0;
  int second = 0;
  frmOrvel->Desktop().ShowBalloon(QStringLiteral("one"), btWarning, 30000, [&first] { ++first; });
  frmOrvel->Desktop().ShowBalloon(QStringLiteral("two"), btInfo, 5000, {});
  emit frmOrvel->Desktop().TrayIcon->messageClicked();
  frmOrvel->Desktop().ShowBalloon(QStringLiteral("three"), btInfo, 5000, [&second] { ++second; });
  emit frmOrvel->Desktop().TrayIcon->messageClicked();
  QCOMPARE(first, 0);
  QCOMPARE(second, 1);
  QCOMPARE(frmOrvel->Desktop().Balloons().first().Title, QStringLiteral("Corvale"));
}

void TestMainWindow::runBackupRestoresTheWindows()
{
  TFakeShell& hooks = FRig->Fake;
  bool result = false;
  hooks.OnQueueAllEnabled = [this] { FHooks << QStringLiteral("QueueAll"); };
  hooks.OnShowFailedBackup = [this](int ASeconds) { FHooks << QStringLiteral("Failed %1").arg(ASeconds); };
  bool during = false;
  hooks.OnBackup = [&] {
    // Not the window's thread: what it set up before the run started is what it reads.
    during = !frmOrvel->isVisible() && frmBackupProgress->isVisible() && frmOrvel->Desktop().TrayIconIndex() == 1 &&
             frmOrvel->Desktop().Balloons().last().Text == QLatin1String("Backup in progress...");
    return result;
  };
  frmOrvel->show();
  QVERIFY(RunToEnd([] { QVERIFY(frmOrvel->RunBackup()); }));
  QVERIFY(during);
  QCOMPARE(frmOrvel->Desktop().Balloons().last().Text, QStringLiteral("Backup Failed."));
  QCOMPARE(frmOrvel->Desktop().Balloons().last().Type, btError);
  QCOMPARE(FHooks, QStringList({"Failed 60"}));
  QVERIFY(frmOrvel->isVisible() && !frmBackupProgress->isVisible());
  QCOMPARE(frmOrvel->Desktop().TrayIconIndex(), 0);

  // Ok on "Backup and Restart": the run, then the exit action whatever its outcome; the window
  // goes once the run is over.
  FHooks.clear();
  result = true;
  frmOrvel->SetSelectedIndex(1);
  WhenConfirmationShows([](TfrmExitConfirm* ADialog) { QTest::mouseClick(ADialog->btnCancel, Qt::LeftButton); });
  QVERIFY(RunToEnd([] { frmOrvel->ActionOk->trigger(); }));
  QCOMPARE(FHooks, QStringList({"QueueAll", "Store 1"}));
  QCOMPARE(frmOrvel->Desktop().Balloons().last().Text, QStringLiteral("Backup Complete."));
  QCOMPARE(FSession->Calls, QStringList({"May Reboot"}));
  QVERIFY(!frmOrvel->isVisible());

  // "Backup" alone ends with no exit action.
  FSession->Calls.clear();
  frmOrvel->SetSelectedIndex(4);
  QVERIFY(RunToEnd([] { frmOrvel->ActionOk->trigger(); }));
  QVERIFY(FSession->Calls.isEmpty());

  // An error out of the run leaves the windows restored and stops the rest of the action.
  FHooks.clear();
  hooks.OnBackup = []() -> bool { throw std::runtime_error("disk gone"); };
  frmOrvel->SetSelectedIndex(0);
  QVERIFY(RunToEnd([] { frmOrvel->ActionOk->trigger(); }));
  QCOMPARE(FHooks, QStringList({"QueueAll", "Store 0", "Exception disk gone"}));
  QVERIFY(FSession->Calls.isEmpty());
  QVERIFY(frmOrvel->isVisible() && !frmBackupProgress->isVisible());
  QCOMPARE(frmOrvel->Desktop().TrayIconIndex(), 0);
}

void TestMainWindow::progressReportsAreThinnedNotLost()
{
  // The first report is shown as soon as the window's thread turns; reports close behind it wait.
  TRunProgress& progress = frmOrvel->RunProgress();
  QElapsedTimer since;
  since.start();
  progress.Item(10, QStringLiteral("/data/a.txt"));
  QTRY_COMPARE(frmBackupProgress->lblBackupProgress->text(), QStringLiteral("/data/a.txt"));
  progress.Item(20, QStringLiteral("/data/b.txt"));
  progress.Times(7.0 / 86400, 0);
  progress.Item(30, QString());
  QCoreApplication::processEvents();
  if (since.elapsed() < 40)
    QCOMPARE(frmBackupProgress->lblBackupProgress->text(), QStringLiteral("/data/a.txt"));

  // The latest of each is shown when the period ends, with no report after it; an empty message
  // keeps the last file's name.
  QTRY_COMPARE(frmBackupProgress->ProgressBarBackup->value(), 30);
  QCOMPARE(frmBackupProgress->lblBackupProgress->text(), QStringLiteral("/data/b.txt"));
  QCOMPARE(frmBackupProgress->lblTimeElapsed->text(), QStringLiteral("Elapsed: 7 seconds "));

  // A million reports from another thread wake the window a handful of times.
  int wakes = 0;
  connect(&progress, &TRunProgress::Arrived, frmOrvel, [&wakes] { ++wakes; });
  std::thread reporter([&progress] {
    for (int i = 0; i < 1000000; ++i)
      progress.Item(i % 100, QString());
  });
  reporter.join();
  QTRY_COMPARE(frmBackupProgress->ProgressBarBackup->value(), 99);
  QVERIFY2(wakes <= 3, qPrintable(QString::number(wakes)));
}

void TestMainWindow::failedRunShowsItsDialogBeforeTheExitAction()
{
  TFakeShell& hooks = FRig->Fake;
  hooks.OnBackup = [] { return false; };
  hooks.OnShowFailedBackup = [this](int ASeconds) {
    FHooks << QStringLiteral("Failed %1, exit calls so far: %2").arg(ASeconds).arg(FSession->Calls.size());
  };
  frmOrvel->SetSelectedIndex(0);
  WhenConfirmationShows([](TfrmExitConfirm* ADialog) { QTest::mouseClick(ADialog->btnCancel, Qt::LeftButton); });
  QVERIFY(RunToEnd([] { frmOrvel->ActionOk->trigger(); }));
  QCOMPARE(FHooks, QStringList({"Store 0", "Failed 60, exit calls so far: 0"}));
  QCOMPARE(FSession->Calls, QStringList({"May PowerOff"}));
}

void TestMainWindow::customBackupWithLockLocksAtOnce()
{
  TFakeShell& hooks = FRig->Fake;
  hooks.OnCustomBackup = [](TExitParameter& AExitParameter) {
    AExitParameter = xpLockWorkstation;
    return true;
  };
  hooks.OnBackup = [] { return true; };
  QSignalSpy confirmations(frmExitConfirm, &QDialog::finished);
  frmOrvel->SetSelectedIndex(9);
  QVERIFY(RunToEnd([] { frmOrvel->ActionOk->trigger(); }));
  QCOMPARE(FHooks, QStringList({"Store 9"}));
  QCOMPARE(FSession->Calls, QStringList({"Lock"}));
  QCOMPARE(confirmations.size(), 0);
}

void TestMainWindow::exitOnlyAfterSuccessHoldsTheExitBack()
{
  TFakeShell& hooks = FRig->Fake;
  bool option = true;
  bool result = false;
  hooks.OnExitOnlyAfterSuccess = [&option] { return option; };
  hooks.OnShowFailedBackup = [this](int ASeconds) { FHooks << QStringLiteral("Failed %1").arg(ASeconds); };
  hooks.OnBackup = [&result] { return result; };
  frmOrvel->SetSelectedIndex(0); // Backup and Shut Down
  const auto cancelCountDown = [] {
    WhenConfirmationShows([](TfrmExitConfirm* ADialog) { QTest::mouseClick(ADialog->btnCancel, Qt::LeftButton); });
  };

  // A failed run with the option: the dialog stays until closed, no exit action, the tray says why.
  QVERIFY(RunToEnd([] { frmOrvel->ActionOk->trigger(); }));
  QCOMPARE(FHooks, QStringList({"Store 0", "Failed 0"}));
  QVERIFY(FSession->Calls.isEmpty());
  QCOMPARE(frmOrvel->Desktop().Balloons().last().Type, btWarning);
  QVERIFY(frmOrvel->Desktop().Balloons().last().Text.startsWith(
      QStringLiteral("The backup failed, so the session was left")));

  // Without the option the exit action follows the failed run, and the dialog closes by itself.
  FHooks.clear();
  option = false;
  cancelCountDown();
  QVERIFY(RunToEnd([] { frmOrvel->ActionOk->trigger(); }));
  QCOMPARE(FHooks, QStringList({"Store 0", "Failed 60"}));
  QCOMPARE(FSession->Calls, QStringList({"May PowerOff"}));

  // With the option, a run that succeeded ends the session.
  FHooks.clear();
  FSession->Calls.clear();
  option = true;
  result = true;
  cancelCountDown();
  QVERIFY(RunToEnd([] { frmOrvel->ActionOk->trigger(); }));
  QCOMPARE(FSession->Calls, QStringList({"May PowerOff"}));
}

void TestMainWindow::hidingWithoutTrayMinimises()
{
  MakeForms(false);
  frmOrvel->Desktop().TrayAvailable = [] { return false; };
  frmOrvel->FormActivate();
  QVERIFY(!frmOrvel->Desktop().TrayIcon->isVisible());
  frmOrvel->show();
  frmOrvel->ActionHide->trigger();
  QVERIFY(frmOrvel->isVisible());
  QVERIFY(frmOrvel->isMinimized());
  frmOrvel->ExecuteCommand(TInstanceCommand::Show);
  QVERIFY(!frmOrvel->isMinimized());

  // During a run nothing of the program leaves the screen: the main window and, on Hide, the
  // progress window are minimised.
  TBlockedRun run(FRig->Fake);
  QVERIFY(RunToEnd([&] {
    QVERIFY(frmOrvel->RunBackup());
    QVERIFY(run.Entered());
    QVERIFY(frmOrvel->isVisible() && frmOrvel->isMinimized());
    QTest::mouseClick(frmBackupProgress->btnHide, Qt::LeftButton);
    QVERIFY(frmBackupProgress->isVisible() && frmBackupProgress->isMinimized());
    run.Release();
  }));
}

void TestMainWindow::nothingReachesIntoARun()
{
  // Every way in, tried while a run is on its thread: none changes the queue or starts a run; the
  // alert offered from a click waits for the run and follows it.
  TFakeShell& hooks = FRig->Fake;
  TBlockedRun run(hooks);
  hooks.OnProfileNames = [] { return QStringList({QStringLiteral("Documents")}); };
  hooks.OnQueueProfile = [this](const QString& AName) { FHooks << QStringLiteral("Queue ") + AName; };
  hooks.OnQueueAllEnabled = [this] { FHooks << QStringLiteral("QueueAll"); };
  hooks.OnCustomBackup = [this](TExitParameter&) { return FHooks << QStringLiteral("Custom"), false; };
  hooks.OnShowOptions = [this] { return FHooks << QStringLiteral("Options"), false; };
  hooks.OnEditProfile = [this](const QString&) { return FHooks << QStringLiteral("Edit"), false; };
  hooks.OnBackupAlerts = [this] { return FHooks << QStringLiteral("Alerts"), false; };
  hooks.OnCheckBackupAlerts = [this] { FHooks << QStringLiteral("Overdue check"); };
  frmOrvel->Desktop().ShowAlerts(1, [] { frmOrvel->ShowBackupAlerts(); });
  QVERIFY(RunToEnd([&] {
    QVERIFY(frmOrvel->RunBackup());
    QVERIFY(run.Entered());
    QVERIFY(!frmOrvel->RunBackup());
    emit frmOrvel->Desktop().TrayIcon->messageClicked();
    frmOrvel->ActionCheckBackupAlerts->trigger();
    frmOrvel->QuickBackup(QStringLiteral("Documents"));
    frmOrvel->EditProfile(QStringLiteral("Documents"));
    frmOrvel->SetSelectedIndex(0);
    QTest::keyClick(frmOrvel, Qt::Key_Return);
    frmOrvel->ActionCustomBackup->trigger();
    frmOrvel->ProcessCommandLine({QStringLiteral("/BACKUP"), QStringLiteral("/OPTIONS")});
    frmOrvel->ExecuteCommand(TInstanceCommand::Options);
    frmOrvel->OverdueCheck().Tick();
    QTest::qWait(20);
    QVERIFY2(FHooks.isEmpty(), qPrintable(FHooks.join(QLatin1String(", "))));
    run.Release();
  }));
  QTRY_COMPARE(FHooks, QStringList({"Alerts"}));
  QCOMPARE(TMessageBox::Shown().size(), 2); // "Backup already active." for the quick backup and the editor
}

void TestMainWindow::cancelledSessionEndLeavesLaterExitsAlone()
{
  // The session manager asked, the run stopped, then the session went on: a later "Shutdown"
  // still shuts down.
  TBlockedRun run(FRig->Fake);
  QVERIFY(RunToEnd([&] {
    QVERIFY(frmOrvel->RunBackup(xpShutdown, true));
    QVERIFY(run.Entered());
    QVERIFY(frmOrvel->QueryEndSession());
    run.Release();
  }));
  QVERIFY(FSession->Calls.isEmpty());
  frmExitConfirm->TimerConfirm.setInterval(1);
  frmOrvel->SetSelectedIndex(5);
  frmOrvel->ActionOk->trigger();
  QCOMPARE(FSession->Calls, QStringList({"May PowerOff", "Exit PowerOff"}));
}

void TestMainWindow::endOfSessionClosesOpenDialogs()
{
  // A dialog that asks before it closes, open when the session ends (or SIGTERM arrives): it goes
  // without its question, and the program closes.
  class TAsking : public QDialog
  {
  public:
    int Asked = 0;
    void reject() override { ++Asked; }
  } asking;
  int closed = 0;
  frmOrvel->OnClosed = [&closed](QObject*) { ++closed; };
  QTimer::singleShot(0, frmOrvel, [] { frmOrvel->EndSession(); });
  QCOMPARE(asking.exec(), int(QDialog::Rejected));
  QCOMPARE(asking.Asked, 0);
  QCOMPARE(closed, 1);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
