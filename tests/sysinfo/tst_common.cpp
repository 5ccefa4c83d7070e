// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Shell.h"
#include "sysinfo/Common.h"

#include <QDir>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

class TestCommon : public QObject
{
  Q_OBJECT

private slots:
  void collapseSpaces();
  void isBlank();
  void randomStrings();
  void temporaryNames();
  void folders();
  void checkDirectoryAndCanCreateFile();
  void commandLinesSplitByWindowsRules();
  void executeFileStartsProgramsWithParameters();
  void openLinkIgnoresOtherTexts();
  void windowsQueries();
};

void TestCommon::collapseSpaces()
{
  const QString text = QStringLiteral("  a\t\tb  ");
  QCOMPARE(CollapseSpaces(text, true, false), QStringLiteral("a b"));
  QCOMPARE(CollapseSpaces(text, false, false), QStringLiteral("a\t\tb"));
  QCOMPARE(CollapseSpaces(QStringLiteral("x"), true, true), QStringLiteral("x"));
  QCOMPARE(CollapseSpaces(QString(), true, true), QString());
  QCOMPARE(CollapseSpaces(QStringLiteral("   "), true, true), QString());
  QCOMPARE(CollapseSpaces(QStringLiteral("a\r\nb"), false, true), QStringLiteral("a b"));
  QCOMPARE(CollapseSpaces(QStringLiteral("a\r\nb"), false, false), QStringLiteral("a\r\nb"));
  QCOMPARE(CollapseSpaces(QStringLiteral("one   two    three"), false, false), QStringLiteral("one two three"));
  // Trimming happens before the line breaks become spaces: inner breaks collapse, outer ones go.
  QCOMPARE(CollapseSpaces(QStringLiteral("\r\na \n \r b\r\n"), false, true), QStringLiteral("a b"));
}

void TestCommon::isBlank()
{
  QVERIFY(IsBlank(QString()));
  QVERIFY(IsBlank(QStringLiteral("\t\t\t")));
  QVERIFY(IsBlank(QStringLiteral(" \r\n \x01 ")));
  QVERIFY(!IsBlank(QStringLiteral("  x  ")));
  // A no-break space is text, not blank.
  QVERIFY(!IsBlank(QString(QChar(0x00A0))));
}

void TestCommon::randomStrings()
{
  QCOMPARE(RandomString(0), QString());
  QCOMPARE(RandomString(-3), QString());
  const QRegularExpression alphabet(QStringLiteral("^[A-Z0-9]*$"));
  QSet<QChar> seen;
  for (int i = 0; i < 200; ++i) {
    const QString value = RandomString(20);
    QCOMPARE(value.size(), 20);
    QVERIFY(alphabet.match(value).hasMatch());
    for (QChar c : value)
      seen.insert(c);
  }
  // 4000 draws from 36 symbols leave none out unless the generator is broken.
  QCOMPARE(seen.size(), 36);
}

void TestCommon::temporaryNames()
{
  QTemporaryDir dir;
  qputenv("TMPDIR", QFile::encodeName(dir.path()));
  QCOMPARE(GetTempFolder(), dir.path() + QLatin1Char('/'));
  const QString name = GenerateTempFileName(QStringLiteral("UPDATE"), QStringLiteral(".tmp"));
  const QRegularExpression shape(QStringLiteral("^") + QRegularExpression::escape(dir.path()) +
                                 QStringLiteral("/UPD[A-Z0-9]{5}\\.tmp$"));
  QVERIFY2(shape.match(name).hasMatch(), qPrintable(name));
  QVERIFY(!QFile::exists(name));
  // A short prefix is used whole.
  QVERIFY(
      GenerateTempFileName(QStringLiteral("X"), QStringLiteral(".log")).startsWith(dir.path() + QStringLiteral("/X")));

  qunsetenv("TMPDIR");
  QCOMPARE(GetTempFolder(), QStringLiteral("/tmp/"));
  qputenv("TMPDIR", "relative/path");
  QCOMPARE(GetTempFolder(), QStringLiteral("/tmp/"));
  qunsetenv("TMPDIR");
}

void TestCommon::folders()
{
  QTemporaryDir home;
  qputenv("XDG_DATA_HOME", QFile::encodeName(home.path() + QStringLiteral("/data")));
  const QString appData = GetApplicationDataFolder();
  QCOMPARE(appData, home.path() + QStringLiteral("/data/Corvale/"));
  QVERIFY(QDir(appData).exists());
  QCOMPARE(GetSpecialFolder(26), home.path() + QStringLiteral("/data"));
  QCOMPARE(GetSpecialFolder(36), QString());
  QCOMPARE(GetSpecialFolder(12345), QString());
  qunsetenv("XDG_DATA_HOME");

  const QString folder = GetApplicationFolder();
  QVERIFY(folder.endsWith(QLatin1Char('/')));
  QCOMPARE(folder, QCoreApplication::applicationDirPath() + QLatin1Char('/'));
}

