// SPDX-License-Identifier: GPL-3.0-or-later
// A window's placement as the settings store keeps it; the window layer maps it to a window.
#pragma once

struct TFormPlacement
{
  // The window's bounds when it is shown normally.
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  int WindowState = 0; // 0 normal, 1 minimized, 2 maximized
  int FormStyle = 0;   // 0 normal, 1 multi-document child, 2 multi-document frame, 3 stay on top
  int Monitor = 0;     // index of the display that shows the window
};
