// SPDX-License-Identifier: GPL-3.0-or-later
// The latest progress of a run, handed from the run's thread to the window's. A run reports every
// file it adds, thousands a second for small files; only the latest report of each bar matters,
// so reports are kept here and the window is woken once until it has taken them.
#pragma once

#include "types/SharedTypes.h"

#include <QObject>
#include <QString>

#include <mutex>

class TRunProgress : public QObject
{
  Q_OBJECT

public:
  // One bar's latest report; a report without a message keeps the one before.
  struct TBar
  {
    bool Held = false;
    int Progress = 0;
    QString Message;
    void Hold(int AProgress, const QString& AMessage);
  };
  struct TPending
  {
    TBar Item;
    TBar Profile;
    TBar Total;
    bool Times = false;
    TDateTime Elapsed = 0;
    TDateTime Estimated = 0;
  };

  using QObject::QObject;

  // Any thread.
  void Item(int AProgress, const QString& AMessage);
  void Profile(int AProgress, const QString& AMessage);
  void Total(int AProgress, const QString& AMessage);
  void Times(TDateTime AElapsed, TDateTime AEstimated);

  // The window's thread: what arrived since the last call.
  TPending Take();

signals:
  // Queued to this object's thread once after the first report that Take has not yet collected.
  void Arrived();

private:
  template <typename TChange> void Change(TChange AChange);

  std::mutex FLock;
  TPending FPending;
  bool FSignalled = false;
};
