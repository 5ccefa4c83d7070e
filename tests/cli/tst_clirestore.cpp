// SPDX-License-Identifier: GPL-3.0-or-later
// Backups that can be trusted and got back: corvale-cli backup (which reads every archive back
// before it replaces the previous one), verify and restore, on a tree of awkward names, and
// archives that are damaged or crafted to write outside the target folder.
#include "platform/FileNames.h"
#include "profiles/TBackupProfileManager.h"
#include "settings/TestHome.h"
#include "tests/cli/CliRun.h"

#include <QDirIterator>
#include <QRegularExpression>
#include <QTest>

#include <cmath>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

namespace {

bool WriteRaw(const QByteArray& APath, const QByteArray& AContent, mode_t AMode = 0644)
{
  const int fd = ::open(APath.constData(), O_WRONLY | O_CREAT | O_TRUNC, AMode);
  if (fd < 0)
    return false;
  const bool written = ::write(fd, AContent.constData(), AContent.size()) == AContent.size();
  return ::close(fd) == 0 && written && ::chmod(APath.constData(), AMode) == 0;
}

QByteArray ReadRaw(const QByteArray& APath)
{
  const int fd = ::open(APath.constData(), O_RDONLY);
  QByteArray result;
  char buffer[65536];
  for (ssize_t n; fd >= 0 && (n = ::read(fd, buffer, sizeof buffer)) > 0;)
    result.append(buffer, n);
  if (fd >= 0)
    ::close(fd);
  return result;
}

QByteArray Noise(qsizetype ASize)
{
  QByteArray result(ASize, Qt::Uninitialized);
  quint32 state = 0x2545F491u;
  for (char& byte : result) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    byte = static_cast<char>(state);
  }
  return result;
}

// "mode size mtime name" of every file below AFolder, sorted, through find(1) and stat.
QStringList Stats(const QString& AFolder)
{
  QProcess find;
  find.start(QStringLiteral("find"), {AFolder, QStringLiteral("-type"), QStringLiteral("f"), QStringLiteral("-printf"),
                                      QStringLiteral("%m %s %T@ %P\\n")});
  find.waitForFinished();
  QStringList lines = QString::fromLatin1(find.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  lines.sort();
  return lines;
}

// The same file lists, the times equal within ATolerance seconds.
bool SameStats(const QStringList& AExpected, const QStringList& AActual, double ATolerance)
{
  if (AExpected.size() != AActual.size())
    return false;
  for (qsizetype i = 0; i < AExpected.size(); ++i) {
    const QStringList expected = AExpected[i].split(QLatin1Char(' '));
    const QStringList actual = AActual[i].split(QLatin1Char(' '));
    if (expected.size() != actual.size() || expected[0] != actual[0] || expected[1] != actual[1] ||
        expected.mid(3) != actual.mid(3) || std::fabs(expected[2].toDouble() - actual[2].toDouble()) > ATolerance)
      return false;
  }
  return true;
}

} // namespace

class TestCliRestore : public QObject
{
  Q_OBJECT

private slots:
  void init();
  void cleanup();
  void roundTrips();
  void damagedArchivesFailVerify();
  void restoreStaysInsideTheTarget();
  void restoreHandsOutNoOneElsesRights();
  void earlierGenerationsAreListedRestoredAndVerified();

private:
  void AddProfile(const QString& AName, TZipType AType, const QString& AArchive, int AVolumeSize,
                  const QString& APassword, int AKeepArchives = 0);
  QString Path(const QString& AName) const { return FHome->Path(AName); }
  QByteArray Raw(const QString& AName) const { return EncodeFileName(Path(AName)); }

  std::unique_ptr<TTestHome> FHome;
};

