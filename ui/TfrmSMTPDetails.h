// SPDX-License-Identifier: GPL-3.0-or-later
// Edits the SMTP server a profile's e-mails go out through.
#pragma once

#include <QDialog>

class QPushButton;
class TSmtpServerFields;
struct TSmtpServer;

class TfrmSMTPDetails : public QDialog
{
  Q_OBJECT

public:
  explicit TfrmSMTPDetails(QWidget* AParent = nullptr);

  // Shows the settings and copies them back when the user confirms with Ok.
  [[nodiscard]] bool Execute(TSmtpServer& ASMTPDetails);

  TSmtpServerFields* gbSMTPDetails;
  QPushButton* btnOk;
  QPushButton* btnCancel;
};
