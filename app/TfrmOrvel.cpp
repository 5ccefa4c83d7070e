// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TfrmOrvel.h"

#include "app/MainActions.h"
#include "app/Pictures.h"
#include "app/TBackupRunner.h"
#include "app/TSettingsCycle.h"
#include "app/TShellDialogs.h"
#include "app/TfrmBackupProgress.h"
#include "app/TfrmExitConfirm.h"
#include "platform/TDesktopNotifications.h"
#include "settings/TLog.h"
#include "sysinfo/Common.h"
#include "sysinfo/DateTime.h"
#include "sysinfo/TClock.h"
#include "sysinfo/TExitDecision.h"
#include "sysinfo/TExitWindows.h"
#include "sysinfo/TimeTexts.h"
#include "ui/TMessageBox.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLoggingCategory>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <typeinfo>
#include <utility>

#include <cxxabi.h>

Q_LOGGING_CATEGORY(lcShell, "corvale.shell", QtWarningMsg)

namespace {

constexpr int BalloonsKept = 20;

// The readable name of AError's type.
QString ClassName(const std::exception& AError)
{
  const char* mangled = typeid(AError).name();
  int status = 0;
  char* demangled = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
  const QString name = QString::fromLatin1(status == 0 && demangled ? demangled : mangled);
  std::free(demangled);
  return name;
}

TNotificationUrgency Urgency(TBalloonType AType)
{
  switch (AType) {
  case btError:
    return TNotificationUrgency::Critical;
  case btNone:
    return TNotificationUrgency::Low;
  default:
    return TNotificationUrgency::Normal;
  }
}

// The banner at the top: a left-button press moves the borderless window.
class TLogoLabel : public QLabel
{
public:
  using QLabel::QLabel;

protected:
  void mousePressEvent(QMouseEvent* AEvent) override
  {
    if (AEvent->button() != Qt::LeftButton)
      return QLabel::mousePressEvent(AEvent);
    FManual = false;
    // The window manager moves it, as a title bar would; without one, follow the mouse here.
    QWindow* handle = window()->windowHandle();
    if (!handle || !handle->startSystemMove()) {
      FManual = true;
      FOffset = AEvent->globalPosition().toPoint() - window()->frameGeometry().topLeft();
    }
  }
  void mouseMoveEvent(QMouseEvent* AEvent) override
  {
    if (FManual && (AEvent->buttons() & Qt::LeftButton))
      window()->move(AEvent->globalPosition().toPoint() - FOffset);
  }
  void mouseReleaseEvent(QMouseEvent* AEvent) override
  {
    FManual = false;
    QLabel::mouseReleaseEvent(AEvent);
  }

private:
  bool FManual = false;
  QPoint FOffset;
};

void BindButton(QPushButton* AButton, QAction* AAction)
{
  AButton->setText(AAction->text());
  QObject::connect(AButton, &QPushButton::clicked, AAction, &QAction::trigger);
  QObject::connect(AAction, &QAction::changed, AButton,
                   [AButton, AAction] { AButton->setEnabled(AAction->isEnabled()); });
}

} // namespace

TfrmOrvel::TfrmOrvel(TSettingsCycle& ASettings, TBackupRunner& ABackupRunner, TShellDialogs& ADialogs, TLog& ALog,
                     TExitWindows& AExitWindows, TfrmBackupProgress& ABackupProgress, TfrmExitConfirm& AExitConfirm,
                     TDesktopNotifications* ANotifications, QWidget* AParent)
  : QWidget(AParent, Qt::Window | Qt::FramelessWindowHint)
  , FSettings(ASettings)
  , FBackupRunner(ABackupRunner)
  , FDialogs(ADialogs)
  , FLog(ALog)
  , FExitWindows(AExitWindows)
  , FBackupProgress(ABackupProgress)
  , FExitConfirm(AExitConfirm)
  , FNotifications(ANotifications)
{
  setObjectName(QStringLiteral("frmOrvel"));
  setWindowTitle(ApplicationTitle());
  for (int index = 0; index < TrayIconCount; ++index)
    FTrayIcons.append(TrayIconPicture(index));
  setWindowIcon(FTrayIcons.value(0));
  CreateActions();
  CreateControls();
  CreateTray();

  FApplicationActive = false;
  FApplicationCanClose = false;
  FLastAlertCheck = 0;
  const QString dataFolder = GetApplicationDataFolder();
  if (!CheckDirectory(dataFolder, true))
    TMessageBox::Error(this, QStringLiteral("Failed to locate \"%1\"").arg(dataFolder));
  FExitWindows.OnInsufficientPrivileges = [this](QObject*) {
    TMessageBox::Error(this, QStringLiteral("You do not have sufficient privileges to exit windows."));
  };
  FExitWindows.OnExitRequest = [this](QObject*, TExitParameter AExitParameter, bool& Allow) {
    Allow = FExitConfirm.Execute(AExitParameter, 30);
  };
  if (FNotifications)
    FNotifications->OnDefaultAction = [this](unsigned AId) { NotificationClicked(AId); };

  TimerCheckAlerts.setInterval(300000);
  connect(&TimerCheckAlerts, &QTimer::timeout, this, [this] { Guarded([this] { TimerCheckAlertsTimer(); }); });
  TimerCheckAlerts.start();

  // The tray may appear after the program at login; keep looking for it.
  FTrayRetry.setInterval(5000);
  connect(&FTrayRetry, &QTimer::timeout, this, &TfrmOrvel::ShowTrayIcon);

  // Enabled states follow the program's state whenever it is idle, and during a run, whose
  // progress reports process events without ever letting the loop wait, on a short timer.
  if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
    connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &TfrmOrvel::UpdateActions);
  FProgressFlush.setSingleShot(true);
  connect(&FProgressFlush, &QTimer::timeout, this, &TfrmOrvel::ShowPendingProgress);
  FActionUpdate.setInterval(250);
  connect(&FActionUpdate, &QTimer::timeout, this, &TfrmOrvel::UpdateActions);
  FActionUpdate.start();
  UpdateActions();
}

