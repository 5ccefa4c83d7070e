// SPDX-License-Identifier: GPL-3.0-or-later
// The main window bound to the real settings store and profile manager: start-up and shutdown
// against the user's key store, real ZIP runs from Ok and from the tray, cancelling a run.
#include "app/TComposition.h"
#include "app/TDesktopIntegration.h"
#include "app/TShellServices.h"
#include "app/TWindowRunQuestions.h"
#include "app/TfrmBackupProgress.h"
#include "app/TfrmExitConfirm.h"
#include "app/TfrmOrvel.h"
#include "platform/TRegistry.h"
#include "platform/TTaskbarProgress.h"
#include "platform/TTerminationWatcher.h"
#include "profiles/EBackupProfileManagerException.h"
#include "profiles/TBackupProfileManager.h"
#include "settings/TLog.h"
#include "settings/TProgramSettings.h"
#include "sysinfo/Common.h"
#include "tests/support/OffscreenNoise.h"
#include "tests/support/TFakeSession.h"
#include "ui/TMessageBox.h"
#include "ui/TfrmBackupAlert.h"
#include "ui/TfrmFailedBackup.h"
#include "ui/TfrmOptions.h"
#include "ui/TfrmPassword.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <csignal>

#include <unistd.h>

namespace {

// The windows of the program under test.
TfrmOrvel* frmOrvel = nullptr;
TfrmBackupProgress* frmBackupProgress = nullptr;
TfrmExitConfirm* frmExitConfirm = nullptr;

const QString ProgramKey = QStringLiteral("\\Software\\Quenfield\\Orvel");

class TFakeTaskbar : public TTaskbarProgress
{
public:
  explicit TFakeTaskbar(QStringList& ACalls)
    : FCalls(ACalls)
  {}
  void SetProgress(int AProgress) override
  {
    if (FCalls.isEmpty() || FCalls.last() != QString::number(AProgress))
      FCalls << QString::number(AProgress);
  }
  void Clear() override { FCalls << QStringLiteral("clear"); }

private:
  QStringList& FCalls;
};

QStringList Texts(const QList<QAction*>& AActions)
{
  QStringList texts;
  for (const QAction* action : AActions)
    texts << action->text();
  return texts;
}

QStringList BalloonTexts()
{
  QStringList texts;
  for (const TDesktopIntegration::TBalloon& balloon : frmOrvel->Desktop().Balloons())
    texts << balloon.Text;
  return texts;
}

QStringList ShownTexts()
{
  QStringList texts;
  for (const TMessageBox::TShown& shown : TMessageBox::Shown())
    texts << shown.Text;
  return texts;
}

QList<TBackupProfileQueueStatus> Statuses(const TBackupProfileManager& AManager)
{
  QList<TBackupProfileQueueStatus> result;
  for (int i = 0; i < AManager.Queue().Count(); ++i)
    result << AManager.Queue().GetItem(i)->QueueStatus();
  return result;
}

// Runs AAction on the window's thread and waits for it: a run's handlers act as the user would.
void OnWindowThread(const std::function<void()>& AAction)
{
  QMetaObject::invokeMethod(frmOrvel, AAction, Qt::BlockingQueuedConnection);
}

// Does AStart and waits until the run it starts has ended, exit action included.
bool RunToEnd(const std::function<void()>& AStart)
{
  QSignalSpy finished(&frmOrvel->RunSession(), &TRunSession::Finished);
  AStart();
  return finished.wait(30000);
}

bool IsZip(const QString& APath)
{
  QFile file(APath);
  return file.open(QIODevice::ReadOnly) && file.read(2) == "PK";
}

} // namespace

class TestShellServices : public QObject
{
  Q_OBJECT

private slots:
  void initTestCase();
  void init();
  void cleanup();
  void startupLoadsAndShutdownSaves();
  void storageOtherThanTheRegistryIsRefused();
  void damagedProfileIsReported();
  void reloadReadsWhatAnotherProgramStored();
  void okRunsTheEnabledProfiles();
  void cancelDuringARun();
  void endOfSessionStopsTheRun();
  void quickBackupFromTheTray();
  void overdueProfilesRaiseTheAlert();
  void optionsBehindTheirPassword();

private:
  QString Path(const QString& AName) const { return FDir->filePath(AName); }
  // A profile backing up the source folder into <name>.zip, stored in the user's key store.
  void StoreProfile(const QString& AName, bool AEnabled = true);
  void WriteSetting(const QString& AName, int AValue);
  void MakeForms();
  void FreeForms();
  void Start();
  QString LogText() const;
  TBackupProfileManager& Manager() const { return FServices->BackupProfileManager(); }

