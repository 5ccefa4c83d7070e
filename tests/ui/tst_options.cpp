// SPDX-License-Identifier: GPL-3.0-or-later
// The options dialog and the options password: every control to its option and back, profile
// operations that take effect whatever closes the dialog, the log page, and the password's attempts.
#include "platform/AutoStart.h"
#include "platform/TFileManager.h"
#include "profiles/TBackupProfile.h"
#include "profiles/TBackupProfileManager.h"
#include "settings/TApplicationOptions.h"
#include "settings/TLog.h"
#include "settings/TProgramSettings.h"
#include "sysinfo/Common.h"
#include "sysinfo/TSystemSources.h"
#include "tests/support/OffscreenNoise.h"
#include "ui/TFileDialog.h"
#include "ui/TGenerationChooser.h"
#include "ui/TMessageBox.h"
#include "ui/TProfileEditing.h"
#include "ui/TWizardProgress.h"
#include "ui/TfrmBackupProfileWizard.h"
#include "ui/TfrmBackupProfiles.h"
#include "ui/TfrmOptions.h"
#include "ui/TfrmPassword.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <functional>
#include <memory>
#include <optional>

namespace {

const QString ProgramKey = QStringLiteral("\\Software\\Quenfield\\Orvel");

class TRecordingFileManager : public TFileManager
{
public:
  bool ShowFile(const QString& AFileName) override
  {
    Shown << AFileName;
    return true;
  }
  QStringList Shown;
};

// A computer with no desktop helpers, and a wizard progress that shows nothing.
class TNoRunner : public TCommandRunner
{
public:
  bool Run(const QString&, const QStringList&, const QStringList&, QString&) override { return false; }
};

class TNoProgress : public TWizardProgress
{
public:
  void ShowProgress(const QString&, bool) override {}
  void SetProgress(int) override {}
  void UpdateProgress() override {}
  void HideProgress() override {}
};

// Runs AAction once ADialog shows (at its next showing), then closes it with Cancel if still open.
void WhenShown(QDialog& ADialog, const std::function<void()>& AAction)
{
  QTimer::singleShot(0, &ADialog, [&ADialog, AAction] {
    AAction();
    if (ADialog.isVisible())
      ADialog.reject();
  });
}

// The value a control of the table is set to: the first or second of two distinct values.
QVariant TestValue(const TfrmOptions::TOptionBinding& ABinding, int ARound)
{
  const QString name = TApplicationOptions::Name(ABinding.Option);
  if (qobject_cast<QCheckBox*>(ABinding.Control))
    return (TApplicationOptions::Definitions()[int(ABinding.Option)].Number == 0) == (ARound == 0);
  if (qobject_cast<QSpinBox*>(ABinding.Control))
    return ARound == 0 ? 4321 : 987654;
  if (qobject_cast<QComboBox*>(ABinding.Control))
    return ARound == 0 ? 2 : 1;
  if (ABinding.DefaultPort != 0)
    return ARound == 0 ? 3128 : 1080 + 1;
  return QString(name + (ARound == 0 ? QStringLiteral(" first") : QStringLiteral(" second")));
}

QVariant Stored(const TProgramSettings& ASettings, const TfrmOptions::TOptionBinding& ABinding)
{
  if (qobject_cast<QCheckBox*>(ABinding.Control))
    return TApplicationOptions::Boolean(ASettings, ABinding.Option);
  if (qobject_cast<QLineEdit*>(ABinding.Control) && ABinding.DefaultPort == 0)
    return TApplicationOptions::Text(ASettings, ABinding.Option);
  return TApplicationOptions::Integer(ASettings, ABinding.Option);
}

QVariant Shown(const TfrmOptions::TOptionBinding& ABinding)
{
  if (auto* box = qobject_cast<QCheckBox*>(ABinding.Control))
    return box->isChecked();
  if (auto* spin = qobject_cast<QSpinBox*>(ABinding.Control))
    return spin->value();
  if (auto* combo = qobject_cast<QComboBox*>(ABinding.Control))
    return combo->currentIndex();
  auto* edit = qobject_cast<QLineEdit*>(ABinding.Control);
  return ABinding.DefaultPort != 0 ? QVariant(edit->text().toInt()) : QVariant(edit->text());
}

// Runs AAction soon after each showing of AWindow.
class TOnShow : public QObject
{
public:
  TOnShow(QWidget* AWindow, std::function<void()> AAction)
    : FAction(std::move(AAction))
  {
    AWindow->installEventFilter(this);
  }

protected:
  bool eventFilter(QObject*, QEvent* AEvent) override
  {
    if (AEvent->type() == QEvent::Show)
      QTimer::singleShot(0, this, FAction);
    return false;
  }

private:
  std::function<void()> FAction;
};

void Show(const TfrmOptions::TOptionBinding& ABinding, const QVariant& AValue)
{
  if (auto* box = qobject_cast<QCheckBox*>(ABinding.Control))
    box->setChecked(AValue.toBool());
  else if (auto* spin = qobject_cast<QSpinBox*>(ABinding.Control))
    spin->setValue(AValue.toInt());
  else if (auto* combo = qobject_cast<QComboBox*>(ABinding.Control))
    combo->setCurrentIndex(AValue.toInt());
  else
    qobject_cast<QLineEdit*>(ABinding.Control)->setText(AValue.toString());
}

} // namespace

