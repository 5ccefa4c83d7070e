// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/TfrmAbout.h"

#include "sysinfo/Common.h"
#include "ui/TRtfReader.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

// The credits, moving slowly upwards and starting again when they have gone by.
class TScrollText : public QWidget
{
public:
  TScrollText(const QString& AText, QWidget* AParent)
    : QWidget(AParent)
    , FText(AText)
  {
    FTimer.setInterval(40);
    connect(&FTimer, &QTimer::timeout, this, [this] {
      if (++FOffset > TextHeight() + height())
        FOffset = 0;
      update();
    });
  }
  // Starts with the first lines in view.
  void Start()
  {
    FOffset = height();
    FTimer.start();
  }
  void Stop() { FTimer.stop(); }
  bool IsActive() const { return FTimer.isActive(); }

protected:
  void paintEvent(QPaintEvent*) override
  {
    QPainter painter(this);
    painter.drawText(QRect(0, height() - FOffset, width(), TextHeight()), Qt::AlignHCenter | Qt::AlignTop, FText);
  }

private:
  int TextHeight() const { return fontMetrics().lineSpacing() * int(FText.count(QLatin1Char('\n')) + 1); }

  QString FText;
  QTimer FTimer;
  int FOffset = 0;
};

namespace {

const QString Credits = QStringLiteral("Corvale\n\n"
                                       "Backs up your files,\nthen ends the working day.\n\n"
                                       "Written by the Corvale developers\n\n"
                                       "Built on\n"
                                       "Qt 6\nSQLite\nlibzip\nlibcurl\n7-Zip's 7z.so\nD-Bus and systemd-logind\n\n"
                                       "Free software under the\nGNU General Public License,\n"
                                       "version 3 or later.\n\n"
                                       "Thank you for backing up.");

struct TProduct
{
  const char* Name;
  const char* Address;
};

// The libraries the program stands on, with their home pages.
constexpr TProduct Products[] = {{"Qt", "https://www.qt.io/"},
                                 {"SQLite", "https://www.sqlite.org/"},
                                 {"libzip", "https://libzip.org/"},
                                 {"7-Zip", "https://www.7-zip.org/"}};

QTextBrowser* MakeDocumentView(QWidget* ATab, const QString& AName)
{
  auto* view = new QTextBrowser(ATab);
  view->setObjectName(AName);
  view->setReadOnly(true);
  view->setOpenLinks(false);
  view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  auto* layout = new QVBoxLayout(ATab);
  layout->addWidget(view);
  return view;
}

} // namespace

TfrmAbout::TfrmAbout(const QString& AVersion, const QString& ALegalNotice, const QPixmap& ALogo,
                     std::function<void(const QString&)> AOpenLink, QWidget* AParent)
  : QDialog(AParent, Qt::Dialog | Qt::FramelessWindowHint)
{
  setObjectName(QStringLiteral("frmAbout"));
  setWindowTitle(QStringLiteral("About"));
  setFixedSize(453, 502);
  if (!AOpenLink)
    AOpenLink = [](const QString& AAddress) { OpenLink(AAddress); };

  PageControl = new QTabWidget(this);
  PageControl->setObjectName(QStringLiteral("PageControl"));
  tabAbout = new QWidget(PageControl);
  tabVersionHistory = new QWidget(PageControl);
  tabLicenseInformation = new QWidget(PageControl);
  tabSupportInformation = new QWidget(PageControl);
  PageControl->addTab(tabAbout, QStringLiteral("About"));
  PageControl->addTab(tabVersionHistory, QStringLiteral("Version History"));
  PageControl->addTab(tabLicenseInformation, QStringLiteral("License Information"));
  PageControl->addTab(tabSupportInformation, QStringLiteral("Support Information"));
  // All four tabs side by side within the fixed width.
  PageControl->setUsesScrollButtons(false);
  QFont tabFont = PageControl->tabBar()->font();
  tabFont.setPointSizeF(tabFont.pointSizeF() * 0.9);
  PageControl->tabBar()->setFont(tabFont);

  imgLogo = new QLabel(tabAbout);
  imgLogo->setObjectName(QStringLiteral("imgLogo"));
  imgLogo->setPixmap(ALogo);
  imgLogo->setAlignment(Qt::AlignCenter);
  lblVersionDetails = new QLabel(QStringLiteral("0.0.0.0"), tabAbout);
  lblVersionDetails->setObjectName(QStringLiteral("lblVersionDetails"));
  lblVersionDetails->setAlignment(Qt::AlignCenter);
  QFont versionFont = lblVersionDetails->font();
  versionFont.setBold(true);
  lblVersionDetails->setFont(versionFont);
  // The executable is built for the machine it runs on: always the 64-bit build here.
  lblVersionDetails->setText(AVersion + (NotRunningUnderWow64() ? QStringLiteral(" x64") : QStringLiteral(" x86")));
  ScrollText = new TScrollText(Credits, tabAbout);
  ScrollText->setObjectName(QStringLiteral("ScrollText"));
  ScrollText->setMinimumHeight(150);

  auto* products = new QGroupBox(tabAbout);
  auto* productsLayout = new QHBoxLayout(products);
  for (const TProduct& product : Products) {
    auto* button = new QToolButton(products);
    button->setText(QString::fromLatin1(product.Name));
    button->setToolTip(QString::fromLatin1(product.Address));
    button->setAutoRaise(true);
    button->setCursor(Qt::PointingHandCursor);
    connect(button, &QToolButton::clicked, this, [AOpenLink, address = button->toolTip()] { AOpenLink(address); });
    productsLayout->addWidget(button);
  }
  auto* aboutLayout = new QVBoxLayout(tabAbout);
  aboutLayout->addWidget(imgLogo);
  aboutLayout->addWidget(lblVersionDetails);
  aboutLayout->addWidget(ScrollText, 1);
  aboutLayout->addWidget(products);

  VersionHistory = MakeDocumentView(tabVersionHistory, QStringLiteral("VersionHistory"));
  LicenseInformation = MakeDocumentView(tabLicenseInformation, QStringLiteral("LicenseInformation"));
  SupportInformation = MakeDocumentView(tabSupportInformation, QStringLiteral("SupportInformation"));

  lblLegalNotice = new QLabel(ALegalNotice, this);
  lblLegalNotice->setObjectName(QStringLiteral("lblLegalNotice"));
  lblLegalNotice->setWordWrap(true);
  OKBtn = new QPushButton(QStringLiteral("OK"), this);
  OKBtn->setObjectName(QStringLiteral("OKBtn"));
  OKBtn->setDefault(true);
  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);

  auto* bottom = new QHBoxLayout;
  bottom->addWidget(lblLegalNotice, 1);
  bottom->addWidget(OKBtn);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(PageControl, 1);
  layout->addLayout(bottom);
  // Without a frame the box needs an edge of its own.
  setStyleSheet(QStringLiteral("QDialog#frmAbout { border: 1px solid palette(dark); }"));
}

