// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TfrmBackupProgress.h"

#include "app/TRunProgress.h"
#include "platform/TTaskbarProgress.h"
#include "sysinfo/TimeTexts.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>

namespace {

// The total's label reads bottom to top beside its vertical bar.
class TVerticalLabel : public QLabel
{
public:
  using QLabel::QLabel;
  QSize sizeHint() const override { return QLabel::sizeHint().transposed(); }
  QSize minimumSizeHint() const override { return QLabel::minimumSizeHint().transposed(); }

protected:
  void paintEvent(QPaintEvent*) override
  {
    QPainter painter(this);
    painter.translate(0, height());
    painter.rotate(-90);
    painter.drawText(QRect(0, 0, height(), width()), Qt::AlignCenter, text());
  }
};

} // namespace

TfrmBackupProgress::TfrmBackupProgress(QWidget* AParent)
  : QWidget(AParent, Qt::Window | Qt::FramelessWindowHint)
{
  setObjectName(QStringLiteral("frmBackupProgress"));
  setWindowTitle(QStringLiteral("Please Wait, Backup in progress..."));
  setFixedSize(487, 213);
  setAutoFillBackground(true);

  lblProfileName = new QLabel(QStringLiteral("Please Wait, Backup in progress..."), this);
  QFont heading = lblProfileName->font();
  heading.setBold(true);
  heading.setPointSizeF(heading.pointSizeF() * 1.15);
  lblProfileName->setFont(heading);

  ProgressBarTotal = new QProgressBar(this);
  ProgressBarTotal->setOrientation(Qt::Vertical);
  ProgressBarTotal->setRange(0, 100);
  ProgressBarTotal->setTextVisible(false);
  lblTotalProgress = new TVerticalLabel(QStringLiteral("0% Complete"), this);

  lblProfileProgress = new QLabel(QStringLiteral("Gathering profile information..."), this);
  ProgressBarProfile = new QProgressBar(this);
  lblBackupProgress = new QLabel(QStringLiteral("Please Wait..."), this);
  ProgressBarBackup = new QProgressBar(this);
  for (QProgressBar* bar : {ProgressBarProfile, ProgressBarBackup}) {
    bar->setRange(0, 100);
    bar->setTextVisible(false);
  }
  for (QLabel* label : {lblProfileProgress, lblBackupProgress}) {
    // Long paths must not widen the fixed-size window.
    label->setMinimumWidth(1);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  }

  lblTimeElapsed = new QLabel(QStringLiteral("Calculating..."), this);
  lblTimeRemaining = new QLabel(QStringLiteral("Calculating..."), this);
  QFont small = lblTimeElapsed->font();
  small.setPointSizeF(small.pointSizeF() * 0.9);
  for (QLabel* label : {lblTimeElapsed, lblTimeRemaining}) {
    label->setAlignment(Qt::AlignCenter);
    label->setFont(small);
  }

  FActionHide = new QAction(QStringLiteral("Hide"), this);
  FActionCancel = new QAction(QStringLiteral("Cancel"), this);
  FActionHide->setEnabled(false);
  FActionCancel->setEnabled(false);
  connect(FActionHide, &QAction::triggered, this, [this] {
    if (FOnHide)
      FOnHide(this);
  });
  connect(FActionCancel, &QAction::triggered, this, [this] {
    if (FOnCancel)
      FOnCancel(this);
  });
  btnHide = new QPushButton(QStringLiteral("Hide"), this);
  btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
  for (auto [button, action] : {std::pair{btnHide, FActionHide}, std::pair{btnCancel, FActionCancel}}) {
    connect(button, &QPushButton::clicked, action, &QAction::trigger);
    connect(action, &QAction::changed, button, [button, action] { button->setEnabled(action->isEnabled()); });
    button->setEnabled(false);
  }

  auto* details = new QVBoxLayout;
  details->addWidget(lblProfileName);
  details->addSpacing(6);
  details->addWidget(lblProfileProgress);
  details->addWidget(ProgressBarProfile);
  details->addWidget(lblBackupProgress);
  details->addWidget(ProgressBarBackup);
  auto* times = new QHBoxLayout;
  times->addWidget(lblTimeElapsed, 1);
  times->addWidget(lblTimeRemaining, 1);
  details->addLayout(times);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnHide);
  buttons->addWidget(btnCancel);
  details->addLayout(buttons);

  auto* main = new QHBoxLayout(this);
  main->addWidget(ProgressBarTotal);
  main->addWidget(lblTotalProgress);
  main->addLayout(details, 1);

  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

void TfrmBackupProgress::SetBar(QProgressBar* ABar, int AProgress)
{
  if (ABar->value() != AProgress)
    ABar->setValue(AProgress);
}

void TfrmBackupProgress::SetBackupProgress(int AProgress, const QString& AMessage)
{
  SetBar(ProgressBarBackup, AProgress);
  if (!AMessage.isEmpty() && AMessage != lblBackupProgress->text())
    lblBackupProgress->setText(AMessage);
}

TfrmBackupProgress::~TfrmBackupProgress()
{
  ClearTaskbarProgress();
}

