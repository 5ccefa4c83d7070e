// SPDX-License-Identifier: GPL-3.0-or-later
// Registry files: reading the three encodings and the registry editor's syntax, writing version
// 5.00, the type check against the stored layout, and export and import against the user's hive.
#include "platform/TRegistry.h"
#include "profiles/TBackupProfileManager.h"
#include "profiles/TRegFileLayout.h"
#include "profiles/TRegFileTransfer.h"
#include "settings/TApplicationOptions.h"
#include "settings/TProgramSettings.h"
#include "settings/TRegFile.h"
#include "settings/TestHome.h"
#include "tests/support/StoreSnapshot.h"

#include <QStringEncoder>
#include <QTest>

#include <sys/stat.h>

namespace {

const QString ProgramKey = QStringLiteral("\\Software\\Quenfield\\Orvel");
const QString Root = QStringLiteral("HKEY_CURRENT_USER\\Software\\Quenfield\\Orvel");

QByteArray Utf16(const QString& AText)
{
  QStringEncoder encoder(QStringConverter::Utf16LE);
  return QByteArray("\xFF\xFE", 2) + QByteArray(encoder(AText));
}

// Gives every stored field of ARecord a value other than its initial one, within the row's range.
template <typename TRecord> void FillSamples(TRecord& ARecord, TStoredFields<TRecord> AFields, int ASeed)
{
  for (const TStoredField<TRecord>& row : AFields) {
    ++ASeed;
    std::visit(
        [&](auto AField) {
          using T = decltype(AField);
          if constexpr (std::is_same_v<T, bool TRecord::*>)
            ARecord.*AField = row.Default == 0;
          else if constexpr (std::is_same_v<T, QString TRecord::*>)
            ARecord.*AField = QString::fromLatin1(row.Name) + QStringLiteral(" ü\r\nline ") + QString::number(ASeed);
          else if constexpr (std::is_same_v<T, TDateTime TRecord::*>)
            ARecord.*AField = 42000.25 + ASeed;
          else if constexpr (!std::is_same_v<T, TFixedValue>)
            ARecord.*AField =
                static_cast<std::remove_reference_t<decltype(ARecord.*AField)>>(row.Min > row.Max ? row.Default + ASeed
                                                                                : row.Default == row.Min ? row.Max
                                                                                                         : row.Min);
        },
        row.Field);
  }
}

// The names of the rows whose fields differ between the two records.
template <typename TRecord> QStringList Differences(const TRecord& A, const TRecord& B, TStoredFields<TRecord> AFields)
{
  QStringList names;
  for (const TStoredField<TRecord>& row : AFields)
    std::visit(
        [&](auto AField) {
          if constexpr (!std::is_same_v<decltype(AField), TFixedValue>)
            if (!(A.*AField == B.*AField))
              names << QString::fromLatin1(row.Name);
        },
        row.Field);
  return names;
}

template <typename TRecord> QStringList FieldNames(TStoredFields<TRecord> AFields)
{
  QStringList names;
  for (const TStoredField<TRecord>& row : AFields)
    if (!std::holds_alternative<TFixedValue>(row.Field))
      names << QString::fromLatin1(row.Name);
  return names;
}

} // namespace

class TestRegFile : public QObject
{
  Q_OBJECT

private slots:
  void init();
  void readsTheThreeEncodings();
  void readsTheEditorSyntax();
  void writesVersion5AndReadsItBack();
  void faultsNameTheirLine_data();
  void faultsNameTheirLine();
  void layoutMatchesWhatTheProgramStores();
  void everyStoredValueRoundTripsThroughStoreAndFile();
  void checkRefusesWrongKindsAndForeignKeys();
  void exportIsPrivateAndImportRestoresIt();
  void importMergesDeletesAndReplaces();
  void refusedImportLeavesTheStoreAsItWas();

private:
  std::unique_ptr<TTestHome> FHome;
};

void TestRegFile::init()
{
  FHome = std::make_unique<TTestHome>();
  QVERIFY(FHome->IsValid());
}

