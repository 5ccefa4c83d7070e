// SPDX-License-Identifier: GPL-3.0-or-later
// Renders the program's windows to PNG files, so that they can be looked at without a desktop.
// Usage: corvale-screenshots OUTPUT_FOLDER
#include "app/TdlgProgress.h"
#include "app/TfrmBackupProgress.h"
#include "ui/TMessageBox.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QTextStream>

#include <functional>
#include <memory>

namespace {

QString OutputFolder;
bool AllSaved = true;

// Shows the window the factory makes, saves it as NAME.png and frees it.
void Shoot(const QString& AName, const std::function<QWidget*()>& AMake)
{
  std::unique_ptr<QWidget> window(AMake());
  window->show();
  QApplication::processEvents();
  const QString path = OutputFolder + QLatin1Char('/') + AName + QStringLiteral(".png");
  const bool saved = window->grab().save(path);
  QTextStream(stdout) << (saved ? "wrote " : "FAILED ") << path << Qt::endl;
  AllSaved = AllSaved && saved;
}

} // namespace

int main(int argc, char* argv[])
{
  QApplication application(argc, argv);
  OutputFolder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
  QDir().mkpath(OutputFolder);

  Shoot(QStringLiteral("messagebox-confirmation"), [] {
    return new QMessageBox(QMessageBox::Question, TMessageBox::Caption(TMessageBox::mkConfirmation),
                           QStringLiteral("Are you sure you want to cancel the current backup?"),
                           QMessageBox::Yes | QMessageBox::No);
  });

  Shoot(QStringLiteral("backup-progress"), [] {
    auto* window = new TfrmBackupProgress;
    window->SetBackupProfile(QStringLiteral("Documents"));
    window->SetTotalProgress(62, QStringLiteral("62%"));
    window->SetProfileProgress(50, QStringLiteral("Compressing files"));
    window->SetBackupProgress(73, QStringLiteral("/home/user/Documents/Reports/2026/annual-report.odt"));
    window->SetTimeElapsed(QStringLiteral("Elapsed: 2 minute(s) 7 seconds "));
    window->SetTimeRemaining(QStringLiteral("Estimated: 3 minutes "));
    window->SetOnCancel([](QObject*) {});
    window->SetOnHide([](QObject*) {});
    return window;
  });

  Shoot(QStringLiteral("progress-dialog"), [] {
    auto* dialog = new TdlgProgress;
    dialog->setAttribute(Qt::WA_DeleteOnClose, false);
    dialog->SetShowEstimatedTime(true);
    dialog->Show(QStringLiteral("Generating File List..."), psNormal);
    dialog->Progress(40, QString());
    return dialog;
  });

  return AllSaved ? 0 : 1;
}
