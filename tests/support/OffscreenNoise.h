// SPDX-License-Identifier: GPL-3.0-or-later
// The offscreen platform has no window stacking and no tray; its complaints about them are noise
// in the output of window tests.
#pragma once

#include <QString>
#include <QtGlobal>

inline void HideOffscreenNoise()
{
  static const QtMessageHandler previous = qInstallMessageHandler(nullptr);
  qInstallMessageHandler([](QtMsgType AType, const QMessageLogContext& AContext, const QString& AMessage) {
    if (!AMessage.contains(QLatin1String("does not support raise()")) &&
        !AMessage.contains(QLatin1String("systemTrayWindowChanged")))
      previous(AType, AContext, AMessage);
  });
}