void TestRegFile::readsTheThreeEncodings()
{
  const QString body = QStringLiteral("\r\n[%1\\Bücher]\r\n\"Name\"=\"Grüße\"\r\n").arg(Root);
  const QList<QByteArray> files{
      Utf16(TRegFile::Version5Header + body),                                  // what the editor writes
      (TRegFile::Version5Header + body).toUtf8(),                              // UTF-8 without a mark
      QByteArray("\xEF\xBB\xBF") + (TRegFile::Version5Header + body).toUtf8(), // with one
      (TRegFile::Version4Header + body).toLatin1(),                            // an old 8-bit file
  };
  for (const QByteArray& data : files) {
    TRegFile file;
    QVERIFY2(file.Parse(data), qPrintable(file.ErrorText()));
    QCOMPARE(file.Keys().size(), 1);
    QCOMPARE(file.Keys().first().Path, Root + QStringLiteral("\\Bücher"));
    QCOMPARE(file.Keys().first().Values.first().Data.toString(), QStringLiteral("Grüße"));
  }
}

void TestRegFile::readsTheEditorSyntax()
{
  const QString text = TRegFile::Version5Header + QStringLiteral("\r\n; a comment\r\n"
                                                                 "[-%1\\Old]\r\n"
                                                                 "[%1\\P]\r\n"
                                                                 "@=\"unnamed\"\r\n"
                                                                 "\"Path\"=\"C:\\\\Backups\\\\\\\"x\\\"\"\r\n"
                                                                 "\"Big\"=dword:FFFFFFFF\r\n"
                                                                 "\"Short\"=dword:2a\r\n"
                                                                 "\"Bytes\"=hex:01,02,\\\r\n"
                                                                 "  03,ff\r\n"
                                                                 "\"Empty\"=hex:\r\n"
                                                                 "\"Wide\"=hex(1):41,00,0d,00,0a,00,42,00,00,00\r\n"
                                                                 "\"Four\"=hex(4):10,00,00,00\r\n"
                                                                 "\"Gone\"=-\r\n")
                                                      .arg(Root);
  TRegFile file;
  QVERIFY2(file.Parse(Utf16(text)), qPrintable(file.ErrorText()));
  QCOMPARE(file.Keys().size(), 2);
  QVERIFY(file.Keys().at(0).Delete);
  const QList<TRegFile::TValue>& values = file.Keys().at(1).Values;
  QCOMPARE(values.size(), 9);
  QCOMPARE(values.at(0).Name, QString());
  QCOMPARE(values.at(1).Data.toString(), QStringLiteral("C:\\Backups\\\"x\""));
  QCOMPARE(values.at(2).Data.toInt(), -1);
  QCOMPARE(values.at(3).Data.toInt(), 42);
  QCOMPARE(values.at(4).Type, rdBinary);
  QCOMPARE(values.at(4).Data.toByteArray(), QByteArray("\x01\x02\x03\xff", 4));
  QCOMPARE(values.at(4).Line, 9);
  QCOMPARE(values.at(5).Data.toByteArray(), QByteArray());
  QCOMPARE(values.at(6).Type, rdString);
  QCOMPARE(values.at(6).Data.toString(), QStringLiteral("A\r\nB"));
  QCOMPARE(values.at(7).Type, rdInteger);
  QCOMPARE(values.at(7).Data.toInt(), 16);
  QVERIFY(values.at(8).Delete);
}

