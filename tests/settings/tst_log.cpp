// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FileNames.h"
#include "settings/TLog.h"
#include "sysinfo/TClock.h"
#include "sysinfo/TFormatSettings.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

QStringList FileLines(const QString& AFileName)
{
  QFile file(AFileName);
  if (!file.open(QIODevice::ReadOnly))
    return {};
  const QString text = QString::fromUtf8(file.readAll());
  // Every line ends with CR LF.
  if (!text.isEmpty() && !text.endsWith(QStringLiteral("\r\n")))
    return {QStringLiteral("<missing CR LF at the end>")};
  QStringList lines = text.split(QStringLiteral("\r\n"));
  lines.removeLast();
  return lines;
}

} // namespace

class TestLog : public QObject
{
  Q_OBJECT

private slots:
  void initTestCase();
  void cleanupTestCase() { TClock::SetSource({}); }
  void linesAndBanners();
  void repeatsAreFolded();
  void messagesAreNormalised();
  void fileNamesAreShownExactly();
  void appendOrReplace();
  void cacheIsBounded();
  void fileNameIsValidatedAndClosesTheLog();
  void clearEmptiesTheFile();

private:
  QTemporaryDir FDir;
  QDateTime FNow;
};

void TestLog::initTestCase()
{
  TFormatSettings::Load(QLocale(QLocale::English, QLocale::UnitedKingdom));
  FNow = QDateTime(QDate(2015, 12, 25), QTime(14, 30, 5));
  TClock::SetSource([this] { return FNow; });
}

void TestLog::linesAndBanners()
{
  const QString name = FDir.filePath(QStringLiteral("banners.log"));
  TLog log;
  QVERIFY_THROWS_EXCEPTION(ELogError, log.Add(QStringLiteral("too early")));
  log.SetFileName(name);
  log.SetActive(true);
  log.Add(QStringLiteral("Hello"));
  FNow = QDateTime(QDate(2015, 12, 26), QTime(0, 0));
  log.Add(QStringLiteral("At midnight"));
  FNow = QDateTime(QDate(2015, 12, 25), QTime(14, 30, 5));
  log.SetActive(false);

  const QString dashes(28, QLatin1Char('-'));
  QCOMPARE(FileLines(name), (QStringList{
                                dashes + QStringLiteral("| Log Start 25/12/2015 14:30:05|") + dashes,
                                QStringLiteral("25/12/2015 14:30:05: Hello"),
                                QStringLiteral("26/12/2015: At midnight"),
                                dashes + QStringLiteral("| Log End 25/12/2015 14:30:05|") + dashes,
                            }));
  try {
    log.Add(QStringLiteral("after close"));
    QFAIL("Add on a closed log must raise");
  } catch (const ELogError& error) {
    QCOMPARE(error.Message(), QStringLiteral("Log is not active."));
  }
}

void TestLog::repeatsAreFolded()
{
  const QString name = FDir.filePath(QStringLiteral("repeats.log"));
  TLog log;
  log.SetFileName(name);
  log.SetActive(true);
  for (int i = 0; i < 3; ++i)
    log.Add(QStringLiteral("Same"));
  log.Add(QStringLiteral("Other"));
  log.Add(QStringLiteral("Last"));
  log.Add(QStringLiteral("Last"));
  // A pending repeat is not written when the log closes.
  log.SetActive(false);

  const QStringList lines = FileLines(name);
  QCOMPARE(lines.size(), 6);
  QCOMPARE(lines.at(1), QStringLiteral("25/12/2015 14:30:05: Same"));
  QCOMPARE(lines.at(2), QStringLiteral("25/12/2015 14:30:05: Last message repeated 2 time(s)"));
  QCOMPARE(lines.at(3), QStringLiteral("25/12/2015 14:30:05: Other"));
  QCOMPARE(lines.at(4), QStringLiteral("25/12/2015 14:30:05: Last"));
  QVERIFY(lines.at(5).contains(QStringLiteral("| Log End ")));
}

void TestLog::messagesAreNormalised()
{
  const QString name = FDir.filePath(QStringLiteral("normalised.log"));
  TLog log;
  log.SetFileName(name);
  log.SetActive(true);
  log.Add(QStringLiteral("A"));
  // Empty and CR-only messages are ignored and do not break a run of repeats.
  log.Add(QString());
  log.Add(QStringLiteral("\r\r"));
  log.Add(QStringLiteral("A"));
  log.Add(QStringLiteral("a"));
  log.Add(QStringLiteral("two\r\nlines\nhere"));
  log.SetActive(false);

  const QStringList lines = FileLines(name);
  QCOMPARE(lines.mid(1, 4), (QStringList{
                                QStringLiteral("25/12/2015 14:30:05: A"),
                                QStringLiteral("25/12/2015 14:30:05: Last message repeated 1 time(s)"),
                                QStringLiteral("25/12/2015 14:30:05: a"),
                                QStringLiteral("25/12/2015 14:30:05: two lines here"),
                            }));
  QCOMPARE(lines.size(), 6);
}

