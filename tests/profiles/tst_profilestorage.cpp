// SPDX-License-Identifier: GPL-3.0-or-later
#include "profiles/TBackupProfile.h"
#include "profiles/TBackupProfileManager.h"
#include "sysinfo/DateTime.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <bit>
#include <cstring>

namespace {

const QString ProgramKey = QStringLiteral("\\Software\\Quenfield\\Orvel");

QString Key(const QString& ASubKey)
{
  return ProgramKey + QLatin1Char('\\') + ASubKey;
}

void Place(TBackupProfile& AProfile, const QString& AName)
{
  AProfile.SetRegistryKey(ProgramKey);
  AProfile.SetProfileName(AName);
}

void Configure(TBackupProfileManager& AManager)
{
  AManager.SetRootKey(HKEY_CURRENT_USER);
  AManager.SetRegistryKey(ProgramKey);
}

QStringList KeyNames(const QString& AKey)
{
  TRegistry reg;
  return reg.OpenKeyReadOnly(AKey) ? reg.GetKeyNames() : QStringList{QStringLiteral("<missing>")};
}

QStringList Folders(const TBackupProfileFiles& AFiles)
{
  QStringList folders;
  for (int i = 0; i < AFiles.Count(); ++i)
    folders << AFiles.GetItem(i)->Folder();
  return folders;
}

} // namespace

class TestProfileStorage : public QObject
{
  Q_OBJECT

private slots:
  void init();
  void layoutValueByValue();
  void roundTripKeepsEveryField();
  void shrunkListLeavesOneEntryKey();
  void entriesReloadInRegistryOrder();
  void loadTakesWhatIsThereAndLeavesTheRest();
  void emptyNamesAndMissingKeys();
  void namesFollowTheRegistry();
  void damagedProfileDoesNotEndTheLoad();

private:
  std::unique_ptr<QTemporaryDir> FHome;
};

void TestProfileStorage::init()
{
  FHome = std::make_unique<QTemporaryDir>();
  QVERIFY(FHome->isValid());
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(FHome->filePath(QStringLiteral("home"))));
  qputenv("XDG_CONFIG_DIRS", QFile::encodeName(FHome->filePath(QStringLiteral("etc"))));
}

