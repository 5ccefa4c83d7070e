// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/TfrmBackupProfiles.h"

#include "notify/TPlugins.h"
#include "platform/Posix.h"
#include "platform/TRegistry.h"
#include "profiles/TBackupProfile.h"
#include "sysinfo/Common.h"
#include "sysinfo/DateTime.h"
#include "sysinfo/TClock.h"
#include "ui/TAlertControls.h"
#include "ui/TDestinationControls.h"
#include "ui/TEntryListView.h"
#include "ui/TFileDialog.h"
#include "ui/TMessageBox.h"
#include "ui/TPluginCatalog.h"
#include "ui/TProgramPicker.h"
#include "ui/TfrmEmailDetails.h"
#include "ui/TfrmFolderSelect.h"
#include "ui/TfrmSMTPDetails.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

// The "Previous Log" memo shows at most the last this many bytes of a log.
const qint64 MaxLogBytes = 4 * 1024 * 1024;

const QString AddFileFilter =
    QStringLiteral("All Files (*.*)|*.*|Microsoft Word Documents (*.doc)|*.doc|Microsoft Excel Documents (*.xls)|*.xls|"
                   "Microsoft Outlook Personal Folders (*.pst)|*.pst|Microsoft Access Database Files (*.mdb)|*.mdb|"
                   "Microsoft Powerpoint Document (*.ppt)|*.ppt");

QTreeWidget* MakeListView(QWidget* AParent, const QStringList& AColumns)
{
  auto* list = new QTreeWidget(AParent);
  list->setColumnCount(static_cast<int>(AColumns.size()));
  list->setHeaderLabels(AColumns);
  list->setRootIsDecorated(false);
  list->setAllColumnsShowFocus(true);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->header()->setStretchLastSection(false);
  list->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  for (int column = 1; column < list->columnCount(); ++column)
    list->header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
  return list;
}

QTreeWidgetItem* SelectedRow(const QTreeWidget* AList)
{
  const QList<QTreeWidgetItem*> selected = AList->selectedItems();
  return selected.isEmpty() ? nullptr : selected.constFirst();
}

// The last MaxLogBytes of a log file, or nothing when it cannot be read.
QString ReadLogTail(const QString& AFileName)
{
  QByteArray bytes;
  if (Posix::ReadFile(AFileName, bytes, MaxLogBytes, true) != 0)
    return QString();
  QString text = QString::fromUtf8(bytes);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

} // namespace

TfrmBackupProfiles::TfrmBackupProfiles(TProgramPicker* AProgramWindows, std::unique_ptr<TPluginCatalog> APlugins,
                                       QWidget* AParent)
  : QDialog(AParent)
  , FProgramWindows(AProgramWindows)
  , FPlugins(std::move(APlugins))
{
  setWindowTitle(QStringLiteral("Backup Profile"));
  frmEmailDetails = new TfrmEmailDetails(this);
  frmSMTPDetails = new TfrmSMTPDetails(this);

  PageControl = new QTabWidget(this);
  TabSheetGeneral = MakeGeneralPage();
  TabSheetFiles = MakeFilesPage();
  TabSheetActivePrograms = MakeActiveProgramsPage();
  TabSheetLogging = MakeLoggingPage();
  TabSheetPlugins = MakePluginsPage();
  PageControl->addTab(TabSheetGeneral, QStringLiteral("General"));
  PageControl->addTab(TabSheetFiles, QStringLiteral("Files and Folders"));
  PageControl->addTab(TabSheetActivePrograms, QStringLiteral("Active Programs"));
  PageControl->addTab(TabSheetLogging, QStringLiteral("Logging"));
  PageControl->addTab(TabSheetPlugins, QStringLiteral("Plugins"));

  cbDefault = new QCheckBox(QStringLiteral("Default"), this);
  cbDefault->setToolTip(QStringLiteral("Saves the current settings as the default for each new profile."));
  btnOk = new QPushButton(QStringLiteral("Ok"), this);
  btnOk->setDefault(true);
  btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(cbDefault);
  buttons->addStretch();
  buttons->addWidget(btnOk);
  buttons->addWidget(btnCancel);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(PageControl, 1);
  layout->addLayout(buttons);
  resize(620, 560);

  connect(btnOk, &QPushButton::clicked, this, &TfrmBackupProfiles::OnOkClick);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(PageControl, &QTabWidget::currentChanged, this, &TfrmBackupProfiles::OnPageChange);
  connect(PageControlFiles, &QTabWidget::currentChanged, this, [this] {
    if (PageControlFiles->currentWidget() == TabSheetDestination)
      Destination->ShowCompression(Destination->TrackBarCompression->value());
  });
  UpdateActions();
}

