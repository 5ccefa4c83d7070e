// SPDX-License-Identifier: GPL-3.0-or-later
// Showing a file in the desktop's file manager, its folder open and the file selected.
#pragma once

#include <QString>

#include <memory>

class TFileManager
{
public:
  virtual ~TFileManager() = default;

  // Shows AFileName selected in its folder; false when neither the file manager nor the desktop's
  // opener for the folder could be reached.
  [[nodiscard]] virtual bool ShowFile(const QString& AFileName) = 0;
};

// The file manager of the session bus (org.freedesktop.FileManager1), else xdg-open on the folder.
std::unique_ptr<TFileManager> CreateFileManager();