void TestProfileStorage::layoutValueByValue()
{
  const TDateTime lastBackup = DateTimeFromQDateTime(QDateTime(QDate(2015, 7, 1), QTime(14, 0)));
  TBackupProfile p;
  Place(p, QStringLiteral("Daily"));
  p.SetEnabled(false);
  p.SetPassword(QStringLiteral("pw"));
  p.SetDescription(QStringLiteral("Line one\r\nLine two"));
  p.SetZipFile(QStringLiteral("/backup/daily.zip"));
  p.SetZipType(zZip);
  p.SetLastBackup(lastBackup);
  p.SetAlertDays(5);
  p.SetSpanningSize(1048576);
  p.SetCompressionLevel(clLow);
  p.Files().Add(QStringLiteral("/home/ann"), QStringLiteral("*.odt"), true);
  p.FileExclusions().Add(QStringLiteral("/home/ann/tmp"), QStringLiteral("*.*"), false);
  p.ActivePrograms() = QStringList{QStringLiteral("Inbox - Mail=MailMainWindow"), QStringLiteral("=NoCaption")};
  p.SMTPSettings().Port = 25;
  p.SMTPSettings().Secure = true;
  p.LogEmailDetails().Body = QStringLiteral("a\r\nb");
  QVERIFY(p.SaveProfile());

  TRegistry reg;
  QVERIFY(reg.OpenKeyReadOnly(Key(QStringLiteral("Daily"))));
  QCOMPARE(reg.GetValueNames(),
           (QStringList{"ProfileVersion", "Enabled", "Password", "Description", "ZipFile", "ZipType", "LogFile",
                        "LastBackup", "ShowAlerts", "AlertDays", "CloseGracefully", "AlertEmailEnabled",
                        "AlertEmailLastRun", "LogEmailEnabled", "SpanningSize", "KeepArchives", "CompressionLevel",
                        "CustomSMTPSettings", "SystemState"}));
  const QStringList integers{"ProfileVersion", "Enabled",         "ZipType",           "ShowAlerts",
                             "AlertDays",      "CloseGracefully", "AlertEmailEnabled", "LogEmailEnabled",
                             "SpanningSize",   "KeepArchives",    "CompressionLevel",  "CustomSMTPSettings",
                             "SystemState"};
  for (const QString& name : integers)
    QVERIFY2(reg.GetDataType(name) == rdInteger, qPrintable(name));
  for (const QString& name : QStringList{"Password", "Description", "ZipFile", "LogFile"})
    QVERIFY2(reg.GetDataType(name) == rdString, qPrintable(name));
  QCOMPARE(reg.ReadInteger(QStringLiteral("ProfileVersion")), 1);
  QCOMPARE(reg.ReadInteger(QStringLiteral("Enabled")), 0);
  QCOMPARE(reg.ReadInteger(QStringLiteral("ShowAlerts")), 1);
  QCOMPARE(reg.ReadInteger(QStringLiteral("ZipType")), 0);
  QCOMPARE(reg.ReadInteger(QStringLiteral("AlertDays")), 5);
  QCOMPARE(reg.ReadInteger(QStringLiteral("SpanningSize")), 1048576);
  QCOMPARE(reg.ReadInteger(QStringLiteral("KeepArchives")), 0); // a profile that keeps none
  QCOMPARE(reg.ReadInteger(QStringLiteral("CompressionLevel")), 1);
  QCOMPARE(reg.ReadString(QStringLiteral("Password")), QStringLiteral("pw"));
  QCOMPARE(reg.ReadString(QStringLiteral("Description")), QStringLiteral("Line one\r\nLine two"));
  // Dates: exactly 8 bytes, the little-endian IEEE-754 double.
  QCOMPARE(reg.GetDataType(QStringLiteral("LastBackup")), rdBinary);
  QByteArray expected(8, '\0');
  const quint64 bits = qToLittleEndian(std::bit_cast<quint64>(lastBackup));
  std::memcpy(expected.data(), &bits, 8);
  QCOMPARE(reg.ReadBinaryData(QStringLiteral("LastBackup")), expected);
  QCOMPARE(reg.ReadBinaryData(QStringLiteral("AlertEmailLastRun")), QByteArray(8, '\0'));
  QCOMPARE(reg.GetKeyNames(),
           (QStringList{"Active Programs", "AlertEmail", "FileExclusions", "Files", "LogEmail", "SMTPSettings"}));

  QVERIFY(reg.OpenKeyReadOnly(Key(QStringLiteral("Daily\\Files\\0"))));
  QCOMPARE(reg.GetValueNames(), (QStringList{"folder", "filemask", "recursive"}));
  QCOMPARE(reg.ReadString(QStringLiteral("folder")), QStringLiteral("/home/ann"));
  QCOMPARE(reg.ReadString(QStringLiteral("filemask")), QStringLiteral("*.odt"));
  QCOMPARE(reg.GetDataType(QStringLiteral("recursive")), rdInteger);
  QCOMPARE(reg.ReadInteger(QStringLiteral("recursive")), 1);
  QVERIFY(reg.OpenKeyReadOnly(Key(QStringLiteral("Daily\\FileExclusions\\0"))));
  QCOMPARE(reg.ReadInteger(QStringLiteral("recursive")), 0);

  // One string value per program; an empty caption is the key's unnamed value.
  QVERIFY(reg.OpenKeyReadOnly(Key(QStringLiteral("Daily\\Active Programs"))));
  QCOMPARE(reg.GetValueNames(), (QStringList{"Inbox - Mail", ""}));
  QCOMPARE(reg.ReadString(QStringLiteral("Inbox - Mail")), QStringLiteral("MailMainWindow"));
  QCOMPARE(reg.ReadString(QString()), QStringLiteral("NoCaption"));

  for (const QString& mail : {QStringLiteral("AlertEmail"), QStringLiteral("LogEmail")}) {
    QVERIFY(reg.OpenKeyReadOnly(Key(QStringLiteral("Daily\\") + mail)));
    QCOMPARE(reg.GetValueNames(), (QStringList{"Recipients", "SenderAddress", "SenderName", "Subject", "Body"}));
  }
  QCOMPARE(reg.ReadString(QStringLiteral("Body")), QStringLiteral("a\r\nb"));
  QVERIFY(reg.OpenKeyReadOnly(Key(QStringLiteral("Daily\\SMTPSettings"))));
  QCOMPARE(reg.GetValueNames(),
           (QStringList{"SMTPHostname", "SMTPPort", "Username", "Password", "SMTPAuthentication", "SMTPSecure"}));
  QCOMPARE(reg.GetDataType(QStringLiteral("SMTPPort")), rdInteger);
  QCOMPARE(reg.ReadInteger(QStringLiteral("SMTPAuthentication")), 0);
  QCOMPARE(reg.ReadInteger(QStringLiteral("SMTPSecure")), 1);

  // An empty program list writes no key.
  p.ActivePrograms().clear();
  QVERIFY(p.SaveProfile());
  QVERIFY(!reg.KeyExists(Key(QStringLiteral("Daily\\Active Programs"))));
}