  std::unique_ptr<QTemporaryDir> FDir;
  TFakeSession* FSession = nullptr;
  std::unique_ptr<TComposition> FComposition;
  TShellServices* FServices = nullptr;
  int FClosed = 0;
};

void TestShellServices::initTestCase()
{
  HideOffscreenNoise();
  QStandardPaths::setTestModeEnabled(true);
  TMessageBox::SetHeadless(true);
}

void TestShellServices::init()
{
  FDir = std::make_unique<QTemporaryDir>();
  QVERIFY(FDir->isValid());
  for (const char* variable : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "XDG_RUNTIME_DIR"})
    qputenv(variable, QFile::encodeName(Path(QString::fromLatin1(variable))));
  QVERIFY(QDir().mkpath(Path(QStringLiteral("source/sub"))));
  for (int i = 0; i < 40; ++i) {
    QFile file(Path(QStringLiteral("source/sub/file%1.txt").arg(i)));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(64 * 1024, char('a' + i % 26)));
  }
  FClosed = 0;
}

void TestShellServices::FreeForms()
{
  FComposition.reset();
  FServices = nullptr;
  frmOrvel = nullptr;
  frmBackupProgress = nullptr;
  frmExitConfirm = nullptr;
}

void TestShellServices::cleanup()
{
  FreeForms();
}

void TestShellServices::StoreProfile(const QString& AName, bool AEnabled)
{
  TBackupProfileManager store;
  store.SetRegistryKey(ProgramKey);
  TBackupProfile* profile = store.NewProfile(AName);
  profile->SetEnabled(AEnabled);
  profile->SetShowAlerts(false);
  profile->SetZipType(zZip);
  profile->SetZipFile(Path(AName + QStringLiteral(".zip")));
  profile->Files().Add(Path(QStringLiteral("source")) + QLatin1Char('/'), QStringLiteral("*.*"), true);
  QVERIFY(profile->SaveProfile());
}

void TestShellServices::WriteSetting(const QString& AName, int AValue)
{
  TRegistry reg;
  QVERIFY(reg.OpenKey(ProgramKey, true));
  reg.WriteInteger(AName, AValue);
}

void TestShellServices::MakeForms()
{
  FreeForms();
  TMessageBox::Reset();
  auto session = std::make_unique<TFakeSession>();
  FSession = session.get();
  FComposition = std::make_unique<TComposition>(std::move(session));
  frmOrvel = &FComposition->MainWindow();
  frmBackupProgress = &FComposition->BackupProgress();
  frmExitConfirm = &FComposition->ExitConfirm();
  FServices = &FComposition->Services();
  frmOrvel->Desktop().TrayAvailable = [] { return true; };
  frmOrvel->OnClosed = [this](QObject*) { ++FClosed; };
  frmOrvel->ApplicationLog()->SetCacheSize(1000);
  Manager().SetPluginFolder(Path(QStringLiteral("plugins")) + QLatin1Char('/'));
}

void TestShellServices::Start()
{
  MakeForms();
  frmOrvel->FormActivate();
  QVERIFY(frmOrvel->ApplicationLog()->Active());
}

QString TestShellServices::LogText() const
{
  QStringList lines = frmOrvel->ApplicationLog()->LogCache();
  std::reverse(lines.begin(), lines.end());
  return lines.join(QLatin1Char('\n'));
}

