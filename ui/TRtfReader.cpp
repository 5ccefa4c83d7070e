// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/TRtfReader.h"

#include "platform/Posix.h"

#include <QBuffer>
#include <QColor>
#include <QFile>
#include <QHash>
#include <QList>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

namespace {

// Deeper nesting than any real document has is read as flat text rather than grown without bound.
constexpr int MaxDepth = 256;
constexpr double TwipsPerPixel = 15.0; // 1440 twips to the inch, 96 pixels to the inch

enum TDestination { dText, dFontTable, dColourTable, dSkip };

// The formatting in force: copied on "{", restored on "}".
struct TState
{
  TDestination Destination = dText;
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;
  bool Strike = false;
  int FontSize = 0; // half points; 0 leaves the viewer's size
  int Font = -1;
  int Colour = 0; // index into the colour table; 0 is the viewer's colour
  int Highlight = 0;
  int UnicodeSkip = 1; // \ucN: bytes that stand in for each \uN
  Qt::Alignment Alignment = Qt::AlignLeft;
  int LeftIndent = 0; // twips
  int RightIndent = 0;
  int FirstIndent = 0;
  int SpaceBefore = 0;
  int SpaceAfter = 0;

  void PlainCharacters()
  {
    Bold = Italic = Underline = Strike = false;
    FontSize = 0;
    Font = -1;
    Colour = Highlight = 0;
  }
  void PlainParagraph()
  {
    Alignment = Qt::AlignLeft;
    LeftIndent = RightIndent = FirstIndent = SpaceBefore = SpaceAfter = 0;
  }
};

// Groups whose text is not part of the document.
bool IsSkippedDestination(const QByteArray& AWord)
{
  static const QList<QByteArray> skipped = {"info",
                                            "stylesheet",
                                            "pict",
                                            "object",
                                            "header",
                                            "headerl",
                                            "headerr",
                                            "headerf",
                                            "footer",
                                            "footerl",
                                            "footerr",
                                            "footerf",
                                            "footnote",
                                            "listtable",
                                            "listoverridetable",
                                            "rsidtbl",
                                            "generator",
                                            "themedata",
                                            "colorschememapping",
                                            "latentstyles",
                                            "datastore",
                                            "xmlnstbl",
                                            "fldinst",
                                            "bkmkstart",
                                            "bkmkend",
                                            "filetbl",
                                            "revtbl",
                                            "pgdsctbl",
                                            "mmathPr",
                                            "nonshppict",
                                            "shppict",
                                            "template"};
  return skipped.contains(AWord);
}

// The characters that control words stand for.
QChar SymbolOf(const QByteArray& AWord)
{
  static const QHash<QByteArray, char16_t> symbols = {
      {"bullet", u'\u2022'},  {"emdash", u'\u2014'},    {"endash", u'\u2013'},    {"lquote", u'\u2018'},
      {"rquote", u'\u2019'},  {"ldblquote", u'\u201C'}, {"rdblquote", u'\u201D'}, {"emspace", u'\u2003'},
      {"enspace", u'\u2002'}, {"qmspace", u'\u2005'},   {"tab", u'\t'},           {"cell", u'\t'},
      {"line", u'\u2028'}};
  const auto found = symbols.constFind(AWord);
  return found == symbols.constEnd() ? QChar() : QChar(*found);
}

QByteArray CodecForCodePage(int ACodePage)
{
  switch (ACodePage) {
  case 65001:
    return "UTF-8";
  case 437:
    return "IBM437";
  case 850:
    return "IBM850";
  case 10000:
    return "macintosh";
  case 20866:
    return "KOI8-R";
  case 28591:
    return "ISO-8859-1";
  default:
    return "windows-" + QByteArray::number(ACodePage);
  }
}

class TParser
{
public:
  TParser(QIODevice& ASource, QTextDocument& ADocument)
    : FSource(ASource)
    , FDocument(ADocument)
    , FCursor(&ADocument)
  {}