void TestProfileStorage::roundTripKeepsEveryField()
{
  TBackupProfile p;
  Place(p, QStringLiteral("Weekly"));
  p.SetEnabled(false);
  p.SetPassword(QStringLiteral("pw"));
  p.SetDescription(QStringLiteral("x\r\ny"));
  p.SetZipType(zNTBackup);
  p.SetZipFile(QStringLiteral("/b/w.bkf"));
  p.SetLogFile(QStringLiteral("/l/Weekly.log"));
  p.SetLastBackup(42186.5);
  p.SetShowAlerts(false);
  p.SetAlertDays(30);
  p.SetCloseGracefully(false);
  p.SetAlertEmailLastRun(42185.25);
  p.SetLogEmailEnabled(true);
  p.SetSpanningSize(-1);
  p.SetKeepArchives(12);
  p.SetCompressionLevel(clNone);
  p.SetCustomSMTPSettings(true);
  p.SetSystemState(true);
  p.ActivePrograms() = QStringList{QStringLiteral("a=b=c"), QStringLiteral("=Anonymous")};
  p.SMTPSettings().Hostname = QStringLiteral("smtp");
  p.SMTPSettings().Port = 465;
  p.SMTPSettings().Secure = true;
  p.SMTPSettings().Username = QStringLiteral("u");
  p.SMTPSettings().Password = QStringLiteral("p");
  p.AlertEmailDetails().Subject = QStringLiteral("Overdue");
  p.LogEmailDetails().Recipients = QStringLiteral("r@example.org");
  QVERIFY(p.SaveProfile());

  TBackupProfile q;
  q.SetRegistryKey(ProgramKey);
  QVERIFY(q.LoadProfile(QStringLiteral("Weekly")));
  QCOMPARE(q.ProfileVersion(), 1);
  QCOMPARE(q.ProfileName(), QStringLiteral("Weekly"));
  QVERIFY(!q.Enabled() && !q.ShowAlerts() && !q.CloseGracefully());
  QCOMPARE(q.Password(), p.Password());
  QCOMPARE(q.Description(), p.Description());
  QCOMPARE(q.ZipType(), zNTBackup);
  QCOMPARE(q.ZipFile(), p.ZipFile());
  QCOMPARE(q.LogFile(), p.LogFile());
  QCOMPARE(q.LastBackup(), 42186.5);
  QCOMPARE(q.AlertDays(), 30);
  QCOMPARE(q.AlertEmailLastRun(), 42185.25);
  QVERIFY(q.LogEmailEnabled() && !q.AlertEmailEnabled());
  QCOMPARE(q.SpanningSize(), -1);
  QCOMPARE(q.KeepArchives(), 12);
  QCOMPARE(q.CompressionLevel(), clNone);
  QVERIFY(q.CustomSMTPSettings() && q.SystemState());
  QCOMPARE(q.ActivePrograms(), (QStringList{"a=b=c", "=Anonymous"}));
  QCOMPARE(q.SMTPSettings().Hostname, QStringLiteral("smtp"));
  QCOMPARE(q.SMTPSettings().Port, 465);
  QVERIFY(q.SMTPSettings().Secure && !q.SMTPSettings().Authentication);
  QCOMPARE(q.SMTPSettings().Username, QStringLiteral("u"));
  QCOMPARE(q.SMTPSettings().Password, QStringLiteral("p"));
  QCOMPARE(q.AlertEmailDetails().Subject, QStringLiteral("Overdue"));
  QCOMPARE(q.LogEmailDetails().Recipients, QStringLiteral("r@example.org"));
}

