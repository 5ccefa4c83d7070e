// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Forms.h"
#include "app/TApplication.h"
#include "app/TShellServices.h"
#include "app/TfrmBackupProgress.h"
#include "app/TfrmOrvel.h"
#include "platform/TSingleInstance.h"
#include "platform/TTaskbarProgress.h"
#include "platform/TTerminationWatcher.h"
#include "sysinfo/Common.h"
#include "sysinfo/TApplicationVersionInfo.h"
#include "sysinfo/TFormatSettings.h"

#include <QSessionManager>

int main(int argc, char* argv[])
{
  if (PrintVersionWhenAsked(argc, argv))
    return 0;
  TApplication application(argc, argv);
  // Every date and time text uses the user's formats.
  TFormatSettings::Load();

  // A later start only wakes the running program, passing none of its own arguments.
  TSingleInstance instance;
  if (!instance.Start()) {
    (void)instance.Send(1);
    return 0;
  }

  // Hidden to the tray is not closed: only the main window's shutdown ends the program.
  QApplication::setQuitOnLastWindowClosed(false);
  QApplication::setApplicationName(ApplicationTitle());
  QApplication::setApplicationDisplayName(ApplicationTitle());
  QGuiApplication::setDesktopFileName(QStringLiteral("corvale"));

  CreateForms();
  // The settings and the profile manager, owned by the main window and bound to its hooks.
  new TShellServices(frmOrvel);
  frmBackupProgress->SetTaskbarProgress(
      CreateTaskbarProgress(QGuiApplication::desktopFileName() + QStringLiteral(".desktop")));
  frmOrvel->SetArguments(QApplication::arguments().mid(1));
  frmOrvel->OnClosed = [](QObject*) { QCoreApplication::quit(); };
  application.OnException = [](const QString& AMessage) {
    if (frmOrvel)
      frmOrvel->ApplicationEventsException(AMessage);
  };
  instance.OnCommand = [](int ACommand) {
    if (frmOrvel)
      frmOrvel->ExecuteCommand(ACommand);
  };

  // The end of the desktop session and termination requests close through the shutdown sequence.
  QObject::connect(&application, &QGuiApplication::commitDataRequest, frmOrvel,
                   [](QSessionManager&) { frmOrvel->QueryEndSession(); });
  QObject::connect(&application, &QCoreApplication::aboutToQuit, frmOrvel, [] { frmOrvel->EndSession(); });
  TTerminationWatcher termination;
  termination.OnTerminate = [](int) { frmOrvel->EndSession(); };

  frmOrvel->show();
  const int result = QApplication::exec();
  FreeForms();
  return result;
}
