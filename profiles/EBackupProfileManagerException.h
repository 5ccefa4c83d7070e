// SPDX-License-Identifier: GPL-3.0-or-later
// The error the profile component raises where it cannot do what it was asked.
#pragma once

#include <QString>

#include <stdexcept>

class EBackupProfileManagerException : public std::runtime_error
{
public:
  explicit EBackupProfileManagerException(const QString& AMessage)
    : std::runtime_error(AMessage.toStdString())
    , FMessage(AMessage)
  {}
  const QString& Message() const { return FMessage; }

private:
  QString FMessage;
};
