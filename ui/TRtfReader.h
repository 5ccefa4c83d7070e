// SPDX-License-Identifier: GPL-3.0-or-later
// Reads RTF into a QTextDocument: the part of it that our documents and the usual writers (word
// processors, pandoc) use for text. Paragraphs with their alignment, indents and spacing; bold,
// italic, underline, strike-through, font sizes, fixed-pitch fonts, text and highlight colours;
// \uN characters and \'hh bytes in the document's code page; tables of fonts and colours read,
// every other destination (\*, information, pictures, headers, style sheets) skipped. Qt reads
// no RTF, and Debian offers no library that reads it into Qt.
#pragma once

#include <QByteArray>
#include <QString>

class QIODevice;
class QTextDocument;

class TRtfReader
{
public:
  // Replaces ADocument's content with ASource's. False when ASource does not hold RTF.
  [[nodiscard]] static bool Read(QIODevice& ASource, QTextDocument& ADocument);
  [[nodiscard]] static bool Read(const QByteArray& ARtf, QTextDocument& ADocument);
  // Reads the file AFileName; false when it cannot be read or holds no RTF.
  [[nodiscard]] static bool ReadFile(const QString& AFileName, QTextDocument& ADocument);
};