void TestRegFile::writesVersion5AndReadsItBack()
{
  TRegFile file;
  TRegFile::TKey key;
  key.Path = Root + QStringLiteral("\\P");
  auto add = [&](const QString& AName, TRegDataType AType, const QVariant& AData) {
    TRegFile::TValue value;
    value.Name = AName;
    value.Type = AType;
    value.Data = AData;
    key.Values << value;
  };
  add(QStringLiteral("Quote\"Back\\slash"), rdString, QStringLiteral("a\"b\\c"));
  add(QStringLiteral("Body"), rdString, QStringLiteral("Line one\r\nLine two"));
  // Written as hex(1); the leading U+FEFF is the value's, not a byte-order mark.
  add(QStringLiteral("Marked"), rdString, QString(QString(QChar(0xFEFF)) + QStringLiteral("\r\nafter the mark")));
  add(QString(), rdString, QStringLiteral("unnamed"));
  add(QStringLiteral("Negative"), rdInteger, -2);
  QByteArray big(300, '\0');
  for (int i = 0; i < big.size(); ++i)
    big[i] = char(i);
  add(QStringLiteral("Big"), rdBinary, big);
  file.Keys() << key;

  const QByteArray bytes = file.ToBytes();
  QVERIFY(bytes.startsWith("\xFF\xFE"));
  QStringDecoder decoder(QStringConverter::Utf16LE);
  const QString text = decoder(bytes.mid(2));
  QVERIFY(text.startsWith(TRegFile::Version5Header + QStringLiteral("\r\n\r\n[") + Root));
  QVERIFY(text.contains(QStringLiteral("\"Negative\"=dword:fffffffe\r\n")));
  QVERIFY(text.contains(QStringLiteral("\"Body\"=hex(1):")));
  QVERIFY(text.contains(QStringLiteral("@=\"unnamed\"")));
  for (const QString& line : text.split(QStringLiteral("\r\n")))
    QVERIFY2(line.size() <= 80, qPrintable(line));

  TRegFile back;
  QVERIFY2(back.Parse(bytes), qPrintable(back.ErrorText()));
  QCOMPARE(back.Keys().size(), 1);
  const QList<TRegFile::TValue>& values = back.Keys().first().Values;
  QCOMPARE(values.size(), key.Values.size());
  for (qsizetype i = 0; i < values.size(); ++i) {
    QCOMPARE(values.at(i).Name, key.Values.at(i).Name);
    QCOMPARE(values.at(i).Type, key.Values.at(i).Type);
    QCOMPARE(values.at(i).Data, key.Values.at(i).Data);
  }
}

void TestRegFile::faultsNameTheirLine_data()
{
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("error");
  const QString head = TRegFile::Version5Header + QStringLiteral("\r\n\r\n[%1]\r\n").arg(Root);
  QTest::newRow("no header") << QStringLiteral("[%1]\r\n").arg(Root) << QStringLiteral("Line 1: not a registry file");
  QTest::newRow("empty") << QString() << QStringLiteral("Line 1:");
  QTest::newRow("value before a key") << TRegFile::Version5Header + QStringLiteral("\r\n\"a\"=\"b\"\r\n")
                                      << QStringLiteral("Line 2:");
  QTest::newRow("bad dword") << head + QStringLiteral("\"a\"=dword:123456789\r\n") << QStringLiteral("Line 4:");
  QTest::newRow("bad hex") << head + QStringLiteral("\"a\"=\"ok\"\r\n\"b\"=hex:01,zz\r\n") << QStringLiteral("Line 5:");
  QTest::newRow("multi-string") << head + QStringLiteral("\"a\"=hex(7):41,00,00,00\r\n") << QStringLiteral("Line 4:");
  QTest::newRow("unclosed text") << head + QStringLiteral("\"a\"=\"open\r\n") << QStringLiteral("Line 4:");
  QTest::newRow("garbage") << head + QStringLiteral("\r\nhello\r\n") << QStringLiteral("Line 5:");
  QTest::newRow("unclosed key") << head + QStringLiteral("[%1\\P\r\n").arg(Root) << QStringLiteral("Line 4:");
  // The bounds of what is read.
  QTest::newRow("513 levels") << head + QStringLiteral("[%1%2]\r\n").arg(Root, QStringLiteral("\\k").repeated(509))
                              << QStringLiteral("Line 4: the key has more than 512 levels");
  QTest::newRow("256-character name") << head + QStringLiteral("[%1\\%2]\r\n").arg(Root, QString(256, QLatin1Char('n')))
                                      << QStringLiteral("Line 4: a key name is longer than 255 characters");
  QTest::newRow("NUL in text") << head + QStringLiteral("\"a\"=hex(1):41,00,00,00,42,00,00,00\r\n")
                               << QStringLiteral("Line 4: the text holds a NUL character");
  QTest::newRow("too large") << head + QString(int(TRegFile::MaxFileSize / 2), QLatin1Char(';'))
                             << QStringLiteral("Line 1: the file is larger than 16 MiB");
  // An unclosed quote over many lines is read in linear time (this row took minutes before).
  QTest::newRow("long unclosed text") << head + QStringLiteral("\"a\"=\"") +
                                             QStringLiteral("some text of a line\r\n").repeated(200000)
                                      << QStringLiteral("Line 4: the text is not closed with a quote");
}

