// SPDX-License-Identifier: GPL-3.0-or-later
// Places of the program and of the user, as the desktop defines them (XDG base and user directories).
#pragma once

#include <QString>
#include <QStringList>

// Folder of the real executable (/proc/self/exe), with a trailing separator.
QString ExecutableFolder();
// Full path of the real executable.
QString ExecutableFileName();

// $XDG_DATA_HOME, $XDG_CONFIG_HOME and $XDG_CONFIG_DIRS with their defaults, without trailing separators.
QString DataHomeFolder();
QString ConfigHomeFolder();
QStringList ConfigDirectories();

// Shell-folder identifiers the program asks for, and the desktop folders that stand in for them.
enum TShellFolder : int {
  sfDesktop = 0,
  sfMyDocuments = 5,
  sfFavorites = 6,
  sfMyMusic = 13,
  sfMyVideo = 14,
  sfAppData = 26,
  sfLocalAppData = 28,
  sfWindows = 36,
  sfSystem = 37,
  sfProgramFiles = 38,
  sfMyPictures = 39,
};

// The folder for a shell-folder identifier without a trailing separator; empty for identifiers
// that have no counterpart here (favourites, the Windows and system folders, unknown ones).
QString ShellFolderPath(int AIdentifier);

// $TMPDIR when set, else /tmp; with a trailing separator.
QString TemporaryFolder();
