// SPDX-License-Identifier: GPL-3.0-or-later
// Plug-ins during real runs of the manager: the shipped manifest plug-in checked by sha256sum,
// errors of a plug-in logged without stopping the run, and a file list a plug-in changes.
#include "profiles/TBackupProfileManager.h"
#include "sysinfo/TFormatSettings.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

QList<TBackupProfileQueueStatus> Statuses(TBackupProfileManager& AManager)
{
  QList<TBackupProfileQueueStatus> result;
  for (int i = 0; i < AManager.Queue().Count(); ++i)
    result << AManager.Queue().GetItem(i)->QueueStatus();
  return result;
}

} // namespace

class TestPluginRun : public QObject
{
  Q_OBJECT

private slots:
  void initTestCase();
  void init();
  void manifestIsCheckedBySha256sum();
  void pluginErrorsAreLoggedAndTheRunGoesOn();
  void emptiedFileListFailsTheProfile();

private:
  TBackupProfile* AddProfile(TBackupProfileManager& AManager, const QString& AName, TZipType AType);
  void SetUp(TBackupProfileManager& AManager);
  void Install(const QString& ALibrary);
  // Runs sha256sum -c on AManifest in its folder; returns its exit code, its output in AOutput.
  int CheckManifest(const QString& AManifest, QByteArray& AOutput);
  QString Path(const QString& AName) const { return FDir->filePath(AName); }
  std::unique_ptr<QTemporaryDir> FDir;
  QStringList FLog;
};

void TestPluginRun::initTestCase()
{
  TFormatSettings::Load(QLocale(QLocale::English, QLocale::UnitedKingdom));
}

void TestPluginRun::init()
{
  FDir = std::make_unique<QTemporaryDir>();
  QVERIFY(FDir->isValid());
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(Path(QStringLiteral("home"))));
  qputenv("XDG_CONFIG_DIRS", QFile::encodeName(Path(QStringLiteral("etc"))));
  QVERIFY(QDir().mkpath(Path(QStringLiteral("source"))));
  QVERIFY(QDir().mkpath(Path(QStringLiteral("logs"))));
  QVERIFY(QDir().mkpath(Path(QStringLiteral("plugins"))));
  QVERIFY(QDir().mkpath(Path(QStringLiteral("out"))));
  for (int i = 0; i < 8; ++i) {
    QFile file(Path(QStringLiteral("source/file%1.txt").arg(i)));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(8192, char('a' + i)));
  }
  FLog.clear();
}

void TestPluginRun::SetUp(TBackupProfileManager& AManager)
{
  AManager.SetRegistryKey(QStringLiteral("\\Software\\Quenfield\\Orvel"));
  AManager.SetLogFolder(Path(QStringLiteral("logs")) + QLatin1Char('/'));
  AManager.SetPluginFolder(Path(QStringLiteral("plugins")) + QLatin1Char('/'));
  AManager.OnLog = [this](QObject*, const QString& AMessage) { FLog << AMessage; };
}

TBackupProfile* TestPluginRun::AddProfile(TBackupProfileManager& AManager, const QString& AName, TZipType AType)
{
  TBackupProfile* profile = AManager.NewProfile(AName);
  profile->SetZipType(AType);
  profile->SetZipFile(
      Path(QStringLiteral("out/") + AName + (AType == zZip ? QStringLiteral(".zip") : QStringLiteral(".7z"))));
  profile->SetCompressionLevel(clNone);
  profile->Files().Add(Path(QStringLiteral("source")) + QLatin1Char('/'), QStringLiteral("*.*"), true);
  if (!profile->SaveProfile())
    return nullptr;
  AManager.QueueAdd(AName);
  return profile;
}

void TestPluginRun::Install(const QString& ALibrary)
{
  QVERIFY(QFile::copy(ALibrary, Path(QStringLiteral("plugins/")) + QFileInfo(ALibrary).fileName()));
}

int TestPluginRun::CheckManifest(const QString& AManifest, QByteArray& AOutput)
{
  QProcess process;
  process.setWorkingDirectory(QFileInfo(AManifest).path());
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start(QStringLiteral("sha256sum"), {QStringLiteral("-c"), QFileInfo(AManifest).fileName()});
  if (!process.waitForFinished(60000))
    return -1;
  AOutput = process.readAll();
  return process.exitCode();
}

