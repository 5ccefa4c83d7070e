// SPDX-License-Identifier: GPL-3.0-or-later
// Creating and changing a profile of the manager in the profile editor, and storing it at once, so
// that the terminal program and the next start see it.
#pragma once

#include <QString>

class QWidget;
class TBackupProfile;
class TBackupProfileManager;
class TfrmBackupProfileWizard;
class TfrmBackupProfiles;

class TProfileEditing
{
public:
  // All outlive this object. Without a wizard, a wizard's profile is made in the editor.
  TProfileEditing(TBackupProfileManager& AManager, TfrmBackupProfiles& AEditor,
                  TfrmBackupProfileWizard* AWizard = nullptr);

  // The name a new profile starts with (made unique among the manager's profiles).
  static QString NewProfileName();

  // A new profile with the defaults in the editor; it stays in the manager, stored, only when the
  // editor returns Ok and the store takes it. True when it was stored.
  [[nodiscard]] bool NewProfile();
  // The same with the profile wizard: the profile stays, stored, only when the wizard finishes.
  [[nodiscard]] bool WizardProfile();
  // The named profile in the editor; stored on Ok, under its new name only when it was renamed.
  // True when it was stored; an unknown name is reported.
  [[nodiscard]] bool EditProfile(const QString& AProfileName);

private:
  bool Store(TBackupProfile& AProfile, const QString& AStoredName);
  // Another profile whose stored copy the profile's name would address.
  bool NameTakenByAnother(const TBackupProfile& AProfile) const;

  TBackupProfileManager& FManager;
  TfrmBackupProfiles& FEditor;
  TfrmBackupProfileWizard* FWizard;
};
