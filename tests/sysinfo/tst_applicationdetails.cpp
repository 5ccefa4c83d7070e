// SPDX-License-Identifier: GPL-3.0-or-later
// Discovery of mail programs, browsers and the user's folders on fake home folders built here
// with the real file formats.
#include "sysinfo/TBrowserApplicationDetails.h"
#include "sysinfo/TEmailApplicationDetails.h"
#include "sysinfo/TProcessCommandRunner.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

namespace {

// Answers "xdg-mime query default" from a table and records nothing else.
class TFakeRunner : public TCommandRunner
{
public:
  QMap<QString, QString> FDefaults;
  bool Run(const QString& AProgram, const QStringList& AArguments, const QStringList&, QString& AOutput) override
  {
    if (AProgram != QStringLiteral("xdg-mime") || !FDefaults.contains(AArguments.value(2)))
      return false;
    AOutput = FDefaults.value(AArguments.value(2)) + QLatin1Char('\n');
    return true;
  }
};

void WriteFile(const QString& APath, const QByteArray& AContent)
{
  QVERIFY(QDir().mkpath(QFileInfo(APath).path()));
  QFile file(APath);
  QVERIFY(file.open(QIODevice::WriteOnly));
  QCOMPARE(file.write(AContent), AContent.size());
}

void MakePlaces(const QString& AFileName)
{
  QVERIFY(QDir().mkpath(QFileInfo(AFileName).path()));
  sqlite3* db = nullptr;
  QCOMPARE(sqlite3_open(QFile::encodeName(AFileName).constData(), &db), SQLITE_OK);
  QCOMPARE(sqlite3_exec(db,
                        "CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url TEXT);"
                        "CREATE TABLE moz_bookmarks (id INTEGER PRIMARY KEY, fk INTEGER, title TEXT);"
                        "INSERT INTO moz_places VALUES (1, 'https://example.org/');"
                        "INSERT INTO moz_bookmarks VALUES (1, 1, 'Example');",
                        nullptr, nullptr, nullptr),
           SQLITE_OK);
  sqlite3_close(db);
}

QByteArray DesktopFile(const QByteArray& AName, const QByteArray& AExec, bool AHidden = false)
{
  return "[Desktop Entry]\nType=Application\nName=" + AName + "\nName[de]=" + AName + "\nExec=" + AExec + "\n" +
         (AHidden ? "Hidden=true\n" : "") + "\n[Desktop Action new-window]\nExec=ignored-program\n";
}

} // namespace

class TestApplicationDetails : public QObject
{
  Q_OBJECT

  QTemporaryDir FDir;
  QString FHome;
  TFakeRunner FRunner;

  TSystemSources Sources(const QStringList& AExtra = {}) const
  {
    return TSystemSources(FHome,
                          QStringList{QStringLiteral("HOME=") + FHome,
                                      QStringLiteral("XDG_DATA_DIRS=") + FHome + "/usr/share",
                                      QStringLiteral("PATH=") + FHome + "/bin:/nonexistent"} +
                              AExtra,
                          FHome + "/dpkg-status", {}, const_cast<TFakeRunner&>(FRunner));
  }

private slots:
  void initTestCase()
  {
    QVERIFY(FDir.isValid());
    FHome = FDir.path() + "/home";
    QVERIFY(QDir().mkpath(FHome));
  }

  void commandRulesClassifyWindowsAndDesktopPrograms()
  {
    using E = TEmailApplicationDetails;
    QCOMPARE(E::ClassifyMailCommand("\"C:\\Program Files\\Microsoft Office\\outlook.exe\" -c IPM.Note %1"), eaOutlook);
    QCOMPARE(E::ClassifyMailCommand("C:\\Office\\OUTLOOK.EXE/m %1"), eaOutlook);
    QCOMPARE(E::ClassifyMailCommand("\"C:\\Program Files\\Windows Mail\\WinMail.exe\" /mailurl:%1"), eaWindowsMail);
    QCOMPARE(E::ClassifyMailCommand("C:\\x\\notmail.exe %1"), eaUnknown);
    QCOMPARE(E::ClassifyMailCommand("thunderbird -compose %u"), eaThunderbird);
    QCOMPARE(E::ClassifyMailCommand("/usr/bin/flatpak run --branch=stable --command=thunderbird "
                                    "--file-forwarding org.mozilla.Thunderbird @@u %u @@"),
             eaThunderbird);
    QCOMPARE(E::ClassifyMailCommand("evolution %U"), eaEvolution);
    QCOMPARE(E::ClassifyMailCommand("xdg-email %u"), eaUnknown);

    using B = TBrowserApplicationDetails;
    QCOMPARE(B::ClassifyBrowserCommand("\"C:\\Program Files\\Internet Explorer\\iexplore.exe\" %1"), baIE);
    // A later name in the rule's order wins over an earlier one.
    QCOMPARE(B::ClassifyBrowserCommand("C:\\x\\iexplore.exe-firefox.exe"), baFirefox);
    QCOMPARE(B::ClassifyBrowserCommand("/usr/lib/firefox-esr/firefox-esr %u"), baFirefox);
    QCOMPARE(B::ClassifyBrowserCommand("env BAMF_DESKTOP_FILE_HINT=/var/lib/snapd/desktop/applications/"
                                       "firefox_firefox.desktop /snap/bin/firefox %u"),
             baFirefox);
    QCOMPARE(B::ClassifyBrowserCommand("/usr/bin/chromium %U"), baChromium);
    QCOMPARE(B::ClassifyBrowserCommand("/usr/bin/google-chrome-stable %U"), baChrome);
    QCOMPARE(B::ClassifyBrowserCommand("/usr/bin/flatpak run --command=chrome com.google.Chrome @@u %U @@"), baChrome);
    QCOMPARE(B::ClassifyBrowserCommand("epiphany %U"), baUnknown);
  }

