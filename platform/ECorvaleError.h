// SPDX-License-Identifier: GPL-3.0-or-later
// The base of every error the program raises: a message kept as text for the user, and as UTF-8
// for what() so that code catching std::exception sees the same words.
#pragma once

#include <QString>

#include <stdexcept>

class ECorvaleError : public std::runtime_error
{
public:
  explicit ECorvaleError(const QString& AMessage)
    : std::runtime_error(AMessage.toStdString())
    , FMessage(AMessage)
  {}
  const QString& Message() const { return FMessage; }

private:
  QString FMessage;
};
