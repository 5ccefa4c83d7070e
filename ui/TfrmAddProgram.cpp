// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/TfrmAddProgram.h"

#include "ui/TMessageBox.h"

#include <QAction>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// Titles and classes are read up to this length.
constexpr int MaxWindowText = 255;

} // namespace

TfrmAddProgram::TfrmAddProgram(TProgramWindows& AWindows, QWidget* AParent)
  : QDialog(AParent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
  , FWindows(AWindows)
{
  setObjectName(QStringLiteral("frmAddProgram"));
  setWindowTitle(QStringLiteral("Add Program"));
  resize(400, 360);

  lblHeading = new QLabel(QStringLiteral("Add Program"), this);
  QFont heading = lblHeading->font();
  heading.setBold(true);
  heading.setPointSizeF(heading.pointSizeF() * 1.4);
  lblHeading->setFont(heading);

  gbProgramDetails = new QGroupBox(QStringLiteral("Program Details"), this);
  editWindowTitle = new QLineEdit(gbProgramDetails);
  editWindowClass = new QLineEdit(gbProgramDetails);
  auto* details = new QFormLayout(gbProgramDetails);
  details->addRow(QStringLiteral("Window Title"), editWindowTitle);
  details->addRow(QStringLiteral("Window Class"), editWindowClass);

  auto* listLabel = new QLabel(QStringLiteral("Active Programs"), this);
  lbActivePrograms = new QListWidget(this);
  listLabel->setBuddy(lbActivePrograms);
  ActionAddDetails = new QAction(QStringLiteral("Add"), this);
  ActionRefresh = new QAction(QStringLiteral("Refresh"), this);
  lbActivePrograms->setContextMenuPolicy(Qt::ActionsContextMenu);
  lbActivePrograms->addAction(ActionAddDetails);
  lbActivePrograms->addAction(ActionRefresh);
  connect(ActionAddDetails, &QAction::triggered, this, &TfrmAddProgram::CopyEntry);
  connect(ActionRefresh, &QAction::triggered, this, &TfrmAddProgram::FillList);
  connect(lbActivePrograms, &QListWidget::itemClicked, this, &TfrmAddProgram::CopyEntry);

  btnRefresh = new QPushButton(QStringLiteral("Refresh"), this);
  btnOk = new QPushButton(QStringLiteral("Ok"), this);
  btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
  btnOk->setDefault(true);
  connect(btnRefresh, &QPushButton::clicked, this, &TfrmAddProgram::FillList);
  connect(btnOk, &QPushButton::clicked, this, &TfrmAddProgram::OkClick);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btnRefresh);
  buttons->addStretch();
  buttons->addWidget(btnOk);
  buttons->addWidget(btnCancel);
  auto* main = new QVBoxLayout(this);
  main->addWidget(lblHeading);
  main->addWidget(gbProgramDetails);
  main->addWidget(listLabel);
  main->addWidget(lbActivePrograms, 1);
  main->addLayout(buttons);
}

bool TfrmAddProgram::Execute()
{
  FillList();
  return exec() == QDialog::Accepted;
}

void TfrmAddProgram::GetWindowList(QStringList& AWindowList)
{
  for (const TProgramWindow& window : FWindows.Windows()) {
    if (!window.Visible || window.Owner != 0)
      continue;
    const QString title = window.Title.left(MaxWindowText);
    if (title.isEmpty())
      continue;
    AWindowList << title + QLatin1Char('=') + window.ClassName.left(MaxWindowText);
  }
}

QString TfrmAddProgram::WindowName() const
{
  return editWindowTitle->text();
}

void TfrmAddProgram::SetWindowName(const QString& AValue)
{
  editWindowTitle->setText(AValue);
}

QString TfrmAddProgram::WindowClass() const
{
  return editWindowClass->text();
}

void TfrmAddProgram::SetWindowClass(const QString& AValue)
{
  editWindowClass->setText(AValue);
}

void TfrmAddProgram::FillList()
{
  lbActivePrograms->clear();
  QStringList windows;
  GetWindowList(windows);
  lbActivePrograms->addItems(windows);
}

void TfrmAddProgram::CopyEntry()
{
  const QListWidgetItem* item = lbActivePrograms->currentItem();
  if (!item)
    return;
  const QString entry = item->text();
  const qsizetype split = entry.indexOf(QLatin1Char('='));
  editWindowTitle->setText(split < 0 ? entry : entry.left(split));
  editWindowClass->setText(split < 0 ? QString() : entry.mid(split + 1));
}

void TfrmAddProgram::OkClick()
{
  if (editWindowTitle->text().isEmpty()) {
    TMessageBox::Error(this, QStringLiteral("You must specify a window name."));
    return;
  }
  accept();
}
