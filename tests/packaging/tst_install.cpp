// SPDX-License-Identifier: GPL-3.0-or-later
// The installed program: `cmake --install` into a temporary prefix, then its layout, the launchers,
// the desktop files through the desktop's own validators and the icon through the theme.
#include "platform/AutoStart.h"
#include "profiles/TBackupProfileManager.h"
#include "settings/TestHome.h"

#include <QDirIterator>
#include <QIcon>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <unistd.h>

namespace {

struct TRun
{
  int Status = -1;
  QString Output;
};

// Runs a program to its end and gives its exit status with its standard output and error.
TRun Run(const QString& AProgram, const QStringList& AArguments,
         const QProcessEnvironment& AEnvironment = QProcessEnvironment::systemEnvironment())
{
  QProcess process;
  process.setProcessEnvironment(AEnvironment);
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start(AProgram, AArguments);
  process.closeWriteChannel();
  TRun result;
  if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit) {
    result.Output = AProgram + QStringLiteral(": ") + process.errorString();
    return result;
  }
  result.Status = process.exitCode();
  result.Output = QString::fromUtf8(process.readAll());
  return result;
}

QString ReadText(const QString& AFileName)
{
  QFile file(AFileName);
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The relative names of every file and link below a folder, sorted.
QStringList Tree(const QString& AFolder)
{
  QStringList names;
  QDirIterator it(AFolder, QDir::Files | QDir::System | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext())
    names << QDir(AFolder).relativeFilePath(it.next());
  names.sort();
  return names;
}

const QString ProgramKey = QStringLiteral("\\Software\\Quenfield\\Orvel");

} // namespace

class TestInstall : public QObject
{
  Q_OBJECT

private slots:
  void initTestCase();
  void programFolderHoldsEverything();
  void launchersRunTheProgramFolder();
  void autoStartNamesTheLauncher();
  void desktopFilesValidate();
  void iconIsFoundByName();
  void pluginInterfaceBuilds();
  void versionsAgree();

private:
  QString Prefix(const QString& AName = QString()) const { return FHome->Path(QStringLiteral("usr/") + AName); }
  QString ProgramFolder() const { return Prefix(QStringLiteral("lib/corvale/")); }

  std::unique_ptr<TTestHome> FHome;
};

void TestInstall::initTestCase()
{
  FHome = std::make_unique<TTestHome>();
  QVERIFY(FHome->IsValid());
  qputenv("LC_ALL", "C.UTF-8");
  qputenv("XDG_RUNTIME_DIR", QFile::encodeName(FHome->Path(QStringLiteral("run"))));
  const TRun install = Run(QStringLiteral(CMAKE_COMMAND), {QStringLiteral("--install"), QStringLiteral(BUILD_FOLDER),
                                                           QStringLiteral("--prefix"), Prefix()});
  QVERIFY2(install.Status == 0, qPrintable(install.Output));
}

void TestInstall::programFolderHoldsEverything()
{
  const QStringList program = Tree(ProgramFolder());
  for (const char* name : {"corvale", "corvale-cli", "defaults.ini", "Corvale - Release Notes.rtf",
                           "Corvale - License.rtf", "Corvale - Support Details.rtf"})
    QVERIFY2(program.contains(QString::fromUtf8(name)), name);
  QVERIFY(QFileInfo(ProgramFolder() + QStringLiteral("plugins")).isDir());
  // Plug-ins are the only further content.
  for (const QString& name : program)
    QVERIFY2(QFileInfo(ProgramFolder() + name).isFile() &&
                 (!name.contains(QLatin1Char('/')) || name.startsWith(QStringLiteral("plugins/"))),
             qPrintable(name));

  // Only the launchers on PATH: nothing the programs look for beside themselves.
  QCOMPARE(Tree(Prefix(QStringLiteral("bin"))),
           (QStringList{QStringLiteral("corvale"), QStringLiteral("corvale-cli")}));
  for (const QString& name : {QStringLiteral("corvale"), QStringLiteral("corvale-cli")}) {
    const QFileInfo launcher(Prefix(QStringLiteral("bin/")) + name);
    // Relative, so that the links hold in a package's staging folder as in the prefix.
    char target[4096];
    const ssize_t length = ::readlink(QFile::encodeName(launcher.filePath()).constData(), target, sizeof(target));
    QVERIFY(length > 0 && target[0] != '/');
    QCOMPARE(launcher.canonicalFilePath(), QFileInfo(ProgramFolder() + name).canonicalFilePath());
  }

  const QStringList share = Tree(Prefix(QStringLiteral("share")));
  for (const char* name : {"applications/corvale.desktop", "metainfo/com.quenfield.Corvale.metainfo.xml",
                           "icons/hicolor/scalable/apps/corvale.svg", "man/man1/corvale.1.gz",
                           "man/man1/corvale-cli.1.gz", "doc/corvale/copyright", "doc/corvale/changelog.Debian.gz"})
    QVERIFY2(share.contains(QString::fromUtf8(name)), name);

  // The manual pages are readable by man.
  for (const QString& page : {QStringLiteral("corvale"), QStringLiteral("corvale-cli")}) {
    const TRun gzip = Run(QStringLiteral("gzip"), {QStringLiteral("-t"), Prefix(QStringLiteral("share/man/man1/")) +
                                                                             page + QStringLiteral(".1.gz")});
    QVERIFY2(gzip.Status == 0, qPrintable(gzip.Output));
  }
}

