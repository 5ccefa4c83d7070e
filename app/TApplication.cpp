// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TApplication.h"

#include <exception>

TApplication::TApplication(int& AArgc, char** AArgv)
  : QApplication(AArgc, AArgv)
{}

bool TApplication::notify(QObject* AReceiver, QEvent* AEvent)
{
  try {
    return QApplication::notify(AReceiver, AEvent);
  } catch (const std::exception& error) {
    if (OnException)
      OnException(error);
    else
      qWarning("Unhandled error: %s", error.what());
  }
  return false;
}