  void mozillaProfilesFollowTheirSections()
  {
    const QString firefox = FHome + "/.mozilla/firefox";
    const QString absolute = FDir.path() + "/elsewhere/abs.default";
    WriteFile(firefox + "/profiles.ini",
              "[Install4F96D1932A9F858E]\nDefault=Profiles/abc.default\n\n[General]\nStartWithLastProfile=1\n\n"
              "[Profile0]\nName=default\nIsRelative=1\nPath=Profiles/abc.default\n\n"
              "[Profile1]\nName=work\nPath=xyz.work\nDefault=1\n\n"
              "[Profile2]\nName=default\nIsRelative=0\nPath=" +
                  absolute.toUtf8() + "\n");
    MakePlaces(absolute + "/places.sqlite");
    MakePlaces(firefox + "/xyz.work/places.sqlite");
    // A flatpak install adds its own profiles after the native ones.
    WriteFile(FHome + "/.var/app/org.mozilla.firefox/.mozilla/firefox/profiles.ini",
              "[Profile0]\nName=flat\nIsRelative=1\nPath=f.flat\n");

    const TSystemSources sources = Sources();
    const TBrowserApplicationDetails browsers(sources);
    QStringList profiles{"stale"};
    QVERIFY(browsers.GetFirefoxProfiles(&profiles));
    QCOMPARE(profiles, (QStringList{"default", "work", "default", "flat"}));
    QVERIFY(!browsers.GetFirefoxProfiles(nullptr));
    // The later of two equal names wins; an absolute path is taken as it stands.
    QCOMPARE(browsers.GetFirefoxBookmarksFileName("default"), absolute + "/places.sqlite");
    QCOMPARE(browsers.GetFirefoxBookmarksFileName("work"), firefox + "/xyz.work/places.sqlite");
    QCOMPARE(browsers.GetFirefoxBookmarksFileName("flat"),
             FHome + "/.var/app/org.mozilla.firefox/.mozilla/firefox/f.flat/places.sqlite");
    QCOMPARE(browsers.GetFirefoxBookmarksFileName("Default"), QString());
    QCOMPARE(browsers.GetFirefoxBookmarksFileName(QString()), QString());

    const QString thunderbird = FHome + "/.thunderbird";
    WriteFile(thunderbird + "/profiles.ini",
              "[General]\nStartWithLastProfile=1\n\n"
              "[Profile0]\nName=default-release\nIsRelative=1\nPath=k2.default-release\n\n"
              "[Profile1]\nName=gone\nIsRelative=1\nPath=never.made\n");
    WriteFile(thunderbird + "/k2.default-release/prefs.js", "user_pref(\"mail.server.server1.name\", \"x\");\n");
    WriteFile(thunderbird + "/k2.default-release/Mail/Local Folders/Inbox", "From - Thu\n");
    const TEmailApplicationDetails mail(sources);
    QVERIFY(mail.GetThunderbirdProfiles(profiles));
    QCOMPARE(profiles, (QStringList{"default-release", "gone"}));
    QStringList folders;
    QVERIFY(mail.GetThunderbirdDataFolders(folders));
    QCOMPARE(folders, QStringList{thunderbird + "/k2.default-release/"});
  }

