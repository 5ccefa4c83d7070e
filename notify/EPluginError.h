// SPDX-License-Identifier: GPL-3.0-or-later
// The error of the plug-in collection, and of a plug-in's call that failed.
#pragma once

#include <QString>

#include <stdexcept>

class EPluginError : public std::runtime_error
{
public:
  explicit EPluginError(const QString& AMessage)
    : std::runtime_error(AMessage.toStdString())
    , FMessage(AMessage)
  {}
  const QString& Message() const { return FMessage; }

private:
  QString FMessage;
};
