// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/TArchiveVerifier.h"

#include "platform/FileNames.h"

TArchiveVerifier::TArchiveVerifier(std::shared_ptr<const TSevenZipLibrary> ALibrary)
  : FReader(std::move(ALibrary))
{
  FReader.OnProgress = [this](const QString& AEntry, int APerCent) {
    if (OnProgress)
      OnProgress(AEntry, APerCent);
  };
  FReader.OnError = [this](const QString& ALine) {
    if (OnError)
      OnError(ALine);
  };
}

bool TArchiveVerifier::VerifyArchive(TZipType AType, const QString& AArchive, bool AVolumes, const QString& APassword)
{
  QStringList names;
  QString error;
  if (!TArchiveReader::FindArchiveFiles(AArchive, AVolumes && AType == zSeven, names, error)) {
    FErrors = QStringList{error};
    if (OnError)
      OnError(error);
    return false;
  }
  QList<QByteArray> files;
  for (const QString& name : std::as_const(names))
    files << EncodeFileName(name);
  return VerifyFiles(AType, files, names, APassword);
}

bool TArchiveVerifier::VerifyFiles(TZipType AType, const QList<QByteArray>& AFiles, const QStringList& ANames,
                                   const QString& APassword)
{
  const bool sound = FReader.Read(AType, AFiles, ANames, APassword, nullptr);
  FErrors = FReader.Errors();
  return sound;
}
