// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: one question, ten actions, three buttons, and the tray icon with its menu.
// It runs the start-up and shutdown sequences with the services the composition root hands it.
#pragma once

#include "platform/TSingleInstance.h"
#include "sysinfo/TEventPump.h"
#include "types/SharedTypes.h"

#include <QElapsedTimer>
#include <QIcon>
#include <QTimer>
#include <QWidget>

#include <exception>
#include <functional>
#include <map>

enum class TRunOutcome : int;

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QPushButton;
class QSystemTrayIcon;
class TBackupRunner;
class TDesktopNotifications;
class TExitWindows;
class TLog;
class TSettingsCycle;
class TShellDialogs;
class TfrmBackupProgress;
class TfrmExitConfirm;

enum TBalloonType : int { btNone = 0, btError = 1, btInfo = 2, btWarning = 3 };

class TfrmOrvel : public QWidget
{
  Q_OBJECT

public:
  // Everything passed in outlives the window. ANotifications stands in for balloons where the
  // desktop has no tray; without it such balloons are only recorded.
  TfrmOrvel(TSettingsCycle& ASettings, TBackupRunner& ABackupRunner, TShellDialogs& ADialogs, TLog& ALog,
            TExitWindows& AExitWindows, TfrmBackupProgress& ABackupProgress, TfrmExitConfirm& AExitConfirm,
            TDesktopNotifications* ANotifications = nullptr, QWidget* AParent = nullptr);
  ~TfrmOrvel() override;

  // Ends the program once the shutdown sequence has run.
  TNotifyEvent OnClosed;
  // Ends the program at once, without the shutdown sequence (Terminate in the exception window).
  TNotifyEvent OnTerminate;
  // Whether the desktop has a system tray; tests replace it.
  std::function<bool()> TrayAvailable;

  // The command-line switches processed at the first activation.
  void SetArguments(const QStringList& AArguments) { FArguments = AArguments; }

  // Start-up, messages and shutdown.
  void FormActivate();
  void ProcessCommandLine(const QStringList& AArguments);
  // A command from a later start of the program or from corvale-cli.
  void ExecuteCommand(TInstanceCommand ACommand);
  // The settings cycle found a new version. Its release notes (AFiles: notes, licence, support;
  // closable after ATimeout seconds) are shown once per run, without holding anything up: after
  // the start-up, when the window is on screen (a start with /HIDE waits until the user shows
  // it). The version is stored once they have been shown.
  void RequestUpdateInformation(const QStringList& AFiles, int ATimeout);
  bool UpdateInformationPending() const { return !FUpdateInformation.isEmpty(); }
  // Reads the options and the profiles again when that was asked for and nothing holds them now;
  // while a backup runs or the options dialog is open the request waits for it to end.
  void ReloadPendingStore();
  bool ReloadPending() const { return FReloadPending; }
  // The session is about to end: the window may close from now on, and a running backup is
  // stopped. Always answers true.
  bool QueryEndSession();
  // The session ends (or the system asked the program to terminate): close through the shutdown
  // sequence. A running backup is stopped first, without asking; the close follows once the run
  // has ended and its writer has removed its temporary files, and no exit action is taken.
  void EndSession();
  bool ApplicationCanClose() const { return FApplicationCanClose; }
  bool ApplicationActive() const { return FApplicationActive; }
  // An error that reached the application: the exception window. AClassName names its type.
  void ApplicationEventsException(const QString& AMessage, const QString& AClassName);
  void ApplicationEventsException(const std::exception& AError);
  // The exception window's Terminate was chosen: the program ends without its shutdown sequence.
  bool Terminated() const { return FTerminated; }

  // The application log callbacks handed to the components.
  void Log(QObject* ASender, const QString& AMessage);
  void Debug(QObject* ASender, const QString& AProcedure, const QString& AMessage);