void TestShellServices::startupLoadsAndShutdownSaves()
{
  StoreProfile(QStringLiteral("Mail"));
  StoreProfile(QStringLiteral("Documents"));
  WriteSetting(QStringLiteral("LastSelectionID"), 6);
  WriteSetting(QStringLiteral("Debug"), 1);
  WriteSetting(QStringLiteral("SMTPPort"), 2525);
  Start();

  // The options were loaded, applied to the manager and written back with their defaults.
  QCOMPARE(frmOrvel->SelectedIndex(), 6);
  QVERIFY(Manager().DebugBackup());
  QCOMPARE(Manager().SMTPSettings().Port, 2525);
  {
    TRegistry reg;
    QVERIFY(reg.OpenKey(ProgramKey, false));
    QVERIFY(reg.ValueExists(QStringLiteral("CheckLastBackup")));
    QCOMPARE(reg.ReadString(QStringLiteral("Version")).count(QLatin1Char('.')), 3);
  }

  // The manager is configured and its lines reach the application log, debug lines too.
  QCOMPARE(Manager().RootKey(), HKEY_CURRENT_USER);
  QCOMPARE(Manager().RegistryKey(), ProgramKey);
  QCOMPARE(Manager().RootFolder(), GetApplicationFolder() + QStringLiteral("Profiles/"));
  QCOMPARE(Manager().LogFolder(), Path(QStringLiteral("XDG_DATA_HOME/Corvale/Logs/")));
  QCOMPARE(Manager().DLLFolder(), GetApplicationFolder());
  const QString log = LogText();
  QVERIFY2(log.contains(QStringLiteral(": Loading Backup Profile Manager...\n")), qPrintable(log));
  QVERIFY(log.contains(QStringLiteral("Debug: (LoadProfilesRegistry): Loading profile: Mail")));

  // The tray's Backup submenu lists the profiles in the manager's order.
  emit frmOrvel->Desktop().PopupMenuTrayIcon->aboutToShow();
  QCOMPARE(Texts(frmOrvel->Desktop().mnuBackup->actions()),
           QStringList({"Custom Backup...", "Documents", "Mail", "", "Edit Profile", "New Profile..."}));
  QVERIFY(TMessageBox::Shown().isEmpty());

  // Exit saves the options and the profiles, changes made meanwhile included.
  Manager().ProfileByName(QStringLiteral("Mail"))->SetDescription(QStringLiteral("changed"));
  frmOrvel->ActionExit->trigger();
  QCOMPARE(FClosed, 1);
  QVERIFY(frmOrvel->ApplicationLog()
              ->LogCache()
              .join(QLatin1Char('\n'))
              .contains(QStringLiteral("Saving Backup Profile Manager...")));
  TBackupProfileManager reloaded;
  reloaded.SetRegistryKey(ProgramKey);
  reloaded.LoadProfiles();
  QCOMPARE(reloaded.ProfileCount(), 2);
  QCOMPARE(reloaded.ProfileByName(QStringLiteral("Mail"))->Description(), QStringLiteral("changed"));
}

void TestShellServices::storageOtherThanTheRegistryIsRefused()
{
  // Profiles are kept in the registry only: the value is refused with a message, set back to 0,
  // and the profiles stay where they are.
  StoreProfile(QStringLiteral("Mail"));
  WriteSetting(QStringLiteral("StorageType"), 1);
  Start();
  QCOMPARE(TMessageBox::Shown().size(), 1);
  QCOMPARE(TMessageBox::Shown().first().Kind, TMessageBox::mkError);
  QVERIFY(TMessageBox::Shown().first().Text.startsWith(QStringLiteral("\"StorageType\"=1 is not supported")));
  QCOMPARE(Manager().ProfileCount(), 1);
  Manager().ProfileByName(QStringLiteral("Mail"))->SetDescription(QStringLiteral("kept"));
  frmOrvel->ActionExit->trigger();
  QCOMPARE(FClosed, 1);
  TBackupProfileManager reloaded;
  reloaded.SetRegistryKey(ProgramKey);
  reloaded.LoadProfiles();
  QCOMPARE(reloaded.ProfileByName(QStringLiteral("Mail"))->Description(), QStringLiteral("kept"));
  TRegistry reg;
  QVERIFY(reg.OpenKey(ProgramKey, false));
  QCOMPARE(reg.ReadInteger(QStringLiteral("StorageType")), 0);
}