void TestRegFile::faultsNameTheirLine()
{
  QFETCH(QString, text);
  QFETCH(QString, error);
  TRegFile file;
  QVERIFY(!file.Parse(Utf16(text)));
  QVERIFY2(file.ErrorText().startsWith(error), qPrintable(file.ErrorText()));
  QVERIFY(file.Keys().isEmpty());
}

void TestRegFile::layoutMatchesWhatTheProgramStores()
{
  // Every value the program itself writes has the type the check expects for its place.
  TBackupProfileManager manager;
  manager.SetRegistryKey(ProgramKey);
  TBackupProfile* profile = manager.NewProfile(QStringLiteral("Docs"));
  profile->Files().Add(QStringLiteral("/home/"), QStringLiteral("*.*"), true);
  profile->FileExclusions().Add(QStringLiteral("/home/tmp/"), QStringLiteral("*.*"), false);
  profile->ActivePrograms() << QStringLiteral("Mail=MailClass");
  QVERIFY(profile->SaveProfile());
  QVERIFY(profile->SaveAsDefaults());
  TProgramSettings settings;
  TApplicationOptions::ConfigureStore(settings);
  TApplicationOptions options(&settings);
  options.RegisterOptions();
  settings.SaveSettings();

  TRegFileTransfer transfer(ProgramKey);
  TRegFile file;
  QVERIFY(transfer.Read(file));
  int checked = 0;
  for (const TRegFile::TKey& key : file.Keys()) {
    const QStringList parts = key.Path.mid(Root.size()).split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    for (const TRegFile::TValue& value : key.Values) {
      const TRegFileLayout::TExpected expected = TRegFileLayout::Expected(parts, value.Name);
      QVERIFY2(expected.Type == value.Type, qPrintable(key.Path + QLatin1Char(' ') + value.Name));
      if (expected.Size >= 0)
        QCOMPARE(value.Data.toByteArray().size(), expected.Size);
      ++checked;
    }
  }
  // 32 options, the 18 values of each of the two profiles, 3 + 3 entries, 1 program, 5 + 5 + 6 mail values.
  QVERIFY2(checked >= 32 + 18 + 3 + 3 + 1 + 16, qPrintable(QString::number(checked)));
  // Unknown places and names take what they are given.
  QCOMPARE(TRegFileLayout::Expected({QStringLiteral("Forms"), QStringLiteral("TfrmX")}, QStringLiteral("Left")).Type,
           rdUnknown);
  QCOMPARE(TRegFileLayout::Expected({}, QStringLiteral("NotAnOption")).Type, rdUnknown);
}

