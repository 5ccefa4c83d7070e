// SPDX-License-Identifier: GPL-3.0-or-later
// "Verify archive" and "Restore..." for a profile's archive: the work with a progress window the
// user can cancel, then a summary of what was found or restored.
#pragma once

class QWidget;
class TBackupProfile;

class TArchiveTasks
{
public:
  // Message boxes, the folder chooser and the progress window belong to AParent.
  explicit TArchiveTasks(QWidget* AParent);

  // True when the archive (every volume, every entry) was read back sound.
  bool Verify(const TBackupProfile& AProfile);
  // Asks which archive when earlier ones are kept (the newest proposed), then for a folder, and
  // restores the whole archive into it, never replacing a file that is already there. True when
  // every entry was restored.
  bool Restore(const TBackupProfile& AProfile);

private:
  QWidget* FParent;
};
