// SPDX-License-Identifier: GPL-3.0-or-later
// Fills a new backup profile page by page: it looks at the mail programs, browsers and user folders
// of this computer and proposes their data as the profile's include entries.
#pragma once

#include "sysinfo/TBrowserApplicationDetails.h"
#include "sysinfo/TEmailApplicationDetails.h"

#include <QDialog>

#include <memory>

class TAlertControls;
class TEntryListView;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class TBackupProfile;
class TDestinationControls;
class TWizardProgress;
class TfrmEmailDetails;
class TfrmSMTPDetails;

class TfrmBackupProfileWizard : public QDialog
{
  Q_OBJECT

public:
  enum TPage : int {
    PageWelcome,
    PageProfileDetails,
    PageApplicationDetails,
    PageIncludedFilesFolders,
    PageExcludedFilesFolders,
    PageBackupDestination,
    PageBackupAlerts,
    PageAdvanced,
    PageComplete,
    PageCount
  };

  // ASources and AProgress outlive the wizard.
  TfrmBackupProfileWizard(const TSystemSources& ASources, TWizardProgress& AProgress, QWidget* AParent = nullptr);
  ~TfrmBackupProfileWizard() override;

  // Runs the wizard from its first page on the profile; on Finish the controls are copied back and
  // the result is true. Include entries are written into the profile while the wizard runs.
  [[nodiscard]] bool Execute(TBackupProfile& ABackupProfile);

  TPage CurrentPage() const;
  bool PageEnabled(TPage APage) const { return FPageEnabled[APage]; }
  QWidget* Page(TPage APage) const;
  // The page's header texts.
  static QString PageTitle(TPage APage);
  static QString PageSubtitle(TPage APage);

  QLabel* lblTitle;
  QLabel* lblSubtitle;
  QStackedWidget* PageControl;
  QPushButton* btnBack;
  QPushButton* btnNext;
  QPushButton* btnFinish;
  QPushButton* btnCancel;

  QCheckBox* cbAdvanced;
  QCheckBox* cbEnabled;
  QLineEdit* editName;
  QPlainTextEdit* memoDescription;

  QCheckBox* cbOutlook;
  QCheckBox* cbOutlookExpress;
  QCheckBox* cbWindowsMail;
  QCheckBox* cbThunderbird;
  QCheckBox* cbEvolution;
  QCheckBox* cbInternetExplorer;
  QCheckBox* cbFirefox;
  QComboBox* ComboBoxFirefoxProfile;
  QCheckBox* cbChrome;
  QCheckBox* cbChromium;
  QCheckBox* cbSafari;
  QCheckBox* cbMyDocuments;
  QCheckBox* cbMyPictures;
  QCheckBox* cbMyMusic;
  QCheckBox* cbMyVideo;
  QCheckBox* cbDesktop;

  TEntryListView* ListViewFiles;
  TEntryListView* ListViewExclusions;

  TDestinationControls* Destination;
  QCheckBox* cbLogEmail;
  QPushButton* btnLogEmailDetails;

  TAlertControls* Alerts;

  QLabel* lblAdvancedNote;
  QCheckBox* cbCustomSMTP;
  QPushButton* btnSMTPDetails;

  TfrmEmailDetails* frmEmailDetails;
  TfrmSMTPDetails* frmSMTPDetails;

private:
  QWidget* CreateWelcomePage();
  QWidget* CreateProfileDetailsPage();
  QWidget* CreateApplicationDetailsPage();
  QWidget* CreateIncludedPage();
  QWidget* CreateExcludedPage();
  QWidget* CreateDestinationPage();
  QWidget* CreateAlertsPage();
  QWidget* CreateAdvancedPage();
  QWidget* CreateCompletePage();

  void ProfileToControls();
  void ControlsToProfile();
  void SelectPage(TPage APage);
  void EnterPage(TPage APage);
  // Checks run when the user leaves APage with Next; false keeps the wizard on it.
  bool LeaveForward(TPage APage);

  void DetectApplications();
  void GenerateFileList();
  void AddFileEntry(const QString& AFileName);

  void OnBackClick();
  void OnNextClick();
  void OnFinishClick();
  void OnFirefoxClick();
  void OnLogEmailDetailsClick();
  void OnAlertEmailDetailsClick();
  void OnSMTPDetailsClick();

  TBackupProfile* FBackupProfile = nullptr;
  TWizardProgress& FProgress;
  std::unique_ptr<TEmailApplicationDetails> FEmailApplication;
  std::unique_ptr<TBrowserApplicationDetails> FBrowserApplications;
  bool FPageEnabled[PageCount];
};
