// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/TDestinationControls.h"

#include "profiles/TBackupProfile.h"
#include "sysinfo/Common.h"
#include "types/SharedTypes.h"
#include "ui/TFileDialog.h"
#include "ui/TMessageBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>

#include <algorithm>

TDestinationControls::TDestinationControls(QWidget* AParent, QFormLayout* AForm, const QLineEdit* AProfileName,
                                           TOptions AOptions)
  : QObject(AParent)
  , FParent(AParent)
  , FProfileName(AProfileName)
  , FOptions(std::move(AOptions))
{
  ComboBoxZipType = new QComboBox(AParent);
  ComboBoxZipType->addItems({QStringLiteral("Zip"), QStringLiteral("Seven Zip"), QStringLiteral("NT Backup")});
  cbSystemState = new QCheckBox(QStringLiteral("System State Backup"), AParent);
  editZipFile = new QLineEdit(AParent);
  btnZipFile = new QPushButton(QStringLiteral("..."), AParent);
  btnZipFile->setToolTip(QStringLiteral("Backup Destination"));
  editPassword = new QLineEdit(AParent);
  editPassword->setEchoMode(QLineEdit::Password);
  editConfirmPassword = new QLineEdit(AParent);
  editConfirmPassword->setEchoMode(QLineEdit::Password);
  editSpanning = new QSpinBox(AParent);
  editSpanning->setRange(0, MaxSpanningMegabytes);
  editKeepArchives = new QSpinBox(AParent);
  editKeepArchives->setRange(0, TBackupProfile::MaxKeepArchives);
  editKeepArchives->setSpecialValueText(QStringLiteral("replace the archive each time"));
  editKeepArchives->setToolTip(QStringLiteral("Earlier archives are kept beside the newest, named after the time "
                                              "they were written; the oldest beyond this number are deleted."));
  lblCompression = new QLabel(QStringLiteral("Compression Level:"), AParent);
  TrackBarCompression = new QSlider(Qt::Horizontal, AParent);
  TrackBarCompression->setRange(0, 4);
  TrackBarCompression->setTickPosition(QSlider::TicksBelow);
  TrackBarCompression->setPageStep(1);

  auto* zipFile = new QHBoxLayout;
  zipFile->addWidget(editZipFile, 1);
  zipFile->addWidget(btnZipFile);
  AForm->addRow(QStringLiteral("Zip Type"), ComboBoxZipType);
  AForm->addRow(QString(), cbSystemState);
  AForm->addRow(FOptions.FileNameCaption, zipFile);
  AForm->addRow(QStringLiteral("Password"), editPassword);
  AForm->addRow(QStringLiteral("Confirm Password"), editConfirmPassword);
  AForm->addRow(QStringLiteral("Spanning (MB)"), editSpanning);
  AForm->addRow(QStringLiteral("Keep previous archives:"), editKeepArchives);
  AForm->addRow(lblCompression);
  AForm->addRow(TrackBarCompression);

  connect(ComboBoxZipType, &QComboBox::currentIndexChanged, this, &TDestinationControls::ApplyZipTypeRule);
  connect(btnZipFile, &QPushButton::clicked, this, &TDestinationControls::OnZipFileClick);
  connect(TrackBarCompression, &QSlider::valueChanged, this, &TDestinationControls::ShowCompression);
}

QString TDestinationControls::CompressionLevelCaption(int ALevel)
{
  switch (ALevel) {
  case 0:
    return QStringLiteral("None");
  case 1:
    return QStringLiteral("Low");
  case 2:
    return QStringLiteral("Normal");
  case 3:
    return QStringLiteral("High");
  case 4:
    return QStringLiteral("Maximum (recommended)");
  default:
    return QStringLiteral("Unknown");
  }
}