void TestProfileStorage::shrunkListLeavesOneEntryKey()
{
  TBackupProfile p;
  Place(p, QStringLiteral("Daily"));
  for (const QString& folder : {QStringLiteral("/a"), QStringLiteral("/b"), QStringLiteral("/c")})
    p.Files().Add(folder, QStringLiteral("*.*"), true);
  QVERIFY(p.SaveProfile());
  QCOMPARE(KeyNames(Key(QStringLiteral("Daily\\Files"))), (QStringList{"0", "1", "2"}));
  p.Files().Delete(0);
  p.Files().Delete(0);
  QVERIFY(p.SaveProfile());
  QCOMPARE(KeyNames(Key(QStringLiteral("Daily\\Files"))), QStringList{"0"});
  TRegistry reg;
  QVERIFY(reg.OpenKeyReadOnly(Key(QStringLiteral("Daily\\Files\\0"))));
  QCOMPARE(reg.ReadString(QStringLiteral("folder")), QStringLiteral("/c"));
  // An emptied list leaves no list key at all.
  p.FileExclusions().Clear();
  p.Files().Clear();
  QVERIFY(p.SaveProfile());
  QVERIFY(!reg.KeyExists(Key(QStringLiteral("Daily\\Files"))));
}

void TestProfileStorage::entriesReloadInRegistryOrder()
{
  TBackupProfile p;
  Place(p, QStringLiteral("Twelve"));
  for (int i = 0; i < 12; ++i)
    p.Files().Add(QStringLiteral("/d%1").arg(i), QStringLiteral("*.*"), i % 2 == 0);
  // A duplicate stored under two numbers merges on load.
  p.FileExclusions().Add(QStringLiteral("/x"), QStringLiteral("*.tmp"), false);
  QVERIFY(p.SaveProfile());
  {
    TRegistry reg;
    QVERIFY(reg.OpenKey(Key(QStringLiteral("Twelve\\FileExclusions\\1")), true));
    reg.WriteString(QStringLiteral("folder"), QStringLiteral("/X"));
    reg.WriteString(QStringLiteral("filemask"), QStringLiteral("*.TMP"));
    reg.WriteBool(QStringLiteral("recursive"), true);
    // A blank folder drops its entry.
    QVERIFY(reg.OpenKey(Key(QStringLiteral("Twelve\\FileExclusions\\2")), true));
    reg.WriteBool(QStringLiteral("recursive"), true);
  }
  TBackupProfile q;
  q.SetRegistryKey(ProgramKey);
  QVERIFY(q.LoadProfile(QStringLiteral("Twelve")));
  QCOMPARE(Folders(q.Files()),
           (QStringList{"/d0", "/d1", "/d10", "/d11", "/d2", "/d3", "/d4", "/d5", "/d6", "/d7", "/d8", "/d9"}));
  QVERIFY(q.Files().GetItem(2)->Recursive());
  QVERIFY(!q.Files().GetItem(3)->Recursive());
  QCOMPARE(q.FileExclusions().Count(), 1);
  QCOMPARE(q.FileExclusions().GetItem(0)->Folder(), QStringLiteral("/X"));
  QVERIFY(q.FileExclusions().GetItem(0)->Recursive());
}

void TestProfileStorage::loadTakesWhatIsThereAndLeavesTheRest()
{
  {
    TRegistry reg;
    QVERIFY(reg.OpenKey(Key(QStringLiteral("Sparse")), true));
    reg.WriteInteger(QStringLiteral("ProfileVersion"), 7);
    reg.WriteInteger(QStringLiteral("AlertDays"), 12);
    reg.WriteInteger(QStringLiteral("ZipType"), 7); // out of range: taken as it is
  }
  TBackupProfile p;
  p.SetRegistryKey(ProgramKey);
  p.SetDescription(QStringLiteral("before"));
  p.SetSpanningSize(5);
  p.Files().Add(QStringLiteral("/old"), QStringLiteral("*.*"), false);
  p.ActivePrograms() = QStringList{QStringLiteral("Old=Program")};
  QVERIFY(p.LoadProfile(QStringLiteral("Sparse")));
  QCOMPARE(p.ProfileVersion(), 1);
  QCOMPARE(p.AlertDays(), 12);
  QCOMPARE(int(p.ZipType()), 7);
  QCOMPARE(p.Description(), QStringLiteral("before"));
  QCOMPARE(p.SpanningSize(), 5);
  QCOMPARE(p.Files().Count(), 0);
  // The program list is replaced by the (now created, empty) key's contents.
  QVERIFY(p.ActivePrograms().isEmpty());
  TRegistry reg;
  QVERIFY(reg.KeyExists(Key(QStringLiteral("Sparse\\Active Programs"))));
}

