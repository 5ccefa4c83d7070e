// SPDX-License-Identifier: GPL-3.0-or-later
// The window that shows a running backup: total, profile and item progress, times, Hide and Cancel.
#pragma once

#include "types/SharedTypes.h"

#include <QElapsedTimer>
#include <QPoint>
#include <QTimer>
#include <QWidget>

#include <memory>

class QAction;
class QLabel;
class QProgressBar;
class QPushButton;
class TRunProgress;
class TTaskbarProgress;

class TfrmBackupProgress : public QWidget
{
  Q_OBJECT

public:
  explicit TfrmBackupProgress(QWidget* AParent = nullptr);
  ~TfrmBackupProgress() override;

  void SetBackupProgress(int AProgress, const QString& AMessage);
  void SetProfileProgress(int AProgress, const QString& AMessage);
  void SetTotalProgress(int AProgress, const QString& AMessage);
  void SetTimeRemaining(const QString& ATimeRemaining);
  void SetTimeElapsed(const QString& ATimeElapsed);
  void SetBackupProfile(const QString& AProfileName);

  // Binding or unbinding these enables or disables Cancel and Hide.
  void SetOnCancel(TNotifyEvent AHandler);
  void SetOnHide(TNotifyEvent AHandler);

  // The profile's progress is also shown on the program's taskbar entry through ATaskbarProgress.
  void SetTaskbarProgress(std::unique_ptr<TTaskbarProgress> ATaskbarProgress);
  // Takes the progress off the taskbar entry, at the end of a run.
  void ClearTaskbarProgress();

  // Shows what a run leaves in AProgress (which outlives the window): the latest report at most
  // every ProgressPeriod, since laying out the labels for each of many small files cost more than
  // backing them up.
  void Follow(TRunProgress& AProgress);
  // Shows what is held back now.
  void ShowPending();
  // The next report is shown as soon as it arrives (a new profile begins).
  void ShowNextAtOnce();
  // A profile's run begins or has ended.
  void ProfileStarted(const QString& AProfileName);
  void ProfileFinished(const QString& AProfileName);
  static constexpr int ProgressPeriod = 100; // milliseconds

  QAction* ActionCancel() const { return FActionCancel; }
  QAction* ActionHide() const { return FActionHide; }

  // The controls, for tests and screenshots.
  QLabel* lblProfileName = nullptr;
  QProgressBar* ProgressBarTotal = nullptr;
  QLabel* lblTotalProgress = nullptr;
  QLabel* lblProfileProgress = nullptr;
  QProgressBar* ProgressBarProfile = nullptr;
  QLabel* lblBackupProgress = nullptr;
  QProgressBar* ProgressBarBackup = nullptr;
  QLabel* lblTimeElapsed = nullptr;
  QLabel* lblTimeRemaining = nullptr;
  QPushButton* btnHide = nullptr;
  QPushButton* btnCancel = nullptr;

signals:
  // The total progress shown now.
  void TotalShown(int AProgress);

protected:
  void mousePressEvent(QMouseEvent* AEvent) override;
  void mouseMoveEvent(QMouseEvent* AEvent) override;
  void mouseReleaseEvent(QMouseEvent* AEvent) override;

private:
  static void SetBar(QProgressBar* ABar, int AProgress);

  TNotifyEvent FOnCancel;
  TNotifyEvent FOnHide;
  QAction* FActionCancel = nullptr;
  QAction* FActionHide = nullptr;
  // The window follows the mouse itself (the window manager could not move it).
  bool FManualDrag = false;
  QPoint FDragOffset;
  std::unique_ptr<TTaskbarProgress> FTaskbarProgress;
  TRunProgress* FProgress = nullptr;
  QElapsedTimer FShown;
  QTimer FFlush;
};
