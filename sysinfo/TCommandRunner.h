// SPDX-License-Identifier: GPL-3.0-or-later
// Runs a helper program of the desktop (xdg-mime and the like) and hands back what it printed.
#pragma once

#include <QString>
#include <QStringList>

class TCommandRunner
{
public:
  virtual ~TCommandRunner() = default;

  // Runs AProgram with AArguments in the environment AEnvironment (name=value entries) and
  // returns true with its standard output when it could be started and exited with status 0.
  [[nodiscard]] virtual bool Run(const QString& AProgram, const QStringList& AArguments,
                                 const QStringList& AEnvironment, QString& AOutput) = 0;
};
