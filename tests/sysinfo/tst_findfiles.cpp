// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FileNames.h"
#include "platform/FileSystem.h"
#include "sysinfo/FindFiles.h"

#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void WriteFile(const QByteArray& APath, const QByteArray& AContent = QByteArray())
{
  const int fd = ::open(APath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  QVERIFY2(fd >= 0, APath.constData());
  QCOMPARE(::write(fd, AContent.constData(), AContent.size()), AContent.size());
  ::close(fd);
}

void MakeDir(const QByteArray& APath, mode_t AMode = 0755)
{
  QVERIFY2(::mkdir(APath.constData(), AMode) == 0, APath.constData());
}

// QTemporaryDir cannot remove names that are not UTF-8; this removes by bytes.
void RemoveTree(const QByteArray& APath)
{
  ::nftw(
      APath.constData(),
      [](const char* APathName, const struct stat*, int, struct FTW*) { return ::remove(APathName); }, 16,
      FTW_DEPTH | FTW_PHYS);
}

QStringList Relative(const QStringList& AList, const QString& ARoot)
{
  QStringList result;
  for (const QString& path : AList)
    result << path.mid(ARoot.size());
  return result;
}

} // namespace

class TestFindFiles : public QObject
{
  Q_OBJECT

private slots:
  void wildcardsFollowWindowsRules();
  void searchEntersOnlyPlainFolders();
  void filesOfAnyAttributeAreFound();
  void namesThatAreNotUtf8KeepTheirBytes();
  void cancelStopsTheSearch();
  void missingFolderFindsNothing();
};

void TestFindFiles::wildcardsFollowWindowsRules()
{
  QVERIFY(MatchesMask(QStringLiteral("README"), QStringLiteral("*.*")));
  QVERIFY(MatchesMask(QStringLiteral(".bashrc"), QStringLiteral("*.*")));
  QVERIFY(MatchesMask(QStringLiteral("a.b.c"), QStringLiteral("*.*")));
  QVERIFY(MatchesMask(QStringLiteral("Report.DOC"), QStringLiteral("*.doc")));
  QVERIFY(MatchesMask(QStringLiteral("ÄRGER.txt"), QStringLiteral("ärger.TXT")));
  QVERIFY(!MatchesMask(QStringLiteral("report.docx"), QStringLiteral("*.doc")));
  QVERIFY(MatchesMask(QStringLiteral("data"), QStringLiteral("data.*")));
  QVERIFY(MatchesMask(QStringLiteral("Makefile"), QStringLiteral("*.")));
  QVERIFY(!MatchesMask(QStringLiteral("a.txt"), QStringLiteral("*.")));

  QVERIFY(MatchesMask(QStringLiteral("a1.txt"), QStringLiteral("a?.txt")));
  QVERIFY(!MatchesMask(QStringLiteral("a.txt"), QStringLiteral("a?.txt")));
  QVERIFY(!MatchesMask(QStringLiteral("a12.txt"), QStringLiteral("a?.txt")));

  // A plain file name is a mask that matches only itself.
  QVERIFY(MatchesMask(QStringLiteral("Outlook.pst"), QStringLiteral("outlook.PST")));
  QVERIFY(!MatchesMask(QStringLiteral("Outlook.pst.bak"), QStringLiteral("outlook.pst")));

  // Backtracking over several stars.
  QVERIFY(MatchesMask(QStringLiteral("abcabcabd"), QStringLiteral("*abc*abd")));
  QVERIFY(!MatchesMask(QStringLiteral("abcabcab"), QStringLiteral("*abc*abd")));
  QVERIFY(MatchesMask(QStringLiteral("x"), QStringLiteral("***")));
  QVERIFY(!MatchesMask(QStringLiteral("x"), QString()));
}