void TestInstall::launchersRunTheProgramFolder()
{
  QVERIFY(QDir().mkpath(FHome->Path(QStringLiteral("source"))));
  QFile file(FHome->Path(QStringLiteral("source/note.txt")));
  QVERIFY(file.open(QIODevice::WriteOnly) && file.write("kept") == 4);
  file.close();
  {
    TBackupProfileManager manager;
    manager.SetRegistryKey(ProgramKey);
    TBackupProfile* profile = manager.NewProfile(QStringLiteral("Docs"));
    profile->SetZipType(zZip);
    profile->SetZipFile(FHome->Path(QStringLiteral("docs.zip")));
    profile->Files().Add(FHome->Path(QStringLiteral("source/")), QStringLiteral("*.*"), true);
    QVERIFY(profile->SaveProfile());
  }

  const QString cli = Prefix(QStringLiteral("bin/corvale-cli"));
  const TRun list = Run(cli, {QStringLiteral("list")});
  QVERIFY2(list.Status == 0 && list.Output.contains(QStringLiteral("Docs ")), qPrintable(list.Output));

  // A run loads the plug-ins from the program folder, which it makes when it is missing: started
  // through the launcher it must find the installed one, not make one beside the launcher.
  const TRun backup = Run(cli, {QStringLiteral("backup"), QStringLiteral("Docs")});
  QVERIFY2(backup.Status == 0, qPrintable(backup.Output));
  QVERIFY(QFile::exists(FHome->Path(QStringLiteral("docs.zip"))));
  QVERIFY(!QFile::exists(Prefix(QStringLiteral("bin/plugins"))));
  // The shipped manifest plug-in, once installed, ran from there.
  if (!QDir(ProgramFolder() + QStringLiteral("plugins")).entryList({QStringLiteral("*sha256*.so")}).isEmpty())
    QVERIFY(QFile::exists(FHome->Path(QStringLiteral("docs.zip.sha256"))));
}

void TestInstall::autoStartNamesTheLauncher()
{
  // Written for the installed program, the entry starts it through the launcher on PATH.
  QVERIFY(WriteAutoStart(QStringLiteral("Corvale"), ProgramFolder() + QStringLiteral("corvale"),
                         {QStringLiteral("/HIDE")}));
  const QString entry = AutoStartFileName(QStringLiteral("Corvale"));
  QVERIFY2(ReadText(entry).contains(QStringLiteral("\nExec=") + Prefix(QStringLiteral("bin/corvale")) +
                                    QStringLiteral(" /HIDE\n")),
           qPrintable(ReadText(entry)));
  const TRun validate = Run(QStringLiteral("desktop-file-validate"), {entry});
  QVERIFY2(validate.Status == 0 && validate.Output.isEmpty(), qPrintable(validate.Output));

  // A launcher that is not a link to the program is not taken for it.
  const QString copy = FHome->Path(QStringLiteral("copy/lib/corvale/corvale"));
  QVERIFY(QDir().mkpath(FHome->Path(QStringLiteral("copy/lib/corvale"))) &&
          QDir().mkpath(FHome->Path(QStringLiteral("copy/bin"))));
  QVERIFY(QFile::copy(ProgramFolder() + QStringLiteral("corvale"), copy));
  QVERIFY(QFile::link(ProgramFolder() + QStringLiteral("corvale"), FHome->Path(QStringLiteral("copy/bin/corvale"))));
  QVERIFY(WriteAutoStart(QStringLiteral("Corvale"), copy, {QStringLiteral("/HIDE")}));
  QVERIFY(ReadText(entry).contains(QStringLiteral("\nExec=") + copy + QStringLiteral(" /HIDE\n")));
  QVERIFY(RemoveAutoStart(QStringLiteral("Corvale")));
}

