// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/TAlertControls.h"

#include "profiles/TBackupProfile.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

#include <algorithm>
#include <cstring>

TAlertControls::TAlertControls(QWidget* AParent, const QString& AShowCaption)
  : QObject(AParent)
  , cbShowAlerts(new QCheckBox(AShowCaption, AParent))
  , lblAlertDays(new QLabel(AParent))
  , TrackBarAlertDays(new QSlider(Qt::Horizontal, AParent))
  , cbAlertEmail(new QCheckBox(QStringLiteral("Send Alert E-Mail"), AParent))
  , btnAlertEmailDetails(new QPushButton(QStringLiteral("Details..."), AParent))
{
  const auto rows = TBackupProfile::StoredValues();
  const auto days = std::find_if(rows.begin(), rows.end(), [](const TStoredField<TBackupProfile>& ARow) {
    return std::strcmp(ARow.Name, "AlertDays") == 0;
  });
  TrackBarAlertDays->setRange(days->Min, days->Max);
  TrackBarAlertDays->setTickPosition(QSlider::TicksBelow);
  TrackBarAlertDays->setValue(days->Default);
  lblAlertDays->setWordWrap(true);
  ShowAlertDays(TrackBarAlertDays->value());
  connect(TrackBarAlertDays, &QSlider::valueChanged, this, &TAlertControls::ShowAlertDays);
}

void TAlertControls::LoadFrom(const TBackupProfile& AProfile)
{
  cbShowAlerts->setChecked(AProfile.ShowAlerts());
  TrackBarAlertDays->setValue(AProfile.AlertDays());
  ShowAlertDays(TrackBarAlertDays->value());
  cbAlertEmail->setChecked(AProfile.AlertEmailEnabled());
}

void TAlertControls::StoreTo(TBackupProfile& AProfile) const
{
  AProfile.SetShowAlerts(cbShowAlerts->isChecked());
  AProfile.SetAlertDays(TrackBarAlertDays->value());
  AProfile.SetAlertEmailEnabled(cbAlertEmail->isChecked());
}

void TAlertControls::ShowAlertDays(int ADays)
{
  lblAlertDays->setText(QStringLiteral("Alert if backup has not been performed in the last %1 day(s)").arg(ADays));
}
