// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/TArchiveCommand.h"

#include "cli/TTerminal.h"
#include "engine/TArchiveRestorer.h"
#include "engine/TArchiveVerifier.h"
#include "engine/TSevenZipLibrary.h"
#include "platform/FileNames.h"
#include "platform/TTerminationWatcher.h"
#include "profiles/TBackupProfile.h"

#include <QCoreApplication>

namespace {

std::shared_ptr<const TSevenZipLibrary> LibraryFor(TZipType AType)
{
  if (AType != zSeven)
    return nullptr;
  return TSevenZipLibrary::Load(TSevenZipLibrary::DefaultCandidates());
}

} // namespace

TArchiveCommand::TArchiveCommand(const TBackupProfile& AProfile)
  : FProfile(AProfile)
{}

int TArchiveCommand::Verify()
{
  FLive = TTerminal::OutputIsTerminal();
  TArchiveVerifier verifier(LibraryFor(FProfile.ZipType()));
  TTerminationWatcher watcher;
  watcher.OnTerminate = [&verifier](int) { verifier.Cancel(); };
  verifier.OnProgress = [this](const QString& AEntry, int APerCent) {
    ShowProgress(QStringLiteral("Verifying"), AEntry, APerCent);
    QCoreApplication::processEvents();
  };
  verifier.OnError = [this](const QString& ALine) { ShowLine(QStringLiteral("Damaged: ") + ALine); };
  ShowLine(QStringLiteral("Verifying archive %1...").arg(FProfile.ZipFile()));
  const bool sound =
      verifier.VerifyArchive(FProfile.ZipType(), FProfile.ZipFile(), FProfile.SpanningSize() > 0, FProfile.Password());
  ClearProgress();
  if (verifier.Cancelled()) {
    ShowLine(QStringLiteral("Verification cancelled."));
    return 2;
  }
  if (!sound) {
    ShowLine(QStringLiteral("The archive is damaged or incomplete."));
    return 1;
  }
  ShowLine(QStringLiteral("The archive is sound: %1 entries read back intact.").arg(verifier.GoodEntries()));
  return 0;
}

int TArchiveCommand::Restore(const QString& ATarget, const QStringList& APatterns, bool AOverwrite)
{
  FLive = TTerminal::OutputIsTerminal();
  TArchiveRestorer restorer(LibraryFor(FProfile.ZipType()));
  restorer.SetKeepSpecialModes(FKeepSpecialModes);
  TTerminationWatcher watcher;
  watcher.OnTerminate = [&restorer](int) { restorer.Cancel(); };
  restorer.OnProgress = [this](const QString& AEntry, int APerCent) {
    ShowProgress(QStringLiteral("Restoring"), AEntry, APerCent);
    QCoreApplication::processEvents();
  };
  restorer.OnError = [this](const QString& ALine) { ShowLine(QStringLiteral("Not restored: ") + ALine); };
  ShowLine(QStringLiteral("Restoring %1 into %2...").arg(FProfile.ZipFile(), ATarget));
  const bool restored = restorer.Restore(FProfile.ZipType(), FProfile.ZipFile(), FProfile.SpanningSize() > 0,
                                         FProfile.Password(), ATarget, APatterns, AOverwrite);
  ClearProgress();
  if (restorer.Cancelled()) {
    ShowLine(QStringLiteral("Restore cancelled after %1 entries.").arg(restorer.Restored()));
    return 2;
  }
  if (!restored) {
    ShowLine(QStringLiteral("Restored %1 entries; %2 failed.").arg(restorer.Restored()).arg(restorer.Errors().size()));
    return 1;
  }
  ShowLine(QStringLiteral("Restored %1 entries.").arg(restorer.Restored()));
  return 0;
}

void TArchiveCommand::ShowProgress(const QString& AVerb, const QString& AEntry, int APerCent)
{
  if (!FLive)
    return;
  const QString line =
      AVerb + QStringLiteral(" ") + QString::number(APerCent) + QStringLiteral("%  ") + PrintableText(AEntry);
  const QString text = line.left(qMax(10, TTerminal::Width() - 1));
  if (text == FShownProgress)
    return;
  FShownProgress = text;
  TTerminal::Out(QStringLiteral("\r\033[K") + text);
}

void TArchiveCommand::ShowLine(const QString& AText)
{
  ClearProgress();
  // Names come from the archive: their control characters must not drive the terminal.
  TTerminal::Out(PrintableText(AText) + QLatin1Char('\n'));
}

void TArchiveCommand::ClearProgress()
{
  if (FShownProgress.isEmpty())
    return;
  FShownProgress.clear();
  TTerminal::Out(QStringLiteral("\r\033[K"));
}
