// SPDX-License-Identifier: GPL-3.0-or-later
// The password that guards the options: asked up to a number of times, letter case ignored.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

class TfrmPassword : public QDialog
{
  Q_OBJECT

public:
  explicit TfrmPassword(QWidget* AParent = nullptr);

  // Asks with AMessage until the typed text equals ARequiredPassword (letter case ignored by the
  // user's locale) or ARetries attempts (3 when 0 or less) have failed; Cancel stops at once.
  // A wrong password shows the window again without a message; true when it matched.
  [[nodiscard]] bool Execute(const QString& AMessage, const QString& ARequiredPassword, int ARetries);

  // Whether two passwords match, letter case ignored by the user's locale.
  [[nodiscard]] static bool SamePassword(const QString& ATyped, const QString& ARequired);

  QLabel* imgLock = nullptr;
  QLabel* lblPasswordCaption = nullptr;
  QLineEdit* editPassword = nullptr;
  QPushButton* btnOk = nullptr;
  QPushButton* btnCancel = nullptr;

protected:
  void showEvent(QShowEvent* AEvent) override;
};
