// SPDX-License-Identifier: GPL-3.0-or-later
// A folder of a run's own in a shared temporary folder: made by mkdtemp (mode 0700, under a name
// no one could have prepared) and removed with everything in it when the object goes, also
// after a failure, an exception or a cancel. Files inside are created, never opened.
#pragma once

#include <QString>

class TPrivateFolder
{
public:
  // Makes AParent/APrefixXXXXXX; IsValid tells whether it worked, Error why not (an errno).
  TPrivateFolder(const QString& AParent, const QString& APrefix);
  ~TPrivateFolder();
  TPrivateFolder(const TPrivateFolder&) = delete;
  TPrivateFolder& operator=(const TPrivateFolder&) = delete;

  bool IsValid() const { return !FPath.isEmpty(); }
  int Error() const { return FError; }
  // The folder with a trailing separator; empty when it could not be made.
  const QString& Path() const { return FPath; }

  // Creates the file AName in the folder with O_CREAT | O_EXCL | O_NOFOLLOW, mode 0600: a name
  // that exists (a planted file or link) fails. The open descriptor, or -1 with AError.
  [[nodiscard]] int CreateFile(const QString& AName, int& AError) const;

private:
  QString FPath;
  int FError = 0;
};
