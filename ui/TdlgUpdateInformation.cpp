// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/TdlgUpdateInformation.h"

#include "platform/FileSystem.h"
#include "ui/RichTextDocument.h"
#include "ui/TMessageBox.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QTextEdit* NewView(QWidget* AParent)
{
  auto* view = new QTextEdit(AParent);
  view->setReadOnly(true);
  view->setLineWrapMode(QTextEdit::NoWrap);
  view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  return view;
}

} // namespace

TdlgUpdateInformation::TdlgUpdateInformation(const QString& AProductName, const QString& AFileVersion, QWidget* AParent)
  : QDialog(AParent, Qt::Tool)
  , FProductName(AProductName)
  , FFileVersion(AFileVersion)
{
  setObjectName(QStringLiteral("dlgUpdateInformation"));
  setWindowTitle(QStringLiteral("Update Information"));
  resize(640, 480);
  auto* layout = new QVBoxLayout(this);
  lblTitle = new QLabel(this);
  lblTitle->setAlignment(Qt::AlignCenter);
  QFont font = lblTitle->font();
  font.setBold(true);
  font.setPointSizeF(font.pointSizeF() * 1.3);
  lblTitle->setFont(font);
  lblTitle->installEventFilter(this);
  layout->addWidget(lblTitle);
  lblVersion = new QLabel(this);
  layout->addWidget(lblVersion, 0, Qt::AlignRight);
  PageControl = new QTabWidget(this);
  ReleaseNotesView = NewView(PageControl);
  SupportView = NewView(PageControl);
  LicenseView = NewView(PageControl);
  PageControl->addTab(ReleaseNotesView, QStringLiteral("Release Notes"));
  PageControl->addTab(SupportView, QStringLiteral("Support Information"));
  PageControl->addTab(LicenseView, QStringLiteral("License Information"));
  layout->addWidget(PageControl, 1);
  btnClose = new QPushButton(QStringLiteral("Close"), this);
  btnClose->setEnabled(false);
  layout->addWidget(btnClose, 0, Qt::AlignRight);
  connect(btnClose, &QPushButton::clicked, this, [this] {
    if (FCanClose)
      close();
  });
  FTimer = new QTimer(this);
  FTimer->setInterval(1000);
  connect(FTimer, &QTimer::timeout, this, &TdlgUpdateInformation::TimerTick);
}

void TdlgUpdateInformation::SetDocuments(const QString& AReleaseNotes, const QString& ALicenseInformation,
                                         const QString& ASupportInformation, int ACloseTimeout)
{
  FReleaseNotes = AReleaseNotes;
  FLicenseInformation = ALicenseInformation;
  FSupportInformation = ASupportInformation;
  FCountDown = ACloseTimeout;
}

bool TdlgUpdateInformation::Execute(const QString& AReleaseNotes, const QString& ALicenseInformation,
                                    const QString& ASupportInformation, int ACloseTimeout)
{
  SetDocuments(AReleaseNotes, ALicenseInformation, ASupportInformation, ACloseTimeout);
  exec();
  return true;
}

void TdlgUpdateInformation::Open(const QString& AReleaseNotes, const QString& ALicenseInformation,
                                 const QString& ASupportInformation, int ACloseTimeout)
{
  if (!isVisible()) {
    SetDocuments(AReleaseNotes, ALicenseInformation, ASupportInformation, ACloseTimeout);
    show();
  }
  raise();
  activateWindow();
}

void TdlgUpdateInformation::LoadPage(QTextEdit* AView, const QString& AFileName, bool AHideWhenMissing)
{
  AView->clear();
  const bool loaded = FileExists(AFileName) && LoadDocument(*AView, AFileName);
  if (!loaded)
    AView->setPlainText(QStringLiteral("\"%1\" does not exist.").arg(AFileName));
  if (AHideWhenMissing)
    PageControl->setTabVisible(PageControl->indexOf(AView), loaded);
}

void TdlgUpdateInformation::showEvent(QShowEvent* AEvent)
{
  FCanClose = false;
  btnClose->setEnabled(false);
  PageControl->setCurrentIndex(0);
  lblTitle->setText(QStringLiteral("\"%1\" has been updated successfully.").arg(FProductName));
  lblVersion->setText(FFileVersion);
  LoadPage(ReleaseNotesView, FReleaseNotes, false);
  LoadPage(SupportView, FSupportInformation, true);
  LoadPage(LicenseView, FLicenseInformation, true);
  ReleaseNotesView->setFocus();
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  QDialog::showEvent(AEvent);
  FTimer->start();
  // The application's quit request closes every window first; the count-down must not refuse it.
  QCoreApplication::instance()->installEventFilter(this);
}

void TdlgUpdateInformation::hideEvent(QHideEvent* AEvent)
{
  QCoreApplication::instance()->removeEventFilter(this);
  QDialog::hideEvent(AEvent);
}

void TdlgUpdateInformation::TimerTick()
{
  if (FCountDown <= 0) {
    btnClose->setText(QStringLiteral("Close"));
    FCanClose = true;
    btnClose->setEnabled(true);
    FTimer->stop();
  } else {
    btnClose->setText(QStringLiteral("Close (%1)").arg(FCountDown));
    --FCountDown;
    FCanClose = false;
    btnClose->setEnabled(false);
  }
}

bool TdlgUpdateInformation::MayClose()
{
  if (FCanClose)
    return true;
  TMessageBox::Warning(this, QStringLiteral("Please review the release notes, there is important and helpful "
                                            "information about changes to the application."));
  return false;
}

void TdlgUpdateInformation::closeEvent(QCloseEvent* AEvent)
{
  if (!MayClose()) {
    AEvent->ignore();
    return;
  }
  FTimer->stop();
  QDialog::closeEvent(AEvent);
}

void TdlgUpdateInformation::reject()
{
  if (!MayClose())
    return;
  FTimer->stop();
  QDialog::reject();
}

bool TdlgUpdateInformation::eventFilter(QObject* AObject, QEvent* AEvent)
{
  if (AObject == QCoreApplication::instance() && AEvent->type() == QEvent::Quit) {
    FCanClose = true;
    return false;
  }
  if (AObject == lblTitle && AEvent->type() == QEvent::MouseButtonPress) {
    const auto* mouse = static_cast<QMouseEvent*>(AEvent);
    if (mouse->button() == Qt::LeftButton && (mouse->modifiers() & Qt::ShiftModifier)) {
      FCanClose = true;
      close();
      return true;
    }
  }
  return QDialog::eventFilter(AObject, AEvent);
}
