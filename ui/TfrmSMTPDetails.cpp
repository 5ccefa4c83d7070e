// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/TfrmSMTPDetails.h"

#include "ui/TSmtpServerFields.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfrmSMTPDetails::TfrmSMTPDetails(QWidget* AParent)
  : QDialog(AParent)
{
  setWindowTitle(QStringLiteral("SMTP Details"));
  gbSMTPDetails = new TSmtpServerFields(QStringLiteral("SMTP Details"), this);

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

bool TfrmSMTPDetails::Execute(TSmtpServer& ASMTPDetails)
{
  gbSMTPDetails->SetServer(ASMTPDetails);
  gbSMTPDetails->editHost->setFocus();
  if (exec() != QDialog::Accepted)
    return false;
  ASMTPDetails = gbSMTPDetails->Server();
  return true;
}
