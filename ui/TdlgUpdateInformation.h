// SPDX-License-Identifier: GPL-3.0-or-later
// Shown once after the program was updated or installed: release notes, support and licence
// texts. The user cannot close it until its count-down has run out (or on a Shift-click on the
// title); the end of the program closes it at any time.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QTabWidget;
class QTextEdit;
class QTimer;

class TdlgUpdateInformation : public QDialog
{
  Q_OBJECT

public:
  // AProductName and AFileVersion are the running program's (TApplicationVersionInfo).
  TdlgUpdateInformation(const QString& AProductName, const QString& AFileVersion, QWidget* AParent = nullptr);

  // Shows the dialog modally; always true once it has closed.
  bool Execute(const QString& AReleaseNotes, const QString& ALicenseInformation, const QString& ASupportInformation,
               int ACloseTimeout);
  // Shows the dialog and returns at once; the program goes on while it counts down. When it is
  // already on screen it is brought to the front.
  void Open(const QString& AReleaseNotes, const QString& ALicenseInformation, const QString& ASupportInformation,
            int ACloseTimeout);

  bool CanClose() const { return FCanClose; }
  int CountDown() const { return FCountDown; }
  // One second of the count-down; the dialog's timer calls it.
  void TimerTick();

  QLabel* lblTitle = nullptr;
  QLabel* lblVersion = nullptr;
  QTabWidget* PageControl = nullptr;
  QTextEdit* ReleaseNotesView = nullptr;
  QTextEdit* SupportView = nullptr;
  QTextEdit* LicenseView = nullptr;
  QPushButton* btnClose = nullptr;

protected:
  void showEvent(QShowEvent* AEvent) override;
  void hideEvent(QHideEvent* AEvent) override;
  void closeEvent(QCloseEvent* AEvent) override;
  void reject() override;
  bool eventFilter(QObject* AObject, QEvent* AEvent) override;

private:
  void SetDocuments(const QString& AReleaseNotes, const QString& ALicenseInformation,
                    const QString& ASupportInformation, int ACloseTimeout);
  bool MayClose();
  void LoadPage(QTextEdit* AView, const QString& AFileName, bool AHideWhenMissing);

  QString FProductName;
  QString FFileVersion;
  QString FReleaseNotes;
  QString FSupportInformation;
  QString FLicenseInformation;
  bool FCanClose = false;
  int FCountDown = 30;
  QTimer* FTimer = nullptr;
};
