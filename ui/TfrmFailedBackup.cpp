// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/TfrmFailedBackup.h"

#include "platform/FileNames.h"
#include "platform/Posix.h"
#include "profiles/TBackupProfileManager.h"
#include "ui/TFileDialog.h"
#include "ui/TMessageBox.h"
#include "ui/TTimerTicker.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <unistd.h>

namespace {

const QString AutoCloseText = QStringLiteral("Dialog will automatically close in %1 second(s)");

// A text that acts as a link: underlined and blue under the mouse, a hand pointer, a click.
class TClickLabel : public QLabel
{
public:
  TClickLabel(std::function<void()> AOnClick, QWidget* AParent)
    : QLabel(AParent)
    , FOnClick(std::move(AOnClick))
  {
    setCursor(Qt::PointingHandCursor);
  }

protected:
  void enterEvent(QEnterEvent* AEvent) override
  {
    setStyleSheet(QStringLiteral("color: blue; text-decoration: underline;"));
    QLabel::enterEvent(AEvent);
  }
  void leaveEvent(QEvent* AEvent) override
  {
    setStyleSheet(QString());
    QLabel::leaveEvent(AEvent);
  }
  void mouseReleaseEvent(QMouseEvent* AEvent) override
  {
    if (AEvent->button() == Qt::LeftButton && rect().contains(AEvent->position().toPoint()))
      FOnClick();
    QLabel::mouseReleaseEvent(AEvent);
  }

private:
  std::function<void()> FOnClick;
};

// Writes ALines to AFileName as text, replacing it atomically. Returns 0 or an errno.
int WriteLines(const QString& AFileName, const QListWidget& ALines)
{
  const QByteArray target = EncodeFileName(AFileName);
  QByteArray temporary;
  int error = 0;
  TFileDescriptor file = Posix::CreateTemporaryBeside(target, Posix::ReplacementMode(target, 0600), temporary, error);
  if (!file.IsOpen())
    return error;
  QByteArray chunk;
  for (int i = 0; i < ALines.count(); ++i) {
    chunk += ALines.item(i)->text().toUtf8();
    chunk += '\n';
    if (chunk.size() >= 65536 || i + 1 == ALines.count()) {
      if ((error = Posix::WriteAll(file.Fd(), chunk)) != 0) {
        file = TFileDescriptor();
        ::unlink(temporary.constData());
        return error;
      }
      chunk.clear();
    }
  }
  return Posix::CommitReplacement(file, temporary, target);
}

} // namespace