void TestLog::fileNamesAreShownExactly()
{
  // Bytes that are not UTF-8, control characters (a terminal's escape sequence among them) and
  // the backslash itself come out escaped, so that two different names never look alike.
  const QString name = FDir.filePath(QStringLiteral("escaped.log"));
  TLog log;
  log.SetFileName(name);
  log.SetActive(true);
  log.Add(QStringLiteral("Cannot read ") + DecodeFileName("/r\xe9sum\xe9\t\x1b[2J\x7f.txt"));
  log.Add(QStringLiteral("Cannot read /a\\xe9 \u009b1m Grüße 📷"));
  log.SetActive(false);
  const QStringList lines = FileLines(name);
  QCOMPARE(lines.mid(1, 2),
           (QStringList{
               QStringLiteral("25/12/2015 14:30:05: Cannot read /r\\xe9sum\\xe9\\x09\\x1b[2J\\x7f.txt"),
               QStringLiteral("25/12/2015 14:30:05: Cannot read /a\\\\xe9 \\u009b1m Grüße 📷"),
           }));
  QCOMPARE(log.LogCache().mid(0, 2), (QStringList{lines.at(2), lines.at(1)}));
}

void TestLog::appendOrReplace()
{
  const QString name = FDir.filePath(QStringLiteral("append.log"));
  TLog log;
  log.SetFileName(name);
  log.SetActive(true);
  log.Add(QStringLiteral("first run"));
  log.SetActive(false);

  log.SetAppendLog(true);
  log.SetActive(true);
  log.Add(QStringLiteral("second run"));
  log.SetActive(false);
  QStringList lines = FileLines(name);
  QCOMPARE(lines.size(), 6);
  QVERIFY(lines.at(1).endsWith(QStringLiteral("first run")));
  QVERIFY(lines.at(3).contains(QStringLiteral("| Log Start ")));
  QVERIFY(lines.at(4).endsWith(QStringLiteral("second run")));

  log.SetAppendLog(false);
  log.SetActive(true);
  log.SetActive(false);
  lines = FileLines(name);
  QCOMPARE(lines.size(), 2);
}

void TestLog::cacheIsBounded()
{
  TLog log;
  log.SetFileName(FDir.filePath(QStringLiteral("cache.log")));
  log.SetActive(true);
  QCOMPARE(log.LogCache().size(), 1);
  for (int i = 0; i < 60; ++i)
    log.Add(QString::number(i));
  // Newest first; at most CacheSize lines before an Add, plus the lines it writes.
  QCOMPARE(log.LogCache().size(), 51);
  QVERIFY(log.LogCache().first().endsWith(QStringLiteral(": 59")));

  log.SetCacheSize(0);
  log.Add(QStringLiteral("x"));
  log.Add(QStringLiteral("x"));
  log.Add(QStringLiteral("y"));
  QCOMPARE(log.LogCache().size(), 2);
  QVERIFY(log.LogCache().at(0).endsWith(QStringLiteral(": y")));
  QVERIFY(log.LogCache().at(1).endsWith(QStringLiteral("Last message repeated 1 time(s)")));

  // The end banner goes to the bottom.
  log.SetActive(false);
  QVERIFY(log.LogCache().last().contains(QStringLiteral("| Log End ")));
}

void TestLog::fileNameIsValidatedAndClosesTheLog()
{
  const QString first = FDir.filePath(QStringLiteral("first.log"));
  const QString second = FDir.filePath(QStringLiteral("second.log"));
  TLog log;
  log.SetFileName(first);
  log.SetActive(true);
  log.Add(QStringLiteral("message"));

  try {
    log.SetFileName(FDir.filePath(QStringLiteral("missing/folder.log")));
    QFAIL("an impossible name must raise");
  } catch (const ELogError& error) {
    QCOMPARE(error.Message(),
             QStringLiteral("\"%1\" is not a valid filename").arg(FDir.filePath(QStringLiteral("missing/folder.log"))));
  }
  // The change closed the old file with its end banner and kept the old name.
  QVERIFY(!log.Active());
  QCOMPARE(log.FileName(), first);
  QVERIFY(FileLines(first).last().contains(QStringLiteral("| Log End ")));

  // A valid new name leaves no trial file behind and the log inactive.
  log.SetFileName(second);
  QCOMPARE(log.FileName(), second);
  QVERIFY(!QFile::exists(second));
  QVERIFY(!log.Active());
}

void TestLog::clearEmptiesTheFile()
{
  const QString name = FDir.filePath(QStringLiteral("clear.log"));
  TLog log;
  log.SetFileName(name);
  QVERIFY_THROWS_EXCEPTION(ELogError, log.Clear());
  log.SetActive(true);
  log.Add(QStringLiteral("before"));
  log.Clear();
  QCOMPARE(FileLines(name), QStringList());
  log.Add(QStringLiteral("after"));
  QCOMPARE(FileLines(name).size(), 1);
  // The cache keeps what it had.
  QCOMPARE(log.LogCache().size(), 3);
}

QTEST_GUILESS_MAIN(TestLog)
#include "tst_log.moc"
