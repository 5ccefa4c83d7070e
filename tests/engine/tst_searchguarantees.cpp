// SPDX-License-Identifier: GPL-3.0-or-later
// The search leaves nothing out silently: with real permissions and special files, both writers.
#include "EngineTestSupport.h"
#include "engine/TBackup.h"
#include "platform/Posix.h"

#include <QTest>

#include <sys/socket.h>
#include <sys/un.h>

using namespace EngineTest;

class TestSearchGuarantees : public QObject
{
  Q_OBJECT

private slots:
  void initTestCase();
  void unreadableFoldersFailTheRunReadOnlyOnesAreEntered();
  void specialFilesAreSkippedWithoutBlocking();
};

namespace {

const QList<TZipType> Writers{zZip, zSeven};

QString ArchiveName(const TTempTree& ATree, TZipType AType)
{
  return ATree.Name(AType == zZip ? "out/backup.zip" : "out/backup.7z");
}

// Runs one backup of AFolder (as an unprivileged user when the tests run as root) and gives the
// outcome followed by the log lines.
QStringList RunBackup(TZipType AType, const QString& AArchive, const QStringList& AFolders)
{
  const QByteArray report = RunUnprivileged([&]() {
    TBackup backup;
    TRecorder recorder(backup);
    backup.SetZipType(AType);
    backup.SetZipFileName(AArchive);
    for (const QString& folder : AFolders)
      backup.Files()->Add(folder, QStringLiteral("*.*"), true);
    QStringList result;
    const TBackupResult outcome = backup.Backup(&result);
    return QString(QString::number(int(outcome)) + QLatin1Char('\n') + recorder.Logs.join(QLatin1Char('\n'))).toUtf8();
  });
  return QString::fromUtf8(report).split(QLatin1Char('\n'));
}

QStringList Entries(const QString& AArchive, const TTempTree& ATree)
{
  QStringList names;
  const auto entries = List7z(AArchive);
  for (auto it = entries.begin(); it != entries.end(); ++it)
    if (!it.key().isEmpty() && it.value().value("Folder") != "+")
      names << QString::fromUtf8(it.key()).mid(ATree.Path().size() - 1);
  names.sort();
  return names;
}

} // namespace

void TestSearchGuarantees::initTestCase()
{
  if (SevenZip().isEmpty())
    QSKIP("The 7z command (Debian package p7zip-full) is not installed.");
}

void TestSearchGuarantees::unreadableFoldersFailTheRunReadOnlyOnesAreEntered()
{
  for (const TZipType type : Writers) {
    TTempTree tree;
    QVERIFY(::chmod(tree.Root().constData(), 0755) == 0);
    QVERIFY(MakeDir(tree("src")));
    QVERIFY(WriteBytes(tree("src/a.txt"), "a"));
    // Copied from a disc: no write permission, yet its files are the user's data.
    QVERIFY(MakeDir(tree("src/sealed")));
    QVERIFY(WriteBytes(tree("src/sealed/kept.txt"), "kept"));
    QVERIFY(::chmod(tree("src/sealed").constData(), 0555) == 0);
    // Cannot be listed at all, and listed but its entries cannot be examined.
    QVERIFY(MakeDir(tree("src/closed")));
    QVERIFY(WriteBytes(tree("src/closed/secret.txt"), "secret"));
    QVERIFY(MakeDir(tree("src/unsearchable")));
    QVERIFY(WriteBytes(tree("src/unsearchable/entry.txt"), "entry"));
    QVERIFY(MakeDir(tree("out"), 0777));
    QVERIFY(::chmod(tree("out").constData(), 0777) == 0);
    const QString archive = ArchiveName(tree, type);
    QVERIFY(WriteBytes(EncodeFileName(archive), "the previous archive"));
    QVERIFY(::chmod(EncodeFileName(archive).constData(), 0666) == 0);

    QVERIFY(::chmod(tree("src/closed").constData(), 0) == 0);
    QVERIFY(::chmod(tree("src/unsearchable").constData(), 0644) == 0);
    const QStringList failed = RunBackup(type, archive, {tree.Name("src")});
    const QString denied = Posix::ErrorText(EACCES);
    QCOMPARE(failed.value(0), QString::number(int(brFailed)));
    QVERIFY2(failed.contains(
                 QString(QStringLiteral("Cannot read ") + tree.Name("src/closed") + QStringLiteral(": ") + denied)),
             qPrintable(failed.join(QLatin1Char('\n'))));
    QVERIFY(failed.contains(QString(QStringLiteral("Cannot read ") + tree.Name("src/unsearchable/entry.txt") +
                                    QStringLiteral(": ") + denied)));
    QCOMPARE(failed.last(), QStringLiteral("Backup Failed."));
    QCOMPARE(ReadBytes(EncodeFileName(archive)), QByteArray("the previous archive"));

    // Readable again: everything is stored, the read-only folder's file too.
    QVERIFY(::chmod(tree("src/closed").constData(), 0755) == 0);
    QVERIFY(::chmod(tree("src/unsearchable").constData(), 0755) == 0);
    const QStringList done = RunBackup(type, archive, {tree.Name("src")});
    QCOMPARE(done.value(0), QString::number(int(brComplete)));
    QCOMPARE(Entries(archive, tree),
             (QStringList{QStringLiteral("/src/a.txt"), QStringLiteral("/src/closed/secret.txt"),
                          QStringLiteral("/src/sealed/kept.txt"), QStringLiteral("/src/unsearchable/entry.txt")}));
    QVERIFY(::chmod(tree("src/sealed").constData(), 0755) == 0);
  }
}

void TestSearchGuarantees::specialFilesAreSkippedWithoutBlocking()
{
  for (const TZipType type : Writers) {
    TTempTree tree;
    QVERIFY(::chmod(tree.Root().constData(), 0755) == 0);
    QVERIFY(MakeDir(tree("src")));
    QVERIFY(MakeDir(tree("out"), 0777));
    QVERIFY(::chmod(tree("out").constData(), 0777) == 0);
    QVERIFY(WriteBytes(tree("src/a.txt"), "a"));
    // Nobody ever writes into the FIFO: opening it for reading the usual way would block forever.
    QVERIFY(::mkfifo(tree("src/pipe").constData(), 0644) == 0);
    const int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
    QVERIFY(server >= 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    const QByteArray socketPath = tree("src/socket");
    QVERIFY(socketPath.size() < qsizetype(sizeof address.sun_path));
    std::copy(socketPath.begin(), socketPath.end(), address.sun_path);
    QVERIFY(::bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0);

    const QString archive = ArchiveName(tree, type);
    // A missing include folder (a disk not mounted) is logged and fails nothing.
    const QStringList lines = RunBackup(type, archive, {tree.Name("src"), tree.Name("not mounted")});
    ::close(server);
    QCOMPARE(lines.value(0), QString::number(int(brComplete)));
    QVERIFY2(lines.contains(QString(QStringLiteral("Skipped, not a regular file: ") + tree.Name("src/pipe"))),
             qPrintable(lines.join(QLatin1Char('\n'))));
    QVERIFY(lines.contains(QString(QStringLiteral("Skipped, not a regular file: ") + tree.Name("src/socket"))));
    QVERIFY(lines.contains(
        QString(QStringLiteral("Folder not found, nothing added from it: ") + tree.Name("not mounted"))));
    QCOMPARE(Entries(archive, tree), QStringList{QStringLiteral("/src/a.txt")});
  }
}

QTEST_GUILESS_MAIN(TestSearchGuarantees)
#include "tst_searchguarantees.moc"
