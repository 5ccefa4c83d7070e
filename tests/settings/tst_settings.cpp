// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/EProgramSettingsError.h"
#include "settings/TSettings.h"

#include <QTest>

class TestSettings : public QObject
{
  Q_OBJECT

private slots:
  void namesCompareWithoutCase();
  void unknownNamesRaise();
  void asStringListsEveryItem();
  void superCipherKeepsItsRules();
  void superCipherRoundTripsEveryCharacter();
  void superCipherKeepsTheStoredFormOfWorkingTexts();
};

void TestSettings::namesCompareWithoutCase()
{
  TSettings settings;
  TSettingItem* debug = settings.Add(QStringLiteral("Debug"), vtBoolean, false);
  settings.SetValueByName(QStringLiteral("DEBUG"), true);
  // Adding an existing name keeps its value, replaces type and default, and adds no item.
  TSettingItem* again = settings.Add(QStringLiteral("debug"), vtInteger, 5);
  QCOMPARE(again, debug);
  QCOMPARE(settings.Count(), 1);
  QCOMPARE(debug->KeyName(), QStringLiteral("debug"));
  QCOMPARE(debug->ValueType(), vtInteger);
  QCOMPARE(debug->DefaultValue(), QVariant(5));
  QCOMPARE(debug->Value(), QVariant(true));
  QVERIFY(!settings.Add(QStringLiteral("New"), vtString, QStringLiteral("d"))->Value().isValid());
  settings.AddValue(QStringLiteral("Port"), vtInteger, 25);
  QCOMPARE(settings.GetValueByName(QStringLiteral("port")), QVariant(25));
  QCOMPARE(settings.KeyByName(QStringLiteral("PORT"))->DefaultValue(), QVariant(25));
  QCOMPARE(settings.IndexByName(QStringLiteral("pOrT")), 2);
  QCOMPARE(settings.IndexByName(QStringLiteral("Nothing")), -1);
  QVERIFY(settings.KeyExists(QStringLiteral("NEW")));
  // Letter case beyond ASCII folds too.
  settings.Add(QStringLiteral("Ärger"), vtString, QString());
  QVERIFY(settings.KeyExists(QStringLiteral("äRGER")));
}

void TestSettings::unknownNamesRaise()
{
  TSettings settings;
  settings.Add(QStringLiteral("Known"), vtString, QString());
  for (const auto& call : {std::function<void()>([&] { settings.KeyByName(QStringLiteral("Missing")); }),
                           std::function<void()>([&] { settings.GetValueByName(QStringLiteral("Missing")); }),
                           std::function<void()>([&] { settings.SetValueByName(QStringLiteral("Missing"), 1); })}) {
    try {
      call();
      QFAIL("no exception");
    } catch (const EProgramSettingsError& e) {
      QCOMPARE(e.Message(), QStringLiteral("Invalid Key Name (Missing)"));
    }
  }
}

void TestSettings::asStringListsEveryItem()
{
  TSettings settings;
  settings.AddValue(QStringLiteral("A"), vtString, QStringLiteral("x"));
  settings.AddValue(QStringLiteral("B"), vtBoolean, true);
  settings.Add(QStringLiteral("C"), vtInteger, 1);
  settings.AddValue(QStringLiteral("D"), vtUnknown, QVariant::fromValue(QList<QObject*>{}));
  QCOMPARE(settings.AsString(), QStringLiteral("A: xB: TrueC: D: <cannot convert to string>"));
}

void TestSettings::superCipherKeepsItsRules()
{
  const QString key = QStringLiteral("K4STREL");
  QCOMPARE(TSettings::SuperCipher(QString(), key), QString());
  QCOMPARE(TSettings::SuperCipher(QStringLiteral("secret"), QString()), QString());
  // Known stored forms: "K" (0x4B) and "4" (0x34) against the bands of the first two characters.
  QCOMPARE(TSettings::SuperCipher(QStringLiteral("a!"), key), QString(QChar(0x61 ^ 0x0B)) + QChar(0x21 ^ 0x14));
  const QString text = QStringLiteral("\r\n\tPass word 123 !?@ Zz ÿ Ā € ∑ 𝄞 end");
  const QString scrambled = TSettings::SuperCipher(text, key);
  QCOMPARE(scrambled.size(), text.size());
  QVERIFY(scrambled != text);
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t c = text.at(i).unicode();
    const char16_t s = scrambled.at(i).unicode();
    if (c < 0x20)
      QCOMPARE(s, c);
    else if (c < 0x40)
      QVERIFY(s >= 0x20 && s < 0x40);
    else if (c < 0x2080 || c > 0x20FF)
      QCOMPARE(s & ~(c >= 0x20AC ? 0x7F : 0x3F), c & ~(c >= 0x20AC ? 0x7F : 0x3F));
  }
  // A key shorter than the text is repeated from its first character.
  QCOMPARE(TSettings::SuperCipher(QStringLiteral("aaaa"), QStringLiteral("KL")),
           TSettings::SuperCipher(QStringLiteral("aa"), QStringLiteral("KL")).repeated(2));
}

void TestSettings::superCipherRoundTripsEveryCharacter()
{
  // Every code unit against every key bit that takes part (the masks reach bit 6 at most).
  for (int k = 0; k < 128; ++k) {
    const QString key(1, QChar(char16_t(k)));
    for (int c = 0; c < 0x10000; ++c) {
      const QString text(1, QChar(char16_t(c)));
      const QString scrambled = TSettings::SuperCipher(text, key);
      if (TSettings::SuperCipher(scrambled, key) != text)
        QFAIL(qPrintable(QStringLiteral("U+%1 with key 0x%2").arg(c, 4, 16).arg(k, 2, 16)));
      if (c >= 0x20 && scrambled.at(0).unicode() < 0x20)
        QFAIL("a scrambled character fell below U+0020");
    }
  }
  // The euro sign and the edges of the block where the two masks meet, in a stored password.
  const QString key = QStringLiteral("K4STREL");
  const QString password = QStringLiteral("€") + QChar(0x207F) + QChar(0x2080) + QChar(0x208C) + QChar(0x20AB) +
                           QChar(0x20AC) + QChar(0x20C0) + QChar(0x20FF) + QChar(0x2100) + QStringLiteral("€€€€€€€");
  QCOMPARE(TSettings::SuperCipher(TSettings::SuperCipher(password, key), key), password);
}

void TestSettings::superCipherKeepsTheStoredFormOfWorkingTexts()
{
  // The plain rule, as texts have always been stored.
  const auto plain = [](char16_t c, int k) -> char16_t {
    if (c >= 0x20AC)
      return char16_t(c ^ (k & 0x7F));
    if (c >= 0x40)
      return char16_t(c ^ (k & 0x3F));
    if (c >= 0x20)
      return char16_t(c ^ (k & 0x1F));
    return c;
  };
  int changed = 0;
  for (int k = 0; k < 256; ++k) {
    const QString key(1, QChar(char16_t(k)));
    for (int c = 0x2000; c < 0x2200; ++c) {
      const char16_t once = plain(char16_t(c), k);
      const char16_t stored = TSettings::SuperCipher(QString(1, QChar(char16_t(c))), key).at(0).unicode();
      if (plain(once, k) == c)
        QCOMPARE(stored, once); // it round-tripped before: its stored form stays
      else
        ++changed;
    }
  }
  QVERIFY(changed > 0);
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