TfrmBackupProfiles::~TfrmBackupProfiles()
{
  SetPluginsActive(false);
}

QWidget* TfrmBackupProfiles::MakeGeneralPage()
{
  auto* page = new QWidget(this);

  gbProfileInformation = new QGroupBox(QStringLiteral("Profile Information"), page);
  cbEnabled = new QCheckBox(QStringLiteral("Enabled"), gbProfileInformation);
  editName = new QLineEdit(gbProfileInformation);
  memoDescription = new QPlainTextEdit(gbProfileInformation);
  memoDescription->setMaximumHeight(70);
  btnLoadDefaults = new QPushButton(QStringLiteral("Load Defaults"), gbProfileInformation);
  auto* info = new QGridLayout(gbProfileInformation);
  info->addWidget(cbEnabled, 0, 0, 1, 2);
  info->addWidget(new QLabel(QStringLiteral("Name:"), gbProfileInformation), 1, 0);
  info->addWidget(editName, 1, 1);
  info->addWidget(new QLabel(QStringLiteral("Description"), gbProfileInformation), 2, 0, Qt::AlignTop);
  info->addWidget(memoDescription, 2, 1);
  info->addWidget(btnLoadDefaults, 3, 1, Qt::AlignRight);

  gbBackupAlerts = new QGroupBox(QStringLiteral("Backup Alerts"), page);
  Alerts = new TAlertControls(gbBackupAlerts, QStringLiteral("Enabled"));
  cbCustomSMTP = new QCheckBox(QStringLiteral("Custom SMTP Settings"), gbBackupAlerts);
  btnSMTPDetails = new QPushButton(QStringLiteral("Details..."), gbBackupAlerts);
  MonthCalendar = new QCalendarWidget(gbBackupAlerts);
  MonthCalendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
  lblLastBackup = new QLabel(QStringLiteral("No backup details."), gbBackupAlerts);
  lblLastBackup->setAlignment(Qt::AlignCenter);
  lblLastBackup->setWordWrap(true);

  auto* alertsLeft = new QGridLayout;
  alertsLeft->addWidget(Alerts->cbShowAlerts, 0, 0, 1, 2);
  alertsLeft->addWidget(Alerts->lblAlertDays, 1, 0, 1, 2);
  alertsLeft->addWidget(Alerts->TrackBarAlertDays, 2, 0, 1, 2);
  alertsLeft->addWidget(Alerts->cbAlertEmail, 3, 0);
  alertsLeft->addWidget(Alerts->btnAlertEmailDetails, 3, 1);
  alertsLeft->addWidget(cbCustomSMTP, 4, 0);
  alertsLeft->addWidget(btnSMTPDetails, 4, 1);
  alertsLeft->setRowStretch(5, 1);
  auto* calendar = new QVBoxLayout;
  calendar->addWidget(MonthCalendar);
  calendar->addWidget(lblLastBackup);
  auto* alerts = new QHBoxLayout(gbBackupAlerts);
  alerts->addLayout(alertsLeft, 1);
  alerts->addLayout(calendar);

  auto* layout = new QVBoxLayout(page);
  layout->addWidget(gbProfileInformation);
  layout->addWidget(gbBackupAlerts, 1);

  // The calendar only shows the last backup; a click does not move it.
  connect(MonthCalendar, &QCalendarWidget::clicked, this, [this] {
    if (FBackupProfile)
      MonthCalendar->setSelectedDate(QDateTimeFromDateTime(FBackupProfile->LastBackup()).date());
  });
  connect(btnLoadDefaults, &QPushButton::clicked, this, &TfrmBackupProfiles::OnLoadDefaultsClick);
  connect(cbCustomSMTP, &QCheckBox::toggled, this, &TfrmBackupProfiles::UpdateActions);
  connect(Alerts->btnAlertEmailDetails, &QPushButton::clicked, this, [this] {
    if (FBackupProfile)
      (void)frmEmailDetails->Execute(FBackupProfile->AlertEmailDetails());
  });
  connect(btnSMTPDetails, &QPushButton::clicked, this, [this] {
    if (FBackupProfile)
      (void)frmSMTPDetails->Execute(FBackupProfile->SMTPSettings());
  });
  return page;
}

