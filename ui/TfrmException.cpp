// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/TfrmException.h"

#include "sysinfo/Common.h"
#include "ui/TMessageBox.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QTextEdit>
#include <QVBoxLayout>

namespace {

// A line of text read from the bottom up, along the window's left edge.
class TVerticalLabel : public QWidget
{
public:
  TVerticalLabel(const QString& AText, QWidget* AParent)
    : QWidget(AParent)
    , FText(AText)
  {
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);
    setFixedWidth(fontMetrics().height() + 4);
    setMinimumHeight(fontMetrics().horizontalAdvance(FText) + 8);
  }

protected:
  void paintEvent(QPaintEvent*) override
  {
    QPainter painter(this);
    painter.translate(0, height());
    painter.rotate(-90);
    painter.drawText(QRect(0, 0, height(), width()), Qt::AlignCenter, FText);
  }

private:
  QString FText;
};

} // namespace

TfrmException::TfrmException(QWidget* AParent)
  : QDialog(AParent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
  setObjectName(QStringLiteral("frmException"));
  setWindowTitle(QStringLiteral("Error"));
  setAttribute(Qt::WA_DeleteOnClose, false);

  auto* picture = new QLabel(this);
  picture->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(48, 48));
  picture->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
  auto* sorry = new TVerticalLabel(QStringLiteral("Sorry for the inconvenience"), this);

  memoException = new QTextEdit(this);
  memoException->setReadOnly(true);
  memoException->setLineWrapMode(QTextEdit::NoWrap);
  memoException->setMinimumSize(420, 160);
  memoInformation = new QTextEdit(this);
  memoInformation->setReadOnly(true);
  memoInformation->setFrameShape(QFrame::NoFrame);
  memoInformation->setFocusPolicy(Qt::NoFocus);
  memoInformation->viewport()->setAutoFillBackground(false);
  memoInformation->setFixedHeight(3 * fontMetrics().lineSpacing() + 8);

  btnSend = new QPushButton(QStringLiteral("Terminate"), this);
  btnContinue = new QPushButton(QStringLiteral("Continue"), this);
  btnSend->setDefault(true);
  connect(btnSend, &QPushButton::clicked, this, &TfrmException::btnSendClick);
  connect(btnContinue, &QPushButton::clicked, this, [this] { done(ecContinue); });

  auto* side = new QVBoxLayout;
  side->addWidget(picture);
  side->addWidget(sorry, 1, Qt::AlignHCenter);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btnSend);
  buttons->addStretch();
  buttons->addWidget(btnContinue);
  auto* body = new QVBoxLayout;
  body->addWidget(memoException, 1);
  body->addWidget(memoInformation);
  body->addLayout(buttons);
  auto* main = new QHBoxLayout(this);
  main->addLayout(side);
  main->addLayout(body, 1);
}

TfrmException::TChoice TfrmException::Execute(const QObject* ASender, const QString& AMessage,
                                              const QString& AClassName)
{
  const QString sender = ASender ? QString::fromLatin1(ASender->metaObject()->className()) : QString();
  memoException->setPlainText(AMessage + QStringLiteral("\n\nSender Class: ") + sender + QStringLiteral("\nClass: ") +
                              AClassName);
  memoInformation->setPlainText(QStringLiteral("We apologize for this inconvenience, press continue to attempt\n"
                                               "recovery from the error or press terminate to exit the application."));
  memoException->setFocus();
  // Esc (reject) is Continue.
  return exec() == ecTerminate ? ecTerminate : ecContinue;
}

void TfrmException::btnSendClick()
{
  if (TMessageBox::Confirmation(this, QStringLiteral("Terminating %1 will loose any unsaved changes, are you sure you "
                                                     "want to continue?")
                                          .arg(ApplicationTitle())))
    done(ecTerminate);
}
