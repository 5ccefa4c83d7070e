// SPDX-License-Identifier: GPL-3.0-or-later
// Routines shared by the whole program: its folders, temporary names, directory and file checks,
// opening documents and links, and text clean-up.
#pragma once

#include "platform/ECorvaleError.h"

#include <QString>

#include <stdexcept>

// Raised by the routines below where they cannot give an answer.
class ECommonError : public ECorvaleError
{
public:
  using ECorvaleError::ECorvaleError;
};

// The product name: application title, folder names, single-instance name.
inline QString ApplicationTitle()
{
  return QStringLiteral("Corvale");
}

QString GetApplicationFolder();
QString GetSpecialFolder(int AFolder);
QString GetApplicationDataFolder();
QString GetTempFolder();
QString RandomString(int ALength);
QString GenerateTempFileName(const QString& APrefix, const QString& AExtension);
bool CheckDirectory(const QString& ADirectory, bool ACreate);
// AName made into one safe file name: "%", "/", "\\" and control characters become "%XX" (UTF-8
// bytes in hexadecimal), a leading "." too, so the name can never step out of its folder, hide,
// or carry a line break; names stay distinct. A name longer than 200 bytes is cut and given a
// hash of the whole, so two long names cannot meet either.
QString SafeFileName(const QString& AName);
bool CanCreateFile(const QString& AFileName);
// The file name with its extension (from the last "." of the last path step) replaced by
// AExtension, or AExtension appended when it has none.
QString ChangeFileExt(const QString& AFileName, const QString& AExtension);

// Show modes of ExecuteFile; the desktop decides how a started program shows itself.
enum TShowMode : int { swHide = 0, swShowNormal = 1 };

int ExecuteFile(const QString& AOperation, const QString& AFileName, const QString& AParameters, int AShowMode,
                const QString& ADefaultDir);
// Opens an http, https or mailto address with the desktop (xdg-open); anything else is ignored.
void OpenLink(const QString& ALink);

QString CollapseSpaces(const QString& AText, bool AReplaceTabs, bool AReplaceLineBreaks);
bool IsBlank(const QString& AText);

// Trims spaces and control characters at both ends (characters up to U+0020).
QString TrimText(const QString& AText);

bool NotRunningUnderWow64();
