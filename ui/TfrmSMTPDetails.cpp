// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/TfrmSMTPDetails.h"

#include "profiles/TBackupProfileSMTPSettings.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

TfrmSMTPDetails::TfrmSMTPDetails(QWidget* AParent)
  : QDialog(AParent)
{
  setWindowTitle(QStringLiteral("SMTP Details"));
  gbSMTPDetails = new QGroupBox(QStringLiteral("SMTP Details"), this);
  editSMTPServer = new QLineEdit(gbSMTPDetails);
  editSMTPPort = new QSpinBox(gbSMTPDetails);
  editSMTPPort->setRange(0, 1000000);
  editUsername = new QLineEdit(gbSMTPDetails);
  editPassword = new QLineEdit(gbSMTPDetails);
  editPassword->setEchoMode(QLineEdit::Password);
  cbSecureConnection = new QCheckBox(QStringLiteral("Secure Connection"), gbSMTPDetails);
  cbSMTPAuthentication = new QCheckBox(QStringLiteral("SMTP Authentication"), gbSMTPDetails);

  auto* form = new QFormLayout(gbSMTPDetails);
  form->addRow(QStringLiteral("SMTP Server"), editSMTPServer);
  form->addRow(QStringLiteral("SMTP Port"), editSMTPPort);
  form->addRow(QStringLiteral("Username"), editUsername);
  form->addRow(QStringLiteral("Password"), editPassword);
  form->addRow(cbSecureConnection);
  form->addRow(cbSMTPAuthentication);

  btnOk = new QPushButton(QStringLiteral("Ok"), this);
  btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
  btnOk->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnOk);
  buttons->addWidget(btnCancel);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(gbSMTPDetails);
  layout->addLayout(buttons);
  resize(360, 0);

  connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool TfrmSMTPDetails::Execute(TBackupProfileSMTPSettings& ASMTPDetails)
{
  editSMTPServer->setText(ASMTPDetails.SMTPHostname());
  editSMTPPort->setValue(ASMTPDetails.SMTPPort());
  editUsername->setText(ASMTPDetails.Username());
  editPassword->setText(ASMTPDetails.Password());
  cbSecureConnection->setChecked(ASMTPDetails.SMTPSecure());
  cbSMTPAuthentication->setChecked(ASMTPDetails.SMTPAuthentication());
  editSMTPServer->setFocus();

  if (exec() != QDialog::Accepted)
    return false;
  ASMTPDetails.SetSMTPHostname(editSMTPServer->text());
  ASMTPDetails.SetSMTPPort(editSMTPPort->value());
  ASMTPDetails.SetUsername(editUsername->text());
  ASMTPDetails.SetPassword(editPassword->text());
  ASMTPDetails.SetSMTPSecure(cbSecureConnection->isChecked());
  ASMTPDetails.SetSMTPAuthentication(cbSMTPAuthentication->isChecked());
  return true;
}
