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

} // namespace

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
  QString name;
  if (TakeQueued(name))
    return name;
  return QFileDialog::getOpenFileName(AParent, ACaption, ADirectory, AFilter);
}

QString TFileDialog::GetSaveFileName(QWidget* AParent, const QString& ACaption, const QString& ADirectory,
                                     const QString& AFilter)
{
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
}
