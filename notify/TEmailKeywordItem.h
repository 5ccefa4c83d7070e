// SPDX-License-Identifier: GPL-3.0-or-later
// One keyword of an e-mail and the text that replaces it.
#pragma once

#include <QString>

class TEmailKeywordItem
{
public:
  const QString& Keyword() const { return FKeyword; }
  void SetKeyword(const QString& AValue) { FKeyword = AValue; }
  const QString& Value() const { return FValue; }
  void SetValue(const QString& AValue) { FValue = AValue; }

private:
  QString FKeyword;
  QString FValue;
};
