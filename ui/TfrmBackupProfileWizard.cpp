// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/TfrmBackupProfileWizard.h"

#include "platform/FileSystem.h"
#include "profiles/TBackupProfile.h"
#include "sysinfo/Common.h"
#include "ui/TAlertControls.h"
#include "ui/TDestinationControls.h"
#include "ui/TEntryListView.h"
#include "ui/TMessageBox.h"
#include "ui/TWizardProgress.h"
#include "ui/TfrmEmailDetails.h"
#include "ui/TfrmSMTPDetails.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

const QString AllProfiles = QStringLiteral("All");
const QString AllFiles = QStringLiteral("*.*");

QLabel* WrappedLabel(const QString& AText, QWidget* AParent)
{
  auto* label = new QLabel(AText, AParent);
  label->setWordWrap(true);
  return label;
}

void ResetBox(QCheckBox* ABox)
{
  ABox->setEnabled(false);
  ABox->setChecked(false);
}

} // namespace

TfrmBackupProfileWizard::TfrmBackupProfileWizard(const TSystemSources& ASources, TWizardProgress& AProgress,
                                                 QWidget* AParent)
  : QDialog(AParent)
  , FProgress(AProgress)
  , FEmailApplication(std::make_unique<TEmailApplicationDetails>(ASources))
  , FBrowserApplications(std::make_unique<TBrowserApplicationDetails>(ASources))
{
  setWindowTitle(QStringLiteral("Backup Profile Wizard"));
  for (bool& enabled : FPageEnabled)
    enabled = true;

  lblTitle = new QLabel(this);
  QFont titleFont = lblTitle->font();
  titleFont.setBold(true);
  lblTitle->setFont(titleFont);
  lblSubtitle = WrappedLabel(QString(), this);
  auto* header = new QWidget(this);
  header->setBackgroundRole(QPalette::Base);
  header->setAutoFillBackground(true);
  auto* headerLayout = new QVBoxLayout(header);
  headerLayout->addWidget(lblTitle);
  headerLayout->addWidget(lblSubtitle);

  PageControl = new QStackedWidget(this);
  PageControl->addWidget(CreateWelcomePage());
  PageControl->addWidget(CreateProfileDetailsPage());
  PageControl->addWidget(CreateApplicationDetailsPage());
  PageControl->addWidget(CreateIncludedPage());
  PageControl->addWidget(CreateExcludedPage());
  PageControl->addWidget(CreateDestinationPage());
  PageControl->addWidget(CreateAlertsPage());
  PageControl->addWidget(CreateAdvancedPage());
  PageControl->addWidget(CreateCompletePage());
  // The exclusion page is kept for the profile's shape but never offered.
  FPageEnabled[PageExcludedFilesFolders] = false;

  btnBack = new QPushButton(QStringLiteral("< &Back"), this);
  btnNext = new QPushButton(QStringLiteral("&Next >"), this);
  btnFinish = new QPushButton(QStringLiteral("&Finish"), this);
  btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
  btnNext->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnBack);
  buttons->addWidget(btnNext);
  buttons->addWidget(btnFinish);
  buttons->addWidget(btnCancel);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(header);
  layout->addWidget(PageControl, 1);
  layout->addLayout(buttons);

  frmEmailDetails = new TfrmEmailDetails(this);
  frmSMTPDetails = new TfrmSMTPDetails(this);

  connect(btnBack, &QPushButton::clicked, this, &TfrmBackupProfileWizard::OnBackClick);
  connect(btnNext, &QPushButton::clicked, this, &TfrmBackupProfileWizard::OnNextClick);
  connect(btnFinish, &QPushButton::clicked, this, &TfrmBackupProfileWizard::OnFinishClick);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  resize(640, 480);
}

TfrmBackupProfileWizard::~TfrmBackupProfileWizard() = default;

QString TfrmBackupProfileWizard::PageTitle(TPage APage)
{
  switch (APage) {
  case PageWelcome:
    return QStringLiteral("Backup Profile Wizard");
  case PageProfileDetails:
    return QStringLiteral("Backup Profile Details");
  case PageApplicationDetails:
    return QStringLiteral("Default and Installed Applications");
  case PageIncludedFilesFolders:
    return QStringLiteral("Select files and folders");
  case PageExcludedFilesFolders:
    return QStringLiteral("Exclude files and folders");
  case PageBackupDestination:
    return QStringLiteral("Backup Destination");
  case PageBackupAlerts:
    return QStringLiteral("Backup Alerts");
  case PageAdvanced:
    return QStringLiteral("Advanced Profile Options");
  case PageComplete:
    return QStringLiteral("Backup Profile Complete");
  default:
    return QString();
  }
}

