// SPDX-License-Identifier: GPL-3.0-or-later
// The run's questions asked in the program's windows. A question from the run's thread is carried
// to the window's thread and the run waits for the answer there; one asked on the window's thread
// (Cancel on the progress window) is asked at once.
#pragma once

#include "app/TRunQuestions.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <mutex>

class QWidget;
class TShellDialogs;

class TWindowRunQuestions : public QObject, public TRunQuestions
{
  Q_OBJECT

public:
  // ADialogs outlives this object; the message boxes belong to AParent (the progress window).
  TWindowRunQuestions(TShellDialogs& ADialogs, QWidget* AParent);
  ~TWindowRunQuestions() override;

  // From now on every question is answered false at once, and one still waiting for the window's
  // thread is answered so too, so that a run can be awaited while the program goes.
  void Close();

  bool CloseActiveApplications(const QStringList& AActivePrograms, bool ACloseGracefully) override;
  bool ConfirmCancel() override;
  bool ContinueWithRemainingProfiles() override;

signals:
  // Just before the question about the remaining profiles (the tray shows a question mark).
  void RemainingProfilesAsked();

private:
  template <typename TQuestion> bool Ask(TQuestion AQuestion);

  TShellDialogs& FDialogs;
  QPointer<QWidget> FParent;
  std::mutex FLock;
  bool FClosed = false;
};