class TestOptions : public QObject
{
  Q_OBJECT

private slots:
  void initTestCase() { HideOffscreenNoise(); }
  void init();
  void cleanup();
  void everyControlRoundTripsThroughTheStore();
  void profileOperationsTakeEffectAtOnce();
  void archiveOfTheSelectedProfileIsVerifiedAndRestored();
  void logPageShowsTheApplicationLog();
  void passwordIgnoresCaseAndStopsAtCancel();

private:
  struct TRig
  {
    TRig()
      : Editing(Manager, Editor)
      , Dialog(Settings, Manager, Log, Editing, FileManager,
               {QStringLiteral("Corvale"), QStringLiteral("Backup"), QStringLiteral("Shutdown")})
    {
      TApplicationOptions::ConfigureStore(Settings);
      TApplicationOptions options(&Settings);
      options.RegisterOptions();
      Settings.LoadSettings();
      Manager.SetRegistryKey(ProgramKey);
    }
    TProgramSettings Settings;
    TBackupProfileManager Manager;
    TLog Log;
    TRecordingFileManager FileManager;
    TfrmBackupProfiles Editor{nullptr, nullptr};
    TProfileEditing Editing;
    TfrmOptions Dialog;
  };

  std::unique_ptr<QTemporaryDir> FDir;
};

void TestOptions::init()
{
  FDir = std::make_unique<QTemporaryDir>();
  QVERIFY(FDir->isValid());
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(FDir->filePath(QStringLiteral("config"))));
  qputenv("XDG_CONFIG_DIRS", QFile::encodeName(FDir->filePath(QStringLiteral("etc"))));
  qputenv("XDG_DATA_HOME", QFile::encodeName(FDir->filePath(QStringLiteral("data"))));
  TMessageBox::SetHeadless(true);
}

void TestOptions::cleanup()
{
  TMessageBox::Reset();
  TFileDialog::Reset();
  TGenerationChooser::Reset();
  FDir.reset();
}

