// SPDX-License-Identifier: GPL-3.0-or-later
// Benchmark helper, not a test: runs the backup's file search over one folder, as a profile entry
// "<folder>/*.*, with subfolders" does, and prints how many files it found. bench_backup.py times
// it as a whole process against `find <folder> -type f`.
//   bench_scan <folder>
#include "engine/TBackupFiles.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
  QCoreApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: bench_scan <folder>\n");
    return 2;
  }
  TBackupFiles files;
  files.Add(QString::fromLocal8Bit(argv[1]), QStringLiteral("*.*"), true);
  QStringList list;
  files.GenerateFileList(list);
  std::printf("%lld\n", static_cast<long long>(list.size()));
  return files.SearchFailed() ? 1 : 0;
}