void TestFindFiles::searchEntersOnlyPlainFolders()
{
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  const QByteArray root = QFile::encodeName(dir.path()) + '/';
  WriteFile(root + "top.txt");
  MakeDir(root + "plain");
  WriteFile(root + "plain/inner.txt");
  MakeDir(root + "plain/deeper");
  WriteFile(root + "plain/deeper/deep.txt");
  MakeDir(root + ".hidden");
  WriteFile(root + ".hidden/secret.txt");
  MakeDir(root + "linked-target");
  WriteFile(root + "linked-target/target.txt");
  QCOMPARE(::symlink("linked-target", QByteArray(root + "link").constData()), 0);
  MakeDir(root + "readonly");
  WriteFile(root + "readonly/locked.txt");
  QCOMPARE(::chmod(QByteArray(root + "readonly").constData(), 0555), 0);
  // A folder that matches the mask is not listed as a file.
  MakeDir(root + "folder.txt");

  QStringList found;
  QStringList progress;
  FindFiles(
      dir.path(), QStringLiteral("*.txt"), true,
      [&](const QString& AMessage, int AProgress, bool&) {
        QCOMPARE(AProgress, 0);
        progress << AMessage;
      },
      found);

  const QString base = dir.path() + QLatin1Char('/');
  QStringList relative = Relative(found, base);
  QVERIFY(relative.contains(QStringLiteral("top.txt")));
  QVERIFY(relative.contains(QStringLiteral("plain/inner.txt")));
  QVERIFY(relative.contains(QStringLiteral("plain/deeper/deep.txt")));
  QVERIFY(relative.contains(QStringLiteral("linked-target/target.txt")));
  QVERIFY(!relative.contains(QStringLiteral("folder.txt")));
  // A folder without write permission (copied from a disc) is entered; hidden and linked ones are not.
  QVERIFY(relative.contains(QStringLiteral("readonly/locked.txt")));
  QCOMPARE(relative.size(), 5);

  // A folder's own files come before anything found in its subfolders.
  QCOMPARE(relative.first(), QStringLiteral("top.txt"));
  QVERIFY(relative.indexOf(QStringLiteral("plain/inner.txt")) <
          relative.indexOf(QStringLiteral("plain/deeper/deep.txt")));

  // Progress names every file found and every folder entered.
  QVERIFY(progress.contains(base + QStringLiteral("plain")));
  QVERIFY(progress.contains(base + QStringLiteral("plain/deeper")));
  QVERIFY(!progress.contains(base + QStringLiteral("link")));
  // Five files, and the folders plain, plain/deeper, linked-target, readonly and folder.txt.
  QCOMPARE(progress.size(), 5 + 5);

  // A trailing separator (or several) on the folder makes no difference.
  QStringList again;
  FindFiles(dir.path() + QStringLiteral("//"), QStringLiteral("*.txt"), true, {}, again);
  QCOMPARE(again, found);

  // Without recursion only the folder itself is searched.
  QStringList flat;
  FindFiles(dir.path(), QStringLiteral("*.*"), false, {}, flat);
  QCOMPARE(Relative(flat, base), QStringList{QStringLiteral("top.txt")});
  ::chmod(QByteArray(root + "readonly").constData(), 0755);
}

void TestFindFiles::filesOfAnyAttributeAreFound()
{
  QTemporaryDir dir;
  const QByteArray root = QFile::encodeName(dir.path()) + '/';
  WriteFile(root + ".profile");
  WriteFile(root + "locked");
  QCOMPARE(::chmod(QByteArray(root + "locked").constData(), 0444), 0);
  WriteFile(root + "target");
  QCOMPARE(::symlink("target", QByteArray(root + "shortcut").constData()), 0);

  QStringList found;
  FindFiles(dir.path(), QStringLiteral("*.*"), false, {}, found);
  QStringList relative = Relative(found, dir.path() + QLatin1Char('/'));
  relative.sort();
  QCOMPARE(relative, (QStringList{QStringLiteral(".profile"), QStringLiteral("locked"), QStringLiteral("shortcut"),
                                  QStringLiteral("target")}));

  QCOMPARE(FileAttributes(dir.path() + QStringLiteral("/.profile")), unsigned(faHidden));
  QCOMPARE(FileAttributes(dir.path() + QStringLiteral("/locked")), unsigned(faReadOnly));
  QCOMPARE(FileAttributes(dir.path() + QStringLiteral("/shortcut")), unsigned(faReparsePoint));
  QCOMPARE(FileAttributes(dir.path() + QStringLiteral("/target")), unsigned(faNormal));
  QCOMPARE(FileAttributes(dir.path()), unsigned(faDirectory));
  QCOMPARE(FileAttributes(dir.path() + QStringLiteral("/missing")), 0u);
}

