// SPDX-License-Identifier: GPL-3.0-or-later
// Benchmark, not a test: a 7z backup of a generated tree through TSevenZip against `7z a` with the
// same settings on the same files. Prints wall time, CPU time and peak memory of both, and ratios.
//
//   bench_sevenzip [--size MiB] [--level 0-4] [--volume bytes] [--password text] [--runs n] [--work folder]
//
// Each side runs in a child process of its own, so its peak memory is its own.
#include "engine/TSevenZip.h"
#include "platform/FileNames.h"
#include "sysinfo/FindFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QRandomGenerator>
#include <QThread>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct TOptions
{
  int SizeMiB = 300;
  int Level = static_cast<int>(TCompressStrength::ULTRA);
  std::uint32_t VolumeSize = 0;
  QString Password;
  int Runs = 1;
  QString Work = QDir::tempPath() + QStringLiteral("/corvale-bench-7z");
};

struct TMeasure
{
  double Wall = 0;
  double Cpu = 0;
  double PeakMiB = 0;
  int Status = -1;
};

void WriteFile(const QByteArray& APath, const QByteArray& AData)
{
  const int fd = ::open(APath.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0 || ::write(fd, AData.constData(), static_cast<size_t>(AData.size())) != AData.size()) {
    std::perror(APath.constData());
    std::exit(2);
  }
  ::close(fd);
}

// Text of made-up words: compresses about as well as documents and source code do.
QByteArray TextData(QRandomGenerator& ARandom, qsizetype ASize)
{
  static const char* const words[] = {"backup", "archive", "volume",  "profile", "the",  "of",    "and",
                                      "file",   "folder",  "setting", "update",  "time", "data",  "value",
                                      "report", "log",     "window",  "system",  "user", "entry", "list"};
  QByteArray data;
  data.reserve(ASize + 32);
  while (data.size() < ASize) {
    data += words[ARandom.bounded(static_cast<int>(std::size(words)))];
    data += ARandom.bounded(12) == 0 ? '\n' : ' ';
    if (ARandom.bounded(40) == 0)
      data += QByteArray::number(ARandom.bounded(100000));
  }
  data.truncate(ASize);
  return data;
}

QByteArray RandomData(QRandomGenerator& ARandom, qsizetype ASize)
{
  QByteArray data(ASize, Qt::Uninitialized);
  ARandom.fillRange(reinterpret_cast<quint32*>(data.data()), ASize / 4);
  return data;
}

// Many small files, some medium ones and a few large ones; about 60 % text, 40 % random.
void GenerateTree(const QString& ARoot, int ASizeMiB)
{
  const QString stamp = ARoot + QStringLiteral("/.generated-") + QString::number(ASizeMiB);
  if (QFileInfo::exists(stamp))
    return;
  QDir(ARoot).removeRecursively();
  QRandomGenerator random(20240601);
  const qint64 target = qint64(ASizeMiB) * 1024 * 1024;
  qint64 total = 0;
  int index = 0;
  while (total < target) {
    const QString folder = ARoot + QStringLiteral("/dir%1/sub%2").arg(index / 200).arg(index % 7);
    QDir().mkpath(folder);
    const int kind = random.bounded(100);
    qint64 size = kind < 85   ? 4096 + random.bounded(60000)
                  : kind < 97 ? 1048576 + random.bounded(7 * 1048576)
                              : 20971520 + random.bounded(40 * 1048576);
    size = std::min(size, target - total);
    const bool text = random.bounded(100) < 60;
    WriteFile(EncodeFileName(folder + QStringLiteral("/file%1.%2").arg(index).arg(text ? "txt" : "bin")),
              text ? TextData(random, size) : RandomData(random, size));
    total += size;
    ++index;
  }
  WriteFile(EncodeFileName(stamp), QByteArray());
  std::printf("generated %d files, %lld bytes in %s\n", index, static_cast<long long>(total), qPrintable(ARoot));
}

QStringList TreeFiles(const QString& ARoot)
{
  QStringList files;
  FindFiles(ARoot, QStringLiteral("file*"), true, {}, files);
  return files;
}

