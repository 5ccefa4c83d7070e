// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestHome.h"
#include "platform/AutoStart.h"
#include "platform/Folders.h"
#include "platform/TIniFile.h"
#include "platform/TRegistry.h"
#include "settings/EProgramSettingsError.h"
#include "settings/TProgramSettings.h"
#include "sysinfo/DateTime.h"
#include "sysinfo/TFormatSettings.h"

#include <QFileInfo>
#include <QTest>

#include <cstring>

namespace {

const QString Key = QStringLiteral("\\Software\\Quenfield\\Orvel");
const QString Password = QStringLiteral("p@ss wörd €");
const TDateTime When = DateTimeFromQDateTime(QDateTime(QDate(2015, 12, 25), QTime(14, 30)));

// One setting of every type with a default and a different value to store.
struct TSample
{
  const char* Name;
  TSettingValueType Type;
  QVariant Default;
  QVariant Value;
};

QList<TSample> Samples()
{
  return {
      {"Unknown", vtUnknown, QStringLiteral("u"), QStringLiteral("unknown text")},
      {"Text", vtString, QStringLiteral("d"), QStringLiteral("  padded \"text\" ")},
      {"Number", vtInteger, 12, -123456},
      {"Ratio", vtFloat, 0.5, 1234567.125},
      {"Amount", vtCurrency, 1.0, 98765.4321},
      {"Clock", vtTime, 0.25, 0.75},
      {"Day", vtDate, 1.0, DateFromQDate(QDate(2015, 12, 25))},
      {"Moment", vtDateTime, 2.0, When},
      {"Flag", vtBoolean, false, true},
      {"Secret", vtPassword, QString(), Password},
  };
}

void Register(TProgramSettings& ASettings)
{
  for (const TSample& sample : Samples())
    ASettings.Add(QString::fromLatin1(sample.Name), sample.Type, sample.Default);
}

QByteArray Bytes(double AValue)
{
  QByteArray data(8, '\0');
  std::memcpy(data.data(), &AValue, 8);
  return data;
}

} // namespace

class TestProgramSettings : public QObject
{
  Q_OBJECT

private slots:
  void init();
  void cleanup();
  void newStoreHasItsDefaults();
  void registryKeepsEveryType();
  void iniFileKeepsEveryType();
  void iniTextThatDoesNotParseGivesTheDefault();
  void absentStoreGivesDefaultsAndCreatesNothing();
  void storedNamesCompareWithoutCase();
  void defaultsKeyFollowsTheSettingsKey();
  void seededDefaultsLoseToTheUsersValue();
  void iniDefaults();
  void singleValues();
  void switchingTheStore();
  void eventsAndCustomHooks();
  void wrongTypeRaisesOutOfTheLoad();
  void assignCopiesTheConfiguration();
  void runAtLogon();

private:
  std::unique_ptr<TTestHome> FHome;
  std::unique_ptr<TProgramSettings> NewStore(TSettingsStore AStore) const;
};

void TestProgramSettings::init()
{
  FHome = std::make_unique<TTestHome>();
  QVERIFY(FHome->IsValid());
  TFormatSettings::Load(QLocale(QLocale::German, QLocale::Germany));
}

void TestProgramSettings::cleanup()
{
  TFormatSettings::Load(QLocale::system());
}

std::unique_ptr<TProgramSettings> TestProgramSettings::NewStore(TSettingsStore AStore) const
{
  auto settings = std::make_unique<TProgramSettings>();
  settings->SetSettingsStore(AStore);
  settings->SetDefaultSettingsStore(AStore);
  settings->SetSettingsKey(Key);
  settings->SetINIFileName(FHome->Path(QStringLiteral("settings.ini")));
  settings->SetDefaultINIFileName(FHome->Path(QStringLiteral("defaults.ini")));
  Register(*settings);
  return settings;
}

