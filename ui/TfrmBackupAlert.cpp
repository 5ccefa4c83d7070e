// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/TfrmBackupAlert.h"

#include "profiles/TBackupProfileManager.h"
#include "sysinfo/DateTime.h"
#include "sysinfo/TClock.h"
#include "ui/TMessageBox.h"
#include "ui/TQueueRunner.h"
#include "ui/TickedProfiles.h"

#include <QAction>
#include <QCalendarWidget>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWindow>

#include <cmath>

namespace {

const QString CloseQuestion =
    QStringLiteral("It is stronly recommended that you backup your data, are you sure you want to continue?");

} // namespace

TfrmBackupAlert::TfrmBackupAlert(TBackupProfileManager& AManager, TQueueRunner* ARunner,
                                 std::function<TDateTime()> ANow, QWidget* AParent)
  : QDialog(AParent)
  , FBackupProfileManager(AManager)
  , FRunner(ARunner)
  , FNow(ANow ? std::move(ANow) : std::function<TDateTime()>(&TClock::Now))
{
  setObjectName(QStringLiteral("frmBackupAlert"));
  setWindowTitle(QStringLiteral("Backup Alerts"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);

  lblHeader = new QLabel(QStringLiteral("Backup Alerts"), this);
  lblHeader->setObjectName(QStringLiteral("lblHeader"));
  QFont headerFont = lblHeader->font();
  headerFont.setBold(true);
  headerFont.setPointSizeF(headerFont.pointSizeF() * 1.4);
  lblHeader->setFont(headerFont);

  lblProfileAlert = new QLabel(QStringLiteral("The following backup's are due."), this);
  lblProfileAlert->setObjectName(QStringLiteral("lblProfileAlert"));
  lblProfileAlert->setAlignment(Qt::AlignCenter);
  lblProfileAlert->setStyleSheet(QStringLiteral("color: red; font-weight: bold;"));

  ListViewBackupProfiles = new QTreeWidget(this);
  ListViewBackupProfiles->setObjectName(QStringLiteral("ListViewBackupProfiles"));
  ListViewBackupProfiles->setHeaderLabels({QStringLiteral("Profile Name"), QStringLiteral("Last Backup")});
  ListViewBackupProfiles->setRootIsDecorated(false);
  ListViewBackupProfiles->setSelectionBehavior(QAbstractItemView::SelectRows);
  ListViewBackupProfiles->setSelectionMode(QAbstractItemView::SingleSelection);
  ListViewBackupProfiles->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ListViewBackupProfiles->header()->resizeSection(0, 150);
  ListViewBackupProfiles->header()->setStretchLastSection(true);

  Calendar = new QCalendarWidget(this);
  Calendar->setObjectName(QStringLiteral("Calendar"));
  Calendar->setVerticalHeaderFormat(QCalendarWidget::ISOWeekNumbers);

  lblDaysOverdue = new QLabel(this);
  lblDaysOverdue->setObjectName(QStringLiteral("lblDaysOverdue"));
  lblDaysOverdue->setAlignment(Qt::AlignCenter);
  lblDaysOverdue->setWordWrap(true);

  ActionBackup = new QAction(QStringLiteral("Backup"), this);
  ActionIgnore = new QAction(QStringLiteral("Ignore"), this);
  btnOk = new QPushButton(ActionBackup->text(), this);
  btnOk->setObjectName(QStringLiteral("btnOk"));
  btnOk->setDefault(true);
  btnCancel = new QPushButton(ActionIgnore->text(), this);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));

  auto* details = new QVBoxLayout;
  details->addWidget(Calendar);
  details->addWidget(lblDaysOverdue);
  details->addStretch();
  auto* middle = new QHBoxLayout;
  middle->addWidget(ListViewBackupProfiles, 1);
  middle->addLayout(details);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnOk);
  buttons->addWidget(btnCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lblHeader);
  layout->addWidget(lblProfileAlert);
  layout->addLayout(middle, 1);
  layout->addLayout(buttons);

  connect(btnOk, &QPushButton::clicked, ActionBackup, &QAction::trigger);
  connect(btnCancel, &QPushButton::clicked, ActionIgnore, &QAction::trigger);
  connect(ActionBackup, &QAction::triggered, this, &TfrmBackupAlert::ActionBackupExecute);
  connect(ActionIgnore, &QAction::triggered, this, &TfrmBackupAlert::reject);
  connect(ListViewBackupProfiles, &QTreeWidget::itemChanged, this, &TfrmBackupAlert::ActionBackupUpdate);
  connect(ListViewBackupProfiles, &QTreeWidget::itemSelectionChanged, this,
          &TfrmBackupAlert::ActionUpdateCalendarExecute);
}

