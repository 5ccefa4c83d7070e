// SPDX-License-Identifier: GPL-3.0-or-later
// Types shared by every subsystem: the date-time, the callback shapes and the stored enumerations.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

// Days since 1899-12-30; the fraction is the time of day. 0 means "never".
using TDateTime = double;

// Components report to their owners through callbacks whose first parameter is the sender.
using TNotifyEvent = std::function<void(QObject* ASender)>;
using TOnLog = std::function<void(QObject* ASender, const QString& AMessage)>;
using TOnDebug = std::function<void(QObject* ASender, const QString& AProcedure, const QString& AMessage)>;
using TOnProgress = std::function<void(QObject* ASender, const QString& AMessage, int AProgress)>;
// Amounts are byte counts; the times are date-time durations (fractions of a day).
using TOnRemainingTime = std::function<void(QObject* ASender, qint64 ATotalAmount, qint64 ACurrentAmount,
                                            TDateTime AElapsedTime, TDateTime AEstimatedTime)>;

// The ordinals below are stored as integers: never reorder or renumber them.

enum TZipType : int { zZip = 0, zSeven = 1, zNTBackup = 2 };

enum TCompressionLevel : int { clNone = 0, clLow = 1, clNormal = 2, clHigh = 3, clMaximum = 4 };

enum TBackupProfileQueueStatus : int { qsPending = 0, qsInProgress = 1, qsComplete = 2, qsFailed = 3, qsCancelled = 4 };

enum TZipCompression : int { zcNone = 0, zcFast = 1, zcNormal = 2, zcHigh = 3, zcMaximum = 4 };

enum TBackupResult : int { brComplete = 0, brFailed = 1, brCancelled = 2 };

enum TExitParameter : int { xpNone = 0, xpLogoff = 1, xpReboot = 2, xpShutdown = 3, xpLockWorkstation = 4 };

// "True"/"False" as the program writes Booleans into its log and debug lines.
inline QString BoolToStr(bool AValue)
{
  return AValue ? QStringLiteral("True") : QStringLiteral("False");
}
