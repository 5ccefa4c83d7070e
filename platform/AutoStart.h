// SPDX-License-Identifier: GPL-3.0-or-later
// Starting a program when the user logs on: a desktop entry in the user's autostart folder,
// $XDG_CONFIG_HOME/autostart/<name>.desktop, whose Exec line is the program and its arguments.
#pragma once

#include <QString>
#include <QStringList>

QString AutoStartFileName(const QString& AName);
bool AutoStartExists(const QString& AName);
// Writes the entry atomically. An installed program is named by its launcher in <prefix>/bin/ when
// that is a link to it. False when it cannot be written (the folder cannot be made, the
// disk is full, the program's path is not UTF-8).
[[nodiscard]] bool WriteAutoStart(const QString& AName, const QString& AProgram, const QStringList& AArguments);
// True when no entry is left.
[[nodiscard]] bool RemoveAutoStart(const QString& AName);