TfrmOrvel::~TfrmOrvel()
{
  FLog.SetActive(false);
  FExitWindows.OnInsufficientPrivileges = nullptr;
  FExitWindows.OnExitRequest = nullptr;
  if (FNotifications)
    FNotifications->OnDefaultAction = nullptr;
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

void TfrmOrvel::CreateControls()
{
  setFixedSize(352, 165);

  imgLogo = new TLogoLabel(this);
  imgLogo->setPixmap(LogoPicture(QSize(352, 48)));
  imgLogo->setFixedHeight(48);

  lblShutdown = new QLabel(QStringLiteral("What do you want the computer to do?"), this);
  QFont heading = lblShutdown->font();
  heading.setBold(true);
  lblShutdown->setFont(heading);

  ComboBoxSelectBackup = new QComboBox(this);
  ComboBoxSelectBackup->setEditable(false);
  for (const TMainAction& action : MainActions)
    ComboBoxSelectBackup->addItem(QString::fromLatin1(action.Caption));
  ComboBoxSelectBackup->setCurrentIndex(0);

  bntOptions = new QPushButton(this);
  btnOk = new QPushButton(this);
  btnCancel = new QPushButton(this);
  BindButton(bntOptions, ActionOptions);
  BindButton(btnOk, ActionOk);
  BindButton(btnCancel, ActionHide);
  btnOk->setDefault(true);
  // Enter on a focused button presses that button, as on any dialog.
  for (QPushButton* button : {bntOptions, btnOk, btnCancel})
    button->setAutoDefault(true);
  btnCancel->installEventFilter(this);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(bntOptions);
  buttons->addStretch();
  buttons->addWidget(btnOk);
  buttons->addWidget(btnCancel);

  auto* body = new QVBoxLayout;
  body->setContentsMargins(12, 8, 12, 10);
  body->addWidget(lblShutdown);
  body->addWidget(ComboBoxSelectBackup);
  body->addStretch();
  body->addLayout(buttons);

  auto* main = new QVBoxLayout(this);
  main->setContentsMargins(1, 1, 1, 1);
  main->setSpacing(0);
  main->addWidget(imgLogo);
  main->addLayout(body, 1);

  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

void TfrmOrvel::CreateTray()
{
  PopupMenuTrayIcon = new QMenu(this);
  PopupMenuTrayIcon->setObjectName(QStringLiteral("PopupMenuTrayIcon"));
  PopupMenuTrayIcon->addAction(ActionShow);
  PopupMenuTrayIcon->setDefaultAction(ActionShow);
  mnuBackup = PopupMenuTrayIcon->addMenu(style()->standardIcon(QStyle::SP_DriveHDIcon), QStringLiteral("Backup"));
  mnuBackup->setObjectName(QStringLiteral("mnuBackup"));
  PopupMenuTrayIcon->addSeparator();
  PopupMenuTrayIcon->addAction(ActionOptions);
  PopupMenuTrayIcon->addAction(ActionAbout);
  PopupMenuTrayIcon->addSeparator();
  PopupMenuTrayIcon->addAction(ActionExit);
  connect(PopupMenuTrayIcon, &QMenu::aboutToShow, this, [this] { Guarded([this] { PopupMenuTrayIconPopup(); }); });

  // The same menu is the context menu of the logo, the action list and the window.
  for (QWidget* widget :
       {static_cast<QWidget*>(this), static_cast<QWidget*>(imgLogo), static_cast<QWidget*>(ComboBoxSelectBackup)}) {
    widget->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(widget, &QWidget::customContextMenuRequested, this,
            [this, widget](const QPoint& APosition) { PopupMenuTrayIcon->popup(widget->mapToGlobal(APosition)); });
  }

  TrayIcon = new QSystemTrayIcon(this);
  TrayIcon->setContextMenu(PopupMenuTrayIcon);
  TrayIcon->setIcon(FTrayIcons.value(0));
  FTrayIconIndex = 0;
  connect(TrayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason AReason) {
    // Panels that speak StatusNotifierItem report a plain click only, never a double click.
    if (AReason == QSystemTrayIcon::DoubleClick || AReason == QSystemTrayIcon::Trigger)
      ExecuteAction(ActionShow);
  });
  connect(TrayIcon, &QSystemTrayIcon::messageClicked, this, &TfrmOrvel::BalloonClicked);
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
  ApplicationEventsException(QString::fromUtf8(AError.what()), ClassName(AError));
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

// ---- Start-up, messages and shutdown ----------------------------------------------------------

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
    LoadApplicationSettings();
    StartLog();
    LoadBackupProfiles();
    ShowTrayIcon();
    SetTrayIcon(tiIdle, ApplicationTitle());
    FDialogs.SetAutoUpdateEnabled(true);
    TimerCheckAlerts.start();
    TimerCheckAlertsTimer();
    // A first start, by the user rather than at logon or with a task: one step to a first profile.
    if (FArguments.isEmpty() && FBackupRunner.ProfileNames().isEmpty())
      (void)FDialogs.OfferFirstProfile();
    ProcessCommandLine(FArguments);
  });
  FStarted = true;
  ShowPendingUpdateInformation();
}

