// SPDX-License-Identifier: GPL-3.0-or-later
// The small dialogs of the profile editor: an e-mail template, an SMTP server, a folder with a mask,
// and the drives the folder dialog offers.
#include "tests/support/OffscreenNoise.h"
#include "types/TEmailTemplate.h"
#include "types/TSmtpServer.h"
#include "ui/TMessageBox.h"
#include "ui/TSmtpServerFields.h"
#include "ui/TfrmEmailDetails.h"
#include "ui/TfrmFolderSelect.h"
#include "ui/TfrmSMTPDetails.h"
#include "ui/UserDrives.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

void WhileOpen(QDialog& ADialog, const std::function<void()>& AAction)
{
  // AAction is copied: the caller's function object is gone by the time the timer fires.
  QTimer::singleShot(0, &ADialog, [&ADialog, AAction] {
    AAction();
    if (ADialog.isVisible())
      ADialog.reject();
  });
}

} // namespace

class TestProfileDialogs : public QObject
{
  Q_OBJECT

private slots:
  void initTestCase() { HideOffscreenNoise(); }
  void init() { TMessageBox::SetHeadless(true); }
  void cleanup() { TMessageBox::Reset(); }
  void emailDetailsNeedASenderAddress();
  void smtpDetailsCopyBackOnlyOnOk();
  void folderSelectReportsTheChosenFolder();
  void drivesAreTheMountsAUserPicksFrom();
};

void TestProfileDialogs::emailDetailsNeedASenderAddress()
{
  TfrmEmailDetails dialog;
  TEmailTemplate email;
  email.Subject = QStringLiteral("Backup of %profilename%");
  email.Body = QStringLiteral("Line one\r\nLine two");
  WhileOpen(dialog, [&] {
    QCOMPARE(dialog.memoMessage->toPlainText(), QStringLiteral("Line one\nLine two"));
    dialog.btnKeywords->click();
    dialog.btnOk->click();
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.focusWidget(), dialog.editSenderAddress);
    QTest::keyClicks(dialog.editSenderAddress, QStringLiteral("ann@example.org"));
    dialog.memoMessage->appendPlainText(QStringLiteral("Line three"));
    QTest::mouseClick(dialog.btnOk, Qt::LeftButton);
  });
  QVERIFY(dialog.Execute(email));
  const auto& shown = TMessageBox::Shown();
  QCOMPARE(shown.size(), 2);
  QCOMPARE(shown.at(0).Kind, TMessageBox::mkInformation);
  QCOMPARE(shown.at(0).Text.split(QStringLiteral("\r\n")).size(), 10);
  QCOMPARE(shown.at(1).Kind, TMessageBox::mkError);
  QVERIFY(shown.at(1).Text.startsWith(QStringLiteral("You must specify a Sender Address.")));
  QCOMPARE(email.SenderAddress, QStringLiteral("ann@example.org"));
  QCOMPARE(email.Body, QStringLiteral("Line one\r\nLine two\r\nLine three"));
  QCOMPARE(email.Subject, QStringLiteral("Backup of %profilename%"));

  // Cancel leaves the template as it was.
  WhileOpen(dialog, [&] { dialog.editSubject->setText(QStringLiteral("Changed")); });
  QVERIFY(!dialog.Execute(email));
  QCOMPARE(email.Subject, QStringLiteral("Backup of %profilename%"));
}

void TestProfileDialogs::smtpDetailsCopyBackOnlyOnOk()
{
  TfrmSMTPDetails dialog;
  TSmtpServer smtp;
  smtp.Hostname = QStringLiteral("mail.example.org");
  smtp.Port = 587;
  const TSmtpServer before = smtp;
  WhileOpen(dialog, [&] {
    QCOMPARE(dialog.gbSMTPDetails->editPort->value(), 587);
    dialog.gbSMTPDetails->editUsername->setText(QStringLiteral("ann"));
    dialog.gbSMTPDetails->editPassword->setText(QStringLiteral("pw"));
    dialog.gbSMTPDetails->cbSecure->setChecked(true);
  });
  QVERIFY(!dialog.Execute(smtp));
  QCOMPARE(smtp, before);

  WhileOpen(dialog, [&] {
    dialog.gbSMTPDetails->editPort->setValue(465);
    dialog.gbSMTPDetails->cbSecure->setChecked(true);
    dialog.gbSMTPDetails->editPassword->setText(QStringLiteral("pw"));
    dialog.btnOk->click();
  });
  QVERIFY(dialog.Execute(smtp));
  TSmtpServer expected = before;
  expected.Port = 465;
  expected.Secure = true;
  expected.Password = QStringLiteral("pw");
  QCOMPARE(smtp, expected);
}

