// SPDX-License-Identifier: GPL-3.0-or-later
// The profile editor as a person uses it: opened on a profile, changed, confirmed or cancelled,
// with message boxes and file dialogs answered from the queue.
#include "notify/TPlugins.h"
#include "profiles/TBackupProfile.h"
#include "profiles/TBackupProfileManager.h"
#include "sysinfo/DateTime.h"
#include "sysinfo/TClock.h"
#include "sysinfo/TFormatSettings.h"
#include "tests/support/OffscreenNoise.h"
#include "ui/TAlertControls.h"
#include "ui/TDestinationControls.h"
#include "ui/TEntryListView.h"
#include "ui/TFileDialog.h"
#include "ui/TMessageBox.h"
#include "ui/TPluginCatalog.h"
#include "ui/TPluginsCatalog.h"
#include "ui/TProfileEditing.h"
#include "ui/TProgramPicker.h"
#include "ui/TfrmBackupProfiles.h"
#include "ui/TfrmFolderSelect.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <functional>
#include <limits>
#include <memory>
#include <vector>

namespace {

const QString ProgramKey = QStringLiteral("\\Software\\Quenfield\\Orvel");
const int MegaByte = 1048576;

class TFakeProgramWindows : public TProgramPicker
{
public:
  QString NextName;
  QString NextClass;
  QStringList Presets; // what each pick started from
  QList<QPair<QStringList, bool>> Closed;
  bool CloseResult = true;

  bool PickProgram(QString& AWindowName, QString& AWindowClass) override
  {
    Presets << AWindowName + QLatin1Char('=') + AWindowClass;
    if (NextName.isEmpty())
      return false;
    AWindowName = NextName;
    AWindowClass = NextClass;
    return true;
  }
  bool CloseApplications(const QStringList& AActivePrograms, bool ACloseGracefully) override
  {
    Closed.append({AActivePrograms, ACloseGracefully});
    return CloseResult;
  }
};

class TFakePlugins : public TPluginCatalog
{
public:
  explicit TFakePlugins(QStringList* ALog)
    : FLog(ALog)
  {}
  void SetActive(bool AValue) override { *FLog << (AValue ? QStringLiteral("load") : QStringLiteral("unload")); }
  QList<TPluginRow> Rows() const override
  {
    return {{QStringLiteral("Mirror"), QStringLiteral("1.2"), QStringLiteral("Quenfield")}};
  }
  void Configure(const QString& APluginName, const QString& AProfileName) override
  {
    *FLog << QStringLiteral("configure ") + APluginName + QLatin1Char(' ') + AProfileName;
  }

private:
  QStringList* FLog;
};

QStringList Texts()
{
  QStringList result;
  for (const TMessageBox::TShown& shown : TMessageBox::Shown())
    result << shown.Text;
  return result;
}

QStringList Rows(const QTreeWidget* AList)
{
  QStringList result;
  for (int i = 0; i < AList->topLevelItemCount(); ++i) {
    QStringList cells;
    for (int c = 0; c < AList->columnCount(); ++c)
      cells << AList->topLevelItem(i)->text(c);
    result << cells.join(QLatin1Char('|'));
  }
  return result;
}

// Opens the editor on the profile, runs AWhileOpen while it shows and cancels it if still open.
int RunEditor(TfrmBackupProfiles& AEditor, TBackupProfile& AProfile, const std::function<void()>& AWhileOpen)
{
  QTimer::singleShot(0, &AEditor, [&] {
    AWhileOpen();
    if (AEditor.isVisible())
      AEditor.reject();
  });
  return AEditor.Execute(AProfile);
}

} // namespace

