// SPDX-License-Identifier: GPL-3.0-or-later
// The profiles.ini of Mozilla programs: one section per profile with Name, IsRelative and Path.
#pragma once

#include <QString>
#include <QStringList>

// Of the candidate profiles.ini files, those that exist, in the order given.
QStringList ExistingProfileInis(const QStringList& ACandidates);

// Appends the Name of every section that has one, in file order, for each file in turn.
void ReadProfileNames(const QStringList& AIniFiles, QStringList& AProfileList);

// The folder of the profile named AProfile (exact letter case), with a trailing separator: in the
// first file that has such a section, its last one; a relative Path is taken from the file's
// folder. Empty when AProfile is empty or no section has that name.
QString ProfileFolder(const QStringList& AIniFiles, const QString& AProfile);