void TestOptions::everyControlRoundTripsThroughTheStore()
{
  TRig rig;
  TfrmOptions& dialog = rig.Dialog;
  TProgramSettings& settings = rig.Settings;
  const QString applicationName = TApplicationOptions::Text(settings, TOptionId::AutomaticUpdateApplication);

  // Every option the user may edit has a control.
  QList<TOptionId> bound;
  for (const auto& binding : dialog.Bindings())
    bound << binding.Option;
  for (const TOptionDefinition& option : TApplicationOptions::Definitions())
    QVERIFY2(bound.contains(option.Id) || option.Id == TOptionId::StorageType || option.Id == TOptionId::Version,
             option.Name);

  for (const auto& binding : dialog.Bindings())
    if (!binding.ShownOnly)
      TApplicationOptions::Set(settings, binding.Option, TestValue(binding, 0));
  {
    // Each control shows its option; Ok writes the changed controls back, Application Name excepted.
    WhenShown(dialog, [&] {
      QVERIFY(!dialog.cbLoadOnStartup->isChecked());
      for (const auto& binding : dialog.Bindings()) {
        const QVariant expected = binding.ShownOnly ? QVariant(applicationName) : TestValue(binding, 0);
        QCOMPARE(Shown(binding), expected);
        Show(binding, TestValue(binding, 1));
      }
      dialog.cbLoadOnStartup->setChecked(true);
      dialog.btnOk->click();
    });
    QCOMPARE(dialog.Execute(), int(QDialog::Accepted));
    settings.SaveSettings();
    TProgramSettings reread;
    TApplicationOptions::ConfigureStore(reread);
    TApplicationOptions(&reread).RegisterOptions();
    reread.LoadSettings();
    for (const auto& binding : dialog.Bindings()) {
      const QVariant expected = binding.ShownOnly ? QVariant(applicationName) : TestValue(binding, 1);
      QCOMPARE(Stored(reread, binding), expected);
    }
    QVERIFY(AutoStartExists(ApplicationTitle()));
  }
  {
    // Cancel keeps every option; ports that are not numbers become the default ports; an action
    // index outside the list shows no selection and is stored as none.
    TApplicationOptions::Set(settings, TOptionId::LastSelectionID, 12);
    WhenShown(dialog, [&] {
      QVERIFY(dialog.cbLoadOnStartup->isChecked());
      QCOMPARE(dialog.ComboBoxSelectBackup->currentIndex(), -1);
      dialog.editHTTPPort->setText(QStringLiteral("80a"));
      dialog.editSOCKSPort->clear();
      dialog.cbLoadOnStartup->setChecked(false);
    });
    QCOMPARE(dialog.Execute(), int(QDialog::Rejected));
    QCOMPARE(TApplicationOptions::Integer(settings, TOptionId::HTTPPort), 1081);
    QCOMPARE(TApplicationOptions::Integer(settings, TOptionId::LastSelectionID), 12);
    QVERIFY(AutoStartExists(ApplicationTitle()));
    WhenShown(dialog, [&] {
      dialog.editHTTPPort->setText(QStringLiteral("80a"));
      dialog.editSOCKSPort->setText(QStringLiteral("70000"));
      dialog.cbLoadOnStartup->setChecked(false);
      dialog.btnOk->click();
    });
    QCOMPARE(dialog.Execute(), int(QDialog::Accepted));
    QCOMPARE(TApplicationOptions::Integer(settings, TOptionId::HTTPPort), 8080);
    QCOMPARE(TApplicationOptions::Integer(settings, TOptionId::SOCKSPort), 1080);
    QCOMPARE(TApplicationOptions::Integer(settings, TOptionId::LastSelectionID), -1);
    QVERIFY(!AutoStartExists(ApplicationTitle()));
  }
}

