// SPDX-License-Identifier: GPL-3.0-or-later
// What the profile editor asks of the desktop's program windows: picking one for a profile's list
// of programs to close, and closing the listed programs as a run would.
#pragma once

#include <QString>
#include <QStringList>

class TProgramPicker
{
public:
  virtual ~TProgramPicker() = default;

  // Lets the user pick a window, starting from the given title and class (empty for a new entry);
  // true when the user confirmed, with the chosen title and class.
  [[nodiscard]] virtual bool PickProgram(QString& AWindowName, QString& AWindowClass) = 0;
  // Closes (ACloseGracefully) or terminates the listed programs' windows; true when none is left.
  [[nodiscard]] virtual bool CloseApplications(const QStringList& AActivePrograms, bool ACloseGracefully) = 0;
};
