// SPDX-License-Identifier: GPL-3.0-or-later
#include "OptionsShots.h"

#include "platform/TFileManager.h"
#include "profiles/TBackupProfile.h"
#include "profiles/TBackupProfileManager.h"
#include "settings/TApplicationOptions.h"
#include "settings/TLog.h"
#include "settings/TProgramSettings.h"
#include "sysinfo/TClock.h"
#include "ui/TProfileEditing.h"
#include "ui/TfrmBackupProfiles.h"
#include "ui/TfrmOptions.h"
#include "ui/TfrmPassword.h"

#include <QFile>
#include <QLineEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

namespace {

// Nothing is opened while the pictures are taken.
class TShownFileManager : public TFileManager
{
public:
  bool ShowFile(const QString&) override { return true; }
};

void FillOptions(TProgramSettings& ASettings)
{
  using enum TOptionId;
  const std::pair<TOptionId, QVariant> values[] = {
      {Password, QStringLiteral("kestrel")},
      {LastSelectionID, 0},
      {SMTPHost, QStringLiteral("mail.example.org")},
      {SMTPPort, 587},
      {SMTPAuthentication, true},
      {SMTPUsername, QStringLiteral("ann")},
      {SMTPPassword, QStringLiteral("secret")},
      {HTTPProxy, true},
      {HTTPHost, QStringLiteral("proxy.example.org")},
      {HTTPPort, 3128},
      {SOCKSHost, QStringLiteral("socks.example.org")},
      {SOCKSVersion, 2},
  };
  for (const auto& [option, value] : values)
    TApplicationOptions::Set(ASettings, option, value);
}

void AddProfile(TBackupProfileManager& AManager, const QString& AName, const QString& AZipFile, double ADaysAgo,
                bool AEnabled)
{
  TBackupProfile* profile = AManager.NewProfile(AName);
  profile->SetZipFile(AZipFile);
  profile->SetLastBackup(ADaysAgo < 0 ? 0 : TClock::Now() - ADaysAgo);
  profile->SetEnabled(AEnabled);
}

} // namespace

void ShootOptions(const std::function<void(const QString&, QWidget*)>& AGrab)
{
  // The store and the log live in a folder of their own, so the real ones are neither read nor changed.
  QTemporaryDir home;
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
  qputenv("XDG_CONFIG_DIRS", QFile::encodeName(home.filePath(QStringLiteral("etc"))));
  TProgramSettings settings;
  TApplicationOptions::ConfigureStore(settings);
  TApplicationOptions(&settings).RegisterOptions();
  settings.LoadDefaults();
  settings.LoadSettings();
  FillOptions(settings);

  TBackupProfileManager manager;
  AddProfile(manager, QStringLiteral("Documents"), QStringLiteral("/media/backup/Documents.7z"), 0.8, true);
  AddProfile(manager, QStringLiteral("Mail"), QStringLiteral("/media/backup/Mail.zip"), 2.3, true);
  AddProfile(manager, QStringLiteral("Photos"), QStringLiteral("/media/backup/Photos.7z"), 16.1, false);
  AddProfile(manager, QStringLiteral("Music"), QStringLiteral("/media/backup/Music.zip"), -1, false);

  TLog log;
  log.SetFileName(home.filePath(QStringLiteral("application.log")));
  log.SetActive(true);
  for (const char* line :
       {"Loading backup profiles...", "4 backup profile(s) loaded.", "Checking for backup alerts...",
        "Backup alert: Photos is 9 day(s) overdue.", "Checking for updates...", "No update available."})
    log.Add(QString::fromLatin1(line));

  TShownFileManager fileManager;
  TfrmBackupProfiles editor(nullptr, nullptr);
  TProfileEditing editing(manager, editor);
  TfrmOptions dialog(settings, manager, log, editing, fileManager,
                     {QStringLiteral("Corvale"), QStringLiteral("Backup and Restart"),
                      QStringLiteral("Backup and Log Off"), QStringLiteral("Backup and Lock Workstation"),
                      QStringLiteral("Backup"), QStringLiteral("Shutdown"), QStringLiteral("Restart"),
                      QStringLiteral("Log Off"), QStringLiteral("Lock Workstation"), QStringLiteral("Custom Backup")});
  QTimer::singleShot(0, &dialog, [&] {
    const auto shoot = [&](const QString& AName, int APage, QTabWidget* AInner = nullptr, int AInnerPage = 0) {
      dialog.PageControl->setCurrentIndex(APage);
      if (AInner)
        AInner->setCurrentIndex(AInnerPage);
      AGrab(AName, &dialog);
    };
    shoot(QStringLiteral("options-general"), 0);
    dialog.ListViewProfiles->setCurrentItem(dialog.ListViewProfiles->topLevelItem(1));
    shoot(QStringLiteral("options-profiles"), 1);
    shoot(QStringLiteral("options-smtp"), 2, dialog.PageControlConnectivity, 0);
    shoot(QStringLiteral("options-http-proxy"), 2, dialog.PageControlConnectivity, 1);
    shoot(QStringLiteral("options-socks-proxy"), 2, dialog.PageControlConnectivity, 2);
    shoot(QStringLiteral("options-log"), 3);
    shoot(QStringLiteral("options-advanced"), 4, dialog.PageControlAdvanced, 0);
    shoot(QStringLiteral("options-auto-update"), 4, dialog.PageControlAdvanced, 1);
    dialog.reject();
  });
  (void)dialog.Execute();
  log.SetActive(false);

  TfrmPassword password;
  QTimer::singleShot(0, &password, [&] {
    password.editPassword->setText(QStringLiteral("kestrel"));
    AGrab(QStringLiteral("password"), &password);
    password.reject();
  });
  (void)password.Execute(QStringLiteral("Please enter your password"), QStringLiteral("kestrel"), 3);
}
