// SPDX-License-Identifier: GPL-3.0-or-later
// The options dialog: the application's options, the backup profiles, the application log and
// starting at logon. Options change only on Ok; profile changes take effect at once.
#pragma once

#include "settings/TApplicationOptions.h"

#include <QDialog>

#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class TSmtpServerFields;
class QTabWidget;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;
class TBackupProfileManager;
class TFileManager;
class TLog;
class TProfileEditing;
class TProgramSettings;

class TfrmOptions : public QDialog
{
  Q_OBJECT

public:
  // One control shown for one option. A check box holds a Boolean, a spin box an Integer, a
  // drop-down list an Integer as its selected position (-1 for none), a text field a text or,
  // with a DefaultPort, an Integer written as DefaultPort when the text is not a port number.
  struct TOptionBinding
  {
    TOptionId Option;
    QWidget* Control;
    int DefaultPort = 0;
    // Shown only, never written back.
    bool ShownOnly = false;
  };

  // Everything given outlives the dialog. AActionCaptions are the main window's actions in the
  // order of its list; AProfileEditing creates and changes profiles of AManager.
  TfrmOptions(TProgramSettings& ASettings, TBackupProfileManager& AManager, TLog& ALog,
              TProfileEditing& AProfileEditing, TFileManager& AFileManager, const QStringList& AActionCaptions,
              QWidget* AParent = nullptr);
  ~TfrmOptions() override;

  // Shows the options modally. On Ok the controls are written into the options (saving the store
  // is the caller's) and starting at logon is switched; returns the dialog's result.
  int Execute();

  const std::vector<TOptionBinding>& Bindings() const { return FBindings; }
  // The check box bound to AOption, or null.
  QCheckBox* CheckBoxFor(TOptionId AOption) const;

  // The profile operations, also reached from the tool bar.
  void ProfileWizard();
  void NewProfile();
  void EditProfile();
  void RemoveProfile();
  void RemoveAllProfiles();
  // The selected profile's archive read back whole, or restored into a folder the user chooses.
  void VerifyArchive();
  void RestoreArchive();
  void RefreshLog();
  void BrowseToLog();

  QTabWidget* PageControl = nullptr;
  QCheckBox* cbLoadOnStartup = nullptr;
  QLineEdit* editPassword = nullptr;
  QCheckBox* cbRememberLastSelection = nullptr;
  QComboBox* ComboBoxSelectBackup = nullptr;

  QToolBar* ToolBarProfiles = nullptr;
  QAction* ActionProfileWizard = nullptr;
  QAction* ActionNewProfile = nullptr;
  QAction* ActionEditProfile = nullptr;
  QAction* ActionRemoveProfile = nullptr;
  QAction* ActionRemoveAllProfiles = nullptr;
  QAction* ActionVerifyArchive = nullptr;
  QAction* ActionRestoreArchive = nullptr;
  QTreeWidget* ListViewProfiles = nullptr;

  QTabWidget* PageControlConnectivity = nullptr;
  TSmtpServerFields* gbSMTPSettings = nullptr;
  QCheckBox* cbHTTPProxy = nullptr;
  QLineEdit* editHTTPHost = nullptr;
  QLineEdit* editHTTPPort = nullptr;
  QCheckBox* cbHTTPAuthentication = nullptr;
  QLineEdit* editHTTPUsername = nullptr;
  QLineEdit* editHTTPPassword = nullptr;
  QCheckBox* cbSOCKSProxy = nullptr;
  QLineEdit* editSOCKSHost = nullptr;
  QLineEdit* editSOCKSPort = nullptr;
  QComboBox* ComboBoxSOCKSVersion = nullptr;
  QCheckBox* cbSOCKSAuthentication = nullptr;
  QLineEdit* editSOCKSUsername = nullptr;
  QLineEdit* editSOCKSPassword = nullptr;

  QAction* ActionRefreshLog = nullptr;
  QAction* ActionBrowseToLog = nullptr;
  QPlainTextEdit* memoLog = nullptr;

  QTabWidget* PageControlAdvanced = nullptr;
  QCheckBox* cbDebug = nullptr;
  QLineEdit* editUpdateURL = nullptr;
  QCheckBox* cbAutomaticUpdate = nullptr;
  QSpinBox* editUpdateInterval = nullptr;
  QLineEdit* editApplicationName = nullptr;

  QPushButton* btnOk = nullptr;
  QPushButton* btnCancel = nullptr;

protected:
  void showEvent(QShowEvent* AEvent) override;

private:
  QWidget* CreateGeneralPage();
  QWidget* CreateProfilesPage();
  QWidget* CreateConnectivityPage();
  QWidget* CreateLogPage();
  QWidget* CreateAdvancedPage();
  void Bind(TOptionId AOption, QWidget* AControl, int ADefaultPort = 0, bool AShownOnly = false);

  void LoadControls();
  void StoreControls();
  void FillProfileList();
  // The selected row's profile name, or empty after telling the user to select one.
  QString SelectedProfile();
  void ProfileItemChanged(QTreeWidgetItem* AItem, int AColumn);

  TProgramSettings& FSettings;
  TBackupProfileManager& FManager;
  TLog& FLog;
  TProfileEditing& FProfileEditing;
  TFileManager& FFileManager;
  std::vector<TOptionBinding> FBindings;
  bool FFilling = false;
};
