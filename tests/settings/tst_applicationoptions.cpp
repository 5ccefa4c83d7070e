// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestHome.h"
#include "platform/TRegistry.h"
#include "settings/TApplicationOptions.h"
#include "settings/TProgramSettings.h"
#include "sysinfo/Common.h"

#include <QTest>

namespace {

const QString Key = QStringLiteral("\\Software\\Quenfield\\Orvel");

} // namespace

class TestApplicationOptions : public QObject
{
  Q_OBJECT

private slots:
  void init();
  void storeIsTheUsersRegistryKey();
  void optionsAreRegisteredInOrder();
  void firstRunStoresEverythingAndShowsTheNotesOnce();
  void notesShownLaterKeepTheOldVersionUntilShown();
  void failedVersionCheckDoesNotStopTheCycle();
  void lastSelectionIsRestoredAndStored();
  void optionNamesMatchWithoutCase();
  void damagedStoreIsReportedOnceAndKept();
  void storageOtherThanTheRegistryIsRefused();

private:
  struct TCycle
  {
    TProgramSettings Settings;
    TApplicationOptions Options{&Settings};
    QStringList Shown;
    QStringList Errors;
    QStringList StoreErrors;
    QList<int> Selected;
    int Applied = 0;
    bool Debug = false;
    QString SMTPPassword;
  };
  std::unique_ptr<TCycle> NewCycle() const;

  std::unique_ptr<TTestHome> FHome;
};

void TestApplicationOptions::init()
{
  FHome = std::make_unique<TTestHome>();
  QVERIFY(FHome->IsValid());
}

std::unique_ptr<TestApplicationOptions::TCycle> TestApplicationOptions::NewCycle() const
{
  auto cycle = std::make_unique<TCycle>();
  TApplicationOptions::ConfigureStore(cycle->Settings);
  TCycle* c = cycle.get();
  c->Options.FileVersion = [] { return QStringLiteral("2.5.0.7"); };
  c->Options.OnShowUpdateInformation = [c](const QStringList& AFiles, int ATimeout) {
    c->Shown << AFiles;
    [&] { QCOMPARE(ATimeout, 15); }();
    return true;
  };
  c->Options.OnVersionCheckError = [c](const QString& AMessage) { c->Errors << AMessage; };
  c->Options.OnStoreError = [c](const QString& AMessage) { c->StoreErrors << AMessage; };
  c->Options.OnApply = [c](const TProgramSettings& ASettings) {
    ++c->Applied;
    c->Debug = ASettings.GetValueByName(QStringLiteral("Debug")).toBool();
    c->SMTPPassword = ASettings.GetValueByName(QStringLiteral("SMTPPassword")).toString();
  };
  c->Options.OnSelectAction = [c](int AIndex) { c->Selected << TApplicationOptions::ActionIndex(AIndex, 10); };
  return cycle;
}

void TestApplicationOptions::storeIsTheUsersRegistryKey()
{
  TProgramSettings settings;
  TApplicationOptions::ConfigureStore(settings);
  QCOMPARE(settings.SettingsStore(), ssRegistry);
  QCOMPARE(settings.DefaultSettingsStore(), ssRegistry); // it followed the settings store
  QCOMPARE(settings.RootKey(), HKEY_CURRENT_USER);
  QCOMPARE(settings.SettingsKey(), QStringLiteral("\\Software\\Quenfield\\Orvel\\"));
  QCOMPARE(settings.INIFileName(), FHome->Path(QStringLiteral("home/data/Corvale/settings.ini")));
  QCOMPARE(settings.DefaultINIFileName(), GetApplicationFolder() + QStringLiteral("defaults.ini"));
  QCOMPARE(settings.EncryptKey(), QStringLiteral("K4STREL"));
}

