// SPDX-License-Identifier: GPL-3.0-or-later
// Every file and folder dialog of the program goes through here, so that tests can answer them.
#pragma once

#include <QString>
#include <QStringList>

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
  // Several files to open; an empty list when the user cancelled.
  static QStringList GetOpenFileNames(QWidget* AParent, const QString& ACaption, const QString& ADirectory,
                                      const QString& AFilter);
  // A file to save, proposing AFileName (which may carry a folder), appending ADefaultSuffix to a
  // name typed without one and asking before an existing file is chosen.
  static QString GetSaveFileName(QWidget* AParent, const QString& ACaption, const QString& AFileName,
                                 const QString& AFilter, const QString& ADefaultSuffix);

  // Turns a filter written as "Description|*.a;*.b|..." pairs into Qt's "Description (*.a *.b);;..."
  // form; "*.*" becomes "*", which matches names without a dot too.
  static QString FilterFromPairs(const QString& APairs);

  // For tests: the next dialogs answer these names (an empty name cancels) without showing. A
  // dialog for several files takes one queued entry and splits it at '\n'.
  static void QueueFileName(const QString& AFileName);
  // The caption, proposed name, filter and default suffix the last dialog was opened with.
  struct TRequest
  {
    QString Caption;
    QString FileName;
    QString Filter;
    QString DefaultSuffix;
  };
  static const TRequest& LastRequest();
  static void Reset();

private:
  static bool TakeQueued(QString& AFileName);
};
