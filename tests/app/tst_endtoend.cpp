// SPDX-License-Identifier: GPL-3.0-or-later
// The whole program path of "back up, then shut down": profiles in the user's key store, the main
// window bound to the real services, real ZIP and 7z archives checked by the 7z command, and the
// power-off reaching logind (a mock on a private system bus) after the count-down runs out.
#include "app/TComposition.h"
#include "app/TDesktopIntegration.h"
#include "app/TShellServices.h"
#include "app/TfrmExitConfirm.h"
#include "app/TfrmOrvel.h"
#include "platform/TRegistry.h"
#include "profiles/TBackupProfileManager.h"
#include "tests/support/OffscreenNoise.h"
#include "tests/support/TLogindMock.h"
#include "ui/TMessageBox.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString ProgramKey = QStringLiteral("\\Software\\Quenfield\\Orvel");

// "7z t" on an archive: true when every item tests fine.
bool SevenZipTests(const QString& AArchive, QString& AOutput)
{
  QProcess process;
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start(QStringLiteral("7z"), {QStringLiteral("t"), QStringLiteral("-p-"), AArchive});
  if (!process.waitForFinished(60000))
    return false;
  AOutput = QString::fromLocal8Bit(process.readAll());
  return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0 &&
         AOutput.contains(QLatin1String("Everything is Ok"));
}

} // namespace

class TestEndToEnd : public QObject
{
  Q_OBJECT

private slots:
  void initTestCase();
  void cleanupTestCase();
  void backupThenShutDown();

private:
  QString Path(const QString& AName) const { return FDir.filePath(AName); }
  void StoreProfile(const QString& AName, TZipType AType, const QString& AArchive);

  QTemporaryDir FDir;
  TLogindMock FLogind;
};

void TestEndToEnd::initTestCase()
{
  HideOffscreenNoise();
  if (const QString missing = TLogindMock::MissingPeers(); !missing.isEmpty())
    QSKIP(qPrintable(missing));
  if (QStandardPaths::findExecutable(QStringLiteral("7z")).isEmpty())
    QSKIP("the 7z command is not installed (Debian package p7zip-full)");
  QVERIFY(FDir.isValid());
  QString error;
  QVERIFY2(FLogind.Start(error), qPrintable(error));
  // The program's session control talks to the system bus: here, the private one.
  qputenv("DBUS_SYSTEM_BUS_ADDRESS", FLogind.Address().toUtf8());
  for (const char* variable : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "XDG_RUNTIME_DIR"})
    qputenv(variable, QFile::encodeName(Path(QString::fromLatin1(variable))));
  TMessageBox::SetHeadless(true);

  QVERIFY(QDir().mkpath(Path(QStringLiteral("source/sub"))));
  for (int i = 0; i < 30; ++i) {
    QFile file(Path(QStringLiteral("source/sub/file%1.txt").arg(i)));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(32 * 1024, char('a' + i % 26)));
  }
}

void TestEndToEnd::cleanupTestCase()
{
  FLogind.Stop();
}

void TestEndToEnd::StoreProfile(const QString& AName, TZipType AType, const QString& AArchive)
{
  TBackupProfileManager store;
  store.SetRegistryKey(ProgramKey);
  TBackupProfile* profile = store.NewProfile(AName);
  profile->SetEnabled(true);
  profile->SetShowAlerts(false);
  profile->SetZipType(AType);
  profile->SetZipFile(AArchive);
  profile->Files().Add(Path(QStringLiteral("source")) + QLatin1Char('/'), QStringLiteral("*.*"), true);
  QVERIFY(profile->SaveProfile());
}

void TestEndToEnd::backupThenShutDown()
{
  StoreProfile(QStringLiteral("Documents"), zZip, Path(QStringLiteral("Documents.zip")));
  StoreProfile(QStringLiteral("Pictures"), zSeven, Path(QStringLiteral("Pictures.7z")));

  auto composition = std::make_unique<TComposition>();
  TfrmOrvel* frmOrvel = &composition->MainWindow();
  TfrmExitConfirm* frmExitConfirm = &composition->ExitConfirm();
  frmOrvel->Desktop().TrayAvailable = [] { return true; };
  composition->Services().BackupProfileManager().SetPluginFolder(Path(QStringLiteral("plugins")) + QLatin1Char('/'));
  frmOrvel->FormActivate();
  frmExitConfirm->TimerConfirm.setInterval(1);
  FLogind.NewCalls();

  // "Corvale": back up every enabled profile, then shut down when the count-down runs out.
  frmOrvel->SetSelectedIndex(0);
  QCOMPARE(frmOrvel->SelectedExitParameter(), xpShutdown);
  QSignalSpy finished(&frmOrvel->RunSession(), &TRunSession::Finished);
  frmOrvel->ActionOk->trigger();
  QVERIFY(finished.wait(60000));

  // Both archives are whole and hold the tree.
  const auto runLog = [this](const QString& AName) {
    QFile log(Path(QStringLiteral("XDG_DATA_HOME/Corvale/Logs/")) + AName + QStringLiteral(".log"));
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QStringLiteral("(no log)");
  };
  // A 7z profile writes numbered volumes (2000 MB by default): this tree fits in the first.
  QVERIFY(!QFile::exists(Path(QStringLiteral("Pictures.7z.002"))));
  for (const QString& archive : {QStringLiteral("Documents.zip"), QStringLiteral("Pictures.7z.001")}) {
    QString output;
    const bool tested = SevenZipTests(Path(archive), output);
    if (!tested)
      qWarning().noquote() << output << runLog(archive.section(QLatin1Char('.'), 0, 0));
    QVERIFY2(tested, qPrintable(archive));
    QVERIFY2(output.contains(QLatin1String("Files: 30")), qPrintable(output));
  }
  // Both run logs, and the stamps stored in the key store.
  TBackupProfileManager reloaded;
  reloaded.SetRegistryKey(ProgramKey);
  reloaded.LoadProfiles();
  for (const QString& name : {QStringLiteral("Documents"), QStringLiteral("Pictures")}) {
    const TBackupProfile* profile = reloaded.ProfileByName(name);
    QVERIFY(profile);
    QVERIFY2(profile->LastBackup() > 0, qPrintable(name));
    const QString log = runLog(name);
    QVERIFY2(log.contains(QStringLiteral("Backup Complete.")), qPrintable(name + QLatin1Char('\n') + log));
  }
  QCOMPARE(frmOrvel->Desktop().Balloons().last().Text, QStringLiteral("Backup Complete."));

  // Then the power-off, after the privilege question, with nothing left keeping the machine awake.
  const QStringList calls = FLogind.NewCalls();
  QVERIFY2(calls.contains(QStringLiteral("CanPowerOff")), qPrintable(calls.join(QLatin1Char('\n'))));
  QCOMPARE(calls.filter(QStringLiteral("PowerOff ")), QStringList({QStringLiteral("PowerOff False")}));
  QVERIFY(calls.indexOf(QStringLiteral("CanPowerOff")) < calls.indexOf(QStringLiteral("PowerOff False")));
  QCOMPARE(calls.filter(QStringLiteral("Inhibit ")).size(), 2);
  QTRY_COMPARE_WITH_TIMEOUT(FLogind.Inhibitors(), QStringList(), 10000);

  composition.reset();
}

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