void TestApplicationOptions::optionsAreRegisteredInOrder()
{
  TProgramSettings settings;
  settings.Add(QStringLiteral("Leftover"), vtString, QString());
  TApplicationOptions options(&settings);
  options.RegisterOptions();
  QCOMPARE(settings.Count(), 34);
  QStringList names;
  for (int i = 0; i < settings.Count(); ++i)
    names << settings.GetItem(i)->KeyName();
  QCOMPARE(names, TApplicationOptions::OptionNames());
  QCOMPARE(names.mid(0, 7), (QStringList{"AutomaticUpdateEnabled", "AutomaticUpdateApplication", "AutomaticUpdateURL",
                                         "AutomaticUpdateAutomatic", "AutomaticUpdateInterval", "Password", "Debug"}));
  QCOMPARE(names.last(), QStringLiteral("ExitOnlyAfterSuccess"));
  const auto check = [&](const char* AName, TSettingValueType AType, const QVariant& ADefault) {
    const TSettingItem* item = settings.KeyByName(QString::fromLatin1(AName));
    QCOMPARE(item->ValueType(), AType);
    QCOMPARE(item->DefaultValue(), ADefault);
  };
  check("AutomaticUpdateEnabled", vtBoolean, true);
  check("AutomaticUpdateApplication", vtString, QStringLiteral("Corvale"));
  check("AutomaticUpdateInterval", vtInteger, 12);
  check("Password", vtPassword, QString());
  check("LastSelectionID", vtInteger, 0);
  check("StorageType", vtInteger, 0);
  check("Version", vtString, QStringLiteral("0.0.0.0"));
  check("HTTPPort", vtInteger, 8080);
  check("SOCKSPort", vtInteger, 1080);
  check("SOCKSVersion", vtInteger, 0);
  check("SMTPPort", vtInteger, 25);
  check("SMTPSecure", vtBoolean, false);
  check("VerifyArchives", vtBoolean, true);
  check("ExitOnlyAfterSuccess", vtBoolean, false);
  check("HTTPPassword", vtPassword, QString());
  const QString url = settings.KeyByName(QStringLiteral("AutomaticUpdateURL"))->DefaultValue().toString();
  QVERIFY(url.startsWith(QStringLiteral("https://")) && url.endsWith(QStringLiteral("/autoupdate.ini")));
  int passwords = 0;
  for (int i = 0; i < settings.Count(); ++i)
    passwords += settings.GetItem(i)->ValueType() == vtPassword;
  QCOMPARE(passwords, 4);

  // Typed access reads what the store holds, and an option not registered as unset.
  TApplicationOptions::Set(settings, TOptionId::SMTPHost, QStringLiteral("mail.example.org"));
  QCOMPARE(TApplicationOptions::Text(settings, TOptionId::SMTPHost), QStringLiteral("mail.example.org"));
  TApplicationOptions::Set(settings, TOptionId::SMTPPort, 587);
  QCOMPARE(TApplicationOptions::Integer(settings, TOptionId::SMTPPort), 587);
  TApplicationOptions::Set(settings, TOptionId::Debug, true);
  QVERIFY(TApplicationOptions::Boolean(settings, TOptionId::Debug));
  QVERIFY(TApplicationOptions::Registered(settings, TOptionId::Debug));
  TProgramSettings empty;
  QVERIFY(!TApplicationOptions::Registered(empty, TOptionId::Debug));
  QVERIFY(!TApplicationOptions::Boolean(empty, TOptionId::Debug));
  QCOMPARE(TApplicationOptions::Integer(empty, TOptionId::StorageType), 0);
}

