// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/TArchiveTasks.h"

#include "engine/TArchiveGenerations.h"
#include "engine/TArchiveRestorer.h"
#include "engine/TArchiveVerifier.h"
#include "engine/TSevenZipLibrary.h"
#include "profiles/TBackupProfile.h"
#include "ui/TFileDialog.h"
#include "ui/TGenerationChooser.h"
#include "ui/TMessageBox.h"

#include <QProgressDialog>

namespace {

// At most this many of the reasons are listed in a summary; the rest are counted.
constexpr qsizetype ShownErrors = 10;

std::shared_ptr<const TSevenZipLibrary> LibraryFor(TZipType AType)
{
  return AType == zSeven ? TSevenZipLibrary::Load(TSevenZipLibrary::DefaultCandidates()) : nullptr;
}

QString ErrorList(const QStringList& AErrors)
{
  QString text = AErrors.mid(0, ShownErrors).join(QLatin1Char('\n'));
  if (AErrors.size() > ShownErrors)
    text += QStringLiteral("\n... and %1 more.").arg(AErrors.size() - ShownErrors);
  return text;
}

// A progress window whose Cancel button reaches the running task while it lasts; its updates
// also keep the program's windows responsive while the task waits for the library.
class TTaskProgress
{
public:
  template <typename TTask>
  TTaskProgress(QWidget* AParent, const QString& ACaption, TTask& ATask)
    : FDialog(ACaption, QStringLiteral("Cancel"), 0, 100, AParent)
  {
    FDialog.setWindowTitle(QStringLiteral("Corvale"));
    FDialog.setWindowModality(Qt::WindowModal);
    FDialog.setMinimumDuration(0);
    QObject::connect(&FDialog, &QProgressDialog::canceled, &FDialog, [&ATask] { ATask.Cancel(); });
    ATask.OnProgress = [this, ACaption](const QString& AEntry, int APerCent) {
      FDialog.setLabelText(ACaption + QLatin1Char('\n') + AEntry);
      FDialog.setValue(qBound(0, APerCent, 99));
    };
  }

private:
  QProgressDialog FDialog;
};

} // namespace

TArchiveTasks::TArchiveTasks(QWidget* AParent)
  : FParent(AParent)
{}

bool TArchiveTasks::Verify(const TBackupProfile& AProfile)
{
  TArchiveVerifier verifier(LibraryFor(AProfile.ZipType()));
  bool sound = false;
  {
    const TTaskProgress progress(FParent, QStringLiteral("Verifying archive..."), verifier);
    sound = verifier.VerifyArchive(AProfile.ZipType(), AProfile.ZipFile(), AProfile.SpanningSize() > 0,
                                   AProfile.Password());
  }
  if (verifier.Cancelled())
    TMessageBox::Information(FParent, QStringLiteral("Verification cancelled."));
  else if (sound)
    TMessageBox::Information(FParent, QStringLiteral("The archive \"%1\" is sound: %2 entries read back intact.")
                                          .arg(AProfile.ZipFile())
                                          .arg(verifier.GoodEntries()));
  else
    TMessageBox::Error(FParent, QStringLiteral("The archive \"%1\" is damaged or incomplete.\n\n%2")
                                    .arg(AProfile.ZipFile(), ErrorList(verifier.Errors())));
  return sound && !verifier.Cancelled();
}

bool TArchiveTasks::Restore(const TBackupProfile& AProfile)
{
  // With earlier archives kept, the user picks one first; otherwise there is nothing to ask.
  const bool volumes = AProfile.ZipType() == zSeven && AProfile.SpanningSize() > 0;
  const QList<TArchiveGeneration> generations = TArchiveGenerations(AProfile.ZipFile(), volumes).List();
  QString archive = AProfile.ZipFile();
  if (generations.size() > 1) {
    int index = 0;
    if (!TGenerationChooser::Choose(
            FParent, QStringLiteral("Which archive of \"%1\" do you want to restore?").arg(AProfile.ProfileName()),
            generations, index))
      return false;
    archive = generations.at(index).Archive;
  }
  const QString target = TFileDialog::GetExistingDirectory(
      FParent, QStringLiteral("Restore \"%1\" into").arg(AProfile.ProfileName()), QString());
  if (target.isEmpty())
    return false;
  TArchiveRestorer restorer(LibraryFor(AProfile.ZipType()));
  bool restored = false;
  {
    const TTaskProgress progress(FParent, QStringLiteral("Restoring archive..."), restorer);
    restored = restorer.Restore(AProfile.ZipType(), archive, volumes, AProfile.Password(), target, {}, false);
  }
  if (restorer.Cancelled())
    TMessageBox::Information(FParent, QStringLiteral("Restore cancelled after %1 entries.").arg(restorer.Restored()));
  else if (restored)
    TMessageBox::Information(FParent,
                             QStringLiteral("Restored %1 entries into \"%2\".").arg(restorer.Restored()).arg(target));
  else
    TMessageBox::Error(FParent, QStringLiteral("Restored %1 entries into \"%2\"; %3 could not be restored.\n\n%4")
                                    .arg(restorer.Restored())
                                    .arg(target)
                                    .arg(restorer.Errors().size())
                                    .arg(ErrorList(restorer.Errors())));
  return restored && !restorer.Cancelled();
}
