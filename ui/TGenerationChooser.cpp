// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/TGenerationChooser.h"

#include "platform/FileNames.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QQueue>
#include <QVBoxLayout>

namespace {

QQueue<int>& Queue()
{
  static QQueue<int> queue;
  return queue;
}

QStringList& Lines()
{
  static QStringList lines;
  return lines;
}

} // namespace

QString TGenerationChooser::Line(int AIndex, const TArchiveGeneration& AGeneration)
{
  const QString name = PrintableText(AGeneration.Archive.mid(AGeneration.Archive.lastIndexOf(QLatin1Char('/')) + 1));
  if (AGeneration.Files.isEmpty())
    return QStringLiteral("%1: %2 (missing)")
        .arg(AIndex == 0 ? QStringLiteral("Newest") : QString::number(AIndex), name);
  return QStringLiteral("%1: %2, %3 - %4")
      .arg(AIndex == 0 ? QStringLiteral("Newest") : QStringLiteral("Kept"),
           QLocale().toString(AGeneration.Time, QStringLiteral("yyyy-MM-dd HH:mm:ss")),
           QLocale().formattedDataSize(AGeneration.Size), name);
}

bool TGenerationChooser::Choose(QWidget* AParent, const QString& ACaption,
                                const QList<TArchiveGeneration>& AGenerations, int& AIndex)
{
  Lines().clear();
  for (qsizetype i = 0; i < AGenerations.size(); ++i)
    Lines() << Line(static_cast<int>(i), AGenerations.at(i));
  if (!Queue().isEmpty()) {
    AIndex = Queue().dequeue();
    return AIndex >= 0 && AIndex < AGenerations.size();
  }

  QDialog dialog(AParent);
  dialog.setWindowTitle(QStringLiteral("Corvale"));
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(new QLabel(ACaption, &dialog));
  auto* list = new QListWidget(&dialog);
  list->addItems(Lines());
  list->setCurrentRow(0);
  layout->addWidget(list);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  layout->addWidget(buttons);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  QObject::connect(list, &QListWidget::itemDoubleClicked, &dialog, &QDialog::accept);
  if (dialog.exec() != QDialog::Accepted || list->currentRow() < 0)
    return false;
  AIndex = list->currentRow();
  return true;
}

void TGenerationChooser::QueueChoice(int AIndex)
{
  Queue().enqueue(AIndex);
}

const QStringList& TGenerationChooser::LastLines()
{
  return Lines();
}

void TGenerationChooser::Reset()
{
  Queue().clear();
  Lines().clear();
}