void TestFindFiles::namesThatAreNotUtf8KeepTheirBytes()
{
  // Round trips of the name codec: valid UTF-8 decodes as text, anything else keeps its bytes.
  const QList<QByteArray> names{
      QByteArray("plain.txt"),
      QByteArray("caf\xc3\xa9.txt"),        // valid UTF-8
      QByteArray("\xf0\x9f\x98\x80.txt"),   // outside the BMP
      QByteArray("latin1-\xe9t\xe9.txt"),   // Latin-1, not UTF-8
      QByteArray("over\xc0\xaflong"),       // overlong "/"
      QByteArray("surrogate-\xed\xa0\x80"), // an encoded surrogate
      QByteArray("cut-\xe2\x82"),           // a truncated sequence
      QByteArray("\xff\xfe"),
  };
  for (const QByteArray& bytes : names) {
    const QString decoded = DecodeFileName(bytes);
    QCOMPARE(EncodeFileName(decoded), bytes);
    QCOMPARE(HasEscapedBytes(decoded), QString::fromUtf8(bytes).toUtf8() != bytes);
  }
  QCOMPARE(DecodeFileName("caf\xc3\xa9"), QStringLiteral("café"));

  // On disk: the search finds such a file and its name opens the same file again.
  QTemporaryDir dir;
  const QByteArray root = QFile::encodeName(dir.path()) + '/';
  const QByteArray latin1 = root + "r\xe9sum\xe9.txt";
  WriteFile(latin1, "content");
  MakeDir(root + "d\xfc"
                 "r");
  WriteFile(root + "d\xfc"
                   "r/inner.txt",
            "inner");

  QStringList found;
  FindFiles(dir.path(), QStringLiteral("*.txt"), true, {}, found);
  QCOMPARE(found.size(), 2);
  for (const QString& name : found) {
    QVERIFY(HasEscapedBytes(name));
    const int fd = ::open(EncodeFileName(name).constData(), O_RDONLY);
    QVERIFY2(fd >= 0, qPrintable(name));
    ::close(fd);
  }
  QVERIFY(found.contains(DecodeFileName(latin1)));
  QVERIFY(MatchesMask(DecodeFileName("r\xe9sum\xe9.txt"), QStringLiteral("r?sum?.TXT")));
  RemoveTree(QFile::encodeName(dir.path()));
}

void TestFindFiles::cancelStopsTheSearch()
{
  QTemporaryDir dir;
  const QByteArray root = QFile::encodeName(dir.path()) + '/';
  for (int i = 0; i < 5; ++i) {
    const QByteArray sub = root + "sub" + QByteArray::number(i);
    MakeDir(sub);
    WriteFile(sub + "/f.txt");
  }
  WriteFile(root + "a.txt");
  WriteFile(root + "b.txt");

  // Cancelling on the first file ends the enumeration of that folder and skips all subfolders.
  QStringList found;
  FindFiles(
      dir.path(), QStringLiteral("*.txt"), true, [](const QString&, int, bool& ACancel) { ACancel = true; }, found);
  QCOMPARE(found.size(), 1);

  // Cancelling deep inside stops the folders above it too.
  QStringList partial;
  int calls = 0;
  FindFiles(
      dir.path(), QStringLiteral("*.txt"), true,
      [&](const QString& AMessage, int, bool& ACancel) {
        ++calls;
        if (AMessage.endsWith(QStringLiteral("/f.txt")))
          ACancel = true;
      },
      partial);
  QCOMPARE(partial.size(), 3); // a.txt, b.txt and the first subfolder's file
  QCOMPARE(calls, 4);          // two files, one folder entered, its file
}

void TestFindFiles::missingFolderFindsNothing()
{
  QStringList found{QStringLiteral("kept")};
  FindFiles(QStringLiteral("/nonexistent/corvale"), QStringLiteral("*.*"), true, {}, found);
  QCOMPARE(found, QStringList{QStringLiteral("kept")});
}

QTEST_GUILESS_MAIN(TestFindFiles)
#include "tst_findfiles.moc"