QString TfrmBackupProfileWizard::PageSubtitle(TPage APage)
{
  switch (APage) {
  case PageWelcome:
    return QStringLiteral("Welcome to the Corvale profile wizard.");
  case PageProfileDetails:
    return QStringLiteral("Please provide a profile name and description");
  case PageApplicationDetails:
    return QStringLiteral("Corvale will detect the applications you have installed to provides backup suggestions");
  case PageIncludedFilesFolders:
    return QStringLiteral("Files and Folders that will be included in the backup");
  case PageExcludedFilesFolders:
    return QStringLiteral("Select files and folders to exclude from your backup");
  case PageBackupDestination:
    return QStringLiteral("Please provide backup destination details");
  case PageBackupAlerts:
    return QStringLiteral("Backup alerts will warn you when a backup has not been completed after a set period of "
                          "time.");
  case PageAdvanced:
    return QStringLiteral("Advanced Options");
  case PageComplete:
    return QStringLiteral("Congratulation you have successfully created a backup profile.");
  default:
    return QString();
  }
}

QWidget* TfrmBackupProfileWizard::CreateWelcomePage()
{
  auto* page = new QWidget(this);
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(WrappedLabel(
      QStringLiteral("This wizard will guide you through creating a Backup Profile, to  continue click next..."),
      page));
  layout->addStretch();
  cbAdvanced = new QCheckBox(QStringLiteral("Show advanced options"), page);
  layout->addWidget(cbAdvanced);
  return page;
}

QWidget* TfrmBackupProfileWizard::CreateProfileDetailsPage()
{
  auto* page = new QWidget(this);
  auto* layout = new QVBoxLayout(page);
  cbEnabled = new QCheckBox(QStringLiteral("Enabled"), page);
  editName = new QLineEdit(page);
  memoDescription = new QPlainTextEdit(page);
  layout->addWidget(cbEnabled);
  layout->addWidget(new QLabel(QStringLiteral("Name:"), page));
  layout->addWidget(editName);
  layout->addWidget(new QLabel(QStringLiteral("Description"), page));
  layout->addWidget(memoDescription, 1);
  return page;
}

QWidget* TfrmBackupProfileWizard::CreateApplicationDetailsPage()
{
  auto* page = new QWidget(this);
  auto* layout = new QHBoxLayout(page);

  auto* email = new QGroupBox(QStringLiteral("Email"), page);
  auto* emailLayout = new QVBoxLayout(email);
  cbOutlook = new QCheckBox(QStringLiteral("Microsoft Outlook"), email);
  cbOutlookExpress = new QCheckBox(QStringLiteral("Outlook Express"), email);
  cbWindowsMail = new QCheckBox(QStringLiteral("Windows Mail"), email);
  cbThunderbird = new QCheckBox(QStringLiteral("Mozilla Thunderbird"), email);
  cbEvolution = new QCheckBox(QStringLiteral("Evolution Mail"), email);
  for (QCheckBox* box : {cbOutlook, cbOutlookExpress, cbWindowsMail, cbThunderbird, cbEvolution})
    emailLayout->addWidget(box);
  emailLayout->addStretch();

  auto* browsers = new QGroupBox(QStringLiteral("Bookmarks / Favorites"), page);
  auto* browserLayout = new QVBoxLayout(browsers);
  cbInternetExplorer = new QCheckBox(QStringLiteral("Internet Explorer"), browsers);
  cbFirefox = new QCheckBox(QStringLiteral("Firefox"), browsers);
  ComboBoxFirefoxProfile = new QComboBox(browsers);
  cbChrome = new QCheckBox(QStringLiteral("Chrome"), browsers);
  cbChromium = new QCheckBox(QStringLiteral("Chromium"), browsers);
  cbSafari = new QCheckBox(QStringLiteral("Safari"), browsers);
  auto* profileRow = new QHBoxLayout;
  profileRow->addWidget(new QLabel(QStringLiteral("Profile"), browsers));
  profileRow->addWidget(ComboBoxFirefoxProfile, 1);
  browserLayout->addWidget(cbInternetExplorer);
  browserLayout->addWidget(cbFirefox);
  browserLayout->addLayout(profileRow);
  browserLayout->addWidget(cbChrome);
  browserLayout->addWidget(cbChromium);
  browserLayout->addWidget(cbSafari);
  browserLayout->addStretch();
  connect(cbFirefox, &QCheckBox::toggled, this, &TfrmBackupProfileWizard::OnFirefoxClick);

  auto* userData = new QGroupBox(QStringLiteral("User Data"), page);
  auto* userLayout = new QVBoxLayout(userData);
  cbMyDocuments = new QCheckBox(QStringLiteral("My Documents"), userData);
  cbMyPictures = new QCheckBox(QStringLiteral("My Pictures"), userData);
  cbMyMusic = new QCheckBox(QStringLiteral("My Music"), userData);
  cbMyVideo = new QCheckBox(QStringLiteral("My Video"), userData);
  cbDesktop = new QCheckBox(QStringLiteral("Desktop"), userData);
  for (QCheckBox* box : {cbMyDocuments, cbMyPictures, cbMyMusic, cbMyVideo, cbDesktop})
    userLayout->addWidget(box);
  userLayout->addStretch();

  layout->addWidget(email);
  layout->addWidget(browsers);
  layout->addWidget(userData);
  return page;
}