class TestProfileEditor : public QObject
{
  Q_OBJECT

private slots:
  void initTestCase();
  void init();
  void cleanup();
  void newProfileCarriesTheZipTypesExtension();
  void zipTypeRuleRewritesExtensionAndControls();
  void storedValuesOutsideTheControlsOpenClamped();
  void failedChecksKeepTheEditorOpen();
  void cancelKeepsListEditsButNotScalars();
  void eachEntryListRemovesItsOwnEntries();
  void loadDefaultsRefreshesAllLists();
  void defaultBoxSavesTheDefaultFields();
  void activeProgramsGoThroughTheProgramWindows();
  void pluginsAreLoadedOnlyWhileTheirPageShows();
  void destinationDialogProposesTheProfileName();
  void lastBackupAndPreviousLogAreShown();
  void profilesOfTheManagerAreStoredAtOnce();

private:
  QString Path(const QString& AName) const { return FDir->filePath(AName); }
  TBackupProfile* NewProfile(const QString& AName);

  std::unique_ptr<QTemporaryDir> FDir;
  std::vector<std::unique_ptr<TBackupProfile>> FProfiles;
};

void TestProfileEditor::initTestCase()
{
  HideOffscreenNoise();
  TFormatSettings::Load(QLocale(QLocale::English, QLocale::UnitedKingdom));
}

void TestProfileEditor::init()
{
  FDir = std::make_unique<QTemporaryDir>();
  QVERIFY(FDir->isValid());
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(Path(QStringLiteral("home"))));
  qputenv("XDG_CONFIG_DIRS", QFile::encodeName(Path(QStringLiteral("etc"))));
  QVERIFY(QDir::setCurrent(FDir->path()));
  TMessageBox::SetHeadless(true);
}

void TestProfileEditor::cleanup()
{
  FProfiles.clear();
  TMessageBox::Reset();
  TFileDialog::Reset();
  TClock::SetSource({});
}

TBackupProfile* TestProfileEditor::NewProfile(const QString& AName)
{
  FProfiles.push_back(std::make_unique<TBackupProfile>());
  TBackupProfile* profile = FProfiles.back().get();
  profile->SetRegistryKey(ProgramKey);
  profile->SetProfileName(AName);
  return profile;
}

void TestProfileEditor::newProfileCarriesTheZipTypesExtension()
{
  TfrmBackupProfiles editor(nullptr, nullptr);
  TBackupProfile& profile = *NewProfile(QString());
  const int result = RunEditor(editor, profile, [&] {
    QCOMPARE(editor.Destination->editZipFile->text(), QStringLiteral(".7z"));
    QVERIFY(editor.editName->hasFocus() || !editor.isActiveWindow());
    QTest::keyClicks(editor.editName, QStringLiteral("Documents"));
    QTest::mouseClick(editor.btnOk, Qt::LeftButton);
  });
  QCOMPARE(result, int(QDialog::Accepted));
  QCOMPARE(profile.ZipFile(), QStringLiteral(".7z"));
  QCOMPARE(profile.ProfileName(), QStringLiteral("Documents"));
  QVERIFY(Texts().isEmpty());
}

void TestProfileEditor::zipTypeRuleRewritesExtensionAndControls()
{
  TfrmBackupProfiles editor(nullptr, nullptr);
  {
    // A 7z profile stored with a ".zip" name saves ".7z".
    TBackupProfile& profile = *NewProfile(QStringLiteral("Mail"));
    profile.SetZipFile(Path(QStringLiteral("out/mail.backup.zip")));
    QVERIFY(QDir().mkpath(Path(QStringLiteral("out"))));
    QCOMPARE(RunEditor(editor, profile, [&] { editor.btnOk->click(); }), int(QDialog::Accepted));
    QCOMPARE(profile.ZipFile(), Path(QStringLiteral("out/mail.backup.7z")));
  }
  {
    TBackupProfile& profile = *NewProfile(QStringLiteral("Photos"));
    profile.SetZipFile(Path(QStringLiteral("out.d/photos")));
    RunEditor(editor, profile, [&] {
      QCOMPARE(editor.Destination->editZipFile->text(), Path(QStringLiteral("out.d/photos.7z")));
      QVERIFY(editor.Destination->editSpanning->isEnabled());
      editor.Destination->ComboBoxZipType->setCurrentIndex(zZip);
      QCOMPARE(editor.Destination->editZipFile->text(), Path(QStringLiteral("out.d/photos.zip")));
      QVERIFY(!editor.Destination->editSpanning->isEnabled());
      QVERIFY(editor.Destination->editPassword->isEnabled());
      editor.Destination->ComboBoxZipType->setCurrentIndex(zNTBackup);
      QCOMPARE(editor.Destination->editZipFile->text(), Path(QStringLiteral("out.d/photos.bkf")));
      QVERIFY(!editor.Destination->editPassword->isEnabled() && !editor.Destination->editConfirmPassword->isEnabled());
      QVERIFY(!editor.Destination->TrackBarCompression->isEnabled());
      QVERIFY(editor.Destination->cbSystemState->isEnabled());
    });
    // Cancelled: the scalars stay as stored.
    QCOMPARE(profile.ZipType(), zSeven);
    QCOMPARE(profile.ZipFile(), Path(QStringLiteral("out.d/photos")));
  }
}

