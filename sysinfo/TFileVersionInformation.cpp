// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysinfo/TFileVersionInformation.h"

#include "platform/FileSystem.h"
#include "platform/VersionResource.h"

#include <QHash>
#include <QStringList>

namespace {

// File flags of the fixed information.
enum : unsigned {
  ffDebug = 0x01,
  ffPreRelease = 0x02,
  ffPatched = 0x04,
  ffPrivateBuild = 0x08,
  ffInfoInferred = 0x10,
  ffSpecialBuild = 0x20,
};

} // namespace

void TFileVersionInformation::Reset()
{
  const bool exceptionOnError = FExceptionOnError;
  *this = TFileVersionInformation();
  FExceptionOnError = exceptionOnError;
}

void TFileVersionInformation::SetFileName(const QString& AFileName)
{
  Reset();
  FFileName = AFileName;
  if (!FileExists(AFileName)) {
    if (FExceptionOnError)
      throw EFileVersionInformationException(QStringLiteral("\"%1\" does not exist.").arg(AFileName));
    return;
  }
  try {
    Read();
  } catch (const EFileVersionInformationException&) {
    if (FExceptionOnError)
      throw;
  }
}

void TFileVersionInformation::Read()
{
  QByteArray record;
  QString error;
  if (!ReadVersionRecord(FFileName, record, error))
    throw EFileVersionInformationException(error);

  QHash<QString, QString> values;
  for (const QByteArray& line : record.split('\n')) {
    const qsizetype equals = line.indexOf('=');
    if (equals > 0)
      values.insert(QString::fromUtf8(line.left(equals)), QString::fromUtf8(line.mid(equals + 1)));
  }

  const QString translation = values.value(QStringLiteral("Translation"));
  if (translation.size() != 8)
    throw EFileVersionInformationException(QStringLiteral("\"%1\" has no translation table.").arg(FFileName));
  FLanguageCodepage = translation.toLower();
  FLanguage = values.value(QStringLiteral("Language")).left(256);

  const auto take = [&values](const char* AName, QString& AMember) {
    const auto found = values.constFind(QLatin1String(AName));
    if (found != values.constEnd())
      AMember = *found;
  };
  take("CompanyName", FCompanyName);
  take("FileDescription", FFileDescription);
  take("FileVersion", FFileVersion);
  take("InternalName", FInternalName);
  take("LegalCopyright", FLegalCopyright);
  take("LegalTrademarks", FLegalTrademarks);
  take("OriginalFileName", FOriginalFileName);
  take("ProductName", FProductName);
  take("ProductVersion", FProductVersion);
  take("Comments", FComments);

  const auto fixed = values.constFind(QStringLiteral("FixedFileVersion"));
  if (fixed == values.constEnd())
    return;
  const QStringList parts = fixed->split(QLatin1Char('.'));
  std::uint16_t* numbers[] = {&FMajorVersion, &FMinorVersion, &FReleaseVersion, &FBuild};
  for (int i = 0; i < 4 && i < parts.size(); ++i)
    *numbers[i] = parts.at(i).toUShort();
  const unsigned flags = values.value(QStringLiteral("FileFlags")).toUInt(nullptr, 0);
  FDebugBuild = flags & ffDebug;
  FPrivateBuild = flags & ffPrivateBuild;
  FSpecialBuild = flags & ffSpecialBuild;
  FInfoInferred = flags & ffInfoInferred;
  FPatched = flags & ffPatched;
  FPreRelease = flags & ffPreRelease;
}
