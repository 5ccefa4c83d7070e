// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/TProfileEditing.h"

#include "platform/TRegistry.h"
#include "profiles/TBackupProfileManager.h"
#include "ui/TMessageBox.h"
#include "ui/TfrmBackupProfileWizard.h"
#include "ui/TfrmBackupProfiles.h"

TProfileEditing::TProfileEditing(TBackupProfileManager& AManager, TfrmBackupProfiles& AEditor,
                                 TfrmBackupProfileWizard* AWizard)
  : FManager(AManager)
  , FEditor(AEditor)
  , FWizard(AWizard)
{}

QString TProfileEditing::NewProfileName()
{
  return QStringLiteral("Backup Profile");
}

bool TProfileEditing::NewProfile()
{
  TBackupProfile* profile = FManager.NewProfile(NewProfileName());
  if (FEditor.Execute(*profile) == QDialog::Accepted && Store(*profile, QString()))
    return true;
  // Only the collection forgets it: the store may hold another profile under this name.
  FManager.RemoveProfile(profile);
  return false;
}

bool TProfileEditing::WizardProfile()
{
  if (!FWizard)
    return NewProfile();
  TBackupProfile* profile = FManager.NewProfile(NewProfileName());
  if (FWizard->Execute(*profile) && Store(*profile, QString()))
    return true;
  FManager.RemoveProfile(profile);
  return false;
}

bool TProfileEditing::EditProfile(const QString& AProfileName)
{
  TBackupProfile* profile = FManager.ProfileByName(AProfileName);
  if (!profile) {
    TMessageBox::Error(&FEditor, QStringLiteral("There is no backup profile named \"%1\".").arg(AProfileName));
    return false;
  }
  if (FEditor.Execute(*profile) != QDialog::Accepted)
    return false;
  return Store(*profile, AProfileName);
}

bool TProfileEditing::NameTakenByAnother(const TBackupProfile& AProfile) const
{
  for (int i = 0; i < FManager.ProfileCount(); ++i) {
    const TBackupProfile* other = FManager.GetProfileByIndex(i);
    if (other != &AProfile && other->ProfileName().compare(AProfile.ProfileName(), Qt::CaseInsensitive) == 0)
      return true;
  }
  return false;
}

bool TProfileEditing::Store(TBackupProfile& AProfile, const QString& AStoredName)
{
  const QString name = AProfile.ProfileName();
  // Stored names ignore letter case, so a name another profile carries would write over its copy.
  if (NameTakenByAnother(AProfile) &&
      !TMessageBox::Question(&FEditor, TMessageBox::mkWarning,
                             QStringLiteral("Another backup profile is stored as \"%1\"; saving this profile will "
                                            "replace its stored settings. Do you want to continue?")
                                 .arg(name))) {
    // Kept in memory under its stored name, so that saving all profiles later cannot write over
    // the other one either.
    if (!AStoredName.isEmpty())
      AProfile.SetProfileName(AStoredName);
    return false;
  }
  if (AProfile.IsDamaged()) {
    // The user has seen and confirmed what could be read; that is what gets stored now.
    AProfile.ClearLoadError();
  }
  bool saved = false;
  QString error;
  try {
    saved = AProfile.SaveProfile();
    // A rename leaves the profile stored under its new name only; a change of letter case alone
    // addresses the same stored copy, which must stay.
    if (saved && !AStoredName.isEmpty() && AStoredName.compare(name, Qt::CaseInsensitive) != 0)
      (void)AProfile.DeleteProfile(AStoredName);
  } catch (const ERegistryException& e) {
    saved = false;
    error = e.Message();
  }
  if (!saved)
    TMessageBox::Error(&FEditor, QStringLiteral("Failed to save profile: ") + name +
                                     (error.isEmpty() ? QString() : QStringLiteral("\r\n") + error));
  return saved;
}
