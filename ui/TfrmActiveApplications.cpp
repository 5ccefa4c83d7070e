// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/TfrmActiveApplications.h"

#include "ui/TMessageBox.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

enum TColumn { coApplication, coClass, coStatus };

// The status of a program that runs where the desktop offers no way to close it.
const QString UnreachableStatus = QStringLiteral("cannot be closed on this desktop");

} // namespace

TfrmActiveApplications::TfrmActiveApplications(TProgramWindows& AWindows, QWidget* AParent)
  : QDialog(AParent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
  , FWindows(AWindows)
{
  setObjectName(QStringLiteral("frmActiveApplications"));
  setWindowTitle(QStringLiteral("Active Applications"));
  resize(420, 260);

  lblHeading = new QLabel(QStringLiteral("Active Applications"), this);
  QFont heading = lblHeading->font();
  heading.setBold(true);
  heading.setPointSizeF(heading.pointSizeF() * 1.4);
  lblHeading->setFont(heading);

  ListViewActiveApplications = new QTreeWidget(this);
  ListViewActiveApplications->setObjectName(QStringLiteral("ListViewActiveApplications"));
  ListViewActiveApplications->setHeaderLabels(
      {QStringLiteral("Application"), QStringLiteral("Class"), QStringLiteral("Status")});
  ListViewActiveApplications->setRootIsDecorated(false);
  ListViewActiveApplications->setSelectionMode(QAbstractItemView::SingleSelection);
  QHeaderView* header = ListViewActiveApplications->header();
  header->setStretchLastSection(false);
  header->setSectionResizeMode(coApplication, QHeaderView::Stretch);
  header->setSectionResizeMode(coClass, QHeaderView::Fixed);
  header->setSectionResizeMode(coStatus, QHeaderView::Fixed);
  header->resizeSection(coClass, 100);
  header->resizeSection(coStatus, 100);

  PopupMenu = new QMenu(this);
  mnuClose = PopupMenu->addAction(QStringLiteral("&Close"));
  mnuTerminate = PopupMenu->addAction(QStringLiteral("&Terminate"));
  PopupMenu->addSeparator();
  mnuRefresh = PopupMenu->addAction(QStringLiteral("&Refresh"));
  connect(mnuClose, &QAction::triggered, this, [this] { SelectedRowAction(true); });
  connect(mnuTerminate, &QAction::triggered, this, [this] { SelectedRowAction(false); });
  connect(mnuRefresh, &QAction::triggered, this, &TfrmActiveApplications::RefreshList);
  ListViewActiveApplications->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(ListViewActiveApplications, &QWidget::customContextMenuRequested, this, [this](const QPoint& APosition) {
    PopupMenu->popup(ListViewActiveApplications->viewport()->mapToGlobal(APosition));
  });

  btnContinue = new QPushButton(QStringLiteral("Continue"), this);
  btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
  connect(btnContinue, &QPushButton::clicked, this, &TfrmActiveApplications::ContinueClick);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

  RefreshTimer.setInterval(5000);
  connect(&RefreshTimer, &QTimer::timeout, this, &TfrmActiveApplications::RefreshTimerTimer);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btnContinue);
  buttons->addStretch();
  buttons->addWidget(btnCancel);
  auto* main = new QVBoxLayout(this);
  main->addWidget(lblHeading);
  main->addWidget(ListViewActiveApplications, 1);
  main->addLayout(buttons);
}

bool TfrmActiveApplications::Execute(const QStringList& AActivePrograms, bool ACloseGraceFully)
{
  FProgramList = AActivePrograms;
  FCloseGraceFully = ACloseGraceFully;
  RefreshList();
  bool result = true;
  if (ListViewActiveApplications->topLevelItemCount() > 0)
    result = exec() == QDialog::Accepted;
  // The list is the profile's: it is not kept beyond this run.
  FProgramList.clear();
  ListViewActiveApplications->clear();
  return result;
}

void TfrmActiveApplications::RefreshList()
{
  ListViewActiveApplications->clear();
  const QString status = FCloseGraceFully ? QStringLiteral("Closing...") : QStringLiteral("Terminating...");
  for (const TListedProgram& program : CloseListedPrograms(FWindows, FProgramList, FCloseGraceFully)) {
    auto* row = new QTreeWidgetItem(ListViewActiveApplications);
    row->setText(coApplication, program.Name);
    row->setText(coClass, program.ClassName);
    row->setText(coStatus, status);
  }
  // Programs that run where the desktop gives no way to their windows stay listed until the user
  // closes them or goes on without.
  for (const TListedProgram& program : FWindows.UnreachablePrograms(FProgramList)) {
    auto* row = new QTreeWidgetItem(ListViewActiveApplications);
    row->setText(coApplication, program.Name);
    row->setText(coClass, program.ClassName);
    row->setText(coStatus, UnreachableStatus);
  }
}

void TfrmActiveApplications::showEvent(QShowEvent* AEvent)
{
  QDialog::showEvent(AEvent);
  RefreshTimer.start();
  RefreshList();
}

void TfrmActiveApplications::hideEvent(QHideEvent* AEvent)
{
  RefreshTimer.stop();
  QDialog::hideEvent(AEvent);
}

void TfrmActiveApplications::RefreshTimerTimer()
{
  RefreshList();
  if (ListViewActiveApplications->topLevelItemCount() == 0)
    accept();
}

void TfrmActiveApplications::ContinueClick()
{
  if (ListViewActiveApplications->topLevelItemCount() == 0 ||
      TMessageBox::Confirmation(
          this, QStringLiteral(
                    "Backup may fail without closing all active applications, are you sure you want to continue?")))
    accept();
}

void TfrmActiveApplications::SelectedRowAction(bool AGracefully)
{
  const QTreeWidgetItem* row = ListViewActiveApplications->currentItem();
  if (!row || !row->isSelected())
    return;
  // The row's own title and class, so that a row found by its title alone is reached too.
  const TWindowId window = FWindows.FindProgramWindow(row->text(coApplication), row->text(coClass));
  if (window == 0)
    return;
  if (AGracefully)
    (void)FWindows.CloseProgramWindow(window);
  else
    (void)FWindows.TerminateProgramWindow(window);
}
