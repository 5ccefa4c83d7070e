// SPDX-License-Identifier: GPL-3.0-or-later
// Shows a document file in a text view: RTF as its text, HTML as rich text, anything else plain.
#pragma once

#include <QByteArray>
#include <QString>

class QTextEdit;

// The text of an RTF document: paragraphs and line breaks kept, formatting and the font,
// colour, style and information tables dropped.
QString RtfToPlainText(const QByteArray& ARtf);
// Loads AFileName into AView; false when the file cannot be read.
[[nodiscard]] bool LoadDocument(QTextEdit& AView, const QString& AFileName);
