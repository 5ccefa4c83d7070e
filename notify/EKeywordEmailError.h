// SPDX-License-Identifier: GPL-3.0-or-later
// Raised by TKeywordEmail::Send when the message cannot be delivered once the server is reached.
#pragma once

#include <QString>

#include <stdexcept>

class EKeywordEmailError : public std::runtime_error
{
public:
  explicit EKeywordEmailError(const QString& AMessage)
    : std::runtime_error(AMessage.toStdString())
    , FMessage(AMessage)
  {}
  const QString& Message() const { return FMessage; }

private:
  QString FMessage;
};
