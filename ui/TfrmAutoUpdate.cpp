// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/TfrmAutoUpdate.h"

#include "sysinfo/Common.h"
#include "sysinfo/TimeTexts.h"
#include "ui/TMessageBox.h"
#include "update/EAutoUpdateError.h"
#include "update/TAutoUpdate.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

TfrmAutoUpdate::TfrmAutoUpdate(TAutoUpdate& AAutoUpdate, TProgramSettings* ASettings, QWidget* AParent)
  : QDialog(AParent, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
  , FAutoUpdate(AAutoUpdate)
  , FProgramSettings(ASettings)
{
  setObjectName(QStringLiteral("frmAutoUpdate"));
  setWindowTitle(QStringLiteral("Autoupdate"));
  auto* layout = new QVBoxLayout(this);
  auto* header = new QLabel(QStringLiteral("Software Update, Please Wait..."), this);
  header->setAlignment(Qt::AlignCenter);
  QFont font = header->font();
  font.setBold(true);
  header->setFont(font);
  layout->addWidget(header);
  lblStatus = new QLabel(QStringLiteral("Please Wait..."), this);
  lblStatus->setWordWrap(true);
  layout->addWidget(lblStatus);
  ProgressBar = new QProgressBar(this);
  ProgressBar->setRange(0, 100);
  layout->addWidget(ProgressBar);
  lblRemaining = new QLabel(QStringLiteral("Calculating..."), this);
  lblElapsed = new QLabel(QStringLiteral("Calculating..."), this);
  layout->addWidget(lblRemaining);
  layout->addWidget(lblElapsed);
  btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
  layout->addWidget(btnCancel, 0, Qt::AlignRight);
  connect(btnCancel, &QPushButton::clicked, this, [this] { FAutoUpdate.Cancel(); });

  FAutoUpdate.OnUpdateAvailable = [this](QObject*, const QString& AApplicationName, const QString& ANewVersion,
                                         const QString&,
                                         bool& AStart) { UpdateAvailable(AApplicationName, ANewVersion, AStart); };
  FAutoUpdate.OnUpdateBegin = [this](QObject*) {
    FProcessTimer.Start(static_cast<std::uint32_t>(ProgressBar->maximum()));
  };
  FAutoUpdate.OnUpdateProgress = [this](QObject*, const QString& AMessage, int AProgress, bool&) {
    UpdateProgress(AMessage, AProgress);
  };
  FAutoUpdate.OnUpdateEnd = [this](QObject*, bool ASuccess, const QString& AMessage, const QString&, const QString&) {
    UpdateEnd(ASuccess, AMessage);
  };
  FAutoUpdate.OnUpdateExecute = [](QObject*, bool& AExecute, const QString&, const QString&) { AExecute = true; };
  FAutoUpdate.OnLog = [this](QObject*, const QString& AMessage) {
    if (OnUpdateMessage)
      OnUpdateMessage(this, AMessage);
  };
}

TfrmAutoUpdate::~TfrmAutoUpdate()
{
  FAutoUpdate.SetActive(false);
  FAutoUpdate.OnUpdateAvailable = nullptr;
  FAutoUpdate.OnUpdateBegin = nullptr;
  FAutoUpdate.OnUpdateProgress = nullptr;
  FAutoUpdate.OnUpdateEnd = nullptr;
  FAutoUpdate.OnUpdateExecute = nullptr;
  FAutoUpdate.OnLog = nullptr;
}

bool TfrmAutoUpdate::AutoUpdateEnabled() const
{
  return FAutoUpdate.Active();
}

void TfrmAutoUpdate::SetAutoUpdateEnabled(bool AValue)
{
  if (!FProgramSettings)
    throw EAutoUpdateError(QStringLiteral("TfrmAutoUpdate: Property \"ProgramSettings\" has not been assigned."));
  if (AValue == AutoUpdateEnabled())
    return;
  if (AValue) {
    FAutoUpdate.SetProgramSettings(FProgramSettings);
    FAutoUpdate.LoadSettings();
    FAutoUpdate.SetActive(true);
  } else {
    FAutoUpdate.SetActive(false);
    FAutoUpdate.SetProgramSettings(nullptr);
  }
}

void TfrmAutoUpdate::CheckForUpdates()
{
  FAutoUpdate.Execute();
}

void TfrmAutoUpdate::UpdateAvailable(const QString& AApplicationName, const QString& ANewVersion, bool& AStart)
{
  QString text = QStringLiteral("Version %1 of \"%2\" is available, would you like to update now?")
                     .arg(ANewVersion, AApplicationName);
  if (!FAutoUpdate.DescriptionVerified())
    text += QStringLiteral("\n\nThe update details were fetched over plain http: the download is not verified.");
  AStart = TMessageBox::Question(this, TMessageBox::mkInformation, text);
  if (AStart)
    show();
}

void TfrmAutoUpdate::UpdateProgress(const QString& AMessage, int AProgress)
{
  lblStatus->setText(AMessage);
  ProgressBar->setValue(qBound(0, AProgress, 100));
  QCoreApplication::processEvents();
  FProcessTimer.UpdateProgress(static_cast<std::uint32_t>(qBound(0, AProgress, 100)));
  lblRemaining->setText(RemainingTimeText(FProcessTimer.EstimatedTime()));
  lblElapsed->setText(ElapsedTimeText(FProcessTimer.ElapsedTime()));
}

void TfrmAutoUpdate::UpdateEnd(bool ASuccess, const QString& AMessage)
{
  if (!ASuccess && !IsBlank(AMessage))
    TMessageBox::Error(this, AMessage);
  hide();
}

void TfrmAutoUpdate::reject()
{
  btnCancel->click();
}

void TfrmAutoUpdate::showEvent(QShowEvent* AEvent)
{
  if (QWidget* owner = parentWidget())
    move(owner->geometry().center() - rect().center());
  QDialog::showEvent(AEvent);
}

void TfrmAutoUpdate::closeEvent(QCloseEvent* AEvent)
{
  FProcessTimer.Stop();
  QDialog::closeEvent(AEvent);
}