void TestApplicationOptions::firstRunStoresEverythingAndShowsTheNotesOnce()
{
  {
    auto cycle = NewCycle();
    cycle->Options.LoadApplicationSettings();
    const QString folder = GetApplicationFolder();
    QCOMPARE(cycle->Shown, (QStringList{folder + QStringLiteral("Corvale - Release Notes.rtf"),
                                        folder + QStringLiteral("Corvale - License.rtf"),
                                        folder + QStringLiteral("Corvale - Support Details.rtf")}));
    QCOMPARE(cycle->Applied, 1);
    QCOMPARE(cycle->Selected, QList<int>{0});
    QVERIFY(cycle->Errors.isEmpty() && cycle->StoreErrors.isEmpty());
    TRegistry registry;
    QVERIFY(registry.OpenKeyReadOnly(Key));
    QCOMPARE(registry.GetValueNames(), TApplicationOptions::OptionNames());
    QCOMPARE(registry.ReadString(QStringLiteral("Version")), QStringLiteral("2.5.0.7"));
    QCOMPARE(registry.ReadInteger(QStringLiteral("AutomaticUpdateEnabled")), 1);
    QCOMPARE(registry.ReadInteger(QStringLiteral("HTTPPort")), 8080);
    // The INI files play no part while both stores are the registry.
    QVERIFY(!QFile::exists(cycle->Settings.INIFileName()));
  }
  {
    // The next start of the same version shows nothing; a password set meanwhile reaches the
    // consumers in plain text and the store scrambled.
    auto cycle = NewCycle();
    cycle->Options.LoadApplicationSettings();
    QVERIFY(cycle->Shown.isEmpty());
    cycle->Settings.SetValueByName(QStringLiteral("SMTPPassword"), QStringLiteral("mail secret"));
    cycle->Settings.SetValueByName(QStringLiteral("Debug"), true);
    cycle->Options.SaveApplicationSettings(false);
    QCOMPARE(cycle->Applied, 2);
    QVERIFY(cycle->Debug);
    QCOMPARE(cycle->SMTPPassword, QStringLiteral("mail secret"));
    TRegistry registry;
    QVERIFY(registry.OpenKeyReadOnly(Key));
    QCOMPARE(registry.ReadString(QStringLiteral("SMTPPassword")),
             TProgramSettings::SuperCipher(QStringLiteral("mail secret"), QStringLiteral("K4STREL")));
  }
  {
    // A new version shows the notes again.
    auto cycle = NewCycle();
    cycle->Options.FileVersion = [] { return QStringLiteral("2.6.0.0"); };
    cycle->Options.LoadApplicationSettings();
    QCOMPARE(cycle->Shown.size(), 3);
    QCOMPARE(cycle->Settings.GetValueByName(QStringLiteral("Version")), QVariant(QStringLiteral("2.6.0.0")));
  }
}

void TestApplicationOptions::notesShownLaterKeepTheOldVersionUntilShown()
{
  auto cycle = NewCycle();
  int requests = 0;
  cycle->Options.OnShowUpdateInformation = [&requests](const QStringList&, int) {
    ++requests;
    return false;
  };
  const auto storedVersion = [] {
    TRegistry registry;
    return registry.OpenKeyReadOnly(Key) ? registry.ReadString(QStringLiteral("Version")) : QString();
  };
  // Every cycle before the notes are shown asks again and keeps the default version in the store,
  // so that a program ended meanwhile shows them at its next start.
  cycle->Options.LoadApplicationSettings();
  cycle->Options.SaveApplicationSettings(false);
  QCOMPARE(requests, 2);
  QCOMPARE(storedVersion(), QStringLiteral("0.0.0.0"));
  cycle->Options.StoreVersion();
  QCOMPARE(storedVersion(), QStringLiteral("2.5.0.7"));
  cycle->Options.SaveApplicationSettings(false);
  QCOMPARE(requests, 2);
  QCOMPARE(storedVersion(), QStringLiteral("2.5.0.7"));
}

void TestApplicationOptions::failedVersionCheckDoesNotStopTheCycle()
{
  auto cycle = NewCycle();
  cycle->Options.OnShowUpdateInformation = [](const QStringList&, int) -> bool {
    throw std::runtime_error("the dialog could not be made");
  };
  cycle->Options.LoadApplicationSettings();
  QCOMPARE(cycle->Errors, QStringList{QStringLiteral("Failed to check application version details.")});
  QCOMPARE(cycle->Applied, 1);
  QCOMPARE(cycle->Selected.size(), 1);
  QVERIFY(TRegistry().KeyExists(Key));
}