void TestOptions::profileOperationsTakeEffectAtOnce()
{
  TRig rig;
  TfrmOptions& dialog = rig.Dialog;
  TfrmBackupProfiles& editor = rig.Editor;
  const auto stored = [](const QString& AName) {
    TBackupProfile probe;
    probe.SetRegistryKey(ProgramKey);
    return probe.LoadProfile(AName) ? std::optional<bool>(probe.Enabled()) : std::nullopt;
  };
  const auto inEditor = [&editor](const QString& AName) {
    WhenShown(editor, [&editor, AName] {
      editor.editName->setText(AName);
      editor.btnOk->click();
    });
  };
  const auto selectRow = [&dialog](int ARow) {
    dialog.ListViewProfiles->setCurrentItem(dialog.ListViewProfiles->topLevelItem(ARow));
  };
  {
    // A new profile and a renamed one are stored at once; Cancel on the dialog keeps them.
    WhenShown(dialog, [&] {
      inEditor(QStringLiteral("Documents"));
      dialog.ActionNewProfile->trigger();
      inEditor(QStringLiteral("Mail"));
      dialog.ActionProfileWizard->trigger();
      QCOMPARE(dialog.ListViewProfiles->topLevelItemCount(), 2);
      dialog.ActionEditProfile->trigger();
      QCOMPARE(TMessageBox::Shown().constLast().Text, QStringLiteral("Please select a profile."));
      selectRow(0);
      inEditor(QStringLiteral("Papers"));
      dialog.ActionEditProfile->trigger();
      QCOMPARE(dialog.ListViewProfiles->topLevelItem(0)->text(0), QStringLiteral("Papers"));
    });
    QCOMPARE(dialog.Execute(), int(QDialog::Rejected));
    QCOMPARE(rig.Manager.ProfileCount(), 2);
    QVERIFY(stored(QStringLiteral("Papers")));
    QVERIFY(!stored(QStringLiteral("Documents")));
    QVERIFY(stored(QStringLiteral("Mail")));
  }
  {
    // The check box is the profile's Enabled, stored at once; removing asks first.
    WhenShown(dialog, [&] {
      QCOMPARE(dialog.ListViewProfiles->topLevelItem(1)->checkState(0), Qt::Checked);
      dialog.ListViewProfiles->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
      selectRow(0);
      TMessageBox::QueueAnswer(TMessageBox::maNo);
      dialog.ActionRemoveProfile->trigger();
      QCOMPARE(dialog.ListViewProfiles->topLevelItemCount(), 2);
      TMessageBox::QueueAnswer(TMessageBox::maYes);
      dialog.ActionRemoveProfile->trigger();
      QCOMPARE(dialog.ListViewProfiles->topLevelItemCount(), 1);
      dialog.btnOk->click();
    });
    QCOMPARE(dialog.Execute(), int(QDialog::Accepted));
    QVERIFY(!stored(QStringLiteral("Papers")));
    QCOMPARE(stored(QStringLiteral("Mail")), std::optional<bool>(false));
    QCOMPARE(TMessageBox::Shown().constLast().Text, QStringLiteral("Are you sure you want to remove \"Papers\""));
  }
  {
    // The wizard's profile, named "Backup Profile", is stored when it finishes and forgotten otherwise.
    TNoRunner runner;
    TNoProgress progress;
    const TSystemSources sources(FDir->filePath(QStringLiteral("home")), {}, QString(), {}, runner);
    TfrmBackupProfileWizard wizard(sources, progress);
    TProfileEditing editing(rig.Manager, editor, &wizard);
    WhenShown(wizard, [] {});
    QVERIFY(!editing.WizardProfile());
    QCOMPARE(rig.Manager.ProfileCount(), 1);
    WhenShown(wizard, [&wizard] { wizard.btnFinish->click(); });
    QVERIFY(editing.WizardProfile());
    QCOMPARE(rig.Manager.ProfileCount(), 2);
    QVERIFY(stored(QStringLiteral("Backup Profile")));
  }
  {
    // Remove all asks; Yes removes every listed profile, stored copies included.
    WhenShown(dialog, [&] {
      TMessageBox::QueueAnswer(TMessageBox::maYes);
      dialog.ActionRemoveAllProfiles->trigger();
      QCOMPARE(dialog.ListViewProfiles->topLevelItemCount(), 0);
    });
    QCOMPARE(dialog.Execute(), int(QDialog::Rejected));
    QCOMPARE(TMessageBox::Shown().constLast().Text, QStringLiteral("Are you sure you want to remove all profiles?"));
    QCOMPARE(rig.Manager.ProfileCount(), 0);
    QVERIFY(!stored(QStringLiteral("Mail")));
    QVERIFY(!stored(QStringLiteral("Backup Profile")));
  }
}