void TestShellServices::damagedProfileIsReported()
{
  StoreProfile(QStringLiteral("Broken"));
  StoreProfile(QStringLiteral("Good"));
  {
    TRegistry reg;
    QVERIFY(reg.OpenKey(ProgramKey + QStringLiteral("\\Broken"), false));
    reg.WriteString(QStringLiteral("AlertDays"), QStringLiteral("seven"));
  }
  MakeForms();
  TMessageBox::QueueAnswer(TMessageBox::maOk);
  frmOrvel->FormActivate();
  QCOMPARE(TMessageBox::Shown().size(), 1);
  const TMessageBox::TShown warning = TMessageBox::Shown().first();
  QCOMPARE(warning.Kind, TMessageBox::mkWarning);
  QVERIFY(warning.Queued);
  QVERIFY2(warning.Text.startsWith(QStringLiteral("The following backup profiles could not be read: Broken\n")),
           qPrintable(warning.Text));
  const QString log = LogText();
  QVERIFY2(log.contains(QStringLiteral("Backup profiles that could not be read: Broken")), qPrintable(log));
  QVERIFY(log.contains(QStringLiteral("Failed to load profile: Broken, Error: ")));
  // The start-up went on: the other profile loaded, the tray shows.
  QVERIFY(Manager().ProfileByName(QStringLiteral("Good")));
  QVERIFY(frmOrvel->Desktop().TrayIcon->isVisible());

  // Read again (corvale-cli changed the store), the same damage is logged but not shown again.
  frmOrvel->ExecuteCommand(TInstanceCommand::Reload);
  QTRY_VERIFY(!frmOrvel->ReloadPending());
  QCOMPARE(TMessageBox::Shown().size(), 1);
  QCOMPARE(LogText().count(QStringLiteral("Backup profiles that could not be read: Broken")), 2);

  // Another profile that cannot be saved still fails the save, damaged profile or not.
  TBackupProfile* unsaveable = Manager().NewProfile(QStringLiteral("Unsaveable"));
  unsaveable->SetProfileName(QString());
  QVERIFY_THROWS_EXCEPTION(EBackupProfileManagerException, FServices->SaveBackupProfiles());
  Manager().RemoveProfile(unsaveable);

  // Exit does not write the partly read profile over what is stored.
  frmOrvel->ActionExit->trigger();
  TRegistry reg;
  QVERIFY(reg.OpenKey(ProgramKey + QStringLiteral("\\Broken"), false));
  QCOMPARE(reg.ReadString(QStringLiteral("AlertDays")), QStringLiteral("seven"));
}

void TestShellServices::reloadReadsWhatAnotherProgramStored()
{
  StoreProfile(QStringLiteral("Mail"));
  WriteSetting(QStringLiteral("SMTPPort"), 2525);
  Start();
  // The user's choice of action is stored at once, so that reading the store keeps it.
  frmOrvel->SetSelectedIndex(6);
  FServices->StoreLastSelection(6);

  // Another program changes a profile and an option, and adds a profile.
  {
    TRegistry reg;
    QVERIFY(reg.OpenKey(ProgramKey + QStringLiteral("\\Mail"), false));
    reg.WriteString(QStringLiteral("Description"), QStringLiteral("from the terminal"));
    reg.WriteDateTime(QStringLiteral("LastBackup"), 46000.25);
  }
  WriteSetting(QStringLiteral("SMTPPort"), 2600);
  StoreProfile(QStringLiteral("Added"));
  TBackupProfile* before = Manager().ProfileByName(QStringLiteral("Mail"));
  QVERIFY(before && before->Description().isEmpty());

  frmOrvel->ExecuteCommand(TInstanceCommand::Reload);
  QTRY_VERIFY(LogText().contains(QStringLiteral("Reloading settings and backup profiles...")));
  QCOMPARE(Manager().ProfileCount(), 2);
  QCOMPARE(Manager().ProfileByName(QStringLiteral("Mail"))->Description(), QStringLiteral("from the terminal"));
  QCOMPARE(Manager().ProfileByName(QStringLiteral("Mail"))->LastBackup(), 46000.25);
  QCOMPARE(Manager().SMTPSettings().Port, 2600);
  QCOMPARE(frmOrvel->SelectedIndex(), 6);
  QVERIFY(TMessageBox::Shown().isEmpty());

  // Exit writes back what was read.
  frmOrvel->ActionExit->trigger();
  QCOMPARE(FClosed, 1);
  TRegistry reg;
  QVERIFY(reg.OpenKey(ProgramKey, false));
  QCOMPARE(reg.ReadInteger(QStringLiteral("SMTPPort")), 2600);
  QCOMPARE(reg.ReadInteger(QStringLiteral("LastSelectionID")), 6);
  QVERIFY(reg.OpenKey(ProgramKey + QStringLiteral("\\Mail"), false));
  QCOMPARE(reg.ReadString(QStringLiteral("Description")), QStringLiteral("from the terminal"));
  QCOMPARE(reg.ReadDateTime(QStringLiteral("LastBackup")), 46000.25);
}

