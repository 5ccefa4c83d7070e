// SPDX-License-Identifier: GPL-3.0-or-later
// Saving and restoring a window's placement in the settings store.
//
// The bounds are the frame's position and the window's own size as they are when it is shown
// normally; "Monitor" is the index of its screen. Of the window styles only "stay on top" can be changed on an
// existing Qt window: a stored multi-document style is kept in the store but not applied.
#pragma once

#include <QString>

class QWidget;
class TProgramSettings;

// AFormClass names the placement; empty takes the window's class name.
void SaveForm(TProgramSettings& ASettings, QWidget* AForm, const QString& AFormClass = QString());
void LoadForm(TProgramSettings& ASettings, QWidget* AForm, const QString& AFormClass = QString());
