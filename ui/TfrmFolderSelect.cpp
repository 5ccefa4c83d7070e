// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/TfrmFolderSelect.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

const QString AllFiles = QStringLiteral("*.*");

} // namespace

TfrmFolderSelect::TfrmFolderSelect(QWidget* AParent)
  : QDialog(AParent, Qt::Tool | Qt::WindowStaysOnTopHint)
{
  setWindowTitle(QStringLiteral("Select Folder"));
  setSizeGripEnabled(true);

  ComboBoxDrives = new QComboBox(this);
  FModel = new QFileSystemModel(this);
  FModel->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
  FModel->setReadOnly(true);
  TreeViewFolders = new QTreeView(this);
  TreeViewFolders->setModel(FModel);
  TreeViewFolders->setHeaderHidden(true);
  for (int column = 1; column < FModel->columnCount(); ++column)
    TreeViewFolders->hideColumn(column);

  gbOptions = new QGroupBox(QStringLiteral("Options"), this);
  ComboBoxWildcard = new QComboBox(gbOptions);
  ComboBoxWildcard->setEditable(true);
  ComboBoxWildcard->addItems({AllFiles, QStringLiteral("*.pst"), QStringLiteral("*.doc"), QStringLiteral("*.xls"),
                              QStringLiteral("*.ppt"), QStringLiteral("*.mdb"), QStringLiteral("*.sxc"),
                              QStringLiteral("*.sxw")});
  cbRecurse = new QCheckBox(QStringLiteral("Include files in sub-folders."), gbOptions);
  cbShowHidden = new QCheckBox(QStringLiteral("Show hidden folders"), gbOptions);
  auto* options = new QFormLayout(gbOptions);
  options->addRow(QStringLiteral("Filename Wildcard:"), ComboBoxWildcard);
  options->addRow(cbRecurse);
  options->addRow(cbShowHidden);

  btnOk = new QPushButton(QStringLiteral("Ok"), this);
  btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
  btnOk->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnOk);
  buttons->addWidget(btnCancel);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(ComboBoxDrives);
  layout->addWidget(TreeViewFolders, 1);
  layout->addWidget(gbOptions);
  layout->addLayout(buttons);
  resize(380, 480);

  FDrives = UserDrives();
  for (const TUserDrive& drive : std::as_const(FDrives))
    ComboBoxDrives->addItem(drive.Caption, drive.Path);

  connect(ComboBoxDrives, &QComboBox::currentIndexChanged, this, &TfrmFolderSelect::OnDriveChange);
  connect(cbShowHidden, &QCheckBox::clicked, this, &TfrmFolderSelect::OnShowHiddenClick);
  connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(TreeViewFolders, &QTreeView::doubleClicked, this, &QDialog::accept);
  // The folders load in the background: keep the selected one in view as its parents arrive.
  connect(FModel, &QFileSystemModel::directoryLoaded, this, [this] {
    if (TreeViewFolders->currentIndex().isValid())
      TreeViewFolders->scrollTo(TreeViewFolders->currentIndex());
  });
}

void TfrmFolderSelect::OnDriveChange(int AIndex)
{
  if (AIndex < 0 || AIndex >= FDrives.size())
    return;
  const QString path = FDrives.at(AIndex).Path;
  TreeViewFolders->setRootIndex(FModel->setRootPath(path));
  TreeViewFolders->setCurrentIndex(QModelIndex());
}

void TfrmFolderSelect::OnShowHiddenClick()
{
  QDir::Filters filter = QDir::AllDirs | QDir::NoDotAndDotDot;
  if (cbShowHidden->isChecked())
    filter |= QDir::Hidden;
  FModel->setFilter(filter);
}

QString TfrmFolderSelect::SelectedFolder() const
{
  const QModelIndex current = TreeViewFolders->currentIndex();
  if (current.isValid())
    return FModel->filePath(current);
  return FModel->filePath(TreeViewFolders->rootIndex());
}

void TfrmFolderSelect::SelectFolder(const QString& AFolder)
{
  const QString folder = QDir::cleanPath(AFolder.isEmpty() ? QDir::homePath() : AFolder);
  int drive = DriveOfPath(FDrives, folder);
  if (drive < 0)
    drive = 0;
  if (ComboBoxDrives->currentIndex() != drive)
    ComboBoxDrives->setCurrentIndex(drive);
  else
    OnDriveChange(drive);
  const QModelIndex index = FModel->index(folder);
  if (index.isValid() && folder != FDrives.value(drive).Path) {
    TreeViewFolders->setCurrentIndex(index);
    TreeViewFolders->scrollTo(index);
  }
}

bool TfrmFolderSelect::Execute()
{
  cbRecurse->setChecked(Recurse);
  cbShowHidden->setChecked(ShowHidden);
  OnShowHiddenClick();
  ComboBoxWildcard->setCurrentText(Wildcards.isEmpty() ? ComboBoxWildcard->itemText(0) : Wildcards);
  SelectFolder(Folder);
  TreeViewFolders->setFocus();

  if (exec() != QDialog::Accepted) {
    Folder.clear();
    Wildcards = AllFiles;
    Recurse = false;
    return false;
  }
  Folder = SelectedFolder();
  Recurse = cbRecurse->isChecked();
  Wildcards = ComboBoxWildcard->currentText().isEmpty() ? AllFiles : ComboBoxWildcard->currentText();
  return true;
}
