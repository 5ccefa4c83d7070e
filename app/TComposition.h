// SPDX-License-Identifier: GPL-3.0-or-later
// The one place that assembles the program: it creates the settings store and the options, the
// application log, the profile manager, the exit actions with their session control, the
// automatic update, the services, the dialogs and the windows, hands each its collaborators, and frees them in the
// reverse order. main.cpp makes one; tests make one with fakes for the system's services.
#pragma once

#include "app/TShellDialogs.h"
#include "platform/TDesktopNotifications.h"
#include "platform/TFileManager.h"
#include "platform/TProgramWindows.h"
#include "platform/TSessionControl.h"

#include <QStringList>

#include <memory>

class TApplication;
class TApplicationOptions;
class TAutoUpdate;
class TBackupProfileManager;
class TExitWindows;
class TLog;
class TProgramSettings;
class TShellServices;
class TSingleInstance;
class TTerminationWatcher;
class TWindowRunQuestions;
class TfrmBackupProgress;
class TfrmExitConfirm;
class TfrmOrvel;

class TComposition
{
public:
  // Without a session control logind carries out the exit actions; without notifications the
  // session bus's notification service stands in for balloons where there is no tray; without
  // dialogs the program's own windows are used.
  explicit TComposition(std::unique_ptr<TSessionControl> ASessionControl = nullptr,
                        std::unique_ptr<TDesktopNotifications> ANotifications = nullptr,
                        std::unique_ptr<TShellDialogs> ADialogs = nullptr);
  ~TComposition();
  TComposition(const TComposition&) = delete;
  TComposition& operator=(const TComposition&) = delete;

  // Joins the process: errors that escape an event handler, commands from later starts, the end
  // of the desktop session and termination signals.
  void Connect(TApplication& AApplication, TSingleInstance& AInstance);
  // Shows the main window with the command-line switches and runs the message loop.
  int Run(const QStringList& AArguments);

  TfrmOrvel& MainWindow() const { return *FMainWindow; }
  TfrmBackupProgress& BackupProgress() const { return *FBackupProgress; }
  TfrmExitConfirm& ExitConfirm() const { return *FExitConfirm; }
  TShellServices& Services() const { return *FServices; }
  TShellDialogs& Dialogs() const { return *FDialogs; }
  TLog& ApplicationLog() const { return *FLog; }
  TAutoUpdate& AutoUpdate() const { return *FAutoUpdate; }
  TWindowRunQuestions& RunQuestions() const { return *FRunQuestions; }

private:
  std::unique_ptr<TLog> FLog;
  std::unique_ptr<TExitWindows> FExitWindows;
  std::unique_ptr<TProgramSettings> FProgramSettings;
  std::unique_ptr<TApplicationOptions> FOptions;
  std::unique_ptr<TBackupProfileManager> FBackupProfileManager;
  std::unique_ptr<TAutoUpdate> FAutoUpdate;
  std::unique_ptr<TShellServices> FServices;
  std::unique_ptr<TProgramWindows> FProgramWindows;
  std::unique_ptr<TFileManager> FFileManager;
  std::unique_ptr<TShellDialogs> FDialogs;
  std::unique_ptr<TDesktopNotifications> FNotifications;
  std::unique_ptr<TfrmBackupProgress> FBackupProgress;
  std::unique_ptr<TfrmExitConfirm> FExitConfirm;
  std::unique_ptr<TfrmOrvel> FMainWindow;
  std::unique_ptr<TWindowRunQuestions> FRunQuestions;
  std::unique_ptr<TTerminationWatcher> FTermination;
};
