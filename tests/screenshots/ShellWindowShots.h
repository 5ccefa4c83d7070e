// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures of the failed-backup, custom-backup and About windows.
#pragma once

#include <QString>

#include <functional>

class QWidget;

// Calls AGrab with a name and a window for each picture, while that window shows.
void ShootShellWindows(const std::function<void(const QString&, QWidget*)>& AGrab);