  void bookmarkAndMailFilesAreFoundOnlyWhenPresent()
  {
    const TSystemSources sources = Sources({"XDG_CONFIG_HOME=" + FHome + "/cfg"});
    const TBrowserApplicationDetails browsers(sources);
    const TEmailApplicationDetails mail(sources);
    QCOMPARE(browsers.GetChromeBookmarksFileName(), QString());
    QCOMPARE(browsers.GetChromiumBookmarksFileName(), QString());
    QCOMPARE(mail.GetEvolutionDataFolder(), QString());

    const QByteArray bookmarks =
        R"({"checksum":"0","roots":{"bookmark_bar":{"children":[{"name":"Example",)"
        R"("type":"url","url":"https://example.org/"}],"name":"Bookmarks bar","type":"folder"}},)"
        R"("version":1})";
    WriteFile(FHome + "/cfg/google-chrome/Default/Bookmarks", bookmarks);
    WriteFile(FHome + "/snap/chromium/common/chromium/Default/Bookmarks", bookmarks);
    WriteFile(FHome + "/.local/share/evolution/mail/local/cur/1.eml", "Subject: x\n\nbody\n");
    QCOMPARE(browsers.GetChromeBookmarksFileName(), FHome + "/cfg/google-chrome/Default/Bookmarks");
    QCOMPARE(browsers.GetChromiumBookmarksFileName(), FHome + "/snap/chromium/common/chromium/Default/Bookmarks");
    QCOMPARE(mail.GetEvolutionDataFolder(), FHome + "/.local/share/evolution/mail/");

    // The programs of the other desktop are never found here.
    QStringList files{"x"};
    QVERIFY(!mail.GetOutlookDataFiles(files));
    QVERIFY(files.isEmpty());
    QCOMPARE(browsers.GetSafariBookmarksFileName(), QString());
    QCOMPARE(browsers.GetIEFavoritesFolder(), QString());
  }

  void defaultAndInstalledProgramsComeFromDesktopEntries()
  {
    const QString apps = FHome + "/.local/share/applications";
    WriteFile(apps + "/thunderbird.desktop", DesktopFile("Thunderbird", "thunderbird %u"));
    WriteFile(apps + "/firefox-esr.desktop", DesktopFile("Firefox", "firefox-esr %u"));
    // A user's Hidden entry removes the system one of the same ID.
    WriteFile(apps + "/chromium.desktop", DesktopFile("Chromium", "chromium %U", true));
    WriteFile(FHome + "/usr/share/applications/chromium.desktop", DesktopFile("Chromium", "chromium %U"));
    WriteFile(FHome + "/usr/share/applications/org.gnome/Evolution.desktop", DesktopFile("Evolution", "evolution %U"));
    WriteFile(FHome + "/.config/mimeapps.list", "[Default Applications]\nx-scheme-handler/mailto=thunderbird.desktop\n"
                                                "x-scheme-handler/http=firefox-esr.desktop\n");

    // xdg-mime accepts a handler only when its program is on PATH.
    for (const QString program : {"thunderbird", "firefox-esr"}) {
      WriteFile(FHome + "/bin/" + program, "#!/bin/sh\n");
      QVERIFY(QFile::setPermissions(FHome + "/bin/" + program, QFile::ReadOwner | QFile::ExeOwner));
    }
    {
      // The real xdg-mime reading the fake home's mimeapps.list.
      TProcessCommandRunner runner;
      const QStringList environment{"HOME=" + FHome,
                                    "XDG_DATA_DIRS=" + FHome + "/usr/share",
                                    "XDG_CONFIG_HOME=" + FHome + "/.config",
                                    "XDG_CONFIG_DIRS=" + FHome + "/etc",
                                    "XDG_DATA_HOME=" + FHome + "/.local/share",
                                    "PATH=" + FHome + "/bin:/usr/bin:/bin"};
      const TSystemSources sources(FHome, environment, QString(), {}, runner);
      QCOMPARE(TEmailApplicationDetails(sources).DefaultMailApplication(), eaThunderbird);
      QCOMPARE(TBrowserApplicationDetails(sources).DefaultBrowserApplication(), baFirefox);
      QCOMPARE(TEmailApplicationDetails(sources).InstalledMailApplications(),
               (TEmailApplicationsSet{eaThunderbird, eaEvolution}));
      QCOMPARE(TBrowserApplicationDetails(sources).InstalledBrowserApplications(), TBrowserApplicationsSet{baFirefox});
    }
    {
      // A flatpak export named by a desktop ID whose dash is a sub-folder; no handler at all.
      const QString exports = FDir.path() + "/exports";
      WriteFile(exports + "/applications/com/google.Chrome.desktop",
                DesktopFile("Chrome", "/usr/bin/flatpak run --command=chrome com.google.Chrome @@u %U @@"));
      FRunner.FDefaults = {{"x-scheme-handler/http", "com-google.Chrome.desktop"}};
      const TSystemSources sources(FHome, {"HOME=" + FHome}, QString(), {exports}, FRunner);
      QCOMPARE(TBrowserApplicationDetails(sources).DefaultBrowserApplication(), baChrome);
      QCOMPARE(TEmailApplicationDetails(sources).DefaultMailApplication(), eaUnknown);
      FRunner.FDefaults = {{"x-scheme-handler/http", "missing.desktop"}};
      QCOMPARE(TBrowserApplicationDetails(sources).DefaultBrowserApplication(), baUnknown);
    }
  }

