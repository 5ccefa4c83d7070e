// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysinfo/TProcessCommandRunner.h"

#include <QProcess>

namespace {
// A desktop helper that has not answered by then is hung; its answer is treated as missing.
constexpr int HelperWaitMilliseconds = 15000;
} // namespace

bool TProcessCommandRunner::Run(const QString& AProgram, const QStringList& AArguments, const QStringList& AEnvironment,
                                QString& AOutput)
{
  QProcess process;
  process.setEnvironment(AEnvironment);
  process.setProcessChannelMode(QProcess::SeparateChannels);
  process.setStandardInputFile(QProcess::nullDevice());
  process.start(AProgram, AArguments, QIODevice::ReadOnly);
  if (!process.waitForStarted())
    return false;
  if (!process.waitForFinished(HelperWaitMilliseconds)) {
    process.kill();
    process.waitForFinished();
    return false;
  }
  if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
    return false;
  AOutput = QString::fromLocal8Bit(process.readAllStandardOutput());
  return true;
}
