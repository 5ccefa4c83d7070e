// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/TFileDialog.h"

#include <QFileDialog>
#include <QQueue>

namespace {

QQueue<QString>& Queue()
{
  static QQueue<QString> queue;
  return queue;
}

TFileDialog::TRequest& Request()
{
  static TFileDialog::TRequest request;
  return request;
}

void Remember(const QString& ACaption, const QString& AFileName, const QString& AFilter, const QString& ASuffix)
{
  Request() = {ACaption, AFileName, AFilter, ASuffix};
}

} // namespace

const TFileDialog::TRequest& TFileDialog::LastRequest()
{
  return Request();
}

QString TFileDialog::FilterFromPairs(const QString& APairs)
{
  const QStringList parts = APairs.split(QLatin1Char('|'));
  QStringList filters;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString description = parts.at(i).trimmed();
    // A description that shows its own patterns keeps only the words; Qt adds the patterns.
    const int open = description.lastIndexOf(QLatin1Char('('));
    if (open > 0 && description.endsWith(QLatin1Char(')')))
      description = description.left(open).trimmed();
    QStringList patterns = parts.at(i + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& pattern : patterns) {
      pattern = pattern.trimmed();
      if (pattern == QLatin1String("*.*"))
        pattern = QStringLiteral("*");
    }
    filters << description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
  }
  return filters.join(QStringLiteral(";;"));
}

QStringList TFileDialog::GetOpenFileNames(QWidget* AParent, const QString& ACaption, const QString& ADirectory,
                                          const QString& AFilter)
{
  Remember(ACaption, ADirectory, AFilter, QString());
  QString names;
  if (TakeQueued(names))
    return names.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  return QFileDialog::getOpenFileNames(AParent, ACaption, ADirectory, AFilter);
}

QString TFileDialog::GetSaveFileName(QWidget* AParent, const QString& ACaption, const QString& AFileName,
                                     const QString& AFilter, const QString& ADefaultSuffix)
{
  Remember(ACaption, AFileName, AFilter, ADefaultSuffix);
  QString name;
  if (TakeQueued(name))
    return name;
  QFileDialog dialog(AParent, ACaption, AFileName, AFilter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix(ADefaultSuffix);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return QString();
  return dialog.selectedFiles().constFirst();
}

bool TFileDialog::TakeQueued(QString& AFileName)
{
  if (Queue().isEmpty())
    return false;
  AFileName = Queue().dequeue();
  return true;
}

QString TFileDialog::GetOpenFileName(QWidget* AParent, const QString& ACaption, const QString& ADirectory,
                                     const QString& AFilter)
{
  Remember(ACaption, ADirectory, AFilter, QString());
  QString name;
  if (TakeQueued(name))
    return name;
  return QFileDialog::getOpenFileName(AParent, ACaption, ADirectory, AFilter);
}

QString TFileDialog::GetSaveFileName(QWidget* AParent, const QString& ACaption, const QString& ADirectory,
                                     const QString& AFilter)
{
  Remember(ACaption, ADirectory, AFilter, QString());
  QString name;
  if (TakeQueued(name))
    return name;
  return QFileDialog::getSaveFileName(AParent, ACaption, ADirectory, AFilter);
}

QString TFileDialog::GetExistingDirectory(QWidget* AParent, const QString& ACaption, const QString& ADirectory)
{
  QString name;
  if (TakeQueued(name))
    return name;
  return QFileDialog::getExistingDirectory(AParent, ACaption, ADirectory);
}

void TFileDialog::QueueFileName(const QString& AFileName)
{
  Queue().enqueue(AFileName);
}

void TFileDialog::Reset()
{
  Queue().clear();
  Request() = TRequest();
}
