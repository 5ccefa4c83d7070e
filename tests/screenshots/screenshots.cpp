// SPDX-License-Identifier: GPL-3.0-or-later
// Renders the program's windows to PNG files, so that they can be looked at without a desktop.
// Usage: corvale-screenshots OUTPUT_FOLDER
#include "EditorShots.h"
#include "OptionsShots.h"
#include "ShellWindowShots.h"
#include "WizardShots.h"
#include "app/Pictures.h"
#include "app/TDesktopIntegration.h"
#include "app/TdlgProgress.h"
#include "app/TfrmBackupProgress.h"
#include "app/TfrmExitConfirm.h"
#include "app/TfrmOrvel.h"
#include "tests/support/TFakeSession.h"
#include "tests/support/TShellRig.h"
#include "ui/TMessageBox.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

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

// Saves a window that is already on screen as NAME.png.
void Grab(const QString& AName, QWidget* AWindow)
{
  QApplication::processEvents();
  const QString path = OutputFolder + QLatin1Char('/') + AName + QStringLiteral(".png");
  const bool saved = AWindow->grab().save(path);
  QTextStream(stdout) << (saved ? "wrote " : "FAILED ") << path << Qt::endl;
  AllSaved = AllSaved && saved;
}

// The main window with its tray menu open, and the exit confirmation one second into its count-down.
void ShootShell()
{
  // The main window keeps its log in the user's data folder; keep this run's out of the real one.
  QTemporaryDir home;
  qputenv("XDG_DATA_HOME", QFile::encodeName(home.path()));
  // The main window as the program assembles it, with two profiles and no real session behind it.
  TShellRig rig(std::make_unique<TFakeSession>());
  rig.Fake.OnProfileNames = [] { return QStringList({QStringLiteral("Documents"), QStringLiteral("Mail")}); };
  TfrmOrvel& form = rig.Form;
  form.show();
  Grab(QStringLiteral("main-window"), &form);

  form.Desktop().PopupMenuTrayIcon->popup(form.geometry().bottomLeft());
  Grab(QStringLiteral("tray-menu"), form.Desktop().PopupMenuTrayIcon);
  form.Desktop().mnuBackup->popup(form.geometry().bottomRight());
  Grab(QStringLiteral("tray-menu-backup"), form.Desktop().mnuBackup);
  form.Desktop().mnuBackup->hide();
  form.Desktop().PopupMenuTrayIcon->hide();

  TfrmExitConfirm& confirm = rig.ExitConfirm;
  QTimer::singleShot(0, &confirm, [&confirm] {
    confirm.TimerConfirm.stop();
    confirm.TimerConfirmTimer();
    Grab(QStringLiteral("exit-confirmation"), &confirm);
    confirm.reject();
  });
  (void)confirm.Execute(xpShutdown, 30);
  form.hide();

  // The thirteen tray icons side by side, at the size of a common panel.
  QLabel strip;
  QPixmap icons(TrayIconCount * 28, 28);
  icons.fill(Qt::white);
  QPainter painter(&icons);
  for (int index = 0; index < TrayIconCount; ++index)
    painter.drawPixmap(index * 28 + 2, 2, TrayIconPicture(index).pixmap(24, 24));
  painter.end();
  strip.setPixmap(icons);
  strip.show();
  Grab(QStringLiteral("tray-icons"), &strip);
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

  ShootShell();
  ShootEditor(Grab);
  ShootWizard(Grab);
  ShootShellWindows(Grab);
  ShootOptions(Grab);

  return AllSaved ? 0 : 1;
}