void TestProfileEditor::storedValuesOutsideTheControlsOpenClamped()
{
  TfrmBackupProfiles editor(nullptr, nullptr);
  {
    TBackupProfile& profile = *NewProfile(QStringLiteral("Clamped"));
    profile.SetAlertDays(45);
    profile.SetSpanningSize(-MegaByte); // a count that wrapped
    QCOMPARE(RunEditor(editor, profile,
                       [&] {
                         QCOMPARE(editor.Alerts->TrackBarAlertDays->value(), 30);
                         QCOMPARE(editor.Alerts->lblAlertDays->text(),
                                  QStringLiteral("Alert if backup has not been performed in the last 30 day(s)"));
                         QCOMPARE(editor.Destination->editSpanning->value(), 0);
                         editor.btnOk->click();
                       }),
             int(QDialog::Accepted));
    QCOMPARE(profile.AlertDays(), 30);
    QCOMPARE(profile.SpanningSize(), 0);
  }
  {
    // The largest volume that fits, and a typed size beyond it, stay a valid byte count.
    TBackupProfile& profile = *NewProfile(QStringLiteral("Large"));
    profile.SetSpanningSize(std::numeric_limits<int>::max());
    RunEditor(editor, profile, [&] {
      QCOMPARE(editor.Destination->editSpanning->value(), 2047);
      editor.Destination->editSpanning->clear();
      // The fourth digit is refused: 4000 MB would not fit.
      QTest::keyClicks(editor.Destination->editSpanning, QStringLiteral("4000"));
      QCOMPARE(editor.Destination->editSpanning->value(), 400);
      editor.btnOk->click();
    });
    QCOMPARE(profile.SpanningSize(), 400 * MegaByte);
  }
  {
    // "Keep previous archives:" shows and stores the profile's count; 0 says what it means.
    TBackupProfile& profile = *NewProfile(QStringLiteral("Kept"));
    profile.SetKeepArchives(3);
    RunEditor(editor, profile, [&] {
      QCOMPARE(editor.Destination->editKeepArchives->value(), 3);
      editor.Destination->editKeepArchives->setValue(0);
      QCOMPARE(editor.Destination->editKeepArchives->text(), QStringLiteral("replace the archive each time"));
      editor.Destination->editKeepArchives->clear();
      QTest::keyClicks(editor.Destination->editKeepArchives, QStringLiteral("12345"));
      QCOMPARE(editor.Destination->editKeepArchives->value(), 123);
      editor.btnOk->click();
    });
    QCOMPARE(profile.KeepArchives(), 123);
  }
}

