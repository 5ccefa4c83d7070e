// SPDX-License-Identifier: GPL-3.0-or-later
// A small "please wait" window for one task: a caption, an animation, and optionally a bar with times.
#pragma once

#include "sysinfo/TProcessTimer.h"

#include <QTimer>
#include <QWidget>

class QLabel;
class QProgressBar;

enum TProgressStyle : int { psNone = 0, psNormal = 1, psWaiting = 2 };

class TdlgProgress : public QWidget
{
  Q_OBJECT

public:
  explicit TdlgProgress(QWidget* AParent = nullptr);

  bool ShowEstimatedTime() const { return FShowEstimatedTime; }
  void SetShowEstimatedTime(bool AValue) { FShowEstimatedTime = AValue; }

  void Show(const QString& ACaption, TProgressStyle AProgressStyle);
  void Progress(int AProgress, const QString& ACaption);
  void Update();
  void UpdateTimeRemaining(TDateTime AEstimatedTime, TDateTime AElapsedTime);

  // The controls, for tests and screenshots.
  QLabel* lblCaption = nullptr;
  QLabel* imgProgress = nullptr;
  QProgressBar* progressWaiting = nullptr;
  QProgressBar* progressNormal = nullptr;
  QLabel* lblTimeElapsed = nullptr;
  QLabel* lblTimeRemaining = nullptr;

protected:
  void showEvent(QShowEvent* AEvent) override;
  void hideEvent(QHideEvent* AEvent) override;

private:
  void NextFrame();

  bool FShowEstimatedTime = false;
  TProcessTimer FProcessTimer;
  QTimer FAnimation;
  int FFrame = 0;
};
