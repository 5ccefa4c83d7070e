// SPDX-License-Identifier: GPL-3.0-or-later
// The About box: version, credits, the program's documents. Borderless; the body drags it.
#pragma once

#include <QDialog>
#include <QPoint>

#include <functional>

class QLabel;
class QPushButton;
class QTabWidget;
class QTextBrowser;
class TScrollText;

class TfrmAbout : public QDialog
{
  Q_OBJECT

public:
  // AVersion is the program's file version, ALegalNotice its copyright line and ALogo the banner;
  // AOpenLink opens a product's web address (without it the desktop's browser does).
  TfrmAbout(const QString& AVersion, const QString& ALegalNotice, const QPixmap& ALogo,
            std::function<void(const QString&)> AOpenLink = {}, QWidget* AParent = nullptr);
  ~TfrmAbout() override;

  // Shows the box modally with the three documents, each on its tab when its file exists. When
  // the box is already on screen it is brought to the front instead. Always true.
  bool Execute(const QString& AReleaseNotes, const QString& ALicenseInformation, const QString& ASupportInformation);

  // Whether the credits are scrolling.
  bool IsScrolling() const;

  // The controls, for tests and screenshots.
  QTabWidget* PageControl = nullptr;
  QWidget* tabAbout = nullptr;
  QWidget* tabVersionHistory = nullptr;
  QWidget* tabLicenseInformation = nullptr;
  QWidget* tabSupportInformation = nullptr;
  QLabel* imgLogo = nullptr;
  QLabel* lblVersionDetails = nullptr;
  TScrollText* ScrollText = nullptr;
  QTextBrowser* VersionHistory = nullptr;
  QTextBrowser* LicenseInformation = nullptr;
  QTextBrowser* SupportInformation = nullptr;
  QLabel* lblLegalNotice = nullptr;
  QPushButton* OKBtn = nullptr;

protected:
  void showEvent(QShowEvent* AEvent) override;
  void hideEvent(QHideEvent* AEvent) override;
  void mousePressEvent(QMouseEvent* AEvent) override;
  void mouseMoveEvent(QMouseEvent* AEvent) override;
  void mouseReleaseEvent(QMouseEvent* AEvent) override;

private:
  void LoadDocument(QWidget* ATab, QTextBrowser* AView, const QString& AFileName);

  QString FReleaseNotes;
  QString FLicenseInformation;
  QString FSupportInformation;
  // Dragging by hand where the window system cannot move the window itself.
  bool FDragging = false;
  QPoint FDragOffset;
};