void TestCommon::checkDirectoryAndCanCreateFile()
{
  QTemporaryDir dir;
  const QString deep = dir.path() + QStringLiteral("/a/b/c");
  QVERIFY(!CheckDirectory(deep, false));
  QVERIFY(!QDir(deep).exists());
  QVERIFY(CheckDirectory(deep, true));
  QVERIFY(QDir(deep).exists());
  QVERIFY(CheckDirectory(deep + QLatin1Char('/'), false));
  QVERIFY_THROWS_EXCEPTION(ECommonError, CheckDirectory(QString(), true));
  QVERIFY(!CheckDirectory(QString(), false));

  // A plain file in the way cannot become a folder.
  QFile blocker(dir.path() + QStringLiteral("/file"));
  QVERIFY(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  QVERIFY(!CheckDirectory(blocker.fileName() + QStringLiteral("/sub"), true));

  const QString probe = dir.path() + QStringLiteral("/probe.txt");
  QVERIFY(CanCreateFile(probe));
  QVERIFY(!QFile::exists(probe));
  QVERIFY(CanCreateFile(blocker.fileName()));
  QVERIFY(QFile::exists(blocker.fileName()));
  QVERIFY(!CanCreateFile(dir.path() + QStringLiteral("/missing/probe.txt")));
  QVERIFY(!CanCreateFile(QString()));
  if (::geteuid() != 0) {
    QFile::setPermissions(dir.path() + QStringLiteral("/a"), QFile::ReadOwner | QFile::ExeOwner);
    QVERIFY(!CanCreateFile(dir.path() + QStringLiteral("/a/probe.txt")));
    QFile::setPermissions(dir.path() + QStringLiteral("/a"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  }
}

void TestCommon::commandLinesSplitByWindowsRules()
{
  QCOMPARE(SplitCommandLine(QStringLiteral("a b  c")), (QStringList{"a", "b", "c"}));
  QCOMPARE(SplitCommandLine(QStringLiteral("\"a b\" c")), (QStringList{"a b", "c"}));
  QCOMPARE(SplitCommandLine(QStringLiteral("\"\"")), (QStringList{""}));
  QCOMPARE(SplitCommandLine(QStringLiteral("a\\\\b")), (QStringList{"a\\\\b"}));
  QCOMPARE(SplitCommandLine(QStringLiteral("\"a\\\\\" b")), (QStringList{"a\\", "b"}));
  QCOMPARE(SplitCommandLine(QStringLiteral("a\\\"b")), (QStringList{"a\"b"}));
  QCOMPARE(SplitCommandLine(QStringLiteral("\"say \"\"hi\"\"\"")), (QStringList{"say \"hi\""}));
  QCOMPARE(SplitCommandLine(QStringLiteral("/S /D=\"C:\\Program Files\\X\"")),
           (QStringList{"/S", "/D=C:\\Program Files\\X"}));
  QCOMPARE(SplitCommandLine(QString()), QStringList());
}

void TestCommon::executeFileStartsProgramsWithParameters()
{
  QTemporaryDir dir;
  const QString script = dir.path() + QStringLiteral("/installer.sh");
  const QString output = dir.path() + QStringLiteral("/args.txt");
  QFile file(script);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write("#!/bin/sh\nprintf '%s|' \"$@\" > \"$PWD/args.tmp\" && mv \"$PWD/args.tmp\" \"$PWD/args.txt\"\n");
  file.close();
  QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

  const int result =
      ExecuteFile(QStringLiteral("open"), script, QStringLiteral("/S \"two words\""), swShowNormal, dir.path());
  QVERIFY(result > 32);
  QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(output), 10000);
  QFile args(output);
  QVERIFY(args.open(QIODevice::ReadOnly));
  QCOMPARE(args.readAll(), QByteArray("/S|two words|"));

  QVERIFY(ExecuteFile(QStringLiteral("open"), dir.path() + QStringLiteral("/missing"), QString(), swShowNormal,
                      QString()) <= 32);
}

void TestCommon::openLinkIgnoresOtherTexts()
{
  // xdg-open is replaced by a recorder on PATH, so nothing real is opened.
  QTemporaryDir dir;
  const QString record = dir.path() + QStringLiteral("/opened.txt");
  QFile fake(dir.path() + QStringLiteral("/xdg-open"));
  QVERIFY(fake.open(QIODevice::WriteOnly));
  fake.write("#!/bin/sh\necho \"$1\" >> \"" + QFile::encodeName(record) + "\"\n");
  fake.close();
  QVERIFY(fake.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
  const QByteArray oldPath = qgetenv("PATH");
  qputenv("PATH", QFile::encodeName(dir.path()) + ':' + oldPath);

  // A program whose name holds "http" is never started, nor is a file or any other scheme
  // handed to the desktop.
  const QString program = dir.path() + QStringLiteral("/http-started");
  QFile script(dir.path() + QStringLiteral("/http-run"));
  QVERIFY(script.open(QIODevice::WriteOnly));
  script.write("#!/bin/sh\ntouch \"" + QFile::encodeName(program) + "\"\n");
  script.close();
  QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
  OpenLink(script.fileName());
  OpenLink(QStringLiteral("file:///etc/http"));
  OpenLink(QStringLiteral("javascript:alert('http')"));
  OpenLink(QStringLiteral("http:relative"));
  OpenLink(QStringLiteral("www.example.com"));
  OpenLink(QStringLiteral("HTTP://upper.example.com"));
  OpenLink(QStringLiteral("https://example.com/page"));
  OpenLink(QStringLiteral("mailto:support@example.com"));
  QTRY_VERIFY_WITH_TIMEOUT(QFile(record).size() >= 52, 10000);
  QTest::qWait(200);
  QFile opened(record);
  QVERIFY(opened.open(QIODevice::ReadOnly));
  const QByteArray lines = opened.readAll();
  QVERIFY2(lines == "https://example.com/page\nmailto:support@example.com\n" ||
               lines == "mailto:support@example.com\nhttps://example.com/page\n",
           lines.constData());
  QVERIFY(!QFile::exists(program));
  qputenv("PATH", oldPath);
}

void TestCommon::windowsQueries()
{
  QVERIFY(NotRunningUnderWow64());
}

QTEST_GUILESS_MAIN(TestCommon)
#include "tst_common.moc"