void TestProfileDialogs::folderSelectReportsTheChosenFolder()
{
  QTemporaryDir dir;
  QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("Documents/Letters"))));
  QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral(".config"))));
  const QString letters = dir.filePath(QStringLiteral("Documents/Letters"));
  {
    TfrmFolderSelect dialog;
    dialog.Folder = letters;
    dialog.Wildcards.clear();
    dialog.Recurse = true;
    WhileOpen(dialog, [&] {
      QCOMPARE(dialog.ComboBoxWildcard->currentText(), QStringLiteral("*.*"));
      QVERIFY(dialog.cbRecurse->isChecked());
      QCOMPARE(dialog.SelectedFolder(), letters);
      dialog.ComboBoxWildcard->setCurrentText(QStringLiteral("*.odt"));
      dialog.cbRecurse->setChecked(false);
      dialog.btnOk->click();
    });
    QVERIFY(dialog.Execute());
    QCOMPARE(dialog.Folder, letters);
    QCOMPARE(dialog.Wildcards, QStringLiteral("*.odt"));
    QVERIFY(!dialog.Recurse);
  }
  {
    // An empty mask is every file; Cancel forgets the folder.
    TfrmFolderSelect dialog;
    dialog.Folder = letters;
    WhileOpen(dialog, [&] {
      dialog.ComboBoxWildcard->setCurrentText(QString());
      dialog.btnOk->click();
    });
    QVERIFY(dialog.Execute());
    QCOMPARE(dialog.Wildcards, QStringLiteral("*.*"));
    dialog.Recurse = true;
    WhileOpen(dialog, [] {});
    QVERIFY(!dialog.Execute());
    QVERIFY(dialog.Folder.isEmpty());
    QCOMPARE(dialog.Wildcards, QStringLiteral("*.*"));
    QVERIFY(!dialog.Recurse);
  }
}

void TestProfileDialogs::drivesAreTheMountsAUserPicksFrom()
{
  QVERIFY(IsUserMount(QStringLiteral("/"), "overlay"));
  QVERIFY(IsUserMount(QStringLiteral("/home"), "ext4"));
  QVERIFY(IsUserMount(QStringLiteral("/run/media/ann/USB STICK"), "vfat"));
  QVERIFY(IsUserMount(QStringLiteral("/mnt/share"), "nfs4"));
  QVERIFY(IsUserMount(QStringLiteral("/media/cdrom0"), "iso9660"));
  QVERIFY(!IsUserMount(QStringLiteral("/proc"), "proc"));
  QVERIFY(!IsUserMount(QStringLiteral("/sys/fs/cgroup"), "cgroup2"));
  QVERIFY(!IsUserMount(QStringLiteral("/dev/shm"), "tmpfs"));
  QVERIFY(!IsUserMount(QStringLiteral("/run/user/1000"), "tmpfs"));
  QVERIFY(!IsUserMount(QStringLiteral("/run/lock"), "ext4"));
  QVERIFY(!IsUserMount(QStringLiteral("/snap/core/1"), "squashfs"));
  QVERIFY(!IsUserMount(QStringLiteral("/boot/efi"), "vfat"));
  QVERIFY(!IsUserMount(QStringLiteral("/runaway"), "tmpfs"));
  QVERIFY(IsUserMount(QStringLiteral("/runaway"), "ext4"));

  const QList<TUserDrive> drives = UserDrives();
  QVERIFY(!drives.isEmpty());
  QCOMPARE(drives.constFirst().Path, QDir::homePath());
  QCOMPARE(DriveOfPath(drives, QDir::homePath() + QStringLiteral("/Documents")), 0);
  const QList<TUserDrive> made = {{QStringLiteral("/"), QStringLiteral("/")},
                                  {QStringLiteral("/home"), QStringLiteral("/home")},
                                  {QStringLiteral("/home/ann"), QStringLiteral("/home/ann")}};
  QCOMPARE(DriveOfPath(made, QStringLiteral("/home/ann/x")), 2);
  QCOMPARE(DriveOfPath(made, QStringLiteral("/home/anna")), 1);
  QCOMPARE(DriveOfPath(made, QStringLiteral("/etc")), 0);
}

QTEST_MAIN(TestProfileDialogs)
#include "tst_profiledialogs.moc"
