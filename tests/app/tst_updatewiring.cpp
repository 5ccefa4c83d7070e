// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TComposition.h"
#include "app/TShellDialogWindows.h"
#include "app/TShellServices.h"
#include "app/TfrmOrvel.h"
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
  void firstStartShowsTheReleaseNotesAndEnablesUpdates();
  void updateWindowFollowsTheOptions();

private:
  QTemporaryDir FDir;
};

void TestUpdateWiring::firstStartShowsTheReleaseNotesAndEnablesUpdates()
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
  composition.MainWindow().TrayAvailable = [] { return true; };
  composition.MainWindow().FormActivate();

  const QString folder = GetApplicationFolder();
  QCOMPARE(shown, (QStringList{folder + QStringLiteral("Corvale - Release Notes.rtf"),
                               folder + QStringLiteral("Corvale - License.rtf"),
                               folder + QStringLiteral("Corvale - Support Details.rtf"), QStringLiteral("15")}));
  QCOMPARE(enabled, QList<bool>{true});
  // The stored version is now the executable's own, so the next cycle shows nothing.
  QCOMPARE(TApplicationOptions::Text(composition.Services().ProgramSettings(), TOptionId::Version),
           TApplicationVersionInfo::ProgramVersion());
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
    TShellDialogWindows windows(manager, *programWindows, settings, log);
    // The first check starts at once and its lines reach the application log.
    windows.SetAutoUpdateEnabled(true);
    QTRY_VERIFY(log.LogCache().join(QLatin1Char('\n')).contains(QStringLiteral("ERROR: No update URL specified.")));
    QVERIFY(log.LogCache().join(QLatin1Char('\n')).contains(QStringLiteral("Checking for software update...")));
    windows.SetAutoUpdateEnabled(false);
    // Headless runs do not wait on the release notes.
    windows.ShowUpdateInformation(QString(), QString(), QString(), 15);
  }
}

QTEST_MAIN(TestUpdateWiring)
#include "tst_updatewiring.moc"