  // Tray icon and balloons.
  void SetTrayIcon(int AIndex, const QString& AHint);
  void ShowBalloon(const QString& AText, TBalloonType ABalloonType, int ATime, TNotifyEvent AOnClick);
  int TrayIconIndex() const { return FTrayIconIndex; }
  QString TrayIconHint() const;
  static int ProgressIconIndex(int AProgress);
  struct TBalloon
  {
    QString Title;
    QString Text;
    TBalloonType Type;
    int Time;
  };
  // The most recent balloons, oldest first.
  const QList<TBalloon>& Balloons() const { return FBalloons; }
  // What a click on the balloon does now (the handler given with the last balloon).
  void BalloonClicked();
  // The default action of desktop notification AId: the handler given with its balloon.
  void NotificationClicked(unsigned AId);

  // The action flow.
  TExitParameter SelectedExitParameter() const;
  int SelectedIndex() const;
  // An index outside the ten actions selects the first.
  void SetSelectedIndex(int AIndex);
  // Runs the queued profiles. AExitParameter is the exit action that is to follow, if any.
  TRunOutcome RunBackup(TExitParameter AExitParameter = xpNone);
  // Runs the queued profiles, then the exit action unless "ExitOnlyAfterSuccess" holds it back.
  void RunBackupThenExit(TExitParameter AExitParameter);
  void PerformExitAction(TExitParameter AExitParameter);
  void PopupMenuTrayIconPopup();
  void QuickBackup(const QString& AProfileName);
  // The profile editor on a profile of the manager, or on a new one; not while a backup runs.
  void EditProfile(const QString& AProfileName);
  void NewProfile();
  void TimerCheckAlertsTimer();
  // The click on the alert balloon: open the window and offer the overdue profiles.
  void ShowBackupAlerts();
  void UpdateActions();

  // Handlers for the profile manager's events.
  void BackupProgress(QObject* ASender, const QString& AMessage, int AProgress);
  void ProfileProgress(QObject* ASender, const QString& AMessage, int AProgress);
  void TotalProgress(QObject* ASender, const QString& AMessage, int AProgress);
  void RemainingTime(QObject* ASender, qint64 ATotalAmount, qint64 ACurrentAmount, TDateTime AElapsedTime,
                     TDateTime AEstimatedTime);
  void CancelConfirm(QObject* ASender, bool& ACancel);
  void CloseActiveApplications(QObject* ASender, const QStringList& AActivePrograms, bool ACloseGracefully,
                               bool& AContinue);
  void CancelQueueRequest(QObject* ASender, bool& ACancelAll);
  void StartBackup(QObject* ASender, const QString& AProfileName);
  void FinishBackup(QObject* ASender, const QString& AProfileName);
  void ShowProgressWindow(QObject* ASender);
  void HideProgressWindow(QObject* ASender);

  TExitWindows* ExitWindows() const { return &FExitWindows; }
  TLog* ApplicationLog() const { return &FLog; }

  // Controls.
  QLabel* imgLogo = nullptr;
  QLabel* lblShutdown = nullptr;
  QComboBox* ComboBoxSelectBackup = nullptr;
  QPushButton* bntOptions = nullptr;
  QPushButton* btnOk = nullptr;
  QPushButton* btnCancel = nullptr;
  QSystemTrayIcon* TrayIcon = nullptr;
  QMenu* PopupMenuTrayIcon = nullptr;
  QMenu* mnuBackup = nullptr;
  // Below the Backup submenu's profiles: one entry per profile, and a new profile.
  QMenu* mnuEditProfile = nullptr;
  QAction* mnuNewProfile = nullptr;
  QTimer TimerCheckAlerts;

