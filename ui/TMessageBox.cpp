// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/TMessageBox.h"

#include <QMessageBox>
#include <QQueue>

namespace {

struct TState
{
  QQueue<TMessageBox::TAnswer> Answers;
  QList<TMessageBox::TShown> Shown;
  bool Headless = false;
};

TState& State()
{
  static TState state;
  return state;
}

QMessageBox::Icon IconOf(TMessageBox::TKind AKind)
{
  switch (AKind) {
  case TMessageBox::mkError:
    return QMessageBox::Critical;
  case TMessageBox::mkWarning:
    return QMessageBox::Warning;
  case TMessageBox::mkInformation:
    return QMessageBox::Information;
  case TMessageBox::mkConfirmation:
    return QMessageBox::Question;
  }
  return QMessageBox::NoIcon;
}

} // namespace

QString TMessageBox::Caption(TKind AKind)
{
  switch (AKind) {
  case mkError:
    return QStringLiteral("Error");
  case mkWarning:
    return QStringLiteral("Warning");
  case mkInformation:
    return QStringLiteral("Information");
  case mkConfirmation:
    return QStringLiteral("Confirm");
  }
  return QString();
}

TMessageBox::TAnswer TMessageBox::Ask(QWidget* AParent, TKind AKind, const QString& AText, bool AYesNo)
{
  TState& state = State();
  if (!state.Answers.isEmpty()) {
    const TAnswer answer = state.Answers.dequeue();
    state.Shown.append({AKind, AText, answer, true});
    return answer;
  }
  if (state.Headless) {
    const TAnswer answer = AYesNo ? maNo : maOk;
    state.Shown.append({AKind, AText, answer, false});
    return answer;
  }
  QMessageBox box(IconOf(AKind), Caption(AKind), AText, AYesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok,
                  AParent);
  if (AYesNo) {
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
  }
  const int result = box.exec();
  const TAnswer answer = !AYesNo ? maOk : (result == QMessageBox::Yes ? maYes : maNo);
  state.Shown.append({AKind, AText, answer, false});
  return answer;
}

void TMessageBox::Error(QWidget* AParent, const QString& AText)
{
  Ask(AParent, mkError, AText, false);
}

void TMessageBox::Warning(QWidget* AParent, const QString& AText)
{
  Ask(AParent, mkWarning, AText, false);
}

void TMessageBox::Information(QWidget* AParent, const QString& AText)
{
  Ask(AParent, mkInformation, AText, false);
}

bool TMessageBox::Confirmation(QWidget* AParent, const QString& AText)
{
  return Ask(AParent, mkConfirmation, AText, true) == maYes;
}

bool TMessageBox::Question(QWidget* AParent, TKind AKind, const QString& AText)
{
  return Ask(AParent, AKind, AText, true) == maYes;
}

void TMessageBox::QueueAnswer(TAnswer AAnswer)
{
  State().Answers.enqueue(AAnswer);
}

bool TMessageBox::Headless()
{
  return State().Headless;
}

void TMessageBox::SetHeadless(bool AHeadless)
{
  State().Headless = AHeadless;
}

const QList<TMessageBox::TShown>& TMessageBox::Shown()
{
  return State().Shown;
}

void TMessageBox::Reset()
{
  State().Answers.clear();
  State().Shown.clear();
}
