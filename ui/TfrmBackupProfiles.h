// SPDX-License-Identifier: GPL-3.0-or-later
// The backup profile editor: every field of one profile on five pages.
//
// Scalar fields are copied into the controls when the editor opens and back only on Ok. The entry
// lists, the programs to close, the e-mail templates and the profile's SMTP server are edited on
// the profile's own objects, so those changes stay in the profile even after Cancel; saving the
// profile is the caller's job.
#pragma once

#include "ui/TPluginCatalog.h"

#include <QDialog>

#include <memory>

class TAlertControls;
class TEntryListView;
class QCalendarWidget;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTreeWidget;
class TBackupProfile;
class TBackupProfileFiles;
class TDestinationControls;
class TProgramPicker;
class TfrmEmailDetails;
class TfrmSMTPDetails;

class TfrmBackupProfiles : public QDialog
{
  Q_OBJECT

public:
  // AProgramWindows picks and closes program windows for the "Active Programs" page; without it
  // the page lists and removes entries only. APlugins is the editor's own plug-in collection,
  // loaded only while the "Plugins" page shows; without it the page stays empty.
  TfrmBackupProfiles(TProgramPicker* AProgramWindows, std::unique_ptr<TPluginCatalog> APlugins,
                     QWidget* AParent = nullptr);
  ~TfrmBackupProfiles() override;

  // Edits the profile; QDialog::Accepted (1) when the user confirmed with Ok, the fields then
  // stored into it and, with "Default" ticked, its default fields saved as the user's defaults.
  [[nodiscard]] int Execute(TBackupProfile& ABackupProfile);

  // One list of source or exclusion entries with its buttons.
  struct TEntryList
  {
    QWidget* Page = nullptr;
    TEntryListView* ListView = nullptr;
    QPushButton* btnAddFile = nullptr;
    QPushButton* btnAddFolder = nullptr;
    QPushButton* btnRemove = nullptr;
    QPushButton* btnRemoveAll = nullptr;
    bool Exclusions = false;
  };

  QTabWidget* PageControl;
  QWidget* TabSheetGeneral;
  QWidget* TabSheetFiles;
  QWidget* TabSheetActivePrograms;
  QWidget* TabSheetLogging;
  QWidget* TabSheetPlugins;
  QTabWidget* PageControlFiles;
  QWidget* TabSheetDestination;
  QCheckBox* cbDefault;
  QPushButton* btnOk;
  QPushButton* btnCancel;

  // "General"
  QGroupBox* gbProfileInformation;
  QCheckBox* cbEnabled;
  QLineEdit* editName;
  QPlainTextEdit* memoDescription;
  QPushButton* btnLoadDefaults;
  QGroupBox* gbBackupAlerts;
  TAlertControls* Alerts;
  QCheckBox* cbCustomSMTP;
  QPushButton* btnSMTPDetails;
  QCalendarWidget* MonthCalendar;
  QLabel* lblLastBackup;

  // "Files and Folders"
  TEntryList Sources;
  TEntryList Exclusions;
  QGroupBox* gbDestination;
  TDestinationControls* Destination;

  // "Active Programs"
  QTreeWidget* ListViewActivePrograms;
  QPushButton* btnAddProgram;
  QPushButton* btnEditProgram;
  QPushButton* btnRemoveProgram;
  QPushButton* btnRemoveAllPrograms;
  QPushButton* btnTest;
  QCheckBox* cbCloseGracefully;

  // "Logging"
  QCheckBox* cbLogEmail;
  QPushButton* btnLogEmailDetails;
  QGroupBox* gbPreviousLog;
  QPlainTextEdit* memoLog;

  // "Plugins"
  QTreeWidget* ListViewPlugins;
  QPushButton* btnRefreshPlugins;
  QPushButton* btnConfigurePlugin;

  // The e-mail and SMTP dialogs the "Details..." buttons open.
  TfrmEmailDetails* frmEmailDetails;
  TfrmSMTPDetails* frmSMTPDetails;

private:
  QWidget* MakeGeneralPage();
  QWidget* MakeFilesPage();
  QWidget* MakeEntryPage(TEntryList& AList, bool AExclusions);
  QWidget* MakeDestinationPage();
  QWidget* MakeActiveProgramsPage();
  QWidget* MakeLoggingPage();
  QWidget* MakePluginsPage();

  // Opening: the profile into the controls, the last-backup texts, the previous log, the zip-type
  // rule and the lists.
  void ProfileToControls();
  void ControlsToProfile();
  void ShowLastBackup();
  void LoadPreviousLog();
  [[nodiscard]] bool CheckControls();
  void ShowDestinationPage();

  TBackupProfileFiles& EntriesOf(const TEntryList& AList) const;
  void FillEntryList(const TEntryList& AList);
  void FillActivePrograms();
  void FillPlugins();
  int ActiveProgramIndex(const QString& AWindowName) const;
  void UpdateActions();

  void OnOkClick();
  void OnLoadDefaultsClick();
  void OnAddFile(const TEntryList& AList);
  void OnAddFolder(const TEntryList& AList);
  void OnRemove(const TEntryList& AList);
  void OnRemoveAll(const TEntryList& AList);
  void OnAddProgram();
  void OnEditProgram();
  void OnRemoveProgram();
  void OnRemoveAllPrograms();
  void OnTestClick();
  void OnPageChange();
  void OnRefreshPlugins();
  void OnConfigurePlugin();
  void SetPluginsActive(bool AValue);

  TBackupProfile* FBackupProfile = nullptr;
  TProgramPicker* FProgramWindows;
  std::unique_ptr<TPluginCatalog> FPlugins;
  bool FPluginsActive = false;
};