void TestPluginRun::manifestIsCheckedBySha256sum()
{
  Install(QStringLiteral(MANIFEST_PLUGIN));
  TBackupProfileManager m;
  SetUp(m);
  QVERIFY(AddProfile(m, QStringLiteral("Zip"), zZip));
  TBackupProfile* seven = AddProfile(m, QStringLiteral("Seven"), zSeven);
  QVERIFY(seven);
  seven->SetSpanningSize(30000);
  QVERIFY(seven->SaveProfile());
  QVERIFY(m.Backup());
  QCOMPARE(Statuses(m), (QList<TBackupProfileQueueStatus>{qsComplete, qsComplete}));

  QByteArray output;
  QCOMPARE(CheckManifest(Path(QStringLiteral("out/Zip.zip.sha256")), output), 0);
  QCOMPARE(output, QByteArray("Zip.zip: OK\n"));
  QCOMPARE(CheckManifest(Path(QStringLiteral("out/Seven.7z.sha256")), output), 0);
  QCOMPARE(output, QByteArray("Seven.7z.001: OK\nSeven.7z.002: OK\nSeven.7z.003: OK\n"));

  // A damaged archive fails the check; a failed run leaves the old manifest alone.
  QFile archive(Path(QStringLiteral("out/Zip.zip")));
  QVERIFY(archive.open(QIODevice::ReadWrite));
  archive.seek(100);
  archive.write("X");
  archive.close();
  QVERIFY(CheckManifest(Path(QStringLiteral("out/Zip.zip.sha256")), output) != 0);
  m.ClearQueue();
  TBackupProfile* zip = m.ProfileByName(QStringLiteral("Zip"));
  zip->Files().Clear();
  QVERIFY(zip->SaveProfile());
  m.QueueAdd(QStringLiteral("Zip"));
  QVERIFY(!m.Backup());
  QVERIFY(CheckManifest(Path(QStringLiteral("out/Zip.zip.sha256")), output) != 0);
  // No temporary file is left behind.
  QCOMPARE(
      QDir(Path(QStringLiteral("out"))).entryList(QDir::Files, QDir::Name),
      (QStringList{QStringLiteral("Seven.7z.001"), QStringLiteral("Seven.7z.002"), QStringLiteral("Seven.7z.003"),
                   QStringLiteral("Seven.7z.sha256"), QStringLiteral("Zip.zip"), QStringLiteral("Zip.zip.sha256")}));
}

void TestPluginRun::pluginErrorsAreLoggedAndTheRunGoesOn()
{
  Install(QStringLiteral(TEST_PLUGINS "throws.so"));
  TBackupProfileManager m;
  SetUp(m);
  QVERIFY(AddProfile(m, QStringLiteral("One"), zZip));
  QStringList events;
  m.OnPluginsStart = [&](QObject*) { events << QStringLiteral("start"); };
  m.OnPluginsFileListStart = [&](QObject*) { events << QStringLiteral("list"); };
  m.OnPluginsFileListFinished = [&](QObject*) { events << QStringLiteral("list done"); };
  m.OnPluginsFinished = [&](QObject*) { events << QStringLiteral("finished"); };
  QVERIFY(m.Backup());
  QCOMPARE(Statuses(m), QList<TBackupProfileQueueStatus>{qsComplete});
  QCOMPARE(events, (QStringList{QStringLiteral("start"), QStringLiteral("list"), QStringLiteral("list done"),
                                QStringLiteral("finished")}));
  QVERIFY(FLog.contains(QStringLiteral("Plugin Exception: begin failed")));
  QVERIFY(FLog.contains(QStringLiteral("Plugin Exception: list failed")));
  QVERIFY(FLog.contains(QStringLiteral("Plugin Exception: end failed")));
  QVERIFY(FLog.contains(QStringLiteral("Plugin Exception: Unknown exception in BackupProgress of plugin \"") +
                        Path(QStringLiteral("plugins/throws.so")) + QLatin1Char('"')));
  QVERIFY(QFile::exists(Path(QStringLiteral("out/One.zip"))));
}

void TestPluginRun::emptiedFileListFailsTheProfile()
{
  Install(QStringLiteral(TEST_PLUGINS "nulllist.so"));
  TBackupProfileManager m;
  SetUp(m);
  QVERIFY(AddProfile(m, QStringLiteral("One"), zZip));
  QVERIFY(!m.Backup());
  QCOMPARE(Statuses(m), QList<TBackupProfileQueueStatus>{qsFailed});
  QVERIFY(!QFile::exists(Path(QStringLiteral("out/One.zip"))));
}

QTEST_GUILESS_MAIN(TestPluginRun)
#include "tst_pluginrun.moc"