TfrmFailedBackup::TfrmFailedBackup(TBackupProfileManager& AManager, std::unique_ptr<TTicker> ATicker, QWidget* AParent)
  : QDialog(AParent, Qt::Tool)
  , FBackupProfileManager(AManager)
  , FTicker(ATicker ? std::move(ATicker) : std::make_unique<TTimerTicker>(1000))
{
  setObjectName(QStringLiteral("frmFailedBackup"));
  setWindowTitle(QStringLiteral("Failed Backup Details"));
  setSizeGripEnabled(true);
  resize(520, 340);

  auto* heading = new QLabel(QStringLiteral("Failed Backup Profiles"), this);
  QFont headingFont = heading->font();
  headingFont.setBold(true);
  headingFont.setPointSizeF(headingFont.pointSizeF() * 1.4);
  heading->setFont(headingFont);

  ActionShowLog = new QAction(QStringLiteral("Show Log"), this);
  ActionBack = new QAction(style()->standardIcon(QStyle::SP_ArrowBack), QStringLiteral("Back"), this);
  ActionSaveLog = new QAction(style()->standardIcon(QStyle::SP_DialogSaveButton), QStringLiteral("Save Log"), this);
  connect(ActionShowLog, &QAction::triggered, this, &TfrmFailedBackup::ShowLog);
  connect(ActionBack, &QAction::triggered, this, &TfrmFailedBackup::Back);
  connect(ActionSaveLog, &QAction::triggered, this, &TfrmFailedBackup::SaveLog);
  auto* menu = new QMenu(this);
  menu->addActions({ActionShowLog, ActionBack});
  menu->addSeparator();
  menu->addAction(ActionSaveLog);

  PageControl = new QStackedWidget(this);
  tabFailedProfiles = new QWidget(PageControl);
  tabFailedProfiles->setObjectName(QStringLiteral("tabFailedProfiles"));
  ListViewFailedProfiles = new QTreeWidget(tabFailedProfiles);
  ListViewFailedProfiles->setObjectName(QStringLiteral("ListViewFailedProfiles"));
  ListViewFailedProfiles->setHeaderLabels(
      {QStringLiteral("Status"), QStringLiteral("Backup Profile"), QStringLiteral("Log File")});
  ListViewFailedProfiles->setRootIsDecorated(false);
  ListViewFailedProfiles->setSelectionBehavior(QAbstractItemView::SelectRows);
  ListViewFailedProfiles->setSelectionMode(QAbstractItemView::SingleSelection);
  ListViewFailedProfiles->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ListViewFailedProfiles->header()->resizeSection(0, 100);
  ListViewFailedProfiles->header()->resizeSection(1, 150);
  ListViewFailedProfiles->header()->setStretchLastSection(true);
  auto* profilesLayout = new QVBoxLayout(tabFailedProfiles);
  profilesLayout->setContentsMargins(0, 0, 0, 0);
  profilesLayout->addWidget(ListViewFailedProfiles);

  tabLog = new QWidget(PageControl);
  tabLog->setObjectName(QStringLiteral("tabLog"));
  auto* toolBar = new QToolBar(tabLog);
  btnBack = new QToolButton(toolBar);
  btnBack->setDefaultAction(ActionBack);
  btnSave = new QToolButton(toolBar);
  btnSave->setDefaultAction(ActionSaveLog);
  toolBar->addWidget(btnBack);
  toolBar->addWidget(btnSave);
  ListBoxLog = new QListWidget(tabLog);
  ListBoxLog->setObjectName(QStringLiteral("ListBoxLog"));
  auto* logLayout = new QVBoxLayout(tabLog);
  logLayout->setContentsMargins(0, 0, 0, 0);
  logLayout->addWidget(toolBar);
  logLayout->addWidget(ListBoxLog);
  PageControl->addWidget(tabFailedProfiles);
  PageControl->addWidget(tabLog);

  for (QWidget* list : {static_cast<QWidget*>(ListViewFailedProfiles), static_cast<QWidget*>(ListBoxLog)}) {
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list, &QWidget::customContextMenuRequested, this, [this, list, menu](const QPoint& APosition) {
      UpdateMenu();
      menu->popup(list->mapToGlobal(APosition));
    });
  }
  connect(ListViewFailedProfiles, &QTreeWidget::itemDoubleClicked, this, &TfrmFailedBackup::ShowLog);

  lblAutoClose = new TClickLabel([this] { StopAutoClose(); }, this);
  lblAutoClose->setObjectName(QStringLiteral("lblAutoClose"));
  lblAutoClose->setToolTip(QStringLiteral("Click to cancel dailog from closing."));
  btnOk = new QPushButton(QStringLiteral("Ok"), this);
  btnOk->setObjectName(QStringLiteral("btnOk"));
  btnOk->setDefault(true);
  connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);

  auto* bottom = new QHBoxLayout;
  bottom->addWidget(lblAutoClose);
  bottom->addStretch();
  bottom->addWidget(btnOk);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(heading);
  layout->addWidget(PageControl, 1);
  layout->addLayout(bottom);
  UpdateMenu();
}

TfrmFailedBackup::~TfrmFailedBackup() = default;

QString TfrmFailedBackup::QueueStatusText(TBackupProfileQueueStatus AStatus)
{
  switch (AStatus) {
  case qsPending:
    return QStringLiteral("Pending");
  case qsInProgress:
    return QStringLiteral("In Progress");
  case qsComplete:
    return QStringLiteral("Complete");
  case qsFailed:
    return QStringLiteral("Failed");
  case qsCancelled:
    return QStringLiteral("Cancelled");
  }
  return QString();
}

void TfrmFailedBackup::Execute(int AAutoCloseTimeout)
{
  FAutoCloseTimeout = AAutoCloseTimeout;
  if (FAutoCloseTimeout > 0)
    FTicker->Start([this] { TimerAutoCloseTimer(); });
  exec();
}

bool TfrmFailedBackup::IsCountingDown() const
{
  return FTicker->IsActive();
}

void TfrmFailedBackup::showEvent(QShowEvent* AEvent)
{
  QDialog::showEvent(AEvent);
  if (AEvent->spontaneous())
    return;
  PageControl->setCurrentWidget(tabFailedProfiles);
  ShowAutoCloseText();
  FillFailedProfiles();
  UpdateMenu();
  ListViewFailedProfiles->setFocus();
  if (const QScreen* display = screen())
    move(display->availableGeometry().center() - rect().center());
}