// Reads the tree once so that both sides start with the same warm cache.
void WarmUp(const QStringList& AFiles)
{
  std::vector<char> buffer(1 << 20);
  for (const QString& file : AFiles) {
    const int fd = ::open(EncodeFileName(file).constData(), O_RDONLY | O_CLOEXEC);
    while (fd >= 0 && ::read(fd, buffer.data(), buffer.size()) > 0) {
    }
    if (fd >= 0)
      ::close(fd);
  }
}

void RemoveArchives(const QString& AArchive)
{
  QDir folder = QFileInfo(AArchive).dir();
  for (const QString& name : folder.entryList({QFileInfo(AArchive).fileName() + QLatin1Char('*')}, QDir::Files))
    folder.remove(name);
}

qint64 ArchiveBytes(const QString& AArchive)
{
  QDir folder = QFileInfo(AArchive).dir();
  qint64 bytes = 0;
  for (const QFileInfo& info : folder.entryInfoList({QFileInfo(AArchive).fileName() + QLatin1Char('*')}, QDir::Files))
    bytes += info.size();
  return bytes;
}

// Runs AArguments as a child and measures it.
TMeasure Measure(const QStringList& AArguments)
{
  std::vector<QByteArray> storage;
  for (const QString& argument : AArguments)
    storage.push_back(argument.toLocal8Bit());
  std::vector<char*> argv;
  for (QByteArray& argument : storage)
    argv.push_back(argument.data());
  argv.push_back(nullptr);

  TMeasure measure;
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = ::fork();
  if (child == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, STDOUT_FILENO);
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  ::wait4(child, &status, 0, &usage);
  measure.Wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  measure.Cpu =
      usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
  measure.PeakMiB = usage.ru_maxrss / 1024.0;
  measure.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return measure;
}

// The child that runs the engine: the file list comes from the tree, as the backup gives it.
int RunEngine(const QString& ARoot, const QString& AArchive, int ALevel, std::uint32_t AVolumeSize,
              const QString& APassword)
{
  try {
    TSevenZip zip;
    zip.Files() = TreeFiles(ARoot);
    zip.SetSZFileName(AArchive);
    zip.SetLZMACompressStrength(static_cast<TCompressStrength>(ALevel));
    zip.SetVolumeSize(AVolumeSize);
    zip.SetPassword(APassword);
    if (!APassword.trimmed().isEmpty())
      zip.SetAddOptions(AddOptsEnum::AddEncryptFilename);
    return zip.Add() == 0 ? 0 : 1;
  } catch (const ESevenZipError& error) {
    std::fprintf(stderr, "%s\n", qPrintable(error.Message()));
    return 3;
  }
}

void Print(const char* AName, const TMeasure& AMeasure, qint64 ABytes)
{
  std::printf("%-10s wall %8.2f s   cpu %8.2f s   peak %8.1f MiB   archive %12lld bytes   exit %d\n", AName,
              AMeasure.Wall, AMeasure.Cpu, AMeasure.PeakMiB, static_cast<long long>(ABytes), AMeasure.Status);
}

} // namespace

