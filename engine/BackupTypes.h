// SPDX-License-Identifier: GPL-3.0-or-later
// Callback shapes of the backup engine, besides the shared ones of types/SharedTypes.h.
#pragma once

#include "types/SharedTypes.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

// A log line with the engine's or the writer's error code (0 for information).
using TOnBackupLog = std::function<void(QObject* ASender, const QString& AMessage, int AErrorCode)>;
// Search progress: the handler may set ACancel.
using TOnSearchProgress = std::function<void(QObject* ASender, const QString& AMessage, int AProgress, bool& ACancel)>;
using TOnBackupFinished = std::function<void(QObject* ASender, TBackupResult ABackupResult)>;
// The handler may change the list; it must not keep it.
using TOnBackupFileList = std::function<void(QObject* ASender, QStringList& AFileList)>;
using TOnBackupFileExclusionList = std::function<void(QObject* ASender, QStringList& AFileList)>;
