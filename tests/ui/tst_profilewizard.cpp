// SPDX-License-Identifier: GPL-3.0-or-later
// The profile wizard walked page by page on a fake home folder with Thunderbird, Firefox and the
// user's folders; the profile it makes is stored and backed up into a real 7z archive.
#include "profiles/TBackupProfileManager.h"
#include "sysinfo/TSystemSources.h"
#include "tests/support/OffscreenNoise.h"
#include "ui/TAlertControls.h"
#include "ui/TDestinationControls.h"
#include "ui/TEntryListView.h"
#include "ui/TMessageBox.h"
#include "ui/TWizardProgress.h"
#include "ui/TfrmBackupProfileWizard.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

namespace {

const QString ProgramKey = QStringLiteral("\\Software\\Quenfield\\Orvel");

class TFakeRunner : public TCommandRunner
{
public:
  bool Run(const QString&, const QStringList& AArguments, const QStringList&, QString& AOutput) override
  {
    if (AArguments.value(2) != QStringLiteral("x-scheme-handler/mailto"))
      return false;
    AOutput = QStringLiteral("thunderbird.desktop\n");
    return true;
  }
};

class TProgressRecorder : public TWizardProgress
{
public:
  QStringList FShown;
  QList<int> FProgress;
  bool FVisible = false;
  void ShowProgress(const QString& ACaption, bool AWaiting) override
  {
    FShown << ACaption + (AWaiting ? QStringLiteral(" (waiting)") : QString());
    FVisible = true;
  }
  void SetProgress(int AProgress) override { FProgress << AProgress; }
  void UpdateProgress() override {}
  void HideProgress() override { FVisible = false; }
};

void WriteFile(const QString& APath, const QByteArray& AContent)
{
  QVERIFY(QDir().mkpath(QFileInfo(APath).path()));
  QFile file(APath);
  QVERIFY(file.open(QIODevice::WriteOnly));
  QCOMPARE(file.write(AContent), AContent.size());
}

QStringList Entries(const TBackupProfile& AProfile)
{
  QStringList result;
  for (int i = 0; i < AProfile.Files().Count(); ++i) {
    const TBackupProfileFile* entry = AProfile.Files().GetItem(i);
    result << entry->Folder() + QLatin1Char('|') + entry->FileMask() + QLatin1Char('|') +
                  (entry->Recursive() ? QStringLiteral("R") : QStringLiteral("-"));
  }
  return result;
}

QString Run7z(const QStringList& AArguments, bool& AOk)
{
  QProcess process;
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start(QStringLiteral("7z"), AArguments);
  AOk = process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
  return QString::fromLocal8Bit(process.readAll());
}

} // namespace

class TestProfileWizard : public QObject
{
  Q_OBJECT

  QTemporaryDir FDir;
  QString FHome;
  TFakeRunner FRunner;

