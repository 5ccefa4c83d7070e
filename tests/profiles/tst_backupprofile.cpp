// SPDX-License-Identifier: GPL-3.0-or-later
#include "profiles/TBackupProfile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString ProgramKey = QStringLiteral("\\Software\\Quenfield\\Orvel");

void PlaceInProgramKey(TBackupProfile& AProfile, const QString& AName)
{
  AProfile.SetRegistryKey(ProgramKey);
  AProfile.SetProfileName(AName);
}

} // namespace

class TestBackupProfile : public QObject
{
  Q_OBJECT

private slots:
  void init();
  void newProfileHasItsInitialValues();
  void entryListsMergeWithoutRegardToCase();
  void activeProgramsSplitAtTheFirstEquals();
  void loadDefaultsWithoutAnyDefaultEmptiesTheLists();
  void defaultsMoveExactlyFiveFields();
  void machineDefaultComesFirst();
  void machineDefaultIsReadWhereItCannotBeWritten();
  void damagedDefaultDoesNotStopNewProfiles();

private:
  std::unique_ptr<QTemporaryDir> FHome;
};

void TestBackupProfile::init()
{
  FHome = std::make_unique<QTemporaryDir>();
  QVERIFY(FHome->isValid());
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(FHome->filePath(QStringLiteral("home"))));
  qputenv("XDG_CONFIG_DIRS", QFile::encodeName(FHome->filePath(QStringLiteral("etc"))));
}

void TestBackupProfile::newProfileHasItsInitialValues()
{
  const TBackupProfile p;
  QCOMPARE(p.ProfileVersion(), -1);
  QVERIFY(p.Enabled() && p.ShowAlerts() && p.CloseGracefully());
  QCOMPARE(p.RootKey(), HKEY_CURRENT_USER);
  QCOMPARE(p.ZipType(), zSeven);
  QCOMPARE(p.CompressionLevel(), clMaximum);
  QCOMPARE(p.SpanningSize(), 2097152000);
  QCOMPARE(p.AlertDays(), 7);
  QVERIFY(p.ProfileName().isEmpty() && p.RegistryKey().isEmpty());
  QVERIFY(p.Password().isEmpty() && p.Description().isEmpty() && p.ZipFile().isEmpty() && p.LogFile().isEmpty());
  QCOMPARE(p.LastBackup(), 0.0);
  QCOMPARE(p.AlertEmailLastRun(), 0.0);
  QCOMPARE(p.Files().Count(), 0);
  QCOMPARE(p.FileExclusions().Count(), 0);
  QVERIFY(p.ActivePrograms().isEmpty());
  QVERIFY(!p.CustomSMTPSettings() && !p.AlertEmailEnabled() && !p.LogEmailEnabled() && !p.SystemState());
  QCOMPARE(p.SMTPSettings().Port, 0);
  QVERIFY(!p.SMTPSettings().Authentication && !p.SMTPSettings().Secure);
  QVERIFY(p.AlertEmailDetails().Recipients.isEmpty() && p.LogEmailDetails().Body.isEmpty());
  QVERIFY(!p.IsDamaged());
}

void TestBackupProfile::entryListsMergeWithoutRegardToCase()
{
  TBackupProfileFiles files;
  TBackupProfileFile* first = files.Add(QStringLiteral("C:\\Data"), QStringLiteral("*.doc"), false);
  QVERIFY(first);
  TBackupProfileFile* again = files.Add(QStringLiteral("c:\\data"), QStringLiteral("*.DOC"), true);
  QCOMPARE(again, first);
  QCOMPARE(files.Count(), 1);
  QCOMPARE(first->Folder(), QStringLiteral("c:\\data"));
  QCOMPARE(first->FileMask(), QStringLiteral("*.DOC"));
  QVERIFY(first->Recursive());

  // Same folder, other mask: a second entry; lookups find either spelling.
  files.Add(QStringLiteral("c:\\data"), QStringLiteral("*.xls"), false);
  QCOMPARE(files.Count(), 2);
  QCOMPARE(files.IndexByName(QStringLiteral("C:\\DATA"), QStringLiteral("*.Xls")), 1);
  QCOMPARE(files.IndexByName(QStringLiteral("C:\\DATA"), QStringLiteral("*.txt")), -1);
  QVERIFY(!files.ItemByName(QStringLiteral("D:\\"), QStringLiteral("*.*")));

  // Blank folders are ignored; the arguments are kept untrimmed otherwise.
  QVERIFY(!files.Add(QStringLiteral("   \t"), QStringLiteral("*.*"), true));
  QVERIFY(!files.Add(QString(), QStringLiteral("*.*"), true));
  QCOMPARE(files.Count(), 2);
  QCOMPARE(files.Add(QStringLiteral(" /srv "), QStringLiteral("*.*"), false)->Folder(), QStringLiteral(" /srv "));
}