void TDestinationControls::LoadFrom(const TBackupProfile& AProfile, bool AConfirmed)
{
  {
    const QSignalBlocker block(ComboBoxZipType);
    const int zipType = static_cast<int>(AProfile.ZipType());
    // A stored kind the list does not know shows no item and is kept when stored back.
    ComboBoxZipType->setCurrentIndex(zipType >= 0 && zipType < ComboBoxZipType->count() ? zipType : -1);
  }
  cbSystemState->setChecked(AProfile.SystemState());
  editPassword->setText(AProfile.Password());
  editConfirmPassword->setText(AConfirmed ? AProfile.Password() : QString());
  editZipFile->setText(AProfile.ZipFile());
  // A volume size beyond what the profile can hold (a wrapped, negative count) opens clamped.
  editSpanning->setValue(std::clamp(AProfile.SpanningSize() / MegaByte, 0, MaxSpanningMegabytes));
  editKeepArchives->setValue(AProfile.KeepArchives());
  TrackBarCompression->setValue(static_cast<int>(AProfile.CompressionLevel()));
  ShowCompression(TrackBarCompression->value());
}

void TDestinationControls::StoreTo(TBackupProfile& AProfile) const
{
  if (ComboBoxZipType->currentIndex() >= 0)
    AProfile.SetZipType(static_cast<TZipType>(ComboBoxZipType->currentIndex()));
  AProfile.SetSystemState(cbSystemState->isChecked());
  AProfile.SetPassword(editPassword->text());
  AProfile.SetZipFile(editZipFile->text());
  AProfile.SetSpanningSize(editSpanning->value() * MegaByte);
  AProfile.SetKeepArchives(editKeepArchives->value());
  AProfile.SetCompressionLevel(static_cast<TCompressionLevel>(TrackBarCompression->value()));
}

QString TDestinationControls::ZipExtension() const
{
  switch (ComboBoxZipType->currentIndex()) {
  case zZip:
    return QStringLiteral(".zip");
  case zSeven:
    return QStringLiteral(".7z");
  case zNTBackup:
    return QStringLiteral(".bkf");
  default:
    return FOptions.UnknownTypeExtension;
  }
}

void TDestinationControls::ApplyZipTypeRule()
{
  cbSystemState->setEnabled(true);
  editPassword->setEnabled(true);
  editConfirmPassword->setEnabled(true);
  TrackBarCompression->setEnabled(true);
  editSpanning->setEnabled(true);
  editKeepArchives->setEnabled(true);
  switch (ComboBoxZipType->currentIndex()) {
  case zZip:
    editSpanning->setEnabled(false);
    break;
  case zSeven:
    break;
  case zNTBackup:
    editPassword->setEnabled(false);
    editConfirmPassword->setEnabled(false);
    TrackBarCompression->setEnabled(false);
    editSpanning->setEnabled(false);
    // NT Backup files are replaced; only ZIP and 7z archives are kept.
    editKeepArchives->setEnabled(false);
    break;
  default:
    return;
  }
  editZipFile->setText(ChangeFileExt(editZipFile->text(), ZipExtension()));
}

void TDestinationControls::ShowCompression(int APosition)
{
  lblCompression->setText(QStringLiteral("Compression Level: ") + CompressionLevelCaption(APosition));
}

void TDestinationControls::OnZipFileClick()
{
  const QString extension = FOptions.BrowseExtension.isEmpty() ? ZipExtension() : FOptions.BrowseExtension;
  QString proposed = editZipFile->text();
  if (proposed.isEmpty() && !FProfileName->text().isEmpty())
    proposed = FProfileName->text() + extension;
  const QString fileName =
      TFileDialog::GetSaveFileName(FParent, QStringLiteral("Backup Destination"), proposed,
                                   TFileDialog::FilterFromPairs(FOptions.Filter), extension.mid(1));
  if (!fileName.isEmpty())
    editZipFile->setText(fileName);
}

void TDestinationControls::ReportProblem()
{
  if (OnProblem)
    OnProblem();
}

bool TDestinationControls::ConfirmFileName()
{
  const QString fileName = editZipFile->text();
  if (CanCreateFile(fileName))
    return true;
  ReportProblem();
  return TMessageBox::Question(
      FParent, TMessageBox::mkWarning,
      QStringLiteral("\"%1\" does not appear to be a valid filename, do you want to continue?").arg(fileName));
}

bool TDestinationControls::PasswordsMatch()
{
  if (editPassword->text() == editConfirmPassword->text())
    return true;
  ReportProblem();
  TMessageBox::Warning(FParent, QStringLiteral("Password's do not match"));
  return false;
}
