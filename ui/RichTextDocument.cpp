// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/RichTextDocument.h"

#include "platform/FileNames.h"

#include <QFile>
#include <QStringDecoder>
#include <QTextDocument>
#include <QTextEdit>

#include <cctype>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

QString RtfToPlainText(const QByteArray& ARtf)
{
  // Destinations whose text is not part of the document.
  static const QList<QByteArray> skipped = {
      "fonttbl", "colortbl",  "stylesheet",        "info",      "pict",     "header",
      "footer",  "listtable", "listoverridetable", "generator", "themedata"};
  QString text;
  QByteArray pendingBytes; // \'hh escapes, decoded together as Windows-1252
  QStringDecoder decoder("Windows-1252");
  const auto flush = [&] {
    if (!pendingBytes.isEmpty()) {
      text += decoder.decode(pendingBytes);
      pendingBytes.clear();
    }
  };
  std::vector<bool> skipStack{false};
  int skipUnicodeFallback = 0;
  const qsizetype size = ARtf.size();
  for (qsizetype i = 0; i < size; ++i) {
    const char c = ARtf.at(i);
    const bool skipping = skipStack.back();
    if (c == '{') {
      skipStack.push_back(skipping);
    } else if (c == '}') {
      if (skipStack.size() > 1)
        skipStack.pop_back();
    } else if (c == '\\' && i + 1 < size) {
      const char next = ARtf.at(i + 1);
      if (next == '\'' && i + 3 < size) {
        if (!skipping) {
          if (skipUnicodeFallback > 0)
            --skipUnicodeFallback;
          else
            pendingBytes += char(ARtf.mid(i + 2, 2).toInt(nullptr, 16));
        }
        i += 3;
        continue;
      }
      if (next == '*') {
        skipStack.back() = true;
        ++i;
        continue;
      }
      if (!std::isalpha(static_cast<unsigned char>(next))) {
        if (!skipping && (next == '\\' || next == '{' || next == '}')) {
          flush();
          text += QLatin1Char(next);
        }
        ++i;
        continue;
      }
      qsizetype j = i + 1;
      while (j < size && std::isalpha(static_cast<unsigned char>(ARtf.at(j))))
        ++j;
      const QByteArray word = ARtf.mid(i + 1, j - i - 1);
      qsizetype k = j;
      if (k < size && (ARtf.at(k) == '-' || std::isdigit(static_cast<unsigned char>(ARtf.at(k)))))
        ++k;
      while (k < size && std::isdigit(static_cast<unsigned char>(ARtf.at(k))))
        ++k;
      const int parameter = ARtf.mid(j, k - j).toInt();
      if (k < size && ARtf.at(k) == ' ')
        ++k;
      i = k - 1;
      if (skipped.contains(word)) {
        skipStack.back() = true;
        continue;
      }
      if (skipping)
        continue;
      flush();
      if (word == "par" || word == "line")
        text += QLatin1Char('\n');
      else if (word == "tab")
        text += QLatin1Char('\t');
      else if (word == "u") {
        text += QChar(static_cast<char16_t>(parameter < 0 ? parameter + 65536 : parameter));
        skipUnicodeFallback = 1;
      }
    } else if (!skipping && c != '\r' && c != '\n') {
      if (skipUnicodeFallback > 0) {
        --skipUnicodeFallback;
        continue;
      }
      flush();
      text += QLatin1Char(c);
    }
  }
  flush();
  return text;
}

bool LoadDocument(QTextEdit& AView, const QString& AFileName)
{
  const int fd = ::open(EncodeFileName(AFileName).constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return false;
  QFile file;
  if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    return false;
  }
  const QByteArray data = file.readAll();
  if (data.startsWith("{\\rtf"))
    AView.setPlainText(RtfToPlainText(data));
  else if (Qt::mightBeRichText(QString::fromUtf8(data)))
    AView.setHtml(QString::fromUtf8(data));
  else
    AView.setPlainText(QString::fromUtf8(data));
  return true;
}
