// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/SettingValues.h"

#include "platform/TIniFile.h"
#include "platform/TRegistry.h"
#include "settings/TSettings.h"
#include "sysinfo/DateTime.h"
#include "sysinfo/TClock.h"
#include "sysinfo/TFormatSettings.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <optional>

namespace {

static_assert(QSysInfo::ByteOrder == QSysInfo::LittleEndian, "stored numbers are little-endian");

template <typename T> QByteArray ToBytes(T AValue)
{
  QByteArray data(int(sizeof AValue), '\0');
  std::memcpy(data.data(), &AValue, sizeof AValue);
  return data;
}

template <typename T> T FromBytes(TRegistry& ARegistry, const QString& AName)
{
  const QByteArray data = ARegistry.ReadBinaryData(AName);
  if (data.size() != int(sizeof(T)))
    throw ERegistryException(QStringLiteral("Invalid data type for '%1'").arg(AName));
  T value{};
  std::memcpy(&value, data.constData(), sizeof value);
  return value;
}

TDateTime ToDateTime(const QVariant& AValue)
{
  switch (AValue.typeId()) {
  case QMetaType::QDateTime:
    return DateTimeFromQDateTime(AValue.toDateTime());
  case QMetaType::QDate:
    return DateFromQDate(AValue.toDate());
  case QMetaType::QTime:
    return AValue.toTime().msecsSinceStartOfDay() / MSecsPerDay;
  default:
    return AValue.toDouble();
  }
}

QLocale NumberLocale()
{
  QLocale locale = TFormatSettings::Current().Locale();
  locale.setNumberOptions(QLocale::OmitGroupSeparator);
  return locale;
}

// The short date format with a four-digit year: a two-digit year would come back in another century.
QString IniDateFormat()
{
  QString format = TFormatSettings::Current().ShortDateFormat();
  if (!format.contains(QStringLiteral("yyyy")))
    format.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
  return format;
}

QString IniDateTimeText(TSettingValueType AType, TDateTime AValue)
{
  const auto& settings = TFormatSettings::Current();
  const QDateTime value = QDateTimeFromDateTime(AValue);
  const QString date = settings.Locale().toString(value.date(), IniDateFormat());
  if (AType == vtDate)
    return date;
  if (AType == vtTime)
    return TimeToStr(AValue);
  return value.time().msecsSinceStartOfDay() == 0 ? date : QString(date + QLatin1Char(' ') + TimeToStr(AValue));
}

std::optional<int> ParseInteger(const QString& AText)
{
  QString text = AText.trimmed();
  bool negative = false;
  if (text.startsWith(QLatin1Char('-')) || text.startsWith(QLatin1Char('+'))) {
    negative = text.front() == QLatin1Char('-');
    text.remove(0, 1);
  }
  int base = 10;
  if (text.startsWith(QLatin1Char('$'))) {
    base = 16;
    text.remove(0, 1);
  } else if (text.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive)) {
    base = 16;
    text.remove(0, 2);
  }
  if (text.isEmpty() || !text.front().isLetterOrNumber())
    return std::nullopt;
  bool ok = false;
  const qlonglong value = text.toLongLong(&ok, base);
  if (!ok)
    return std::nullopt;
  const qlonglong signedValue = negative ? -value : value;
  if (base == 16 && !negative && value <= 0xFFFFFFFFLL)
    return int(quint32(value)); // hexadecimal spells the 32 bits, as $FFFFFFFF for -1
  if (signedValue < INT_MIN || signedValue > INT_MAX)
    return std::nullopt;
  return int(signedValue);
}

// Qt reads a two-digit year as 19xx; like the user's own reading of such a date, take the
// century that puts it within fifty years before or after today.
QDate WithCentury(const QDate& ADate, const QString& AFormat)
{
  if (!ADate.isValid() || AFormat.contains(QStringLiteral("yyyy")) || !AFormat.contains(QStringLiteral("yy")))
    return ADate;
  const int thisYear = TClock::CurrentDateTime().date().year();
  int year = ADate.year();
  while (year < thisYear - 50)
    year += 100;
  return QDate(year, ADate.month(), ADate.day());
}

std::optional<TDateTime> ParseDateTime(TSettingValueType AType, const QString& AText)
{
  const auto& settings = TFormatSettings::Current();
  const QLocale& locale = settings.Locale();
  const QStringList dateFormats{IniDateFormat(), settings.ShortDateFormat()};
  const QStringList timeFormats{settings.LongTimeFormat(), locale.timeFormat(QLocale::ShortFormat)};
  if (AType == vtTime) {
    for (const QString& format : timeFormats) {
      const QTime time = locale.toTime(AText, format);
      if (time.isValid())
        return time.msecsSinceStartOfDay() / MSecsPerDay;
    }
    return std::nullopt;
  }
  for (const QString& dateFormat : dateFormats) {
    const QDate date = WithCentury(locale.toDate(AText, dateFormat), dateFormat);
    if (date.isValid())
      return DateFromQDate(date);
    if (AType != vtDateTime)
      continue;
    for (const QString& timeFormat : timeFormats) {
      const QDateTime value = locale.toDateTime(AText, dateFormat + QLatin1Char(' ') + timeFormat);
      if (value.isValid())
        return DateTimeFromQDateTime(QDateTime(WithCentury(value.date(), dateFormat), value.time()));
    }
  }
  return std::nullopt;
}

} // namespace

