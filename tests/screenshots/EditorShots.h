// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures of the profile editor's pages and of its three small dialogs.
#pragma once

#include <QString>

#include <functional>

class QWidget;

// Calls AGrab with a name and a window for each picture, while that window shows.
void ShootEditor(const std::function<void(const QString&, QWidget*)>& AGrab);
