// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TfrmOrvel.h"

#include "app/MainActions.h"
#include "app/Pictures.h"
#include "app/TApplication.h"
#include "app/TBackupRunner.h"
#include "app/TDesktopIntegration.h"
#include "app/TSettingsCycle.h"
#include "app/TShellDialogs.h"
#include "app/TfrmBackupProgress.h"
#include "app/TfrmExitConfirm.h"
#include "settings/TLog.h"
#include "sysinfo/Common.h"
#include "sysinfo/TExitWindows.h"
#include "ui/TMessageBox.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLoggingCategory>

#include <utility>

Q_LOGGING_CATEGORY(lcShell, "corvale.shell", QtWarningMsg)

TfrmOrvel::TfrmOrvel(TSettingsCycle& ASettings, TBackupRunner& ABackupRunner, TShellDialogs& ADialogs, TLog& ALog,
                     TExitWindows& AExitWindows, TfrmBackupProgress& ABackupProgress, TfrmExitConfirm& AExitConfirm,
                     TDesktopNotifications* ANotifications, QWidget* AParent)
  : TMainWindowFrame(AParent)
  , FSettings(ASettings)
  , FBackupRunner(ABackupRunner)
  , FDialogs(ADialogs)
  , FLog(ALog)
  , FExitWindows(AExitWindows)
  , FBackupProgress(ABackupProgress)
  , FExitConfirm(AExitConfirm)
  , FStore(ASettings, ABackupRunner, ALog)
  , FOverdueCheck(ABackupRunner)
  , FRunSession(ABackupRunner, ASettings, ADialogs, AExitWindows)
  , FCommands(*this)
{
  setObjectName(QStringLiteral("frmOrvel"));
  setWindowTitle(ApplicationTitle());
  setWindowIcon(TrayIconPicture(tiIdle));
  CreateActions();
  BindButtons(ActionOptions, ActionOk, ActionHide);
  connect(this, &TMainWindowFrame::QuitRequested, this, [this] { ExecuteAction(ActionExit); });
  CreateDesktop(ANotifications);
  ConnectRunSession();

  const QString dataFolder = GetApplicationDataFolder();
  if (!CheckDirectory(dataFolder, true))
    TMessageBox::Error(this, QStringLiteral("Failed to locate \"%1\"").arg(dataFolder));
  FExitWindows.OnInsufficientPrivileges = [this](QObject*) {
    TMessageBox::Error(this, QStringLiteral("You do not have sufficient privileges to exit windows."));
  };
  FExitWindows.OnExitRequest = [this](QObject*, TExitParameter AExitParameter, bool& Allow) {
    Allow = FExitConfirm.Execute(AExitParameter, 30);
  };

  FOverdueCheck.Busy = [this] { return IsBackupActive(); };
  connect(&FOverdueCheck.Timer, &QTimer::timeout, this, [this] { Guarded([this] { FOverdueCheck.Tick(); }); });
  FOverdueCheck.Start();

  // Enabled states follow the program's state whenever it is idle.
  if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
    connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &TfrmOrvel::UpdateActions);
  FBackupProgress.Follow(FRunProgress);
  connect(&FBackupProgress, &TfrmBackupProgress::TotalShown, this, [this](int AProgress) {
    if (FRunSession.Active())
      FDesktop->ShowRunProgress(AProgress);
  });
  UpdateActions();
}

TfrmOrvel::~TfrmOrvel()
{
  AwaitRun();
  FLog.SetActive(false);
  FExitWindows.OnInsufficientPrivileges = nullptr;
  FExitWindows.OnExitRequest = nullptr;
}

void TfrmOrvel::CreateActions()
{
  auto make = [this](const QString& ACaption, const QKeySequence& AShortcut, void (TfrmOrvel::*AHandler)()) {
    auto* action = new QAction(ACaption, this);
    action->setShortcut(AShortcut);
    addAction(action);
    connect(action, &QAction::triggered, this,
            [this, AHandler] { Guarded([this, AHandler] { (this->*AHandler)(); }); });
    return action;
  };
  ActionOptions = make(QStringLiteral("Options"), QKeySequence(Qt::Key_F3), &TfrmOrvel::ActionOptionsExecute);
  ActionHide = make(QStringLiteral("Cancel"), QKeySequence(), &TfrmOrvel::ActionHideExecute);
  ActionExit = make(QStringLiteral("Exit"), QKeySequence(), &TfrmOrvel::ActionExitExecute);
  ActionAbout = make(QStringLiteral("About"), QKeySequence(), &TfrmOrvel::ActionAboutExecute);
  ActionShow = make(QStringLiteral("Open"), QKeySequence(), &TfrmOrvel::ActionShowExecute);
  ActionCustomBackup =
      make(QStringLiteral("Custom Backup..."), QKeySequence(Qt::Key_F9), &TfrmOrvel::ActionCustomBackupExecute);
  ActionOk = make(QStringLiteral("Ok"), QKeySequence(), &TfrmOrvel::ActionOkExecute);
  ActionCheckBackupAlerts =
      make(QStringLiteral("Backup Alerts"), QKeySequence(), &TfrmOrvel::ActionCheckBackupAlertsExecute);
  QFont bold = ActionShow->font();
  bold.setBold(true);
  ActionShow->setFont(bold);
}