void TfrmOrvel::ShowTrayIcon()
{
  const bool available = TrayAvailable ? TrayAvailable() : QSystemTrayIcon::isSystemTrayAvailable();
  if (available) {
    FTrayRetry.stop();
    TrayIcon->show();
  } else if (!FTrayRetry.isActive()) {
    FTrayRetry.start();
  }
}

bool TfrmOrvel::TrayUsable() const
{
  const bool available = TrayAvailable ? TrayAvailable() : QSystemTrayIcon::isSystemTrayAvailable();
  return available && TrayIcon->isVisible();
}

void TfrmOrvel::ProcessCommandLine(const QStringList& AArguments)
{
  for (qsizetype i = 0; i < AArguments.size(); ++i) {
    const QString& argument = AArguments.at(i);
    // The profile editor from the command line: "--edit-profile NAME" and "--new-profile".
    if (argument == QLatin1String("--edit-profile")) {
      if (i + 1 < AArguments.size())
        EditProfile(AArguments.at(++i));
      else
        TMessageBox::Error(this, QStringLiteral("--edit-profile needs the name of a profile."));
      continue;
    }
    if (argument == QLatin1String("--new-profile")) {
      NewProfile();
      continue;
    }
    const QString upper = argument.toUpper();
    if (upper == QLatin1String("/HIDE"))
      ExecuteAction(ActionHide);
    else if (upper == QLatin1String("/ABOUT"))
      ExecuteAction(ActionAbout);
    else if (upper == QLatin1String("/OPTIONS"))
      ExecuteAction(ActionOptions);
    else if (upper == QLatin1String("/BACKUP"))
      ExecuteAction(ActionCustomBackup);
  }
}

void TfrmOrvel::ExecuteAction(QAction* AAction)
{
  UpdateActions();
  AAction->trigger();
}

