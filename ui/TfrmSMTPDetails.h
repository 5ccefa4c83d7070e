// SPDX-License-Identifier: GPL-3.0-or-later
// Edits the SMTP server a profile's e-mails go out through.
#pragma once

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QSpinBox;
class TBackupProfileSMTPSettings;

class TfrmSMTPDetails : public QDialog
{
  Q_OBJECT

public:
  explicit TfrmSMTPDetails(QWidget* AParent = nullptr);

  // Shows the settings and copies them back when the user confirms with Ok.
  [[nodiscard]] bool Execute(TBackupProfileSMTPSettings& ASMTPDetails);

  QGroupBox* gbSMTPDetails;
  QLineEdit* editSMTPServer;
  QSpinBox* editSMTPPort;
  QLineEdit* editUsername;
  QLineEdit* editPassword;
  QCheckBox* cbSecureConnection;
  QCheckBox* cbSMTPAuthentication;
  QPushButton* btnOk;
  QPushButton* btnCancel;
};
