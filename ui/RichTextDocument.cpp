// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/RichTextDocument.h"

#include "platform/FileNames.h"
#include "ui/TRtfReader.h"

#include <QFile>
#include <QStringDecoder>
#include <QTextDocument>
#include <QTextEdit>

#include <cctype>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

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
  if (data.startsWith("{\\rtf")) {
    if (!TRtfReader::Read(data, *AView.document()))
      AView.setPlainText(QString::fromUtf8(data));
  } else if (Qt::mightBeRichText(QString::fromUtf8(data)))
    AView.setHtml(QString::fromUtf8(data));
  else
    AView.setPlainText(QString::fromUtf8(data));
  return true;
}