void TfrmOrvel::ExecuteCommand(TInstanceCommand ACommand)
{
  qCDebug(lcShell) << "command" << int(ACommand);
  switch (ACommand) {
  case TInstanceCommand::Show:
    ExecuteAction(ActionShow);
    break;
  case TInstanceCommand::Hide:
    ExecuteAction(ActionHide);
    break;
  case TInstanceCommand::Exit:
    ExecuteAction(ActionExit);
    break;
  case TInstanceCommand::Options:
    // The options are a modal dialog: the sender is answered first and the dialog follows from the
    // event loop, so that a later start does not wait for the user to close it.
    UpdateActions();
    if (ActionOptions->isEnabled())
      QTimer::singleShot(0, this, [this] {
        if (!FClosed)
          ActionOptions->trigger();
      });
    break;
  case TInstanceCommand::Reload:
    // The sender is answered at once; the reading follows from the event loop, so that a message
    // it raises does not keep the sender waiting.
    FReloadPending = true;
    QTimer::singleShot(0, this, [this] {
      if (!FClosed)
        Guarded([this] { ReloadPendingStore(); });
    });
    break;
  }
  qCDebug(lcShell).nospace() << "command " << int(ACommand) << " done; main window visible: " << isVisible()
                             << ", minimised: " << isMinimized();
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
  if (IsBackupActive()) {
    FEndingSession = true;
    FBackupRunner.StopBackup();
  }
  return true;
}

void TfrmOrvel::EndSession()
{
  FApplicationCanClose = true;
  if (IsBackupActive()) {
    // The run returns to RunBackup, which closes the window.
    FEndingSession = FCloseAfterRun = true;
    FBackupRunner.StopBackup();
    return;
  }
  if (!FClosed && !FTerminated)
    close();
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
  TimerCheckAlerts.stop();
  FTrayRetry.stop();
  // A step that fails stops the close: what it failed to keep (a save above all) must be seen by
  // the user, and the application log, which would record it, is deleted by the last step.
  try {
    // What another program stored just now must not be overwritten with the older copy.
    ReloadPendingStore();
    FDialogs.SetAutoUpdateEnabled(false);
    SaveApplicationSettings(false);
    SaveBackupProfiles();
    StopLog();
  } catch (const std::exception& error) {
    qCWarning(lcShell) << "The shutdown stopped:" << error.what();
    Log(this, QString::fromUtf8(error.what()));
    if (!FLog.Active() && !FLog.FileName().isEmpty()) {
      FLog.SetAppendLog(true);
      FLog.SetActive(true);
    }
    TimerCheckAlerts.start();
    FDialogs.SetAutoUpdateEnabled(true);
    ApplicationEventsException(error);
    return false;
  }
  FClosed = true;
  TrayIcon->hide();
  return true;
}

void TfrmOrvel::LoadApplicationSettings()
{
  FSettings.LoadApplicationSettings();
}

void TfrmOrvel::SaveApplicationSettings(bool ASaveDefaults)
{
  FSettings.SaveSettings(ASaveDefaults);
  LoadApplicationSettings();
}

void TfrmOrvel::ReloadPendingStore()
{
  if (!FReloadPending)
    return;
  // Before the first activation nothing is loaded yet, and the activation reads the store.
  if (!FApplicationActive) {
    FReloadPending = false;
    return;
  }
  // A run uses the manager's profiles and saves each after its run; the options dialog works on
  // the loaded options. Both read the store again when they are done.
  if (IsBackupActive() || FDialogs.OptionsVisible())
    return;
  FReloadPending = false;
  Log(this, QStringLiteral("Reloading settings and backup profiles..."));
  LoadApplicationSettings();
  LoadBackupProfiles();
  // An alert on show may be about profiles backed up meanwhile: count again.
  if (FTrayIconIndex == tiAlerts) {
    SetTrayIcon(tiIdle, ApplicationTitle());
    FBackupRunner.CheckBackupAlerts();
    FLastAlertCheck = TClock::Now();
  }
}

void TfrmOrvel::StartLog()
{
  const QString folder = GetApplicationDataFolder() + QStringLiteral("Logs/");
  if (!CheckDirectory(folder, true))
    throw ELogError(QStringLiteral("Failed to create log file folder \"%1\"").arg(folder));
  FLog.SetFileName(folder + TClock::CurrentDateTime().toString(QStringLiteral("ddMMyyHHmmss")) +
                   QStringLiteral(".log"));
  FLog.SetActive(true);
}

void TfrmOrvel::StopLog()
{
  Log(this, QStringLiteral("Stopping log..."));
  FLog.SetActive(false);
  // The application log records the running process only.
  if (!FLog.FileName().isEmpty() && QFile::exists(FLog.FileName()))
    QFile::remove(FLog.FileName());
}

void TfrmOrvel::LoadBackupProfiles()
{
  Log(this, QStringLiteral("Loading Backup Profile Manager..."));
  FBackupRunner.LoadBackupProfiles();
}

void TfrmOrvel::SaveBackupProfiles()
{
  Log(this, QStringLiteral("Saving Backup Profile Manager..."));
  FBackupRunner.SaveBackupProfiles();
}

void TfrmOrvel::Log(QObject*, const QString& AMessage)
{
  if (FLog.Active())
    FLog.Add(AMessage);
}