void TestProgramSettings::newStoreHasItsDefaults()
{
  TProgramSettings settings;
  QCOMPARE(settings.RootKey(), HKEY_CURRENT_USER);
  QCOMPARE(settings.SettingsKey(), QString());
  QCOMPARE(settings.EncryptKey(), QStringLiteral("K4STREL"));
  QCOMPARE(settings.SettingsStore(), ssINIFile);
  QCOMPARE(settings.DefaultSettingsStore(), ssINIFile);
  QCOMPARE(settings.LoadedState(), lsNone);
  QCOMPARE(settings.DefaultINIFileName(), QString());
  QCOMPARE(settings.INIFileName(), ExecutableFileName() + QStringLiteral(".ini")); // the test has no extension
  QCOMPARE(settings.Count(), 0);

  settings.SetSettingsKey(QStringLiteral("Software\\X"));
  QCOMPARE(settings.SettingsKey(), QStringLiteral("Software\\X\\"));
  settings.SetSettingsKey(QStringLiteral(" \\Software\\Y\\"));
  QCOMPARE(settings.SettingsKey(), QStringLiteral(" \\Software\\Y\\"));
  settings.SetSettingsKey(QStringLiteral("   "));
  QCOMPARE(settings.SettingsKey(), QString());
}

void TestProgramSettings::registryKeepsEveryType()
{
  {
    auto settings = NewStore(ssRegistry);
    for (const TSample& sample : Samples())
      settings->SetValueByName(QString::fromLatin1(sample.Name), sample.Value);
    settings->SaveSettings();
  }
  auto settings = NewStore(ssRegistry);
  settings->LoadSettings();
  QCOMPARE(settings->LoadedState(), lsRegistry);
  for (const TSample& sample : Samples()) {
    const QVariant value = settings->GetValueByName(QString::fromLatin1(sample.Name));
    if (sample.Type == vtCurrency || sample.Type == vtFloat || (sample.Type >= vtTime && sample.Type <= vtDateTime))
      QCOMPARE(value.toDouble(), sample.Value.toDouble());
    else
      QCOMPARE(value, sample.Value);
  }

  // The stored forms, as other versions of the program read them.
  TRegistry registry;
  QVERIFY(registry.OpenKeyReadOnly(Key));
  QCOMPARE(registry.GetDataType(QStringLiteral("Unknown")), rdString);
  QCOMPARE(registry.ReadInteger(QStringLiteral("Number")), -123456);
  QCOMPARE(registry.ReadBinaryData(QStringLiteral("Ratio")), Bytes(1234567.125));
  const qint64 scaled = 987654321;
  QCOMPARE(registry.ReadBinaryData(QStringLiteral("Amount")),
           QByteArray(reinterpret_cast<const char*>(&scaled), sizeof scaled));
  QCOMPARE(registry.ReadBinaryData(QStringLiteral("Moment")), Bytes(When));
  QCOMPARE(registry.GetDataType(QStringLiteral("Flag")), rdInteger);
  QCOMPARE(registry.ReadInteger(QStringLiteral("Flag")), 1);
  const QString stored = registry.ReadString(QStringLiteral("Secret"));
  QVERIFY(stored != Password); // scrambled in the store, plain in memory
  QCOMPARE(stored, TProgramSettings::SuperCipher(Password, QStringLiteral("K4STREL")));

  // A registry boolean is true whenever its number is not 0.
  TRegistry writer;
  QVERIFY(writer.OpenKey(Key, false));
  writer.WriteInteger(QStringLiteral("Flag"), 7);
  settings->LoadSettings();
  QCOMPARE(settings->GetValueByName(QStringLiteral("Flag")), QVariant(true));
}

