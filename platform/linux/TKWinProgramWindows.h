// SPDX-License-Identifier: GPL-3.0-or-later
// Programs' windows on KWin (KDE Plasma), native Wayland and XWayland alike, through KWin's
// scripting interface on the session bus: a short script lists or closes the windows and sends
// its answer back over D-Bus.
#pragma once

#include "platform/TProgramWindows.h"

#include <QDBusConnection>
#include <QHash>
#include <QThread>

#include <memory>

class TKWinAnswers;

class TKWinProgramWindows final : public TProgramWindows
{
public:
  static inline const QString Service = QStringLiteral("org.kde.KWin");

  // Talks to KWin on ASessionBus.
  explicit TKWinProgramWindows(const QDBusConnection& ASessionBus);
  ~TKWinProgramWindows() override;
  TKWinProgramWindows(const TKWinProgramWindows&) = delete;
  TKWinProgramWindows& operator=(const TKWinProgramWindows&) = delete;

  // Whether KWin answers on ASessionBus.
  [[nodiscard]] static bool Runs(QDBusConnection& ASessionBus);

  [[nodiscard]] QList<TProgramWindow> Windows() override;
  [[nodiscard]] bool CloseProgramWindow(TWindowId AWindow) override;
  [[nodiscard]] bool TerminateProgramWindow(TWindowId AWindow) override;

private:
  // Lists the windows, closing the one KWin knows as AClose first when it is not empty; false
  // when KWin did not run the script or sent no answer in time.
  bool RunScript(const QString& AClose, QList<TProgramWindow>& AWindows);

  QDBusConnection FBus;
  // The answers arrive on a thread of their own, so that the caller can wait for them without
  // running its event loop.
  QThread FAnswerThread;
  TKWinAnswers* FAnswers = nullptr;
  int FScripts = 0;
  // KWin names windows by UUID; the ids handed out stay the same for a window's life.
  QHash<QString, TWindowId> FIds;
  QHash<TWindowId, QString> FUuids;
  QHash<TWindowId, qint64> FProcesses;
  TWindowId FNextId = 1;
};
