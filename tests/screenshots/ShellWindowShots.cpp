// SPDX-License-Identifier: GPL-3.0-or-later
#include "ShellWindowShots.h"

#include "app/Pictures.h"
#include "app/ProgramVersion.h"
#include "profiles/TBackupProfileManager.h"
#include "sysinfo/DateTime.h"
#include "ui/TfrmAbout.h"
#include "ui/TfrmCustomBackup.h"
#include "ui/TfrmFailedBackup.h"

#include <QComboBox>
#include <QFile>
#include <QListWidget>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

void ShootShellWindows(const std::function<void(const QString&, QWidget*)>& AGrab)
{
  // Profiles stored in a store of this run's own.
  QTemporaryDir home;
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
  TBackupProfileManager manager;
  manager.SetRegistryKey(QStringLiteral("\\Software\\Quenfield\\Orvel"));
  const struct
  {
    const char* Name;
    bool Enabled;
    double LastBackup;
    TBackupProfileQueueStatus Status;
  } profiles[] = {{"Documents", true, 46090.75, qsFailed},
                  {"Mail", true, 46089.71, qsCancelled},
                  {"Photos", false, 46061.5, qsComplete},
                  {"Projects", true, 46090.76, qsComplete}};
  for (const auto& entry : profiles) {
    TBackupProfile* profile = manager.NewProfile(QString::fromLatin1(entry.Name));
    profile->SetEnabled(entry.Enabled);
    profile->SetLastBackup(entry.LastBackup);
    profile->SetLogFile(home.filePath(QString::fromLatin1(entry.Name) + QStringLiteral(".log")));
    (void)profile->SaveProfile();
    manager.QueueAdd(profile->ProfileName());
    manager.Queue().GetItem(manager.Queue().Count() - 1)->SetQueueStatus(entry.Status);
  }
  QFile log(home.filePath(QStringLiteral("Documents.log")));
  if (log.open(QIODevice::WriteOnly)) {
    log.write("10/12/2026 17:42:01 - Backup Profile: Documents\n"
              "10/12/2026 17:42:01 - Generating File List...\n"
              "10/12/2026 17:42:03 - 1,482 file(s) found\n"
              "10/12/2026 17:42:03 - Creating archive \"/media/user/Backup/Documents.7z\"\n"
              "10/12/2026 17:43:19 - Unable to write \"/media/user/Backup/Documents.7z.002\": No space left on device\n"
              "10/12/2026 17:43:19 - Backup Failed.\n");
    log.close();
  }

  {
    TfrmFailedBackup dialog(manager);
    QTimer::singleShot(0, &dialog, [&] {
      dialog.TimerAutoCloseTimer();
      dialog.TimerAutoCloseTimer();
      dialog.ListViewFailedProfiles->setCurrentItem(dialog.ListViewFailedProfiles->topLevelItem(0));
      AGrab(QStringLiteral("failed-backup"), &dialog);
      dialog.ShowLog();
      AGrab(QStringLiteral("failed-backup-log"), &dialog);
      dialog.accept();
    });
    dialog.Execute(60);
  }
  {
    TfrmCustomBackup dialog(manager);
    QTimer::singleShot(0, &dialog, [&] {
      dialog.comboShutdownOption->setCurrentIndex(1);
      AGrab(QStringLiteral("custom-backup"), &dialog);
      dialog.reject();
    });
    TExitParameter exitParameter = xpNone;
    (void)dialog.Execute(exitParameter);
  }
  {
    TfrmAbout box(ProgramFileVersion(), ProgramLegalNotice(), LogoPicture(QSize(425, 60)));
    QTimer::singleShot(0, &box, [&] {
      AGrab(QStringLiteral("about"), &box);
      const char* const pages[] = {"about-version-history", "about-license", "about-support"};
      for (int i = 1; i <= 3; ++i) {
        box.PageControl->setCurrentIndex(i);
        AGrab(QString::fromLatin1(pages[i - 1]), &box);
      }
      box.accept();
    });
    const QString folder = QStringLiteral(DOCUMENTS_FOLDER "/");
    (void)box.Execute(folder + QStringLiteral("Corvale - Release Notes.rtf"),
                      folder + QStringLiteral("Corvale - License.rtf"),
                      folder + QStringLiteral("Corvale - Support Details.rtf"));
  }
}