void TestApplicationOptions::lastSelectionIsRestoredAndStored()
{
  auto cycle = NewCycle();
  cycle->Options.LoadApplicationSettings();
  for (const int stored : {7, 9, 10, 42, -1, 0}) {
    cycle->Settings.SetValueByName(QStringLiteral("LastSelectionID"), stored);
    cycle->Options.SaveApplicationSettings(false);
    QCOMPARE(cycle->Selected.last(), stored >= 0 && stored < 10 ? stored : 0);
    TRegistry registry;
    QVERIFY(registry.OpenKeyReadOnly(Key));
    QCOMPARE(registry.ReadInteger(QStringLiteral("LastSelectionID")), stored);
  }
}

void TestApplicationOptions::optionNamesMatchWithoutCase()
{
  TRegistry registry;
  QVERIFY(registry.OpenKey(Key, true));
  registry.WriteInteger(QStringLiteral("debug"), 1);
  registry.WriteString(QStringLiteral("HTTPUSERNAME"), QStringLiteral("proxyuser"));
  // Seeded by an administrator for every user; the user's own value wins where there is one.
  TRegistry machine(HKEY_USERS);
  QVERIFY(machine.OpenKey(QStringLiteral("\\.Default") + Key, true));
  machine.WriteInteger(QStringLiteral("SMTPPort"), 587);
  machine.WriteInteger(QStringLiteral("Debug"), 0);
  auto cycle = NewCycle();
  cycle->Options.LoadApplicationSettings();
  QVERIFY(cycle->Debug);
  QCOMPARE(cycle->Settings.GetValueByName(QStringLiteral("HTTPUserName")), QVariant(QStringLiteral("proxyuser")));
  QCOMPARE(cycle->Settings.GetValueByName(QStringLiteral("SOCKSUserName")), QVariant(QString()));
  QCOMPARE(cycle->Settings.GetValueByName(QStringLiteral("SMTPPort")), QVariant(587));
}

void TestApplicationOptions::damagedStoreIsReportedOnceAndKept()
{
  QVERIFY(QDir().mkpath(QFileInfo(FHome->UserHive()).absolutePath()));
  QFile damaged(FHome->UserHive());
  QVERIFY(damaged.open(QIODevice::WriteOnly));
  const QByteArray garbage = QByteArray("not a database, but the user's file ").repeated(200);
  damaged.write(garbage);
  damaged.close();
  auto cycle = NewCycle();
  cycle->Options.LoadApplicationSettings();
  cycle->Options.SaveApplicationSettings(false);
  QCOMPARE(cycle->StoreErrors.size(), 1);
  QVERIFY(cycle->StoreErrors.first().contains(FHome->UserHive()));
  QCOMPARE(cycle->Applied, 2); // the program goes on with defaults
  QCOMPARE(cycle->Settings.GetValueByName(QStringLiteral("SMTPPort")), QVariant(25));
  QVERIFY(damaged.open(QIODevice::ReadOnly));
  QCOMPARE(damaged.readAll(), garbage);
}

void TestApplicationOptions::storageOtherThanTheRegistryIsRefused()
{
  // Seeded for every user: refused with a message, and 0 is what the user's key then holds.
  TRegistry machine(HKEY_USERS);
  QVERIFY(machine.OpenKey(QStringLiteral("\\.Default") + Key, true));
  machine.WriteInteger(QStringLiteral("StorageType"), 1);
  auto cycle = NewCycle();
  cycle->Options.LoadApplicationSettings();
  QCOMPARE(cycle->StoreErrors,
           QStringList{QStringLiteral("\"StorageType\"=1 is not supported: backup profiles are kept in the registry "
                                      "only. The value 0 is used instead.")});
  QCOMPARE(TApplicationOptions::Integer(cycle->Settings, TOptionId::StorageType), 0);
  TRegistry registry;
  QVERIFY(registry.OpenKeyReadOnly(Key));
  QCOMPARE(registry.ReadInteger(QStringLiteral("StorageType")), 0);
}

QTEST_GUILESS_MAIN(TestApplicationOptions)
#include "tst_applicationoptions.moc"