TfrmAbout::~TfrmAbout() = default;

bool TfrmAbout::Execute(const QString& AReleaseNotes, const QString& ALicenseInformation,
                        const QString& ASupportInformation)
{
  FReleaseNotes = AReleaseNotes;
  FLicenseInformation = ALicenseInformation;
  FSupportInformation = ASupportInformation;
  if (isVisible()) {
    raise();
    activateWindow();
    return true;
  }
  if (const QWidget* owner = parentWidget())
    move(owner->geometry().center() - rect().center());
  exec();
  return true;
}

bool TfrmAbout::IsScrolling() const
{
  return ScrollText->IsActive();
}

void TfrmAbout::showEvent(QShowEvent* AEvent)
{
  QDialog::showEvent(AEvent);
  if (AEvent->spontaneous())
    return;
  PageControl->setCurrentWidget(tabAbout);
  for (QWidget* tab : {tabVersionHistory, tabLicenseInformation, tabSupportInformation})
    PageControl->setTabVisible(PageControl->indexOf(tab), false);
  ScrollText->Start();
  LoadDocument(tabVersionHistory, VersionHistory, FReleaseNotes);
  LoadDocument(tabLicenseInformation, LicenseInformation, FLicenseInformation);
  LoadDocument(tabSupportInformation, SupportInformation, FSupportInformation);
}

void TfrmAbout::LoadDocument(QWidget* ATab, QTextBrowser* AView, const QString& AFileName)
{
  // A document that is missing or unreadable keeps its tab hidden.
  if (AFileName.isEmpty() || !TRtfReader::ReadFile(AFileName, *AView->document()))
    return;
  AView->moveCursor(QTextCursor::Start);
  PageControl->setTabVisible(PageControl->indexOf(ATab), true);
}

void TfrmAbout::hideEvent(QHideEvent* AEvent)
{
  ScrollText->Stop();
  QDialog::hideEvent(AEvent);
}

void TfrmAbout::mousePressEvent(QMouseEvent* AEvent)
{
  if (AEvent->button() != Qt::LeftButton)
    return QDialog::mousePressEvent(AEvent);
  // The window manager moves it, as it would by a title bar (Wayland allows nothing else).
  FDragging = false;
  QWindow* handle = windowHandle();
  if (!handle || !handle->startSystemMove()) {
    FDragging = true;
    FDragOffset = AEvent->globalPosition().toPoint() - frameGeometry().topLeft();
  }
}

void TfrmAbout::mouseMoveEvent(QMouseEvent* AEvent)
{
  if (FDragging && (AEvent->buttons() & Qt::LeftButton))
    move(AEvent->globalPosition().toPoint() - FDragOffset);
}

void TfrmAbout::mouseReleaseEvent(QMouseEvent* AEvent)
{
  FDragging = false;
  QDialog::mouseReleaseEvent(AEvent);
}