void TfrmOrvel::CreateDesktop(TDesktopNotifications* ANotifications)
{
  FDesktop = new TDesktopIntegration(ANotifications, this);
  FDesktop->CreateMenu(ActionShow, ActionCustomBackup, ActionOptions, ActionAbout, ActionExit);
  connect(FDesktop, &TDesktopIntegration::MenuAboutToShow, this, [this] {
    UpdateActions();
    ActionShow->setEnabled(true);
    Guarded([this] { FDesktop->FillBackupMenu(FBackupRunner.ProfileNames(), !IsBackupActive()); });
  });
  connect(FDesktop, &TDesktopIntegration::ShowRequested, this, [this] { ExecuteAction(ActionShow); });
  connect(FDesktop, &TDesktopIntegration::QuickBackupRequested, this,
          [this](const QString& AName) { Guarded([this, AName] { QuickBackup(AName); }); });
  connect(FDesktop, &TDesktopIntegration::EditProfileRequested, this,
          [this](const QString& AName) { Guarded([this, AName] { EditProfile(AName); }); });
  connect(FDesktop, &TDesktopIntegration::NewProfileRequested, this, [this] { Guarded([this] { NewProfile(); }); });
  // The same menu is the context menu of the logo, the action list and the window.
  FDesktop->AttachMenu({this, static_cast<QWidget*>(imgLogo), static_cast<QWidget*>(ComboBoxSelectBackup)});
}

void TfrmOrvel::ConnectRunSession()
{
  connect(&FRunSession, &TRunSession::Returned, this, [this] { Guarded([this] { ReloadPendingStore(); }); });
  connect(&FRunSession, &TRunSession::Balloon, this,
          [this](const QString& AText, TBalloonType AType, int ATime) { FDesktop->ShowBalloon(AText, AType, ATime); });
  connect(&FRunSession, &TRunSession::Ended, this, &TfrmOrvel::RunEnded);
  connect(&FRunSession, &TRunSession::Failed, this, [this](const std::exception& AError) {
    FHideAfterRun = false;
    ApplicationEventsException(AError);
  });
  connect(&FRunSession, &TRunSession::Finished, this, &TfrmOrvel::RunFinished);
  for (auto signal : {&TRunSession::Started, &TRunSession::Returned})
    connect(&FRunSession, signal, this, &TfrmOrvel::UpdateActions);
}

void TfrmOrvel::Guarded(const std::function<void()>& AHandler)
{
  try {
    AHandler();
  } catch (const std::exception& error) {
    ApplicationEventsException(error);
  }
}

void TfrmOrvel::ApplicationEventsException(const std::exception& AError)
{
  ApplicationEventsException(QString::fromUtf8(AError.what()), TApplication::ClassName(AError));
}

void TfrmOrvel::ApplicationEventsException(const QString& AMessage, const QString& AClassName)
{
  qCWarning(lcShell).noquote() << "Unhandled error:" << AMessage;
  if (FTerminated)
    return;
  if (FDialogs.ShowException(this, AMessage, AClassName) == TExceptionChoice::Terminate) {
    FTerminated = true;
    if (OnTerminate)
      OnTerminate(this);
  }
}

void TfrmOrvel::showEvent(QShowEvent* AEvent)
{
  QWidget::showEvent(AEvent);
  // Desktops that refuse focus to new windows would never activate this one; the first showing
  // starts the program as well.
  if (!FApplicationActive)
    QTimer::singleShot(0, this, &TfrmOrvel::FormActivate);
  else if (!FUpdateInformation.isEmpty())
    QTimer::singleShot(0, this, &TfrmOrvel::ShowPendingUpdateInformation);
}