  // Actions; the tray menu's entries Open, Options, About and Exit are these.
  QAction* ActionOptions = nullptr;
  QAction* ActionHide = nullptr;
  QAction* ActionExit = nullptr;
  QAction* ActionAbout = nullptr;
  QAction* ActionShow = nullptr;
  QAction* ActionCustomBackup = nullptr;
  QAction* ActionOk = nullptr;
  QAction* ActionCheckBackupAlerts = nullptr;

protected:
  void showEvent(QShowEvent* AEvent) override;
  void changeEvent(QEvent* AEvent) override;
  void closeEvent(QCloseEvent* AEvent) override;
  void keyPressEvent(QKeyEvent* AEvent) override;
  void paintEvent(QPaintEvent* AEvent) override;
  bool eventFilter(QObject* AWatched, QEvent* AEvent) override;

private:
  void CreateControls();
  void CreateActions();
  void CreateTray();
  // Runs an action's handler; an exception goes to the exception window instead of the event loop.
  void Guarded(const std::function<void()>& AHandler);
  bool IsBackupActive() const;
  bool TrayUsable() const;
  void ShowTrayIcon();
  void ShowApplication();
  void ShowPendingUpdateInformation();
  // Executes an action the way a menu does: only while it is enabled.
  void ExecuteAction(QAction* AAction);

  void ActionOkExecute();
  void ActionShowExecute();
  void ActionHideExecute();
  void ActionExitExecute();
  void ActionAboutExecute();
  void ActionCustomBackupExecute();
  void ActionOptionsExecute();
  void ActionCheckBackupAlertsExecute();

  void LoadApplicationSettings();
  void SaveApplicationSettings(bool ASaveDefaults);
  void StartLog();
  void StopLog();
  void LoadBackupProfiles();
  void SaveBackupProfiles();
  // The shutdown sequence; false when a step failed: the error went to the exception window and
  // the program runs on.
  bool FormClose();

  TSettingsCycle& FSettings;
  TBackupRunner& FBackupRunner;
  TShellDialogs& FDialogs;
  TLog& FLog;
  TExitWindows& FExitWindows;
  TfrmBackupProgress& FBackupProgress;
  TfrmExitConfirm& FExitConfirm;
  TDesktopNotifications* FNotifications;

  bool FApplicationCanClose = false;
  bool FApplicationActive = false;
  bool FTerminated = false;
  bool FEndingSession = false; // the last run was stopped because the session ends
  bool FCloseAfterRun = false; // and the window closes once it has ended
  TDateTime FLastAlertCheck = 0;

  bool FClosed = false;
  bool FCancelAsked = false; // the user cancelled the current run from its progress window
  bool FReloadPending = false;
  // The start-up sequence of the first activation has run.
  bool FStarted = false;
  // The release notes waiting to be shown, and whether they were shown this run.
  QStringList FUpdateInformation;
  int FUpdateInformationTimeout = 0;
  bool FUpdateInformationShown = false;
  QStringList FArguments;
  int FTrayIconIndex = -1;
  TNotifyEvent FBalloonClick;
  // The click handlers of the desktop notifications still open, by id.
  std::map<unsigned, TNotifyEvent> FNotificationClicks;
  QList<TBalloon> FBalloons;
  QList<QIcon> FTrayIcons;
  QTimer FTrayRetry;
  QTimer FActionUpdate;

  // A run reports every file it adds. The progress window shows the latest report at most every
  // ProgressPeriod (laying out its labels for each of many small files cost more than backing
  // them up), and the event loop turns at most every TEventPump period in between.
  static constexpr int ProgressPeriod = 100; // milliseconds
  // One bar's latest report; a report without a message keeps the one before.
  struct TPendingBar
  {
    bool Held = false;
    int Progress = 0;
    QString Message;
    void Hold(int AProgress, const QString& AMessage)
    {
      Held = true;
      Progress = AProgress;
      if (!AMessage.isEmpty())
        Message = AMessage;
    }
  };
  struct TPendingProgress
  {
    TPendingBar Item;
    TPendingBar Profile;
    TPendingBar Total;
    bool Times = false;
    TDateTime Elapsed = 0;
    TDateTime Estimated = 0;
  };
  void ShowProgressSoon();
  void ShowPendingProgress();
  TPendingProgress FPendingProgress;
  QElapsedTimer FProgressShown;
  QTimer FProgressFlush;
  TEventPump FEvents;
};
