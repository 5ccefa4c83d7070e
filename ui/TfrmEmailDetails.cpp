// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/TfrmEmailDetails.h"

#include "types/TEmailTemplate.h"
#include "ui/TMessageBox.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString CrLf = QStringLiteral("\r\n");

} // namespace

TfrmEmailDetails::TfrmEmailDetails(QWidget* AParent)
  : QDialog(AParent)
{
  setWindowTitle(QStringLiteral("Email Details"));
  lblHeader = new QLabel(QStringLiteral("Email Details"), this);
  QFont headerFont = lblHeader->font();
  headerFont.setBold(true);
  headerFont.setPointSizeF(headerFont.pointSizeF() * 1.3);
  lblHeader->setFont(headerFont);

  editSenderName = new QLineEdit(this);
  editSenderAddress = new QLineEdit(this);
  editRecipients = new QLineEdit(this);
  editSubject = new QLineEdit(this);
  memoMessage = new QPlainTextEdit(this);
  lblKeywordNote =
      new QLabel(QStringLiteral("Sender Name, Subject and Message can use keywords. (eg %profilename%)"), this);
  lblKeywordNote->setWordWrap(true);
  btnKeywords = new QPushButton(QStringLiteral("Keywords"), this);
  btnOk = new QPushButton(QStringLiteral("&Ok"), this);
  btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
  btnOk->setDefault(true);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Sender Name"), editSenderName);
  form->addRow(QStringLiteral("Sender Address"), editSenderAddress);
  form->addRow(QStringLiteral("Recipients"), editRecipients);
  form->addRow(QStringLiteral("Subject"), editSubject);
  form->addRow(QStringLiteral("Message"), memoMessage);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btnKeywords);
  buttons->addStretch();
  buttons->addWidget(btnOk);
  buttons->addWidget(btnCancel);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lblHeader);
  layout->addLayout(form, 1);
  layout->addWidget(lblKeywordNote);
  layout->addLayout(buttons);
  resize(480, 420);

  connect(btnOk, &QPushButton::clicked, this, &TfrmEmailDetails::OnOkClick);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(btnKeywords, &QPushButton::clicked, this, &TfrmEmailDetails::OnKeywordsClick);
}

QStringList TfrmEmailDetails::KeywordLines()
{
  return {QStringLiteral("%computername% - Computer name."),
          QStringLiteral("%username% - Currently logged in user."),
          QStringLiteral("%ipaddress% - Computer IP address."),
          QStringLiteral("%profilename% - Backup profile name."),
          QStringLiteral("%lastbackup% - Backup profile last backup."),
          QStringLiteral("%daysoverdue% - Backup profile days overdue."),
          QStringLiteral("%zipfile% - Backup profile zip file name."),
          QStringLiteral("%logfile% - Backup profile log file name."),
          QStringLiteral("%description% - Backup profile description."),
          QStringLiteral("%log% - Backup profile log file contents")};
}

bool TfrmEmailDetails::Execute(TEmailTemplate& AQuickEmail)
{
  editSenderName->setText(AQuickEmail.SenderName);
  editSenderAddress->setText(AQuickEmail.SenderAddress);
  editRecipients->setText(AQuickEmail.Recipients);
  editSubject->setText(AQuickEmail.Subject);
  // The body keeps CR LF line breaks; the memo works with bare line feeds.
  QString body = AQuickEmail.Body;
  body.replace(CrLf, QStringLiteral("\n"));
  memoMessage->setPlainText(body);
  editSenderName->setFocus();

  if (exec() != QDialog::Accepted)
    return false;
  AQuickEmail.SenderName = editSenderName->text();
  AQuickEmail.SenderAddress = editSenderAddress->text();
  AQuickEmail.Recipients = editRecipients->text();
  AQuickEmail.Subject = editSubject->text();
  AQuickEmail.Body = memoMessage->toPlainText().split(QLatin1Char('\n')).join(CrLf);
  return true;
}

void TfrmEmailDetails::OnOkClick()
{
  if (editSenderAddress->text().isEmpty()) {
    TMessageBox::Error(this, QStringLiteral("You must specify a Sender Address. (backup@example.com)"));
    editSenderAddress->setFocus();
    return;
  }
  accept();
}

void TfrmEmailDetails::OnKeywordsClick()
{
  TMessageBox::Information(this, KeywordLines().join(CrLf));
}