void TfrmOrvel::changeEvent(QEvent* AEvent)
{
  QWidget::changeEvent(AEvent);
  if (AEvent->type() == QEvent::ActivationChange && isActiveWindow() && !FApplicationActive)
    FormActivate();
  // Restored from minimised: release notes waiting for the window follow.
  if (AEvent->type() == QEvent::WindowStateChange && !FUpdateInformation.isEmpty())
    QTimer::singleShot(0, this, &TfrmOrvel::ShowPendingUpdateInformation);
}

void TfrmOrvel::FormActivate()
{
  if (FApplicationActive)
    return;
  FApplicationActive = true;
  Guarded([this] {
    FStore.Open();
    FDesktop->ShowTrayIcon();
    FDesktop->SetTrayIcon(tiIdle, ApplicationTitle());
    FDialogs.SetAutoUpdateEnabled(true);
    FOverdueCheck.Start();
    FOverdueCheck.Tick();
    // A first start, by the user rather than at logon or with a task: one step to a first profile.
    if (FArguments.isEmpty() && FBackupRunner.ProfileNames().isEmpty())
      (void)FDialogs.OfferFirstProfile();
    FCommands.ProcessCommandLine(FArguments);
  });
  FStarted = true;
  ShowPendingUpdateInformation();
}
void TfrmOrvel::ExecuteAction(QAction* AAction)
{
  UpdateActions();
  AAction->trigger();
}

void TfrmOrvel::RequestUpdateInformation(const QStringList& AFiles, int ATimeout)
{
  if (FUpdateInformationShown)
    return;
  FUpdateInformation = AFiles;
  FUpdateInformationTimeout = ATimeout;
  // A request from a later cycle (a reload, the options) is shown from the event loop, not
  // inside the cycle.
  if (FStarted)
    QTimer::singleShot(0, this, &TfrmOrvel::ShowPendingUpdateInformation);
}

void TfrmOrvel::ShowPendingUpdateInformation()
{
  if (FUpdateInformation.isEmpty() || !FStarted || FClosed || FTerminated || !isVisible() || isMinimized())
    return;
  const QStringList files = std::exchange(FUpdateInformation, QStringList());
  FUpdateInformationShown = true;
  Guarded([this, &files] {
    FDialogs.ShowUpdateInformation(files.value(0), files.value(1), files.value(2), FUpdateInformationTimeout);
    FSettings.StoreVersion();
  });
}

bool TfrmOrvel::QueryEndSession()
{
  FApplicationCanClose = true;
  // Only the run is stopped: whether the session really ends is told by EndSession.
  FRunSession.Stop();
  return true;
}

void TfrmOrvel::EndSession()
{
  FApplicationCanClose = true;
  TApplication::CloseDialogs();
  if (FRunSession.Active()) {
    // The window closes once the run has returned.
    FCloseAfterRun = true;
    FRunSession.Stop();
    return;
  }
  if (!FClosed && !FTerminated)
    close();
}

void TfrmOrvel::AwaitRun()
{
  FRunSession.Stop();
  FRunSession.Wait();
}

void TfrmOrvel::closeEvent(QCloseEvent* AEvent)
{
  if (!FApplicationCanClose || FTerminated) {
    AEvent->ignore();
    return;
  }
  if (!FormClose()) {
    // A step failed and the user chose to carry on: the program stays, the close waits for the
    // next request.
    FApplicationCanClose = false;
    AEvent->ignore();
    return;
  }
  AEvent->accept();
  if (OnClosed)
    OnClosed(this);
}

bool TfrmOrvel::FormClose()
{
  if (FClosed)
    return true;
  FOverdueCheck.Stop();
  // A step that fails stops the close: what it failed to keep (a save above all) must be seen by
  // the user, and the application log, which would record it, is deleted by the last step.
  try {
    // What another program stored just now must not be overwritten with the older copy.
    ReloadPendingStore();
    FDialogs.SetAutoUpdateEnabled(false);
    FStore.Close();
  } catch (const std::exception& error) {
    qCWarning(lcShell) << "The shutdown stopped:" << error.what();
    FOverdueCheck.Start();
    FDialogs.SetAutoUpdateEnabled(true);
    ApplicationEventsException(error);
    return false;
  }
  FClosed = true;
  FDesktop->HideTrayIcon();
  FDesktop->WithdrawNotifications();
  return true;
}
void TfrmOrvel::ReloadPendingStore()
{
  // A run uses the manager's profiles and saves each after its run; the options dialog works on
  // the loaded options. Both read the store again when they are done.
  if (FApplicationActive && (IsBackupActive() || FDialogs.OptionsVisible()))
    return;
  if (!FStore.ReloadIfPending(FApplicationActive))
    return;
  // An alert on show may be about profiles backed up meanwhile: count again.
  if (FDesktop->TrayIconIndex() == tiAlerts) {
    FDesktop->SetTrayIcon(tiIdle, ApplicationTitle());
    FOverdueCheck.CheckNow();
  }
}

