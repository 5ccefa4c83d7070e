// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/RichTextDocument.h"

#include "platform/Posix.h"
#include "ui/TRtfReader.h"

#include <QFile>
#include <QStringDecoder>
#include <QTextDocument>
#include <QTextEdit>

#include <cctype>
#include <vector>

bool LoadDocument(QTextEdit& AView, const QString& AFileName)
{
  const std::unique_ptr<QFile> file = Posix::OpenForReading(AFileName);
  if (!file)
    return false;
  const QByteArray data = file->readAll();
  if (data.startsWith("{\\rtf")) {
    if (!TRtfReader::Read(data, *AView.document()))
      AView.setPlainText(QString::fromUtf8(data));
  } else if (Qt::mightBeRichText(QString::fromUtf8(data)))
    AView.setHtml(QString::fromUtf8(data));
  else
    AView.setPlainText(QString::fromUtf8(data));
  return true;
}
