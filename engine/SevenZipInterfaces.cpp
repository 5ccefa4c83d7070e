// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/SevenZipInterfaces.h"

#include <cstring>

namespace SevenZip {

bool operator==(const GUID& ALeft, const GUID& ARight)
{
  return std::memcmp(&ALeft, &ARight, sizeof(GUID)) == 0;
}

FILETIME FileTimeFromUnix(std::int64_t ASeconds, long ANanoseconds)
{
  constexpr std::int64_t SecondsFrom1601To1970 = 11644473600;
  const std::int64_t seconds = ASeconds + SecondsFrom1601To1970;
  const std::uint64_t value =
      seconds < 0 ? 0
                  : static_cast<std::uint64_t>(seconds) * 10000000u + static_cast<std::uint64_t>(ANanoseconds / 100);
  return FILETIME{static_cast<UInt32>(value & 0xFFFFFFFFu), static_cast<UInt32>(value >> 32)};
}

std::uint64_t FileTimeValue(const FILETIME& ATime)
{
  return (static_cast<std::uint64_t>(ATime.dwHighDateTime) << 32) | ATime.dwLowDateTime;
}

std::wstring ArchiveNameUnits(const QString& AName)
{
  std::wstring result;
  result.reserve(static_cast<std::size_t>(AName.size()));
  for (qsizetype i = 0; i < AName.size(); ++i) {
    const char16_t unit = AName.at(i).unicode();
    if (QChar::isHighSurrogate(unit) && i + 1 < AName.size() && QChar::isLowSurrogate(AName.at(i + 1).unicode())) {
      result.push_back(static_cast<wchar_t>(unit));
      result.push_back(static_cast<wchar_t>(AName.at(++i).unicode()));
    } else if (unit >= 0xDC80 && unit <= 0xDCFF) {
      result.push_back(static_cast<wchar_t>(0xEF00 + (unit - 0xDC00)));
    } else {
      result.push_back(static_cast<wchar_t>(unit));
    }
  }
  return result;
}

std::wstring TextUnits(const QString& AText)
{
  std::wstring result;
  result.reserve(static_cast<std::size_t>(AText.size()));
  for (const QChar c : AText)
    result.push_back(static_cast<wchar_t>(c.unicode()));
  return result;
}

} // namespace SevenZip
