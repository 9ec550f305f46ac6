// Keys, the left click and the right-button volume drag on the strip.
#pragma once

#include <windows.h>

void HandleKeyDown(WPARAM virtualKey);
// 500 volume levels per notch, up louder, as Insert and Delete.
void HandleMouseWheel(WPARAM wParam);
void HandleRightButtonDown(HWND window, LPARAM position);
void HandleMouseMove(LPARAM position);
void HandleRightButtonUp();
// Another window took the mouse (a dialog, Alt+Tab): the drag ends as on release.
void HandleCaptureLost();