void TestShellServices::okRunsTheEnabledProfiles()
{
  StoreProfile(QStringLiteral("First"));
  StoreProfile(QStringLiteral("Off"), false);
  StoreProfile(QStringLiteral("Second"));
  Start();
  frmOrvel->show();
  QStringList taskbar;
  frmBackupProgress->SetTaskbarProgress(std::make_unique<TFakeTaskbar>(taskbar));

  // Watch the windows and the tray icon during the run, behind the main window's own handlers:
  // a look posted after the window's own call sees what it did.
  TBackupProfileManager& manager = Manager();
  QStringList started;
  bool progressShown = true;
  bool mainHidden = true;
  QList<int> icons;
  const TOnStartBackup start = manager.OnStartBackup;
  manager.OnStartBackup = [&, start](QObject* ASender, TBackupProfile* AProfile) {
    start(ASender, AProfile);
    QMetaObject::invokeMethod(
        frmOrvel, [&] { started << frmBackupProgress->lblProfileName->text(); }, Qt::QueuedConnection);
  };
  connect(frmBackupProgress, &TfrmBackupProgress::TotalShown, frmOrvel, [&](int) {
    progressShown = progressShown && frmBackupProgress->isVisible() && FSession->HeldLocks() == 1;
    mainHidden = mainHidden && !frmOrvel->isVisible();
    if (icons.isEmpty() || icons.last() != frmOrvel->Desktop().TrayIconIndex())
      icons << frmOrvel->Desktop().TrayIconIndex();
  });

  frmOrvel->SetSelectedIndex(4);
  QVERIFY(RunToEnd([] { frmOrvel->btnOk->click(); }));
  QCOMPARE(started, QStringList({"Backup: First", "Backup: Second"}));
  QVERIFY(progressShown);
  QVERIFY(mainHidden);
  QVERIFY(icons.size() >= 2);
  QVERIFY(icons.first() >= 1 && icons.first() <= 5);
  QCOMPARE(icons.last(), 10);
  QCOMPARE(Statuses(manager), (QList<TBackupProfileQueueStatus>{qsComplete, qsComplete}));
  QVERIFY(IsZip(Path(QStringLiteral("First.zip"))));
  QVERIFY(IsZip(Path(QStringLiteral("Second.zip"))));
  QVERIFY(!QFile::exists(Path(QStringLiteral("Off.zip"))));
  QVERIFY(QFile::exists(Path(QStringLiteral("XDG_DATA_HOME/Corvale/Logs/First.log"))));
  // The taskbar entry follows each profile's progress and is cleared when the run ends.
  QVERIFY2(taskbar.size() >= 4, qPrintable(taskbar.join(QLatin1Char(' '))));
  QCOMPARE(taskbar.count(QStringLiteral("100")), 2);
  QCOMPARE(taskbar.last(), QStringLiteral("clear"));
  QCOMPARE(taskbar.count(QStringLiteral("clear")), 1);

  // Afterwards: the progress window hidden with the last texts, the idle icon, the balloons, no
  // exit action for "Backup", the selection stored, the main window hidden to the tray.
  QVERIFY(!frmBackupProgress->isVisible());
  QCOMPARE(frmBackupProgress->lblProfileName->text(), QStringLiteral("Backup Complete: Second"));
  QCOMPARE(frmBackupProgress->lblTotalProgress->text(), QStringLiteral("100%"));
  QCOMPARE(frmOrvel->Desktop().TrayIconIndex(), 0);
  QCOMPARE(BalloonTexts(), QStringList({"Backup in progress...", "Backup Complete."}));
  QVERIFY(FSession->Calls.isEmpty());
  QCOMPARE(FServices->ProgramSettings().GetValueByName(QStringLiteral("LastSelectionID")).toInt(), 4);
  // The machine was kept awake for the run only.
  QCOMPARE(FSession->Inhibited, QStringList({"Backup in progress"}));
  QCOMPARE(FSession->HeldLocks(), 0);
  QVERIFY(!frmOrvel->isVisible());
  QVERIFY(Manager().ProfileByName(QStringLiteral("First"))->LastBackup() > 0);
  const QString log = LogText();
  QVERIFY2(log.contains(QStringLiteral("Backup Complete: Second, Zip Files: ")), qPrintable(log));

  // The stored selection is the next start's selection.
  frmOrvel->ActionExit->trigger();
  QCOMPARE(FClosed, 1);
  Start();
  QCOMPARE(frmOrvel->SelectedIndex(), 4);

  // "Corvale" runs the queue, then asks to shut down; declining leaves the machine alone.
  frmOrvel->SetSelectedIndex(0);
  QTimer decline;
  decline.setInterval(10);
  connect(&decline, &QTimer::timeout, frmExitConfirm, [] {
    if (frmExitConfirm->isVisible())
      QTest::mouseClick(frmExitConfirm->btnCancel, Qt::LeftButton);
  });
  decline.start();
  QVERIFY(RunToEnd([] { frmOrvel->ActionOk->trigger(); }));
  QCOMPARE(Statuses(Manager()), (QList<TBackupProfileQueueStatus>{qsComplete, qsComplete}));
  QCOMPARE(FSession->Calls, QStringList({"May PowerOff"}));
}