TRegDataType RegistryDataType(TSettingValueType AType)
{
  switch (AType) {
  case vtInteger:
  case vtBoolean:
    return rdInteger;
  case vtCurrency:
  case vtFloat:
  case vtTime:
  case vtDate:
  case vtDateTime:
    return rdBinary;
  default:
    return rdString;
  }
}

void WriteRegistryValue(TRegistry& ARegistry, const QString& AName, TSettingValueType AType, const QVariant& AValue,
                        const QString& AEncryptKey, TCurrencyForm ACurrencyForm)
{
  switch (AType) {
  case vtUnknown:
  case vtString:
    ARegistry.WriteString(AName, AValue.toString());
    break;
  case vtInteger:
    ARegistry.WriteInteger(AName, AValue.toInt());
    break;
  case vtCurrency:
    if (ACurrencyForm == cfScaled) {
      ARegistry.WriteBinaryData(AName, ToBytes<qint64>(std::llround(AValue.toDouble() * 10000.0)));
      break;
    }
    [[fallthrough]];
  case vtFloat:
    ARegistry.WriteBinaryData(AName, ToBytes<double>(AValue.toDouble()));
    break;
  case vtTime:
  case vtDate:
  case vtDateTime:
    ARegistry.WriteDateTime(AName, ToDateTime(AValue));
    break;
  case vtBoolean:
    ARegistry.WriteBool(AName, AValue.toBool());
    break;
  case vtPassword:
    ARegistry.WriteString(AName, TSettings::SuperCipher(AValue.toString(), AEncryptKey));
    break;
  }
}

QVariant ReadRegistryValue(TRegistry& ARegistry, const QString& AName, TSettingValueType AType,
                           const QString& AEncryptKey, TCurrencyForm ACurrencyForm)
{
  switch (AType) {
  case vtInteger:
    return ARegistry.ReadInteger(AName);
  case vtCurrency:
    if (ACurrencyForm == cfScaled)
      return double(FromBytes<qint64>(ARegistry, AName)) / 10000.0;
    return FromBytes<double>(ARegistry, AName);
  case vtFloat:
    return FromBytes<double>(ARegistry, AName);
  case vtTime:
  case vtDate:
  case vtDateTime:
    return ARegistry.ReadDateTime(AName);
  case vtBoolean:
    return ARegistry.ReadBool(AName);
  case vtPassword:
    return TSettings::SuperCipher(ARegistry.ReadString(AName), AEncryptKey);
  case vtUnknown:
  case vtString:
    break;
  }
  return ARegistry.ReadString(AName);
}

QString IniText(TSettingValueType AType, const QVariant& AValue, const QString& AEncryptKey)
{
  switch (AType) {
  case vtInteger:
    return QString::number(AValue.toInt());
  case vtFloat:
  case vtCurrency:
    return NumberLocale().toString(AValue.toDouble(), 'g', QLocale::FloatingPointShortest);
  case vtTime:
  case vtDate:
  case vtDateTime:
    return IniDateTimeText(AType, ToDateTime(AValue));
  case vtBoolean:
    return AValue.toBool() ? QStringLiteral("1") : QStringLiteral("0");
  case vtPassword:
    return TSettings::SuperCipher(AValue.toString(), AEncryptKey);
  case vtUnknown:
  case vtString:
    break;
  }
  return AValue.toString();
}

void WriteIniValue(TIniFile& AIniFile, const QString& ASection, const QString& AKey, TSettingValueType AType,
                   const QVariant& AValue, const QString& AEncryptKey)
{
  AIniFile.WriteString(ASection, AKey, IniText(AType, AValue, AEncryptKey));
}

QVariant ReadIniValue(const TIniFile& AIniFile, const QString& ASection, const QString& AKey, TSettingValueType AType,
                      const QVariant& ADefault, const QString& AEncryptKey)
{
  if (!AIniFile.ValueExists(ASection, AKey))
    return ADefault;
  const QString text = AIniFile.ReadString(ASection, AKey, QString());
  switch (AType) {
  case vtInteger: {
    const std::optional<int> value = ParseInteger(text);
    return value ? QVariant(*value) : ADefault;
  }
  case vtBoolean: {
    const std::optional<int> value = ParseInteger(text);
    return value ? QVariant(*value != 0) : ADefault;
  }
  case vtFloat:
  case vtCurrency: {
    bool ok = false;
    const double value = NumberLocale().toDouble(text, &ok);
    return ok && std::isfinite(value) ? QVariant(value) : ADefault;
  }
  case vtTime:
  case vtDate:
  case vtDateTime: {
    const std::optional<TDateTime> value = ParseDateTime(AType, text);
    return value ? QVariant(*value) : ADefault;
  }
  case vtPassword:
    return TSettings::SuperCipher(text, AEncryptKey);
  case vtUnknown:
  case vtString:
    break;
  }
  return text;
}
