// SPDX-License-Identifier: GPL-3.0-or-later
// The progress of a long task shown on the program's taskbar or dock entry.
#pragma once

#include <QString>

#include <memory>

class TTaskbarProgress
{
public:
  virtual ~TTaskbarProgress() = default;

  // Shows AProgress, 0 to 100, on the entry.
  virtual void SetProgress(int AProgress) = 0;
  // Takes the progress off the entry.
  virtual void Clear() = 0;
};

// The taskbar progress of this desktop for the program whose desktop entry is ADesktopFileName
// (for example "corvale.desktop"). Where the desktop shows none, the calls do nothing.
std::unique_ptr<TTaskbarProgress> CreateTaskbarProgress(const QString& ADesktopFileName);
