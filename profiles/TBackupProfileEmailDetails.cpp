// SPDX-License-Identifier: GPL-3.0-or-later
#include "profiles/TBackupProfileEmailDetails.h"

void TBackupProfileEmailDetails::Assign(const TBackupProfileEmailDetails* ASource)
{
  if (!ASource)
    return;
  FRecipients = ASource->FRecipients;
  FSenderAddress = ASource->FSenderAddress;
  FSenderName = ASource->FSenderName;
  FSubject = ASource->FSubject;
  FBody = ASource->FBody;
}
