// SPDX-License-Identifier: GPL-3.0-or-later
// The update window: asks whether to install an offered update, then follows its download.
// Hidden while idle; switches the periodic check on and off for the main window.
#pragma once

#include "sysinfo/TProcessTimer.h"

#include <QDialog>

#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;
class TAutoUpdate;
class TProgramSettings;

class TfrmAutoUpdate : public QDialog
{
  Q_OBJECT

public:
  using TOnAutoUpdateMessage = std::function<void(QObject* ASender, const QString& AMessage)>;

  // Binds itself to AAutoUpdate's events; ASettings is where the update options are read from.
  TfrmAutoUpdate(TAutoUpdate& AAutoUpdate, TProgramSettings* ASettings, QWidget* AParent = nullptr);
  ~TfrmAutoUpdate() override;

  // Receives every log line of the update check.
  TOnAutoUpdateMessage OnUpdateMessage;

  TProgramSettings* ProgramSettings() const { return FProgramSettings; }
  void SetProgramSettings(TProgramSettings* ASettings) { FProgramSettings = ASettings; }
  bool AutoUpdateEnabled() const;
  // True reads the update options and starts the periodic check (when the options allow it);
  // false stops it.
  void SetAutoUpdateEnabled(bool AValue);
  // Starts a check now.
  void CheckForUpdates();

  QLabel* lblStatus = nullptr;
  QProgressBar* ProgressBar = nullptr;
  QLabel* lblRemaining = nullptr;
  QLabel* lblElapsed = nullptr;
  QPushButton* btnCancel = nullptr;

  // Esc: the same as the Cancel button.
  void reject() override;

protected:
  void showEvent(QShowEvent* AEvent) override;
  void closeEvent(QCloseEvent* AEvent) override;

private:
  void UpdateAvailable(const QString& AApplicationName, const QString& ANewVersion, bool& AStart);
  void UpdateProgress(const QString& AMessage, int AProgress);
  void UpdateEnd(bool ASuccess, const QString& AMessage);

  TAutoUpdate& FAutoUpdate;
  TProgramSettings* FProgramSettings;
  TProcessTimer FProcessTimer;
};