void TestInstall::desktopFilesValidate()
{
  const TRun menu =
      Run(QStringLiteral("desktop-file-validate"), {Prefix(QStringLiteral("share/applications/corvale.desktop"))});
  QVERIFY2(menu.Status == 0 && menu.Output.isEmpty(), qPrintable(menu.Output));
  // The metainfo, and with it the menu entry it launches and the icon the catalogue shows.
  const TRun tree =
      Run(QStringLiteral("appstreamcli"), {QStringLiteral("validate-tree"), QStringLiteral("--no-net"), Prefix()});
  QVERIFY2(tree.Status == 0, qPrintable(tree.Output));
}

void TestInstall::iconIsFoundByName()
{
  // The theme's description comes with the system (hicolor-icon-theme); the icon from the prefix.
  QIcon::setThemeSearchPaths({Prefix(QStringLiteral("share/icons")), QStringLiteral("/usr/share/icons")});
  QVERIFY(QFile::exists(QStringLiteral("/usr/share/icons/hicolor/index.theme")));
  QIcon::setThemeName(QStringLiteral("hicolor"));
  const QIcon icon = QIcon::fromTheme(QStringLiteral("corvale"));
  QVERIFY(!icon.isNull());
  for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    QVERIFY2(icon.availableSizes().contains(QSize(size, size)), qPrintable(QString::number(size)));
    QCOMPARE(icon.pixmap(size).size(), QSize(size, size));
  }
}

void TestInstall::pluginInterfaceBuilds()
{
  if (!QFile::exists(QStringLiteral(SOURCE_FOLDER "/notify/corvale-plugin.h")))
    QSKIP("this tree has no plug-in header yet");
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("PKG_CONFIG_PATH"), Prefix(QStringLiteral("share/pkgconfig")));
  const TRun folder = Run(QStringLiteral("pkg-config"),
                          {QStringLiteral("--variable=plugindir"), QStringLiteral("corvale-plugin")}, environment);
  QCOMPARE(folder.Status, 0);
  QCOMPARE(QFileInfo(folder.Output.trimmed()).canonicalFilePath(),
           QFileInfo(ProgramFolder() + QStringLiteral("plugins")).canonicalFilePath());
  const TRun flags =
      Run(QStringLiteral("pkg-config"), {QStringLiteral("--cflags"), QStringLiteral("corvale-plugin")}, environment);
  QCOMPARE(flags.Status, 0);

  // A third party's source that includes the installed header compiles with those flags alone.
  const QString source = FHome->Path(QStringLiteral("plugin.cpp"));
  QFile file(source);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write("#include <corvale-plugin.h>\n");
  file.close();
  const TRun compile = Run(QStringLiteral(CXX_COMPILER),
                           QStringList{QStringLiteral("-std=c++20"), QStringLiteral("-fsyntax-only"), source} +
                               flags.Output.trimmed().split(QLatin1Char(' '), Qt::SkipEmptyParts));
  QVERIFY2(compile.Status == 0, qPrintable(compile.Output));
}

void TestInstall::versionsAgree()
{
  // The version is written by hand in three places besides the build.
  const QString version = QStringLiteral(CORVALE_VERSION);
  const QString metainfo = ReadText(Prefix(QStringLiteral("share/metainfo/com.quenfield.Corvale.metainfo.xml")));
  QCOMPARE(QRegularExpression(QStringLiteral("<release version=\"([^\"]+)\"")).match(metainfo).captured(1), version);
  const QString changelog = ReadText(QStringLiteral(SOURCE_FOLDER "/packaging/debian/changelog"));
  QCOMPARE(QRegularExpression(QStringLiteral("^corvale \\(([^-)]+)")).match(changelog).captured(1), version);
  for (const QString& page : {QStringLiteral("corvale.1"), QStringLiteral("corvale-cli.1")}) {
    const QString text = ReadText(QStringLiteral(SOURCE_FOLDER "/packaging/man/") + page);
    QVERIFY2(text.contains(QStringLiteral("\"Corvale ") + version + QLatin1Char('"')), qPrintable(page));
  }
}

QTEST_MAIN(TestInstall)
#include "tst_install.moc"
