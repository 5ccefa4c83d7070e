// SPDX-License-Identifier: GPL-3.0-or-later
// The profile lists with check boxes that choose what to back up (backup alerts, custom backup).
#pragma once

#include <QStringList>

class QTreeWidget;
class TBackupProfileManager;

// The names of the ticked rows (column 0), in the list's order.
QStringList TickedProfiles(const QTreeWidget* AList);
// Replaces the manager's queue with the ticked profiles. Two profiles may share a name after a
// rename; the queue holds a name once.
void QueueTickedProfiles(const QTreeWidget* AList, TBackupProfileManager& AManager);
