// SPDX-License-Identifier: GPL-3.0-or-later
// Edits one e-mail template of a profile: sender, recipients, subject and message.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
struct TEmailTemplate;

class TfrmEmailDetails : public QDialog
{
  Q_OBJECT

public:
  explicit TfrmEmailDetails(QWidget* AParent = nullptr);

  // Shows the template, and copies the fields back into it when the user confirms with Ok.
  [[nodiscard]] bool Execute(TEmailTemplate& AQuickEmail);

  // The keyword lines "Keywords" shows, one per keyword.
  static QStringList KeywordLines();

  QLabel* lblHeader;
  QLineEdit* editSenderName;
  QLineEdit* editSenderAddress;
  QLineEdit* editRecipients;
  QLineEdit* editSubject;
  QPlainTextEdit* memoMessage;
  QLabel* lblKeywordNote;
  QPushButton* btnKeywords;
  QPushButton* btnOk;
  QPushButton* btnCancel;

private:
  void OnOkClick();
  void OnKeywordsClick();
};