QWidget* TfrmBackupProfileWizard::CreateIncludedPage()
{
  auto* page = new QWidget(this);
  auto* layout = new QVBoxLayout(page);
  ListViewFiles = new TEntryListView(page);
  layout->addWidget(ListViewFiles);
  return page;
}

QWidget* TfrmBackupProfileWizard::CreateExcludedPage()
{
  auto* page = new QWidget(this);
  auto* layout = new QVBoxLayout(page);
  ListViewExclusions = new TEntryListView(page);
  layout->addWidget(ListViewExclusions);
  page->setEnabled(false);
  return page;
}

QWidget* TfrmBackupProfileWizard::CreateDestinationPage()
{
  auto* page = new QWidget(this);
  auto* form = new QFormLayout(page);
  Destination = new TDestinationControls(page, form, editName,
                                         {QStringLiteral("ZIP Filename"), QStringLiteral("7z Files|*.7z|All Files|*.*"),
                                          QStringLiteral(".7z"), QStringLiteral(".7z")});
  cbLogEmail = new QCheckBox(QStringLiteral("Send Log E-Mail"), page);
  btnLogEmailDetails = new QPushButton(QStringLiteral("Details..."), page);
  auto* logRow = new QHBoxLayout;
  logRow->addWidget(cbLogEmail);
  logRow->addWidget(btnLogEmailDetails);
  logRow->addStretch();

  form->addRow(logRow);

  connect(btnLogEmailDetails, &QPushButton::clicked, this, &TfrmBackupProfileWizard::OnLogEmailDetailsClick);
  return page;
}

QWidget* TfrmBackupProfileWizard::CreateAlertsPage()
{
  auto* page = new QWidget(this);
  auto* layout = new QVBoxLayout(page);
  Alerts = new TAlertControls(page, QStringLiteral("Show Backup Alerts"));
  auto* group = new QGroupBox(page);
  auto* groupLayout = new QVBoxLayout(group);
  groupLayout->addWidget(Alerts->lblAlertDays);
  groupLayout->addWidget(Alerts->TrackBarAlertDays);
  auto* emailRow = new QHBoxLayout;
  emailRow->addWidget(Alerts->cbAlertEmail);
  emailRow->addWidget(Alerts->btnAlertEmailDetails);
  emailRow->addStretch();
  layout->addWidget(Alerts->cbShowAlerts);
  layout->addWidget(group);
  layout->addLayout(emailRow);
  layout->addStretch();
  connect(Alerts->btnAlertEmailDetails, &QPushButton::clicked, this,
          &TfrmBackupProfileWizard::OnAlertEmailDetailsClick);
  return page;
}