QWidget* TfrmBackupProfiles::MakeFilesPage()
{
  auto* page = new QWidget(this);
  PageControlFiles = new QTabWidget(page);
  PageControlFiles->addTab(MakeEntryPage(Sources, false), QStringLiteral("Source Files / Folders"));
  PageControlFiles->addTab(MakeEntryPage(Exclusions, true), QStringLiteral("Exclusion Files / Folders"));
  TabSheetDestination = MakeDestinationPage();
  PageControlFiles->addTab(TabSheetDestination, QStringLiteral("Destination Settings"));
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(PageControlFiles);
  return page;
}

QWidget* TfrmBackupProfiles::MakeEntryPage(TEntryList& AList, bool AExclusions)
{
  auto* page = new QWidget(this);
  AList.Page = page;
  AList.Exclusions = AExclusions;
  AList.ListView = new TEntryListView(page);
  AList.btnAddFile = new QPushButton(QStringLiteral("Add File"), page);
  AList.btnAddFolder = new QPushButton(QStringLiteral("Add Folder"), page);
  AList.btnRemove = new QPushButton(QStringLiteral("Remove"), page);
  AList.btnRemoveAll = new QPushButton(QStringLiteral("Remove All"), page);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(AList.btnAddFile);
  buttons->addWidget(AList.btnAddFolder);
  buttons->addStretch();
  buttons->addWidget(AList.btnRemove);
  buttons->addWidget(AList.btnRemoveAll);
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(AList.ListView, 1);
  layout->addLayout(buttons);

  // Each list acts on its own entries and its own rows, whatever the other list has selected.
  const TEntryList* list = &AList;
  connect(AList.btnAddFile, &QPushButton::clicked, this, [this, list] { OnAddFile(*list); });
  connect(AList.btnAddFolder, &QPushButton::clicked, this, [this, list] { OnAddFolder(*list); });
  connect(AList.btnRemove, &QPushButton::clicked, this, [this, list] { OnRemove(*list); });
  connect(AList.btnRemoveAll, &QPushButton::clicked, this, [this, list] { OnRemoveAll(*list); });
  connect(AList.ListView, &QTreeWidget::itemSelectionChanged, this, &TfrmBackupProfiles::UpdateActions);
  return page;
}

QWidget* TfrmBackupProfiles::MakeDestinationPage()
{
  auto* page = new QWidget(this);
  gbDestination = new QGroupBox(QStringLiteral("Destination"), page);
  Destination = new TDestinationControls(gbDestination, new QFormLayout(gbDestination), editName,
                                         {QStringLiteral("Destination Filename"),
                                          QStringLiteral("7z Files|*.7z|Zip Files|*.zip|BKF Files|*.bkf|All Files|*.*"),
                                          QString(), QString()});
  Destination->OnProblem = [this] { ShowDestinationPage(); };
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(gbDestination);
  layout->addStretch();
  return page;
}

