// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/TIniFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

class TestIniFile : public QObject
{
  Q_OBJECT

private slots:
  void init();
  void readsAsWindowsDoes();
  void writesInPlaceAndKeepsOtherLines();
  void valuesRoundTrip();
  void sectionsAreListedAndErased();
  void missingFileAndFailedWrites();
  void concurrentWritersLoseNothing();

private:
  QString FileName() const { return FFolder->filePath(QStringLiteral("test.ini")); }
  void WriteFile(const QByteArray& AContent) const;
  QByteArray ReadFile() const;

  std::unique_ptr<QTemporaryDir> FFolder;
};

void TestIniFile::init()
{
  FFolder = std::make_unique<QTemporaryDir>();
  QVERIFY(FFolder->isValid());
}

void TestIniFile::WriteFile(const QByteArray& AContent) const
{
  QFile file(FileName());
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(AContent);
}

QByteArray TestIniFile::ReadFile() const
{
  QFile file(FileName());
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void TestIniFile::readsAsWindowsDoes()
{
  WriteFile("\xEF\xBB\xBF"
            "orphan=before any section\r\n"
            "[ Settings ]\r\n"
            "  Debug =  1  \r\n"
            "debug=2\r\n"
            "; Comment=not a key\r\n"
            "no equals sign\r\n"
            "Quoted=\"  padded  \"\r\n"
            "Single='x'\r\n"
            "Mismatch=\"x'\r\n"
            "Empty=\r\n"
            "Name=Grüße\r\n"
            "[settings]\r\n"
            "Debug=3\r\n"
            "Later=only here\r\n");
  const TIniFile ini(FileName());
  QCOMPARE(ini.ReadString(QStringLiteral("SETTINGS"), QStringLiteral("DEBUG"), QStringLiteral("x")),
           QStringLiteral("1"));
  QCOMPARE(ini.ReadString(QStringLiteral("Settings"), QStringLiteral("Quoted"), {}), QStringLiteral("  padded  "));
  QCOMPARE(ini.ReadString(QStringLiteral("Settings"), QStringLiteral("Single"), {}), QStringLiteral("x"));
  QCOMPARE(ini.ReadString(QStringLiteral("Settings"), QStringLiteral("Mismatch"), {}), QStringLiteral("\"x'"));
  QCOMPARE(ini.ReadString(QStringLiteral("Settings"), QStringLiteral("Empty"), QStringLiteral("d")), QString());
  QCOMPARE(ini.ReadString(QStringLiteral("Settings"), QStringLiteral("Name"), {}), QStringLiteral("Grüße"));
  // Only the first section of a name counts; comments and lines without "=" are no keys.
  QCOMPARE(ini.ReadString(QStringLiteral("Settings"), QStringLiteral("Later"), QStringLiteral("d")),
           QStringLiteral("d"));
  QCOMPARE(ini.ReadString(QStringLiteral("Settings"), QStringLiteral("; Comment"), QStringLiteral("d")),
           QStringLiteral("d"));
  QVERIFY(!ini.ValueExists(QStringLiteral("Settings"), QStringLiteral("no equals sign")));
  QVERIFY(!ini.ValueExists(QString(), QStringLiteral("orphan")));
  QCOMPARE(ini.ReadSection(QStringLiteral("settings")),
           (QStringList{"Debug", "Quoted", "Single", "Mismatch", "Empty", "Name"}));
  QCOMPARE(ini.ReadSections(), QStringList{"Settings"});
}

void TestIniFile::writesInPlaceAndKeepsOtherLines()
{
  const QByteArray original = "; kept\r\n"
                              "[A]\r\n"
                              "One=1\r\n"
                              "raw \xFF bytes stay\r\n"
                              "\r\n"
                              "[B]\r\n"
                              "Two=2\r\n";
  WriteFile(original);
  TIniFile ini(FileName());
  ini.WriteString(QStringLiteral("a"), QStringLiteral("ONE"), QStringLiteral("uno"));
  ini.WriteString(QStringLiteral("A"), QStringLiteral("Three"), QStringLiteral("3"));
  ini.WriteString(QStringLiteral("C"), QStringLiteral("Four"), QStringLiteral("4"));
  // The key keeps its spelling, a new key follows the section's last line, the file's line
  // ends and the bytes of lines nobody changed stay as they were.
  QCOMPARE(ReadFile(), QByteArray("; kept\r\n"
                                  "[A]\r\n"
                                  "One=uno\r\n"
                                  "raw \xFF bytes stay\r\n"
                                  "Three=3\r\n"
                                  "\r\n"
                                  "[B]\r\n"
                                  "Two=2\r\n"
                                  "[C]\r\n"
                                  "Four=4\r\n"));
  ini.DeleteKey(QStringLiteral("a"), QStringLiteral("three"));
  QVERIFY(!ini.ValueExists(QStringLiteral("A"), QStringLiteral("Three")));
  QVERIFY(ini.ValueExists(QStringLiteral("A"), QStringLiteral("One")));
}

void TestIniFile::valuesRoundTrip()
{
  TIniFile ini(FileName());
  const QStringList values{QStringLiteral(" leading"), QStringLiteral("trailing\t"), QStringLiteral("\"quoted\""),
                           QStringLiteral("'single'"), QStringLiteral("a=b=c"),      QStringLiteral("; not a comment"),
                           QStringLiteral("[x]"),      QStringLiteral("€ ₀ 𝄞"),      QString()};
  for (int i = 0; i < values.size(); ++i)
    ini.WriteString(QStringLiteral("V"), QStringLiteral("K%1").arg(i), values.at(i));
  for (int i = 0; i < values.size(); ++i)
    QCOMPARE(ini.ReadString(QStringLiteral("V"), QStringLiteral("K%1").arg(i), QStringLiteral("?")), values.at(i));
}

void TestIniFile::sectionsAreListedAndErased()
{
  WriteFile("[Keep]\nA=1\n[Gone]\nB=2\n\n[keep2]\n[GONE]\nC=3\n");
  TIniFile ini(FileName());
  QVERIFY(ini.SectionExists(QStringLiteral("keep2"))); // a header alone is a section
  QVERIFY(!ini.SectionExists(QStringLiteral("Nowhere")));
  QCOMPARE(ini.ReadSections(), (QStringList{"Keep", "Gone", "keep2"}));
  ini.EraseSection(QStringLiteral("gone"));
  QVERIFY(!ini.SectionExists(QStringLiteral("Gone")));
  QCOMPARE(ReadFile(), QByteArray("[Keep]\nA=1\n[keep2]\n"));
  const QByteArray before = ReadFile();
  ini.EraseSection(QStringLiteral("Nowhere"));
  ini.DeleteKey(QStringLiteral("Keep"), QStringLiteral("Nothing"));
  QCOMPARE(ReadFile(), before);
}

void TestIniFile::missingFileAndFailedWrites()
{
  {
    TIniFile ini(FileName());
    QCOMPARE(ini.ReadString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("default")),
             QStringLiteral("default"));
    QVERIFY(ini.ReadSection(QStringLiteral("S")).isEmpty());
    ini.EraseSection(QStringLiteral("S"));
    QVERIFY(!QFile::exists(FileName())); // reading and erasing create nothing
    ini.WriteString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("v"));
    QCOMPARE(ReadFile(), QByteArray("[S]\nK=v\n"));
    struct stat info
    {};
    QCOMPARE(::stat(QFile::encodeName(FileName()).constData(), &info), 0);
    QCOMPARE(int(info.st_mode & 0777), 0600); // may hold scrambled passwords
    QVERIFY(!QFile::exists(FileName() + QStringLiteral(".lock")));
  }
  {
    // What an INI file cannot hold is refused, and the file stays as it was.
    TIniFile ini(FileName());
    QVERIFY_THROWS_EXCEPTION(EIniFileError,
                             ini.WriteString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("two\nlines")));
    QVERIFY_THROWS_EXCEPTION(EIniFileError,
                             ini.WriteString(QStringLiteral("S"), QStringLiteral("a=b"), QStringLiteral("v")));
    QVERIFY_THROWS_EXCEPTION(EIniFileError,
                             ini.WriteString(QStringLiteral("S]"), QStringLiteral("K"), QStringLiteral("v")));
    QVERIFY_THROWS_EXCEPTION(EIniFileError, ini.WriteString(QStringLiteral("S"), QStringLiteral(" "), QString()));
    QCOMPARE(ReadFile(), QByteArray("[S]\nK=v\n"));
  }
  {
    // A file below something that is not a folder cannot be written, whoever runs the test.
    TIniFile ini(FileName() + QStringLiteral("/inner.ini"));
    try {
      ini.WriteString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("v"));
      QFAIL("no exception");
    } catch (const EIniFileError& e) {
      QVERIFY(e.Message().startsWith(QStringLiteral("Unable to write to ")));
    }
    QCOMPARE(ini.ReadString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("d")), QStringLiteral("d"));
  }
}

void TestIniFile::concurrentWritersLoseNothing()
{
  constexpr int Writers = 2;
  constexpr int Keys = 40;
  QList<pid_t> children;
  for (int w = 0; w < Writers; ++w) {
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
      TIniFile ini(FileName());
      for (int k = 0; k < Keys; ++k)
        ini.WriteString(QStringLiteral("S"), QStringLiteral("W%1K%2").arg(w).arg(k), QString::number(k));
      ::_exit(0);
    }
    children << child;
  }
  for (const pid_t child : std::as_const(children)) {
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const TIniFile ini(FileName());
  QCOMPARE(ini.ReadSection(QStringLiteral("S")).size(), Writers * Keys);
}

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