  QString Path(const QString& AName) const { return FDir.filePath(AName); }
  TSystemSources Sources() { return TSystemSources(FHome, {"HOME=" + FHome}, QString(), {}, FRunner); }

private slots:
  void initTestCase()
  {
    HideOffscreenNoise();
    QVERIFY(FDir.isValid());
    FHome = Path("home");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(Path("config")));
    qputenv("XDG_CONFIG_DIRS", QFile::encodeName(Path("etc")));
    WriteFile(FHome + "/.local/share/applications/thunderbird.desktop",
              "[Desktop Entry]\nType=Application\nName=Thunderbird\nExec=thunderbird %u\n");
    WriteFile(FHome + "/.local/share/applications/firefox-esr.desktop",
              "[Desktop Entry]\nType=Application\nName=Firefox\nExec=/usr/lib/firefox-esr/firefox-esr %u\n");
    WriteFile(FHome + "/.thunderbird/profiles.ini", "[Profile0]\nName=default-release\nIsRelative=1\nPath=t.default\n");
    WriteFile(FHome + "/.thunderbird/t.default/prefs.js", "user_pref(\"a\", 1);\n");
    WriteFile(FHome + "/.mozilla/firefox/profiles.ini", "[Profile0]\nName=default\nIsRelative=1\nPath=a.default\n\n"
                                                        "[Profile1]\nName=work\nIsRelative=1\nPath=b.work\n");
    WriteFile(FHome + "/.mozilla/firefox/a.default/places.sqlite", "SQLite format 3");
    WriteFile(FHome + "/.mozilla/firefox/b.work/places.sqlite", "SQLite format 3");
    WriteFile(FHome + "/.config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Documents\"\n"
                                                 "XDG_PICTURES_DIR=\"$HOME/Pictures\"\nXDG_DESKTOP_DIR=\"$HOME/\"\n");
    WriteFile(FHome + "/Documents/letter.txt", "Dear reader");
    WriteFile(FHome + "/Pictures/cat.jpg", "not a real picture");
  }
  void init() { TMessageBox::SetHeadless(true); }
  void cleanup() { TMessageBox::Reset(); }

  void pagesCheckAndBuildTheIncludeEntries()
  {
    const TSystemSources sources = Sources();
    TProgressRecorder progress;
    TfrmBackupProfileWizard wizard(sources, progress);
    TBackupProfile profile;
    profile.SetPassword("secret");
    QTimer::singleShot(0, &wizard, [&] {
      using W = TfrmBackupProfileWizard;
      QCOMPARE(wizard.CurrentPage(), W::PageWelcome);
      QVERIFY(!wizard.btnBack->isVisible());
      QTest::mouseClick(wizard.btnNext, Qt::LeftButton);
      // An empty name keeps the page; a single space is a name.
      QTest::mouseClick(wizard.btnNext, Qt::LeftButton);
      QCOMPARE(wizard.CurrentPage(), W::PageProfileDetails);
      QCOMPARE(TMessageBox::Shown().value(0).Text, QStringLiteral("Please specify a valid profile name."));
      QTest::keyClicks(wizard.editName, " ");
      QTest::mouseClick(wizard.btnNext, Qt::LeftButton);
      QCOMPARE(wizard.CurrentPage(), W::PageApplicationDetails);
      QVERIFY(wizard.cbThunderbird->isEnabled() && wizard.cbThunderbird->isChecked());
      QVERIFY(!wizard.cbEvolution->isEnabled() && !wizard.cbOutlook->isEnabled());
      QVERIFY(wizard.cbFirefox->isChecked() && !wizard.cbChrome->isEnabled());
      QCOMPARE(wizard.ComboBoxFirefoxProfile->currentText(), QStringLiteral("All"));
      QCOMPARE(wizard.ComboBoxFirefoxProfile->count(), 3);
      QCOMPARE(progress.FShown.last(), QStringLiteral("Gathering System Information... (waiting)"));
      QVERIFY(!progress.FVisible);

      QTest::mouseClick(wizard.btnNext, Qt::LeftButton);
      QCOMPARE(wizard.CurrentPage(), W::PageIncludedFilesFolders);
      QCOMPARE(progress.FShown.last(), QStringLiteral("Generating File List..."));
      QCOMPARE(progress.FProgress.first(), 0);
      QCOMPARE(progress.FProgress.last(), 100);
      // Desktop is switched off in user-dirs.dirs, music and videos are not defined.
      const QString firefox = FHome + "/.mozilla/firefox/";
      QCOMPARE(
          Entries(profile),
          (QStringList{FHome + "/.thunderbird/t.default/|*.*|R", firefox + "a.default/|places.sqlite|-",
                       firefox + "b.work/|places.sqlite|-", FHome + "/Documents/|*.*|R", FHome + "/Pictures/|*.*|R"}));
      QCOMPARE(wizard.ListViewFiles->topLevelItemCount(), 5);
      QCOMPARE(wizard.ListViewFiles->topLevelItem(0)->text(2), QStringLiteral("True"));
      QCOMPARE(wizard.ListViewFiles->headerItem()->text(2), QStringLiteral("Recursive"));

      // Back asks first; No stays, Yes goes back and the list is rebuilt from the boxes on return.
      TMessageBox::QueueAnswer(TMessageBox::maNo);
      QTest::mouseClick(wizard.btnBack, Qt::LeftButton);
      QCOMPARE(wizard.CurrentPage(), W::PageIncludedFilesFolders);
      TMessageBox::QueueAnswer(TMessageBox::maYes);
      QTest::mouseClick(wizard.btnBack, Qt::LeftButton);
      QCOMPARE(wizard.CurrentPage(), W::PageApplicationDetails);
      wizard.ComboBoxFirefoxProfile->setCurrentIndex(1);
      wizard.cbMyPictures->setChecked(false);
      QTest::mouseClick(wizard.btnNext, Qt::LeftButton);
      QCOMPARE(Entries(profile), (QStringList{FHome + "/.thunderbird/t.default/|*.*|R",
                                              firefox + "b.work/|places.sqlite|-", FHome + "/Documents/|*.*|R"}));

      // The exclusion page is skipped.
      QTest::mouseClick(wizard.btnNext, Qt::LeftButton);
      QCOMPARE(wizard.CurrentPage(), W::PageBackupDestination);
      wizard.Destination->ComboBoxZipType->setCurrentIndex(zNTBackup);
      QVERIFY(!wizard.Destination->editPassword->isEnabled() && !wizard.Destination->editSpanning->isEnabled());
      QVERIFY(!wizard.Destination->editKeepArchives->isEnabled());
      QVERIFY(wizard.Destination->editZipFile->text().endsWith(".bkf"));
      wizard.Destination->ComboBoxZipType->setCurrentIndex(zSeven);
      QCOMPARE(wizard.Destination->editKeepArchives->text(), QStringLiteral("replace the archive each time"));
      wizard.Destination->editKeepArchives->setValue(4);
      wizard.Destination->editZipFile->setText(Path("wizard.7z"));
      // The password taken over from the profile must be confirmed.
      const int shown = TMessageBox::Shown().size();
      QTest::mouseClick(wizard.btnNext, Qt::LeftButton);
      QCOMPARE(TMessageBox::Shown().value(shown).Text, QStringLiteral("Password's do not match"));
      QCOMPARE(wizard.CurrentPage(), W::PageBackupDestination);
      wizard.Destination->editPassword->clear();
      wizard.Destination->TrackBarCompression->setValue(4);
      QCOMPARE(wizard.Destination->lblCompression->text(), QStringLiteral("Compression Level: Maximum (recommended)"));
      QTest::mouseClick(wizard.btnNext, Qt::LeftButton);
      QCOMPARE(wizard.CurrentPage(), W::PageBackupAlerts);
      wizard.Alerts->TrackBarAlertDays->setValue(9);
      QCOMPARE(wizard.Alerts->lblAlertDays->text(),
               QStringLiteral("Alert if backup has not been performed in the last 9 day(s)"));
      QTest::mouseClick(wizard.btnNext, Qt::LeftButton);
      // The advanced page is shown only when asked for on the first page.
      QCOMPARE(wizard.CurrentPage(), W::PageComplete);
      QVERIFY(!wizard.btnNext->isVisible() && wizard.btnFinish->isVisible());
      QTest::mouseClick(wizard.btnFinish, Qt::LeftButton);
    });
    QVERIFY(wizard.Execute(profile));
    QCOMPARE(profile.ProfileName(), QStringLiteral(" "));
    QCOMPARE(profile.ZipType(), zSeven);
    QCOMPARE(profile.ZipFile(), Path("wizard.7z"));
    QCOMPARE(profile.Password(), QString());
    QCOMPARE(profile.AlertDays(), 9);
    QCOMPARE(profile.CompressionLevel(), clMaximum);
    QCOMPARE(profile.KeepArchives(), 4);
    QCOMPARE(profile.FileExclusions().Count(), 0);

    // Cancel reports false and copies nothing back.
    QTimer::singleShot(0, &wizard, [&] {
      QCOMPARE(wizard.CurrentPage(), TfrmBackupProfileWizard::PageWelcome);
      wizard.cbAdvanced->setChecked(true);
      QTest::mouseClick(wizard.btnNext, Qt::LeftButton);
      wizard.editName->setText("Changed");
      QTest::mouseClick(wizard.btnCancel, Qt::LeftButton);
    });
    QVERIFY(!wizard.Execute(profile));
    QCOMPARE(profile.ProfileName(), QStringLiteral(" "));
  }

  void wizardProfileBacksUpIntoAnArchive()
  {
    if (QStandardPaths::findExecutable(QStringLiteral("7z")).isEmpty())
      QSKIP("The 7z command is not installed (p7zip-full).");
    QVERIFY(QDir().mkpath(Path("logs")));
    const QString archive = Path("Mail and documents.7z");
    const TSystemSources sources = Sources();
    TProgressRecorder progress;
    {
      TBackupProfileManager manager;
      manager.SetRegistryKey(ProgramKey);
      manager.SetLogFolder(Path("logs") + QLatin1Char('/'));
      manager.SetPluginFolder(Path("plugins") + QLatin1Char('/'));
      TBackupProfile* profile = manager.NewProfile(QString());
      TfrmBackupProfileWizard wizard(sources, progress);
      QTimer::singleShot(0, &wizard, [&] {
        QTest::mouseClick(wizard.btnNext, Qt::LeftButton);
        wizard.editName->setText("Mail and documents");
        QTest::mouseClick(wizard.btnNext, Qt::LeftButton);
        wizard.cbFirefox->setChecked(false);
        QTest::mouseClick(wizard.btnNext, Qt::LeftButton);
        QTest::mouseClick(wizard.btnNext, Qt::LeftButton);
        wizard.Destination->ComboBoxZipType->setCurrentIndex(zSeven);
        wizard.Destination->editZipFile->setText(archive);
        wizard.Destination->editPassword->clear();
        QTest::mouseClick(wizard.btnNext, Qt::LeftButton);
        QTest::mouseClick(wizard.btnNext, Qt::LeftButton);
        QTest::mouseClick(wizard.btnFinish, Qt::LeftButton);
      });
      QVERIFY(wizard.Execute(*profile));
      QCOMPARE(Entries(*profile), (QStringList{FHome + "/.thunderbird/t.default/|*.*|R", FHome + "/Documents/|*.*|R",
                                               FHome + "/Pictures/|*.*|R"}));
      QVERIFY(profile->SaveProfile());
    }
    TBackupProfileManager manager;
    manager.SetRegistryKey(ProgramKey);
    manager.SetLogFolder(Path("logs") + QLatin1Char('/'));
    manager.SetPluginFolder(Path("plugins") + QLatin1Char('/'));
    manager.LoadProfiles();
    manager.QueueAdd(QStringLiteral("Mail and documents"));
    QVERIFY(manager.Backup());
    const QString volume = archive + QStringLiteral(".001");
    bool ok = false;
    const QString tested = Run7z({"t", "-p-", volume}, ok);
    QVERIFY2(ok && tested.contains(QLatin1String("Everything is Ok")), qPrintable(tested));
    const QString listed = Run7z({"l", "-ba", volume}, ok);
    QVERIFY(ok);
    for (const char* name : {"prefs.js", "letter.txt", "cat.jpg"})
      QVERIFY2(listed.contains(QLatin1String(name)), qPrintable(listed));
  }
};

QTEST_MAIN(TestProfileWizard)
#include "tst_profilewizard.moc"
