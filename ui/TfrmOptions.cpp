// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/TfrmOptions.h"

#include "platform/TFileManager.h"
#include "profiles/TBackupProfileManager.h"
#include "settings/TLog.h"
#include "settings/TProgramSettings.h"
#include "sysinfo/DateTime.h"
#include "ui/TArchiveTasks.h"
#include "ui/TMessageBox.h"
#include "ui/TProfileEditing.h"
#include "ui/TSmtpServerFields.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <iterator>

namespace {

using enum TOptionId;

// Where a check box of the General page goes.
enum TGeneralFrame { gfGeneral, gfWarnings };

struct TGeneralCheck
{
  const char* Caption;
  TOptionId Option;
  TGeneralFrame Frame;
};

// The check boxes of the General page that stand alone, in the order they appear in their frame
// (after the frame's fixed controls). A new Boolean option shown on this page is one more row.
constexpr TGeneralCheck GeneralChecks[] = {
    {"Check for Updates", AutomaticUpdateEnabled, gfGeneral},
    {"Verify archives after writing them.", VerifyArchives, gfGeneral},
    {"Only shut down, restart or log off when the backup succeeded", ExitOnlyAfterSuccess, gfGeneral},
    {"Last successful backup.", CheckLastBackup, gfWarnings},
    {"Check active programs.", CheckActivePrograms, gfWarnings},
};

constexpr int NumberFieldMaximum = 1000000;
constexpr int HttpDefaultPort = 8080;
constexpr int SocksDefaultPort = 1080;
constexpr int ProfileNameWidth = 200;

enum TPage { pgGeneral, pgProfiles, pgConnectivity, pgLog, pgAdvanced };

const QString SelectProfile = QStringLiteral("Please select a profile.");

QIcon ToolIcon(const QWidget* AWidget, const char* AThemeName, QStyle::StandardPixmap AFallback)
{
  return QIcon::fromTheme(QString::fromLatin1(AThemeName), AWidget->style()->standardIcon(AFallback));
}

QLineEdit* TextField(QWidget* AParent, const char* AName, bool AMasked = false)
{
  auto* edit = new QLineEdit(AParent);
  edit->setObjectName(QString::fromLatin1(AName));
  if (AMasked)
    edit->setEchoMode(QLineEdit::Password);
  return edit;
}

QSpinBox* NumberField(QWidget* AParent, const char* AName)
{
  auto* spin = new QSpinBox(AParent);
  spin->setObjectName(QString::fromLatin1(AName));
  spin->setRange(0, NumberFieldMaximum);
  return spin;
}

QCheckBox* CheckBox(QWidget* AParent, const QString& ACaption, const char* AName)
{
  auto* box = new QCheckBox(ACaption, AParent);
  box->setObjectName(QString::fromLatin1(AName));
  return box;
}

QLabel* WarningLabel(QWidget* AParent, const QString& AText)
{
  auto* label = new QLabel(AText, AParent);
  label->setWordWrap(true);
  label->setStyleSheet(QStringLiteral("color: red; font-weight: bold;"));
  return label;
}

// A port as typed: its number when it is one (0 to 65535), else ADefault.
int PortValue(const QString& AText, int ADefault)
{
  bool valid = false;
  const int port = AText.trimmed().toInt(&valid);
  return valid && port >= 0 && port <= 65535 ? port : ADefault;
}

} // namespace

