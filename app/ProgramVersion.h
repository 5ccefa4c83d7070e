// SPDX-License-Identifier: GPL-3.0-or-later
// What the About box says of the running program: its file version and its copyright line.
#pragma once

#include <QString>

// Four parts, "Major.Minor.Release.Build".
QString ProgramFileVersion();
QString ProgramLegalNotice();
