// SPDX-License-Identifier: GPL-3.0-or-later
// Desktop entries (.desktop files) of installed programs and the default handlers of URL schemes.
#pragma once

#include "sysinfo/TSystemSources.h"

#include <QString>
#include <QStringList>

// The Exec line of the [Desktop Entry] group; empty when the file cannot be read, has none or is
// marked Hidden (a user's way of deleting a system entry).
QString DesktopEntryExec(const QString& AFileName);

// The file of a desktop-file ID ("org.mozilla.firefox.desktop") in the "applications" folders of
// the data folders, earlier folders first; a dash of the ID may stand for a sub-folder. Empty when
// none exists.
QString FindDesktopFile(const TSystemSources& ASources, const QString& ADesktopId);

// The Exec lines of every visible desktop entry, one per desktop-file ID, earlier data folders
// hiding later ones as the menu does.
QStringList InstalledDesktopExecLines(const TSystemSources& ASources);

// The Exec line of the default handler of a MIME or scheme type ("x-scheme-handler/mailto") as
// "xdg-mime query default" names it; empty when there is none.
QString DefaultHandlerExec(const TSystemSources& ASources, const QString& AMimeType);
