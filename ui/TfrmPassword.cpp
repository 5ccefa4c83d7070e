// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/TfrmPassword.h"

#include "sysinfo/TFormatSettings.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

namespace {

constexpr int DefaultRetries = 3;

} // namespace

TfrmPassword::TfrmPassword(QWidget* AParent)
  : QDialog(AParent)
{
  setObjectName(QStringLiteral("frmPassword"));
  setWindowTitle(QStringLiteral("Password"));
  setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

  imgLock = new QLabel(this);
  imgLock->setObjectName(QStringLiteral("imgLock"));
  const QIcon lock =
      QIcon::fromTheme(QStringLiteral("dialog-password"), style()->standardIcon(QStyle::SP_MessageBoxWarning));
  imgLock->setPixmap(lock.pixmap(48, 48));
  imgLock->setAlignment(Qt::AlignTop);

  lblPasswordCaption = new QLabel(QStringLiteral("Please enter your password"), this);
  lblPasswordCaption->setObjectName(QStringLiteral("lblPasswordCaption"));
  lblPasswordCaption->setWordWrap(true);

  editPassword = new QLineEdit(this);
  editPassword->setObjectName(QStringLiteral("editPassword"));
  editPassword->setEchoMode(QLineEdit::Password);
  editPassword->setMinimumWidth(220);

  btnOk = new QPushButton(QStringLiteral("Ok"), this);
  btnOk->setObjectName(QStringLiteral("btnOk"));
  btnOk->setDefault(true);
  btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnOk);
  buttons->addWidget(btnCancel);
  auto* layout = new QGridLayout(this);
  layout->addWidget(imgLock, 0, 0, 2, 1);
  layout->addWidget(lblPasswordCaption, 0, 1);
  layout->addWidget(editPassword, 1, 1);
  layout->addLayout(buttons, 2, 0, 1, 2);
  setFixedSize(sizeHint());
}

bool TfrmPassword::SamePassword(const QString& ATyped, const QString& ARequired)
{
  const QLocale& locale = TFormatSettings::Current().Locale();
  return locale.toLower(ATyped) == locale.toLower(ARequired);
}

bool TfrmPassword::Execute(const QString& AMessage, const QString& ARequiredPassword, int ARetries)
{
  lblPasswordCaption->setText(AMessage);
  const int attempts = ARetries <= 0 ? DefaultRetries : ARetries;
  for (int attempt = 0; attempt < attempts; ++attempt) {
    if (exec() != QDialog::Accepted)
      return false;
    if (SamePassword(editPassword->text(), ARequiredPassword)) {
      editPassword->clear();
      return true;
    }
  }
  editPassword->clear();
  return false;
}

void TfrmPassword::showEvent(QShowEvent* AEvent)
{
  QDialog::showEvent(AEvent);
  editPassword->clear();
  editPassword->setFocus();
  if (const QScreen* screen = this->screen())
    move(screen->availableGeometry().center() - rect().center());
}
