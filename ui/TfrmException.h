// SPDX-License-Identifier: GPL-3.0-or-later
// The window for an error that reached the application: the error, and the choice between
// carrying on and ending the program. Made for one error and freed afterwards.
#pragma once

#include <QDialog>

class QPushButton;
class QTextEdit;

class TfrmException : public QDialog
{
  Q_OBJECT

public:
  enum TChoice { ecContinue, ecTerminate };

  explicit TfrmException(QWidget* AParent = nullptr);

  // Shows the error modally; ASender is the window that raised it, AClassName the error's type.
  [[nodiscard]] TChoice Execute(const QObject* ASender, const QString& AMessage, const QString& AClassName);

  QTextEdit* memoException = nullptr;
  QTextEdit* memoInformation = nullptr;
  QPushButton* btnSend = nullptr;
  QPushButton* btnContinue = nullptr;

private:
  void btnSendClick();
};
