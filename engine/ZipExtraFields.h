// SPDX-License-Identifier: GPL-3.0-or-later
// The ZIP extra fields that carry what the DOS time and attributes cannot, in the layout the
// Info-ZIP tools write and read: the extended timestamp ("UT", 0x5455: the modification time to
// the second, in Unix time) and the Unix owner ("ux", 0x7875: UID and GID).
#pragma once

#include <QByteArray>

#include <sys/types.h>

namespace ZipExtraFields {

constexpr quint16 ExtendedTimestampId = 0x5455;
constexpr quint16 UnixOwnerId = 0x7875;

// The field's data (without its id and length) holding the modification time AMTime; empty
// when the time does not fit the field's signed 32 bits.
QByteArray ExtendedTimestamp(qint64 AMTime);
// The field's data holding AUid and AGid, four bytes each.
QByteArray UnixOwner(uid_t AUid, gid_t AGid);
// The modification time from an extended-timestamp field's data, local or central; false when
// the field carries none.
bool ReadModificationTime(const unsigned char* AData, quint16 ALength, qint64& AMTime);

} // namespace ZipExtraFields