void TestProfileEditor::failedChecksKeepTheEditorOpen()
{
  TfrmBackupProfiles editor(nullptr, nullptr);
  const QString doubtful = Path(QStringLiteral("missing/folder/backup.7z"));
  {
    // An empty name and a doubtful destination answered Yes: both asked, still open.
    TBackupProfile& profile = *NewProfile(QString());
    profile.SetZipFile(doubtful);
    bool stillOpen = false;
    RunEditor(editor, profile, [&] {
      TMessageBox::QueueAnswer(TMessageBox::maOk);
      TMessageBox::QueueAnswer(TMessageBox::maYes);
      editor.btnOk->click();
      stillOpen = editor.isVisible();
      QCOMPARE(editor.PageControlFiles->currentWidget(), editor.TabSheetDestination);
    });
    QVERIFY(stillOpen);
    QCOMPARE(Texts(), QStringList({QStringLiteral("Please specify a profile name."),
                                   QStringLiteral("\"%1\" does not appear to be a valid filename, do you want to "
                                                  "continue?")
                                       .arg(doubtful)}));
    QCOMPARE(TMessageBox::Shown().at(1).Kind, TMessageBox::mkWarning);
    QCOMPARE(profile.ProfileName(), QString());
    TMessageBox::Reset();
  }
  {
    // A doubtful destination answered Yes passes; differing passwords do not.
    TBackupProfile& profile = *NewProfile(QStringLiteral("Taken"));
    profile.SetZipFile(doubtful);
    int result = RunEditor(editor, profile, [&] {
      editor.Destination->editConfirmPassword->setText(QStringLiteral("secret"));
      TMessageBox::QueueAnswer(TMessageBox::maYes);
      TMessageBox::QueueAnswer(TMessageBox::maOk);
      editor.btnOk->click();
      QVERIFY(editor.isVisible());
      QCOMPARE(Texts().constLast(), QStringLiteral("Password's do not match"));
      editor.Destination->editPassword->setText(QStringLiteral("secret"));
      TMessageBox::QueueAnswer(TMessageBox::maYes);
      editor.btnOk->click();
    });
    QCOMPARE(result, int(QDialog::Accepted));
    QCOMPARE(profile.Password(), QStringLiteral("secret"));
    TMessageBox::Reset();
  }
  {
    // A name another profile carries is not refused: the editor knows only its profile.
    (void)NewProfile(QStringLiteral("Documents"));
    TBackupProfile& profile = *NewProfile(QStringLiteral("Mail"));
    const int result = RunEditor(editor, profile, [&] {
      editor.editName->setText(QStringLiteral("Documents"));
      editor.btnOk->click();
    });
    QCOMPARE(result, int(QDialog::Accepted));
    QCOMPARE(profile.ProfileName(), QStringLiteral("Documents"));
  }
}

void TestProfileEditor::cancelKeepsListEditsButNotScalars()
{
  TfrmBackupProfiles editor(nullptr, nullptr);
  TBackupProfile& profile = *NewProfile(QStringLiteral("Docs"));
  profile.SetDescription(QStringLiteral("Before"));
  const int result = RunEditor(editor, profile, [&] {
    TFileDialog::QueueFileName(QStringLiteral("/data/report.doc\n/data/sheet.xls"));
    editor.Sources.btnAddFile->click();
    editor.memoDescription->setPlainText(QStringLiteral("After"));
  });
  QCOMPARE(result, int(QDialog::Rejected));
  QCOMPARE(profile.Description(), QStringLiteral("Before"));
  QCOMPARE(profile.Files().Count(), 2);
  QCOMPARE(profile.Files().GetItem(0)->Folder(), QStringLiteral("/data"));
  QCOMPARE(profile.Files().GetItem(1)->FileMask(), QStringLiteral("sheet.xls"));
  QVERIFY(!profile.Files().GetItem(0)->Recursive());
}