void TfrmFailedBackup::ShowAutoCloseText()
{
  lblAutoClose->setText(AutoCloseText.arg(FAutoCloseTimeout));
  lblAutoClose->setVisible(IsCountingDown());
}

void TfrmFailedBackup::FillFailedProfiles()
{
  ListViewFailedProfiles->clear();
  ListBoxLog->clear();
  FLoadedLog.clear();
  const TBackupProfileQueue& queue = FBackupProfileManager.Queue();
  for (int i = 0; i < queue.Count(); ++i) {
    const TBackupProfileQueueItem* entry = queue.GetItem(i);
    if (entry->QueueStatus() != qsFailed && entry->QueueStatus() != qsCancelled)
      continue;
    // An entry whose profile has gone since keeps its name and has no log to show.
    const TBackupProfile* profile = FBackupProfileManager.ProfileByName(entry->ProfileName());
    new QTreeWidgetItem(ListViewFailedProfiles,
                        {QueueStatusText(entry->QueueStatus()), profile ? profile->ProfileName() : entry->ProfileName(),
                         profile ? profile->LogFile() : QString()});
  }
}

void TfrmFailedBackup::TimerAutoCloseTimer()
{
  if (!IsCountingDown())
    return;
  --FAutoCloseTimeout;
  ShowAutoCloseText();
  if (FAutoCloseTimeout <= 0)
    done(QDialog::Accepted);
}

void TfrmFailedBackup::StopAutoClose()
{
  FTicker->Stop();
  lblAutoClose->setVisible(false);
}

void TfrmFailedBackup::ShowLog()
{
  const QTreeWidgetItem* row = ListViewFailedProfiles->currentItem();
  if (!row || !row->isSelected())
    return;
  StopAutoClose();
  PageControl->setCurrentWidget(tabLog);
  UpdateMenu();
  (void)LoadLog(row->text(2));
}

bool TfrmFailedBackup::LoadLog(const QString& AFileName)
{
  // A long log takes a moment; the wait cursor says so.
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  const QString& fileName = AFileName;
  ListBoxLog->clear();
  FLoadedLog.clear();
  const std::unique_ptr<QFile> file = Posix::OpenForReading(fileName);
  if (!file) {
    ListBoxLog->addItem(QStringLiteral("No log file available: \"%1\".").arg(fileName));
  } else {
    QStringList lines;
    while (!file->atEnd()) {
      QByteArray line = file->readLine();
      while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
      lines << QString::fromUtf8(line);
    }
    ListBoxLog->addItems(lines);
    FLoadedLog = fileName;
  }
  QGuiApplication::restoreOverrideCursor();
  return !FLoadedLog.isEmpty();
}

void TfrmFailedBackup::Back()
{
  PageControl->setCurrentWidget(tabFailedProfiles);
  UpdateMenu();
}

void TfrmFailedBackup::SaveLog()
{
  StopAutoClose();
  // From the profiles page the selected row's log is saved, not one shown earlier.
  if (PageControl->currentWidget() == tabFailedProfiles) {
    const QTreeWidgetItem* row = ListViewFailedProfiles->currentItem();
    if (!row || !row->isSelected() || !LoadLog(row->text(2)))
      return;
  }
  if (FLoadedLog.isEmpty())
    return;
  const QString fileName = TFileDialog::GetSaveFileName(
      this, QStringLiteral("Save Log"), QFileInfo(FLoadedLog).fileName(),
      QStringLiteral("Log Files (*.log);;Text Files (*.txt);;All Files (*)"), QStringLiteral("log"));
  if (fileName.isEmpty())
    return;
  if (const int error = WriteLines(fileName, *ListBoxLog); error != 0)
    TMessageBox::Error(this,
                       QStringLiteral("Unable to save log file \"%1\": %2").arg(fileName, Posix::ErrorText(error)));
}

void TfrmFailedBackup::UpdateMenu()
{
  const bool profilesPage = PageControl->currentWidget() == tabFailedProfiles;
  ActionShowLog->setVisible(profilesPage);
  ActionBack->setVisible(!profilesPage);
}

void TfrmFailedBackup::done(int AResult)
{
  PageControl->setCurrentWidget(tabFailedProfiles);
  UpdateMenu();
  FTicker->Stop();
  lblAutoClose->setVisible(false);
  QDialog::done(AResult);
}
