// SPDX-License-Identifier: GPL-3.0-or-later
// The fields of a mail server in a framed group: the options' SMTP page and a profile's SMTP
// dialog show the same one.
#pragma once

#include "types/TSmtpServer.h"

#include <QGroupBox>

class QCheckBox;
class QLineEdit;
class QSpinBox;

class TSmtpServerFields : public QGroupBox
{
  Q_OBJECT

public:
  TSmtpServerFields(const QString& ACaption, QWidget* AParent);

  void SetServer(const TSmtpServer& AServer);
  TSmtpServer Server() const;

  QLineEdit* editHost;
  QSpinBox* editPort;
  QCheckBox* cbAuthentication;
  QLineEdit* editUsername;
  QLineEdit* editPassword;
  QCheckBox* cbSecure;
};
