// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TApplication.h"

#include <QDialog>

#include <cstdlib>
#include <exception>
#include <typeinfo>

#include <cxxabi.h>

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

QString TApplication::ClassName(const std::exception& AError)
{
  const char* mangled = typeid(AError).name();
  int status = 0;
  char* demangled = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
  const QString name = QString::fromLatin1(status == 0 && demangled ? demangled : mangled);
  std::free(demangled);
  return name;
}

void TApplication::CloseDialogs()
{
  for (QWidget* widget : topLevelWidgets())
    if (auto* dialog = qobject_cast<QDialog*>(widget); dialog && dialog->isVisible())
      dialog->done(QDialog::Rejected);
}
