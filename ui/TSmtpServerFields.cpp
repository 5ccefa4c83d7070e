// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/TSmtpServerFields.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QSpinBox>

TSmtpServerFields::TSmtpServerFields(const QString& ACaption, QWidget* AParent)
  : QGroupBox(ACaption, AParent)
  , editHost(new QLineEdit(this))
  , editPort(new QSpinBox(this))
  , cbAuthentication(new QCheckBox(QStringLiteral("SMTP Authentication"), this))
  , editUsername(new QLineEdit(this))
  , editPassword(new QLineEdit(this))
  , cbSecure(new QCheckBox(QStringLiteral("Secure Connection"), this))
{
  editPort->setRange(0, 1000000);
  editPassword->setEchoMode(QLineEdit::Password);
  auto* form = new QFormLayout(this);
  form->addRow(QStringLiteral("SMTP Server"), editHost);
  form->addRow(QStringLiteral("SMTP Port"), editPort);
  form->addRow(cbAuthentication);
  form->addRow(QStringLiteral("Username"), editUsername);
  form->addRow(QStringLiteral("Password"), editPassword);
  form->addRow(cbSecure);
}

void TSmtpServerFields::SetServer(const TSmtpServer& AServer)
{
  editHost->setText(AServer.Hostname);
  editPort->setValue(AServer.Port);
  cbAuthentication->setChecked(AServer.Authentication);
  editUsername->setText(AServer.Username);
  editPassword->setText(AServer.Password);
  cbSecure->setChecked(AServer.Secure);
}

TSmtpServer TSmtpServerFields::Server() const
{
  return {.Hostname = editHost->text(),
          .Port = editPort->value(),
          .Authentication = cbAuthentication->isChecked(),
          .Secure = cbSecure->isChecked(),
          .Username = editUsername->text(),
          .Password = editPassword->text()};
}