QWidget* TfrmBackupProfiles::MakeActiveProgramsPage()
{
  auto* page = new QWidget(this);
  ListViewActivePrograms = MakeListView(page, {QStringLiteral("Window Name"), QStringLiteral("Window Class")});
  btnAddProgram = new QPushButton(QStringLiteral("Add"), page);
  btnEditProgram = new QPushButton(QStringLiteral("Edit"), page);
  btnRemoveProgram = new QPushButton(QStringLiteral("Remove"), page);
  btnRemoveAllPrograms = new QPushButton(QStringLiteral("Remove All"), page);
  btnTest = new QPushButton(QStringLiteral("&Test"), page);
  cbCloseGracefully = new QCheckBox(QStringLiteral("Ask active applications to close gracefully. (recommended)"), page);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btnAddProgram);
  buttons->addWidget(btnEditProgram);
  buttons->addWidget(btnRemoveProgram);
  buttons->addWidget(btnRemoveAllPrograms);
  buttons->addStretch();
  buttons->addWidget(btnTest);
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(ListViewActivePrograms, 1);
  layout->addLayout(buttons);
  layout->addWidget(cbCloseGracefully);

  connect(btnAddProgram, &QPushButton::clicked, this, &TfrmBackupProfiles::OnAddProgram);
  connect(btnEditProgram, &QPushButton::clicked, this, &TfrmBackupProfiles::OnEditProgram);
  connect(btnRemoveProgram, &QPushButton::clicked, this, &TfrmBackupProfiles::OnRemoveProgram);
  connect(btnRemoveAllPrograms, &QPushButton::clicked, this, &TfrmBackupProfiles::OnRemoveAllPrograms);
  connect(btnTest, &QPushButton::clicked, this, &TfrmBackupProfiles::OnTestClick);
  connect(ListViewActivePrograms, &QTreeWidget::itemSelectionChanged, this, &TfrmBackupProfiles::UpdateActions);
  return page;
}

QWidget* TfrmBackupProfiles::MakeLoggingPage()
{
  auto* page = new QWidget(this);
  cbLogEmail = new QCheckBox(QStringLiteral("Send Log E-Mail"), page);
  btnLogEmailDetails = new QPushButton(QStringLiteral("Details..."), page);
  gbPreviousLog = new QGroupBox(QStringLiteral("Previous Log"), page);
  memoLog = new QPlainTextEdit(gbPreviousLog);
  memoLog->setReadOnly(true);
  memoLog->setLineWrapMode(QPlainTextEdit::NoWrap);
  memoLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memoLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  auto* logLayout = new QVBoxLayout(gbPreviousLog);
  logLayout->addWidget(memoLog);
  auto* email = new QHBoxLayout;
  email->addWidget(cbLogEmail);
  email->addWidget(btnLogEmailDetails);
  email->addStretch();
  auto* layout = new QVBoxLayout(page);
  layout->addLayout(email);
  layout->addWidget(gbPreviousLog, 1);

  connect(btnLogEmailDetails, &QPushButton::clicked, this, [this] {
    if (FBackupProfile)
      (void)frmEmailDetails->Execute(FBackupProfile->LogEmailDetails());
  });
  return page;
}

QWidget* TfrmBackupProfiles::MakePluginsPage()
{
  auto* page = new QWidget(this);
  ListViewPlugins =
      MakeListView(page, {QStringLiteral("Plugin Name"), QStringLiteral("Version"), QStringLiteral("Developer")});
  btnRefreshPlugins = new QPushButton(QStringLiteral("Refresh Plugins"), page);
  btnConfigurePlugin = new QPushButton(QStringLiteral("Configure Plugin"), page);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btnRefreshPlugins);
  buttons->addWidget(btnConfigurePlugin);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(ListViewPlugins, 1);
  layout->addLayout(buttons);

  connect(btnRefreshPlugins, &QPushButton::clicked, this, &TfrmBackupProfiles::OnRefreshPlugins);
  connect(btnConfigurePlugin, &QPushButton::clicked, this, &TfrmBackupProfiles::OnConfigurePlugin);
  connect(ListViewPlugins, &QTreeWidget::itemDoubleClicked, this, &TfrmBackupProfiles::OnConfigurePlugin);
  connect(ListViewPlugins, &QTreeWidget::itemSelectionChanged, this, &TfrmBackupProfiles::UpdateActions);
  return page;
}

int TfrmBackupProfiles::Execute(TBackupProfile& ABackupProfile)
{
  FBackupProfile = &ABackupProfile;
  const auto release = qScopeGuard([this] {
    SetPluginsActive(false);
    FBackupProfile = nullptr;
  });
  ProfileToControls();
  {
    const QSignalBlocker blockPages(PageControl);
    PageControl->setCurrentIndex(0);
  }
  PageControlFiles->setCurrentIndex(0);
  cbDefault->setChecked(false);
  editName->setFocus();

  const int result = exec();
  if (result != QDialog::Accepted)
    return result;
  ControlsToProfile();
  if (cbDefault->isChecked()) {
    bool saved = false;
    QString error;
    try {
      saved = ABackupProfile.SaveAsDefaults();
    } catch (const ERegistryException& e) {
      error = e.Message();
    }
    if (!saved)
      TMessageBox::Error(this, QStringLiteral("Failed to save the profile defaults.") +
                                   (error.isEmpty() ? QString() : QStringLiteral("\r\n") + error));
  }
  return result;
}