void TestProfileEditor::eachEntryListRemovesItsOwnEntries()
{
  TfrmBackupProfiles editor(nullptr, nullptr);
  TBackupProfile& profile = *NewProfile(QStringLiteral("Docs"));
  (void)profile.Files().Add(QStringLiteral("/home/ann"), QStringLiteral("*.*"), true);
  (void)profile.Files().Add(QStringLiteral("/home/ann/Music"), QStringLiteral("*.mp3"), true);
  (void)profile.FileExclusions().Add(QStringLiteral("/home/ann/.cache"), QStringLiteral("*.*"), true);
  (void)profile.FileExclusions().Add(QStringLiteral("/home/ann/tmp"), QStringLiteral("*.tmp"), false);
  RunEditor(editor, profile, [&] {
    QCOMPARE(Rows(editor.Sources.ListView).constFirst(), QStringLiteral("/home/ann|*.*|True"));
    editor.Sources.ListView->setCurrentItem(editor.Sources.ListView->topLevelItem(0));
    editor.Exclusions.ListView->setCurrentItem(editor.Exclusions.ListView->topLevelItem(1));

    TMessageBox::QueueAnswer(TMessageBox::maNo);
    editor.Exclusions.btnRemove->click();
    QCOMPARE(profile.FileExclusions().Count(), 2);

    editor.Exclusions.ListView->setCurrentItem(editor.Exclusions.ListView->topLevelItem(1));
    TMessageBox::QueueAnswer(TMessageBox::maYes);
    editor.Exclusions.btnRemove->click();
    QCOMPARE(Texts().constLast(), QStringLiteral("Are you sure you want to remove entry \"/home/ann/tmp - *.tmp\""));
    QCOMPARE(profile.FileExclusions().Count(), 1);
    QCOMPARE(profile.Files().Count(), 2);

    // A row whose entry went away meanwhile is reported, not guessed at.
    editor.Sources.ListView->setCurrentItem(editor.Sources.ListView->topLevelItem(1));
    profile.Files().Delete(1);
    TMessageBox::QueueAnswer(TMessageBox::maOk);
    editor.Sources.btnRemove->click();
    QCOMPARE(Texts().constLast(), QStringLiteral("Failed to locate item \"/home/ann/Music - *.mp3\""));
    QCOMPARE(Rows(editor.Sources.ListView).size(), 1);

    TMessageBox::QueueAnswer(TMessageBox::maYes);
    editor.Sources.btnRemoveAll->click();
    QCOMPARE(profile.Files().Count(), 0);
    QCOMPARE(profile.FileExclusions().Count(), 1);
  });
}

void TestProfileEditor::loadDefaultsRefreshesAllLists()
{
  {
    TBackupProfile defaults;
    defaults.SetRegistryKey(ProgramKey);
    defaults.ActivePrograms() << QStringLiteral("Inbox - Mail=MailWindow");
    defaults.SetAlertDays(14);
    QVERIFY(defaults.SaveAsDefaults());
  }
  TfrmBackupProfiles editor(nullptr, nullptr);
  TBackupProfile& profile = *NewProfile(QStringLiteral("Docs"));
  (void)profile.Files().Add(QStringLiteral("/home/ann"), QStringLiteral("*.*"), true);
  (void)profile.FileExclusions().Add(QStringLiteral("/home/ann/.cache"), QStringLiteral("*.*"), true);
  RunEditor(editor, profile, [&] {
    editor.editName->setText(QStringLiteral("Renamed"));
    TMessageBox::QueueAnswer(TMessageBox::maYes);
    editor.btnLoadDefaults->click();
    QCOMPARE(editor.Sources.ListView->topLevelItemCount(), 0);
    QCOMPARE(editor.Exclusions.ListView->topLevelItemCount(), 0);
    QCOMPARE(Rows(editor.ListViewActivePrograms), QStringList({QStringLiteral("Inbox - Mail|MailWindow")}));
    QCOMPARE(editor.Alerts->TrackBarAlertDays->value(), 14);
    QCOMPARE(editor.editName->text(), QStringLiteral("Renamed"));
  });
  QCOMPARE(Texts(), QStringList({QStringLiteral("Are you sure you want to load profile defaults?")}));
}

void TestProfileEditor::defaultBoxSavesTheDefaultFields()
{
  TfrmBackupProfiles editor(nullptr, nullptr);
  TBackupProfile& profile = *NewProfile(QStringLiteral("Docs"));
  RunEditor(editor, profile, [&] {
    editor.Alerts->TrackBarAlertDays->setValue(21);
    editor.cbDefault->setChecked(true);
    editor.btnOk->click();
  });
  TBackupProfile& next = *NewProfile(QStringLiteral("Next"));
  next.LoadDefaults();
  QCOMPARE(next.AlertDays(), 21);
  QCOMPARE(next.ProfileName(), QStringLiteral("Next"));
  // Opening again leaves "Default" unticked.
  RunEditor(editor, next, [&] { QVERIFY(!editor.cbDefault->isChecked()); });
}