QWidget* TfrmBackupProfileWizard::CreateAdvancedPage()
{
  auto* page = new QWidget(this);
  auto* layout = new QVBoxLayout(page);
  cbCustomSMTP = new QCheckBox(QStringLiteral("Custom SMTP Settings"), page);
  btnSMTPDetails = new QPushButton(QStringLiteral("Details..."), page);
  cbCustomSMTP->setVisible(false);
  btnSMTPDetails->setVisible(false);
  lblAdvancedNote = WrappedLabel(QStringLiteral("NOTE: The above settings are for advance users only. Changing these "
                                                "setting may have an adverse effect on program performance."),
                                 page);
  layout->addWidget(cbCustomSMTP);
  layout->addWidget(btnSMTPDetails);
  layout->addStretch();
  layout->addWidget(lblAdvancedNote);
  connect(btnSMTPDetails, &QPushButton::clicked, this, &TfrmBackupProfileWizard::OnSMTPDetailsClick);
  return page;
}

QWidget* TfrmBackupProfileWizard::CreateCompletePage()
{
  auto* page = new QWidget(this);
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(WrappedLabel(
      QStringLiteral("Congratulation you have successfully created a backup profile, click Finish to save."), page));
  layout->addStretch();
  return page;
}

TfrmBackupProfileWizard::TPage TfrmBackupProfileWizard::CurrentPage() const
{
  return static_cast<TPage>(PageControl->currentIndex());
}

QWidget* TfrmBackupProfileWizard::Page(TPage APage) const
{
  return PageControl->widget(APage);
}

bool TfrmBackupProfileWizard::Execute(TBackupProfile& ABackupProfile)
{
  FBackupProfile = &ABackupProfile;
  ProfileToControls();
  FPageEnabled[PageAdvanced] = true;
  SelectPage(PageWelcome);
  const bool finished = exec() == QDialog::Accepted;
  if (finished)
    ControlsToProfile();
  FBackupProfile = nullptr;
  return finished;
}

