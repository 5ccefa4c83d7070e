// SPDX-License-Identifier: GPL-3.0-or-later
// A profile's alert and log e-mails: the keywords a profile fills in, the template and the server
// they take, and the send whose errors become log lines.
#pragma once

#include "types/SharedTypes.h"
#include "types/TEmailTemplate.h"
#include "types/TSmtpServer.h"

#include <QString>

#include <functional>

class TBackupProfile;
class TKeywordEmail;

// Empties the keyword list and adds the ten keywords of AProfile, in order, with its values now.
void FillProfileKeywords(TKeywordEmail& AEmail, const TBackupProfile& AProfile);

// Fills the keywords, the message from ATemplate, and the server: the profile's own when its
// CustomSMTPSettings is set, AProgramServer otherwise. The log e-mail attaches the profile's log.
void PrepareProfileEmail(TKeywordEmail& AEmail, const TBackupProfile& AProfile, const TEmailTemplate& ATemplate,
                         const TSmtpServer& AProgramServer, bool AAttachLog);

enum TProfileEmailKind : int { pekAlert = 0, pekLog = 1 };

// Sends one of the profile's e-mails. True when the server took it. Why it was not sent (no
// connection, or an error once connected) is handed to AOnError as one line; nothing escapes.
// AEmail, when given, is the e-mail to use, so that a caller can read the server's answer.
[[nodiscard]] bool SendProfileEmail(const TBackupProfile& AProfile, TProfileEmailKind AKind,
                                    const TSmtpServer& AProgramServer,
                                    const std::function<void(const QString&)>& AOnError,
                                    TKeywordEmail* AEmail = nullptr);