void TestProfileEditor::activeProgramsGoThroughTheProgramWindows()
{
  {
    // Without the desktop's windows the list can still be cleaned up, but not added to or tested.
    TfrmBackupProfiles editor(nullptr, nullptr);
    TBackupProfile& profile = *NewProfile(QStringLiteral("Docs"));
    profile.ActivePrograms() << QStringLiteral("Sheet=Calc");
    RunEditor(editor, profile, [&] {
      QVERIFY(!editor.btnAddProgram->isEnabled() && !editor.btnTest->isEnabled());
      QVERIFY(editor.btnRemoveAllPrograms->isEnabled());
    });
  }
  TFakeProgramWindows windows;
  TfrmBackupProfiles editor(&windows, nullptr);
  TBackupProfile& profile = *NewProfile(QStringLiteral("Docs"));
  profile.ActivePrograms() << QStringLiteral("Sheet=Calc");
  RunEditor(editor, profile, [&] {
    windows.NextName = QStringLiteral("a=b");
    windows.NextClass = QStringLiteral("Writer");
    editor.btnAddProgram->click();
    QCOMPARE(Rows(editor.ListViewActivePrograms),
             QStringList({QStringLiteral("Sheet|Calc"), QStringLiteral("a|b=Writer")}));

    editor.ListViewActivePrograms->setCurrentItem(editor.ListViewActivePrograms->topLevelItem(0));
    windows.NextName = QStringLiteral("Sheet 2");
    windows.NextClass = QStringLiteral("Calc");
    editor.btnEditProgram->click();
    QCOMPARE(windows.Presets.constLast(), QStringLiteral("Sheet=Calc"));
    QCOMPARE(profile.ActivePrograms().constFirst(), QStringLiteral("Sheet 2=Calc"));

    editor.cbCloseGracefully->setChecked(false);
    TMessageBox::QueueAnswer(TMessageBox::maYes);
    TMessageBox::QueueAnswer(TMessageBox::maOk);
    windows.CloseResult = false;
    editor.btnTest->click();
    QCOMPARE(windows.Closed.size(), 1);
    QVERIFY(!windows.Closed.constFirst().second);
    QCOMPARE(TMessageBox::Shown().constLast().Kind, TMessageBox::mkWarning);
    QCOMPARE(Texts().constLast(), QStringLiteral("Failed to close all applications."));
    TMessageBox::QueueAnswer(TMessageBox::maNo);
    editor.btnTest->click();
    QCOMPARE(windows.Closed.size(), 1);

    editor.ListViewActivePrograms->setCurrentItem(editor.ListViewActivePrograms->topLevelItem(0));
    TMessageBox::QueueAnswer(TMessageBox::maYes);
    editor.btnRemoveProgram->click();
    QCOMPARE(Texts().constLast(), QStringLiteral("Are you sure you want to remove \"Sheet 2\""));
    QCOMPARE(profile.ActivePrograms(), QStringList({QStringLiteral("a=b=Writer")}));
  });
}

