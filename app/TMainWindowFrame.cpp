// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TMainWindowFrame.h"

#include "app/MainActions.h"
#include "app/Pictures.h"

#include <QAction>
#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>

namespace {

// The banner at the top: a left-button press moves the borderless window.
class TLogoLabel : public QLabel
{
public:
  using QLabel::QLabel;

protected:
  void mousePressEvent(QMouseEvent* AEvent) override
  {
    if (AEvent->button() != Qt::LeftButton)
      return QLabel::mousePressEvent(AEvent);
    FManual = false;
    // The window manager moves it, as a title bar would; without one, follow the mouse here.
    QWindow* handle = window()->windowHandle();
    if (!handle || !handle->startSystemMove()) {
      FManual = true;
      FOffset = AEvent->globalPosition().toPoint() - window()->frameGeometry().topLeft();
    }
  }
  void mouseMoveEvent(QMouseEvent* AEvent) override
  {
    if (FManual && (AEvent->buttons() & Qt::LeftButton))
      window()->move(AEvent->globalPosition().toPoint() - FOffset);
  }
  void mouseReleaseEvent(QMouseEvent* AEvent) override
  {
    FManual = false;
    QLabel::mouseReleaseEvent(AEvent);
  }

private:
  bool FManual = false;
  QPoint FOffset;
};

} // namespace

TMainWindowFrame::TMainWindowFrame(QWidget* AParent)
  : QWidget(AParent, Qt::Window | Qt::FramelessWindowHint)
{
  setFixedSize(352, 165);

  imgLogo = new TLogoLabel(this);
  imgLogo->setPixmap(LogoPicture(QSize(352, 48)));
  imgLogo->setFixedHeight(48);

  lblShutdown = new QLabel(QStringLiteral("What do you want the computer to do?"), this);
  QFont heading = lblShutdown->font();
  heading.setBold(true);
  lblShutdown->setFont(heading);

  ComboBoxSelectBackup = new QComboBox(this);
  ComboBoxSelectBackup->setEditable(false);
  for (const TMainAction& action : MainActions)
    ComboBoxSelectBackup->addItem(QString::fromLatin1(action.Caption));
  ComboBoxSelectBackup->setCurrentIndex(0);

  bntOptions = new QPushButton(this);
  btnOk = new QPushButton(this);
  btnCancel = new QPushButton(this);
  btnOk->setDefault(true);
  // Enter on a focused button presses that button, as on any dialog.
  for (QPushButton* button : {bntOptions, btnOk, btnCancel})
    button->setAutoDefault(true);
  btnCancel->installEventFilter(this);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(bntOptions);
  buttons->addStretch();
  buttons->addWidget(btnOk);
  buttons->addWidget(btnCancel);

  auto* body = new QVBoxLayout;
  body->setContentsMargins(12, 8, 12, 10);
  body->addWidget(lblShutdown);
  body->addWidget(ComboBoxSelectBackup);
  body->addStretch();
  body->addLayout(buttons);

  auto* main = new QVBoxLayout(this);
  main->setContentsMargins(1, 1, 1, 1);
  main->setSpacing(0);
  main->addWidget(imgLogo);
  main->addLayout(body, 1);

  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

void TMainWindowFrame::BindButtons(QAction* AOptions, QAction* AOk, QAction* AHide)
{
  const auto bind = [](QPushButton* AButton, QAction* AAction) {
    AButton->setText(AAction->text());
    QObject::connect(AButton, &QPushButton::clicked, AAction, &QAction::trigger);
    QObject::connect(AAction, &QAction::changed, AButton,
                     [AButton, AAction] { AButton->setEnabled(AAction->isEnabled()); });
  };
  bind(bntOptions, AOptions);
  bind(btnOk, AOk);
  bind(btnCancel, AHide);
}

void TMainWindowFrame::paintEvent(QPaintEvent* AEvent)
{
  QWidget::paintEvent(AEvent);
  // Without a frame the window needs an edge of its own.
  QPainter painter(this);
  painter.setPen(palette().color(QPalette::Dark));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void TMainWindowFrame::keyPressEvent(QKeyEvent* AEvent)
{
  if (AEvent->modifiers() == Qt::NoModifier || AEvent->modifiers() == Qt::KeypadModifier) {
    if (AEvent->key() == Qt::Key_Return || AEvent->key() == Qt::Key_Enter) {
      if (btnOk->isEnabled())
        btnOk->click();
      return;
    }
    if (AEvent->key() == Qt::Key_Escape) {
      btnCancel->click();
      return;
    }
  }
  QWidget::keyPressEvent(AEvent);
}

bool TMainWindowFrame::eventFilter(QObject* AWatched, QEvent* AEvent)
{
  // Shift held while Cancel is released quits the program; the click itself still hides.
  if (AWatched == btnCancel && AEvent->type() == QEvent::MouseButtonRelease) {
    const auto* mouse = static_cast<QMouseEvent*>(AEvent);
    if (mouse->button() == Qt::LeftButton && mouse->modifiers() == Qt::ShiftModifier &&
        btnCancel->rect().contains(mouse->position().toPoint()))
      emit QuitRequested();
  }
  return QWidget::eventFilter(AWatched, AEvent);
}
