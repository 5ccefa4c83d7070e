// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TWindowRunQuestions.h"

#include "app/TShellDialogs.h"
#include "ui/TMessageBox.h"

#include <QCoreApplication>
#include <QThread>

#include <future>
#include <memory>

TWindowRunQuestions::TWindowRunQuestions(TShellDialogs& ADialogs, QWidget* AParent)
  : FDialogs(ADialogs)
  , FParent(AParent)
{
  setObjectName(QStringLiteral("RunQuestions"));
}

TWindowRunQuestions::~TWindowRunQuestions()
{
  Close();
}

void TWindowRunQuestions::Close()
{
  std::lock_guard lock(FLock);
  FClosed = true;
  // Dropping a queued question drops its promise: the waiting run gets no answer, which is false.
  QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
}

template <typename TQuestion> bool TWindowRunQuestions::Ask(TQuestion AQuestion)
{
  if (QThread::currentThread() == thread())
    return AQuestion();
  auto answer = std::make_shared<std::promise<bool>>();
  std::future<bool> future = answer->get_future();
  {
    std::lock_guard lock(FLock);
    if (FClosed)
      return false;
    // The queued call holds the only reference to the promise.
    QMetaObject::invokeMethod(
        this, [AQuestion, answer = std::move(answer)] { answer->set_value(AQuestion()); }, Qt::QueuedConnection);
  }
  try {
    return future.get();
  } catch (const std::future_error&) {
    return false;
  }
}

bool TWindowRunQuestions::CloseActiveApplications(const QStringList& AActivePrograms, bool ACloseGracefully)
{
  return Ask([this, AActivePrograms, ACloseGracefully] {
    return FDialogs.CloseActiveApplications(AActivePrograms, ACloseGracefully);
  });
}

bool TWindowRunQuestions::ConfirmCancel()
{
  return Ask([this] {
    return TMessageBox::Confirmation(FParent, QStringLiteral("Are you sure you want to cancel the current backup?"));
  });
}

bool TWindowRunQuestions::ContinueWithRemainingProfiles()
{
  return Ask([this] {
    emit RemainingProfilesAsked();
    return TMessageBox::Confirmation(
        FParent,
        QStringLiteral("You have cancelled the current backup; do you wish to continue with remaining profiles?"));
  });
}
