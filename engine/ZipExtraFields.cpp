// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/ZipExtraFields.h"

#include <QtEndian>

#include <limits>

namespace ZipExtraFields {

namespace {

constexpr unsigned char ModificationTimeFlag = 0x01;

void AppendLittleEndian32(QByteArray& AData, quint32 AValue)
{
  char bytes[4];
  qToLittleEndian(AValue, bytes);
  AData.append(bytes, 4);
}

} // namespace

QByteArray ExtendedTimestamp(qint64 AMTime)
{
  if (AMTime < std::numeric_limits<qint32>::min() || AMTime > std::numeric_limits<qint32>::max())
    return QByteArray();
  QByteArray data(1, static_cast<char>(ModificationTimeFlag));
  AppendLittleEndian32(data, static_cast<quint32>(static_cast<qint32>(AMTime)));
  return data;
}

QByteArray UnixOwner(uid_t AUid, gid_t AGid)
{
  // Version 1, then each id with its size.
  QByteArray data;
  data.append(char(1));
  data.append(char(4));
  AppendLittleEndian32(data, static_cast<quint32>(AUid));
  data.append(char(4));
  AppendLittleEndian32(data, static_cast<quint32>(AGid));
  return data;
}

bool ReadModificationTime(const unsigned char* AData, quint16 ALength, qint64& AMTime)
{
  // The central copy holds the flags of the local one but only the modification time.
  if (AData == nullptr || ALength < 5 || (AData[0] & ModificationTimeFlag) == 0)
    return false;
  AMTime = qFromLittleEndian<qint32>(AData + 1);
  return true;
}

} // namespace ZipExtraFields