  void userFoldersEnvironmentAndPackages()
  {
    WriteFile(FHome + "/.config/user-dirs.dirs",
              "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
              "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\nXDG_PICTURES_DIR=\"/srv/pictures/\"\n"
              "XDG_MUSIC_DIR=\"$HOME/\"\n");
    const TSystemSources sources = Sources({"Path=lower", "USERPROFILE=/home/u"});
    const TSystemApplicationDetails details(sources);
    QCOMPARE(details.GetDesktopFolder(), FHome + "/Desktop/");
    QCOMPARE(details.GetMyDocumentsFolder(), FHome + "/Dokumente/");
    QCOMPARE(details.GetMyPicturesFolder(), QString("/srv/pictures/"));
    QCOMPARE(details.GetMyMusicFolder(), QString()); // the home folder itself means "switched off"
    QCOMPARE(details.GetMyVideoFolder(), QString());
    QCOMPARE(details.GetRoamingAppDataFolder(), FHome + "/.local/share/");
    QCOMPARE(details.GetLocalAppDataFolder(), FHome + "/.config/");

    QCOMPARE(details.DecodeEnvironmentVariables("%UserProfile%\\x"), QString("%UserProfile%\\x"));
    QCOMPARE(details.DecodeEnvironmentVariables("%USERPROFILE%/x %Path%"), QString("/home/u/x lower"));
    QStringList variables;
    details.GetEnvironmentVariables(&variables);
    QCOMPARE(variables, sources.Environment());
    details.GetEnvironmentVariables(nullptr);

    WriteFile(FHome + "/bin/firefox", "#!/bin/sh\n");
    QVERIFY(QFile::setPermissions(FHome + "/bin/firefox", QFile::ReadOwner | QFile::ExeOwner));
    WriteFile(FHome + "/bin/notes", "text\n");
    QString path = "unchanged";
    QVERIFY(!details.GetApplicationPath("notes", path));
    QVERIFY(!details.GetApplicationPath("firefox.exe", path));
    QCOMPARE(path, QString("unchanged"));
    QVERIFY(details.GetApplicationPath("firefox", path));
    QCOMPARE(path, FHome + "/bin/");

    QStringList packages;
    QVERIFY(!details.GetInstalledApplications(packages));
    WriteFile(FHome + "/dpkg-status", "Package: adduser\nStatus: install ok installed\nPriority: important\n"
                                      "Version: 3.134\nDescription: add and remove users\n multi-line text\n"
                                      " Version: 9\n\nPackage: removed-one\nStatus: deinstall ok config-files\n"
                                      "Version: 1.0\n\nPackage: firefox-esr\nStatus: install ok installed\n"
                                      "Version: 115.6.0esr-1~deb12u1\n\nPackage: noversion\n"
                                      "Status: install ok installed\n");
    QVERIFY(details.GetInstalledApplications(packages));
    QCOMPARE(packages,
             (QStringList{"adduser=Version 3.134", "firefox-esr=Version 115.6.0esr-1~deb12u1", "noversion="}));
  }

  void fileSearchEntersHiddenAndLinkedFoldersOnce()
  {
    const QString root = FDir.path() + "/search";
    WriteFile(root + "/a.pst", "x");
    WriteFile(root + "/.hidden/b.PST", "x");
    WriteFile(root + "/sub/c.txt", "x");
    QVERIFY(QFile::link(root, root + "/sub/loop"));
    const TSystemSources sources = Sources();
    const TSystemApplicationDetails details(sources);
    QStringList files{"kept"};
    details.FileSearch(root, "*.pst", true, files);
    files.sort();
    QCOMPARE(files, (QStringList{root + "/.hidden/b.PST", root + "/a.pst", "kept"}));
    files.clear();
    details.FileSearch(root + "/", "*.pst", false, files);
    QCOMPARE(files, QStringList{root + "/a.pst"});
  }
};

QTEST_GUILESS_MAIN(TestApplicationDetails)
#include "tst_applicationdetails.moc"