void TestOptions::archiveOfTheSelectedProfileIsVerifiedAndRestored()
{
  TRig rig;
  TfrmOptions& dialog = rig.Dialog;
  const QDir folder(FDir->path());
  QVERIFY(folder.mkpath(QStringLiteral("source/sub")));
  const QByteArray first = "first file\n";
  const QByteArray second = QByteArray("second file\n").repeated(100);
  const auto write = [&folder](const QString& AName, const QByteArray& AData) {
    QFile file(folder.filePath(AName));
    return file.open(QIODevice::WriteOnly) && file.write(AData) == AData.size();
  };
  QVERIFY(write(QStringLiteral("source/a.txt"), first) && write(QStringLiteral("source/sub/b.txt"), second));
  // Stored, not compressed, so a byte of a file's data sits at a known place.
  const QString archive = folder.filePath(QStringLiteral("Papers.zip"));
  QProcess zip;
  zip.setWorkingDirectory(folder.filePath(QStringLiteral("source")));
  zip.start(QStringLiteral("7z"), {QStringLiteral("a"), QStringLiteral("-tzip"), QStringLiteral("-mx0"), archive,
                                   QStringLiteral("a.txt"), QStringLiteral("sub")});
  QVERIFY(zip.waitForFinished(60000) && zip.exitCode() == 0);
  TBackupProfile* profile = rig.Manager.NewProfile(QStringLiteral("Papers"));
  QVERIFY(profile);
  profile->SetZipType(zZip);
  profile->SetZipFile(archive);
  profile->SetSpanningSize(0);
  const QString target = folder.filePath(QStringLiteral("restored"));

  WhenShown(dialog, [&] {
    // Nothing selected: the user is asked to select a profile.
    dialog.ActionVerifyArchive->trigger();
    QCOMPARE(TMessageBox::Shown().constLast().Text, QStringLiteral("Please select a profile."));
    dialog.ListViewProfiles->setCurrentItem(dialog.ListViewProfiles->topLevelItem(0));
    dialog.ActionVerifyArchive->trigger();
    QVERIFY2(TMessageBox::Shown().constLast().Text.contains(QStringLiteral("is sound")),
             qPrintable(TMessageBox::Shown().constLast().Text));

    TFileDialog::QueueFileName(target);
    dialog.ActionRestoreArchive->trigger();
    QVERIFY2(TMessageBox::Shown().constLast().Text.startsWith(QStringLiteral("Restored ")),
             qPrintable(TMessageBox::Shown().constLast().Text));
    // Only the newest archive: nothing was asked.
    QVERIFY(TGenerationChooser::LastLines().isEmpty());

    // With an earlier archive kept beside it, the user picks which, with dates and sizes shown.
    const QString kept = folder.filePath(QStringLiteral("Papers.2026-03-02_183005.zip"));
    QVERIFY(write(QStringLiteral("source/a.txt"), "earlier\n"));
    QProcess older;
    older.setWorkingDirectory(folder.filePath(QStringLiteral("source")));
    older.start(QStringLiteral("7z"), {QStringLiteral("a"), QStringLiteral("-tzip"), kept, QStringLiteral("a.txt")});
    QVERIFY(older.waitForFinished(60000) && older.exitCode() == 0);
    QFile keptFile(kept);
    QVERIFY(keptFile.open(QIODevice::ReadWrite) &&
            keptFile.setFileTime(QDateTime(QDate(2026, 3, 2), QTime(18, 30, 5)), QFileDevice::FileModificationTime));
    keptFile.close();
    const int shown = TMessageBox::Shown().size();
    TGenerationChooser::QueueChoice(-1);
    dialog.ActionRestoreArchive->trigger();
    QCOMPARE(TMessageBox::Shown().size(), shown); // cancelled: no folder asked, nothing said
    QCOMPARE(TGenerationChooser::LastLines().size(), 2);
    QVERIFY2(TGenerationChooser::LastLines()[0].startsWith(QStringLiteral("Newest: ")) &&
                 TGenerationChooser::LastLines()[0].endsWith(QStringLiteral(" - Papers.zip")),
             qPrintable(TGenerationChooser::LastLines()[0]));
    QCOMPARE(TGenerationChooser::LastLines()[1],
             QStringLiteral("Kept: 2026-03-02 18:30:05, %1 - Papers.2026-03-02_183005.zip")
                 .arg(QLocale().formattedDataSize(QFileInfo(kept).size())));
    TGenerationChooser::QueueChoice(1);
    TFileDialog::QueueFileName(folder.filePath(QStringLiteral("earlier")));
    dialog.ActionRestoreArchive->trigger();
    QVERIFY2(TMessageBox::Shown().constLast().Text.startsWith(QStringLiteral("Restored 1 entries")),
             qPrintable(TMessageBox::Shown().constLast().Text));
    QFile earlier(folder.filePath(QStringLiteral("earlier/a.txt")));
    QVERIFY(earlier.open(QIODevice::ReadOnly));
    QCOMPARE(earlier.readAll(), QByteArray("earlier\n"));

    // A flipped byte in the first file's data: named as damaged.
    QFile file(archive);
    QVERIFY(file.open(QIODevice::ReadWrite) && file.seek(30 + 5 + 2));
    QVERIFY(file.putChar('X'));
    file.close();
    dialog.ActionVerifyArchive->trigger();
    const TMessageBox::TShown damaged = TMessageBox::Shown().constLast();
    QCOMPARE(damaged.Kind, TMessageBox::mkError);
    QVERIFY2(damaged.Text.contains(QStringLiteral("damaged")) && damaged.Text.contains(QStringLiteral("a.txt")),
             qPrintable(damaged.Text));
  });
  QCOMPARE(dialog.Execute(), int(QDialog::Rejected));
  const auto read = [&target](const QString& AName) {
    QFile file(QDir(target).filePath(AName));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("missing");
  };
  QCOMPARE(read(QStringLiteral("a.txt")), first);
  QCOMPARE(read(QStringLiteral("sub/b.txt")), second);
}