bool TfrmOrvel::IsBackupActive() const
{
  return FRunSession.Active() || FBackupRunner.IsBackupActive();
}

void TfrmOrvel::UpdateActions()
{
  const bool idle = !IsBackupActive();
  for (QAction* action : {ActionOptions, ActionCustomBackup, ActionOk})
    if (action->isEnabled() != idle)
      action->setEnabled(idle);
}

bool TfrmOrvel::RefusedDuringRun()
{
  if (IsBackupActive())
    TMessageBox::Error(this, QStringLiteral("Backup already active."));
  return IsBackupActive();
}

bool TfrmOrvel::RunMayStart()
{
  if (RefusedDuringRun())
    return false;
  // An open dialog (the options, an editor) may be working on the profiles the run would use.
  if (QApplication::activeModalWidget()) {
    TMessageBox::Warning(this, QStringLiteral("A dialog box is open in Corvale. Close the dialog box and try again."));
    return false;
  }
  return true;
}

void TfrmOrvel::EditProfile(const QString& AProfileName)
{
  if (!RefusedDuringRun())
    (void)FDialogs.EditProfile(AProfileName);
}

void TfrmOrvel::NewProfile()
{
  if (!RefusedDuringRun())
    (void)FDialogs.NewProfile();
}

void TfrmOrvel::QuickBackup(const QString& AProfileName)
{
  if (!RunMayStart())
    return;
  if (!TMessageBox::Confirmation(this,
                                 QStringLiteral("Are you sure you want to launch backup \"%1\"?").arg(AProfileName)))
    return;
  ActionShowExecute();
  FBackupRunner.QueueProfile(AProfileName);
  FHideAfterRun = RunBackup();
}

int TfrmOrvel::SelectedIndex() const
{
  return ComboBoxSelectBackup->currentIndex();
}

void TfrmOrvel::SetSelectedIndex(int AIndex)
{
  ComboBoxSelectBackup->setCurrentIndex(AIndex >= 0 && AIndex < MainActionCount ? AIndex : 0);
}

TExitParameter TfrmOrvel::SelectedExitParameter() const
{
  const int index = SelectedIndex();
  return index >= 0 && index < MainActionCount ? MainActions[index].ExitParameter : xpNone;
}

void TfrmOrvel::ActionOkExecute()
{
  if (IsBackupActive())
    return;
  const int index = SelectedIndex();
  bool running = false;
  if (index >= 0 && index < MainActionCount) {
    const TMainAction& action = MainActions[index];
    if (action.Custom) {
      TExitParameter exitParameter = xpNone;
      if (FDialogs.CustomBackup(exitParameter))
        running = RunBackup(exitParameter, true);
    } else if (action.BacksUpFirst) {
      FBackupRunner.QueueAllEnabled();
      running = RunBackup(action.ExitParameter, true);
    } else {
      PerformExitAction(action.ExitParameter);
    }
  }
  FSettings.StoreLastSelection(index);
  // A run keeps the window hidden; it goes again once the run and its exit action are over.
  FHideAfterRun = running;
  ActionHideExecute();
}

bool TfrmOrvel::RunBackup(TExitParameter AExitParameter, bool AThenExit)
{
  if (FRunSession.Active())
    return false;
  FCloseAfterRun = FHideAfterRun = false;
  FDesktop->SetTrayIcon(tiProgressFirst, QString());
  FDesktop->ShowBalloon(QStringLiteral("Backup in progress..."), btInfo, 5000);
  HideOrMinimise(this);
  FBackupProgress.SetOnCancel([this](QObject*) { FRunSession.Cancel(); });
  FBackupProgress.SetOnHide([this](QObject*) { HideOrMinimise(&FBackupProgress); });
  FBackupProgress.ShowNextAtOnce();
  FBackupProgress.showNormal();
  return FRunSession.Start(AExitParameter, AThenExit);
}

