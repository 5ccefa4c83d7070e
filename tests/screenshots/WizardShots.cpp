// SPDX-License-Identifier: GPL-3.0-or-later
#include "WizardShots.h"

#include "app/TdlgProgress.h"
#include "profiles/TBackupProfile.h"
#include "sysinfo/TSystemSources.h"
#include "ui/TDestinationControls.h"
#include "ui/TWizardProgress.h"
#include "ui/TfrmBackupProfileWizard.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTimer>

namespace {

// Thunderbird answers mailto links and Firefox http links on the pictured desktop.
class TShownDefaults : public TCommandRunner
{
public:
  bool Run(const QString&, const QStringList& AArguments, const QStringList&, QString& AOutput) override
  {
    const QString type = AArguments.value(2);
    if (type == QStringLiteral("x-scheme-handler/mailto"))
      AOutput = QStringLiteral("thunderbird.desktop\n");
    else if (type == QStringLiteral("x-scheme-handler/http"))
      AOutput = QStringLiteral("firefox-esr.desktop\n");
    else
      return false;
    return true;
  }
};

// The program's progress window, pictured once while the wizard looks at the computer.
class TShownProgress : public TWizardProgress
{
public:
  explicit TShownProgress(const std::function<void(const QString&, QWidget*)>& AGrab)
    : FGrab(AGrab)
  {
    FWindow.SetShowEstimatedTime(true);
  }
  void ShowProgress(const QString& ACaption, bool AWaiting) override
  {
    FWindow.Show(ACaption, AWaiting ? psWaiting : psNormal);
    if (!FShot) {
      FShot = true;
      FGrab(QStringLiteral("wizard-progress"), &FWindow);
    }
  }
  void SetProgress(int AProgress) override { FWindow.Progress(AProgress, QString()); }
  void UpdateProgress() override { FWindow.Update(); }
  void HideProgress() override { FWindow.hide(); }

private:
  std::function<void(const QString&, QWidget*)> FGrab;
  TdlgProgress FWindow;
  bool FShot = false;
};

void Write(const QString& APath, const QByteArray& AContent)
{
  QDir().mkpath(QFileInfo(APath).path());
  QFile file(APath);
  if (file.open(QIODevice::WriteOnly))
    file.write(AContent);
}

void MakeHome(const QString& AHome)
{
  const QByteArray entry = "[Desktop Entry]\nType=Application\nName=%1\nExec=%2\n";
  const QString apps = AHome + QStringLiteral("/.local/share/applications/");
  Write(apps + QStringLiteral("thunderbird.desktop"),
        QByteArray(entry).replace("%1", "Thunderbird").replace("%2", "thunderbird %u"));
  Write(apps + QStringLiteral("org.gnome.Evolution.desktop"),
        QByteArray(entry).replace("%1", "Evolution").replace("%2", "evolution %U"));
  Write(apps + QStringLiteral("firefox-esr.desktop"),
        QByteArray(entry).replace("%1", "Firefox").replace("%2", "firefox-esr %u"));
  Write(apps + QStringLiteral("chromium.desktop"),
        QByteArray(entry).replace("%1", "Chromium").replace("%2", "chromium %U"));
  Write(AHome + QStringLiteral("/.thunderbird/profiles.ini"),
        "[Profile0]\nName=default-release\nIsRelative=1\nPath=x1.default-release\n");
  QDir().mkpath(AHome + QStringLiteral("/.thunderbird/x1.default-release/Mail"));
  Write(AHome + QStringLiteral("/.mozilla/firefox/profiles.ini"),
        "[Profile0]\nName=default-esr\nIsRelative=1\nPath=k7.default-esr\n\n"
        "[Profile1]\nName=work\nIsRelative=1\nPath=q2.work\n");
  Write(AHome + QStringLiteral("/.config/chromium/Default/Bookmarks"), R"({"roots":{},"version":1})");
  QDir().mkpath(AHome + QStringLiteral("/.local/share/evolution/mail/local"));
  QDir().mkpath(AHome + QStringLiteral("/Backups"));
  Write(
      AHome + QStringLiteral("/.config/user-dirs.dirs"),
      "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_DOCUMENTS_DIR=\"$HOME/Documents\"\nXDG_PICTURES_DIR=\"$HOME/Pictures\"\n"
      "XDG_MUSIC_DIR=\"$HOME/Music\"\nXDG_VIDEOS_DIR=\"$HOME/Videos\"\n");
}

} // namespace

void ShootWizard(const std::function<void(const QString&, QWidget*)>& AGrab)
{
  QTemporaryDir dir;
  const QString home = dir.filePath(QStringLiteral("ann"));
  MakeHome(home);
  TShownDefaults defaults;
  const TSystemSources sources(home, {QStringLiteral("HOME=") + home}, QString(), {}, defaults);
  TShownProgress progress(AGrab);
  TBackupProfile profile;
  profile.SetAlertDays(7);
  profile.SetZipType(zSeven);
  TfrmBackupProfileWizard wizard(sources, progress);
  QTimer::singleShot(0, &wizard, [&] {
    using W = TfrmBackupProfileWizard;
    wizard.cbAdvanced->setChecked(true);
    AGrab(QStringLiteral("wizard-welcome"), &wizard);
    wizard.btnNext->click();
    wizard.editName->setText(QStringLiteral("Mail and Documents"));
    AGrab(QStringLiteral("wizard-profile-details"), &wizard);
    wizard.btnNext->click();
    AGrab(QStringLiteral("wizard-applications"), &wizard);
    wizard.btnNext->click();
    AGrab(QStringLiteral("wizard-included"), &wizard);
    // Never offered to the user; pictured so its layout is reviewed too.
    wizard.PageControl->setCurrentIndex(W::PageExcludedFilesFolders);
    AGrab(QStringLiteral("wizard-excluded"), &wizard);
    wizard.PageControl->setCurrentIndex(W::PageIncludedFilesFolders);
    wizard.btnNext->click();
    wizard.Destination->editZipFile->setText(home + QStringLiteral("/Backups/Mail and Documents.7z"));
    AGrab(QStringLiteral("wizard-destination"), &wizard);
    wizard.btnNext->click();
    AGrab(QStringLiteral("wizard-alerts"), &wizard);
    wizard.btnNext->click();
    AGrab(QStringLiteral("wizard-advanced"), &wizard);
    wizard.btnNext->click();
    AGrab(QStringLiteral("wizard-complete"), &wizard);
    wizard.reject();
  });
  (void)wizard.Execute(profile);
}
