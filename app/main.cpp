// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysinfo/Common.h"
#include "sysinfo/TFormatSettings.h"

#include <QApplication>
#include <QLabel>

int main(int argc, char* argv[])
{
  QApplication application(argc, argv);
  TFormatSettings::Load();
  QApplication::setApplicationName(ApplicationTitle());
  QLabel window(QStringLiteral("What do you want the computer to do?"));
  window.setWindowTitle(ApplicationTitle());
  window.resize(352, 165);
  window.show();
  return QApplication::exec();
}
