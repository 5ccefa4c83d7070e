// SPDX-License-Identifier: GPL-3.0-or-later
// Every file and folder dialog of the program goes through here, so that tests can answer them.
#pragma once

#include <QString>

class QWidget;

class TFileDialog
{
public:
  // Each returns the chosen path, or an empty string when the user cancelled.
  static QString GetOpenFileName(QWidget* AParent, const QString& ACaption, const QString& ADirectory,
                                 const QString& AFilter);
  static QString GetSaveFileName(QWidget* AParent, const QString& ACaption, const QString& ADirectory,
                                 const QString& AFilter);
  static QString GetExistingDirectory(QWidget* AParent, const QString& ACaption, const QString& ADirectory);

  // For tests: the next dialogs answer these names (an empty name cancels) without showing.
  static void QueueFileName(const QString& AFileName);
  static void Reset();

private:
  static bool TakeQueued(QString& AFileName);
};