  bool Run();

private:
  bool Get(char& AChar) { return FSource.getChar(&AChar); }
  void ControlWord(const QByteArray& AWord, bool AHasParameter, int AParameter);
  void ControlSymbol(char ASymbol);
  void Character(char AChar);
  void AddText(QChar AChar);
  void FlushBytes();
  void FlushRun();
  void EndParagraph();
  void SetCodePage(int ACodePage);
  // A character that stands in for the \uN before it is dropped; true when it was.
  bool SkipFallback();
  QTextCharFormat CharFormat() const;
  QTextBlockFormat BlockFormat() const;

  QIODevice& FSource;
  QTextDocument& FDocument;
  QTextCursor FCursor;
  QList<TState> FStates{TState()};
  int FOverflow = 0; // groups opened beyond MaxDepth
  QString FRun;      // text not yet inserted, all in the current format
  QByteArray FBytes; // \'hh bytes not yet decoded
  QStringDecoder FDecoder{QStringDecoder::Latin1};
  int FFallback = 0;
  // Tables.
  QList<QColor> FColours;
  QColor FColour;
  bool FColourSet = false;
  QHash<int, bool> FFixedPitch;
  int FTableFont = -1;
};

void TParser::SetCodePage(int ACodePage)
{
  QStringDecoder decoder(CodecForCodePage(ACodePage).constData());
  FDecoder = decoder.isValid() ? std::move(decoder) : QStringDecoder("windows-1252");
}

bool TParser::Run()
{
  char c = 0;
  // The header: "{\rtf", after any white space.
  do {
    if (!Get(c))
      return false;
  } while (c == ' ' || c == '\r' || c == '\n' || c == '\t');
  FSource.ungetChar(c);
  if (FSource.peek(5) != QByteArrayLiteral("{\\rtf"))
    return false;
  FDocument.clear();
  FCursor = QTextCursor(&FDocument);
  SetCodePage(1252);
  while (Get(c)) {
    if (c == '{') {
      FlushBytes();
      FlushRun();
      FFallback = 0;
      if (FStates.size() >= MaxDepth)
        ++FOverflow;
      else
        FStates.append(FStates.last());
    } else if (c == '}') {
      FlushBytes();
      FlushRun();
      FFallback = 0;
      if (FOverflow > 0)
        --FOverflow;
      else if (FStates.size() > 2)
        FStates.removeLast();
      else
        break; // the end of the document
    } else if (c == '\\') {
      if (!Get(c))
        break;
      if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
        QByteArray word(1, c);
        const auto isLetter = [](char AChar) {
          return (AChar >= 'a' && AChar <= 'z') || (AChar >= 'A' && AChar <= 'Z');
        };
        bool more = false;
        while ((more = Get(c)) && isLetter(c) && word.size() < 32)
          word += c;
        bool hasParameter = false;
        bool negative = false;
        qint64 parameter = 0;
        if (more && c == '-') {
          negative = true;
          more = Get(c);
        }
        while (more && c >= '0' && c <= '9') {
          hasParameter = true;
          if (parameter < 100000000)
            parameter = parameter * 10 + (c - '0');
          more = Get(c);
        }
        // A space ends the control word and belongs to it; anything else is read again.
        if (more && c != ' ')
          FSource.ungetChar(c);
        ControlWord(word, hasParameter, int(negative ? -parameter : parameter));
      } else {
        ControlSymbol(c);
      }
    } else {
      Character(c);
    }
  }
  FlushBytes();
  FlushRun();
  // The last \par leaves an empty paragraph behind it.
  FCursor.setBlockFormat(BlockFormat());
  if (FDocument.blockCount() > 1 && FCursor.block().length() <= 1) {
    FCursor.deletePreviousChar();
  }
  return true;
}

