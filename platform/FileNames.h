// SPDX-License-Identifier: GPL-3.0-or-later
// File names between the file system (bytes) and the program (UTF-16 text).
//
// A Linux file name is any sequence of bytes. Bytes that do not form valid UTF-8 travel through
// the program as lone low surrogates U+DC80..U+DCFF, one per byte, so every name decodes to a
// string and encodes back to exactly the bytes it came from. Such strings must be opened through
// EncodeFileName (POSIX calls), never through QFile, which would replace the escaped bytes.
#pragma once

#include <QByteArray>
#include <QString>

QString DecodeFileName(const QByteArray& ABytes);
QByteArray EncodeFileName(const QString& AName);

// True when the name carries escaped bytes, i.e. it is not valid UTF-8 on disk.
bool HasEscapedBytes(const QString& AName);

// The text as a log or a terminal shows it, naming every file exactly: a byte that is not UTF-8
// becomes "\xff", a control character (C0, DEL) "\x1b", a C1 control or a lone surrogate
// "\u009b", and a backslash "\\". Everything else is kept.
QString PrintableText(const QString& AText);