void TestCliRestore::init()
{
  FHome = std::make_unique<TTestHome>();
  QVERIFY(FHome->IsValid());
  qputenv("LC_ALL", "C.UTF-8");
  qputenv("XDG_RUNTIME_DIR", QFile::encodeName(Path(QStringLiteral("run"))));
  QVERIFY(QDir().mkpath(Path(QStringLiteral("source/sub dir"))));
  QVERIFY(WriteRaw(Raw(QStringLiteral("source/with space.txt")), "spaces\n"));
  QVERIFY(WriteRaw(Raw(QStringLiteral("source/nön-ascii €.txt")), "non-ASCII\n"));
  QVERIFY(WriteRaw(Raw(QStringLiteral("source")) + "/raw\xff\xfe.bin", "not UTF-8\n"));
  QVERIFY(WriteRaw(Raw(QStringLiteral("source/empty")), QByteArray()));
  QVERIFY(WriteRaw(Raw(QStringLiteral("source/secret.txt")), "private\n", 0600));
  QVERIFY(WriteRaw(Raw(QStringLiteral("source/sub dir/noise.bin")), Noise(200 * 1024)));
}

void TestCliRestore::cleanup()
{
  // QTemporaryDir cannot remove names that are not UTF-8.
  const QString folder = QFileInfo(Path(QStringLiteral("source"))).path();
  QProcess::execute(QStringLiteral("chmod"), {QStringLiteral("-R"), QStringLiteral("u+rwX"), folder});
  QProcess::execute(QStringLiteral("find"),
                    {folder, QStringLiteral("-mindepth"), QStringLiteral("1"), QStringLiteral("-delete")});
}

void TestCliRestore::AddProfile(const QString& AName, TZipType AType, const QString& AArchive, int AVolumeSize,
                                const QString& APassword, int AKeepArchives)
{
  TBackupProfileManager manager;
  manager.SetRegistryKey(QStringLiteral("\\Software\\Quenfield\\Orvel"));
  TBackupProfile* profile = manager.NewProfile(AName);
  profile->SetZipType(AType);
  profile->SetZipFile(AArchive);
  profile->SetSpanningSize(AVolumeSize);
  profile->SetPassword(APassword);
  profile->SetKeepArchives(AKeepArchives);
  profile->Files().Add(Path(QStringLiteral("source/")), QStringLiteral("*"), true);
  QVERIFY(profile->SaveProfile());
}

