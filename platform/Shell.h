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

// Hands a web or mail address to xdg-open, and nothing else: only http:, https: and mailto:
// addresses are opened (never a file, never a program). Does not wait; false when the address
// was refused or xdg-open could not be started.
[[nodiscard]] bool OpenAddress(const QString& AAddress);

// Splits a command line into arguments by the Windows rules (quotes, backslashes before quotes).
QStringList SplitCommandLine(const QString& ACommandLine);

// How a program started by ExecuteAndWait ended.
struct TExecuteResult
{
  bool Started = false; // the process was created
  int ExitStatus = -1;  // its exit status; -1 when it was ended by a signal
  QString Error;        // why it could not be started, or which signal ended it
};

// Starts ACommandLine, split by the Windows rules, with its first argument looked up through
// PATH, and waits for it without a time limit. The child inherits the environment and the
// current folder, no descriptors but standard output and error, and reads from /dev/null.
// There is no window to hide, so AHidden has no effect.
[[nodiscard]] TExecuteResult ExecuteAndWait(const QString& ACommandLine, bool AHidden);

// Starts AArguments (the program looked up through PATH) the same way and waits for it, with its
// standard output written to AOutputFile and its standard error to AErrorFile (each replaced,
// mode 0600 when created).
[[nodiscard]] TExecuteResult ExecuteToFiles(const QStringList& AArguments, const QString& AOutputFile,
                                            const QString& AErrorFile);

// Starts AProgram with AArguments as its argument vector (no shell) in ADirectory (when it
// exists) and does not wait for it. Returns srSuccess, or srFileNotFound / srAccessDenied /
// srNoAssociation when it cannot be started.
int StartProgram(const QString& AProgram, const QStringList& AArguments, const QString& ADirectory);