int main(int argc, char** argv)
{
  QCoreApplication application(argc, argv);
  const QStringList arguments = application.arguments();
  if (arguments.size() == 7 && arguments[1] == QLatin1String("--engine-child"))
    return RunEngine(arguments[2], arguments[3], arguments[4].toInt(), arguments[5].toUInt(), arguments[6]);

  // Figures appear as they come, also when the output goes to a file.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  TOptions options;
  for (int i = 1; i + 1 < arguments.size(); i += 2) {
    const QString& name = arguments[i];
    const QString& value = arguments[i + 1];
    if (name == QLatin1String("--size"))
      options.SizeMiB = value.toInt();
    else if (name == QLatin1String("--level"))
      options.Level = value.toInt();
    else if (name == QLatin1String("--volume"))
      options.VolumeSize = value.toUInt();
    else if (name == QLatin1String("--password"))
      options.Password = value;
    else if (name == QLatin1String("--runs"))
      options.Runs = std::max(1, value.toInt());
    else if (name == QLatin1String("--work"))
      options.Work = value;
  }

  const QString root = options.Work + QStringLiteral("/tree");
  const QString out = options.Work + QStringLiteral("/out");
  QDir().mkpath(out);
  GenerateTree(root, options.SizeMiB);
  const QStringList files = TreeFiles(root);
  static const int Levels[] = {0, 3, 5, 7, 9};
  const int level = Levels[std::clamp(options.Level, 0, 4)];

  // 7-Zip's command with the engine's settings: LZMA2 (Copy at level 0), not solid, all threads,
  // full paths without the leading "/", header encryption with a password.
  const QString listFile = options.Work + QStringLiteral("/files.txt");
  {
    QFile list(listFile);
    if (!list.open(QIODevice::WriteOnly | QIODevice::Truncate))
      return 2;
    list.write(files.join(QLatin1Char('\n')).toUtf8() + '\n');
  }
  const QString engineArchive = out + QStringLiteral("/engine.7z");
  const QString toolArchive = out + QStringLiteral("/tool.7z");
  QStringList tool{QStringLiteral("7z"),      QStringLiteral("a"),
                   QStringLiteral("-t7z"),    QStringLiteral("-mx=%1").arg(level),
                   QStringLiteral("-ms=off"), QStringLiteral("-mmt=on"),
                   QStringLiteral("-spf2"),   QStringLiteral("-bd"),
                   QStringLiteral("-y")};
  if (level > 0)
    tool << QStringLiteral("-m0=LZMA2");
  if (options.VolumeSize > 0)
    tool << QStringLiteral("-v%1b").arg(options.VolumeSize);
  if (!options.Password.isEmpty())
    tool << QStringLiteral("-p") + options.Password;
  if (!options.Password.trimmed().isEmpty())
    tool << QStringLiteral("-mhe=on");
  tool << toolArchive << QLatin1Char('@') + listFile;
  const QStringList engine{QCoreApplication::applicationFilePath(),
                           QStringLiteral("--engine-child"),
                           root,
                           engineArchive,
                           QString::number(options.Level),
                           QString::number(options.VolumeSize),
                           options.Password};

  qint64 bytes = 0;
  for (const QString& file : files)
    bytes += QFileInfo(file).size();
  std::printf("tree: %lld files, %.1f MiB; level %d (-mx=%d), volume %u, %s; %d CPUs\n",
              static_cast<long long>(files.size()), bytes / 1048576.0, options.Level, level, options.VolumeSize,
              options.Password.isEmpty() ? "no password" : "password", QThread::idealThreadCount());
  WarmUp(files);

  TMeasure bestEngine{1e30, 0, 0, -1};
  TMeasure bestTool{1e30, 0, 0, -1};
  for (int run = 1; run <= options.Runs; ++run) {
    // Alternate which side goes first, so neither always profits from the other's cache.
    for (int side = 0; side < 2; ++side) {
      const bool engineSide = (side + run) % 2 == 0;
      const QString archive = engineSide ? engineArchive : toolArchive;
      RemoveArchives(archive);
      const TMeasure measure = Measure(engineSide ? engine : tool);
      Print(engineSide ? "engine" : "7z a", measure, ArchiveBytes(archive));
      TMeasure& best = engineSide ? bestEngine : bestTool;
      if (measure.Wall < best.Wall)
        best = measure;
    }
  }
  std::printf("\nbest of %d run(s)\n", options.Runs);
  Print("engine", bestEngine, ArchiveBytes(engineArchive));
  Print("7z a", bestTool, ArchiveBytes(toolArchive));
  std::printf("ratio engine / 7z a:  wall %.3f   cpu %.3f   peak memory %.3f\n", bestEngine.Wall / bestTool.Wall,
              bestEngine.Cpu / bestTool.Cpu, bestEngine.PeakMiB / bestTool.PeakMiB);
  return bestEngine.Status == 0 && bestTool.Status == 0 ? 0 : 1;
}