void TfrmOrvel::Debug(QObject* ASender, const QString& AProcedure, const QString& AMessage)
{
  if (FSettings.DebugEnabled())
    Log(ASender, QStringLiteral("Debug: (") + AProcedure + QStringLiteral("): ") + AMessage);
}

// ---- Window ------------------------------------------------------------------------------------

void TfrmOrvel::paintEvent(QPaintEvent* AEvent)
{
  QWidget::paintEvent(AEvent);
  // Without a frame the window needs an edge of its own.
  QPainter painter(this);
  painter.setPen(palette().color(QPalette::Dark));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void TfrmOrvel::keyPressEvent(QKeyEvent* AEvent)
{
  if (AEvent->modifiers() == Qt::NoModifier || AEvent->modifiers() == Qt::KeypadModifier) {
    if (AEvent->key() == Qt::Key_Return || AEvent->key() == Qt::Key_Enter) {
      if (btnOk->isEnabled())
        btnOk->click();
      return;
    }
    if (AEvent->key() == Qt::Key_Escape) {
      btnCancel->click();
      return;
    }
  }
  QWidget::keyPressEvent(AEvent);
}

bool TfrmOrvel::eventFilter(QObject* AWatched, QEvent* AEvent)
{
  // Shift held while Cancel is released quits the program; the click itself still hides.
  if (AWatched == btnCancel && AEvent->type() == QEvent::MouseButtonRelease) {
    const auto* mouse = static_cast<QMouseEvent*>(AEvent);
    if (mouse->button() == Qt::LeftButton && mouse->modifiers() == Qt::ShiftModifier &&
        btnCancel->rect().contains(mouse->position().toPoint()))
      ExecuteAction(ActionExit);
  }
  return QWidget::eventFilter(AWatched, AEvent);
}

bool TfrmOrvel::IsBackupActive() const
{
  return FBackupRunner.IsBackupActive();
}

void TfrmOrvel::UpdateActions()
{
  const bool idle = !IsBackupActive();
  for (QAction* action : {ActionOptions, ActionCustomBackup, ActionOk})
    if (action->isEnabled() != idle)
      action->setEnabled(idle);
}

// ---- Tray icon -----------------------------------------------------------------------------------

void TfrmOrvel::SetTrayIcon(int AIndex, const QString& AHint)
{
  if (AIndex != -1 && AIndex != FTrayIconIndex && AIndex >= 0 && AIndex < FTrayIcons.size()) {
    TrayIcon->setIcon(FTrayIcons.at(AIndex));
    FTrayIconIndex = AIndex;
  }
  // Set only when it changes: a desktop's tray is sent every change, and a run reports its
  // total many times a second.
  if (!AHint.isEmpty() && AHint != TrayIcon->toolTip())
    TrayIcon->setToolTip(AHint);
}

QString TfrmOrvel::TrayIconHint() const
{
  return TrayIcon->toolTip();
}

int TfrmOrvel::ProgressIconIndex(int AProgress)
{
  if (AProgress <= 10)
    return tiProgressFirst;
  return qMin(int(tiProgressLast), (AProgress - 1) / 10 + tiProgressFirst);
}

void TfrmOrvel::ShowBalloon(const QString& AText, TBalloonType ABalloonType, int ATime, TNotifyEvent AOnClick)
{
  FBalloons.append({ApplicationTitle(), AText, ABalloonType, ATime});
  while (FBalloons.size() > BalloonsKept)
    FBalloons.removeFirst();
  static const QSystemTrayIcon::MessageIcon icons[] = {QSystemTrayIcon::NoIcon, QSystemTrayIcon::Critical,
                                                       QSystemTrayIcon::Information, QSystemTrayIcon::Warning};
  const QSystemTrayIcon::MessageIcon icon =
      ABalloonType >= btNone && ABalloonType <= btWarning ? icons[ABalloonType] : QSystemTrayIcon::NoIcon;
  if (TrayUsable()) {
    TrayIcon->showMessage(ApplicationTitle(), AText, icon, ATime);
  } else if (FNotifications) {
    // No tray to carry the balloon: the desktop's notifications show it, and a click on the
    // notification does what a click on the balloon would.
    const unsigned id = FNotifications->Notify(ApplicationTitle(), AText, Urgency(ABalloonType), ATime);
    if (id != 0 && AOnClick)
      FNotificationClicks[id] = AOnClick;
  }
  FBalloonClick = std::move(AOnClick);
}

void TfrmOrvel::NotificationClicked(unsigned AId)
{
  const auto found = FNotificationClicks.find(AId);
  if (found == FNotificationClicks.end())
    return;
  const TNotifyEvent handler = found->second;
  FNotificationClicks.erase(found);
  Guarded([this, &handler] { handler(this); });
}

void TfrmOrvel::BalloonClicked()
{
  if (FBalloonClick) {
    const TNotifyEvent handler = FBalloonClick;
    Guarded([this, &handler] { handler(this); });
  }
}

void TfrmOrvel::PopupMenuTrayIconPopup()
{
  UpdateActions();
  ActionShow->setEnabled(true);
  mnuBackup->clear();
  mnuBackup->addAction(ActionCustomBackup);
  const QStringList names = FBackupRunner.ProfileNames();
  const bool idle = !IsBackupActive();
  for (const QString& name : names) {
    // "&&" shows a literal "&"; the name itself travels with the entry, so every name is reachable.
    auto* entry =
        new QAction(mnuBackup->icon(), QString(name).replace(QLatin1Char('&'), QStringLiteral("&&")), mnuBackup);
    entry->setData(name);
    entry->setEnabled(idle);
    connect(entry, &QAction::triggered, this, [this, entry] {
      const QString profile = entry->data().toString();
      Guarded([this, profile] { QuickBackup(profile); });
    });
    mnuBackup->addAction(entry);
  }
  mnuBackup->addSeparator();
  mnuEditProfile = mnuBackup->addMenu(QStringLiteral("Edit Profile"));
  mnuEditProfile->setObjectName(QStringLiteral("mnuEditProfile"));
  mnuEditProfile->setEnabled(idle && !names.isEmpty());
  for (const QString& name : names) {
    auto* entry = mnuEditProfile->addAction(QString(name).replace(QLatin1Char('&'), QStringLiteral("&&")) +
                                            QStringLiteral("..."));
    entry->setData(name);
    connect(entry, &QAction::triggered, this, [this, entry] {
      const QString profile = entry->data().toString();
      Guarded([this, profile] { EditProfile(profile); });
    });
  }
  mnuNewProfile = mnuBackup->addAction(QStringLiteral("New Profile..."));
  mnuNewProfile->setObjectName(QStringLiteral("mnuNewProfile"));
  mnuNewProfile->setEnabled(idle);
  connect(mnuNewProfile, &QAction::triggered, this, [this] { Guarded([this] { NewProfile(); }); });
}

void TfrmOrvel::EditProfile(const QString& AProfileName)
{
  if (IsBackupActive()) {
    TMessageBox::Error(this, QStringLiteral("Backup already active."));
    return;
  }
  (void)FDialogs.EditProfile(AProfileName);
}

void TfrmOrvel::NewProfile()
{
  if (IsBackupActive()) {
    TMessageBox::Error(this, QStringLiteral("Backup already active."));
    return;
  }
  (void)FDialogs.NewProfile();
}

void TfrmOrvel::QuickBackup(const QString& AProfileName)
{
  if (IsBackupActive()) {
    TMessageBox::Error(this, QStringLiteral("Backup already active."));
    return;
  }
  if (!TMessageBox::Confirmation(this,
                                 QStringLiteral("Are you sure you want to launch backup \"%1\"?").arg(AProfileName)))
    return;
  ActionShowExecute();
  FBackupRunner.QueueProfile(AProfileName);
  RunBackup();
  ActionHideExecute();
}

// ---- Actions ---------------------------------------------------------------------------------------

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
  const int index = SelectedIndex();
  if (index >= 0 && index < MainActionCount) {
    const TMainAction& action = MainActions[index];
    if (action.Custom) {
      ActionCustomBackupExecute();
    } else {
      if (action.BacksUpFirst) {
        FBackupRunner.QueueAllEnabled();
        RunBackupThenExit(action.ExitParameter);
      } else {
        PerformExitAction(action.ExitParameter);
      }
    }
  }
  FSettings.StoreLastSelection(index);
  ActionHideExecute();
}

