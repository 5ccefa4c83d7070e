// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TApplication.h"
#include "app/TComposition.h"
#include "platform/TDesktopNotifications.h"
#include "platform/TSingleInstance.h"
#include "sysinfo/Common.h"
#include "sysinfo/TApplicationVersionInfo.h"
#include "sysinfo/TFormatSettings.h"

#include <cstdio>

int main(int argc, char* argv[])
{
  if (PrintVersionWhenAsked(argc, argv))
    return 0;
  TApplication application(argc, argv);
  // Every date and time text uses the user's formats.
  TFormatSettings::Load();
  QApplication::setApplicationName(ApplicationTitle());
  QApplication::setApplicationDisplayName(ApplicationTitle());
  QGuiApplication::setDesktopFileName(QStringLiteral("corvale"));

  // A later start only wakes the running program, passing none of its own arguments.
  TSingleInstance instance;
  switch (instance.Start()) {
  case TInstanceStart::Started:
    break;
  case TInstanceStart::AlreadyRunning:
    (void)instance.Send(TInstanceCommand::Show);
    return 0;
  case TInstanceStart::Failed: {
    // Two instances would each write their own copy of the profiles back at exit.
    const QString message =
        QStringLiteral("Corvale cannot make sure that it runs only once: %1").arg(instance.ErrorString());
    std::fprintf(stderr, "corvale: %s\n", qPrintable(message));
    // Started from a menu nobody reads the terminal; a notification needs no tray and no answer.
    (void)CreateDesktopNotifications()->Notify(ApplicationTitle(), message, TNotificationUrgency::Critical, -1);
    return 1;
  }
  }

  // Hidden to the tray is not closed: only the main window's shutdown ends the program.
  QApplication::setQuitOnLastWindowClosed(false);

  TComposition composition;
  composition.Connect(application, instance);
  return composition.Run(QApplication::arguments().mid(1));
}
