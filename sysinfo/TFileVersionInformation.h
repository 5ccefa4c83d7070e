// SPDX-License-Identifier: GPL-3.0-or-later
// The version information of one of our files, read from its version record.
#pragma once

#include "platform/ECorvaleError.h"

#include <QString>

#include <cstdint>

class EFileVersionInformationException : public ECorvaleError
{
public:
  using ECorvaleError::ECorvaleError;
};

class TFileVersionInformation
{
public:
  TFileVersionInformation() = default;
  virtual ~TFileVersionInformation() = default;

  // Raise EFileVersionInformationException instead of leaving the members as far as they were read.
  bool ExceptionOnError() const { return FExceptionOnError; }
  void SetExceptionOnError(bool AValue) { FExceptionOnError = AValue; }

  const QString& FileName() const { return FFileName; }
  // Resets every member, then reads the file's version information.
  void SetFileName(const QString& AFileName);

  const QString& LanguageCodepage() const { return FLanguageCodepage; }
  const QString& Language() const { return FLanguage; }
  const QString& CompanyName() const { return FCompanyName; }
  const QString& FileDescription() const { return FFileDescription; }
  const QString& FileVersion() const { return FFileVersion; }
  const QString& InternalName() const { return FInternalName; }
  const QString& LegalCopyright() const { return FLegalCopyright; }
  const QString& LegalTrademarks() const { return FLegalTrademarks; }
  const QString& OriginalFileName() const { return FOriginalFileName; }
  const QString& ProductName() const { return FProductName; }
  const QString& ProductVersion() const { return FProductVersion; }
  const QString& Comments() const { return FComments; }
  // The fixed file version.
  std::uint16_t MajorVersion() const { return FMajorVersion; }
  std::uint16_t MinorVersion() const { return FMinorVersion; }
  std::uint16_t ReleaseVersion() const { return FReleaseVersion; }
  std::uint16_t Build() const { return FBuild; }
  // The fixed file flags.
  bool DebugBuild() const { return FDebugBuild; }
  bool PrivateBuild() const { return FPrivateBuild; }
  bool SpecialBuild() const { return FSpecialBuild; }
  bool InfoInferred() const { return FInfoInferred; }
  bool Patched() const { return FPatched; }
  bool PreRelease() const { return FPreRelease; }

private:
  void Reset();
  void Read();

  bool FExceptionOnError = false;
  QString FFileName;
  QString FLanguageCodepage;
  QString FLanguage;
  QString FCompanyName;
  QString FFileDescription;
  QString FFileVersion = DefaultVersion();
  QString FInternalName;
  QString FLegalCopyright;
  QString FLegalTrademarks;
  QString FOriginalFileName;
  QString FProductName;
  QString FProductVersion = DefaultVersion();
  QString FComments;
  std::uint16_t FMajorVersion = 0;
  std::uint16_t FMinorVersion = 0;
  std::uint16_t FReleaseVersion = 0;
  std::uint16_t FBuild = 0;
  bool FDebugBuild = false;
  bool FPrivateBuild = false;
  bool FSpecialBuild = false;
  bool FInfoInferred = false;
  bool FPatched = false;
  bool FPreRelease = false;

  static QString DefaultVersion() { return QStringLiteral("0.0.0.0"); }
};
