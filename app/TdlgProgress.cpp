// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TdlgProgress.h"

#include "sysinfo/TimeTexts.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QScreen>

namespace {

constexpr int FrameCount = 10;

// One of the ten 32 by 32 frames: a ring of dots with the bright one moving round.
QPixmap AnimationFrame(int AFrame, const QColor& AColour)
{
  QPixmap frame(32, 32);
  frame.fill(Qt::transparent);
  QPainter painter(&frame);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.translate(16, 16);
  for (int i = 0; i < FrameCount; ++i) {
    // The dot of this frame is brightest; the ones behind it fade.
    const int age = (AFrame - i + FrameCount) % FrameCount;
    QColor dot = AColour;
    dot.setAlphaF(1.0 - 0.085 * age);
    painter.setBrush(dot);
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPointF(0, -11), 3.0, 3.0);
    painter.rotate(360.0 / FrameCount);
  }
  return frame;
}

} // namespace

TdlgProgress::TdlgProgress(QWidget* AParent)
  : QWidget(AParent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
  setObjectName(QStringLiteral("dlgProgress"));
  setWindowTitle(QStringLiteral("Please Wait..."));
  setAttribute(Qt::WA_DeleteOnClose);
  setFixedSize(363, 137);
  setAutoFillBackground(true);

  lblCaption = new QLabel(QStringLiteral("Please Wait..."), this);
  lblCaption->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  imgProgress = new QLabel(this);
  imgProgress->setFixedSize(32, 32);
  progressWaiting = new QProgressBar(this);
  progressWaiting->setRange(0, 0); // a moving bar for work without measurable progress
  progressWaiting->setTextVisible(false);
  progressNormal = new QProgressBar(this);
  progressNormal->setRange(0, 100);
  progressNormal->setTextVisible(false);
  lblTimeElapsed = new QLabel(QStringLiteral("Calculating..."), this);
  lblTimeRemaining = new QLabel(QStringLiteral("Calculating..."), this);

  auto* layout = new QGridLayout(this);
  layout->addWidget(imgProgress, 0, 0, 2, 1, Qt::AlignTop);
  layout->addWidget(lblCaption, 0, 1, 1, 2);
  layout->addWidget(progressWaiting, 1, 1, 1, 2);
  layout->addWidget(progressNormal, 2, 1, 1, 2);
  layout->addWidget(lblTimeElapsed, 3, 1);
  layout->addWidget(lblTimeRemaining, 3, 2);
  layout->setColumnStretch(1, 1);
  layout->setColumnStretch(2, 1);

  FAnimation.setInterval(100);
  connect(&FAnimation, &QTimer::timeout, this, &TdlgProgress::NextFrame);
  NextFrame();

  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

void TdlgProgress::NextFrame()
{
  FFrame = (FFrame + 1) % FrameCount;
  imgProgress->setPixmap(AnimationFrame(FFrame, palette().color(QPalette::Highlight)));
}

void TdlgProgress::Show(const QString& ACaption, TProgressStyle AProgressStyle)
{
  lblCaption->setText(ACaption);
  lblTimeElapsed->hide();
  lblTimeRemaining->hide();
  progressWaiting->hide();
  progressNormal->hide();
  progressNormal->setValue(100);
  if (AProgressStyle == psNormal) {
    progressNormal->setValue(0);
    progressNormal->show();
    if (FShowEstimatedTime) {
      lblTimeElapsed->show();
      lblTimeRemaining->show();
      UpdateTimeRemaining(0, 0);
      FProcessTimer.Start(static_cast<std::uint32_t>(progressNormal->maximum()));
    }
  } else if (AProgressStyle == psWaiting) {
    progressWaiting->show();
  }
  show();
  // Painted at once: the caller works on this thread and turns no event loop meanwhile.
  repaint();
}

void TdlgProgress::Progress(int AProgress, const QString& ACaption)
{
  if (!ACaption.isEmpty())
    lblCaption->setText(ACaption);
  if (FShowEstimatedTime) {
    FProcessTimer.UpdateProgress(static_cast<std::uint32_t>(qMax(AProgress, 0)));
    UpdateTimeRemaining(FProcessTimer.EstimatedTime(), FProcessTimer.ElapsedTime());
  }
  progressNormal->setValue(AProgress);
  repaint();
}

void TdlgProgress::Update()
{
  repaint();
}

void TdlgProgress::UpdateTimeRemaining(TDateTime AEstimatedTime, TDateTime AElapsedTime)
{
  lblTimeRemaining->setText(RemainingTimeText(AEstimatedTime));
  lblTimeElapsed->setText(ElapsedTimeText(AElapsedTime));
}

void TdlgProgress::showEvent(QShowEvent* AEvent)
{
  FAnimation.start();
  QWidget::showEvent(AEvent);
}

void TdlgProgress::hideEvent(QHideEvent* AEvent)
{
  FAnimation.stop();
  QWidget::hideEvent(AEvent);
}
