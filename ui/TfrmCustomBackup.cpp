// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/TfrmCustomBackup.h"

#include "platform/ECorvaleError.h"
#include "profiles/TBackupProfileManager.h"
#include "sysinfo/DateTime.h"
#include "ui/TickedProfiles.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <array>

namespace {

struct TShutdownOption
{
  const char* Caption;
  TExitParameter ExitParameter;
};

constexpr std::array<TShutdownOption, 5> ShutdownOptions = {{
    {"Do nothing", xpNone},
    {"Shutdown", xpShutdown},
    {"Reboot", xpReboot},
    {"Logoff", xpLogoff},
    {"Lock Workstation", xpLockWorkstation},
}};

} // namespace

TfrmCustomBackup::TfrmCustomBackup(TBackupProfileManager& AManager, QWidget* AParent)
  : QDialog(AParent)
  , FBackupProfileManager(AManager)
{
  setObjectName(QStringLiteral("frmCustomBackup"));
  setWindowTitle(QStringLiteral("Custom Backup"));
  resize(460, 380);

  auto* heading = new QLabel(QStringLiteral("Custom Backup"), this);
  QFont headingFont = heading->font();
  headingFont.setBold(true);
  headingFont.setPointSizeF(headingFont.pointSizeF() * 1.4);
  heading->setFont(headingFont);

  ListViewBackupProfiles = new QTreeWidget(this);
  ListViewBackupProfiles->setObjectName(QStringLiteral("ListViewBackupProfiles"));
  ListViewBackupProfiles->setHeaderLabels({QStringLiteral("Backup Profile"), QStringLiteral("Last Backup")});
  ListViewBackupProfiles->setRootIsDecorated(false);
  ListViewBackupProfiles->setSelectionBehavior(QAbstractItemView::SelectRows);
  ListViewBackupProfiles->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ListViewBackupProfiles->header()->setStretchLastSection(false);
  ListViewBackupProfiles->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  ListViewBackupProfiles->header()->resizeSection(1, 150);

  auto* options = new QGroupBox(QStringLiteral("Backup Options"), this);
  comboShutdownOption = new QComboBox(options);
  comboShutdownOption->setObjectName(QStringLiteral("comboShutdownOption"));
  for (const TShutdownOption& option : ShutdownOptions)
    comboShutdownOption->addItem(QString::fromLatin1(option.Caption));
  auto* optionsLayout = new QHBoxLayout(options);
  optionsLayout->addWidget(new QLabel(QStringLiteral("When backup has completed:"), options));
  optionsLayout->addWidget(comboShutdownOption, 1);

  ActionBackup = new QAction(QStringLiteral("Backup"), this);
  ActionCancel = new QAction(QStringLiteral("Cancel"), this);
  btnBackup = new QPushButton(ActionBackup->text(), this);
  btnBackup->setObjectName(QStringLiteral("btnBackup"));
  btnBackup->setDefault(true);
  btnCancel = new QPushButton(ActionCancel->text(), this);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  connect(btnBackup, &QPushButton::clicked, ActionBackup, &QAction::trigger);
  connect(btnCancel, &QPushButton::clicked, ActionCancel, &QAction::trigger);
  connect(ActionBackup, &QAction::triggered, this, &TfrmCustomBackup::ActionBackupExecute);
  connect(ActionCancel, &QAction::triggered, this, &QDialog::reject);
  connect(ListViewBackupProfiles, &QTreeWidget::itemChanged, this, &TfrmCustomBackup::ActionBackupUpdate);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btnBackup);
  buttons->addStretch();
  buttons->addWidget(btnCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(heading);
  layout->addWidget(ListViewBackupProfiles, 1);
  layout->addWidget(options);
  layout->addLayout(buttons);
}

TExitParameter TfrmCustomBackup::OptionExitParameter(int AIndex)
{
  return AIndex >= 0 && AIndex < int(ShutdownOptions.size()) ? ShutdownOptions[AIndex].ExitParameter : xpNone;
}

bool TfrmCustomBackup::Execute(TExitParameter& AExitParameter)
{
  for (int i = 0; i < int(ShutdownOptions.size()); ++i) {
    if (ShutdownOptions[i].ExitParameter == AExitParameter)
      comboShutdownOption->setCurrentIndex(i);
  }
  if (exec() != QDialog::Accepted)
    return false;
  AExitParameter = OptionExitParameter(comboShutdownOption->currentIndex());
  return true;
}

void TfrmCustomBackup::showEvent(QShowEvent* AEvent)
{
  QDialog::showEvent(AEvent);
  if (AEvent->spontaneous())
    return;
  FillProfileList();
  ListViewBackupProfiles->setFocus();
  if (const QWidget* owner = parentWidget())
    move(owner->geometry().center() - rect().center());
}

void TfrmCustomBackup::FillProfileList()
{
  const QSignalBlocker blocker(ListViewBackupProfiles);
  ListViewBackupProfiles->clear();
  for (int i = 0; i < FBackupProfileManager.ProfileCount(); ++i) {
    TBackupProfile* profile = FBackupProfileManager.GetProfileByIndex(i);
    // What another program (corvale-cli, a second editor) stored since is what runs; a profile
    // that cannot be read back now is not offered.
    bool loaded = false;
    try {
      loaded = profile->LoadProfile();
    } catch (const ECorvaleError&) {
      loaded = false;
    }
    if (!loaded)
      continue;
    auto* row = new QTreeWidgetItem(ListViewBackupProfiles,
                                    {profile->ProfileName(), DateTimeToStrOrBlank(profile->LastBackup())});
    row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    row->setCheckState(0, profile->Enabled() ? Qt::Checked : Qt::Unchecked);
  }
  ActionBackupUpdate();
}

void TfrmCustomBackup::ActionBackupUpdate()
{
  const bool enabled = !TickedProfiles(ListViewBackupProfiles).isEmpty();
  ActionBackup->setEnabled(enabled);
  btnBackup->setEnabled(enabled);
}

void TfrmCustomBackup::ActionBackupExecute()
{
  if (TickedProfiles(ListViewBackupProfiles).isEmpty())
    return;
  QueueTickedProfiles(ListViewBackupProfiles, FBackupProfileManager);
  accept();
}
