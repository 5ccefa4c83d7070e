// SPDX-License-Identifier: GPL-3.0-or-later
// Who and where the program runs: the names and the address that e-mails report.
#pragma once

#include <QString>

// The computer's host name; empty when it cannot be read.
QString ComputerName();
// The login name of the user running the program; empty when it cannot be read.
QString LoginName();
// The first IPv4 address of an interface that is up and not the loopback; empty when there is none.
QString LocalIPAddress();
