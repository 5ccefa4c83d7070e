// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestHome.h"
#include "platform/TIniFile.h"
#include "platform/TRegistry.h"
#include "settings/TProgramSettings.h"

#include <QTest>

namespace {

const QString Key = QStringLiteral("\\Software\\Quenfield\\Orvel");

} // namespace

class TestSections : public QObject
{
  Q_OBJECT

private slots:
  void init();
  void collectionsFindByNameWithoutCase();
  void sectionsRoundTrip_data();
  void sectionsRoundTrip();
  void registrySaveReplacesTheBaseKey();
  void iniSaveKeepsOldSectionsButUnlistsThem();
  void templateWithoutFieldsLoadsNothing();
  void customValues();
  void formPlacement_data();
  void formPlacement();

private:
  std::unique_ptr<TProgramSettings> NewStore(TSettingsStore AStore) const;
  static void Template(TProgramSettingsSections& ASections);

  std::unique_ptr<TTestHome> FHome;
};

void TestSections::init()
{
  FHome = std::make_unique<TTestHome>();
  QVERIFY(FHome->IsValid());
}

std::unique_ptr<TProgramSettings> TestSections::NewStore(TSettingsStore AStore) const
{
  auto settings = std::make_unique<TProgramSettings>();
  settings->SetSettingsStore(AStore);
  settings->SetSettingsKey(Key);
  settings->SetINIFileName(FHome->Path(QStringLiteral("settings.ini")));
  return settings;
}

void TestSections::Template(TProgramSettingsSections& ASections)
{
  ASections.BaseSettings().Add(QStringLiteral("Host"), vtString, QStringLiteral("localhost"));
  ASections.BaseSettings().Add(QStringLiteral("Port"), vtInteger, 25);
  ASections.BaseSettings().Add(QStringLiteral("Secret"), vtPassword, QString());
  ASections.BaseSettings().Add(QStringLiteral("Amount"), vtCurrency, 0.0);
}

void TestSections::collectionsFindByNameWithoutCase()
{
  TProgramSettings settings;
  TProgramSettingsSections* servers = settings.AddSection(QStringLiteral("Servers"));
  QCOMPARE(settings.AddSection(QStringLiteral("SERVERS")), servers);
  QCOMPARE(settings.GetSectionFromName(QStringLiteral("servers")), servers);
  QCOMPARE(settings.GetSectionFromName(QStringLiteral("Other")), nullptr);
  QCOMPARE(servers->BaseSectionName(), QStringLiteral("SERVERS"));
  TProgramSettingsSection* mail =
      servers->Add(QStringLiteral("Mail"), QStringLiteral("Host"), vtString, QStringLiteral("smtp"));
  QCOMPARE(servers->Add(QStringLiteral("MAIL"), QStringLiteral("Port"), vtInteger, 587), mail);
  QCOMPARE(servers->Count(), 1);
  QCOMPARE(mail->Settings().GetValueByName(QStringLiteral("port")), QVariant(587));
  QCOMPARE(servers->SectionByName(QStringLiteral("mail")), mail);
  QCOMPARE(servers->SectionByName(QStringLiteral("News")), nullptr);
  settings.ClearSections();
  QCOMPARE(settings.GetSectionFromName(QStringLiteral("Servers")), nullptr);
  // A name that is not registered does nothing.
  settings.SaveSection(QStringLiteral("Servers"));
  settings.LoadSection(QStringLiteral("Servers"));
  QVERIFY(!QFile::exists(settings.INIFileName()));
}

void TestSections::sectionsRoundTrip_data()
{
  QTest::addColumn<int>("store");
  QTest::newRow("registry") << int(ssRegistry);
  QTest::newRow("ini") << int(ssINIFile);
}