void TestShellServices::cancelDuringARun()
{
  for (const char* name : {"First", "Second", "Third"})
    StoreProfile(QString::fromLatin1(name));
  Start();
  TBackupProfileManager& manager = Manager();
  QString running;
  int reports = 0;
  bool cancelledOnce = false;
  bool declinedOnce = false;
  bool progressWindowShown = false;
  int iconDuringQuestion = -1;
  const TOnStartBackup start = manager.OnStartBackup;
  manager.OnStartBackup = [&, start](QObject* ASender, TBackupProfile* AProfile) {
    start(ASender, AProfile);
    running = AProfile->ProfileName();
    reports = 0;
  };
  const TOnProgress item = manager.OnBackupProgress;
  manager.OnBackupProgress = [&, item](QObject* ASender, const QString& AMessage, int AProgress) {
    item(ASender, AMessage, AProgress);
    // The engine's first report comes before it takes cancel requests.
    if (++reports < 3)
      return;
    if (running == QLatin1String("First") && !declinedOnce) {
      // The progress window's Cancel asks first; No goes on.
      declinedOnce = true;
      OnWindowThread([] {
        TMessageBox::QueueAnswer(TMessageBox::maNo);
        frmBackupProgress->btnCancel->click();
      });
    } else if (running == QLatin1String("Second") && !cancelledOnce) {
      // Exit during a run shows the progress window and cancels instead of quitting.
      cancelledOnce = true;
      OnWindowThread([&] {
        frmBackupProgress->hide();
        TMessageBox::QueueAnswer(TMessageBox::maYes);
        TMessageBox::QueueAnswer(TMessageBox::maYes);
        frmOrvel->ActionExit->trigger();
        progressWindowShown = frmBackupProgress->isVisible();
      });
    }
  };
  connect(&FComposition->RunQuestions(), &TWindowRunQuestions::RemainingProfilesAsked, frmOrvel,
          [&] { iconDuringQuestion = frmOrvel->Desktop().TrayIconIndex(); });

  // The failed-backup window that follows is closed as soon as it shows.
  QTimer closeFailed;
  closeFailed.setInterval(10);
  connect(&closeFailed, &QTimer::timeout, frmOrvel, [] {
    if (auto* failed = qobject_cast<TfrmFailedBackup*>(QApplication::activeModalWidget()))
      failed->close();
  });
  closeFailed.start();
  frmOrvel->SetSelectedIndex(4);
  QVERIFY(RunToEnd([] { frmOrvel->ActionOk->trigger(); }));
  QVERIFY(declinedOnce && cancelledOnce);
  QVERIFY(progressWindowShown);
  QCOMPARE(FClosed, 0);
  QCOMPARE(ShownTexts(),
           QStringList({"Are you sure you want to cancel the current backup?",
                        "Are you sure you want to cancel the current backup?",
                        "You have cancelled the current backup; do you wish to continue with remaining profiles?"}));
  QCOMPARE(iconDuringQuestion, 11);
  QCOMPARE(Statuses(manager), (QList<TBackupProfileQueueStatus>{qsComplete, qsCancelled, qsComplete}));
  QVERIFY(!QFile::exists(Path(QStringLiteral("Second.zip"))));
  QVERIFY(IsZip(Path(QStringLiteral("Third.zip"))));
  QCOMPARE(frmOrvel->Desktop().Balloons().last().Text, QStringLiteral("Backup Failed."));
  QCOMPARE(frmOrvel->Desktop().TrayIconIndex(), 0);
  const QString log = LogText();
  QCOMPARE(log.count(QStringLiteral("Backup Cancel Request...")), 1);
  QVERIFY(log.contains(QStringLiteral("Backup Cancelled: Second")));

  // With the run over, Exit quits.
  frmOrvel->ActionExit->trigger();
  QCOMPARE(FClosed, 1);
}