void TfrmBackupProgress::SetTaskbarProgress(std::unique_ptr<TTaskbarProgress> ATaskbarProgress)
{
  ClearTaskbarProgress();
  FTaskbarProgress = std::move(ATaskbarProgress);
}

void TfrmBackupProgress::ClearTaskbarProgress()
{
  if (FTaskbarProgress)
    FTaskbarProgress->Clear();
}

void TfrmBackupProgress::SetProfileProgress(int AProgress, const QString& AMessage)
{
  SetBar(ProgressBarProfile, AProgress);
  if (FTaskbarProgress)
    FTaskbarProgress->SetProgress(ProgressBarProfile->value() * 100 / qMax(ProgressBarProfile->maximum(), 1));
  if (!AMessage.isEmpty())
    lblProfileProgress->setText(AMessage + QStringLiteral(" (") + QString::number(AProgress) + QStringLiteral("%)"));
}

void TfrmBackupProgress::SetTotalProgress(int AProgress, const QString& AMessage)
{
  SetBar(ProgressBarTotal, AProgress);
  if (!AMessage.isEmpty())
    lblTotalProgress->setText(AMessage);
}

void TfrmBackupProgress::SetTimeRemaining(const QString& ATimeRemaining)
{
  if (!ATimeRemaining.isEmpty())
    lblTimeRemaining->setText(ATimeRemaining);
}

void TfrmBackupProgress::SetTimeElapsed(const QString& ATimeElapsed)
{
  if (!ATimeElapsed.isEmpty())
    lblTimeElapsed->setText(ATimeElapsed);
}

void TfrmBackupProgress::SetBackupProfile(const QString& AProfileName)
{
  if (!AProfileName.isEmpty())
    lblProfileName->setText(AProfileName);
}

void TfrmBackupProgress::SetOnCancel(TNotifyEvent AHandler)
{
  FOnCancel = std::move(AHandler);
  FActionCancel->setEnabled(static_cast<bool>(FOnCancel));
}

void TfrmBackupProgress::SetOnHide(TNotifyEvent AHandler)
{
  FOnHide = std::move(AHandler);
  FActionHide->setEnabled(static_cast<bool>(FOnHide));
}

void TfrmBackupProgress::mousePressEvent(QMouseEvent* AEvent)
{
  if (AEvent->button() == Qt::LeftButton) {
    // The window manager moves it, as a title bar would (the only way on Wayland, where a
    // window cannot place itself); without one, follow the mouse here.
    QWindow* handle = windowHandle();
    FManualDrag = !handle || !handle->startSystemMove();
    if (FManualDrag)
      FDragOffset = AEvent->globalPosition().toPoint() - frameGeometry().topLeft();
  }
  QWidget::mousePressEvent(AEvent);
}

void TfrmBackupProgress::mouseMoveEvent(QMouseEvent* AEvent)
{
  if (FManualDrag && (AEvent->buttons() & Qt::LeftButton))
    move(AEvent->globalPosition().toPoint() - FDragOffset);
  QWidget::mouseMoveEvent(AEvent);
}

void TfrmBackupProgress::mouseReleaseEvent(QMouseEvent* AEvent)
{
  FManualDrag = false;
  QWidget::mouseReleaseEvent(AEvent);
}

void TfrmBackupProgress::Follow(TRunProgress& AProgress)
{
  FProgress = &AProgress;
  FFlush.setSingleShot(true);
  connect(&FFlush, &QTimer::timeout, this, &TfrmBackupProgress::ShowPending);
  connect(&AProgress, &TRunProgress::Arrived, this, [this] {
    if (!FShown.isValid() || FShown.hasExpired(ProgressPeriod)) {
      ShowPending();
      return;
    }
    // What is held back is shown when the period ends, also if no report follows.
    if (!FFlush.isActive())
      FFlush.start(std::max<int>(1, ProgressPeriod - static_cast<int>(FShown.elapsed())));
  });
}

void TfrmBackupProgress::ShowPending()
{
  if (!FProgress)
    return;
  FFlush.stop();
  FShown.start();
  const TRunProgress::TPending pending = FProgress->Take();
  if (pending.Times) {
    SetTimeRemaining(RemainingTimeText(pending.Estimated));
    SetTimeElapsed(ElapsedTimeText(pending.Elapsed));
  }
  if (pending.Profile.Held)
    SetProfileProgress(pending.Profile.Progress, pending.Profile.Message);
  if (pending.Total.Held) {
    SetTotalProgress(pending.Total.Progress, pending.Total.Message);
    emit TotalShown(pending.Total.Progress);
  }
  if (pending.Item.Held)
    SetBackupProgress(pending.Item.Progress, pending.Item.Message);
}

void TfrmBackupProgress::ShowNextAtOnce()
{
  FShown.invalidate();
}

void TfrmBackupProgress::ProfileStarted(const QString& AProfileName)
{
  // What the previous profile still held back is shown before the next one begins, whose first
  // report is shown at once.
  ShowPending();
  ShowNextAtOnce();
  SetBackupProfile(QStringLiteral("Backup: %1").arg(AProfileName));
}

void TfrmBackupProgress::ProfileFinished(const QString& AProfileName)
{
  ShowPending();
  SetBackupProfile(QStringLiteral("Backup Complete: %1").arg(AProfileName));
}
