// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <stdexcept>

// Raised by the automatic update when it is used without what it needs.
class EAutoUpdateError : public std::runtime_error
{
public:
  explicit EAutoUpdateError(const QString& AMessage)
    : std::runtime_error(AMessage.toStdString())
    , FMessage(AMessage)
  {}
  const QString& Message() const { return FMessage; }

private:
  QString FMessage;
};
