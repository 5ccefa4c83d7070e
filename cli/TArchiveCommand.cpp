// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/TArchiveCommand.h"

#include "cli/TTerminal.h"
#include "engine/TArchiveGenerations.h"
#include "engine/TArchiveRestorer.h"
#include "engine/TArchiveVerifier.h"
#include "engine/TSevenZipLibrary.h"
#include "platform/FileNames.h"
#include "platform/TTerminationWatcher.h"
#include "profiles/TBackupProfile.h"

#include <QCoreApplication>

#include <algorithm>

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

bool TArchiveCommand::Volumes() const
{
  return FProfile.ZipType() == zSeven && FProfile.SpanningSize() > 0;
}

QString TArchiveCommand::ArchiveOf(int AGeneration)
{
  // Generation 0 is the profile's archive as it always was, also when it is missing.
  if (AGeneration == 0)
    return FProfile.ZipFile();
  const QList<TArchiveGeneration> generations = TArchiveGenerations(FProfile.ZipFile(), Volumes()).List();
  if (AGeneration > 0 && AGeneration < generations.size())
    return generations.at(AGeneration).Archive;
  TTerminal::Error(QStringLiteral("corvale-cli: there is no generation %1 of profile \"%2\": it has %3 (0 the "
                                  "newest archive, %4 kept).\n")
                       .arg(AGeneration)
                       .arg(FProfile.ProfileName())
                       .arg(generations.size())
                       .arg(generations.size() - 1));
  return QString();
}

int TArchiveCommand::Generations()
{
  const QList<TArchiveGeneration> generations = TArchiveGenerations(FProfile.ZipFile(), Volumes()).List();
  QStringList sizes;
  qsizetype sizeWidth = 0;
  for (const TArchiveGeneration& generation : generations) {
    sizes << QString::number(generation.Size);
    sizeWidth = std::max(sizeWidth, sizes.last().size());
  }
  const qsizetype indexWidth = QString::number(generations.size() - 1).size();
  for (qsizetype i = 0; i < generations.size(); ++i) {
    const TArchiveGeneration& generation = generations.at(i);
    // The newest archive's name is shown also when it is missing, so the list says where it would be.
    const QString time = generation.Files.isEmpty() ? QStringLiteral("(missing)          ")
                                                    : generation.Time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    const QString file = generation.Files.isEmpty()
                             ? (Volumes() ? TArchiveGenerations::VolumeName(generation.Archive, 1) : generation.Archive)
                             : generation.Files.first();
    TTerminal::Out(QString::number(i).rightJustified(indexWidth) + QStringLiteral("  ") + time + QStringLiteral("  ") +
                   sizes.at(i).rightJustified(sizeWidth) + QStringLiteral("  ") + PrintableText(file) +
                   QLatin1Char('\n'));
  }
  return 0;
}

int TArchiveCommand::Verify(int AGeneration)
{
  const QString archive = ArchiveOf(AGeneration);
  if (archive.isEmpty())
    return 1;
  FLive = TTerminal::OutputIsTerminal();
  TArchiveVerifier verifier(LibraryFor(FProfile.ZipType()));
  TTerminationWatcher watcher;
  watcher.OnTerminate = [&verifier](int) { verifier.Cancel(); };
  verifier.OnProgress = [this](const QString& AEntry, int APerCent) {
    ShowProgress(QStringLiteral("Verifying"), AEntry, APerCent);
    QCoreApplication::processEvents();
  };
  verifier.OnError = [this](const QString& ALine) { ShowLine(QStringLiteral("Damaged: ") + ALine); };
  ShowLine(QStringLiteral("Verifying archive %1...").arg(archive));
  const bool sound = verifier.VerifyArchive(FProfile.ZipType(), archive, Volumes(), FProfile.Password());
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

int TArchiveCommand::Restore(const QString& ATarget, const QStringList& APatterns, bool AOverwrite, int AGeneration)
{
  const QString archive = ArchiveOf(AGeneration);
  if (archive.isEmpty())
    return 1;
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
  ShowLine(QStringLiteral("Restoring %1 into %2...").arg(archive, ATarget));
  const bool restored =
      restorer.Restore(FProfile.ZipType(), archive, Volumes(), FProfile.Password(), ATarget, APatterns, AOverwrite);
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