void TestBackupProfile::activeProgramsSplitAtTheFirstEquals()
{
  QCOMPARE(TBackupProfile::ActiveProgramCaption(QStringLiteral("a=b=c")), QStringLiteral("a"));
  QCOMPARE(TBackupProfile::ActiveProgramClass(QStringLiteral("a=b=c")), QStringLiteral("b=c"));
  QCOMPARE(TBackupProfile::ActiveProgramCaption(QStringLiteral("=Class")), QString());
  QCOMPARE(TBackupProfile::ActiveProgramClass(QStringLiteral("=Class")), QStringLiteral("Class"));
  QCOMPARE(TBackupProfile::ActiveProgramCaption(QStringLiteral("Caption")), QStringLiteral("Caption"));
  QCOMPARE(TBackupProfile::ActiveProgramClass(QStringLiteral("Caption")), QString());
}

void TestBackupProfile::loadDefaultsWithoutAnyDefaultEmptiesTheLists()
{
  TBackupProfile p;
  PlaceInProgramKey(p, QStringLiteral("Daily"));
  p.Files().Add(QStringLiteral("/home"), QStringLiteral("*.*"), true);
  p.FileExclusions().Add(QStringLiteral("/home/tmp"), QStringLiteral("*.*"), true);
  p.SetDescription(QStringLiteral("kept"));
  p.SetAlertDays(3);
  p.LoadDefaults();
  QCOMPARE(p.Files().Count(), 0);
  QCOMPARE(p.FileExclusions().Count(), 0);
  QCOMPARE(p.ProfileName(), QStringLiteral("Daily"));
  QCOMPARE(p.RegistryKey(), ProgramKey);
  QCOMPARE(p.RootKey(), HKEY_CURRENT_USER);
  QCOMPARE(p.Description(), QStringLiteral("kept"));
  QCOMPARE(p.AlertDays(), 3);
  QCOMPARE(p.ProfileVersion(), -1);
}

void TestBackupProfile::defaultsMoveExactlyFiveFields()
{
  TBackupProfile source;
  PlaceInProgramKey(source, QStringLiteral("Source"));
  source.SetPassword(QStringLiteral("pw"));
  source.SetShowAlerts(false);
  source.SetAlertDays(3);
  source.ActivePrograms() = QStringList{QStringLiteral("Mail=MailWindow"), QStringLiteral("Editor=Ed")};
  source.SetCloseGracefully(false);
  source.SetDescription(QStringLiteral("source description"));
  source.SetZipFile(QStringLiteral("/backup/source.7z"));
  source.AlertEmailDetails().Recipients = QStringLiteral("source@example.org");
  QVERIFY(source.SaveAsDefaults());

  TBackupProfile target;
  PlaceInProgramKey(target, QStringLiteral("Target"));
  target.SetDescription(QStringLiteral("mine"));
  target.SetZipFile(QStringLiteral("/backup/mine.zip"));
  target.SetZipType(zZip);
  target.SetLogEmailEnabled(true);
  target.AlertEmailDetails().Recipients = QStringLiteral("me@example.org");
  target.LoadDefaults();
  QCOMPARE(target.Password(), QStringLiteral("pw"));
  QVERIFY(!target.ShowAlerts());
  QCOMPARE(target.AlertDays(), 3);
  QCOMPARE(target.ActivePrograms(), source.ActivePrograms());
  QVERIFY(!target.CloseGracefully());
  QCOMPARE(target.Description(), QStringLiteral("mine"));
  QCOMPARE(target.ZipFile(), QStringLiteral("/backup/mine.zip"));
  QCOMPARE(target.ZipType(), zZip);
  QVERIFY(target.LogEmailEnabled());
  QCOMPARE(target.AlertEmailDetails().Recipients, QStringLiteral("me@example.org"));
  QCOMPARE(target.ProfileName(), QStringLiteral("Target"));

  // The default profile is written complete, the rest at initial values; no machine key.
  TRegistry reg;
  QVERIFY(reg.OpenKeyReadOnly(ProgramKey + QStringLiteral("\\.Default")));
  QCOMPARE(reg.ReadString(QStringLiteral("Description")), QString());
  QCOMPARE(reg.ReadInteger(QStringLiteral("ZipType")), int(zSeven));
  QCOMPARE(reg.ReadInteger(QStringLiteral("AlertDays")), 3);
  TRegistry machine(HKEY_USERS);
  QVERIFY(!machine.KeyExists(QStringLiteral("\\.Default")));
}