bool TfrmBackupAlert::Execute()
{
  if (exec() != QDialog::Accepted)
    return false;
  if (FRunner)
    FRunner->RunQueue();
  return true;
}

void TfrmBackupAlert::showEvent(QShowEvent* AEvent)
{
  QDialog::showEvent(AEvent);
  if (AEvent->spontaneous())
    return;
  FCanClose = false;
  FillProfileList();
  ActionUpdateCalendarExecute();
  ListViewBackupProfiles->setFocus();
  SetOnTop(true);
  if (const QScreen* display = screen())
    move(display->availableGeometry().center() - rect().center());
}

void TfrmBackupAlert::FillProfileList()
{
  const QSignalBlocker blocker(ListViewBackupProfiles);
  ListViewBackupProfiles->clear();
  for (int i = 0; i < FBackupProfileManager.ProfileCount(); ++i) {
    TBackupProfile* profile = FBackupProfileManager.GetProfileByIndex(i);
    if (!profile->IsBackupOverdue())
      continue;
    auto* row = new QTreeWidgetItem(ListViewBackupProfiles,
                                    {profile->ProfileName(), DateTimeToStrOrBlank(profile->LastBackup())});
    row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    row->setCheckState(0, profile->Enabled() ? Qt::Checked : Qt::Unchecked);
  }
  ActionBackupUpdate();
}

void TfrmBackupAlert::ActionUpdateCalendarExecute()
{
  ShowProfileDetails(0, 0);
  const QList<QTreeWidgetItem*> selected = ListViewBackupProfiles->selectedItems();
  if (selected.isEmpty())
    return;
  if (const TBackupProfile* profile = FBackupProfileManager.ProfileByName(selected.first()->text(0)))
    ShowProfileDetails(profile->AlertDays(), profile->LastBackup());
}

void TfrmBackupAlert::ShowProfileDetails(int AAlertDays, TDateTime ALastBackup)
{
  if (ALastBackup == 0) {
    Calendar->setVisible(false);
    Calendar->setSelectedDate(DateTimeEpoch());
    lblDaysOverdue->setText(QStringLiteral("No previous backup details."));
    return;
  }
  Calendar->setVisible(true);
  Calendar->setSelectedDate(QDateTimeFromDateTime(ALastBackup).date());
  const TDateTime due = ALastBackup + AAlertDays;
  // Whole days between now and the due moment, either side of it.
  const qint64 days = std::llround(std::fabs(FNow() - due) * MSecsPerDay) / qint64(MSecsPerDay);
  lblDaysOverdue->setText(QStringLiteral("%1 day(s) overdue.\nDue: %2").arg(days).arg(DateToStr(due)));
}

int TfrmBackupAlert::CheckedCount() const
{
  return int(TickedProfiles(ListViewBackupProfiles).size());
}

void TfrmBackupAlert::ActionBackupUpdate()
{
  const bool enabled = CheckedCount() > 0;
  ActionBackup->setEnabled(enabled);
  btnOk->setEnabled(enabled);
}

void TfrmBackupAlert::ActionBackupExecute()
{
  if (CheckedCount() == 0)
    return;
  QueueTickedProfiles(ListViewBackupProfiles, FBackupProfileManager);
  FCanClose = true;
  accept();
}

void TfrmBackupAlert::reject()
{
  // Every close without a backup (Ignore, Esc, the close box) asks first.
  if (isVisible() && !FCanClose) {
    SetOnTop(false);
    const bool leave = TMessageBox::Question(this, TMessageBox::mkWarning, CloseQuestion);
    SetOnTop(true);
    if (!leave)
      return;
    FCanClose = true;
  }
  QDialog::reject();
}

void TfrmBackupAlert::SetOnTop(bool AOnTop)
{
  FOnTop = AOnTop;
  // Through the window itself: changing the widget's flags would hide the dialog and end it.
  if (QWindow* window = windowHandle())
    window->setFlag(Qt::WindowStaysOnTopHint, AOnTop);
}