void TfrmOrvel::RunBackupThenExit(TExitParameter AExitParameter)
{
  const TRunOutcome outcome = RunBackup(AExitParameter);
  if (FEndingSession)
    return;
  if (AExitParameter != xpNone && !TExitDecision::PerformExitAction(outcome, FSettings.ExitOnlyAfterSuccess())) {
    ShowBalloon(TExitDecision::SkippedText(outcome), btWarning, 10000, {});
    return;
  }
  PerformExitAction(AExitParameter);
}

TRunOutcome TfrmOrvel::RunBackup(TExitParameter AExitParameter)
{
  // A run may take hours on a machine left alone: it must not fall asleep under it.
  const std::unique_ptr<TInhibitLock> awake = FExitWindows.KeepAwake(QStringLiteral("Backup in progress"));
  FEndingSession = FCloseAfterRun = false;
  SetTrayIcon(tiProgressFirst, QString());
  ShowBalloon(QStringLiteral("Backup in progress..."), btInfo, 5000, {});
  hide();
  FCancelAsked = false;
  FBackupProgress.SetOnCancel([this](QObject*) {
    FCancelAsked = true;
    FBackupRunner.CancelBackup();
  });
  FBackupProgress.SetOnHide([this](QObject*) { FBackupProgress.hide(); });
  FBackupProgress.show();

  // The windows come back whether the run ends normally or by an exception.
  struct TRestore
  {
    TfrmOrvel* Form;
    ~TRestore()
    {
      Form->SetTrayIcon(tiIdle, ApplicationTitle());
      Form->ShowPendingProgress();
      Form->FBackupProgress.ClearTaskbarProgress();
      Form->FBackupProgress.hide();
      Form->show();
    }
  } restore{this};

  bool complete = false;
  try {
    complete = FBackupRunner.Backup();
  } catch (...) {
    ReloadPendingStore();
    throw;
  }
  // Each profile was saved after its run; a change stored meanwhile by another program is read now.
  ReloadPendingStore();
  if (FEndingSession) {
    // Stopped because the session ends: no balloon, no dialog, no exit action; the program closes
    // once the handler that started the run has returned.
    if (FCloseAfterRun)
      QTimer::singleShot(0, this, [this] { EndSession(); });
    return TRunOutcome::roCancelled;
  }
  if (complete) {
    ShowBalloon(QStringLiteral("Backup Complete."), btInfo, 5000, {});
    return TRunOutcome::roComplete;
  }
  ShowBalloon(QStringLiteral("Backup Failed."), btError, 5000, {});
  // When the failure holds back the exit action, the dialog waits for the user instead of closing.
  const bool exitHeldBack = AExitParameter != xpNone && FSettings.ExitOnlyAfterSuccess();
  FDialogs.ShowFailedBackup(exitHeldBack ? 0 : 60);
  return FCancelAsked ? TRunOutcome::roCancelled : TRunOutcome::roFailed;
}