void TestProfileEditor::pluginsAreLoadedOnlyWhileTheirPageShows()
{
  QStringList log;
  TfrmBackupProfiles editor(nullptr, std::make_unique<TFakePlugins>(&log));
  TBackupProfile& profile = *NewProfile(QStringLiteral("Docs"));
  RunEditor(editor, profile, [&] {
    QVERIFY(log.isEmpty());
    editor.PageControl->setCurrentWidget(editor.TabSheetPlugins);
    QCOMPARE(Rows(editor.ListViewPlugins), QStringList({QStringLiteral("Mirror|1.2|Quenfield")}));
    editor.btnConfigurePlugin->click(); // no row selected: nothing
    editor.ListViewPlugins->setCurrentItem(editor.ListViewPlugins->topLevelItem(0));
    editor.editName->setText(QStringLiteral("Typed"));
    editor.btnConfigurePlugin->click();
    editor.PageControl->setCurrentWidget(editor.TabSheetLogging);
    editor.PageControl->setCurrentWidget(editor.TabSheetPlugins);
  });
  QCOMPARE(log, QStringList({QStringLiteral("load"), QStringLiteral("configure Mirror Typed"), QStringLiteral("unload"),
                             QStringLiteral("load"), QStringLiteral("unload")}));

  // The program's own collection lists the libraries of its folder while the page shows.
  QVERIFY(QDir().mkpath(Path(QStringLiteral("plugins"))));
  QVERIFY(QFile::copy(QStringLiteral(TEST_PLUGIN), Path(QStringLiteral("plugins/valid.so"))));
  {
    TfrmBackupProfiles listed(nullptr, std::make_unique<TPluginsCatalog>(Path(QStringLiteral("plugins/"))));
    RunEditor(listed, profile, [&] {
      listed.PageControl->setCurrentWidget(listed.TabSheetPlugins);
      QCOMPARE(Rows(listed.ListViewPlugins), QStringList({QStringLiteral("Valid|1.2|Tester")}));
    });
  }

  // The program's own collection reports a folder it cannot use, and the page stays empty.
  QFile blocker(Path(QStringLiteral("blocker")));
  QVERIFY(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  TfrmBackupProfiles real(nullptr, std::make_unique<TPluginsCatalog>(Path(QStringLiteral("blocker/plugins/"))));
  RunEditor(real, profile, [&] {
    TMessageBox::QueueAnswer(TMessageBox::maOk);
    real.PageControl->setCurrentWidget(real.TabSheetPlugins);
    QCOMPARE(real.ListViewPlugins->topLevelItemCount(), 0);
  });
  QCOMPARE(TMessageBox::Shown().size(), 1);
  QCOMPARE(TMessageBox::Shown().constFirst().Kind, TMessageBox::mkError);
}

void TestProfileEditor::destinationDialogProposesTheProfileName()
{
  TfrmBackupProfiles editor(nullptr, nullptr);
  TBackupProfile& profile = *NewProfile(QString());
  profile.SetZipType(zZip);
  RunEditor(editor, profile, [&] {
    editor.Destination->editZipFile->clear();
    editor.editName->setText(QStringLiteral("Documents"));
    TFileDialog::QueueFileName(Path(QStringLiteral("chosen.zip")));
    editor.Destination->btnZipFile->click();
    QCOMPARE(TFileDialog::LastRequest().Caption, QStringLiteral("Backup Destination"));
    QCOMPARE(TFileDialog::LastRequest().FileName, QStringLiteral("Documents.zip"));
    QCOMPARE(TFileDialog::LastRequest().DefaultSuffix, QStringLiteral("zip"));
    QCOMPARE(TFileDialog::LastRequest().Filter,
             QStringLiteral("7z Files (*.7z);;Zip Files (*.zip);;BKF Files (*.bkf);;All Files (*)"));
    QCOMPARE(editor.Destination->editZipFile->text(), Path(QStringLiteral("chosen.zip")));
    // Cancelled: the edit keeps its name.
    TFileDialog::QueueFileName(QString());
    editor.Destination->btnZipFile->click();
    QCOMPARE(editor.Destination->editZipFile->text(), Path(QStringLiteral("chosen.zip")));
  });
}

void TestProfileEditor::lastBackupAndPreviousLogAreShown()
{
  TClock::SetSource([] { return QDateTime(QDate(2026, 3, 20), QTime(9, 30)); });
  TfrmBackupProfiles editor(nullptr, nullptr);
  TBackupProfile& profile = *NewProfile(QStringLiteral("Docs"));
  RunEditor(editor, profile, [&] {
    QCOMPARE(editor.lblLastBackup->text(), QStringLiteral("No previous backup details."));
    QVERIFY(editor.memoLog->toPlainText().isEmpty());
  });

  profile.SetLastBackup(DateTimeFromQDateTime(QDateTime(QDate(2026, 3, 10), QTime(18, 0))));
  profile.SetAlertDays(7);
  QFile log(Path(QStringLiteral("Docs.log")));
  QVERIFY(log.open(QIODevice::WriteOnly));
  log.write("Backup started.\r\nBackup Complete.\r\n");
  log.close();
  profile.SetLogFile(log.fileName());
  RunEditor(editor, profile, [&] {
    QCOMPARE(editor.lblLastBackup->text(),
             QStringLiteral("9 day(s) since last backup.\r\nLast backup: 10/03/2026\r\nNext backup: 17/03/2026"));
    QCOMPARE(editor.MonthCalendar->selectedDate(), QDate(2026, 3, 10));
    QCOMPARE(editor.memoLog->toPlainText(), QStringLiteral("Backup started.\nBackup Complete.\n"));
  });
}

void TestProfileEditor::profilesOfTheManagerAreStoredAtOnce()
{
  const auto stored = [](const QString& AName) {
    TBackupProfile probe;
    probe.SetRegistryKey(ProgramKey);
    return probe.LoadProfile(AName);
  };
  TBackupProfileManager manager;
  manager.SetRegistryKey(ProgramKey);
  TfrmBackupProfiles editor(nullptr, nullptr);
  TProfileEditing editing(manager, editor);
  const auto answerWith = [&](const std::function<void()>& AAction) {
    QTimer::singleShot(0, &editor, [&editor, AAction] {
      AAction();
      if (editor.isVisible())
        editor.reject();
    });
  };
  {
    // A profile stored in another letter case than the new profile's name survives a cancel.
    TBackupProfile other;
    other.SetRegistryKey(ProgramKey);
    other.SetProfileName(QStringLiteral("backup profile"));
    QVERIFY(other.SaveProfile());
    answerWith([] {});
    QVERIFY(!editing.NewProfile());
    QCOMPARE(manager.ProfileCount(), 0);
    QVERIFY(stored(QStringLiteral("backup profile")));
  }
  {
    answerWith([&] {
      editor.editName->setText(QStringLiteral("Docs"));
      editor.btnOk->click();
    });
    QVERIFY(editing.NewProfile());
    QCOMPARE(manager.ProfileCount(), 1);
    QVERIFY(stored(QStringLiteral("Docs")));
  }
  {
    // A rename leaves one stored copy; a change of letter case keeps it.
    answerWith([&] {
      editor.editName->setText(QStringLiteral("Papers"));
      editor.btnOk->click();
    });
    QVERIFY(editing.EditProfile(QStringLiteral("Docs")));
    QVERIFY(stored(QStringLiteral("Papers")));
    QVERIFY(!stored(QStringLiteral("Docs")));
    answerWith([&] {
      editor.editName->setText(QStringLiteral("papers"));
      editor.btnOk->click();
    });
    QVERIFY(editing.EditProfile(QStringLiteral("Papers")));
    QVERIFY(stored(QStringLiteral("papers")));
  }
  {
    // Taking another profile's name asks first; No keeps both as they were.
    TBackupProfile* mail = manager.NewProfile(QStringLiteral("Mail"));
    QVERIFY(mail->SaveProfile());
    answerWith([&] {
      editor.editName->setText(QStringLiteral("PAPERS"));
      TMessageBox::QueueAnswer(TMessageBox::maNo);
      editor.btnOk->click();
    });
    QVERIFY(!editing.EditProfile(QStringLiteral("Mail")));
    QCOMPARE(mail->ProfileName(), QStringLiteral("Mail"));
    QVERIFY(stored(QStringLiteral("Mail")));
    QVERIFY(TMessageBox::Shown().constLast().Text.startsWith(QStringLiteral("Another backup profile is stored as")));
  }
  TMessageBox::QueueAnswer(TMessageBox::maOk);
  QVERIFY(!editing.EditProfile(QStringLiteral("Nobody")));
  QCOMPARE(TMessageBox::Shown().constLast().Kind, TMessageBox::mkError);
}

QTEST_MAIN(TestProfileEditor)
#include "tst_profileeditor.moc"