void TestProgramSettings::iniFileKeepsEveryType()
{
  {
    auto settings = NewStore(ssINIFile);
    for (const TSample& sample : Samples())
      settings->SetValueByName(QString::fromLatin1(sample.Name), sample.Value);
    settings->SaveSettings();
  }
  auto settings = NewStore(ssINIFile);
  settings->LoadSettings();
  QCOMPARE(settings->LoadedState(), lsINIFile);
  for (const TSample& sample : Samples()) {
    const QVariant value = settings->GetValueByName(QString::fromLatin1(sample.Name));
    if (sample.Type == vtCurrency || sample.Type == vtFloat)
      QCOMPARE(value.toDouble(), sample.Value.toDouble());
    else if (sample.Type >= vtTime && sample.Type <= vtDateTime) // texts keep whole seconds
      QVERIFY(qAbs(value.toDouble() - sample.Value.toDouble()) < 1.0 / 86400);
    else
      QCOMPARE(value, sample.Value);
  }

  const TIniFile ini(FHome->Path(QStringLiteral("settings.ini")));
  const auto text = [&](const char* AName) {
    return ini.ReadString(QStringLiteral("Settings"), QString::fromLatin1(AName), QStringLiteral("?"));
  };
  QCOMPARE(text("Number"), QStringLiteral("-123456"));
  QCOMPARE(text("Ratio"), QStringLiteral("1234567,125")); // the user's number format, no grouping
  QCOMPARE(text("Day"), QStringLiteral("25.12.2015"));    // with all four digits of the year
  QCOMPARE(text("Moment"), QStringLiteral("25.12.2015 14:30:00"));
  QCOMPARE(text("Flag"), QStringLiteral("1"));
  QCOMPARE(text("Secret"), TProgramSettings::SuperCipher(Password, QStringLiteral("K4STREL")));
  QCOMPARE(text("Text"), QStringLiteral("  padded \"text\" "));
}

void TestProgramSettings::iniTextThatDoesNotParseGivesTheDefault()
{
  QFile file(FHome->Path(QStringLiteral("settings.ini")));
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write("[Settings]\nNumber=$1F\nRatio=fast\nAmount=0x10\nFlag=2\nDay=someday\nClock=12:34\n"
             "Moment=24.12.15\n[More]\nFlag=0x0\nNumber=-0x10\n");
  file.close();
  auto settings = NewStore(ssINIFile);
  settings->LoadSettings();
  QCOMPARE(settings->GetValueByName(QStringLiteral("Number")), QVariant(31));
  QCOMPARE(settings->GetValueByName(QStringLiteral("Ratio")), QVariant(0.5));
  QCOMPARE(settings->GetValueByName(QStringLiteral("Amount")), QVariant(1.0));
  QCOMPARE(settings->GetValueByName(QStringLiteral("Flag")), QVariant(true));
  QCOMPARE(settings->GetValueByName(QStringLiteral("Day")), QVariant(1.0));
  QCOMPARE(settings->GetValueByName(QStringLiteral("Clock")).toDouble(), (12 * 60 + 34) / 1440.0);
  // A two-digit year still reads, in the century near today.
  QCOMPARE(settings->GetValueByName(QStringLiteral("Moment")).toDouble(), DateFromQDate(QDate(2015, 12, 24)));
  QCOMPARE(settings->LoadCustomValue(QStringLiteral("More"), QStringLiteral("Flag"), vtBoolean, true), QVariant(false));
  QCOMPARE(settings->LoadCustomValue(QStringLiteral("More"), QStringLiteral("Number"), vtInteger, 0), QVariant(-16));
}

void TestProgramSettings::absentStoreGivesDefaultsAndCreatesNothing()
{
  for (const TSettingsStore store : {ssRegistry, ssINIFile}) {
    auto settings = NewStore(store);
    settings->SetValueByName(QStringLiteral("Number"), 99);
    settings->LoadSettings();
    for (const TSample& sample : Samples())
      QCOMPARE(settings->GetValueByName(QString::fromLatin1(sample.Name)), sample.Default);
    settings->LoadDefaults();
    QCOMPARE(settings->GetValueByName(QStringLiteral("Number")), QVariant(12));
  }
  QVERIFY(!TRegistry().KeyExists(QStringLiteral("\\Software")));
  QVERIFY(!TRegistry(HKEY_USERS).KeyExists(QStringLiteral("\\.Default")));
  QVERIFY(!QFile::exists(FHome->Path(QStringLiteral("settings.ini"))));
  QVERIFY(!QFile::exists(FHome->Path(QStringLiteral("defaults.ini"))));
}