void TfrmBackupProfileWizard::ProfileToControls()
{
  const TBackupProfile& profile = *FBackupProfile;
  cbEnabled->setChecked(profile.Enabled());
  Destination->LoadFrom(profile, false);
  editName->setText(profile.ProfileName());
  memoDescription->setPlainText(QString(profile.Description()).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
  Alerts->LoadFrom(profile);
  cbLogEmail->setChecked(profile.LogEmailEnabled());
  cbCustomSMTP->setChecked(profile.CustomSMTPSettings());
}

void TfrmBackupProfileWizard::ControlsToProfile()
{
  TBackupProfile& profile = *FBackupProfile;
  profile.SetEnabled(cbEnabled->isChecked());
  Destination->StoreTo(profile);
  profile.SetProfileName(editName->text());
  profile.SetDescription(memoDescription->toPlainText().split(QLatin1Char('\n')).join(QStringLiteral("\r\n")));
  Alerts->StoreTo(profile);
  profile.SetLogEmailEnabled(cbLogEmail->isChecked());
  profile.SetCustomSMTPSettings(cbCustomSMTP->isChecked());
}

void TfrmBackupProfileWizard::SelectPage(TPage APage)
{
  PageControl->setCurrentIndex(APage);
  lblTitle->setText(PageTitle(APage));
  lblSubtitle->setText(PageSubtitle(APage));
  btnBack->setVisible(APage != PageWelcome);
  btnNext->setVisible(APage != PageComplete);
  btnFinish->setVisible(APage == PageComplete);
  (APage == PageComplete ? btnFinish : btnNext)->setDefault(true);
  EnterPage(APage);
}

void TfrmBackupProfileWizard::EnterPage(TPage APage)
{
  switch (APage) {
  case PageApplicationDetails:
    DetectApplications();
    break;
  case PageIncludedFilesFolders:
    GenerateFileList();
    break;
  case PageBackupDestination:
    Destination->ApplyZipTypeRule();
    break;
  default:
    break;
  }
}

bool TfrmBackupProfileWizard::LeaveForward(TPage APage)
{
  switch (APage) {
  case PageWelcome:
    FPageEnabled[PageAdvanced] = cbAdvanced->isChecked();
    return true;
  case PageProfileDetails:
    if (editName->text().isEmpty()) {
      TMessageBox::Error(this, QStringLiteral("Please specify a valid profile name."));
      editName->setFocus();
      return false;
    }
    return true;
  case PageBackupDestination:
    return Destination->ConfirmFileName() && Destination->PasswordsMatch();
  default:
    return true;
  }
}

void TfrmBackupProfileWizard::OnNextClick()
{
  const TPage current = CurrentPage();
  if (!LeaveForward(current))
    return;
  for (int page = current + 1; page < PageCount; ++page) {
    if (FPageEnabled[page]) {
      SelectPage(static_cast<TPage>(page));
      return;
    }
  }
}

void TfrmBackupProfileWizard::OnBackClick()
{
  const TPage current = CurrentPage();
  if (current == PageIncludedFilesFolders &&
      !TMessageBox::Question(this, TMessageBox::mkWarning,
                             QStringLiteral("This will refresh the selected files and folder and you will loose any "
                                            "custom files and folders you have included. Are you sure you want to "
                                            "continue?")))
    return;
  for (int page = current - 1; page >= 0; --page) {
    if (FPageEnabled[page]) {
      SelectPage(static_cast<TPage>(page));
      return;
    }
  }
}

void TfrmBackupProfileWizard::OnFinishClick()
{
  accept();
}

void TfrmBackupProfileWizard::DetectApplications()
{
  FProgress.ShowProgress(QStringLiteral("Gathering System Information..."), true);
  for (QCheckBox* box : {cbOutlook, cbOutlookExpress, cbWindowsMail, cbThunderbird, cbEvolution, cbInternetExplorer,
                         cbFirefox, cbChrome, cbChromium, cbSafari})
    ResetBox(box);
  ComboBoxFirefoxProfile->setEnabled(false);
  for (QCheckBox* box : {cbMyDocuments, cbMyPictures, cbMyMusic, cbMyVideo, cbDesktop})
    box->setChecked(true);
  FProgress.UpdateProgress();

  const TEmailApplicationsSet mail = FEmailApplication->InstalledMailApplications();
  cbOutlook->setEnabled(mail.contains(eaOutlook));
  cbOutlookExpress->setEnabled(mail.contains(eaOutlookExpress));
  cbWindowsMail->setEnabled(mail.contains(eaWindowsMail));
  cbThunderbird->setEnabled(mail.contains(eaThunderbird));
  cbEvolution->setEnabled(mail.contains(eaEvolution));
  FProgress.UpdateProgress();
  switch (FEmailApplication->DefaultMailApplication()) {
  case eaOutlookExpress:
    cbOutlookExpress->setChecked(true);
    break;
  case eaOutlook:
    cbOutlook->setChecked(true);
    break;
  case eaWindowsMail:
    cbWindowsMail->setChecked(true);
    break;
  case eaThunderbird:
    cbThunderbird->setChecked(true);
    break;
  case eaEvolution:
    cbEvolution->setChecked(true);
    break;
  default:
    break;
  }
  FProgress.UpdateProgress();

  const TBrowserApplicationsSet browsers = FBrowserApplications->InstalledBrowserApplications();
  const std::pair<QCheckBox*, TBrowserApplications> browserBoxes[] = {{cbInternetExplorer, baIE},
                                                                      {cbFirefox, baFirefox},
                                                                      {cbChrome, baChrome},
                                                                      {cbChromium, baChromium},
                                                                      {cbSafari, baSafari}};
  for (const auto& [box, browser] : browserBoxes) {
    box->setEnabled(browsers.contains(browser));
    box->setChecked(box->isEnabled());
  }
  FProgress.UpdateProgress();

  cbInternetExplorer->setToolTip(FBrowserApplications->GetIEFavoritesFolder());
  cbChrome->setToolTip(FBrowserApplications->GetChromeBookmarksFileName());
  cbChromium->setToolTip(FBrowserApplications->GetChromiumBookmarksFileName());
  cbSafari->setToolTip(FBrowserApplications->GetSafariBookmarksFileName());
  cbEvolution->setToolTip(FEmailApplication->GetEvolutionDataFolder());
  QStringList thunderbirdFolders;
  (void)FEmailApplication->GetThunderbirdDataFolders(thunderbirdFolders);
  cbThunderbird->setToolTip(thunderbirdFolders.join(QLatin1Char('\n')));
  FProgress.UpdateProgress();

  QStringList profiles;
  (void)FBrowserApplications->GetFirefoxProfiles(&profiles);
  ComboBoxFirefoxProfile->clear();
  ComboBoxFirefoxProfile->addItems(profiles);
  ComboBoxFirefoxProfile->addItem(AllProfiles);
  ComboBoxFirefoxProfile->setCurrentIndex(ComboBoxFirefoxProfile->count() - 1);
  ComboBoxFirefoxProfile->setEnabled(cbFirefox->isChecked());
  FProgress.HideProgress();
}

void TfrmBackupProfileWizard::OnFirefoxClick()
{
  ComboBoxFirefoxProfile->setEnabled(cbFirefox->isChecked());
}

void TfrmBackupProfileWizard::AddFileEntry(const QString& AFileName)
{
  // A program whose file was not found has nothing to back up: the profile takes no blank entry.
  if (AFileName.isEmpty())
    return;
  const QFileInfo info(AFileName);
  (void)FBackupProfile->Files().Add(IncludeTrailingPathDelimiter(info.path()), info.fileName(), false);
}

void TfrmBackupProfileWizard::GenerateFileList()
{
  FProgress.ShowProgress(QStringLiteral("Generating File List..."), false);
  FProgress.SetProgress(0);
  TBackupProfileFiles& files = FBackupProfile->Files();
  files.Clear();
  FBackupProfile->FileExclusions().Clear();

  QStringList found;
  if (cbOutlook->isChecked() && FEmailApplication->GetOutlookDataFiles(found)) {
    for (const QString& file : found) {
      FProgress.SetProgress(5);
      AddFileEntry(file);
    }
  }
  if (cbOutlookExpress->isChecked() && FEmailApplication->GetOutlookExpressDataFiles(found)) {
    for (const QString& file : found) {
      FProgress.SetProgress(5);
      AddFileEntry(file);
    }
  }
  FProgress.SetProgress(10);
  if (cbWindowsMail->isChecked())
    (void)files.Add(FEmailApplication->GetWindowsMailDataFolder(), AllFiles, true);
  // The whole profile folder holds the mail, address books and settings.
  if (cbThunderbird->isChecked() && FEmailApplication->GetThunderbirdDataFolders(found)) {
    for (const QString& folder : found)
      (void)files.Add(folder, AllFiles, true);
  }
  if (cbEvolution->isChecked())
    (void)files.Add(FEmailApplication->GetEvolutionDataFolder(), AllFiles, true);
  FProgress.SetProgress(20);
  if (cbInternetExplorer->isChecked())
    (void)files.Add(FBrowserApplications->GetIEFavoritesFolder(), AllFiles, true);
  FProgress.SetProgress(30);
  if (cbFirefox->isChecked()) {
    QStringList profiles;
    if (ComboBoxFirefoxProfile->currentText() == AllProfiles) {
      for (int i = 0; i < ComboBoxFirefoxProfile->count() - 1; ++i)
        profiles << ComboBoxFirefoxProfile->itemText(i);
    } else {
      profiles << ComboBoxFirefoxProfile->currentText();
    }
    for (const QString& profile : profiles) {
      FProgress.SetProgress(35);
      AddFileEntry(FBrowserApplications->GetFirefoxBookmarksFileName(profile));
    }
  }
  FProgress.SetProgress(40);
  if (cbChrome->isChecked())
    AddFileEntry(FBrowserApplications->GetChromeBookmarksFileName());
  if (cbChromium->isChecked())
    AddFileEntry(FBrowserApplications->GetChromiumBookmarksFileName());
  FProgress.SetProgress(50);
  if (cbSafari->isChecked())
    AddFileEntry(FBrowserApplications->GetSafariBookmarksFileName());
  FProgress.SetProgress(60);
  const std::pair<QCheckBox*, QString> userFolders[] = {{cbMyDocuments, FEmailApplication->GetMyDocumentsFolder()},
                                                        {cbMyMusic, FEmailApplication->GetMyMusicFolder()},
                                                        {cbMyVideo, FEmailApplication->GetMyVideoFolder()},
                                                        {cbMyPictures, FEmailApplication->GetMyPicturesFolder()},
                                                        {cbDesktop, FEmailApplication->GetDesktopFolder()}};
  for (const auto& [box, folder] : userFolders) {
    if (box->isChecked())
      (void)files.Add(folder, AllFiles, true);
  }
  FProgress.SetProgress(100);
  FProgress.HideProgress();

  ListViewFiles->ShowEntries(files);
}

void TfrmBackupProfileWizard::OnLogEmailDetailsClick()
{
  (void)frmEmailDetails->Execute(FBackupProfile->LogEmailDetails());
}

void TfrmBackupProfileWizard::OnAlertEmailDetailsClick()
{
  (void)frmEmailDetails->Execute(FBackupProfile->AlertEmailDetails());
}

void TfrmBackupProfileWizard::OnSMTPDetailsClick()
{
  (void)frmSMTPDetails->Execute(FBackupProfile->SMTPSettings());
}