void TParser::ControlWord(const QByteArray& AWord, bool AHasParameter, int AParameter)
{
  FlushBytes();
  TState& state = FStates.last();
  if (state.Destination == dSkip)
    return;
  if (IsSkippedDestination(AWord)) {
    FlushRun();
    state.Destination = dSkip;
    return;
  }
  if (state.Destination == dFontTable) {
    if (AWord == "f")
      FTableFont = AParameter;
    else if (AWord == "fmodern")
      FFixedPitch.insert(FTableFont, true);
    return;
  }
  if (state.Destination == dColourTable) {
    const int value = qBound(0, AParameter, 255);
    if (AWord == "red")
      FColour.setRed(value);
    else if (AWord == "green")
      FColour.setGreen(value);
    else if (AWord == "blue")
      FColour.setBlue(value);
    else
      return;
    FColourSet = true;
    return;
  }
  if (FFallback > 0 && AWord != "u") {
    --FFallback;
    return;
  }
  const bool on = !AHasParameter || AParameter != 0;
  if (AWord == "fonttbl") {
    FlushRun();
    state.Destination = dFontTable;
  } else if (AWord == "colortbl") {
    FlushRun();
    state.Destination = dColourTable;
    FColours.clear();
    FColour = QColor(0, 0, 0);
    FColourSet = false;
  } else if (AWord == "ansicpg") {
    SetCodePage(AParameter);
  } else if (AWord == "mac") {
    SetCodePage(10000);
  } else if (AWord == "pc") {
    SetCodePage(437);
  } else if (AWord == "pca") {
    SetCodePage(850);
  } else if (AWord == "par" || AWord == "sect" || AWord == "page" || AWord == "row") {
    EndParagraph();
  } else if (AWord == "u") {
    AddText(QChar(char16_t(AParameter < 0 ? AParameter + 65536 : AParameter)));
    FFallback = state.UnicodeSkip;
  } else if (AWord == "uc") {
    state.UnicodeSkip = qMax(0, AParameter);
  } else if (const QChar symbol = SymbolOf(AWord); !symbol.isNull()) {
    AddText(symbol);
  } else {
    // Formatting: the text so far keeps the format it had.
    FlushRun();
    if (AWord == "b")
      state.Bold = on;
    else if (AWord == "i")
      state.Italic = on;
    else if (AWord == "ul")
      state.Underline = on;
    else if (AWord == "ulnone")
      state.Underline = false;
    else if (AWord == "strike")
      state.Strike = on;
    else if (AWord == "fs")
      state.FontSize = qBound(0, AParameter, 2000);
    else if (AWord == "f")
      state.Font = AParameter;
    else if (AWord == "cf")
      state.Colour = AParameter;
    else if (AWord == "highlight" || AWord == "cb")
      state.Highlight = AParameter;
    else if (AWord == "plain")
      state.PlainCharacters();
    else if (AWord == "pard")
      state.PlainParagraph();
    else if (AWord == "ql")
      state.Alignment = Qt::AlignLeft;
    else if (AWord == "qr")
      state.Alignment = Qt::AlignRight;
    else if (AWord == "qc")
      state.Alignment = Qt::AlignHCenter;
    else if (AWord == "qj")
      state.Alignment = Qt::AlignJustify;
    else if (AWord == "li")
      state.LeftIndent = AParameter;
    else if (AWord == "ri")
      state.RightIndent = AParameter;
    else if (AWord == "fi")
      state.FirstIndent = AParameter;
    else if (AWord == "sb")
      state.SpaceBefore = AParameter;
    else if (AWord == "sa")
      state.SpaceAfter = AParameter;
  }
}

void TParser::ControlSymbol(char ASymbol)
{
  TState& state = FStates.last();
  if (ASymbol == '\'') {
    char high = 0;
    char low = 0;
    if (!Get(high) || !Get(low))
      return;
    bool valid = false;
    const char digits[] = {high, low};
    const int byte = QByteArray(digits, 2).toInt(&valid, 16);
    if (!valid || state.Destination != dText || SkipFallback())
      return;
    FBytes += char(byte);
    return;
  }
  FlushBytes();
  if (ASymbol == '*') {
    // An optional destination: one this reader does not know.
    FlushRun();
    state.Destination = dSkip;
    return;
  }
  if (state.Destination != dText)
    return;
  switch (ASymbol) {
  case '\\':
  case '{':
  case '}':
    AddText(QLatin1Char(ASymbol));
    break;
  case '~':
    AddText(QChar(0x00A0));
    break;
  case '_':
    AddText(QChar(0x2011));
    break;
  case '\r':
  case '\n':
    EndParagraph();
    break;
  default: // "\-", an optional hyphen, and symbols this reader does not know
    break;
  }
}

