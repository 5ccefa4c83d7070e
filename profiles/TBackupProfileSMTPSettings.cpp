// SPDX-License-Identifier: GPL-3.0-or-later
#include "profiles/TBackupProfileSMTPSettings.h"

void TBackupProfileSMTPSettings::Assign(const TBackupProfileSMTPSettings* ASource)
{
  if (!ASource)
    return;
  FSMTPHostname = ASource->FSMTPHostname;
  FSMTPPort = ASource->FSMTPPort;
  FSMTPAuthentication = ASource->FSMTPAuthentication;
  FSMTPSecure = ASource->FSMTPSecure;
  FUsername = ASource->FUsername;
  FPassword = ASource->FPassword;
}
