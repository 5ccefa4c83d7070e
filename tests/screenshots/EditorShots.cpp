// SPDX-License-Identifier: GPL-3.0-or-later
#include "EditorShots.h"

#include "profiles/TBackupProfile.h"
#include "sysinfo/DateTime.h"
#include "sysinfo/TClock.h"
#include "ui/TPluginCatalog.h"
#include "ui/TProgramPicker.h"
#include "ui/TfrmBackupProfiles.h"
#include "ui/TfrmEmailDetails.h"
#include "ui/TfrmFolderSelect.h"
#include "ui/TfrmSMTPDetails.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>

namespace {

// Two plug-ins as a user might have installed them.
class TShownPlugins : public TPluginCatalog
{
public:
  void SetActive(bool) override {}
  QList<TPluginRow> Rows() const override
  {
    return {{QStringLiteral("Copy to NAS"), QStringLiteral("1.4.0"), QStringLiteral("Holloway Tools")},
            {QStringLiteral("Checksum Report"), QStringLiteral("0.9.2"), QStringLiteral("M. Okafor")}};
  }
  void Configure(const QString&, const QString&) override {}
};

// Enables the page's buttons; nothing is picked or closed while the pictures are taken.
class TShownProgramWindows : public TProgramPicker
{
public:
  bool PickProgram(QString&, QString&) override { return false; }
  bool CloseApplications(const QStringList&, bool) override { return false; }
};

void FillProfile(TBackupProfile& AProfile, const QString& ALogFile)
{
  const QString home = QDir::homePath();
  AProfile.SetProfileName(QStringLiteral("Documents"));
  AProfile.SetDescription(QStringLiteral("Letters, reports and the household accounts.\r\nRuns every evening."));
  AProfile.SetZipFile(QStringLiteral("/media/backup/Documents.7z"));
  AProfile.SetPassword(QStringLiteral("correct horse"));
  AProfile.SetAlertDays(7);
  AProfile.SetLastBackup(TClock::Now() - 3.4);
  AProfile.SetLogFile(ALogFile);
  AProfile.SetAlertEmailEnabled(true);
  AProfile.SetLogEmailEnabled(true);
  (void)AProfile.Files().Add(home + QStringLiteral("/Documents"), QStringLiteral("*.*"), true);
  (void)AProfile.Files().Add(home + QStringLiteral("/Mail"), QStringLiteral("*.mbox"), true);
  (void)AProfile.Files().Add(home + QStringLiteral("/Desktop"), QStringLiteral("budget-2026.ods"), false);
  (void)AProfile.FileExclusions().Add(home + QStringLiteral("/Documents/.cache"), QStringLiteral("*.*"), true);
  (void)AProfile.FileExclusions().Add(home + QStringLiteral("/Documents"), QStringLiteral("*.tmp"), true);
  AProfile.ActivePrograms() << QStringLiteral("Inbox - Mail=mail-client")
                            << QStringLiteral("accounts.ods - Sheets=sheets");
  TEmailTemplate& email = AProfile.AlertEmailDetails();
  email.SenderName = QStringLiteral("Backup on %computername%");
  email.SenderAddress = QStringLiteral("backup@example.org");
  email.Recipients = QStringLiteral("ann@example.org");
  email.Subject = QStringLiteral("%profilename% is %daysoverdue% day(s) overdue");
  email.Body = QStringLiteral("The last backup of %profilename% ran on %lastbackup%.\r\nPlease run it soon.");
  TSmtpServer& smtp = AProfile.SMTPSettings();
  smtp.Hostname = QStringLiteral("mail.example.org");
  smtp.Port = 587;
  smtp.Username = QStringLiteral("ann");
  smtp.Password = QStringLiteral("secret");
  smtp.Secure = true;
  smtp.Authentication = true;
  AProfile.SetCustomSMTPSettings(true);
}

} // namespace

void ShootEditor(const std::function<void(const QString&, QWidget*)>& AGrab)
{
  QTemporaryDir dir;
  const QString logFile = dir.filePath(QStringLiteral("Documents.log"));
  QFile log(logFile);
  if (log.open(QIODevice::WriteOnly)) {
    log.write("09/12/2026 18:02:11 Backup started: Documents\r\n"
              "09/12/2026 18:02:11 Generating file list...\r\n"
              "09/12/2026 18:02:12 1,284 file(s) found, 412.6 MB\r\n"
              "09/12/2026 18:04:47 Archive written: /media/backup/Documents.7z\r\n"
              "09/12/2026 18:04:47 Backup Complete.\r\n");
    log.close();
  }
  TBackupProfile profile;
  FillProfile(profile, logFile);

  TShownProgramWindows windows;
  TfrmBackupProfiles editor(&windows, std::make_unique<TShownPlugins>());
  QTimer::singleShot(0, &editor, [&] {
    const auto shoot = [&](const QString& AName, QWidget* APage, int AFilesPage = -1) {
      editor.PageControl->setCurrentWidget(APage);
      if (AFilesPage >= 0)
        editor.PageControlFiles->setCurrentIndex(AFilesPage);
      AGrab(AName, &editor);
    };
    shoot(QStringLiteral("profile-general"), editor.TabSheetGeneral);
    shoot(QStringLiteral("profile-sources"), editor.TabSheetFiles, 0);
    shoot(QStringLiteral("profile-exclusions"), editor.TabSheetFiles, 1);
    shoot(QStringLiteral("profile-destination"), editor.TabSheetFiles, 2);
    shoot(QStringLiteral("profile-active-programs"), editor.TabSheetActivePrograms);
    shoot(QStringLiteral("profile-logging"), editor.TabSheetLogging);
    shoot(QStringLiteral("profile-plugins"), editor.TabSheetPlugins);

    QTimer::singleShot(0, editor.frmEmailDetails, [&] {
      AGrab(QStringLiteral("email-details"), editor.frmEmailDetails);
      editor.frmEmailDetails->reject();
    });
    (void)editor.frmEmailDetails->Execute(profile.AlertEmailDetails());
    QTimer::singleShot(0, editor.frmSMTPDetails, [&] {
      AGrab(QStringLiteral("smtp-details"), editor.frmSMTPDetails);
      editor.frmSMTPDetails->reject();
    });
    (void)editor.frmSMTPDetails->Execute(profile.SMTPSettings());

    // A small tree of its own, so that the picture does not show (or change) the real home folder.
    for (const char* folder :
         {"ann/Documents/Letters", "ann/Documents/Reports", "ann/Mail", "ann/Music", "ann/Pictures", "ann/.config"})
      QDir().mkpath(dir.filePath(QString::fromLatin1(folder)));
    TfrmFolderSelect select(&editor);
    select.Folder = dir.filePath(QStringLiteral("ann/Documents"));
    select.ShowHidden = true;
    select.Wildcards = QStringLiteral("*.*");
    select.Recurse = true;
    QTimer::singleShot(300, &select, [&] {
      select.TreeViewFolders->expand(select.TreeViewFolders->currentIndex());
      QApplication::processEvents();
      AGrab(QStringLiteral("folder-select"), &select);
      select.reject();
    });
    (void)select.Execute();
    editor.reject();
  });
  (void)editor.Execute(profile);
}
