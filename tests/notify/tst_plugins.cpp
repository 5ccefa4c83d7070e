// SPDX-License-Identifier: GPL-3.0-or-later
// The plug-in collection against real plug-in libraries built from the public header: loading,
// the notifications and their order, the file list passed from plug-in to plug-in, and errors.
#include "notify/TPlugins.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <dlfcn.h>
#include <sys/stat.h>

namespace {

// Calls a test-only export of a loaded plug-in that returns a string.
QString TestString(const TPluginItem* APlugin, const char* AExport)
{
  const auto call = reinterpret_cast<const char16_t* (*)()>(::dlsym(APlugin->PluginHandle(), AExport));
  return call ? QString::fromUtf16(call()) : QStringLiteral("<no %1>").arg(QLatin1String(AExport));
}

int TestFileListCalls(const TPluginItem* APlugin)
{
  const auto call = reinterpret_cast<int (*)()>(::dlsym(APlugin->PluginHandle(), "TestFileListCalls"));
  return call ? call() : -1;
}

} // namespace

class TestPlugins : public QObject
{
  Q_OBJECT

private slots:
  void init();
  void loadsOnlyPlugins();
  void activationErrors();
  void notificationsReachThePlugin();
  void fileListPassesFromPluginToPlugin();
  void firstOfTheSameNameAnswers();
  void errorsOfPluginsReachTheCaller();
  void onlyTrustedFilesAreLoaded();

private:
  // Copies the built plug-in AName into the plug-in folder as ATarget (default: its own name).
  void Install(const QString& AName, const QString& ATarget = QString());
  // An active collection over the plug-in folder.
  void Activate(TPlugins& APlugins);
  QString Folder() const { return FDir->filePath(QStringLiteral("plugins/")); }
  std::unique_ptr<QTemporaryDir> FDir;
};

void TestPlugins::init()
{
  FDir = std::make_unique<QTemporaryDir>();
  QVERIFY(FDir->isValid());
  QVERIFY(QDir().mkpath(Folder()));
}

void TestPlugins::Install(const QString& AName, const QString& ATarget)
{
  const QString target = Folder() + (ATarget.isEmpty() ? AName : ATarget) + QStringLiteral(".so");
  QFile::remove(target);
  QVERIFY(QFile::copy(QStringLiteral(TEST_PLUGINS) + AName + QStringLiteral(".so"), target));
}

void TestPlugins::Activate(TPlugins& APlugins)
{
  APlugins.SetPluginFolder(Folder());
  APlugins.SetProfileName(QStringLiteral("Docs"));
  APlugins.SetActive(true);
}

void TestPlugins::loadsOnlyPlugins()
{
  Install(QStringLiteral("valid"));
  Install(QStringLiteral("noversion"));
  QFile text(Folder() + QStringLiteral("notes.txt"));
  QVERIFY(text.open(QIODevice::WriteOnly));
  QFile notALibrary(Folder() + QStringLiteral("broken.so"));
  QVERIFY(notALibrary.open(QIODevice::WriteOnly));
  notALibrary.write("not a library");
  notALibrary.close();
  QVERIFY(QDir().mkpath(Folder() + QStringLiteral("sub.so")));
  QVERIFY(QFile::copy(QStringLiteral(TEST_PLUGINS "endonly.so"), Folder() + QStringLiteral("sub.so/endonly.so")));

  TPlugins plugins;
  QCOMPARE(plugins.Count(), 0); // nothing is loaded before activation
  Activate(plugins);
  QVERIFY(plugins.Active());
  QCOMPARE(plugins.Names(), QStringList{QStringLiteral("Valid")});
  const TPluginItem* plugin = plugins.GetItem(0);
  QCOMPARE(plugin->Filename(), Folder() + QStringLiteral("valid.so"));
  QCOMPARE(plugin->PluginVersion(), QStringLiteral("1.2"));
  QCOMPARE(plugin->PluginDeveloper(), QStringLiteral("Tester"));
  QVERIFY(plugin->ShowConfig && plugin->BackupBegin && plugin->BackupProgress && plugin->BackupEnd &&
          plugin->BackupFileList);
  QCOMPARE(plugins.IndexByName(QStringLiteral("VALID")), 0);
  QCOMPARE(plugins.IndexByName(QStringLiteral("Other")), -1);
  QCOMPARE(plugins.GetPluginByName(QStringLiteral("valid")), plugin);

  // Activating again loads afresh, so a library replaced in between is the one used.
  plugins.SetActive(false);
  QCOMPARE(plugins.Count(), 0);
  Install(QStringLiteral("endonly"), QStringLiteral("valid"));
  plugins.SetActive(true);
  plugins.SetActive(true);
  QCOMPARE(plugins.Names(), QStringList{QStringLiteral("End Only")});
  QVERIFY(!plugins.GetItem(0)->BackupBegin && plugins.GetItem(0)->BackupEnd);
  plugins.Refresh();
  QCOMPARE(plugins.Count(), 1);
}