void TfrmOrvel::PerformExitAction(TExitParameter AExitParameter)
{
  if (FEndingSession)
    return;
  // Sleeping during the count-down would leave the machine half-way, neither on nor off.
  std::unique_ptr<TInhibitLock> awake;
  if (AExitParameter != xpNone && AExitParameter != xpLockWorkstation)
    awake = FExitWindows.KeepAwake(QStringLiteral("Waiting to end the session"));
  if (!FExitWindows.ExitWindows(AExitParameter))
    ShowBalloon(QStringLiteral("Unable to exit windows, you may not have permission."), btError, 5000, {});
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

void TfrmOrvel::ActionShowExecute()
{
  if (IsBackupActive()) {
    FBackupProgress.show();
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
  // Without a tray icon a hidden window could not be found again: minimise it instead. A closed
  // window (Shift+Cancel has just quit) stays hidden.
  if (FClosed || TrayUsable())
    hide();
  else
    showMinimized();
}

void TfrmOrvel::ActionExitExecute()
{
  if (IsBackupActive()) {
    ActionShowExecute();
    FBackupRunner.CancelBackup();
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
    RunBackupThenExit(exitParameter);
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
      SaveApplicationSettings(false);
  } catch (...) {
    FDialogs.SetAutoUpdateEnabled(true);
    throw;
  }
  FDialogs.SetAutoUpdateEnabled(true);
  ReloadPendingStore();
}

void TfrmOrvel::ActionCheckBackupAlertsExecute()
{
  if (FDialogs.BackupAlerts())
    RunBackup();
}

void TfrmOrvel::ShowBackupAlerts()
{
  ExecuteAction(ActionShow);
  // Whether the window manager made this window the active one is its own choice; what matters
  // is that no dialog of the program is waiting for an answer.
  if (QApplication::activeModalWidget()) {
    TMessageBox::Warning(this, QStringLiteral("A dialog box is open in Corvale. Close the dialog box and try again."));
    return;
  }
  if (FDialogs.BackupAlerts())
    RunBackup();
}

void TfrmOrvel::TimerCheckAlertsTimer()
{
  if (IsBackupActive())
    return;
  const TDateTime now = TClock::Now();
  // Whole hours, truncated: a check at most every 13 hours. Counted in milliseconds, rounded, so
  // that exactly 13 hours do not come out as 12.999... in the date-time's fractions.
  const qint64 hours = std::llround((now - FLastAlertCheck) * MSecsPerDay) / (qint64(3600) * 1000);
  if (hours > 12) {
    FBackupRunner.CheckBackupAlerts();
    FLastAlertCheck = now;
  }
}

// ---- Profile manager events -------------------------------------------------------------------

void TfrmOrvel::BackupProgress(QObject*, const QString& AMessage, int AProgress)
{
  FPendingProgress.Item.Hold(AProgress, AMessage);
  ShowProgressSoon();
}

void TfrmOrvel::ShowProgressSoon()
{
  if (!FProgressShown.isValid() || FProgressShown.hasExpired(ProgressPeriod)) {
    ShowPendingProgress();
    return;
  }
  // What is held back is shown when the period ends, also if no report follows.
  if (!FProgressFlush.isActive())
    FProgressFlush.start(std::max<int>(1, ProgressPeriod - static_cast<int>(FProgressShown.elapsed())));
  FEvents.Pump();
}

void TfrmOrvel::ShowPendingProgress()
{
  FProgressFlush.stop();
  FProgressShown.start();
  const TPendingProgress pending = std::exchange(FPendingProgress, TPendingProgress());
  if (pending.Times) {
    FBackupProgress.SetTimeRemaining(RemainingTimeText(pending.Estimated));
    FBackupProgress.SetTimeElapsed(ElapsedTimeText(pending.Elapsed));
  }
  // The window's setters turn the event loop themselves.
  if (pending.Profile.Held)
    FBackupProgress.SetProfileProgress(pending.Profile.Progress, pending.Profile.Message);
  if (pending.Total.Held)
    FBackupProgress.SetTotalProgress(pending.Total.Progress, pending.Total.Message);
  if (pending.Item.Held)
    FBackupProgress.SetBackupProgress(pending.Item.Progress, pending.Item.Message);
}

void TfrmOrvel::ProfileProgress(QObject*, const QString& AMessage, int AProgress)
{
  FPendingProgress.Profile.Hold(AProgress, AMessage);
  ShowProgressSoon();
}

void TfrmOrvel::TotalProgress(QObject*, const QString& AMessage, int AProgress)
{
  FPendingProgress.Total.Hold(AProgress, AMessage);
  ShowProgressSoon();
  SetTrayIcon(ProgressIconIndex(AProgress),
              ApplicationTitle() + QStringLiteral(" - Progress: ") + QString::number(AProgress) + QStringLiteral("%"));
}

void TfrmOrvel::RemainingTime(QObject*, qint64, qint64, TDateTime AElapsedTime, TDateTime AEstimatedTime)
{
  FPendingProgress.Times = true;
  FPendingProgress.Elapsed = AElapsedTime;
  FPendingProgress.Estimated = AEstimatedTime;
  ShowProgressSoon();
}

void TfrmOrvel::CancelConfirm(QObject*, bool& ACancel)
{
  ACancel = TMessageBox::Confirmation(&FBackupProgress,
                                      QStringLiteral("Are you sure you want to cancel the current backup?"));
}

void TfrmOrvel::CloseActiveApplications(QObject*, const QStringList& AActivePrograms, bool ACloseGracefully,
                                        bool& AContinue)
{
  AContinue = FDialogs.CloseActiveApplications(AActivePrograms, ACloseGracefully);
}

void TfrmOrvel::CancelQueueRequest(QObject*, bool& ACancelAll)
{
  SetTrayIcon(tiQuestion, QString());
  ACancelAll = !TMessageBox::Confirmation(
      &FBackupProgress,
      QStringLiteral("You have cancelled the current backup; do you wish to continue with remaining profiles?"));
}

void TfrmOrvel::StartBackup(QObject*, const QString& AProfileName)
{
  // What the previous profile still held back is shown before the next one begins, whose first
  // report is shown at once.
  ShowPendingProgress();
  FProgressShown.invalidate();
  FBackupProgress.SetBackupProfile(QStringLiteral("Backup: %1").arg(AProfileName));
}

void TfrmOrvel::FinishBackup(QObject*, const QString& AProfileName)
{
  ShowPendingProgress();
  FBackupProgress.SetBackupProfile(QStringLiteral("Backup Complete: %1").arg(AProfileName));
}

void TfrmOrvel::ShowProgressWindow(QObject*)
{
  FBackupProgress.show();
  QCoreApplication::processEvents();
}

void TfrmOrvel::HideProgressWindow(QObject*)
{
  FBackupProgress.hide();
  QCoreApplication::processEvents();
}
