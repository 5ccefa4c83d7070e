// SPDX-License-Identifier: GPL-3.0-or-later
// Asks which of a profile's archives to work on: the newest or one of the earlier ones kept
// beside it, each shown with its date and size, the newest selected. Tests queue the answer
// instead of a click, as they do for the file dialogs.
#pragma once

#include "engine/TArchiveGenerations.h"

#include <QStringList>

class QWidget;

class TGenerationChooser
{
public:
  // True with AIndex set to the chosen generation; false when the user cancelled.
  static bool Choose(QWidget* AParent, const QString& ACaption, const QList<TArchiveGeneration>& AGenerations,
                     int& AIndex);
  // The line shown for generation AIndex.
  static QString Line(int AIndex, const TArchiveGeneration& AGeneration);

  // For tests: the next Choose answers AIndex (-1: cancel) without a window, and the lines it
  // would have shown are kept.
  static void QueueChoice(int AIndex);
  static const QStringList& LastLines();
  static void Reset();
};
