// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TComposition.h"
#include "app/TDesktopIntegration.h"
#include "app/TShellDialogWindows.h"
#include "app/TShellServices.h"
#include "app/TfrmOrvel.h"
#include "platform/TFileManager.h"
#include "platform/TProgramWindows.h"
#include "profiles/TBackupProfileManager.h"
#include "settings/TApplicationOptions.h"
#include "settings/TLog.h"
#include "settings/TProgramSettings.h"
#include "sysinfo/Common.h"
#include "sysinfo/TApplicationVersionInfo.h"
#include "tests/support/OffscreenNoise.h"
#include "tests/support/TFakeSession.h"
#include "tests/support/TFakeShell.h"
#include "ui/TMessageBox.h"
#include "update/TAutoUpdate.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

class TestUpdateWiring : public QObject
{
  Q_OBJECT

private slots:
  void initTestCase()
  {
    HideOffscreenNoise();
    QStandardPaths::setTestModeEnabled(true);
    TMessageBox::SetHeadless(true);
    QVERIFY(FDir.isValid());
    for (const char* variable : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "XDG_RUNTIME_DIR"})
      qputenv(variable, QFile::encodeName(FDir.filePath(QString::fromLatin1(variable))));
  }
  void firstStartShowsTheReleaseNotesOnceTheWindowIsShown();
  void updateWindowFollowsTheOptions();
  void startedInstallerEndsTheProgramThroughItsShutdown();

private:
  QTemporaryDir FDir;
};

void TestUpdateWiring::firstStartShowsTheReleaseNotesOnceTheWindowIsShown()
{
  auto fakeDialogs = std::make_unique<TFakeDialogs>();
  TFakeDialogs* dialogs = fakeDialogs.get();
  QStringList shown;
  QList<bool> enabled;
  dialogs->OnShowUpdateInformation = [&](const QString& ANotes, const QString& ALicense, const QString& ASupport,
                                         int ATimeout) {
    shown << ANotes << ALicense << ASupport << QString::number(ATimeout);
  };
  dialogs->OnSetAutoUpdateEnabled = [&](bool AEnabled) { enabled << AEnabled; };
  TComposition composition(std::make_unique<TFakeSession>(), nullptr, std::move(fakeDialogs));
  TfrmOrvel& form = composition.MainWindow();
  form.Desktop().TrayAvailable = [] { return true; };
  const auto storedVersion = [] {
    TProgramSettings store;
    TApplicationOptions::ConfigureStore(store);
    TApplicationOptions(&store).RegisterOptions();
    store.LoadSettings();
    return TApplicationOptions::Text(store, TOptionId::Version);
  };

  // Started at logon: the start-up runs to its end with the notes requested, not shown, and the
  // new version not stored, so that a session ended now still shows them at the next start.
  form.SetArguments({QStringLiteral("/HIDE")});
  form.FormActivate();
  QCOMPARE(enabled, QList<bool>{true});
  QVERIFY(form.UpdateInformationPending());
  QCoreApplication::processEvents();
  QVERIFY(shown.isEmpty());
  QCOMPARE(storedVersion(), QStringLiteral("0.0.0.0"));
  // Another cycle meanwhile (a reload) asks for them again, still without showing them.
  composition.Services().LoadApplicationSettings();
  QCoreApplication::processEvents();
  QVERIFY(shown.isEmpty() && form.UpdateInformationPending());

  // The user shows the window: the notes follow from the event loop, and the version is stored.
  form.ExecuteCommand(TInstanceCommand::Show);
  QVERIFY(form.isVisible());
  QTRY_VERIFY(!shown.isEmpty());
  const QString folder = GetApplicationFolder();
  QCOMPARE(shown, (QStringList{folder + QStringLiteral("Corvale - Release Notes.rtf"),
                               folder + QStringLiteral("Corvale - License.rtf"),
                               folder + QStringLiteral("Corvale - Support Details.rtf"), QStringLiteral("15")}));
  QCOMPARE(storedVersion(), TApplicationVersionInfo::ProgramVersion());
  QVERIFY(!form.UpdateInformationPending());

  // Later cycles and showings do not repeat them.
  composition.Services().LoadApplicationSettings();
  form.hide();
  form.ExecuteCommand(TInstanceCommand::Show);
  QCoreApplication::processEvents();
  QCOMPARE(shown.size(), 4);
}

void TestUpdateWiring::updateWindowFollowsTheOptions()
{
  TProgramSettings settings;
  TApplicationOptions options(&settings);
  options.RegisterOptions();
  TApplicationOptions::Set(settings, TOptionId::AutomaticUpdateEnabled, true);
  TApplicationOptions::Set(settings, TOptionId::AutomaticUpdateURL, QString());
  TLog log;
  log.SetFileName(FDir.filePath(QStringLiteral("application.log")));
  log.SetCacheSize(100);
  log.SetActive(true);
  {
    TBackupProfileManager manager;
    const auto programWindows = CreateProgramWindows();
    const auto fileManager = CreateFileManager();
    TAutoUpdate update;
    TShellDialogWindows windows(manager, *programWindows, update, settings, log, *fileManager);
    // The first check starts at once and its lines reach the application log.
    windows.SetAutoUpdateEnabled(true);
    QTRY_VERIFY(log.LogCache().join(QLatin1Char('\n')).contains(QStringLiteral("ERROR: No update URL specified.")));
    QVERIFY(log.LogCache().join(QLatin1Char('\n')).contains(QStringLiteral("Checking for software update...")));
    windows.SetAutoUpdateEnabled(false);
    // Headless runs show no release notes.
    windows.ShowUpdateInformation(QString(), QString(), QString(), 15);
  }
}

void TestUpdateWiring::startedInstallerEndsTheProgramThroughItsShutdown()
{
  TComposition composition(std::make_unique<TFakeSession>(), nullptr, std::make_unique<TFakeDialogs>());
  TfrmOrvel& form = composition.MainWindow();
  form.Desktop().TrayAvailable = [] { return true; };
  form.FormActivate();
  int closed = 0;
  form.OnClosed = [&closed](QObject*) { ++closed; };
  // Reported from within the update component: the close follows from the event loop.
  composition.AutoUpdate().OnTerminate();
  QCOMPARE(closed, 0);
  QTRY_COMPARE(closed, 1);
  QVERIFY(!form.isVisible());
  // The shutdown sequence ran: the application log is gone.
  QVERIFY(!composition.ApplicationLog().Active());
}

QTEST_MAIN(TestUpdateWiring)
#include "tst_updatewiring.moc"
