// SPDX-License-Identifier: GPL-3.0-or-later
// The last word before the computer is shut down, restarted or logged off: counts down and
// confirms by itself when the user does nothing.
#pragma once

#include "types/SharedTypes.h"

#include <QDialog>
#include <QTimer>

class QLabel;
class QPushButton;
class QTextEdit;

class TfrmExitConfirm : public QDialog
{
  Q_OBJECT

public:
  explicit TfrmExitConfirm(QWidget* AParent = nullptr);

  // True when the exit may go ahead: Ok pressed or the count-down ran out. ATimeOut in seconds.
  [[nodiscard]] bool Execute(TExitParameter AExitParameter, int ATimeOut);

  static QString ExitVerb(TExitParameter AExitParameter);

  // One second of the count-down; TimerConfirm calls it.
  void TimerConfirmTimer();

  int TimeOut() const { return FTimeOut; }

  // The controls, for tests and screenshots.
  QLabel* imgShutdown = nullptr;
  QTextEdit* memoAlert = nullptr;
  QPushButton* btnOk = nullptr;
  QPushButton* btnCancel = nullptr;
  QTimer TimerConfirm;

protected:
  void showEvent(QShowEvent* AEvent) override;

private:
  int FTimeOut = 0;
};
