// The strip window: its class, its creation and the window procedure.
#pragma once

#include <windows.h>
#include <shellapi.h>

extern const WCHAR STRIP_CLASS_NAME[];   // also the window title: "Tallyvox"

const UINT_PTR TICK_TIMER_ID = 1;
const UINT TICK_INTERVAL_MS = 100;

void RegisterStripClass(HINSTANCE instance);

// A top-level strip, or a child of parent when parent is not null, 200x62
// scaled to the DPI of its screen (its parent's); sets g_stripDpi.
HWND CreateStripWindow(HINSTANCE instance, HWND parent);

// TRUE for a strip made inside another program's window (/P): it has no
// taskbar button and no media controls of its own.
inline BOOL IsChildStrip(HWND strip) { return (GetWindowLongW(strip, GWL_STYLE) & WS_CHILD) != 0; }

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Opens the first file of a drop and releases the drop.
void HandleDroppedFiles(HDROP drop);
