// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures of every page of the profile wizard on a made-up home folder.
#pragma once

#include <QString>

#include <functional>

class QWidget;

// Calls AGrab with a name and a window for each picture, while that window shows.
void ShootWizard(const std::function<void(const QString&, QWidget*)>& AGrab);