void TParser::Character(char AChar)
{
  TState& state = FStates.last();
  if (AChar == '\r' || AChar == '\n')
    return;
  if (state.Destination == dColourTable) {
    if (AChar == ';') {
      FColours.append(FColourSet ? FColour : QColor());
      FColour = QColor(0, 0, 0);
      FColourSet = false;
    }
    return;
  }
  if (state.Destination != dText || SkipFallback())
    return;
  if (static_cast<unsigned char>(AChar) >= 0x80) {
    // A byte of the code page, written without an escape.
    FBytes += AChar;
    return;
  }
  FlushBytes();
  AddText(QLatin1Char(AChar));
}

bool TParser::SkipFallback()
{
  if (FFallback <= 0)
    return false;
  --FFallback;
  return true;
}

void TParser::AddText(QChar AChar)
{
  if (FStates.last().Destination == dText)
    FRun += AChar;
}

void TParser::FlushBytes()
{
  if (FBytes.isEmpty())
    return;
  FRun += FDecoder.decode(FBytes);
  FBytes.clear();
}

void TParser::FlushRun()
{
  if (FRun.isEmpty())
    return;
  FCursor.insertText(FRun, CharFormat());
  FRun.clear();
}

void TParser::EndParagraph()
{
  FlushBytes();
  FlushRun();
  FCursor.setBlockFormat(BlockFormat());
  FCursor.insertBlock();
}

QTextCharFormat TParser::CharFormat() const
{
  const TState& state = FStates.last();
  QTextCharFormat format;
  format.setFontWeight(state.Bold ? QFont::Bold : QFont::Normal);
  format.setFontItalic(state.Italic);
  format.setFontUnderline(state.Underline);
  format.setFontStrikeOut(state.Strike);
  if (state.FontSize > 0)
    format.setFontPointSize(state.FontSize / 2.0);
  if (FFixedPitch.value(state.Font)) {
    format.setFontFixedPitch(true);
    format.setFontFamilies({QStringLiteral("monospace")});
  }
  if (state.Colour > 0 && state.Colour < FColours.size() && FColours.at(state.Colour).isValid())
    format.setForeground(FColours.at(state.Colour));
  if (state.Highlight > 0 && state.Highlight < FColours.size() && FColours.at(state.Highlight).isValid())
    format.setBackground(FColours.at(state.Highlight));
  return format;
}

QTextBlockFormat TParser::BlockFormat() const
{
  const TState& state = FStates.last();
  QTextBlockFormat format;
  format.setAlignment(state.Alignment);
  format.setLeftMargin(state.LeftIndent / TwipsPerPixel);
  format.setRightMargin(state.RightIndent / TwipsPerPixel);
  format.setTextIndent(state.FirstIndent / TwipsPerPixel);
  format.setTopMargin(state.SpaceBefore / TwipsPerPixel);
  format.setBottomMargin(state.SpaceAfter / TwipsPerPixel);
  return format;
}

} // namespace

bool TRtfReader::Read(QIODevice& ASource, QTextDocument& ADocument)
{
  TParser parser(ASource, ADocument);
  return parser.Run();
}

bool TRtfReader::Read(const QByteArray& ARtf, QTextDocument& ADocument)
{
  QByteArray copy = ARtf;
  QBuffer buffer(&copy);
  buffer.open(QIODevice::ReadOnly);
  return Read(buffer, ADocument);
}

bool TRtfReader::ReadFile(const QString& AFileName, QTextDocument& ADocument)
{
  const std::unique_ptr<QFile> file = Posix::OpenForReading(AFileName);
  return file && Read(*file, ADocument);
}