void TfrmBackupProfiles::ProfileToControls()
{
  TBackupProfile& profile = *FBackupProfile;
  cbEnabled->setChecked(profile.Enabled());
  Destination->LoadFrom(profile, true);
  editName->setText(profile.ProfileName());
  memoDescription->setPlainText(QString(profile.Description()).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
  cbCloseGracefully->setChecked(profile.CloseGracefully());
  Alerts->LoadFrom(profile);
  cbLogEmail->setChecked(profile.LogEmailEnabled());
  cbCustomSMTP->setChecked(profile.CustomSMTPSettings());

  ShowLastBackup();
  LoadPreviousLog();
  Destination->ApplyZipTypeRule();
  FillEntryList(Sources);
  FillEntryList(Exclusions);
  FillActivePrograms();
  UpdateActions();
}

void TfrmBackupProfiles::ControlsToProfile()
{
  TBackupProfile& profile = *FBackupProfile;
  profile.SetEnabled(cbEnabled->isChecked());
  Destination->StoreTo(profile);
  profile.SetProfileName(editName->text());
  profile.SetDescription(memoDescription->toPlainText().split(QLatin1Char('\n')).join(QStringLiteral("\r\n")));
  profile.SetCloseGracefully(cbCloseGracefully->isChecked());
  Alerts->StoreTo(profile);
  profile.SetLogEmailEnabled(cbLogEmail->isChecked());
  profile.SetCustomSMTPSettings(cbCustomSMTP->isChecked());
}

void TfrmBackupProfiles::ShowLastBackup()
{
  const TDateTime lastBackup = FBackupProfile->LastBackup();
  MonthCalendar->setSelectedDate(QDateTimeFromDateTime(lastBackup).date());
  if (lastBackup == 0) {
    lblLastBackup->setText(QStringLiteral("No previous backup details."));
    return;
  }
  const int days = static_cast<int>(std::trunc(std::fabs(TClock::Date() - lastBackup)));
  lblLastBackup->setText(QStringLiteral("%1 day(s) since last backup.\r\nLast backup: %2\r\nNext backup: %3")
                             .arg(days)
                             .arg(DateToStr(lastBackup), DateToStr(lastBackup + FBackupProfile->AlertDays())));
}

void TfrmBackupProfiles::LoadPreviousLog()
{
  const QString& logFile = FBackupProfile->LogFile();
  memoLog->setPlainText(logFile.isEmpty() ? QString() : ReadLogTail(logFile));
}

void TfrmBackupProfiles::ShowDestinationPage()
{
  PageControl->setCurrentWidget(TabSheetFiles);
  PageControlFiles->setCurrentWidget(TabSheetDestination);
}

bool TfrmBackupProfiles::CheckControls()
{
  bool passed = true;
  if (editName->text().isEmpty()) {
    PageControl->setCurrentWidget(TabSheetGeneral);
    TMessageBox::Warning(this, QStringLiteral("Please specify a profile name."));
    passed = false;
  }
  // Every check runs, so the user hears of every problem at once.
  if (!Destination->ConfirmFileName())
    passed = false;
  if (!Destination->PasswordsMatch())
    passed = false;
  return passed;
}

void TfrmBackupProfiles::OnOkClick()
{
  if (CheckControls())
    accept();
}

void TfrmBackupProfiles::OnLoadDefaultsClick()
{
  if (!FBackupProfile ||
      !TMessageBox::Confirmation(this, QStringLiteral("Are you sure you want to load profile defaults?")))
    return;
  const QString name = editName->text();
  FBackupProfile->LoadDefaults();
  FBackupProfile->SetProfileName(name);
  ProfileToControls();
}

TBackupProfileFiles& TfrmBackupProfiles::EntriesOf(const TEntryList& AList) const
{
  return AList.Exclusions ? FBackupProfile->FileExclusions() : FBackupProfile->Files();
}

void TfrmBackupProfiles::FillEntryList(const TEntryList& AList)
{
  AList.ListView->ShowEntries(EntriesOf(AList));
  UpdateActions();
}

void TfrmBackupProfiles::OnAddFile(const TEntryList& AList)
{
  if (!FBackupProfile)
    return;
  const QStringList names =
      TFileDialog::GetOpenFileNames(this, QString(), QString(), TFileDialog::FilterFromPairs(AddFileFilter));
  for (const QString& name : names) {
    const QFileInfo info(name);
    (void)EntriesOf(AList).Add(info.path(), info.fileName(), false);
  }
  FillEntryList(AList);
}

void TfrmBackupProfiles::OnAddFolder(const TEntryList& AList)
{
  if (!FBackupProfile)
    return;
  TfrmFolderSelect select(this);
  select.Wildcards = QStringLiteral("*.*");
  select.Recurse = true;
  select.ShowHidden = true;
  if (select.Execute())
    (void)EntriesOf(AList).Add(select.Folder, select.Wildcards, select.Recurse);
  FillEntryList(AList);
}

void TfrmBackupProfiles::OnRemove(const TEntryList& AList)
{
  const QTreeWidgetItem* row = SelectedRow(AList.ListView);
  if (!FBackupProfile || !row)
    return;
  const QString folder = row->text(0);
  const QString mask = row->text(1);
  TBackupProfileFiles& entries = EntriesOf(AList);
  const int index = entries.IndexByName(folder, mask);
  if (index < 0)
    TMessageBox::Error(this, QStringLiteral("Failed to locate item \"%1 - %2\"").arg(folder, mask));
  else if (TMessageBox::Confirmation(
               this, QStringLiteral("Are you sure you want to remove entry \"%1 - %2\"").arg(folder, mask)))
    entries.Delete(index);
  FillEntryList(AList);
}

void TfrmBackupProfiles::OnRemoveAll(const TEntryList& AList)
{
  if (!FBackupProfile)
    return;
  if (TMessageBox::Confirmation(this, QStringLiteral("Are you sure you want to remove all entries?")))
    EntriesOf(AList).Clear();
  FillEntryList(AList);
}

void TfrmBackupProfiles::FillActivePrograms()
{
  ListViewActivePrograms->clear();
  for (const QString& entry : std::as_const(FBackupProfile->ActivePrograms()))
    new QTreeWidgetItem(ListViewActivePrograms,
                        {TBackupProfile::ActiveProgramCaption(entry), TBackupProfile::ActiveProgramClass(entry)});
  UpdateActions();
}

int TfrmBackupProfiles::ActiveProgramIndex(const QString& AWindowName) const
{
  const QStringList& programs = FBackupProfile->ActivePrograms();
  for (int i = 0; i < programs.size(); ++i)
    if (TBackupProfile::ActiveProgramCaption(programs.at(i)).compare(AWindowName, Qt::CaseInsensitive) == 0)
      return i;
  return -1;
}

void TfrmBackupProfiles::OnAddProgram()
{
  if (!FBackupProfile || !FProgramWindows)
    return;
  QString name;
  QString windowClass;
  if (FProgramWindows->PickProgram(name, windowClass))
    FBackupProfile->ActivePrograms().append(name + QLatin1Char('=') + windowClass);
  FillActivePrograms();
}

void TfrmBackupProfiles::OnEditProgram()
{
  const QTreeWidgetItem* row = SelectedRow(ListViewActivePrograms);
  if (!FBackupProfile || !FProgramWindows || !row)
    return;
  const int index = ActiveProgramIndex(row->text(0));
  if (index < 0)
    return;
  const QString& entry = FBackupProfile->ActivePrograms().at(index);
  QString name = TBackupProfile::ActiveProgramCaption(entry);
  QString windowClass = TBackupProfile::ActiveProgramClass(entry);
  if (FProgramWindows->PickProgram(name, windowClass))
    FBackupProfile->ActivePrograms()[index] = name + QLatin1Char('=') + windowClass;
  FillActivePrograms();
}

void TfrmBackupProfiles::OnRemoveProgram()
{
  const QTreeWidgetItem* row = SelectedRow(ListViewActivePrograms);
  if (!FBackupProfile || !row)
    return;
  const QString name = row->text(0);
  if (TMessageBox::Confirmation(this, QStringLiteral("Are you sure you want to remove \"%1\"").arg(name))) {
    const int index = ActiveProgramIndex(name);
    if (index >= 0)
      FBackupProfile->ActivePrograms().removeAt(index);
  }
  FillActivePrograms();
}

void TfrmBackupProfiles::OnRemoveAllPrograms()
{
  if (!FBackupProfile)
    return;
  if (TMessageBox::Confirmation(this, QStringLiteral("Are you sure you want to clear active program list?")))
    FBackupProfile->ActivePrograms().clear();
  FillActivePrograms();
}

void TfrmBackupProfiles::OnTestClick()
{
  if (!FBackupProfile || !FProgramWindows)
    return;
  if (!TMessageBox::Question(this, TMessageBox::mkWarning,
                             QStringLiteral("This test will attempt to close active applications, please ensure you "
                                            "have saved your work. Are you sure you want to continue?")))
    return;
  if (FProgramWindows->CloseApplications(FBackupProfile->ActivePrograms(), cbCloseGracefully->isChecked()))
    TMessageBox::Information(this, QStringLiteral("All applications have been terminated."));
  else
    TMessageBox::Warning(this, QStringLiteral("Failed to close all applications."));
}

void TfrmBackupProfiles::SetPluginsActive(bool AValue)
{
  if (!FPlugins || FPluginsActive == AValue)
    return;
  try {
    FPlugins->SetActive(AValue);
    FPluginsActive = AValue;
  } catch (const EPluginError& e) {
    FPluginsActive = false;
    TMessageBox::Error(this, e.Message());
  }
}

void TfrmBackupProfiles::FillPlugins()
{
  ListViewPlugins->clear();
  if (FPlugins && FPluginsActive) {
    const QList<TPluginRow> rows = FPlugins->Rows();
    for (const TPluginRow& row : rows)
      new QTreeWidgetItem(ListViewPlugins, {row.Name, row.Version, row.Developer});
  }
  UpdateActions();
}

void TfrmBackupProfiles::OnPageChange()
{
  const bool plugins = PageControl->currentWidget() == TabSheetPlugins;
  SetPluginsActive(plugins);
  if (plugins)
    FillPlugins();
  if (PageControl->currentWidget() == TabSheetFiles && PageControlFiles->currentWidget() == TabSheetDestination)
    Destination->ShowCompression(Destination->TrackBarCompression->value());
}

void TfrmBackupProfiles::OnRefreshPlugins()
{
  SetPluginsActive(false);
  SetPluginsActive(true);
  FillPlugins();
}

void TfrmBackupProfiles::OnConfigurePlugin()
{
  const QTreeWidgetItem* row = SelectedRow(ListViewPlugins);
  if (!FPlugins || !row)
    return;
  try {
    FPlugins->Configure(row->text(0), editName->text());
  } catch (const EPluginError& e) {
    TMessageBox::Error(this, e.Message());
  }
}

void TfrmBackupProfiles::UpdateActions()
{
  btnSMTPDetails->setEnabled(cbCustomSMTP->isChecked());
  for (const TEntryList* list : {&Sources, &Exclusions}) {
    list->btnRemove->setEnabled(SelectedRow(list->ListView) != nullptr);
    list->btnRemoveAll->setEnabled(list->ListView->topLevelItemCount() > 0);
  }
  const bool programSelected = SelectedRow(ListViewActivePrograms) != nullptr;
  btnAddProgram->setEnabled(FProgramWindows != nullptr);
  btnEditProgram->setEnabled(FProgramWindows != nullptr && programSelected);
  btnRemoveProgram->setEnabled(programSelected);
  btnRemoveAllPrograms->setEnabled(ListViewActivePrograms->topLevelItemCount() > 0);
  btnTest->setEnabled(FProgramWindows != nullptr);
  btnConfigurePlugin->setEnabled(SelectedRow(ListViewPlugins) != nullptr);
  btnRefreshPlugins->setEnabled(FPlugins != nullptr);
}
