// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the registry-file reader: any input is read without crashing, and a file
// it accepts writes out and reads back to the same keys and values.
#include "settings/TRegFile.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

namespace {

bool SameKeys(const QList<TRegFile::TKey>& A, const QList<TRegFile::TKey>& B)
{
  if (A.size() != B.size())
    return false;
  for (qsizetype i = 0; i < A.size(); ++i) {
    const TRegFile::TKey& a = A.at(i);
    const TRegFile::TKey& b = B.at(i);
    if (a.Path != b.Path || a.Delete != b.Delete || a.Values.size() != b.Values.size())
      return false;
    for (qsizetype j = 0; j < a.Values.size(); ++j) {
      const TRegFile::TValue& x = a.Values.at(j);
      const TRegFile::TValue& y = b.Values.at(j);
      if (x.Name != y.Name || x.Delete != y.Delete || x.Type != y.Type || x.Data != y.Data)
        return false;
    }
  }
  return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ASize)
{
  TRegFile file;
  if (!file.Parse(QByteArray(reinterpret_cast<const char*>(AData), static_cast<qsizetype>(ASize))))
    return 0;
  TRegFile again;
  if (!again.Parse(file.ToBytes()) || !SameKeys(file.Keys(), again.Keys()))
    std::abort();
  return 0;
}
