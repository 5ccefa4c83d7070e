// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/TRegFile.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <cstring>

namespace {

// The bytes as text: a byte-order mark decides; without one, UTF-16LE shows by its NUL bytes,
// and 8-bit text is read as UTF-8 when it is valid UTF-8, else as Latin-1.
QString DecodeText(const QByteArray& AData)
{
  // The mark itself is cut off here; a decoder must not take a second one at the start as well.
  auto decode = [](QStringConverter::Encoding AEncoding, const QByteArray& ABytes) {
    QStringDecoder decoder(AEncoding, QStringConverter::Flag::ConvertInitialBom);
    return QString(decoder(ABytes));
  };
  if (AData.startsWith("\xFF\xFE"))
    return decode(QStringConverter::Utf16LE, AData.mid(2));
  if (AData.startsWith("\xFE\xFF"))
    return decode(QStringConverter::Utf16BE, AData.mid(2));
  if (AData.startsWith("\xEF\xBB\xBF"))
    return decode(QStringConverter::Utf8, AData.mid(3));
  if (AData.size() >= 2 && AData.at(0) != 0 && AData.at(1) == 0)
    return decode(QStringConverter::Utf16LE, AData);
  QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
  const QString text = utf8(AData);
  return utf8.hasError() ? QString::fromLatin1(AData) : text;
}

// Text of an 8-bit hex(1) value of a REGEDIT4 file. A value may begin with U+FEFF: it is kept.
QString Decode8Bit(const QByteArray& AData)
{
  QStringDecoder utf8(QStringConverter::Utf8,
                      QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
  const QString text = utf8(AData);
  return utf8.hasError() ? QString::fromLatin1(AData) : text;
}

QString Escape(const QString& AText)
{
  QString result = AText;
  result.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
  result.replace(QLatin1Char('"'), QStringLiteral("\\\""));
  return result;
}

// Reads a quoted text starting at APos (on the opening quote); APos ends after the closing one.
// False when the line ends first.
bool ReadQuoted(const QString& ALine, qsizetype& APos, QString& AText)
{
  AText.clear();
  for (qsizetype i = APos + 1; i < ALine.size(); ++i) {
    const QChar c = ALine.at(i);
    if (c == QLatin1Char('\\') && i + 1 < ALine.size() &&
        (ALine.at(i + 1) == QLatin1Char('\\') || ALine.at(i + 1) == QLatin1Char('"'))) {
      AText += ALine.at(++i);
    } else if (c == QLatin1Char('"')) {
      APos = i + 1;
      return true;
    } else {
      AText += c;
    }
  }
  return false;
}

bool IsBlankOrComment(const QString& AText)
{
  const QString rest = AText.trimmed();
  return rest.isEmpty() || rest.startsWith(QLatin1Char(';'));
}

bool ParseHexBytes(const QString& AText, QByteArray& ABytes)
{
  ABytes.clear();
  const QString text = AText.trimmed();
  if (text.isEmpty())
    return true;
  QStringList items = text.split(QLatin1Char(','));
  if (items.last().trimmed().isEmpty())
    items.removeLast(); // a comma before the end of the data
  for (const QString& item : items) {
    const QString digits = item.trimmed();
    bool ok = false;
    const uint value = digits.toUInt(&ok, 16);
    if (!ok || digits.isEmpty() || digits.size() > 2)
      return false;
    ABytes.append(char(value));
  }
  return true;
}

void AppendHex(QString& AOut, const QString& APrefix, const QByteArray& ABytes)
{
  // Lines of at most 80 characters, continued with a backslash, as the registry editor does.
  QString line = APrefix;
  for (qsizetype i = 0; i < ABytes.size(); ++i) {
    QString token = QStringLiteral("%1").arg(uchar(ABytes.at(i)), 2, 16, QLatin1Char('0'));
    if (i + 1 < ABytes.size())
      token += QLatin1Char(',');
    if (line.size() + token.size() > 79 && line.size() > 2) {
      AOut += line + QStringLiteral("\\\r\n");
      line = QStringLiteral("  ");
    }
    line += token;
  }
  AOut += line + QStringLiteral("\r\n");
}

} // namespace

bool TRegFile::Fail(int ALine, const QString& AMessage)
{
  FKeys.clear();
  FErrorText = QStringLiteral("Line %1: %2").arg(ALine).arg(AMessage);
  return false;
}

bool TRegFile::Parse(const QByteArray& AData)
{
  FKeys.clear();
  FErrorText.clear();
  if (AData.size() > MaxFileSize)
    return Fail(
        1, QStringLiteral("the file is larger than %1 MiB, more than a settings file holds").arg(MaxFileSize >> 20));
  QStringList lines = DecodeText(AData).split(QLatin1Char('\n'));
  for (QString& line : lines) {
    if (line.endsWith(QLatin1Char('\r')))
      line.chop(1);
  }
  const QString header = lines.value(0).trimmed();
  const bool unicode = header == Version5Header;
  if (!unicode && header != Version4Header)
    return Fail(1, QStringLiteral("not a registry file; its first line must be \"%1\" or \"%2\"")
                       .arg(Version5Header, Version4Header));

  for (int i = 1; i < lines.size(); ++i) {
    const int lineNo = i + 1;
    const QString line = lines.at(i).trimmed();
    if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
      continue;

    if (line.startsWith(QLatin1Char('['))) {
      if (!line.endsWith(QLatin1Char(']')))
        return Fail(lineNo, QStringLiteral("the key name is not closed with \"]\""));
      TKey key;
      key.Line = lineNo;
      key.Path = line.mid(1, line.size() - 2).trimmed();
      if (key.Path.startsWith(QLatin1Char('-'))) {
        key.Delete = true;
        key.Path = key.Path.mid(1).trimmed();
      }
      if (key.Path.isEmpty())
        return Fail(lineNo, QStringLiteral("the key has no name"));
      // The limits of the Windows registry.
      const QStringList parts = key.Path.split(QLatin1Char('\\'));
      if (parts.size() > MaxKeyLevels)
        return Fail(lineNo, QStringLiteral("the key has more than %1 levels").arg(MaxKeyLevels));
      for (const QString& part : parts)
        if (part.size() > MaxKeyNameLength)
          return Fail(lineNo, QStringLiteral("a key name is longer than %1 characters").arg(MaxKeyNameLength));
      FKeys.append(key);
      continue;
    }

    if (!line.startsWith(QLatin1Char('"')) && !line.startsWith(QLatin1Char('@')))
      return Fail(lineNo, QStringLiteral("this line is neither a key nor a value: %1").arg(line.left(60)));
    if (FKeys.isEmpty())
      return Fail(lineNo, QStringLiteral("a value before the first key"));
    if (FKeys.last().Delete)
      return Fail(lineNo, QStringLiteral("a value below a key that is deleted"));

    TValue value;
    value.Line = lineNo;
    qsizetype pos = 1; // after "@"
    if (line.startsWith(QLatin1Char('"'))) {
      pos = 0;
      if (!ReadQuoted(line, pos, value.Name))
        return Fail(lineNo, QStringLiteral("the value name is not closed with a quote"));
    }
    while (pos < line.size() && line.at(pos).isSpace())
      ++pos;
    if (pos >= line.size() || line.at(pos) != QLatin1Char('='))
      return Fail(lineNo, QStringLiteral("\"=\" is missing after the value name"));
    QString data = line.mid(pos + 1).trimmed();

    if (data == QLatin1String("-")) {
      value.Delete = true;
    } else if (data.startsWith(QLatin1Char('"'))) {
      // A text with line breaks may run over several lines; each is read once, so that an
      // unclosed quote costs linear time, not a rescan of all that was read per line.
      QString text;
      QString part;
      qsizetype end = 0;
      while (!ReadQuoted(data, end, part)) {
        if (++i >= lines.size())
          return Fail(lineNo, QStringLiteral("the text is not closed with a quote"));
        text += part + QStringLiteral("\r\n");
        // The next line is read as if it followed an opening quote.
        data = QLatin1Char('"') + lines.at(i);
        end = 0;
      }
      text += part;
      if (!IsBlankOrComment(data.mid(end)))
        return Fail(lineNo, QStringLiteral("unexpected characters after the text"));
      value.Type = rdString;
      value.Data = text;
    } else if (data.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive)) {
      const QString digits = data.mid(6).section(QLatin1Char(';'), 0, 0).trimmed();
      bool ok = false;
      const uint number = digits.toUInt(&ok, 16);
      if (!ok || digits.isEmpty() || digits.size() > 8)
        return Fail(lineNo, QStringLiteral("a dword needs 1 to 8 hexadecimal digits"));
      value.Type = rdInteger;
      value.Data = int(number);
    } else if (data.startsWith(QLatin1String("hex"), Qt::CaseInsensitive)) {
      const qsizetype colon = data.indexOf(QLatin1Char(':'));
      if (colon < 0)
        return Fail(lineNo, QStringLiteral("\":\" is missing after \"hex\""));
      const QString kind = data.mid(3, colon - 3).trimmed();
      int type = 3;
      if (!kind.isEmpty()) {
        bool ok = false;
        if (!kind.startsWith(QLatin1Char('(')) || !kind.endsWith(QLatin1Char(')')))
          return Fail(lineNo, QStringLiteral("\"hex\" is followed by neither \":\" nor a type in brackets"));
        type = kind.mid(1, kind.size() - 2).toInt(&ok, 16);
        if (!ok)
          return Fail(lineNo, QStringLiteral("the type in \"%1\" is not a hexadecimal number").arg(kind));
      }
      QString bytes = data.mid(colon + 1).trimmed();
      while (bytes.endsWith(QLatin1Char('\\'))) {
        bytes.chop(1);
        if (++i >= lines.size())
          return Fail(lineNo, QStringLiteral("the data ends with \"\\\" but no line follows"));
        bytes += lines.at(i).trimmed();
      }
      QByteArray raw;
      if (!ParseHexBytes(bytes, raw))
        return Fail(lineNo, QStringLiteral("the data must be hexadecimal bytes separated by commas"));
      switch (type) {
      case 3:
        value.Type = rdBinary;
        value.Data = raw;
        break;
      case 4:
        if (raw.size() != 4)
          return Fail(lineNo, QStringLiteral("a hex(4) dword needs exactly 4 bytes"));
        value.Type = rdInteger;
        {
          qint32 number = 0;
          std::memcpy(&number, raw.constData(), sizeof number); // little-endian, as the hosts are
          value.Data = int(number);
        }
        break;
      case 1: {
        QString text;
        if (unicode) {
          if (raw.size() % 2 != 0)
            return Fail(lineNo, QStringLiteral("a hex(1) text needs an even number of bytes"));
          // A value may begin with U+FEFF: it is kept.
          QStringDecoder decoder(QStringConverter::Utf16LE, QStringConverter::Flag::ConvertInitialBom);
          text = decoder(raw);
        } else {
          text = Decode8Bit(raw);
        }
        while (text.endsWith(QChar(0)))
          text.chop(1);
        value.Type = rdString;
        value.Data = text;
        break;
      }
      default:
        return Fail(lineNo, QStringLiteral("values of type hex(%1) cannot be stored by this program").arg(type, 0, 16));
      }
    } else {
      return Fail(lineNo, QStringLiteral("the data is none of \"text\", dword:, hex: or -"));
    }
    // A NUL would end the text for every program that reads the value back.
    if (value.Type == rdString && value.Data.toString().contains(QChar(0)))
      return Fail(lineNo, QStringLiteral("the text holds a NUL character"));
    FKeys.last().Values.append(value);
  }
  return true;
}

