// SPDX-License-Identifier: GPL-3.0-or-later
// The real command runner: starts the program as a child process and waits for it.
#pragma once

#include "sysinfo/TCommandRunner.h"

class TProcessCommandRunner : public TCommandRunner
{
public:
  [[nodiscard]] bool Run(const QString& AProgram, const QStringList& AArguments, const QStringList& AEnvironment,
                         QString& AOutput) override;
};