void TestCliRestore::roundTrips()
{
  struct TCase
  {
    QString Name;
    TZipType Type;
    QString Archive;
    int VolumeSize;
    double TimeTolerance; // ZIP keeps whole seconds
  };
  const QList<TCase> cases{{QStringLiteral("Zip"), zZip, Path(QStringLiteral("backup.zip")), 0, 1.0},
                           {QStringLiteral("Seven"), zSeven, Path(QStringLiteral("backup.7z")), 64 * 1024, 1e-6}};
  const QStringList source = Stats(Path(QStringLiteral("source")));
  QCOMPARE(source.size(), 6);
  for (const TCase& test : cases) {
    AddProfile(test.Name, test.Type, test.Archive, test.VolumeSize, QStringLiteral("pass wörd"));
    const TCliResult backup = RunCli({QStringLiteral("backup"), test.Name});
    QVERIFY2(backup.Status == 0, qPrintable(backup.Out + backup.Error));
    const QString log = QString::fromUtf8(
        ReadRaw(EncodeFileName(Path(QStringLiteral("home/data/Corvale/Logs/%1.log").arg(test.Name)))));
    QVERIFY2(log.contains(QStringLiteral("Verifying archive...")) &&
                 log.contains(QStringLiteral("Archive verified: 6 entries read back intact.")),
             qPrintable(log));
    if (test.VolumeSize != 0)
      QVERIFY(QFile::exists(test.Archive + QStringLiteral(".004")));

    const TCliResult verify = RunCli({QStringLiteral("verify"), test.Name});
    QVERIFY2(verify.Status == 0, qPrintable(verify.Out + verify.Error));

    // The stored paths are the full ones, below the target folder.
    const QString target = Path(test.Name + QStringLiteral("-out"));
    const QString restoredSource = target + Path(QStringLiteral("source"));
    const TCliResult restore = RunCli({QStringLiteral("restore"), test.Name, QStringLiteral("--to"), target});
    QVERIFY2(restore.Status == 0, qPrintable(restore.Out + restore.Error));
    QProcess diff;
    diff.start(QStringLiteral("diff"), {QStringLiteral("-r"), Path(QStringLiteral("source")), restoredSource});
    QVERIFY(diff.waitForFinished());
    QVERIFY2(diff.exitCode() == 0, diff.readAllStandardOutput().constData());
    const QStringList restored = Stats(restoredSource);
    QVERIFY2(SameStats(source, restored, test.TimeTolerance),
             qPrintable(source.join(QLatin1Char('\n')) + QStringLiteral("\n--\n") + restored.join(QLatin1Char('\n'))));

    // An existing file is kept unless --overwrite, and nothing half-written is left beside it.
    const QByteArray changed = EncodeFileName(restoredSource + QStringLiteral("/with space.txt"));
    QVERIFY(WriteRaw(changed, "changed\n"));
    const TCliResult again = RunCli({QStringLiteral("restore"), test.Name, QStringLiteral("--to"), target});
    QCOMPARE(again.Status, 1);
    QVERIFY2(again.Out.contains(QStringLiteral("with space.txt: not restored: a file of that name exists")),
             qPrintable(again.Out));
    QCOMPARE(ReadRaw(changed), QByteArray("changed\n"));
    QVERIFY(QDir(restoredSource).entryList(QDir::Hidden | QDir::Files).filter(QStringLiteral(".tmp")).isEmpty());
    const TCliResult overwrite =
        RunCli({QStringLiteral("restore"), test.Name, QStringLiteral("--to"), target, QStringLiteral("--overwrite")});
    QCOMPARE(overwrite.Status, 0);
    QCOMPARE(ReadRaw(changed), QByteArray("spaces\n"));

    // A pattern selects by name.
    const QString some = Path(test.Name + QStringLiteral("-some"));
    QCOMPARE(
        RunCli({QStringLiteral("restore"), test.Name, QStringLiteral("--to"), some, QStringLiteral("nois*")}).Status,
        0);
    QCOMPARE(Stats(some).size(), 1);
  }
}

void TestCliRestore::damagedArchivesFailVerify()
{
  const QString zip = Path(QStringLiteral("backup.zip"));
  const QString seven = Path(QStringLiteral("backup.7z"));
  AddProfile(QStringLiteral("Zip"), zZip, zip, 0, QStringLiteral("secret"));
  AddProfile(QStringLiteral("Seven"), zSeven, seven, 64 * 1024, QStringLiteral("secret"));
  QCOMPARE(RunCli({QStringLiteral("backup"), QStringLiteral("Zip"), QStringLiteral("Seven")}).Status, 0);
  {
    // One byte of an encrypted entry's data: its authentication code no longer matches.
    QByteArray bytes = ReadRaw(EncodeFileName(zip));
    const qsizetype at = bytes.indexOf("noise.bin");
    QVERIFY(at > 0);
    bytes[at + 5000] = static_cast<char>(bytes[at + 5000] ^ 0x55);
    QVERIFY(WriteRaw(EncodeFileName(zip), bytes));
    const TCliResult verify = RunCli({QStringLiteral("verify"), QStringLiteral("Zip")});
    QCOMPARE(verify.Status, 1);
    QVERIFY2(verify.Out.contains(QStringLiteral("Damaged: ")) && verify.Out.contains(QStringLiteral("noise.bin: ")),
             qPrintable(verify.Out));
  }
  {
    const QByteArray second = EncodeFileName(seven + QStringLiteral(".002"));
    const QByteArray kept = ReadRaw(second);
    QVERIFY(::unlink(second.constData()) == 0);
    const TCliResult missing = RunCli({QStringLiteral("verify"), QStringLiteral("Seven")});
    QCOMPARE(missing.Status, 1);
    QVERIFY2(missing.Out.contains(seven + QStringLiteral(".002: the volume is missing")), qPrintable(missing.Out));

    // A flipped byte in the middle of the packed data names the entry it belongs to.
    QByteArray damaged = kept;
    damaged[damaged.size() / 2] = static_cast<char>(damaged[damaged.size() / 2] ^ 0x55);
    QVERIFY(WriteRaw(second, damaged));
    const TCliResult flipped = RunCli({QStringLiteral("verify"), QStringLiteral("Seven")});
    QCOMPARE(flipped.Status, 1);
    QVERIFY2(flipped.Out.contains(QStringLiteral("noise.bin: ")), qPrintable(flipped.Out));
  }
  {
    // A restore of a damaged archive keeps no damaged file.
    const QString target = Path(QStringLiteral("out"));
    QCOMPARE(RunCli({QStringLiteral("restore"), QStringLiteral("Seven"), QStringLiteral("--to"), target}).Status, 1);
    QVERIFY(!QFile::exists(target + Path(QStringLiteral("source/sub dir/noise.bin"))));
  }
}

