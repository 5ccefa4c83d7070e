// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/TSettings.h"

#include "settings/EProgramSettingsError.h"
#include "types/SharedTypes.h"

#include <vector>

TSettingItem* TSettings::Add(const QString& AName, TSettingValueType AType, const QVariant& ADefault)
{
  const int index = IndexByName(AName);
  TSettingItem* item = nullptr;
  if (index >= 0) {
    item = GetItem(index);
  } else {
    FItems.push_back(std::make_unique<TSettingItem>());
    item = FItems.back().get();
  }
  item->SetKeyName(AName);
  item->SetValueType(AType);
  item->SetDefaultValue(ADefault);
  return item;
}

TSettingItem* TSettings::AddValue(const QString& AName, TSettingValueType AType, const QVariant& AValue)
{
  TSettingItem* item = Add(AName, AType, AValue);
  item->SetValue(AValue);
  return item;
}

int TSettings::IndexByName(const QString& AName) const
{
  for (std::size_t i = 0; i < FItems.size(); ++i) {
    if (QString::compare(FItems[i]->KeyName(), AName, Qt::CaseInsensitive) == 0)
      return int(i);
  }
  return -1;
}

TSettingItem* TSettings::KeyByName(const QString& AName) const
{
  const int index = IndexByName(AName);
  if (index < 0)
    throw EProgramSettingsError(QStringLiteral("Invalid Key Name (%1)").arg(AName));
  return GetItem(index);
}

QVariant TSettings::GetValueByName(const QString& AName) const
{
  return KeyByName(AName)->Value();
}

void TSettings::SetValueByName(const QString& AName, const QVariant& AValue)
{
  KeyByName(AName)->SetValue(AValue);
}

QString TSettings::AsString() const
{
  QString result;
  for (const auto& item : FItems) {
    const QVariant& value = item->Value();
    QString text;
    if (value.typeId() == QMetaType::Bool)
      text = BoolToStr(value.toBool());
    else if (value.isValid() && !value.canConvert<QString>())
      text = QStringLiteral("<cannot convert to string>");
    else
      text = value.toString();
    result += item->KeyName() + QStringLiteral(": ") + text;
  }
  return result;
}

namespace {

// The scrambling of one code unit by the low byte of a key character: bits below the band's
// width change, so every band maps onto itself and nothing falls below U+0020.
char16_t Scramble(char16_t AChar, int AKey)
{
  if (AChar >= 0x20AC)
    return char16_t(AChar ^ (AKey & 0x7F));
  if (AChar >= 0x40)
    return char16_t(AChar ^ (AKey & 0x3F));
  if (AChar >= 0x20)
    return char16_t(AChar ^ (AKey & 0x1F));
  return AChar;
}

bool RoundTrips(char16_t AChar, int AKey)
{
  return Scramble(Scramble(AChar, AKey), AKey) == AChar;
}

// In the block U+2080..U+20FF the two masks meet at U+20AC: when the key has bit 6 set, some
// characters scramble across that line and the plain rule cannot take them back (two of them
// may even scramble to the same character). Those characters are paired among themselves
// instead, the smallest with the largest and so on, which keeps the rule its own inverse. Every
// character that round-tripped before keeps its scrambled form, so stored texts read as before.
char16_t Cipher(char16_t AChar, int AKey)
{
  if (AChar < 0x2080 || AChar > 0x20FF || (AKey & 0x40) == 0 || RoundTrips(AChar, AKey))
    return Scramble(AChar, AKey);
  std::vector<char16_t> crossing;
  for (char16_t c = 0x2080; c <= 0x20FF; ++c) {
    if (!RoundTrips(c, AKey))
      crossing.push_back(c);
  }
  for (std::size_t i = 0; i < crossing.size(); ++i) {
    if (crossing[i] == AChar)
      return crossing[crossing.size() - 1 - i];
  }
  return AChar;
}

} // namespace

QString TSettings::SuperCipher(const QString& AText, const QString& AKey)
{
  if (AText.isEmpty() || AKey.isEmpty())
    return QString();
  QString result(AText.size(), Qt::Uninitialized);
  for (qsizetype i = 0; i < AText.size(); ++i) {
    const int key = AKey.at(i % AKey.size()).unicode() & 0xFF;
    result[i] = QChar(Cipher(AText.at(i).unicode(), key));
  }
  return result;
}