void TestProgramSettings::storedNamesCompareWithoutCase()
{
  TRegistry registry;
  QVERIFY(registry.OpenKey(QStringLiteral("\\SOFTWARE\\quenfield\\orvel"), true));
  registry.WriteInteger(QStringLiteral("flag"), 1);
  registry.WriteInteger(QStringLiteral("NUMBER"), 5);
  auto settings = NewStore(ssRegistry);
  settings->LoadSettings();
  QCOMPARE(settings->GetValueByName(QStringLiteral("Flag")), QVariant(true));
  QCOMPARE(settings->GetValueByName(QStringLiteral("number")), QVariant(5));
  settings->SaveSettings();
  QCOMPARE(registry.GetValueNames().filter(QStringLiteral("flag"), Qt::CaseInsensitive).size(), 1);
}

void TestProgramSettings::defaultsKeyFollowsTheSettingsKey()
{
  // With or without a leading backslash the defaults land in the same key of HKEY_USERS.
  for (const QString& settingsKey :
       {QStringLiteral("\\Software\\Quenfield\\Orvel"), QStringLiteral("Software\\Quenfield\\Orvel\\")}) {
    auto settings = NewStore(ssRegistry);
    settings->SetSettingsKey(settingsKey);
    settings->KeyByName(QStringLiteral("Number"))->SetDefaultValue(7);
    settings->SaveDefaults();
    TRegistry machine(HKEY_USERS);
    QVERIFY(machine.OpenKeyReadOnly(QStringLiteral("\\.Default\\Software\\Quenfield\\Orvel")));
    QCOMPARE(machine.ReadInteger(QStringLiteral("Number")), 7);
    QVERIFY(machine.DeleteKey(QStringLiteral("\\.Default")));
  }
}

void TestProgramSettings::seededDefaultsLoseToTheUsersValue()
{
  {
    // The administrator seeds defaults for every user.
    auto admin = NewStore(ssRegistry);
    admin->KeyByName(QStringLiteral("Number"))->SetDefaultValue(70);
    admin->KeyByName(QStringLiteral("Flag"))->SetDefaultValue(true);
    admin->KeyByName(QStringLiteral("Secret"))->SetDefaultValue(QStringLiteral("seeded"));
    admin->SaveDefaults();
    // The machine-wide store never receives a password; one put there by hand is refused below.
    TRegistry machine(HKEY_USERS);
    QVERIFY(machine.OpenKey(QStringLiteral("\\.Default") + Key, false));
    QVERIFY(!machine.ValueExists(QStringLiteral("Secret")));
    machine.WriteString(QStringLiteral("Secret"),
                        TProgramSettings::SuperCipher(QStringLiteral("seeded"), QStringLiteral("K4STREL")));
  }
  // An ordinary user, who may read the machine's hive but not write it, has a value of his own.
  const int result = FHome->RunAsUser([] {
    TProgramSettings settings;
    settings.SetDefaultSettingsStore(ssRegistry);
    settings.SetSettingsStore(ssRegistry);
    settings.SetSettingsKey(Key);
    Register(settings);
    TRegistry user;
    if (!user.OpenKey(Key, true))
      return 1;
    user.WriteInteger(QStringLiteral("Number"), 5);
    settings.LoadDefaults();
    settings.LoadSettings();
    if (settings.GetValueByName(QStringLiteral("Number")) != QVariant(5))
      return 2; // the user's own value wins
    if (settings.GetValueByName(QStringLiteral("Flag")) != QVariant(true))
      return 3; // the seeded default fills the gap
    if (settings.GetValueByName(QStringLiteral("Secret")) != QVariant(QString()) ||
        !settings.RefusedDefaultsText().contains(QStringLiteral("(Secret)")))
      return 4;
    if (settings.KeyByName(QStringLiteral("Text"))->DefaultValue() != QVariant(QStringLiteral("d")))
      return 5;              // a default that was not seeded stays
    settings.SaveDefaults(); // no rights: nothing happens, no error
    return 0;
  });
  QCOMPARE(result, 0);
}