TfrmOptions::TfrmOptions(TProgramSettings& ASettings, TBackupProfileManager& AManager, TLog& ALog,
                         TProfileEditing& AProfileEditing, TFileManager& AFileManager,
                         const QStringList& AActionCaptions, QWidget* AParent)
  : QDialog(AParent)
  , FSettings(ASettings)
  , FManager(AManager)
  , FLog(ALog)
  , FProfileEditing(AProfileEditing)
  , FFileManager(AFileManager)
{
  setObjectName(QStringLiteral("frmOptions"));
  setWindowTitle(QStringLiteral("Options"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

  PageControl = new QTabWidget(this);
  PageControl->setObjectName(QStringLiteral("PageControl"));
  PageControl->addTab(CreateGeneralPage(), QStringLiteral("General"));
  PageControl->addTab(CreateProfilesPage(), QStringLiteral("Backup Profiles"));
  PageControl->addTab(CreateConnectivityPage(), QStringLiteral("Connectivity"));
  PageControl->addTab(CreateLogPage(), QStringLiteral("Log"));
  PageControl->addTab(CreateAdvancedPage(), QStringLiteral("Advanced"));
  ComboBoxSelectBackup->addItems(AActionCaptions);
  connect(PageControl, &QTabWidget::currentChanged, this, [this](int APage) {
    if (APage == pgLog)
      RefreshLog();
  });

  btnOk = new QPushButton(QStringLiteral("Ok"), this);
  btnOk->setObjectName(QStringLiteral("btnOk"));
  btnOk->setDefault(true);
  btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnOk);
  buttons->addWidget(btnCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(PageControl);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  // The table of controls and options: every control the dialog reads and writes.
  Bind(Debug, cbDebug);
  Bind(Password, editPassword);
  Bind(RememberLastSelection, cbRememberLastSelection);
  Bind(LastSelectionID, ComboBoxSelectBackup);
  Bind(AutomaticUpdateAutomatic, cbAutomaticUpdate);
  Bind(AutomaticUpdateURL, editUpdateURL);
  Bind(AutomaticUpdateInterval, editUpdateInterval);
  Bind(AutomaticUpdateApplication, editApplicationName, 0, true);
  Bind(HTTPProxy, cbHTTPProxy);
  Bind(HTTPHost, editHTTPHost);
  Bind(HTTPPort, editHTTPPort, HttpDefaultPort);
  Bind(HTTPAuthentication, cbHTTPAuthentication);
  Bind(HTTPUsername, editHTTPUsername);
  Bind(HTTPPassword, editHTTPPassword);
  Bind(SOCKSProxy, cbSOCKSProxy);
  Bind(SOCKSHost, editSOCKSHost);
  Bind(SOCKSPort, editSOCKSPort, SocksDefaultPort);
  Bind(SOCKSVersion, ComboBoxSOCKSVersion);
  Bind(SOCKSAuthentication, cbSOCKSAuthentication);
  Bind(SOCKSUsername, editSOCKSUsername);
  Bind(SOCKSPassword, editSOCKSPassword);
  Bind(SMTPHost, gbSMTPSettings->editHost);
  Bind(SMTPPort, gbSMTPSettings->editPort);
  Bind(SMTPAuthentication, gbSMTPSettings->cbAuthentication);
  Bind(SMTPSecure, gbSMTPSettings->cbSecure);
  Bind(SMTPUsername, gbSMTPSettings->editUsername);
  Bind(SMTPPassword, gbSMTPSettings->editPassword);
}

TfrmOptions::~TfrmOptions() = default;

void TfrmOptions::Bind(TOptionId AOption, QWidget* AControl, int ADefaultPort, bool AShownOnly)
{
  FBindings.push_back({AOption, AControl, ADefaultPort, AShownOnly});
}

QCheckBox* TfrmOptions::CheckBoxFor(TOptionId AOption) const
{
  for (const TOptionBinding& binding : FBindings)
    if (binding.Option == AOption)
      return qobject_cast<QCheckBox*>(binding.Control);
  return nullptr;
}

QWidget* TfrmOptions::CreateGeneralPage()
{
  auto* page = new QWidget(this);
  auto* general = new QGroupBox(QStringLiteral("General"), page);
  cbLoadOnStartup = CheckBox(general, QStringLiteral("Load on system startup."), "cbLoadOnStartup");
  auto* lblPassword = new QLabel(QStringLiteral("Password protect options"), general);
  editPassword = TextField(general, "editPassword", true);
  lblPassword->setBuddy(editPassword);
  cbRememberLastSelection = CheckBox(general, QStringLiteral("Remember last selection."), "cbRememberLastSelection");
  ComboBoxSelectBackup = new QComboBox(general);
  ComboBoxSelectBackup->setObjectName(QStringLiteral("ComboBoxSelectBackup"));
  auto* generalLayout = new QVBoxLayout(general);
  generalLayout->addWidget(cbLoadOnStartup);
  generalLayout->addWidget(lblPassword);
  generalLayout->addWidget(editPassword);
  generalLayout->addWidget(cbRememberLastSelection);
  generalLayout->addWidget(ComboBoxSelectBackup);

  auto* warnings = new QGroupBox(QStringLiteral("Warnings"), page);
  auto* warningsLayout = new QVBoxLayout(warnings);
  for (const TGeneralCheck& check : GeneralChecks) {
    QGroupBox* frame = check.Frame == gfGeneral ? general : warnings;
    QCheckBox* box = CheckBox(frame, QString::fromLatin1(check.Caption),
                              qPrintable(QStringLiteral("cb") + TApplicationOptions::Name(check.Option)));
    (check.Frame == gfGeneral ? generalLayout : warningsLayout)->addWidget(box);
    Bind(check.Option, box);
  }

  auto* layout = new QVBoxLayout(page);
  layout->addWidget(general);
  layout->addWidget(warnings);
  layout->addStretch();
  return page;
}

QWidget* TfrmOptions::CreateProfilesPage()
{
  auto* page = new QWidget(this);
  auto* frame = new QGroupBox(QStringLiteral("Backup Profiles"), page);
  ToolBarProfiles = new QToolBar(frame);
  ToolBarProfiles->setObjectName(QStringLiteral("ToolBarProfiles"));
  ToolBarProfiles->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  const auto addAction = [this](const QString& AText, const QIcon& AIcon, bool AIconOnly,
                                void (TfrmOptions::*AHandler)()) {
    QAction* action = ToolBarProfiles->addAction(AIcon, AText);
    action->setToolTip(AText);
    connect(action, &QAction::triggered, this, AHandler);
    if (AIconOnly)
      if (auto* button = qobject_cast<QToolButton*>(ToolBarProfiles->widgetForAction(action)))
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    return action;
  };
  ActionProfileWizard =
      addAction(QStringLiteral("Profile Wizard"), ToolIcon(this, "tools-wizard", QStyle::SP_DialogHelpButton), false,
                &TfrmOptions::ProfileWizard);
  ToolBarProfiles->addSeparator();
  ActionNewProfile = addAction(QStringLiteral("New backup profile."),
                               ToolIcon(this, "document-new", QStyle::SP_FileIcon), true, &TfrmOptions::NewProfile);
  ActionEditProfile = addAction(QStringLiteral("Edit backup profile"),
                                ToolIcon(this, "document-properties", QStyle::SP_FileDialogDetailedView), true,
                                &TfrmOptions::EditProfile);
  ActionRemoveProfile =
      addAction(QStringLiteral("Remove backup profile."), ToolIcon(this, "list-remove", QStyle::SP_TrashIcon), true,
                &TfrmOptions::RemoveProfile);
  ToolBarProfiles->addSeparator();
  ActionRemoveAllProfiles =
      addAction(QStringLiteral("Remove all backup profiles"),
                ToolIcon(this, "edit-delete", QStyle::SP_DialogDiscardButton), false, &TfrmOptions::RemoveAllProfiles);
  ToolBarProfiles->addSeparator();
  ActionVerifyArchive =
      addAction(QStringLiteral("Verify archive"), ToolIcon(this, "document-preview", QStyle::SP_DialogApplyButton),
                false, &TfrmOptions::VerifyArchive);
  ActionRestoreArchive =
      addAction(QStringLiteral("Restore..."), ToolIcon(this, "document-revert", QStyle::SP_DialogOpenButton), false,
                &TfrmOptions::RestoreArchive);

  ListViewProfiles = new QTreeWidget(frame);
  ListViewProfiles->setObjectName(QStringLiteral("ListViewProfiles"));
  ListViewProfiles->setHeaderLabels(
      {QStringLiteral("Profile Name"), QStringLiteral("Last Backup"), QStringLiteral("Zip File")});
  ListViewProfiles->setRootIsDecorated(false);
  ListViewProfiles->setSelectionBehavior(QAbstractItemView::SelectRows);
  ListViewProfiles->setSelectionMode(QAbstractItemView::SingleSelection);
  ListViewProfiles->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // Grid lines between the cells; a selected row keeps the usual highlight.
  ListViewProfiles->setStyleSheet(QStringLiteral(
      "QTreeView::item { border-right: 1px solid palette(midlight); border-bottom: 1px solid palette(midlight); }"
      "QTreeView::item:selected { background: palette(highlight); color: palette(highlighted-text); }"));
  ListViewProfiles->header()->setStretchLastSection(false);
  ListViewProfiles->setMinimumSize(480, 260);
  connect(ListViewProfiles, &QTreeWidget::itemChanged, this, &TfrmOptions::ProfileItemChanged);
  connect(ListViewProfiles, &QTreeWidget::itemDoubleClicked, this, [this] { EditProfile(); });

  auto* frameLayout = new QVBoxLayout(frame);
  frameLayout->addWidget(ToolBarProfiles);
  frameLayout->addWidget(ListViewProfiles);
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(frame);
  return page;
}

QWidget* TfrmOptions::CreateConnectivityPage()
{
  auto* page = new QWidget(this);
  auto* frame = new QGroupBox(QStringLiteral("Connectivity"), page);
  PageControlConnectivity = new QTabWidget(frame);
  PageControlConnectivity->setObjectName(QStringLiteral("PageControlConnectivity"));

  auto* smtpPage = new QWidget(PageControlConnectivity);
  gbSMTPSettings = new TSmtpServerFields(QStringLiteral("SMTP Settings"), smtpPage);
  auto* smtpLayout = new QVBoxLayout(smtpPage);
  smtpLayout->addWidget(gbSMTPSettings);
  smtpLayout->addStretch();

  auto* httpPage = new QWidget(PageControlConnectivity);
  cbHTTPProxy = CheckBox(httpPage, QStringLiteral("Enable HTTP Proxy"), "cbHTTPProxy");
  auto* httpFrame = new QGroupBox(httpPage);
  editHTTPHost = TextField(httpFrame, "editHTTPHost");
  editHTTPPort = TextField(httpFrame, "editHTTPPort");
  cbHTTPAuthentication = CheckBox(httpFrame, QStringLiteral("Authentication"), "cbHTTPAuthentication");
  editHTTPUsername = TextField(httpFrame, "editHTTPUsername");
  editHTTPPassword = TextField(httpFrame, "editHTTPPassword");
  auto* httpForm = new QFormLayout(httpFrame);
  httpForm->addRow(QStringLiteral("Host"), editHTTPHost);
  httpForm->addRow(QStringLiteral("Port"), editHTTPPort);
  httpForm->addRow(cbHTTPAuthentication);
  httpForm->addRow(QStringLiteral("Username"), editHTTPUsername);
  httpForm->addRow(QStringLiteral("Password"), editHTTPPassword);
  auto* httpLayout = new QVBoxLayout(httpPage);
  httpLayout->addWidget(cbHTTPProxy);
  httpLayout->addWidget(httpFrame);
  httpLayout->addStretch();

  auto* socksPage = new QWidget(PageControlConnectivity);
  cbSOCKSProxy = CheckBox(socksPage, QStringLiteral("Enable Socks Proxy"), "cbSOCKSProxy");
  auto* socksFrame = new QGroupBox(socksPage);
  editSOCKSHost = TextField(socksFrame, "editSOCKSHost");
  editSOCKSPort = TextField(socksFrame, "editSOCKSPort");
  ComboBoxSOCKSVersion = new QComboBox(socksFrame);
  ComboBoxSOCKSVersion->setObjectName(QStringLiteral("ComboBoxSOCKSVersion"));
  ComboBoxSOCKSVersion->addItems({QStringLiteral("None"), QStringLiteral("Socks 4"), QStringLiteral("Socks 5")});
  cbSOCKSAuthentication = CheckBox(socksFrame, QStringLiteral("Authentication"), "cbSOCKSAuthentication");
  editSOCKSUsername = TextField(socksFrame, "editSOCKSUsername");
  editSOCKSPassword = TextField(socksFrame, "editSOCKSPassword");
  auto* socksForm = new QFormLayout(socksFrame);
  socksForm->addRow(QStringLiteral("Host"), editSOCKSHost);
  socksForm->addRow(QStringLiteral("Port"), editSOCKSPort);
  socksForm->addRow(QStringLiteral("Socks Version:"), ComboBoxSOCKSVersion);
  socksForm->addRow(cbSOCKSAuthentication);
  socksForm->addRow(QStringLiteral("Username"), editSOCKSUsername);
  socksForm->addRow(QStringLiteral("Password"), editSOCKSPassword);
  auto* socksLayout = new QVBoxLayout(socksPage);
  socksLayout->addWidget(cbSOCKSProxy);
  socksLayout->addWidget(socksFrame);
  socksLayout->addStretch();

  PageControlConnectivity->addTab(smtpPage, QStringLiteral("SMTP"));
  PageControlConnectivity->addTab(httpPage, QStringLiteral("HTTP Proxy"));
  PageControlConnectivity->addTab(socksPage, QStringLiteral("Socks Proxy"));
  auto* frameLayout = new QVBoxLayout(frame);
  frameLayout->addWidget(PageControlConnectivity);
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(frame);
  return page;
}

QWidget* TfrmOptions::CreateLogPage()
{
  auto* page = new QWidget(this);
  auto* frame = new QGroupBox(QStringLiteral("Log"), page);
  auto* toolBar = new QToolBar(frame);
  toolBar->setObjectName(QStringLiteral("ToolBarLog"));
  toolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  ActionRefreshLog =
      toolBar->addAction(ToolIcon(this, "view-refresh", QStyle::SP_BrowserReload), QStringLiteral("Refresh"));
  ActionBrowseToLog =
      toolBar->addAction(ToolIcon(this, "folder-open", QStyle::SP_DirOpenIcon), QStringLiteral("Browse to Log"));
  connect(ActionRefreshLog, &QAction::triggered, this, &TfrmOptions::RefreshLog);
  connect(ActionBrowseToLog, &QAction::triggered, this, &TfrmOptions::BrowseToLog);
  memoLog = new QPlainTextEdit(frame);
  memoLog->setObjectName(QStringLiteral("memoLog"));
  memoLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memoLog->setLineWrapMode(QPlainTextEdit::NoWrap);
  auto* frameLayout = new QVBoxLayout(frame);
  frameLayout->addWidget(toolBar);
  frameLayout->addWidget(memoLog);
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(frame);
  return page;
}

QWidget* TfrmOptions::CreateAdvancedPage()
{
  auto* page = new QWidget(this);
  auto* frame = new QGroupBox(QStringLiteral("Advanced"), page);
  PageControlAdvanced = new QTabWidget(frame);
  PageControlAdvanced->setObjectName(QStringLiteral("PageControlAdvanced"));

  auto* generalPage = new QWidget(PageControlAdvanced);
  cbDebug = CheckBox(generalPage, QStringLiteral("Debug"), "cbDebug");
  auto* generalLayout = new QVBoxLayout(generalPage);
  generalLayout->addWidget(cbDebug);
  generalLayout->addStretch();

  auto* updatePage = new QWidget(PageControlAdvanced);
  editUpdateURL = TextField(updatePage, "editUpdateURL");
  cbAutomaticUpdate =
      CheckBox(updatePage, QStringLiteral("Automatically download and install update."), "cbAutomaticUpdate");
  editUpdateInterval = NumberField(updatePage, "editUpdateInterval");
  editApplicationName = TextField(updatePage, "editApplicationName");
  editApplicationName->setReadOnly(true);
  editApplicationName->setEnabled(false);
  auto* updateForm = new QFormLayout(updatePage);
  updateForm->addRow(editUpdateURL);
  updateForm->addRow(WarningLabel(
      updatePage, QStringLiteral("Please do not modify the autoupdate URL unless specified by your program vendor.")));
  updateForm->addRow(cbAutomaticUpdate);
  updateForm->addRow(QStringLiteral("Check Interval (Hours)"), editUpdateInterval);
  updateForm->addRow(QStringLiteral("Application Name"), editApplicationName);

  PageControlAdvanced->addTab(generalPage, QStringLiteral("General"));
  PageControlAdvanced->addTab(updatePage, QStringLiteral("Auto Update"));
  auto* frameLayout = new QVBoxLayout(frame);
  frameLayout->addWidget(PageControlAdvanced);
  frameLayout->addWidget(WarningLabel(frame, QStringLiteral("NOTE: The above settings are for advance users only. "
                                                            "Changing these setting may have an adverse effect on "
                                                            "program performance.")));
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(frame);
  layout->addStretch();
  return page;
}

int TfrmOptions::Execute()
{
  LoadControls();
  FillProfileList();
  cbLoadOnStartup->setChecked(FSettings.GetAutoRun());
  const int result = exec();
  if (result != QDialog::Accepted)
    return result;
  StoreControls();
  if (!FSettings.SetAutoRun(QStringLiteral("/HIDE"), cbLoadOnStartup->isChecked()))
    TMessageBox::Warning(this, cbLoadOnStartup->isChecked()
                                   ? QStringLiteral("Unable to register the program to load on system startup.")
                                   : QStringLiteral("Unable to stop the program from loading on system startup."));
  return result;
}

void TfrmOptions::LoadControls()
{
  for (const TOptionBinding& binding : FBindings) {
    if (auto* box = qobject_cast<QCheckBox*>(binding.Control)) {
      box->setChecked(TApplicationOptions::Boolean(FSettings, binding.Option));
    } else if (auto* spin = qobject_cast<QSpinBox*>(binding.Control)) {
      spin->setValue(TApplicationOptions::Integer(FSettings, binding.Option));
    } else if (auto* combo = qobject_cast<QComboBox*>(binding.Control)) {
      const int index = TApplicationOptions::Integer(FSettings, binding.Option);
      combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
    } else if (auto* edit = qobject_cast<QLineEdit*>(binding.Control)) {
      edit->setText(binding.DefaultPort != 0 ? QString::number(TApplicationOptions::Integer(FSettings, binding.Option))
                                             : TApplicationOptions::Text(FSettings, binding.Option));
    }
  }
}

void TfrmOptions::StoreControls()
{
  for (const TOptionBinding& binding : FBindings) {
    if (binding.ShownOnly)
      continue;
    QVariant value;
    if (auto* box = qobject_cast<QCheckBox*>(binding.Control))
      value = box->isChecked();
    else if (auto* spin = qobject_cast<QSpinBox*>(binding.Control))
      value = spin->value();
    else if (auto* combo = qobject_cast<QComboBox*>(binding.Control))
      value = combo->currentIndex();
    else if (auto* edit = qobject_cast<QLineEdit*>(binding.Control))
      value =
          binding.DefaultPort != 0 ? QVariant(PortValue(edit->text(), binding.DefaultPort)) : QVariant(edit->text());
    TApplicationOptions::Set(FSettings, binding.Option, value);
  }
}

void TfrmOptions::showEvent(QShowEvent* AEvent)
{
  QDialog::showEvent(AEvent);
  PageControl->setCurrentIndex(pgGeneral);
  PageControlConnectivity->setCurrentIndex(0);
  PageControlAdvanced->setCurrentIndex(0);
  RefreshLog();
}

// ---- Profiles ---------------------------------------------------------------------------------

void TfrmOptions::FillProfileList()
{
  FFilling = true;
  ListViewProfiles->clear();
  for (int i = 0; i < FManager.ProfileCount(); ++i) {
    const TBackupProfile* profile = FManager.GetProfileByIndex(i);
    auto* item =
        new QTreeWidgetItem(ListViewProfiles, {profile->ProfileName(), DateTimeToStrOrBlank(profile->LastBackup()),
                                               QFileInfo(profile->ZipFile()).fileName()});
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(0, profile->Enabled() ? Qt::Checked : Qt::Unchecked);
  }
  ListViewProfiles->header()->resizeSection(0, ProfileNameWidth);
  ListViewProfiles->resizeColumnToContents(1);
  ListViewProfiles->resizeColumnToContents(2);
  FFilling = false;
}

QString TfrmOptions::SelectedProfile()
{
  const QTreeWidgetItem* item = ListViewProfiles->currentItem();
  if (!item || !item->isSelected()) {
    TMessageBox::Error(this, SelectProfile);
    return QString();
  }
  return item->text(0);
}

void TfrmOptions::ProfileItemChanged(QTreeWidgetItem* AItem, int AColumn)
{
  if (FFilling || AColumn != 0)
    return;
  TBackupProfile* profile = FManager.ProfileByName(AItem->text(0));
  const bool enabled = AItem->checkState(0) == Qt::Checked;
  if (!profile || profile->Enabled() == enabled)
    return;
  profile->SetEnabled(enabled);
  if (profile->SaveProfile())
    return;
  // The list shows what is stored.
  profile->SetEnabled(!enabled);
  FFilling = true;
  AItem->setCheckState(0, enabled ? Qt::Unchecked : Qt::Checked);
  FFilling = false;
  TMessageBox::Error(this, QStringLiteral("Failed to save profile: ") + profile->ProfileName());
}

void TfrmOptions::ProfileWizard()
{
  (void)FProfileEditing.WizardProfile();
  FillProfileList();
}

void TfrmOptions::NewProfile()
{
  (void)FProfileEditing.NewProfile();
  FillProfileList();
}

void TfrmOptions::EditProfile()
{
  const QString name = SelectedProfile();
  if (name.isEmpty())
    return;
  (void)FProfileEditing.EditProfile(name);
  FillProfileList();
}

void TfrmOptions::RemoveProfile()
{
  const QString name = SelectedProfile();
  if (name.isEmpty())
    return;
  if (!TMessageBox::Confirmation(this, QStringLiteral("Are you sure you want to remove \"%1\"").arg(name)))
    return;
  if (!FManager.DeleteProfile(name))
    TMessageBox::Error(this, QStringLiteral("Failed to remove the stored backup profile \"%1\".").arg(name));
  FillProfileList();
}

void TfrmOptions::RemoveAllProfiles()
{
  if (!TMessageBox::Confirmation(this, QStringLiteral("Are you sure you want to remove all profiles?")))
    return;
  QStringList failed;
  for (int i = 0; i < ListViewProfiles->topLevelItemCount(); ++i) {
    const QString name = ListViewProfiles->topLevelItem(i)->text(0);
    if (!FManager.DeleteProfile(name))
      failed << name;
  }
  if (!failed.isEmpty())
    TMessageBox::Error(this, QStringLiteral("Failed to remove the stored backup profile \"%1\".")
                                 .arg(failed.join(QStringLiteral("\", \""))));
  FillProfileList();
}

void TfrmOptions::VerifyArchive()
{
  const TBackupProfile* profile = FManager.ProfileByName(SelectedProfile());
  if (profile)
    (void)TArchiveTasks(this).Verify(*profile);
}

void TfrmOptions::RestoreArchive()
{
  const TBackupProfile* profile = FManager.ProfileByName(SelectedProfile());
  if (profile)
    (void)TArchiveTasks(this).Restore(*profile);
}

// ---- Log ----------------------------------------------------------------------------------------

void TfrmOptions::RefreshLog()
{
  if (FLog.Active())
    memoLog->setPlainText(FLog.LogCache().join(QLatin1Char('\n')));
  else
    memoLog->clear();
}

void TfrmOptions::BrowseToLog()
{
  if (!FLog.Active() || FLog.FileName().isEmpty()) {
    TMessageBox::Error(this, QStringLiteral("No log available."));
    return;
  }
  if (!FFileManager.ShowFile(FLog.FileName()))
    TMessageBox::Error(this, QStringLiteral("Unable to show \"%1\" in the file manager.").arg(FLog.FileName()));
}
