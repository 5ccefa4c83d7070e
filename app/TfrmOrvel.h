// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: one question, ten actions, three buttons. It runs the start-up and shutdown
// sequences with the services the composition root hands it and shows what a run reports; the
// run itself happens on a thread of its own (TRunSession), the tray and balloons are
// TDesktopIntegration's.
#pragma once

#include "app/BalloonTypes.h"
#include "app/TMainWindowFrame.h"
#include "app/TOverdueCheck.h"
#include "app/TRunProgress.h"
#include "app/TRunSession.h"
#include "app/TShellCommands.h"
#include "app/TShellStore.h"
#include "types/SharedTypes.h"

#include <QTimer>

#include <exception>
#include <functional>

class QAction;
class TBackupRunner;
class TDesktopIntegration;
class TDesktopNotifications;
class TExitWindows;
class TLog;
class TSettingsCycle;
class TShellDialogs;
class TfrmBackupProgress;
class TfrmExitConfirm;

class TfrmOrvel : public TMainWindowFrame
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

  // The command-line switches processed at the first activation.
  void SetArguments(const QStringList& AArguments) { FArguments = AArguments; }

  // Start-up, messages and shutdown.
  void FormActivate();
  void ProcessCommandLine(const QStringList& AArguments) { FCommands.ProcessCommandLine(AArguments); }
  // A command from a later start of the program or from corvale-cli.
  void ExecuteCommand(TInstanceCommand ACommand) { FCommands.Execute(ACommand); }
  // The settings cycle found a new version. Its release notes (AFiles: notes, licence, support;
  // closable after ATimeout seconds) are shown once per run, without holding anything up: after
  // the start-up, when the window is on screen (a start with /HIDE waits until the user shows
  // it). The version is stored once they have been shown.
  void RequestUpdateInformation(const QStringList& AFiles, int ATimeout);
  bool UpdateInformationPending() const { return !FUpdateInformation.isEmpty(); }
  // Reads the options and the profiles again when that was asked for and nothing holds them now;
  // while a backup runs or the options dialog is open the request waits for it to end.
  void ReloadPendingStore();
  void RequestReload() { FStore.RequestReload(); }
  bool ReloadPending() const { return FStore.ReloadPending(); }
  // The shutdown sequence has run.
  bool Closed() const { return FClosed; }
  // The session is about to end: the window may close from now on, and a running backup is
  // stopped. Always answers true.
  bool QueryEndSession();
  // The session ends (or the system asked the program to terminate): close through the shutdown
  // sequence. A running backup is stopped first, without asking; the close follows once the run
  // has ended and its writer has removed its temporary files, and no exit action is taken.
  void EndSession();
  // The program goes: a run still going is stopped and awaited.
  void AwaitRun();
  bool ApplicationCanClose() const { return FApplicationCanClose; }
  bool ApplicationActive() const { return FApplicationActive; }
  // An error that reached the application: the exception window. AClassName names its type.
  void ApplicationEventsException(const QString& AMessage, const QString& AClassName);
  void ApplicationEventsException(const std::exception& AError);
  // The exception window's Terminate was chosen: the program ends without its shutdown sequence.
  bool Terminated() const { return FTerminated; }

  // The application log callbacks handed to the components (the window's thread).
  void Log(QObject*, const QString& AMessage) { FStore.Log(AMessage); }
  void Debug(QObject*, const QString& AProcedure, const QString& AMessage) { FStore.Debug(AProcedure, AMessage); }

  TDesktopIntegration& Desktop() const { return *FDesktop; }
  TRunSession& RunSession() { return FRunSession; }
  TOverdueCheck& OverdueCheck() { return FOverdueCheck; }
  // Where a run leaves its progress, from any thread.
  TRunProgress& RunProgress() { return FRunProgress; }

  // The action flow.
  TExitParameter SelectedExitParameter() const;
  int SelectedIndex() const;
  // An index outside the ten actions selects the first.
  void SetSelectedIndex(int AIndex);
  // Starts the queued profiles and returns at once; false when a run is active already. The exit
  // action AExitParameter follows with AThenExit, unless "ExitOnlyAfterSuccess" holds it back.
  bool RunBackup(TExitParameter AExitParameter = xpNone, bool AThenExit = false);
  void PerformExitAction(TExitParameter AExitParameter);
  void QuickBackup(const QString& AProfileName);
  // The profile editor on a profile of the manager, or on a new one; not while a backup runs.
  void EditProfile(const QString& AProfileName);
  void NewProfile();
  // The click on the alert balloon: open the window and offer the overdue profiles; during a run
  // the offer follows the run.
  void ShowBackupAlerts();
  // The manager found ACount overdue profiles: the tray says so.
  void BackupAlertsFound(int ACount);
  void UpdateActions();
  // Executes an action the way a menu does: only while it is enabled.
  void ExecuteAction(QAction* AAction);
  // Runs a handler; an exception goes to the exception window instead of the event loop.
  void Guarded(const std::function<void()>& AHandler);

  TfrmBackupProgress& BackupProgress() const { return FBackupProgress; }

  TExitWindows* ExitWindows() const { return &FExitWindows; }
  TLog* ApplicationLog() const { return &FLog; }

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

private:
  void CreateActions();
  void CreateDesktop(TDesktopNotifications* ANotifications);
  void ConnectRunSession();
  bool IsBackupActive() const;
  // Says so and answers true while a run is active.
  bool RefusedDuringRun();
  // A run may start from here: none is active and no dialog of the program waits for an answer.
  bool RunMayStart();
  void ShowApplication();
  // Hides a window where the tray can bring it back, and minimises it where nothing could.
  void HideOrMinimise(QWidget* AWindow);
  void ShowPendingUpdateInformation();

  void ActionOkExecute();
  void ActionShowExecute();
  void ActionHideExecute();
  void ActionExitExecute();
  void ActionAboutExecute();
  void ActionCustomBackupExecute();
  void ActionOptionsExecute();
  void ActionCheckBackupAlertsExecute();

  void RunStarted();
  void RunEnded();
  void RunFinished();

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
  TDesktopIntegration* FDesktop = nullptr;
  TShellStore FStore;
  TOverdueCheck FOverdueCheck;
  TRunProgress FRunProgress;
  TRunSession FRunSession;
  TShellCommands FCommands;

  bool FApplicationCanClose = false;
  bool FApplicationActive = false;
  bool FTerminated = false;
  bool FCloseAfterRun = false;  // the session ends: the window closes once the run has ended
  bool FHideAfterRun = false;   // the run came from Ok or the tray: the window goes once it is over
  bool FAlertsDeferred = false; // the alert was clicked during a run: it is offered afterwards

  bool FClosed = false;
  // The start-up sequence of the first activation has run.
  bool FStarted = false;
  // The release notes waiting to be shown, and whether they were shown this run.
  QStringList FUpdateInformation;
  int FUpdateInformationTimeout = 0;
  bool FUpdateInformationShown = false;
  QStringList FArguments;
};