void TestRegFile::everyStoredValueRoundTripsThroughStoreAndFile()
{
  TBackupProfile fresh;
  TBackupProfile p;
  p.SetRegistryKey(ProgramKey);
  p.SetProfileName(QStringLiteral("Every value"));
  FillSamples(p, TBackupProfile::StoredValues(), 0);
  FillSamples(p.AlertEmailDetails(), TBackupProfile::StoredEmailValues(), 100);
  FillSamples(p.LogEmailDetails(), TBackupProfile::StoredEmailValues(), 200);
  FillSamples(p.SMTPSettings(), TBackupProfile::StoredSmtpValues(), 300);
  TBackupProfileFile entry;
  FillSamples(entry, TBackupProfile::StoredEntryValues(), 400);
  p.Files().Add(entry.Folder(), entry.FileMask(), entry.Recursive());
  // Each value differs from its initial one, so that a value lost on the way shows.
  QCOMPARE(Differences(fresh, p, TBackupProfile::StoredValues()), FieldNames(TBackupProfile::StoredValues()));
  QCOMPARE(Differences(TSmtpServer(), p.SMTPSettings(), TBackupProfile::StoredSmtpValues()),
           FieldNames(TBackupProfile::StoredSmtpValues()));
  QCOMPARE(Differences(TBackupProfileFile(), entry, TBackupProfile::StoredEntryValues()),
           FieldNames(TBackupProfile::StoredEntryValues()));
  QVERIFY(p.SaveProfile());

  // Out to a file, the store emptied, and back in: the layout check accepts every value.
  const QString fileName = FHome->Path(QStringLiteral("every.reg"));
  TRegFileTransfer transfer(ProgramKey);
  QVERIFY2(transfer.Export(fileName), qPrintable(transfer.ErrorText()));
  TRegistry reg;
  QVERIFY(reg.DeleteKey(ProgramKey));
  QVERIFY2(transfer.Import(fileName), qPrintable(transfer.ErrorText()));

  TBackupProfile q;
  q.SetRegistryKey(ProgramKey);
  QVERIFY(q.LoadProfile(p.ProfileName()));
  QCOMPARE(Differences(p, q, TBackupProfile::StoredValues()), QStringList());
  QCOMPARE(q.AlertEmailDetails(), p.AlertEmailDetails());
  QCOMPARE(q.LogEmailDetails(), p.LogEmailDetails());
  QCOMPARE(q.SMTPSettings(), p.SMTPSettings());
  QCOMPARE(q.Files().Count(), 1);
  QCOMPARE(Differences(entry, *q.Files().GetItem(0), TBackupProfile::StoredEntryValues()), QStringList());
}

void TestRegFile::checkRefusesWrongKindsAndForeignKeys()
{
  TRegFileTransfer transfer(ProgramKey);
  auto check = [&](const QString& ABody) -> QString {
    TRegFile file;
    if (!file.Parse(Utf16(TRegFile::Version5Header + QStringLiteral("\r\n\r\n") + ABody)))
      return QStringLiteral("parse: ") + file.ErrorText();
    return transfer.Check(file) ? QStringLiteral("ok") : transfer.ErrorText();
  };
  QCOMPARE(check(QStringLiteral("[%1]\r\n\"debug\"=dword:1\r\n\"SMTPHost\"=\"mail\"\r\n").arg(Root)),
           QStringLiteral("ok"));
  QVERIFY(check(QStringLiteral("[%1]\r\n\"Debug\"=\"1\"\r\n").arg(Root))
              .startsWith(QStringLiteral("Line 4: the value \"Debug\" must be a dword")));
  QVERIFY(check(QStringLiteral("[%1\\P]\r\n\"ZipFile\"=\"x\"\r\n\"AlertDays\"=\"7\"\r\n").arg(Root))
              .startsWith(QStringLiteral("Line 5:")));
  QVERIFY(check(QStringLiteral("[%1\\P]\r\n\"LastBackup\"=hex:00,01\r\n").arg(Root))
              .startsWith(QStringLiteral("Line 4: the value \"LastBackup\" must hold 8 bytes")));
  // Dates: finite, of the years 1 to 9999 (NaN, infinity, the year 10000 and the year 0).
  for (const char* bytes :
       {"00,00,00,00,00,00,f8,7f", "00,00,00,00,00,00,f0,7f", "00,00,00,00,41,92,46,41", "00,00,00,00,b4,2a,25,c1"})
    QVERIFY(
        check(QStringLiteral("[%1\\P]\r\n\"LastBackup\"=hex:%2\r\n").arg(Root, QLatin1String(bytes)))
            .startsWith(QStringLiteral("Line 4: the value \"LastBackup\" is not a date between the years 1 and 9999")));
  QCOMPARE(check(QStringLiteral("[%1\\P]\r\n\"LastBackup\"=hex:00,00,00,00,00,00,e0,40\r\n").arg(Root)),
           QStringLiteral("ok"));
  QVERIFY(check(QStringLiteral("[%1\\P\\Files\\0]\r\n\"recursive\"=hex:01\r\n").arg(Root))
              .startsWith(QStringLiteral("Line 4:")));
  QVERIFY(check(QStringLiteral("[%1\\P\\SMTPSettings]\r\n\"SMTPPort\"=\"25\"\r\n").arg(Root))
              .startsWith(QStringLiteral("Line 4:")));
  // Profiles are kept in the registry only.
  QCOMPARE(check(QStringLiteral("[%1]\r\n\"StorageType\"=dword:0\r\n").arg(Root)), QStringLiteral("ok"));
  QCOMPARE(
      check(QStringLiteral("[%1]\r\n\"storagetype\"=dword:1\r\n").arg(Root)),
      QStringLiteral("Line 4: \"StorageType\"=1 is not supported: backup profiles are kept in the registry only."));
  // Keys outside the program's key, and the key above it, are refused.
  QVERIFY(check(QStringLiteral("[HKEY_LOCAL_MACHINE\\Software\\Quenfield\\Orvel]\r\n"))
              .startsWith(QStringLiteral("Line 3: the key")));
  QVERIFY(check(QStringLiteral("[-HKEY_CURRENT_USER\\Software\\Quenfield]\r\n")).startsWith(QStringLiteral("Line 3:")));
  QCOMPARE(check(QStringLiteral("[hkcu\\software\\quenfield\\orvel\\P]\r\n\"Anything\"=hex:01\r\n")),
           QStringLiteral("ok"));
}

