// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TComposition.h"

#include "app/Pictures.h"
#include "app/TApplication.h"
#include "app/TDesktopIntegration.h"
#include "app/TShellDialogWindows.h"
#include "app/TShellServices.h"
#include "app/TWindowRunQuestions.h"
#include "app/TfrmBackupProgress.h"
#include "app/TfrmExitConfirm.h"
#include "app/TfrmOrvel.h"
#include "platform/TDesktopNotifications.h"
#include "platform/TFileManager.h"
#include "platform/TSessionControl.h"
#include "platform/TSingleInstance.h"
#include "platform/TTaskbarProgress.h"
#include "platform/TTerminationWatcher.h"
#include "profiles/TBackupProfileManager.h"
#include "settings/TApplicationOptions.h"
#include "settings/TLog.h"
#include "settings/TProgramSettings.h"
#include "sysinfo/TExitWindows.h"
#include "update/TAutoUpdate.h"

#include <QGuiApplication>
#include <QSessionManager>
#include <QTimer>

TComposition::TComposition(std::unique_ptr<TSessionControl> ASessionControl,
                           std::unique_ptr<TDesktopNotifications> ANotifications,
                           std::unique_ptr<TShellDialogs> ADialogs)
{
  // The services first, in the order they depend on each other; then the windows, the main
  // window last because it is handed the others.
  FProgramSettings = std::make_unique<TProgramSettings>();
  TApplicationOptions::ConfigureStore(*FProgramSettings);
  FOptions = std::make_unique<TApplicationOptions>(FProgramSettings.get());
  FLog = std::make_unique<TLog>();
  FBackupProfileManager = std::make_unique<TBackupProfileManager>();
  FExitWindows = std::make_unique<TExitWindows>(std::move(ASessionControl));
  FAutoUpdate = std::make_unique<TAutoUpdate>();
  FServices = std::make_unique<TShellServices>(*FProgramSettings, *FOptions, *FBackupProfileManager);
  // Said in the application log once per run when a profile lists programs and no X server runs.
  FProgramWindows = CreateProgramWindows([this](const QString& ALine) {
    if (FMainWindow)
      FMainWindow->Log(nullptr, ALine);
  });
  FFileManager = CreateFileManager();
  FDialogs = ADialogs ? std::move(ADialogs)
                      : std::make_unique<TShellDialogWindows>(*FBackupProfileManager, *FProgramWindows, *FAutoUpdate,
                                                              *FProgramSettings, *FLog, *FFileManager);
  FNotifications = ANotifications ? std::move(ANotifications) : CreateDesktopNotifications();

  FBackupProgress = std::make_unique<TfrmBackupProgress>();
  FBackupProgress->SetTaskbarProgress(
      CreateTaskbarProgress(QGuiApplication::desktopFileName() + QStringLiteral(".desktop")));
  FExitConfirm = std::make_unique<TfrmExitConfirm>();
  FMainWindow = std::make_unique<TfrmOrvel>(*FServices, *FServices, *FDialogs, *FLog, *FExitWindows, *FBackupProgress,
                                            *FExitConfirm, FNotifications.get());
  FRunQuestions = std::make_unique<TWindowRunQuestions>(*FDialogs, FBackupProgress.get());
  QObject::connect(FRunQuestions.get(), &TWindowRunQuestions::RemainingProfilesAsked, FMainWindow.get(),
                   [form = FMainWindow.get()] { form->Desktop().SetTrayIcon(tiQuestion, QString()); });
  FServices->Connect(*FMainWindow, FRunQuestions.get());
  // The installer has started: the program ends through its shutdown sequence, from the event
  // loop (the update component is still reporting).
  FAutoUpdate->OnTerminate = [form = FMainWindow.get()] {
    QTimer::singleShot(0, form, [form] { form->EndSession(); });
  };
}

TComposition::~TComposition()
{
  FTermination.reset();
  // A run still going is stopped and awaited first: it reports to the windows and asks through
  // them. A question it waits on is answered "no" as the questions close.
  FRunQuestions->Close();
  FMainWindow->AwaitRun();
  FAutoUpdate->OnTerminate = nullptr;
  FServices->Disconnect();
  FRunQuestions.reset();
  // The windows go first: the main window holds every service. Then the profile manager, the
  // settings store, the log and the exit actions.
  FMainWindow.reset();
  FExitConfirm.reset();
  FBackupProgress.reset();
  FNotifications.reset();
  FDialogs.reset();
  FFileManager.reset();
  FAutoUpdate.reset();
  FProgramWindows.reset();
  FServices.reset();
  FBackupProfileManager.reset();
  FOptions.reset();
  FProgramSettings.reset();
  FLog.reset();
  FExitWindows.reset();
}

void TComposition::Connect(TApplication& AApplication, TSingleInstance& AInstance)
{
  TfrmOrvel* form = FMainWindow.get();
  form->OnClosed = [](QObject*) { QCoreApplication::quit(); };
  // Terminate in the exception window: the loop ends at once, without the shutdown sequence.
  form->OnTerminate = [](QObject*) { QCoreApplication::exit(1); };
  AApplication.OnException = [form](const std::exception& AError) { form->ApplicationEventsException(AError); };
  AInstance.OnCommand = [form](TInstanceCommand ACommand) { form->ExecuteCommand(ACommand); };

  // The end of the desktop session and termination requests close through the shutdown sequence.
  QObject::connect(&AApplication, &QGuiApplication::commitDataRequest, form,
                   [form](QSessionManager&) { (void)form->QueryEndSession(); });
  QObject::connect(&AApplication, &QCoreApplication::aboutToQuit, form, [form] { form->EndSession(); });
  FTermination = std::make_unique<TTerminationWatcher>();
  FTermination->OnTerminate = [form](int) { form->EndSession(); };
}

int TComposition::Run(const QStringList& AArguments)
{
  FMainWindow->SetArguments(AArguments);
  FMainWindow->show();
  return QApplication::exec();
}