void TestShellServices::endOfSessionStopsTheRun()
{
  // SIGTERM (as the composition binds it) and the session manager's commit request each stop a
  // "Corvale" run (back up, then shut down) at once: nothing is asked, the running profile's
  // previous archive is kept, no temporary file is left, no further profile starts, the session
  // is not ended by the program, and the window closes after the run.
  for (const bool signal : {true, false}) {
    for (const char* name : {"First", "Second", "Third"})
      StoreProfile(QString::fromLatin1(name));
    QFile previous(Path(QStringLiteral("Second.zip")));
    QVERIFY(previous.open(QIODevice::WriteOnly | QIODevice::Truncate));
    previous.write("the previous archive");
    previous.close();
    Start();
    TTerminationWatcher watcher;
    watcher.OnTerminate = [](int) { frmOrvel->EndSession(); };
    TBackupProfileManager& manager = Manager();
    QString running;
    int reports = 0;
    bool stopped = false;
    const TOnStartBackup start = manager.OnStartBackup;
    manager.OnStartBackup = [&, start](QObject* ASender, TBackupProfile* AProfile) {
      start(ASender, AProfile);
      running = AProfile->ProfileName();
    };
    const TOnProgress item = manager.OnBackupProgress;
    manager.OnBackupProgress = [&, item](QObject* ASender, const QString& AMessage, int AProgress) {
      item(ASender, AMessage, AProgress);
      if (running != QLatin1String("Second") || stopped || ++reports < 3)
        return;
      stopped = true;
      // The run goes on once the window has taken the request.
      if (signal)
        QVERIFY(::kill(::getpid(), SIGTERM) == 0);
      OnWindowThread([signal] {
        if (!signal)
          QVERIFY(frmOrvel->QueryEndSession());
        QTRY_VERIFY(frmOrvel->RunSession().Stopped());
      });
    };

    frmOrvel->SetSelectedIndex(0);
    QVERIFY(RunToEnd([] { frmOrvel->ActionOk->trigger(); }));
    QVERIFY(stopped);
    QCOMPARE(Statuses(manager), (QList<TBackupProfileQueueStatus>{qsComplete, qsCancelled, qsPending}));
    QCOMPARE(ShownTexts(), QStringList());
    QCOMPARE(FSession->Calls, QStringList());
    QVERIFY(IsZip(Path(QStringLiteral("First.zip"))));
    QVERIFY(!QFile::exists(Path(QStringLiteral("Third.zip"))));
    QVERIFY(previous.open(QIODevice::ReadOnly));
    QCOMPARE(previous.readAll(), QByteArray("the previous archive"));
    previous.close();
    QCOMPARE(QDir(FDir->path()).entryList({QStringLiteral("*.tmp")}, QDir::Files | QDir::Hidden), QStringList());
    QVERIFY(!BalloonTexts().contains(QStringLiteral("Backup Failed.")));
    if (signal) {
      QTRY_COMPARE(FClosed, 1);
    } else {
      // The commit request only stops the run; the session's end closes the window.
      QTest::qWait(50);
      QCOMPARE(FClosed, 0);
      frmOrvel->EndSession();
      QCOMPARE(FClosed, 1);
    }
    FreeForms();
    QVERIFY(QFile::remove(Path(QStringLiteral("First.zip"))));
    FClosed = 0;
  }
}

void TestShellServices::quickBackupFromTheTray()
{
  StoreProfile(QStringLiteral("First"));
  StoreProfile(QStringLiteral("Second"));
  Start();
  emit frmOrvel->Desktop().PopupMenuTrayIcon->aboutToShow();
  QAction* entry = frmOrvel->Desktop().mnuBackup->actions().at(2);
  QCOMPARE(entry->text(), QStringLiteral("Second"));
  TMessageBox::QueueAnswer(TMessageBox::maYes);
  QVERIFY(RunToEnd([entry] { entry->trigger(); }));
  QCOMPARE(ShownTexts(), QStringList({"Are you sure you want to launch backup \"Second\"?"}));
  QCOMPARE(Manager().Queue().Count(), 1);
  QCOMPARE(Statuses(Manager()), QList<TBackupProfileQueueStatus>{qsComplete});
  QVERIFY(IsZip(Path(QStringLiteral("Second.zip"))));
  QVERIFY(!QFile::exists(Path(QStringLiteral("First.zip"))));
  QVERIFY(FSession->Calls.isEmpty());
  QVERIFY(!frmOrvel->isVisible());
}

