// SPDX-License-Identifier: GPL-3.0-or-later
// A profile's overdue alert: whether it is on, after how many days, and the alert e-mail with its
// "Details..." button. The profile editor and the profile wizard show the same controls, each in
// its own layout.
#pragma once

#include <QObject>

class QCheckBox;
class QLabel;
class QPushButton;
class QSlider;
class QWidget;
class TBackupProfile;

class TAlertControls : public QObject
{
  Q_OBJECT

public:
  // Creates the controls as children of AParent; AShowCaption is the caption of the on/off box.
  TAlertControls(QWidget* AParent, const QString& AShowCaption);

  void LoadFrom(const TBackupProfile& AProfile);
  void StoreTo(TBackupProfile& AProfile) const;

  QCheckBox* cbShowAlerts;
  QLabel* lblAlertDays;
  // The days the editor offers, as the profile's table of stored values gives them.
  QSlider* TrackBarAlertDays;
  QCheckBox* cbAlertEmail;
  QPushButton* btnAlertEmailDetails;

private:
  void ShowAlertDays(int ADays);
};
