// SPDX-License-Identifier: GPL-3.0-or-later
// Where a profile's archive goes and how it is written: zip type, system state, archive name,
// password and its confirmation, volume size, how many earlier archives are kept and compression
// level, with the rules that tie them
// together. The profile editor and the profile wizard both show these controls.
#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QCheckBox;
class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QSpinBox;
class QWidget;
class TBackupProfile;

class TDestinationControls : public QObject
{
  Q_OBJECT

public:
  struct TOptions
  {
    // The caption of the archive name's row.
    QString FileNameCaption;
    // The file dialog's filter, as "caption|pattern|caption|pattern".
    QString Filter;
    // The extension of a zip type the list does not know (nothing, or a default).
    QString UnknownTypeExtension;
    // The extension the file dialog proposes; empty: the zip type's own.
    QString BrowseExtension;
  };

  // The largest volume size in megabytes whose byte count a profile can hold.
  static constexpr int MaxSpanningMegabytes = 2047;
  static constexpr int MegaByte = 1048576;

  // Creates the controls as children of AParent and adds their rows to AForm. AProfileName names
  // the archive the file dialog proposes when none is given yet; it outlives this object.
  TDestinationControls(QWidget* AParent, QFormLayout* AForm, const QLineEdit* AProfileName, TOptions AOptions);

  static QString CompressionLevelCaption(int ALevel);

  // The profile's destination fields into the controls; the confirmation holds the password too
  // when AConfirmed, else it is left for the user to type. The zip-type rule is not applied.
  void LoadFrom(const TBackupProfile& AProfile, bool AConfirmed);
  void StoreTo(TBackupProfile& AProfile) const;

  // The extension of the chosen zip type, with its dot.
  QString ZipExtension() const;
  // Enables what the chosen zip type uses and gives the archive name the type's extension.
  void ApplyZipTypeRule();
  void ShowCompression(int APosition);

  // The checks before the profile is accepted; each tells the user what is wrong. AOnProblem, when
  // set, runs before a problem is shown (the editor turns to the destination page).
  [[nodiscard]] bool ConfirmFileName();
  [[nodiscard]] bool PasswordsMatch();
  std::function<void()> OnProblem;

  QComboBox* ComboBoxZipType;
  // "System State Backup": on this system, a tar file of what it takes to set the machine up
  // again (package selections, enabled units, crontab, /etc; engine/TSystemState.h), added to the
  // archive. It is offered for every archive type.
  QCheckBox* cbSystemState;
  QLineEdit* editZipFile;
  QPushButton* btnZipFile;
  QLineEdit* editPassword;
  QLineEdit* editConfirmPassword;
  QSpinBox* editSpanning;
  QSpinBox* editKeepArchives;
  QLabel* lblCompression;
  QSlider* TrackBarCompression;

private:
  void OnZipFileClick();
  void ReportProblem();

  QWidget* FParent;
  const QLineEdit* FProfileName;
  TOptions FOptions;
};