void TestBackupProfile::machineDefaultComesFirst()
{
  {
    TRegistry admin(HKEY_USERS);
    QVERIFY(admin.OpenKey(QStringLiteral("\\.Default\\Software\\Quenfield\\Orvel\\.Default"), true));
    admin.WriteString(QStringLiteral("Description"), QStringLiteral("machine"));
    admin.WriteInteger(QStringLiteral("ZipType"), zZip);
    admin.WriteInteger(QStringLiteral("AlertDays"), 14);
    admin.WriteString(QStringLiteral("Password"), QStringLiteral("readable by all"));
    QVERIFY(admin.OpenKey(QStringLiteral("\\.Default\\Software\\Quenfield\\Orvel\\.Default\\Files\\0"), true));
    admin.WriteString(QStringLiteral("folder"), QStringLiteral("/srv"));
    admin.WriteString(QStringLiteral("filemask"), QStringLiteral("*.*"));
    admin.WriteBool(QStringLiteral("recursive"), true);
  }
  TBackupProfile p;
  PlaceInProgramKey(p, QStringLiteral("Daily"));
  QStringList log;
  p.OnLog = [&log](QObject*, const QString& AMessage) { log << AMessage; };
  p.LoadDefaults();
  QCOMPARE(p.Description(), QStringLiteral("machine"));
  // The machine-wide password is refused, with a message.
  QCOMPARE(p.Password(), QString());
  QVERIFY(log.contains(QStringLiteral(
      "The machine-wide default profile holds a password, which every user can read; it was not used.")));
  QCOMPARE(p.ZipType(), zZip);
  QCOMPARE(p.AlertDays(), 14);
  QCOMPARE(p.Files().Count(), 1);
  QCOMPARE(p.Files().GetItem(0)->Folder(), QStringLiteral("/srv"));
  QCOMPARE(p.ProfileName(), QStringLiteral("Daily"));
  QCOMPARE(p.RootKey(), HKEY_CURRENT_USER);
  QCOMPARE(p.RegistryKey(), ProgramKey);

  // The user's own default then overrides its five fields.
  TBackupProfile own;
  PlaceInProgramKey(own, QStringLiteral("Own"));
  own.SetAlertDays(2);
  QVERIFY(own.SaveAsDefaults());
  p.LoadDefaults();
  QCOMPARE(p.AlertDays(), 2);
  QCOMPARE(p.Description(), QStringLiteral("machine"));
}

void TestBackupProfile::machineDefaultIsReadWhereItCannotBeWritten()
{
  {
    TRegistry admin(HKEY_USERS);
    QVERIFY(admin.OpenKey(QStringLiteral("\\.Default\\Software\\Quenfield\\Orvel\\.Default\\Active Programs"), true));
    admin.WriteString(QStringLiteral("Mail"), QStringLiteral("MailWindow"));
    QVERIFY(admin.OpenKey(QStringLiteral("\\.Default\\Software\\Quenfield\\Orvel\\.Default\\AlertEmail"), true));
    admin.WriteString(QStringLiteral("Recipients"), QStringLiteral("admin@example.org"));
  }
  // An ordinary user cannot create keys in the machine's hive; what is there still loads.
  const QByteArray etc = QFile::encodeName(FHome->filePath(QStringLiteral("etc")));
  QCOMPARE(::chmod(QFile::encodeName(FHome->path()).constData(), 0755), 0);
  const pid_t child = ::fork();
  QVERIFY(child >= 0);
  if (child == 0) {
    if (::geteuid() == 0 && ::setuid(65534) != 0)
      ::_exit(10);
    if (::geteuid() != 0)
      ::chmod(QByteArray(etc + "/Corvale/registry.db").constData(), 0444);
    TRegistry probe(HKEY_USERS);
    if (probe.OpenKey(QStringLiteral("\\.Default\\Software\\Quenfield\\Orvel\\.Default\\LogEmail"), true))
      ::_exit(1);
    TBackupProfile p;
    PlaceInProgramKey(p, QStringLiteral("Daily"));
    p.LoadDefaults();
    if (p.ActivePrograms() != QStringList{QStringLiteral("Mail=MailWindow")})
      ::_exit(2);
    if (p.AlertEmailDetails().Recipients != QStringLiteral("admin@example.org"))
      ::_exit(3);
    ::_exit(0);
  }
  int status = 0;
  QCOMPARE(::waitpid(child, &status, 0), child);
  QVERIFY(WIFEXITED(status));
  QCOMPARE(WEXITSTATUS(status), 0);
}

void TestBackupProfile::damagedDefaultDoesNotStopNewProfiles()
{
  TBackupProfile own;
  PlaceInProgramKey(own, QStringLiteral("Own"));
  own.SetPassword(QStringLiteral("pw"));
  QVERIFY(own.SaveAsDefaults());
  {
    TRegistry reg;
    QVERIFY(reg.OpenKey(ProgramKey + QStringLiteral("\\.Default"), false));
    reg.WriteString(QStringLiteral("AlertDays"), QStringLiteral("seven"));
  }
  QStringList lines;
  TBackupProfile p;
  PlaceInProgramKey(p, QStringLiteral("Daily"));
  p.OnLog = [&lines](QObject*, const QString& AMessage) { lines << AMessage; };
  p.LoadDefaults();
  QVERIFY(lines.contains(QStringLiteral("Failed to load profile: .Default, Error: Invalid data type for 'AlertDays'")));
  QVERIFY(p.Password().isEmpty()); // nothing copied from a default that did not load
  QVERIFY(!p.IsDamaged());
  QCOMPARE(p.ProfileName(), QStringLiteral("Daily"));
}

QTEST_GUILESS_MAIN(TestBackupProfile)
#include "tst_backupprofile.moc"
