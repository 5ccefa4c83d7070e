// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures of every page of the options dialog and of the options password.
#pragma once

#include <QString>

#include <functional>

class QWidget;

// Calls AGrab with a name and a window for each picture, while that window shows.
void ShootOptions(const std::function<void(const QString&, QWidget*)>& AGrab);