void TestRegFile::exportIsPrivateAndImportRestoresIt()
{
  {
    TRegistry registry;
    QVERIFY(registry.OpenKey(ProgramKey + QStringLiteral("\\Docs"), true));
    registry.WriteString(QStringLiteral("Password"), QStringLiteral("s3cret \"quoted\""));
    registry.WriteInteger(QStringLiteral("AlertDays"), 7);
    registry.WriteDateTime(QStringLiteral("LastBackup"), 45000.5);
    QVERIFY(registry.OpenKey(ProgramKey + QStringLiteral("\\Docs\\LogEmail"), true));
    registry.WriteString(QStringLiteral("Body"), QStringLiteral("Hello\r\n%log%"));
    QVERIFY(registry.OpenKey(ProgramKey, true));
    registry.WriteInteger(QStringLiteral("Debug"), 1);
  }
  const QString before = Snapshot();
  const QString fileName = FHome->Path(QStringLiteral("out.reg"));
  QVERIFY(WriteFile(fileName, "older content, readable by all"));
  ::chmod(QFile::encodeName(fileName).constData(), 0644);

  TRegFileTransfer transfer(ProgramKey);
  QVERIFY2(transfer.Export(fileName), qPrintable(transfer.ErrorText()));
  QCOMPARE(transfer.KeyCount(), 3);
  QCOMPARE(transfer.ValueCount(), 5);
  struct stat info
  {};
  QCOMPARE(::stat(QFile::encodeName(fileName).constData(), &info), 0);
  QCOMPARE(int(info.st_mode & 0777), 0600);
  QCOMPARE(QDir(FHome->Path(QString())).entryList({QStringLiteral("out.reg*")}, QDir::Files),
           QStringList{QStringLiteral("out.reg")}); // no temporary file left behind

  // Into an empty store, and the store holds the same again.
  QVERIFY(TRegistry().DeleteKey(ProgramKey));
  QVERIFY(Snapshot() != before);
  QVERIFY2(transfer.Import(fileName), qPrintable(transfer.ErrorText()));
  QCOMPARE(Snapshot(), before);

  // A folder that cannot take the file leaves nothing.
  QVERIFY(!transfer.Export(FHome->Path(QStringLiteral("missing/out.reg"))));
  QVERIFY(transfer.ErrorText().contains(QStringLiteral("missing/out.reg")));
}

