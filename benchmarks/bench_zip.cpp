// SPDX-License-Identifier: GPL-3.0-or-later
// Drives a ZIP backup through the engine for benchmarks/bench_zip.sh, and generates its tree.
//   bench_zip generate <folder> <MiB>
//   bench_zip backup <folder> <archive> [<keep archives>]
//   bench_zip rotation <folder>     (the rotation of a 3-volume set alone, median of 21)
#include "engine/TArchiveRotation.h"
#include "engine/TBackup.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <sys/resource.h>

namespace {

class TNoise
{
public:
  explicit TNoise(quint64 ASeed)
    : FState(ASeed | 1)
  {}
  quint64 Next()
  {
    FState ^= FState << 13;
    FState ^= FState >> 7;
    FState ^= FState << 17;
    return FState;
  }
  quint64 Below(quint64 ALimit) { return Next() % ALimit; }

private:
  quint64 FState;
};

// Text that deflates to about a third, like documents and sources do.
void FillText(TNoise& ANoise, QByteArray& ABuffer)
{
  static const char* const words[] = {"backup", "archive",  "folder",      "profile", "the",      "of",      "and",
                                      "to",     "schedule", "compression", "volume",  "password", "report",  "file",
                                      "monday", "invoice",  "total",       "2024",    "status",   "complete"};
  ABuffer.clear();
  while (ABuffer.size() < (1 << 20)) {
    ABuffer.append(words[ANoise.Below(std::size(words))]);
    ABuffer.append(ANoise.Below(12) == 0 ? '\n' : ' ');
    if (ANoise.Below(5) == 0)
      ABuffer.append(QByteArray::number(ANoise.Next() % 100000));
  }
}

void FillRandom(TNoise& ANoise, QByteArray& ABuffer)
{
  ABuffer.resize(1 << 20);
  for (qsizetype i = 0; i + 8 <= ABuffer.size(); i += 8) {
    const quint64 value = ANoise.Next();
    memcpy(ABuffer.data() + i, &value, 8);
  }
}

bool WriteFile(const QString& APath, qint64 ASize, bool ARandom, TNoise& ANoise)
{
  QFile file(APath);
  if (!file.open(QIODevice::WriteOnly))
    return false;
  QByteArray chunk;
  for (qint64 left = ASize; left > 0;) {
    ARandom ? FillRandom(ANoise, chunk) : FillText(ANoise, chunk);
    const qint64 count = std::min<qint64>(left, chunk.size());
    if (file.write(chunk.constData(), count) != count)
      return false;
    left -= count;
  }
  return true;
}

// About a third of the bytes random (photos, archives), the rest text; many small files in
// nested folders and a few large ones.
int Generate(const QString& AFolder, qint64 AMiB)
{
  TNoise noise(20240601);
  const qint64 target = AMiB << 20;
  qint64 written = 0;
  int files = 0;
  while (written < target) {
    const QString folder = QStringLiteral("%1/d%2/s%3").arg(AFolder).arg(files % 17).arg(files % 5);
    if (!QDir().mkpath(folder))
      return 1;
    const quint64 kind = noise.Below(10);
    qint64 size = 0;
    bool random = false;
    if (kind < 6) {
      size = 1024 + static_cast<qint64>(noise.Below(64 << 10)); // small documents
    } else if (kind < 9) {
      size = (256 << 10) + static_cast<qint64>(noise.Below(4 << 20));
    } else {
      size = (2 << 20) + static_cast<qint64>(noise.Below(16 << 20));
      random = true;
    }
    if (kind == 8)
      random = true;
    size = std::min(size, target - written);
    if (!WriteFile(QStringLiteral("%1/f%2.%3")
                       .arg(folder)
                       .arg(files)
                       .arg(random ? QStringLiteral("bin") : QStringLiteral("txt")),
                   size, random, noise))
      return 1;
    written += size;
    ++files;
  }
  std::printf("generated %d files, %lld MiB in %s\n", files, written >> 20, qPrintable(AFolder));
  return 0;
}

int Backup(const QString& AFolder, const QString& AArchive, int AKeepArchives)
{
  TBackup backup;
  backup.SetKeepArchives(AKeepArchives);
  backup.SetZipType(zZip);
  backup.SetZipCompression(zcMaximum);
  backup.SetZipFileName(AArchive);
  backup.Files()->Add(AFolder, QStringLiteral("*.*"), true);
  qint64 events = 0;
  backup.OnItemProgress = [&](QObject*, const QString&, int) { ++events; };
  backup.OnLog = [](QObject*, const QString& AMessage, int ACode) {
    if (ACode != 0)
      std::fprintf(stderr, "%s\n", qPrintable(AMessage));
  };
  QElapsedTimer timer;
  timer.start();
  QStringList result;
  const TBackupResult outcome = backup.Backup(&result);
  const double seconds = timer.elapsed() / 1000.0;
  struct rusage usage = {};
  ::getrusage(RUSAGE_SELF, &usage);
  const qint64 archiveSize = QFileInfo(AArchive).size();
  std::printf("engine: result %d, archive %lld MiB, %.2f s, %lld progress events, peak RSS %ld KiB\n", int(outcome),
              archiveSize >> 20, seconds, events, usage.ru_maxrss);
  return outcome == brComplete ? 0 : 1;
}

// Keeps a 3-volume set of 64 MiB volumes as a successful run does: the kept names given, the
// new volumes renamed into place, then the pruning of the kept sets beyond 5.
int Rotation(const QString& AFolder)
{
  if (!QDir().mkpath(AFolder))
    return 1;
  const QString archive = AFolder + QStringLiteral("/set.7z");
  TNoise noise(7);
  std::vector<qint64> times;
  for (int run = 0; run < 21; ++run) {
    for (int volume = 1; volume <= 3; ++volume) {
      const QString name = archive + QStringLiteral(".%1").arg(volume, 3, 10, QLatin1Char('0'));
      // Each set one second older than the next, so that every run keeps a new name.
      if (!WriteFile(name + QStringLiteral(".new"), run == 0 ? 64 << 20 : 4096, false, noise))
        return 1;
      QFile::setPermissions(name + QStringLiteral(".new"), QFile::ReadOwner | QFile::WriteOwner);
    }
    QElapsedTimer timer;
    timer.start();
    TArchiveRotation rotation(archive, true, 5);
    QString error;
    if (!rotation.Prepare(error)) {
      std::fprintf(stderr, "%s\n", qPrintable(error));
      return 1;
    }
    for (int volume = 1; volume <= 3; ++volume) {
      const QString name = archive + QStringLiteral(".%1").arg(volume, 3, 10, QLatin1Char('0'));
      if (::rename(QFile::encodeName(name + QStringLiteral(".new")).constData(), QFile::encodeName(name).constData()) !=
          0)
        return 1;
    }
    rotation.Settle(true);
    times.push_back(timer.nsecsElapsed() / 1000);
    // The next set must be written in a later second to get a name of its own.
    for (int volume = 1; volume <= 3; ++volume) {
      const QString name = archive + QStringLiteral(".%1").arg(volume, 3, 10, QLatin1Char('0'));
      QFile file(name);
      if (!file.open(QIODevice::ReadWrite) ||
          !file.setFileTime(QDateTime::fromSecsSinceEpoch(1700000000 + run), QFileDevice::FileModificationTime))
        return 1;
    }
  }
  std::sort(times.begin(), times.end());
  std::printf("rotation of a 3-volume set (keep 5, pruning included): median %.2f ms, max %.2f ms over %zu runs\n",
              times[times.size() / 2] / 1000.0, times.back() / 1000.0, times.size());
  return 0;
}

} // namespace

int main(int argc, char* argv[])
{
  QCoreApplication application(argc, argv);
  const QStringList arguments = application.arguments();
  if (arguments.size() == 4 && arguments.at(1) == QLatin1String("generate"))
    return Generate(arguments.at(2), arguments.at(3).toLongLong());
  if ((arguments.size() == 4 || arguments.size() == 5) && arguments.at(1) == QLatin1String("backup"))
    return Backup(arguments.at(2), arguments.at(3), arguments.size() == 5 ? arguments.at(4).toInt() : 0);
  if (arguments.size() == 3 && arguments.at(1) == QLatin1String("rotation"))
    return Rotation(arguments.at(2));
  std::fprintf(stderr, "usage: bench_zip generate <folder> <MiB> | bench_zip backup <folder> <archive> [<keep>] | "
                       "bench_zip rotation <folder>\n");
  return 2;
}