void TfrmOrvel::RunEnded()
{
  FBackupProgress.ShowPending();
  FDesktop->SetTrayIcon(tiIdle, ApplicationTitle());
  FBackupProgress.ClearTaskbarProgress();
  FBackupProgress.hide();
  if (isMinimized())
    showNormal();
  else
    show();
}

void TfrmOrvel::RunFinished()
{
  if (FCloseAfterRun) {
    // Stopped because the session ends: the program closes once this handler has returned.
    FCloseAfterRun = false;
    QTimer::singleShot(0, this, &TfrmOrvel::EndSession);
    return;
  }
  if (std::exchange(FHideAfterRun, false))
    ActionHideExecute();
}

void TfrmOrvel::PerformExitAction(TExitParameter AExitParameter)
{
  FRunSession.PerformExitAction(AExitParameter);
}

void TfrmOrvel::ShowApplication()
{
  if (isMinimized())
    showNormal();
  else
    show();
  raise();
  activateWindow();
}

void TfrmOrvel::HideOrMinimise(QWidget* AWindow)
{
  // Without a tray icon a hidden window could not be found again. A closed window (Shift+Cancel
  // has just quit) stays hidden.
  if (FClosed || FDesktop->TrayUsable())
    AWindow->hide();
  else
    AWindow->showMinimized();
}

void TfrmOrvel::ActionShowExecute()
{
  if (IsBackupActive()) {
    FBackupProgress.showNormal();
    FBackupProgress.raise();
    FBackupProgress.activateWindow();
    return;
  }
  ShowApplication();
  if (isActiveWindow())
    ComboBoxSelectBackup->setFocus();
}

void TfrmOrvel::ActionHideExecute()
{
  HideOrMinimise(this);
}

void TfrmOrvel::ActionExitExecute()
{
  if (IsBackupActive()) {
    ActionShowExecute();
    FRunSession.Cancel();
    return;
  }
  FApplicationCanClose = true;
  close();
}

void TfrmOrvel::ActionAboutExecute()
{
  const QString folder = GetApplicationFolder();
  FDialogs.ShowAbout(folder + QStringLiteral("Corvale - Release Notes.rtf"),
                     folder + QStringLiteral("Corvale - License.rtf"),
                     folder + QStringLiteral("Corvale - Support Details.rtf"));
}

void TfrmOrvel::ActionCustomBackupExecute()
{
  TExitParameter exitParameter = xpNone;
  if (FDialogs.CustomBackup(exitParameter))
    (void)RunBackup(exitParameter, true);
}

void TfrmOrvel::ActionOptionsExecute()
{
  if (FDialogs.OptionsVisible()) {
    QWidget* front = QApplication::activeModalWidget() ? QApplication::activeModalWidget() : this;
    front->raise();
    front->activateWindow();
    return;
  }
  ShowApplication();
  const QString password = FSettings.OptionsPassword();
  if (!TrimText(password).isEmpty()) {
    if (!FDialogs.CheckPassword(QStringLiteral("Please enter your password"), password, 3))
      return;
  }
  FDialogs.SetAutoUpdateEnabled(false);
  try {
    if (FDialogs.ShowOptions())
      FStore.SaveApplicationSettings(false);
  } catch (...) {
    FDialogs.SetAutoUpdateEnabled(true);
    throw;
  }
  FDialogs.SetAutoUpdateEnabled(true);
  ReloadPendingStore();
}

void TfrmOrvel::ActionCheckBackupAlertsExecute()
{
  ShowBackupAlerts();
}

void TfrmOrvel::ShowBackupAlerts()
{
  if (IsBackupActive()) {
    // The alert dialog fills the queue the run is working through: it waits for the run.
    if (!std::exchange(FAlertsDeferred, true))
      FRunSession.WhenIdle([this] {
        FAlertsDeferred = false;
        Guarded([this] { ShowBackupAlerts(); });
      });
    return;
  }
  ExecuteAction(ActionShow);
  // Whether the window manager made this window the active one is its own choice; what matters
  // is that no dialog of the program is waiting for an answer.
  if (QApplication::activeModalWidget()) {
    TMessageBox::Warning(this, QStringLiteral("A dialog box is open in Corvale. Close the dialog box and try again."));
    return;
  }
  if (FDialogs.BackupAlerts())
    (void)RunBackup();
}

void TfrmOrvel::BackupAlertsFound(int ACount)
{
  FDesktop->ShowAlerts(ACount, [this] { Guarded([this] { ShowBackupAlerts(); }); });
}
