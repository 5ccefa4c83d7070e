// SPDX-License-Identifier: GPL-3.0-or-later
// Drives a ZIP backup through the engine for benchmarks/bench_zip.sh, and generates its tree.
//   bench_zip generate <folder> <MiB>
//   bench_zip backup <folder> <archive>
#include "engine/TBackup.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>

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

int Backup(const QString& AFolder, const QString& AArchive)
{
  TBackup backup;
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

} // namespace

int main(int argc, char* argv[])
{
  QCoreApplication application(argc, argv);
  const QStringList arguments = application.arguments();
  if (arguments.size() == 4 && arguments.at(1) == QLatin1String("generate"))
    return Generate(arguments.at(2), arguments.at(3).toLongLong());
  if (arguments.size() == 4 && arguments.at(1) == QLatin1String("backup"))
    return Backup(arguments.at(2), arguments.at(3));
  std::fprintf(stderr, "usage: bench_zip generate <folder> <MiB> | bench_zip backup <folder> <archive>\n");
  return 2;
}
