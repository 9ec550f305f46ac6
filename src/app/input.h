// Keys, the left click and the right-button volume drag on the strip.
#pragma once

#include <windows.h>

void HandleKeyDown(WPARAM virtualKey);
// TRUE for the keys that DefWindowProcW turns into WM_APPCOMMAND: the
// keyboard's media, volume, browser and launch keys.
inline BOOL IsAppCommandKey(WPARAM virtualKey) { return virtualKey >= VK_BROWSER_BACK && virtualKey <= VK_LAUNCH_APP2; }
// WM_APPCOMMAND: play/pause, play, pause, stop, next and previous track,
// from the keyboard, a remote or a mouse button. FALSE for any other
// command (volume, browser): it goes on to DefWindowProcW, and so to the system.
BOOL HandleAppCommand(LPARAM lParam);
// 500 volume levels per notch, up louder, as Insert and Delete.
void HandleMouseWheel(WPARAM wParam);
void HandleRightButtonDown(HWND window, LPARAM position);
void HandleMouseMove(LPARAM position);
void HandleRightButtonUp();
// Another window took the mouse (a dialog, Alt+Tab): the drag ends as on release.
void HandleCaptureLost();