void TestRegFile::importMergesDeletesAndReplaces()
{
  {
    TRegistry registry;
    QVERIFY(registry.OpenKey(ProgramKey + QStringLiteral("\\Keep"), true));
    registry.WriteString(QStringLiteral("ZipFile"), QStringLiteral("keep.zip"));
    QVERIFY(registry.OpenKey(ProgramKey + QStringLiteral("\\Drop\\Files\\0"), true));
    registry.WriteString(QStringLiteral("folder"), QStringLiteral("/x/"));
    QVERIFY(registry.OpenKey(ProgramKey + QStringLiteral("\\Edit"), true));
    registry.WriteString(QStringLiteral("Description"), QStringLiteral("old"));
    registry.WriteString(QStringLiteral("Password"), QStringLiteral("old"));
  }
  const QString fileName = FHome->Path(QStringLiteral("in.reg"));
  QVERIFY(WriteFile(fileName, Utf16(TRegFile::Version5Header + QStringLiteral("\r\n\r\n"
                                                                              "[-%1\\Drop]\r\n"
                                                                              "[%1\\Edit]\r\n"
                                                                              "\"Description\"=\"new\"\r\n"
                                                                              "\"Password\"=-\r\n"
                                                                              "[-%1\\NotThere]\r\n")
                                                                   .arg(Root))));
  TRegFileTransfer transfer(ProgramKey);
  QVERIFY2(transfer.Import(fileName), qPrintable(transfer.ErrorText()));
  TRegistry registry;
  QVERIFY(registry.KeyExists(ProgramKey + QStringLiteral("\\Keep")));
  QVERIFY(!registry.KeyExists(ProgramKey + QStringLiteral("\\Drop")));
  QVERIFY(registry.OpenKeyReadOnly(ProgramKey + QStringLiteral("\\Edit")));
  QCOMPARE(registry.ReadString(QStringLiteral("Description")), QStringLiteral("new"));
  QVERIFY(!registry.ValueExists(QStringLiteral("Password")));

  // Replacing: the key then holds just what the file holds.
  QVERIFY(WriteFile(
      fileName,
      (TRegFile::Version5Header + QStringLiteral("\r\n\r\n[%1\\Only]\r\n\"ZipType\"=dword:0\r\n").arg(Root)).toUtf8()));
  QVERIFY2(transfer.Import(fileName, true), qPrintable(transfer.ErrorText()));
  QVERIFY(registry.OpenKeyReadOnly(ProgramKey));
  QCOMPARE(registry.GetKeyNames(), QStringList{QStringLiteral("Only")});
}

void TestRegFile::refusedImportLeavesTheStoreAsItWas()
{
  {
    TRegistry registry;
    QVERIFY(registry.OpenKey(ProgramKey + QStringLiteral("\\Docs"), true));
    registry.WriteInteger(QStringLiteral("AlertDays"), 7);
  }
  const QString before = Snapshot();
  const QString fileName = FHome->Path(QStringLiteral("bad.reg"));
  TRegFileTransfer transfer(ProgramKey);
  // A fault on the last line: nothing of the lines before it is stored, even with --replace.
  QVERIFY(WriteFile(fileName, Utf16(TRegFile::Version5Header + QStringLiteral("\r\n\r\n"
                                                                              "[-%1\\Docs]\r\n"
                                                                              "[%1\\New]\r\n"
                                                                              "\"ZipFile\"=\"n.zip\"\r\n"
                                                                              "\"Enabled\"=\"yes\"\r\n")
                                                                   .arg(Root))));
  QVERIFY(!transfer.Import(fileName, true));
  QVERIFY2(transfer.ErrorText().startsWith(QStringLiteral("Line 6: the value \"Enabled\" must be a dword")),
           qPrintable(transfer.ErrorText()));
  QCOMPARE(Snapshot(), before);

  QVERIFY(WriteFile(fileName, "PK\x03\x04 not a registry file"));
  QVERIFY(!transfer.Import(fileName));
  QVERIFY(transfer.ErrorText().startsWith(QStringLiteral("Line 1:")));
  QVERIFY(!transfer.Import(FHome->Path(QStringLiteral("absent.reg"))));
  QCOMPARE(Snapshot(), before);
}

QTEST_GUILESS_MAIN(TestRegFile)
#include "tst_regfile.moc"
