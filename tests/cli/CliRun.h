// SPDX-License-Identifier: GPL-3.0-or-later
// Runs corvale-cli without a terminal and collects what it said.
#pragma once

#include <QProcess>
#include <QStringList>

struct TCliResult
{
  int Status = -1;
  QString Out;
  QString Error;
};

inline TCliResult RunCli(const QStringList& AArguments, int ATimeOutMs = 120000)
{
  QProcess process;
  process.start(QStringLiteral(CORVALE_CLI), AArguments);
  process.closeWriteChannel(); // no terminal, no input
  TCliResult result;
  if (!process.waitForFinished(ATimeOutMs) || process.exitStatus() != QProcess::NormalExit)
    return result;
  result.Status = process.exitCode();
  result.Out = QString::fromUtf8(process.readAllStandardOutput());
  result.Error = QString::fromUtf8(process.readAllStandardError());
  return result;
}