void TestShellServices::overdueProfilesRaiseTheAlert()
{
  for (const char* name : {"First", "Second"}) {
    TBackupProfileManager store;
    store.SetRegistryKey(ProgramKey);
    TBackupProfile* profile = store.NewProfile(QString::fromLatin1(name));
    profile->SetShowAlerts(true);
    QVERIFY(profile->SaveProfile());
  }
  Start();
  QCOMPARE(frmOrvel->Desktop().TrayIconIndex(), 12);
  QCOMPARE(frmOrvel->Desktop().TrayIconHint(), QStringLiteral("Corvale - Backup Alerts: 2"));
  QCOMPARE(frmOrvel->Desktop().Balloons().last().Text,
           QStringLiteral("You have 2 Backup Alerts pending, click here for more details."));
  QCOMPARE(frmOrvel->Desktop().Balloons().last().Type, btWarning);
  QCOMPARE(frmOrvel->Desktop().Balloons().last().Time, 30000);
  // The click opens the window and the Backup Alerts window with both profiles; leaving it
  // (Ignore, then Yes to the question) runs nothing.
  frmOrvel->hide();
  int rows = 0;
  QTimer::singleShot(0, frmOrvel, [&rows] {
    auto* alerts = qobject_cast<TfrmBackupAlert*>(QApplication::activeModalWidget());
    QVERIFY(alerts);
    rows = alerts->findChild<QTreeWidget*>(QStringLiteral("ListViewBackupProfiles"))->topLevelItemCount();
    TMessageBox::QueueAnswer(TMessageBox::maYes);
    alerts->reject();
  });
  frmOrvel->Desktop().BalloonClicked();
  QVERIFY(frmOrvel->isVisible());
  QCOMPARE(rows, 2);
  QVERIFY(!QFile::exists(Path(QStringLiteral("First.zip"))));
  frmOrvel->ActionExit->trigger();

  // Switched off, the same profiles raise nothing.
  WriteSetting(QStringLiteral("CheckLastBackup"), 0);
  Start();
  QCOMPARE(frmOrvel->Desktop().TrayIconIndex(), 0);
  QVERIFY(frmOrvel->Desktop().Balloons().isEmpty());
}

void TestShellServices::optionsBehindTheirPassword()
{
  WriteSetting(QStringLiteral("Debug"), 1);
  Start();
  QVERIFY(Manager().DebugBackup());
  // Without a password the options open at once; Ok stores them and the program applies them.
  QTimer::singleShot(0, frmOrvel, [] {
    auto* options = qobject_cast<TfrmOptions*>(QApplication::activeModalWidget());
    QVERIFY(options);
    options->cbDebug->setChecked(false);
    options->editPassword->setText(QStringLiteral("Kestrel"));
    options->btnOk->click();
  });
  frmOrvel->ActionOptions->trigger();
  QVERIFY(!Manager().DebugBackup());
  QVERIFY(!FComposition->Dialogs().OptionsVisible());

  // Then the password comes first: in other letter case it opens the options, Cancel does not.
  int optionsShown = 0;
  const auto answerPassword = [&optionsShown](const QString& ATyped) {
    QTimer::singleShot(0, frmOrvel, [&optionsShown, ATyped] {
      auto* password = qobject_cast<TfrmPassword*>(QApplication::activeModalWidget());
      QVERIFY(password);
      QTimer::singleShot(0, frmOrvel, [&optionsShown] {
        if (auto* options = qobject_cast<TfrmOptions*>(QApplication::activeModalWidget())) {
          ++optionsShown;
          options->reject();
        }
      });
      if (ATyped.isNull()) {
        password->btnCancel->click();
        return;
      }
      password->editPassword->setText(ATyped);
      password->btnOk->click();
    });
  };
  answerPassword(QStringLiteral("KESTREL"));
  frmOrvel->ActionOptions->trigger();
  QCOMPARE(optionsShown, 1);
  answerPassword(QString());
  frmOrvel->ActionOptions->trigger();
  QCOMPARE(optionsShown, 1);
  frmOrvel->ActionExit->trigger();
}

QTEST_MAIN(TestShellServices)
#include "tst_shellservices.moc"