QByteArray TRegFile::ToBytes() const
{
  const QString crlf = QStringLiteral("\r\n");
  QString text = Version5Header + crlf + crlf;
  for (const TKey& key : FKeys) {
    text += (key.Delete ? QStringLiteral("[-") : QStringLiteral("[")) + key.Path + QStringLiteral("]") + crlf;
    for (const TValue& value : key.Values) {
      const QString name =
          value.Name.isEmpty() ? QStringLiteral("@") : QLatin1Char('"') + Escape(value.Name) + QLatin1Char('"');
      if (value.Delete) {
        text += name + QStringLiteral("=-") + crlf;
        continue;
      }
      switch (value.Type) {
      case rdInteger:
        text += name + QStringLiteral("=dword:%1").arg(uint(value.Data.toInt()), 8, 16, QLatin1Char('0')) + crlf;
        break;
      case rdBinary:
        AppendHex(text, name + QStringLiteral("=hex:"), value.Data.toByteArray());
        break;
      default: {
        const QString data = value.Data.toString();
        if (data.contains(QLatin1Char('\r')) || data.contains(QLatin1Char('\n')) || data.contains(QChar(0))) {
          QStringEncoder encoder(QStringConverter::Utf16LE);
          QByteArray bytes = encoder(data);
          bytes.append(2, '\0');
          AppendHex(text, name + QStringLiteral("=hex(1):"), bytes);
        } else {
          text += name + QStringLiteral("=\"") + Escape(data) + QStringLiteral("\"") + crlf;
        }
        break;
      }
      }
    }
    text += crlf;
  }
  QStringEncoder encoder(QStringConverter::Utf16LE);
  return QByteArray("\xFF\xFE", 2) + QByteArray(encoder(text));
}