void TestSections::sectionsRoundTrip()
{
  QFETCH(int, store);
  {
    auto settings = NewStore(TSettingsStore(store));
    settings->Add(QStringLiteral("Plain"), vtInteger, 0)->SetValue(3);
    TProgramSettingsSections* servers = settings->AddSection(QStringLiteral("Servers"));
    Template(*servers);
    servers->Add(QStringLiteral("Mail"), QStringLiteral("Host"), vtString, QStringLiteral("smtp.example.org"));
    servers->Add(QStringLiteral("Mail"), QStringLiteral("Secret"), vtPassword, QStringLiteral("pw €"));
    servers->Add(QStringLiteral("Mail"), QStringLiteral("Amount"), vtCurrency, 2.5);
    servers->Add(QStringLiteral("Backup"), QStringLiteral("Port"), vtInteger, 2049);
    settings->SaveSettings(); // the values, then every section
  }
  auto settings = NewStore(TSettingsStore(store));
  settings->Add(QStringLiteral("Plain"), vtInteger, 0);
  TProgramSettingsSections* servers = settings->AddSection(QStringLiteral("servers"));
  Template(*servers);
  servers->Add(QStringLiteral("Stale"), QStringLiteral("Host"), vtString, QStringLiteral("gone after the load"));
  settings->LoadSettings();
  QCOMPARE(settings->GetValueByName(QStringLiteral("Plain")), QVariant(3));
  QCOMPARE(servers->Count(), 2);
  const TProgramSettingsSection* mail = servers->SectionByName(QStringLiteral("Mail"));
  const TProgramSettingsSection* backup = servers->SectionByName(QStringLiteral("Backup"));
  QVERIFY(mail && backup);
  // Every template field is read, stored or not.
  QCOMPARE(mail->Settings().Count(), 4);
  QCOMPARE(mail->Settings().GetValueByName(QStringLiteral("Host")), QVariant(QStringLiteral("smtp.example.org")));
  QCOMPARE(mail->Settings().GetValueByName(QStringLiteral("Port")), QVariant(25));
  QCOMPARE(mail->Settings().GetValueByName(QStringLiteral("Secret")), QVariant(QStringLiteral("pw €")));
  QCOMPARE(mail->Settings().GetValueByName(QStringLiteral("Amount")).toDouble(), 2.5);
  QCOMPARE(backup->Settings().GetValueByName(QStringLiteral("Port")), QVariant(2049));
  QCOMPARE(backup->Settings().GetValueByName(QStringLiteral("Host")), QVariant(QStringLiteral("localhost")));

  // Passwords are scrambled in the store; custom values keep currency as a double.
  if (store == ssRegistry) {
    TRegistry registry;
    QVERIFY(registry.OpenKeyReadOnly(Key + QStringLiteral("\\Servers\\Mail")));
    QCOMPARE(registry.ReadString(QStringLiteral("Secret")),
             TProgramSettings::SuperCipher(QStringLiteral("pw €"), QStringLiteral("K4STREL")));
    QCOMPARE(registry.ReadDateTime(QStringLiteral("Amount")), 2.5);
    QCOMPARE(registry.GetValueNames(), (QStringList{"Host", "Secret", "Amount"}));
  } else {
    const TIniFile ini(settings->INIFileName());
    QCOMPARE(ini.ReadSection(QStringLiteral("Servers")), (QStringList{"Mail", "Backup"}));
    QCOMPARE(ini.ReadString(QStringLiteral("Mail"), QStringLiteral("Secret"), {}),
             TProgramSettings::SuperCipher(QStringLiteral("pw €"), QStringLiteral("K4STREL")));
  }
}

void TestSections::registrySaveReplacesTheBaseKey()
{
  auto settings = NewStore(ssRegistry);
  TProgramSettingsSections* servers = settings->AddSection(QStringLiteral("Servers"));
  Template(*servers);
  servers->Add(QStringLiteral("A"), QStringLiteral("Host"), vtString, QStringLiteral("a"));
  servers->Add(QStringLiteral("B"), QStringLiteral("Host"), vtString, QStringLiteral("b"));
  settings->SaveSection(QStringLiteral("Servers"));
  TRegistry registry;
  QVERIFY(registry.OpenKey(Key + QStringLiteral("\\Servers\\B\\Deeper"), true));
  servers->Clear();
  settings->SaveSection(QStringLiteral("SERVERS"));
  QVERIFY(registry.OpenKeyReadOnly(Key + QStringLiteral("\\Servers")));
  QVERIFY(registry.GetKeyNames().isEmpty());
  QVERIFY(registry.GetValueNames().isEmpty());
}

void TestSections::iniSaveKeepsOldSectionsButUnlistsThem()
{
  auto settings = NewStore(ssINIFile);
  TProgramSettingsSections* servers = settings->AddSection(QStringLiteral("Servers"));
  Template(*servers);
  servers->Add(QStringLiteral("A"), QStringLiteral("Host"), vtString, QStringLiteral("a"));
  servers->Add(QStringLiteral("B"), QStringLiteral("Host"), vtString, QStringLiteral("b"));
  settings->SaveSection(QStringLiteral("Servers"));
  servers->Clear();
  servers->Add(QStringLiteral("A"), QStringLiteral("Host"), vtString, QStringLiteral("a2"));
  settings->SaveSection(QStringLiteral("Servers"));
  const TIniFile ini(settings->INIFileName());
  QCOMPARE(ini.ReadSection(QStringLiteral("Servers")), QStringList{"A"});
  QCOMPARE(ini.ReadString(QStringLiteral("B"), QStringLiteral("Host"), {}), QStringLiteral("b"));
  settings->LoadSection(QStringLiteral("Servers"));
  QCOMPARE(servers->Count(), 1);
  QCOMPARE(servers->GetItem(0)->Settings().GetValueByName(QStringLiteral("Host")), QVariant(QStringLiteral("a2")));
  // A listed name without a section of its own is no section.
  TIniFile writer(settings->INIFileName());
  writer.WriteString(QStringLiteral("Servers"), QStringLiteral("Ghost"), QString());
  settings->LoadSection(QStringLiteral("Servers"));
  QCOMPARE(servers->Count(), 1);
}

void TestSections::templateWithoutFieldsLoadsNothing()
{
  for (const TSettingsStore store : {ssRegistry, ssINIFile}) {
    auto settings = NewStore(store);
    TProgramSettingsSections* servers = settings->AddSection(QStringLiteral("Servers"));
    Template(*servers);
    servers->Add(QStringLiteral("A"), QStringLiteral("Host"), vtString, QStringLiteral("a"));
    settings->SaveSettings();
    servers->BaseSettings().Clear();
    settings->LoadSettings();
    QCOMPARE(servers->Count(), 0);
  }
}

