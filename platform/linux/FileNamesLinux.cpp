// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FileNames.h"

namespace {

constexpr char16_t EscapeBase = 0xDC00;

bool IsContinuation(unsigned char AByte)
{
  return (AByte & 0xC0) == 0x80;
}

// Length of the valid UTF-8 sequence at APos and its code point, or 0 when it is not valid
// (overlong forms, encoded surrogates and values above U+10FFFF are not valid).
int ValidSequence(const QByteArray& ABytes, qsizetype APos, char32_t& ACodePoint)
{
  const auto at = [&](qsizetype i) { return static_cast<unsigned char>(ABytes.at(i)); };
  const unsigned char lead = at(APos);
  const qsizetype left = ABytes.size() - APos;
  if (lead < 0x80) {
    ACodePoint = lead;
    return 1;
  }
  int length = 0;
  char32_t minimum = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2;
    ACodePoint = lead & 0x1F;
    minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3;
    ACodePoint = lead & 0x0F;
    minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4;
    ACodePoint = lead & 0x07;
    minimum = 0x10000;
  } else {
    return 0;
  }
  if (left < length)
    return 0;
  for (int i = 1; i < length; ++i) {
    if (!IsContinuation(at(APos + i)))
      return 0;
    ACodePoint = (ACodePoint << 6) | (at(APos + i) & 0x3F);
  }
  if (ACodePoint < minimum || ACodePoint > 0x10FFFF || (ACodePoint >= 0xD800 && ACodePoint <= 0xDFFF))
    return 0;
  return length;
}

} // namespace

QString DecodeFileName(const QByteArray& ABytes)
{
  QString result;
  result.reserve(ABytes.size());
  qsizetype pos = 0;
  while (pos < ABytes.size()) {
    char32_t codePoint = 0;
    const int length = ValidSequence(ABytes, pos, codePoint);
    if (length == 0) {
      result.append(QChar(static_cast<char16_t>(EscapeBase + static_cast<unsigned char>(ABytes.at(pos)))));
      ++pos;
      continue;
    }
    if (codePoint >= 0x10000) {
      result.append(QChar(QChar::highSurrogate(codePoint)));
      result.append(QChar(QChar::lowSurrogate(codePoint)));
    } else {
      result.append(QChar(static_cast<char16_t>(codePoint)));
    }
    pos += length;
  }
  return result;
}

QByteArray EncodeFileName(const QString& AName)
{
  QByteArray result;
  result.reserve(AName.size());
  const auto appendUtf8 = [&result](char32_t c) {
    if (c < 0x80) {
      result.append(static_cast<char>(c));
    } else if (c < 0x800) {
      result.append(static_cast<char>(0xC0 | (c >> 6)));
      result.append(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      result.append(static_cast<char>(0xE0 | (c >> 12)));
      result.append(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      result.append(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      result.append(static_cast<char>(0xF0 | (c >> 18)));
      result.append(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      result.append(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      result.append(static_cast<char>(0x80 | (c & 0x3F)));
    }
  };
  for (qsizetype i = 0; i < AName.size(); ++i) {
    const char16_t unit = AName.at(i).unicode();
    if (QChar::isHighSurrogate(unit) && i + 1 < AName.size() && QChar::isLowSurrogate(AName.at(i + 1).unicode())) {
      appendUtf8(QChar::surrogateToUcs4(unit, AName.at(i + 1).unicode()));
      ++i;
    } else if (unit >= EscapeBase + 0x80 && unit <= EscapeBase + 0xFF) {
      result.append(static_cast<char>(unit - EscapeBase));
    } else if (QChar::isSurrogate(unit)) {
      // A lone surrogate that no decoded name can hold: write the replacement character.
      appendUtf8(0xFFFD);
    } else {
      appendUtf8(unit);
    }
  }
  return result;
}

QString PrintableText(const QString& AText)
{
  QString result;
  result.reserve(AText.size());
  const auto hex = [](unsigned AValue, int AWidth) {
    return QStringLiteral("%1").arg(AValue, AWidth, 16, QLatin1Char('0'));
  };
  for (qsizetype i = 0; i < AText.size(); ++i) {
    const char16_t unit = AText.at(i).unicode();
    if (QChar::isHighSurrogate(unit) && i + 1 < AText.size() && QChar::isLowSurrogate(AText.at(i + 1).unicode())) {
      result.append(AText.at(i));
      result.append(AText.at(++i));
    } else if (unit >= EscapeBase + 0x80 && unit <= EscapeBase + 0xFF) {
      result.append(QStringLiteral("\\x") + hex(unit - EscapeBase, 2));
    } else if (unit < 0x20 || unit == 0x7F) {
      result.append(QStringLiteral("\\x") + hex(unit, 2));
    } else if ((unit >= 0x80 && unit <= 0x9F) || QChar::isSurrogate(unit)) {
      result.append(QStringLiteral("\\u") + hex(unit, 4));
    } else if (unit == u'\\') {
      result.append(QStringLiteral("\\\\"));
    } else {
      result.append(AText.at(i));
    }
  }
  return result;
}

bool HasEscapedBytes(const QString& AName)
{
  for (qsizetype i = 0; i < AName.size(); ++i) {
    const char16_t unit = AName.at(i).unicode();
    if (QChar::isHighSurrogate(unit) && i + 1 < AName.size() && QChar::isLowSurrogate(AName.at(i + 1).unicode())) {
      ++i;
      continue;
    }
    if (unit >= EscapeBase + 0x80 && unit <= EscapeBase + 0xFF)
      return true;
  }
  return false;
}
