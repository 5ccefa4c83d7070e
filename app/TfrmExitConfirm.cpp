// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TfrmExitConfirm.h"

#include "app/Pictures.h"
#include "sysinfo/TExitWindows.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

TfrmExitConfirm::TfrmExitConfirm(QWidget* AParent)
  : QDialog(AParent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
  setObjectName(QStringLiteral("frmExitConfirm"));
  setWindowTitle(QStringLiteral("Exit Windows Confim"));
  setFixedSize(360, 150);

  imgShutdown = new QLabel(this);
  imgShutdown->setPixmap(ShutdownPicture(48));
  imgShutdown->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

  memoAlert = new QTextEdit(this);
  memoAlert->setReadOnly(true);
  memoAlert->setFrameShape(QFrame::NoFrame);
  memoAlert->setFocusPolicy(Qt::NoFocus);
  memoAlert->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  memoAlert->viewport()->setAutoFillBackground(false);

  btnOk = new QPushButton(QStringLiteral("Ok"), this);
  btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
  btnOk->setDefault(true);
  connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

  TimerConfirm.setInterval(1000);
  connect(&TimerConfirm, &QTimer::timeout, this, &TfrmExitConfirm::TimerConfirmTimer);

  auto* top = new QHBoxLayout;
  top->addWidget(imgShutdown);
  top->addWidget(memoAlert, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnOk);
  buttons->addWidget(btnCancel);
  buttons->addStretch();
  auto* main = new QVBoxLayout(this);
  main->addLayout(top, 1);
  main->addLayout(buttons);

  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

QString TfrmExitConfirm::ExitVerb(TExitParameter AExitParameter)
{
  return TExitWindows::ExitVerb(AExitParameter);
}

bool TfrmExitConfirm::Execute(TExitParameter AExitParameter, int ATimeOut)
{
  TimerConfirm.stop();
  FTimeOut = ATimeOut;
  // A second use must not start with the count the previous one ended on.
  btnOk->setText(QStringLiteral("Ok"));
  memoAlert->setPlainText(
      QStringLiteral("WARNING\n\nWindows will %1 in %2 second(s)...").arg(ExitVerb(AExitParameter)).arg(ATimeOut));
  QTextCursor cursor(memoAlert->document());
  cursor.select(QTextCursor::Document);
  QTextBlockFormat centred;
  centred.setAlignment(Qt::AlignCenter);
  cursor.mergeBlockFormat(centred);
  btnOk->setFocus();

  const int result = exec();
  TimerConfirm.stop();
  return result == QDialog::Accepted;
}

void TfrmExitConfirm::showEvent(QShowEvent* AEvent)
{
  QDialog::showEvent(AEvent);
  TimerConfirm.start();
}

void TfrmExitConfirm::TimerConfirmTimer()
{
  if (FTimeOut <= 0) {
    TimerConfirm.stop();
    accept();
    return;
  }
  --FTimeOut;
  btnOk->setText(QStringLiteral("Ok (%1)").arg(FTimeOut));
  raise();
  activateWindow();
}