void TestProfileStorage::emptyNamesAndMissingKeys()
{
  TBackupProfile p;
  p.SetRegistryKey(ProgramKey);
  p.SetDescription(QStringLiteral("kept"));
  p.Files().Add(QStringLiteral("/a"), QStringLiteral("*.*"), false);
  QVERIFY(!p.SaveProfile());
  QVERIFY(!p.LoadProfile(QString()));
  QVERIFY(!p.DeleteProfile());
  QCOMPARE(p.Files().Count(), 1);
  TRegistry reg;
  QVERIFY(!reg.KeyExists(ProgramKey));

  QVERIFY(!p.LoadProfile(QStringLiteral("Missing")));
  QCOMPARE(p.ProfileName(), QStringLiteral("Missing"));
  QCOMPARE(p.Files().Count(), 0);
  QCOMPARE(p.Description(), QStringLiteral("kept"));
  QCOMPARE(p.ProfileVersion(), -1);
  QVERIFY(!p.DeleteProfile());

  QVERIFY(p.SaveProfile());
  QVERIFY(p.DeleteProfile(QStringLiteral("MISSING")));
  QVERIFY(!reg.KeyExists(Key(QStringLiteral("Missing"))));
  QVERIFY(reg.KeyExists(ProgramKey));
}

void TestProfileStorage::namesFollowTheRegistry()
{
  {
    TBackupProfileManager m;
    Configure(m);
    TBackupProfile* lower = m.NewProfile(QStringLiteral("daily"));
    TBackupProfile* upper = m.NewProfile(QStringLiteral("DAILY"));
    QVERIFY(lower != upper);
    QCOMPARE(m.ProfileCount(), 2);
    lower->SetDescription(QStringLiteral("lower"));
    upper->SetDescription(QStringLiteral("upper"));
    m.NewProfile(QStringLiteral("Outer\\Inner"))->SetDescription(QStringLiteral("nested"));
    QVERIFY(m.SaveProfiles());
    QVERIFY(m.NewProfile(QStringLiteral("Template"))->SaveAsDefaults());
  }
  {
    TRegistry reg;
    QVERIFY(reg.OpenKey(Key(QStringLiteral("Outer\\Inner")), false));
    QCOMPARE(reg.ReadString(QStringLiteral("Description")), QStringLiteral("nested"));
    QVERIFY(reg.OpenKey(Key(QStringLiteral(".default\\Files")), true));
  }
  QCOMPARE(KeyNames(ProgramKey), (QStringList{".Default", "daily", "Outer"}));

  QStringList debug;
  TBackupProfileManager m;
  Configure(m);
  m.OnDebug = [&debug](QObject*, const QString& AProcedure, const QString& AMessage) {
    if (AProcedure == QStringLiteral("LoadProfilesRegistry"))
      debug << AMessage;
  };
  QVERIFY(m.LoadProfiles());
  QCOMPARE(m.ProfileCount(), 2);
  QCOMPARE(m.GetProfileByIndex(0)->ProfileName(), QStringLiteral("daily"));
  QCOMPARE(m.GetProfileByIndex(0)->Description(), QStringLiteral("upper")); // one key, the later save
  QCOMPARE(m.GetProfileByIndex(1)->ProfileName(), QStringLiteral("Outer"));
  QCOMPARE(m.GetProfileByIndex(1)->ProfileVersion(), 1);
  QCOMPARE(debug,
           (QStringList{ProgramKey, "Ignoring .DEFAULT profile.", "Loading profile: daily", "Loading profile: Outer"}));
  QVERIFY(m.GetProfileByIndex(0)->OnDebug);
  QCOMPARE(m.GetProfileByIndex(0)->RegistryKey(), ProgramKey);

  // A program key that does not exist leaves the collection empty.
  m.SetRegistryKey(QStringLiteral("\\Software\\Nobody"));
  QVERIFY(m.LoadProfiles());
  QCOMPARE(m.ProfileCount(), 0);
}

