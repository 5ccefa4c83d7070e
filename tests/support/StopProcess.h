// SPDX-License-Identifier: GPL-3.0-or-later
// Ends a peer a test started: asked to terminate, killed if it has not within five seconds.
#pragma once

#include <QProcess>

inline void StopProcess(QProcess& AProcess)
{
  if (AProcess.state() == QProcess::NotRunning)
    return;
  AProcess.terminate();
  if (!AProcess.waitForFinished(5000)) {
    AProcess.kill();
    AProcess.waitForFinished(5000);
  }
}