void TestPlugins::activationErrors()
{
  TPlugins plugins;
  try {
    plugins.SetActive(true);
    QFAIL("activated without a folder");
  } catch (const EPluginError& e) {
    QCOMPARE(e.Message(), QStringLiteral("No plugin folder has been specified."));
  }

  // A missing folder is created with its parents.
  const QString nested = FDir->filePath(QStringLiteral("a/b/plugins/"));
  plugins.SetPluginFolder(nested);
  plugins.SetActive(true);
  QVERIFY(QDir(nested).exists());

  QFile blocker(FDir->filePath(QStringLiteral("file")));
  QVERIFY(blocker.open(QIODevice::WriteOnly));
  const QString blocked = FDir->filePath(QStringLiteral("file/plugins/"));
  plugins.SetPluginFolder(blocked);
  try {
    plugins.SetActive(true);
    QFAIL("activated in a folder that cannot exist");
  } catch (const EPluginError& e) {
    QCOMPARE(e.Message(), QStringLiteral("Failed to locate plugin folder \"%1\"").arg(blocked));
  }

  try {
    (void)plugins.GetPluginByName(QStringLiteral("Nobody"));
    QFAIL("found a plug-in that is not there");
  } catch (const EPluginError& e) {
    QCOMPARE(e.Message(), QStringLiteral("Invalid Plugin Name (Nobody)"));
  }
}

void TestPlugins::notificationsReachThePlugin()
{
  Install(QStringLiteral("valid"));
  Install(QStringLiteral("endonly"));
  TPlugins plugins;
  Activate(plugins);
  const TPluginItem* valid = plugins.GetPluginByName(QStringLiteral("Valid"));
  const TPluginItem* endOnly = plugins.GetPluginByName(QStringLiteral("End Only"));

  QStringList files{QStringLiteral("/a"), QStringLiteral("/b")};
  plugins.NotifyBackupStart();
  plugins.NotifyBackupFileList(files);
  plugins.NotifyBackupProgress(50, QStringLiteral("half"));
  plugins.NotifyBackupEnd(2, QStringList{QStringLiteral("/x.7z.001"), QStringLiteral("/x.7z.002")},
                          QStringLiteral("/logs/Docs.log"));
  QCOMPARE(TestString(valid, "TestCalls"), QStringLiteral("Begin(Docs);List(Docs,/aRN/bRN);Progress(Docs,50,half);"
                                                          "End(Docs,2,/x.7z.001RN/x.7z.002RN,/logs/Docs.log);"));
  QCOMPARE(files, (QStringList{QStringLiteral("/a"), QStringLiteral("/b")})); // returned unchanged
  QCOMPARE(TestString(endOnly, "TestText"), QStringLiteral("End 2"));

  // An empty string is passed as such, never as null.
  plugins.NotifyBackupEnd(0, {}, QString());
  QCOMPARE(TestString(valid, "TestCalls"), QStringLiteral("End(Docs,0,,);"));

  plugins.Config(QStringLiteral("valid"), QStringLiteral("Other"));
  plugins.Config(QStringLiteral("Valid"));
  plugins.Config(QStringLiteral("End Only")); // has no configuration: nothing happens
  QCOMPARE(TestString(valid, "TestCalls"), QStringLiteral("Config(Other);Config(Docs);"));

  // While inactive, nothing reaches a plug-in.
  plugins.SetActive(false);
  plugins.NotifyBackupStart();
  plugins.Config(QStringLiteral("Valid"));
  QCOMPARE(plugins.Count(), 0);
}

void TestPlugins::fileListPassesFromPluginToPlugin()
{
  Install(QStringLiteral("appendfirst"), QStringLiteral("1-appendfirst"));
  TPlugins plugins;
  Activate(plugins);
  Install(QStringLiteral("appendsecond"), QStringLiteral("2-appendsecond"));
  plugins.Refresh();
  QCOMPARE(plugins.Count(), 2);
  // Load order is the folder's, so the expected list follows it.
  QStringList expected{QStringLiteral("/x")};
  for (const QString& name : plugins.Names())
    expected << (name == QStringLiteral("Append First") ? QStringLiteral("/added/by/first")
                                                        : QStringLiteral("/added/by/second"));
  QStringList files{QStringLiteral("/x")};
  plugins.NotifyBackupFileList(files);
  QCOMPARE(files, expected);
  const QString text = TestString(plugins.GetItem(1), "TestText");
  QVERIFY2(text.contains(expected.at(1)), qPrintable(text)); // the second saw the first's line

  // A null result empties the list.
  QVERIFY(QFile::remove(Folder() + QStringLiteral("1-appendfirst.so")));
  QVERIFY(QFile::remove(Folder() + QStringLiteral("2-appendsecond.so")));
  Install(QStringLiteral("nulllist"));
  plugins.Refresh();
  files = QStringList{QStringLiteral("/x")};
  plugins.NotifyBackupFileList(files);
  QVERIFY(files.isEmpty());
}

