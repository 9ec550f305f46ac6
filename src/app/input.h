// Keys, the left click and the right-button volume drag on the strip.
#pragma once

#include <windows.h>

void HandleKeyDown(WPARAM virtualKey);
void HandleRightButtonDown(HWND window, LPARAM position);
void HandleMouseMove(LPARAM position);
void HandleRightButtonUp();
