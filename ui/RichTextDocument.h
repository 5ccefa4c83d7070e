// SPDX-License-Identifier: GPL-3.0-or-later
// Shows a document file in a text view: RTF with its formatting, HTML as rich text, anything else plain.
#pragma once

#include <QByteArray>
#include <QString>

class QTextEdit;

// Loads AFileName into AView; false when the file cannot be read.
[[nodiscard]] bool LoadDocument(QTextEdit& AView, const QString& AFileName);