void TestSections::customValues()
{
  for (const TSettingsStore store : {ssRegistry, ssINIFile}) {
    auto settings = NewStore(store);
    QCOMPARE(settings->LoadCustomValue(QStringLiteral("Nowhere"), QStringLiteral("K"), vtInteger, 41), QVariant(41));
    QCOMPARE(settings->LoadCustomValue(QStringLiteral("Nowhere"), QStringLiteral("P"), vtPassword, QStringLiteral("d")),
             QVariant(QStringLiteral("d")));
    settings->SaveCustomValue(QStringLiteral("Extra"), QStringLiteral("Count"), vtInteger, 7);
    settings->SaveCustomValue(QStringLiteral("Extra"), QStringLiteral("Pin"), vtPassword, QStringLiteral("1234"));
    settings->SaveCustomValue(QStringLiteral("Extra"), QStringLiteral("Rate"), vtCurrency, 1.25);
    settings->SaveCustomValue(QStringLiteral("Extra"), QStringLiteral("On"), vtBoolean, true);
    QCOMPARE(settings->LoadCustomValue(QStringLiteral("extra"), QStringLiteral("COUNT"), vtInteger, 0), QVariant(7));
    QCOMPARE(settings->LoadCustomValue(QStringLiteral("Extra"), QStringLiteral("Pin"), vtPassword, QString()),
             QVariant(QStringLiteral("1234")));
    QCOMPARE(settings->LoadCustomValue(QStringLiteral("Extra"), QStringLiteral("Rate"), vtCurrency, 0.0).toDouble(),
             1.25);
    QCOMPARE(settings->LoadCustomValue(QStringLiteral("Extra"), QStringLiteral("On"), vtBoolean, false),
             QVariant(true));
  }
  // The registry keeps them in the settings key followed directly by the section.
  TRegistry registry;
  QVERIFY(registry.OpenKeyReadOnly(Key + QStringLiteral("\\Extra")));
  QCOMPARE(registry.ReadInteger(QStringLiteral("Count")), 7);
  QVERIFY(registry.ReadString(QStringLiteral("Pin")) != QStringLiteral("1234"));
}

void TestSections::formPlacement_data()
{
  sectionsRoundTrip_data();
}

void TestSections::formPlacement()
{
  QFETCH(int, store);
  auto settings = NewStore(TSettingsStore(store));
  TFormPlacement current{10, 20, 300, 200, 0, 0, 0};
  {
    // Nothing stored: the registry has nothing to apply; an INI file gives back the current values.
    TFormPlacement placement = current;
    placement.Monitor = 3;
    const bool found = settings->LoadFormPlacement(QStringLiteral("TfrmMain"), placement);
    QCOMPARE(found, store == ssINIFile);
    if (found) {
      QCOMPARE(placement.Left, 10);
      QCOMPARE(placement.Height, 200);
      QCOMPARE(placement.Monitor, 0);
    }
  }
  {
    // A minimized window is stored as a normal one.
    settings->SaveFormPlacement(QStringLiteral("TfrmMain"), TFormPlacement{5, 6, 700, 500, 1, 3, 1});
    TFormPlacement placement = current;
    QVERIFY(settings->LoadFormPlacement(QStringLiteral("TfrmMain"), placement));
    QCOMPARE(placement.Left, 5);
    QCOMPARE(placement.Top, 6);
    QCOMPARE(placement.Width, 700);
    QCOMPARE(placement.Height, 500);
    QCOMPARE(placement.WindowState, 0);
    QCOMPARE(placement.FormStyle, 3);
    QCOMPARE(placement.Monitor, 1);
  }
  {
    // A maximized window stores only its state, style and display; the bounds stay as they were.
    settings->SaveFormPlacement(QStringLiteral("TfrmOther"), TFormPlacement{1, 2, 3, 4, 2, 0, 2});
    TFormPlacement placement = current;
    QVERIFY(settings->LoadFormPlacement(QStringLiteral("TfrmOther"), placement));
    QCOMPARE(placement.Left, 10);
    QCOMPARE(placement.Width, 300);
    QCOMPARE(placement.WindowState, 2);
    QCOMPARE(placement.Monitor, 2);
  }
  if (store == ssRegistry) {
    TRegistry registry;
    QVERIFY(registry.OpenKeyReadOnly(Key + QStringLiteral("\\Forms\\TfrmOther")));
    QCOMPARE(registry.GetValueNames(), (QStringList{"WindowState", "FormStyle", "Monitor"}));
  } else {
    const TIniFile ini(settings->INIFileName());
    QCOMPARE(ini.ReadSection(QStringLiteral("Form.TfrmMain")),
             (QStringList{"Left", "Top", "Width", "Height", "WindowState", "FormStyle", "Monitor"}));
  }
}

QTEST_GUILESS_MAIN(TestSections)
#include "tst_sections.moc"
