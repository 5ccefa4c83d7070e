// SPDX-License-Identifier: GPL-3.0-or-later
// A four-part version number ("Major.Minor.Release.Build") and the rule that says whether it is newer.
#pragma once

#include <QString>

#include <cstdint>

class TApplicationVersionDetails
{
public:
  std::int32_t MajorVersion = 0;
  std::int32_t MinorVersion = 0;
  std::int32_t ReleaseVersion = 0;
  std::int32_t BuildVersion = 0;

  void Reset();
  QString AsString() const;
  QString Version() const { return AsString(); }
  // Parts that are not integers count as 0; parts beyond the fourth are ignored.
  void SetVersion(const QString& AVersion);
  // True when AVersion is one to four parts separated by dots, each a number from 0 up.
  [[nodiscard]] static bool ValidVersion(const QString& AVersion);
  // True when this version is not newer than ACompareVersion: major, minor, release and build
  // compare in that order, each as a whole number.
  bool IsCurrent(const QString& ACompareVersion) const;
};
