// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <stdexcept>

// Raised by the settings store: an unregistered setting name, a failed change of store.
class EProgramSettingsError : public std::runtime_error
{
public:
  explicit EProgramSettingsError(const QString& AMessage)
    : std::runtime_error(AMessage.toStdString())
    , FMessage(AMessage)
  {}
  const QString& Message() const { return FMessage; }

private:
  QString FMessage;
};