void TestProgramSettings::iniDefaults()
{
  QFile file(FHome->Path(QStringLiteral("defaults.ini")));
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write("[.Defaults]\nNumber=70\nRatio=not a number\n");
  file.close();
  auto settings = NewStore(ssINIFile);
  settings->LoadDefaults();
  QCOMPARE(settings->KeyByName(QStringLiteral("Number"))->DefaultValue(), QVariant(70));
  QCOMPARE(settings->KeyByName(QStringLiteral("Ratio"))->DefaultValue(), QVariant(0.5));
  QVERIFY(!settings->GetValueByName(QStringLiteral("Number")).isValid()); // values are not touched
  QVERIFY(settings->RefusedDefaultsText().isEmpty());
  settings->KeyByName(QStringLiteral("Secret"))->SetDefaultValue(QStringLiteral("x"));
  settings->SaveDefaults();
  {
    const TIniFile ini(FHome->Path(QStringLiteral("defaults.ini")));
    QVERIFY(!ini.ValueExists(QStringLiteral(".Defaults"), QStringLiteral("Secret")));
    QCOMPARE(ini.ReadString(QStringLiteral(".Defaults"), QStringLiteral("Number"), {}), QStringLiteral("70"));
  }
  // A password in the machine-wide defaults is not taken, and the user is told.
  TIniFile(FHome->Path(QStringLiteral("defaults.ini")))
      .WriteString(QStringLiteral(".Defaults"), QStringLiteral("Secret"),
                   TProgramSettings::SuperCipher(QStringLiteral("x"), QStringLiteral("K4STREL")));
  settings->KeyByName(QStringLiteral("Secret"))->SetDefaultValue(QString());
  settings->LoadDefaults();
  QCOMPARE(settings->KeyByName(QStringLiteral("Secret"))->DefaultValue(), QVariant(QString()));
  QVERIFY2(settings->RefusedDefaultsText().startsWith(
               QStringLiteral("The machine-wide default settings hold a password (Secret)")),
           qPrintable(settings->RefusedDefaultsText()));

  // The user's INI store holds the passwords: private, also when it existed before.
  auto user = NewStore(ssINIFile);
  const QString userFile = user->INIFileName();
  QFile existing(userFile);
  QVERIFY(existing.open(QIODevice::WriteOnly));
  existing.close();
  QVERIFY(existing.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther));
  user->SetValueByName(QStringLiteral("Secret"), Password);
  user->SaveSettings();
  QCOMPARE(int(QFile::permissions(userFile) & 0x7077), int(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
}

void TestProgramSettings::singleValues()
{
  for (const TSettingsStore store : {ssRegistry, ssINIFile}) {
    auto settings = NewStore(store);
    QVERIFY_THROWS_EXCEPTION(EProgramSettingsError, settings->SaveValue(QStringLiteral("Missing")));
    QVERIFY_THROWS_EXCEPTION(EProgramSettingsError, settings->LoadValue(QStringLiteral("Missing")));
    // Absent: the registry leaves the value alone, an INI file gives the default.
    settings->SetValueByName(QStringLiteral("Secret"), QStringLiteral("in memory"));
    settings->LoadValue(QStringLiteral("secret"));
    QCOMPARE(settings->GetValueByName(QStringLiteral("Secret")),
             store == ssRegistry ? QVariant(QStringLiteral("in memory")) : QVariant(QString()));
    // A currency written alone reads back in a full load, as the whole list stores it.
    settings->SetValueByName(QStringLiteral("Amount"), 12.3456);
    settings->SetValueByName(QStringLiteral("Secret"), Password);
    settings->SaveValue(QStringLiteral("Amount"));
    settings->SaveValue(QStringLiteral("Secret"));
    auto other = NewStore(store);
    other->LoadSettings();
    QCOMPARE(other->GetValueByName(QStringLiteral("Amount")).toDouble(), 12.3456);
    QCOMPARE(other->GetValueByName(QStringLiteral("Secret")), QVariant(Password));
    QCOMPARE(other->GetValueByName(QStringLiteral("Number")), QVariant(12)); // only those two were written
    other->SetValueByName(QStringLiteral("Amount"), 0);
    other->LoadValue(QStringLiteral("Amount"));
    QCOMPARE(other->GetValueByName(QStringLiteral("Amount")).toDouble(), 12.3456);
  }
}

void TestProgramSettings::switchingTheStore()
{
  {
    // Before a load the store is simply taken; a defaults store that was the same follows.
    auto settings = NewStore(ssINIFile);
    settings->SetDefaultSettingsStore(ssINIFile);
    settings->SetSettingsStore(ssRegistry);
    QCOMPARE(settings->DefaultSettingsStore(), ssRegistry);
    settings->SetDefaultSettingsStore(ssINIFile);
    settings->SetSettingsStore(ssINIFile); // not the same as the defaults store before: it stays
    settings->SetSettingsStore(ssRegistry);
    QCOMPARE(settings->DefaultSettingsStore(), ssRegistry);
    QVERIFY(!TRegistry().KeyExists(Key));
  }
  {
    // After a load the values move to the new store and are read back from it.
    auto settings = NewStore(ssRegistry);
    settings->LoadSettings();
    settings->SetValueByName(QStringLiteral("Secret"), Password);
    settings->SetValueByName(QStringLiteral("Number"), 31);
    settings->SetSettingsStore(ssINIFile);
    QCOMPARE(settings->SettingsStore(), ssINIFile);
    QCOMPARE(settings->LoadedState(), lsINIFile);
    QCOMPARE(settings->GetValueByName(QStringLiteral("Secret")), QVariant(Password));
    const TIniFile ini(FHome->Path(QStringLiteral("settings.ini")));
    QCOMPARE(ini.ReadString(QStringLiteral("Settings"), QStringLiteral("Number"), {}), QStringLiteral("31"));
    QVERIFY(!TRegistry().KeyExists(Key)); // the old store is left as it was
  }
  {
    // A store that cannot be written: the error says why and nothing changes.
    auto settings = NewStore(ssRegistry);
    settings->SetINIFileName(FHome->Path(QStringLiteral("settings.ini/inner.ini")));
    settings->LoadSettings();
    try {
      settings->SetSettingsStore(ssINIFile);
      QFAIL("no exception");
    } catch (const EProgramSettingsError& e) {
      QVERIFY2(e.Message().startsWith(QStringLiteral("Failed to save settings on setting store change, Error: "
                                                     "Unable to write to ")),
               qPrintable(e.Message()));
    }
    QCOMPARE(settings->SettingsStore(), ssRegistry);
    QCOMPARE(settings->DefaultSettingsStore(), ssRegistry);
    QCOMPARE(settings->LoadedState(), lsRegistry);
  }
}

void TestProgramSettings::eventsAndCustomHooks()
{
  for (const TSettingsStore store : {ssRegistry, ssINIFile}) {
    auto settings = NewStore(store);
    QStringList events;
    const auto record = [&](const char* AName) {
      return [&events, AName](QObject* ASender, TSettings&) {
        events << QString::fromLatin1(AName);
        QVERIFY(qobject_cast<TProgramSettings*>(ASender));
      };
    };
    settings->OnBeforeLoadSettings = record("BeforeLoad");
    settings->OnAfterLoadSettings = record("AfterLoad");
    settings->OnBeforeSaveSettings = record("BeforeSave");
    settings->OnAfterSaveSettings = record("AfterSave");
    // The owner keeps a value of its own in the same key or file while it is open.
    settings->OnSaveCustomRegistrySettings = [&](QObject*, TRegistry& ARegistry) {
      events << QStringLiteral("SaveRegistry");
      ARegistry.WriteString(QStringLiteral("Own"), QStringLiteral("mine"));
    };
    settings->OnLoadCustomRegistrySettings = [&](QObject*, TRegistry& ARegistry) {
      events << QStringLiteral("LoadRegistry:") + ARegistry.ReadString(QStringLiteral("Own"));
    };
    settings->OnSaveCustomINIFileSettings = [&](QObject*, TIniFile& AIni) {
      events << QStringLiteral("SaveINI");
      AIni.WriteString(QStringLiteral("Own"), QStringLiteral("Own"), QStringLiteral("mine"));
    };
    settings->OnLoadCustomINIFileSettings = [&](QObject*, TIniFile& AIni) {
      events << QStringLiteral("LoadINI:") + AIni.ReadString(QStringLiteral("Own"), QStringLiteral("Own"), {});
    };
    settings->OnLoadDefaultCustomRegistrySettings = [&](QObject*, TRegistry&) {
      events << QStringLiteral("LoadDefReg");
    };
    settings->OnSaveDefaultCustomRegistrySettings = [&](QObject*, TRegistry&) {
      events << QStringLiteral("SaveDefReg");
    };
    settings->OnLoadDefaultCustomINIFileSettings = [&](QObject*, TIniFile&) { events << QStringLiteral("LoadDefINI"); };
    settings->OnSaveDefaultCustomINIFileSettings = [&](QObject*, TIniFile&) { events << QStringLiteral("SaveDefINI"); };
    settings->SaveSettings();
    settings->LoadSettings();
    settings->LoadDefaults();
    settings->SaveDefaults();
    if (store == ssRegistry) {
      QCOMPARE(events, (QStringList{"BeforeSave", "SaveRegistry", "AfterSave", "BeforeLoad", "LoadRegistry:mine",
                                    "AfterLoad", "LoadDefReg", "SaveDefReg"}));
    } else {
      QCOMPARE(events, (QStringList{"BeforeSave", "SaveINI", "AfterSave", "BeforeLoad", "LoadINI:mine", "AfterLoad",
                                    "LoadDefINI", "SaveDefINI"}));
    }
  }
  {
    // The hooks fire also when the key does not open (here: no rights to the machine's hive).
    auto settings = NewStore(ssRegistry);
    settings->SetRootKey(HKEY_LOCAL_MACHINE);
    int hooks = 0;
    settings->OnSaveCustomRegistrySettings = [&](QObject*, TRegistry&) { ++hooks; };
    settings->OnLoadCustomRegistrySettings = [&](QObject*, TRegistry&) { ++hooks; };
    QDir().mkpath(FHome->Path(QStringLiteral("etc/Corvale")));
    QFile::setPermissions(FHome->Path(QStringLiteral("etc/Corvale")), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const int result = FHome->RunAsUser([&] {
      settings->SaveSettings();
      settings->LoadSettings();
      // A machine hive nobody seeded is no damaged store.
      if (!settings->StoreErrorText().isEmpty())
        return 2;
      return hooks == 2 && settings->GetValueByName(QStringLiteral("Number")) == QVariant(12) ? 0 : 1;
    });
    QCOMPARE(result, 0);
  }
}

void TestProgramSettings::wrongTypeRaisesOutOfTheLoad()
{
  TRegistry registry;
  QVERIFY(registry.OpenKey(Key, true));
  registry.WriteString(QStringLiteral("Number"), QStringLiteral("seven"));
  auto settings = NewStore(ssRegistry);
  bool after = false;
  settings->OnAfterLoadSettings = [&](QObject*, TSettings&) { after = true; };
  QVERIFY_THROWS_EXCEPTION(ERegistryException, settings->LoadSettings());
  QVERIFY(after);
  QCOMPARE(settings->LoadedState(), lsNone);
  QVERIFY_THROWS_EXCEPTION(ERegistryException, settings->LoadValue(QStringLiteral("Number")));
  registry.WriteInteger(QStringLiteral("Ratio"), 1);
  registry.WriteInteger(QStringLiteral("Number"), 1);
  QVERIFY_THROWS_EXCEPTION(ERegistryException, settings->LoadSettings()); // a float must be 8 bytes
}

void TestProgramSettings::assignCopiesTheConfiguration()
{
  auto source = NewStore(ssRegistry);
  source->SetDefaultSettingsStore(ssINIFile);
  source->SetRootKey(HKEY_LOCAL_MACHINE);
  source->SetEncryptKey(QStringLiteral("OTHER"));
  TProgramSettings target;
  target.Add(QStringLiteral("Own"), vtInteger, 1);
  target.Assign(source.get());
  QCOMPARE(target.SettingsStore(), ssRegistry);
  QCOMPARE(target.DefaultSettingsStore(), ssINIFile);
  QCOMPARE(target.RootKey(), HKEY_LOCAL_MACHINE);
  QCOMPARE(target.SettingsKey(), Key + QStringLiteral("\\"));
  QCOMPARE(target.EncryptKey(), QStringLiteral("OTHER"));
  QCOMPARE(target.INIFileName(), source->INIFileName());
  QCOMPARE(target.DefaultINIFileName(), source->DefaultINIFileName());
  QCOMPARE(target.Count(), 1); // the settings are not copied
  target.Assign(nullptr);
  QCOMPARE(target.EncryptKey(), QStringLiteral("OTHER"));

  // An empty key is never used: the default key scrambles instead.
  auto settings = NewStore(ssINIFile);
  settings->SetEncryptKey(QString());
  settings->SetValueByName(QStringLiteral("Secret"), Password);
  settings->SaveValue(QStringLiteral("Secret"));
  const TIniFile ini(FHome->Path(QStringLiteral("settings.ini")));
  QCOMPARE(ini.ReadString(QStringLiteral("Settings"), QStringLiteral("Secret"), {}),
           TProgramSettings::SuperCipher(Password, QStringLiteral("K4STREL")));
}

void TestProgramSettings::runAtLogon()
{
  TProgramSettings settings;
  const QString file = AutoStartFileName(QStringLiteral("Corvale"));
  QCOMPARE(file, FHome->Path(QStringLiteral("home/config/autostart/Corvale.desktop")));
  QVERIFY(!settings.GetAutoRun());
  QVERIFY(settings.SetAutoRun(QStringLiteral("/HIDE \"two words\" 100%"), true));
  QVERIFY(settings.GetAutoRun());
  QFile entry(file);
  QVERIFY(entry.open(QIODevice::ReadOnly));
  const QString content = QString::fromUtf8(entry.readAll());
  entry.close();
  QVERIFY(content.startsWith(QStringLiteral("[Desktop Entry]\n")));
  QVERIFY(content.contains(QStringLiteral("\nType=Application\n")));
  QVERIFY(content.contains(QStringLiteral("\nName=Corvale\n")));
  // The icon is named like the program; the window class is the application's name.
  QVERIFY2(content.contains(QStringLiteral("\nIcon=") + QFileInfo(ExecutableFileName()).fileName() + '\n'),
           qPrintable(content));
  QVERIFY2(content.contains(QStringLiteral("\nStartupWMClass=") + QCoreApplication::applicationName() + '\n'),
           qPrintable(content));
  QVERIFY2(content.contains(QStringLiteral("\nExec=") + ExecutableFileName() +
                            QStringLiteral(" /HIDE \"two words\" 100%%\n")),
           qPrintable(content));
  QVERIFY(settings.SetAutoRun(QString(), true)); // replaced, not added to
  QVERIFY(entry.open(QIODevice::ReadOnly));
  QVERIFY(QString::fromUtf8(entry.readAll()).contains(QStringLiteral("\nExec=") + ExecutableFileName() + '\n'));
  entry.close();
  QVERIFY(settings.SetAutoRun(QString(), false));
  QVERIFY(!settings.GetAutoRun());
  QVERIFY(settings.SetAutoRun(QString(), false)); // nothing to remove is no error

  // Without a place to write the entry: false, nothing changes, no error.
  QFile blocker(FHome->Path(QStringLiteral("blocker")));
  QVERIFY(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(blocker.fileName()));
  QVERIFY(!settings.SetAutoRun(QStringLiteral("/HIDE"), true));
  QVERIFY(!settings.GetAutoRun());
}

QTEST_GUILESS_MAIN(TestProgramSettings)
#include "tst_programsettings.moc"
