// SPDX-License-Identifier: GPL-3.0-or-later
// Every message box of the program goes through here, so that tests can answer them.
#pragma once

#include <QList>
#include <QString>

class QWidget;

class TMessageBox
{
public:
  enum TKind { mkError, mkWarning, mkInformation, mkConfirmation };
  enum TAnswer { maOk, maYes, maNo };

  // A box with an OK button.
  static void Error(QWidget* AParent, const QString& AText);
  static void Warning(QWidget* AParent, const QString& AText);
  static void Information(QWidget* AParent, const QString& AText);
  // A question with Yes and No; true only on Yes. No is the answer when the box is closed.
  static bool Confirmation(QWidget* AParent, const QString& AText);
  // A question of another kind with Yes and No (for example a warning that asks).
  static bool Question(QWidget* AParent, TKind AKind, const QString& AText);

  // The caption of a box of this kind.
  static QString Caption(TKind AKind);

  // For tests: answers are taken from the queue instead of showing a box. With the queue empty,
  // a box is shown, unless SetHeadless(true) was called: then OK or No is answered at once and
  // the box is recorded as unanswered.
  struct TShown
  {
    TKind Kind;
    QString Text;
    TAnswer Answer;
    bool Queued; // answered from the queue
  };
  static void QueueAnswer(TAnswer AAnswer);
  static void SetHeadless(bool AHeadless);
  static bool Headless();
  static const QList<TShown>& Shown();
  static void Reset(); // clears the queue and the record

private:
  static TAnswer Ask(QWidget* AParent, TKind AKind, const QString& AText, bool AYesNo);
};