void TestCliRestore::restoreStaysInsideTheTarget()
{
  // An archive made by some other program, with names that point outside the target.
  const QByteArray crafted = Raw(QStringLiteral("crafted.zip"));
  {
    int error = 0;
    zip_t* zip = zip_open(crafted.constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    QVERIFY(zip);
    for (const char* name : {"../escape.txt", "/tmp/corvale-absolute-entry.txt", "link/inside.txt", "ok.txt"}) {
      static const char data[] = "payload\n";
      zip_source_t* source = zip_source_buffer(zip, data, sizeof data - 1, 0);
      QVERIFY(zip_file_add(zip, name, source, ZIP_FL_ENC_UTF_8) >= 0);
    }
    QCOMPARE(zip_close(zip), 0);
  }
  AddProfile(QStringLiteral("Crafted"), zZip, Path(QStringLiteral("crafted.zip")), 0, QString());
  const QString target = Path(QStringLiteral("target"));
  QVERIFY(QDir().mkpath(target) && QDir().mkpath(Path(QStringLiteral("outside"))));
  QVERIFY(QFile::link(Path(QStringLiteral("outside")), target + QStringLiteral("/link")));

  const TCliResult restore =
      RunCli({QStringLiteral("restore"), QStringLiteral("Crafted"), QStringLiteral("--to"), target});
  QCOMPARE(restore.Status, 1);
  for (const char* refused :
       {"../escape.txt: refused", "/tmp/corvale-absolute-entry.txt: refused", "link/inside.txt: refused"})
    QVERIFY2(restore.Out.contains(QLatin1String(refused)), qPrintable(restore.Out));
  QVERIFY(!QFile::exists(Path(QStringLiteral("escape.txt"))));
  QVERIFY(!QFile::exists(QStringLiteral("/tmp/corvale-absolute-entry.txt")));
  QVERIFY(!QFile::exists(Path(QStringLiteral("outside/inside.txt"))));
  QCOMPARE(ReadRaw(EncodeFileName(target + QStringLiteral("/ok.txt"))), QByteArray("payload\n"));

  // Usage: the folder is required.
  QCOMPARE(RunCli({QStringLiteral("restore"), QStringLiteral("Crafted")}).Status, 3);
  QCOMPARE(RunCli({QStringLiteral("verify"), QStringLiteral("Missing")}).Status, 3);
}

void TestCliRestore::restoreHandsOutNoOneElsesRights()
{
  // An archive from someone else, with special modes, a world-writable folder that exists in
  // the target, and names that would drive a terminal.
  const QByteArray crafted = Raw(QStringLiteral("modes.zip"));
  const QByteArray escape = "\x1b]0;owned\x07";
  {
    int error = 0;
    zip_t* zip = zip_open(crafted.constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    QVERIFY(zip);
    static const char data[] = "payload\n";
    const auto add = [zip](const QByteArray& AName, mode_t AMode) {
      const bool folder = AName.endsWith('/');
      const zip_int64_t index = folder ? zip_dir_add(zip, AName.chopped(1).constData(), ZIP_FL_ENC_RAW)
                                       : zip_file_add(zip, AName.constData(),
                                                      zip_source_buffer(zip, data, sizeof data - 1, 0), ZIP_FL_ENC_RAW);
      const zip_uint32_t type = folder ? S_IFDIR : S_IFREG;
      return index >= 0 && zip_file_set_external_attributes(zip, static_cast<zip_uint64_t>(index), 0, ZIP_OPSYS_UNIX,
                                                            (type | AMode) << 16) == 0;
    };
    QVERIFY(add("setuid", 04755));
    QVERIFY(add("setgid", 02755));
    QVERIFY(add("open", 0777));
    QVERIFY(add("shared/", 01777));
    QVERIFY(add("private/", 0777));
    QVERIFY(add(escape + "/../x", 0644));
    QVERIFY(add("\x1b[2J" + QByteArray("clear.txt"), 0644));
    QCOMPARE(zip_close(zip), 0);
  }
  AddProfile(QStringLiteral("Modes"), zZip, Path(QStringLiteral("modes.zip")), 0, QString());
  const QString target = Path(QStringLiteral("target"));
  const QByteArray rawTarget = EncodeFileName(target);
  QVERIFY(QDir().mkpath(target + QStringLiteral("/private")));
  QVERIFY(::chmod(QByteArray(rawTarget + "/private").constData(), 0700) == 0);
  const timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
  QVERIFY(::utimensat(AT_FDCWD, QByteArray(rawTarget + "/private").constData(), old, 0) == 0);
  QVERIFY(WriteRaw(rawTarget + "/\x1b[2Jclear.txt", "mine\n"));
  const mode_t savedUmask = ::umask(022);
  const auto mode = [&rawTarget](const char* AName) {
    struct stat info
    {};
    return ::lstat(QByteArray(rawTarget + '/' + AName).constData(), &info) == 0 ? info.st_mode & 07777 : 0777777u;
  };
  {
    const TCliResult restore =
        RunCli({QStringLiteral("restore"), QStringLiteral("Modes"), QStringLiteral("--to"), target});
    QCOMPARE(restore.Status, 1);
    // Special bits dropped, the umask applied, files and folders alike.
    QCOMPARE(mode("setuid"), 0755u);
    QCOMPARE(mode("setgid"), 0755u);
    QCOMPARE(mode("open"), 0755u);
    QCOMPARE(mode("shared"), 0755u);
    // The folder that was there keeps its mode and its time.
    QCOMPARE(mode("private"), 0700u);
    struct stat info
    {};
    QVERIFY(::stat(QByteArray(rawTarget + "/private").constData(), &info) == 0);
    QCOMPARE(info.st_mtim.tv_sec, 1000000000);
    // Names reach the terminal escaped.
    QVERIFY2(!restore.Out.contains(QChar(0x1b)) && !restore.Out.contains(QChar(0x07)),
             qPrintable(restore.Out.toLatin1().toHex()));
    QVERIFY2(restore.Out.contains(QStringLiteral("\\x1b]0;owned\\x07/../x: refused")), qPrintable(restore.Out));
    QVERIFY2(restore.Out.contains(QStringLiteral("\\x1b[2Jclear.txt: not restored")), qPrintable(restore.Out));
  }
  {
    // Root may ask to keep them.
    const TCliResult keep = RunCli({QStringLiteral("restore"), QStringLiteral("Modes"), QStringLiteral("--to"), target,
                                    QStringLiteral("--overwrite"), QStringLiteral("--keep-special-modes")});
    if (::geteuid() == 0) {
      QCOMPARE(keep.Status, 1); // the ".." entry
      QCOMPARE(mode("setuid"), 04755u);
      QCOMPARE(mode("open"), 0777u);
    } else {
      QCOMPARE(keep.Status, 3);
      QCOMPARE(mode("setuid"), 0755u);
    }
  }
  ::umask(savedUmask);
}

void TestCliRestore::earlierGenerationsAreListedRestoredAndVerified()
{
  const QString archive = Path(QStringLiteral("set.7z"));
  AddProfile(QStringLiteral("Kept"), zSeven, archive, 64 * 1024, QString(), 3);
  QCOMPARE(RunCli({QStringLiteral("backup"), QStringLiteral("Kept")}).Status, 0);
  QVERIFY(WriteRaw(Raw(QStringLiteral("source/with space.txt")), "second run\n"));
  QCOMPARE(RunCli({QStringLiteral("backup"), QStringLiteral("Kept")}).Status, 0);

  // Newest first; a set's size is all of its volumes, its file the first volume.
  const TCliResult list = RunCli({QStringLiteral("generations"), QStringLiteral("Kept")});
  QCOMPARE(list.Status, 0);
  const QStringList lines = list.Out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  QCOMPARE(lines.size(), 2);
  const QRegularExpression line(QStringLiteral("^(\\d)  (\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d)  +(\\d+)  (.*)$"));
  const QRegularExpressionMatch newest = line.match(lines[0]);
  const QRegularExpressionMatch kept = line.match(lines[1]);
  QVERIFY2(newest.hasMatch() && kept.hasMatch(), qPrintable(list.Out));
  QCOMPARE(newest.captured(4), archive + QStringLiteral(".001"));
  QVERIFY2(kept.captured(4).startsWith(Path(QStringLiteral("set.2"))) &&
               kept.captured(4).endsWith(QStringLiteral(".7z.001")),
           qPrintable(list.Out));
  qint64 size = 0;
  for (const QFileInfo& volume : QDir(Path(QString())).entryInfoList({QStringLiteral("set.7z.*")}, QDir::Files))
    size += volume.size();
  QCOMPARE(newest.captured(3).toLongLong(), size);

  // Generation 1 holds the first run's file.
  const QString target = Path(QStringLiteral("kept-out"));
  const TCliResult restore = RunCli({QStringLiteral("restore"), QStringLiteral("Kept"), QStringLiteral("--to"), target,
                                     QStringLiteral("--generation"), QStringLiteral("1"), QStringLiteral("with*")});
  QVERIFY2(restore.Status == 0, qPrintable(restore.Out + restore.Error));
  QCOMPARE(ReadRaw(EncodeFileName(target + Path(QStringLiteral("source/with space.txt")))), QByteArray("spaces\n"));
  const TCliResult verify =
      RunCli({QStringLiteral("verify"), QStringLiteral("Kept"), QStringLiteral("--generation=1")});
  QVERIFY2(verify.Status == 0 && verify.Out.contains(kept.captured(4).chopped(4)),
           qPrintable(verify.Out + verify.Error));

  // A generation that does not exist says how many there are.
  const TCliResult missing =
      RunCli({QStringLiteral("verify"), QStringLiteral("Kept"), QStringLiteral("--generation"), QStringLiteral("2")});
  QCOMPARE(missing.Status, 1);
  QVERIFY2(missing.Error.contains(QStringLiteral("there is no generation 2 of profile \"Kept\": it has 2")),
           qPrintable(missing.Error));
  QCOMPARE(
      RunCli({QStringLiteral("verify"), QStringLiteral("Kept"), QStringLiteral("--generation"), QStringLiteral("x")})
          .Status,
      3);
}

QTEST_GUILESS_MAIN(TestCliRestore)
#include "tst_clirestore.moc"