void TestOptions::logPageShowsTheApplicationLog()
{
  TRig rig;
  TfrmOptions& dialog = rig.Dialog;
  {
    // Without a log the page is empty and there is nothing to browse to.
    WhenShown(dialog, [&] {
      QVERIFY(dialog.memoLog->toPlainText().isEmpty());
      dialog.ActionBrowseToLog->trigger();
    });
    (void)dialog.Execute();
    QCOMPARE(TMessageBox::Shown().constLast().Text, QStringLiteral("No log available."));
    QVERIFY(rig.FileManager.Shown.isEmpty());
  }
  {
    rig.Log.SetFileName(FDir->filePath(QStringLiteral("corvale.log")));
    rig.Log.SetActive(true);
    rig.Log.Add(QStringLiteral("first line"));
    WhenShown(dialog, [&] {
      QVERIFY(dialog.memoLog->toPlainText().contains(QStringLiteral("first line")));
      rig.Log.Add(QStringLiteral("second line"));
      dialog.ActionRefreshLog->trigger();
      const QStringList lines = dialog.memoLog->toPlainText().split(QLatin1Char('\n'));
      QVERIFY(lines.first().endsWith(QStringLiteral("second line")));
      QVERIFY(lines.indexOf(QRegularExpression(QStringLiteral(".*first line$"))) > 0);
      dialog.ActionBrowseToLog->trigger();
    });
    (void)dialog.Execute();
    QCOMPARE(rig.FileManager.Shown, QStringList(FDir->filePath(QStringLiteral("corvale.log"))));
    rig.Log.SetActive(false);
  }
}

void TestOptions::passwordIgnoresCaseAndStopsAtCancel()
{
  TfrmPassword dialog;
  // Each showing of the window takes the next answer: a text to type, or a null text for Cancel.
  QStringList answers;
  int prompts = 0;
  const TOnShow responder(&dialog, [&] {
    ++prompts;
    QVERIFY(dialog.editPassword->text().isEmpty());
    const QString next = answers.isEmpty() ? QString() : answers.takeFirst();
    if (next.isNull()) {
      dialog.btnCancel->click();
      return;
    }
    dialog.editPassword->insert(next);
    dialog.btnOk->click();
  });
  const auto run = [&](const QStringList& AAnswers, int ARetries) {
    answers = AAnswers;
    prompts = 0;
    return dialog.Execute(QStringLiteral("Please enter your password"), QStringLiteral("Stra\u00dfe Geheim"), ARetries);
  };
  // "STRASSE" is not "straße" in lower case; the third attempt matches.
  QVERIFY(run({QStringLiteral("wrong"), QStringLiteral("STRASSE GEHEIM"), QStringLiteral("stra\u00dfe gEHEIM")}, 3));
  QCOMPARE(prompts, 3);
  QVERIFY(!run({QString()}, 3));
  QCOMPARE(prompts, 1);
  QVERIFY(
      !run({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("Stra\u00dfe Geheim")}, 0));
  QCOMPARE(prompts, 3);
  QVERIFY(TMessageBox::Shown().isEmpty());
}

QTEST_MAIN(TestOptions)
#include "tst_options.moc"
