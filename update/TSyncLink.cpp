// SPDX-License-Identifier: GPL-3.0-or-later
#include "update/TSyncLink.h"

#include <QCoreApplication>
#include <QSemaphore>

TSyncLink::TSyncLink()
  : FContext(std::make_unique<QObject>())
{}

TSyncLink::~TSyncLink()
{
  Close();
}

bool TSyncLink::Call(const std::function<void()>& AWork)
{
  auto done = std::make_shared<QSemaphore>();
  auto ran = std::make_shared<bool>(false);
  {
    QMutexLocker lock(&FMutex);
    if (FClosed)
      return false;
    // Released when the queued call is destroyed, whether it ran or was dropped.
    std::shared_ptr<void> release(nullptr, [done](void*) { done->release(); });
    QMetaObject::invokeMethod(
        FContext.get(),
        [this, AWork, ran, release] {
          if (!FClosed) {
            AWork();
            *ran = true;
          }
        },
        Qt::QueuedConnection);
  }
  done->acquire();
  return *ran;
}

void TSyncLink::Close()
{
  QMutexLocker lock(&FMutex);
  FClosed = true;
  if (FContext)
    QCoreApplication::removePostedEvents(FContext.get(), QEvent::MetaCall);
}