void TestProfileStorage::damagedProfileDoesNotEndTheLoad()
{
  {
    TBackupProfileManager m;
    Configure(m);
    for (const QString& name : {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}) {
      TBackupProfile* p = m.NewProfile(name);
      p->SetDescription(name + QStringLiteral(" description"));
      p->Files().Add(QStringLiteral("/") + name, QStringLiteral("*.*"), true);
    }
    QVERIFY(m.SaveProfiles());
    TRegistry reg;
    QVERIFY(reg.OpenKey(Key(QStringLiteral("B")), false));
    reg.WriteString(QStringLiteral("AlertDays"), QStringLiteral("seven"));
  }
  QStringList log;
  QStringList reported;
  int reports = 0;
  TBackupProfileManager m;
  Configure(m);
  m.OnLog = [&log](QObject*, const QString& AMessage) { log << AMessage; };
  m.OnProfileLoadErrors = [&](QObject* ASender, const QStringList& ANames) {
    QCOMPARE(ASender, &m);
    reported = ANames;
    ++reports;
  };
  QVERIFY(!m.LoadProfiles());
  QCOMPARE(m.ProfileCount(), 3);
  QCOMPARE(reports, 1);
  QCOMPARE(reported, QStringList{"B"});
  QVERIFY(log.contains(QStringLiteral("Failed to load profile: B, Error: Invalid data type for 'AlertDays'")));
  TBackupProfile* c = m.ProfileByName(QStringLiteral("C"));
  QCOMPARE(c->Description(), QStringLiteral("C description"));
  QCOMPARE(Folders(c->Files()), QStringList{"/C"});
  QVERIFY(!c->IsDamaged());
  TBackupProfile* b = m.ProfileByName(QStringLiteral("B"));
  QVERIFY(b->IsDamaged());
  QCOMPARE(b->LoadError(), QStringLiteral("Invalid data type for 'AlertDays'"));
  QCOMPARE(b->Files().Count(), 0); // the load ended before the entries

  // Saving all profiles leaves the damaged one's stored values as they are.
  log.clear();
  QVERIFY(!m.SaveProfiles());
  QVERIFY(log.contains(QStringLiteral("Failed to save profile: B")));
  QVERIFY(!log.contains(QStringLiteral("Failed to save profile: A")));
  {
    TRegistry reg;
    QVERIFY(reg.OpenKeyReadOnly(Key(QStringLiteral("B"))));
    QCOMPARE(reg.ReadString(QStringLiteral("AlertDays")), QStringLiteral("seven"));
    QCOMPARE(reg.ReadString(QStringLiteral("Description")), QStringLiteral("B description"));
    QCOMPARE(KeyNames(Key(QStringLiteral("B\\Files"))), QStringList{"0"});
  }
  // Once the user has reviewed it, it may be saved again; a good load clears the mark too.
  b->ClearLoadError();
  b->Files().Add(QStringLiteral("/B"), QStringLiteral("*.*"), true);
  QVERIFY(b->SaveProfile());
  QVERIFY(m.LoadProfiles());
  QCOMPARE(m.ProfileByName(QStringLiteral("B"))->AlertDays(), 7);
  QVERIFY(!m.ProfileByName(QStringLiteral("B"))->IsDamaged());

  // A missing "recursive" in an entry is damage too; a missing folder only drops the entry.
  {
    TRegistry reg;
    QVERIFY(reg.OpenKey(Key(QStringLiteral("A\\Files\\0")), false));
    QVERIFY(reg.DeleteValue(QStringLiteral("recursive")));
  }
  QVERIFY(!m.LoadProfiles());
  QVERIFY(m.ProfileByName(QStringLiteral("A"))->IsDamaged());
  QCOMPARE(m.ProfileByName(QStringLiteral("A"))->LoadError(), QStringLiteral("Failed to get data for 'recursive'"));
  QVERIFY(!m.ProfileByName(QStringLiteral("C"))->IsDamaged());
}

QTEST_GUILESS_MAIN(TestProfileStorage)
#include "tst_profilestorage.moc"
