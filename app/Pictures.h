// SPDX-License-Identifier: GPL-3.0-or-later
// The program's pictures, drawn rather than shipped: tray icons, the logo and the shutdown picture.
#pragma once

#include <QIcon>
#include <QPixmap>

// Tray icons by index: 0 idle, 1 to 10 a run at 10% to 100%, 11 a question, 12 overdue alerts.
constexpr int TrayIconCount = 13;
QIcon TrayIconPicture(int AIndex);

// The banner across the top of the main window.
QPixmap LogoPicture(const QSize& ASize);

// The picture beside the exit confirmation's warning.
QPixmap ShutdownPicture(int ASize);
