// SPDX-License-Identifier: GPL-3.0-or-later
// Renders the program's windows to PNG files, so that they can be looked at without a desktop.
// Usage: corvale-screenshots OUTPUT_FOLDER
#include "ui/TMessageBox.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QTextStream>

#include <functional>

namespace {

bool Save(QWidget& AWindow, const QString& AFolder, const QString& AName)
{
  AWindow.show();
  QApplication::processEvents();
  const QString path = AFolder + QLatin1Char('/') + AName + QStringLiteral(".png");
  const bool saved = AWindow.grab().save(path);
  QTextStream(stdout) << (saved ? "wrote " : "FAILED ") << path << Qt::endl;
  AWindow.hide();
  return saved;
}

} // namespace

int main(int argc, char* argv[])
{
  QApplication application(argc, argv);
  const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
  QDir().mkpath(folder);
  bool ok = true;

  // Each window the program has is added here as it is built.
  const QList<std::pair<QString, std::function<QWidget*()>>> windows{
      {QStringLiteral("messagebox-confirmation"),
       [] {
         auto* box = new QMessageBox(QMessageBox::Question, TMessageBox::Caption(TMessageBox::mkConfirmation),
                                     QStringLiteral("Are you sure you want to cancel the current backup?"),
                                     QMessageBox::Yes | QMessageBox::No);
         return box;
       }},
  };
  for (const auto& [name, make] : windows) {
    QWidget* window = make();
    ok = Save(*window, folder, name) && ok;
    delete window;
  }
  return ok ? 0 : 1;
}