void TestPlugins::firstOfTheSameNameAnswers()
{
  Install(QStringLiteral("appendfirst"), QStringLiteral("one"));
  Install(QStringLiteral("appendfirst"), QStringLiteral("two"));
  TPlugins plugins;
  Activate(plugins);
  QCOMPARE(plugins.Count(), 2);
  QStringList files;
  plugins.NotifyBackupFileList(files);
  QCOMPARE(TestFileListCalls(plugins.GetItem(0)), 2);
  QCOMPARE(TestFileListCalls(plugins.GetItem(1)), 0);
  QCOMPARE(files, (QStringList{QStringLiteral("/added/by/first"), QStringLiteral("/added/by/first")}));
}

void TestPlugins::errorsOfPluginsReachTheCaller()
{
  Install(QStringLiteral("throws"));
  TPlugins plugins;
  Activate(plugins);
  const auto message = [](const std::function<void()>& ACall) {
    try {
      ACall();
    } catch (const EPluginError& e) {
      return e.Message();
    }
    return QStringLiteral("<nothing raised>");
  };
  QStringList files{QStringLiteral("/x")};
  QCOMPARE(message([&] { plugins.NotifyBackupStart(); }), QStringLiteral("begin failed"));
  QCOMPARE(message([&] { plugins.NotifyBackupFileList(files); }), QStringLiteral("list failed"));
  QCOMPARE(files, QStringList{QStringLiteral("/x")}); // a failed call changes nothing
  QCOMPARE(message([&] { plugins.NotifyBackupProgress(1, QString()); }),
           QStringLiteral("Unknown exception in BackupProgress of plugin \"%1throws.so\"").arg(Folder()));
  QCOMPARE(message([&] { plugins.NotifyBackupEnd(0, {}, QString()); }), QStringLiteral("end failed"));
}

void TestPlugins::onlyTrustedFilesAreLoaded()
{
  Install(QStringLiteral("valid"));
  Install(QStringLiteral("endonly"), QStringLiteral(".hidden"));
  Install(QStringLiteral("appendfirst"));
  QVERIFY(QFile::link(Folder() + QStringLiteral("valid.so"), Folder() + QStringLiteral("link.so")));
  const QByteArray open = QFile::encodeName(Folder() + QStringLiteral("appendfirst.so"));
  QVERIFY(::chmod(open.constData(), 0757) == 0);
  QStringList log;
  TPlugins plugins;
  plugins.OnLog = [&log](const QString& ALine) { log << ALine; };
  {
    // A file others may change, a link and a hidden file are left out; the rest loads.
    Activate(plugins);
    QCOMPARE(plugins.Names(), QStringList{QStringLiteral("Valid")});
    QCOMPARE(log,
             (QStringList{
                 QStringLiteral("Plugin \"%1appendfirst.so\" not loaded: the file is writable by others").arg(Folder()),
                 QStringLiteral("Plugin \"%1link.so\" not loaded: it is a symbolic link").arg(Folder())}));
  }
  {
    // A folder others may write to: nothing in it is loaded.
    log.clear();
    QVERIFY(::chmod(open.constData(), 0755) == 0);
    QVERIFY(::chmod(QFile::encodeName(Folder()).constData(), 01777) == 0);
    plugins.SetActive(true);
    QVERIFY(plugins.Active());
    QCOMPARE(plugins.Count(), 0);
    QCOMPARE(log,
             QStringList{QStringLiteral("Plugin \"%1\" not loaded: the folder is writable by others").arg(Folder())});
    QVERIFY(::chmod(QFile::encodeName(Folder()).constData(), 0775) == 0);
    log.clear();
    plugins.SetActive(true);
    QCOMPARE(log, QStringList{
                      QStringLiteral("Plugin \"%1\" not loaded: the folder is writable by its group").arg(Folder())});
  }
  {
    // Someone else's file (root can hand one over to test it).
    if (::geteuid() != 0)
      QSKIP("Only root can give a file to another user.");
    log.clear();
    QVERIFY(::chmod(QFile::encodeName(Folder()).constData(), 0755) == 0);
    QVERIFY(::chown(open.constData(), 4242, 4242) == 0);
    plugins.SetActive(true);
    QCOMPARE(plugins.Count(), 1);
    QVERIFY2(
        log.contains(QStringLiteral("Plugin \"%1appendfirst.so\" not loaded: the file belongs to another user (4242)")
                         .arg(Folder())),
        qPrintable(log.join(QLatin1Char('\n'))));
  }
}

QTEST_GUILESS_MAIN(TestPlugins)
#include "tst_plugins.moc"
