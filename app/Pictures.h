// SPDX-License-Identifier: GPL-3.0-or-later
// The program's pictures, drawn rather than shipped: tray icons, the logo and the shutdown picture.
#pragma once

#include <QIcon>
#include <QPixmap>

// Tray icons by index.
enum TTrayIcon : int {
  tiKeep = -1,         // SetTrayIcon: leave the icon as it is
  tiIdle = 0,          // nothing running
  tiProgressFirst = 1, // a run at up to 10%; the next indices add 10% each
  tiProgressLast = 10, // a run at 100%
  tiQuestion = 11,     // a question about the run waits for an answer
  tiAlerts = 12        // overdue profiles
};
constexpr int TrayIconCount = tiAlerts + 1;
QIcon TrayIconPicture(int AIndex);

// The banner across the top of the main window.
QPixmap LogoPicture(const QSize& ASize);

// The picture beside the exit confirmation's warning.
QPixmap ShutdownPicture(int ASize);
