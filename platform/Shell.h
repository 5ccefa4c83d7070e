// SPDX-License-Identifier: GPL-3.0-or-later
// Opening documents and links the way the desktop does, and starting programs.
#pragma once

#include <QString>
#include <QStringList>

// Results as the program has always read them: above 32 is success.
enum TShellResult : int {
  srFileNotFound = 2,
  srAccessDenied = 5,
  srOutOfMemory = 8,
  srNoAssociation = 31,
  srSuccess = 42,
};

// Opens AFile: an executable file is started with AParameters (split by the Windows command-line
// rules) in ADirectory; anything else (a document, a link) is handed to xdg-open. Does not wait.
int ShellOpen(const QString& AFile, const QString& AParameters, const QString& ADirectory);

// Splits a command line into arguments by the Windows rules (quotes, backslashes before quotes).
QStringList SplitCommandLine(const QString& ACommandLine);

// Starts AProgram with AArguments as its argument vector (no shell) in ADirectory (when it
// exists) and does not wait for it. Returns srSuccess, or srFileNotFound / srAccessDenied /
// srNoAssociation when it cannot be started.
int StartProgram(const QString& AProgram, const QStringList& AArguments, const QString& ADirectory);
