// The strip window: its class, its creation and the window procedure.
#pragma once

#include "core/state.h"

#include <shellapi.h>

const UINT_PTR TICK_TIMER_ID = 1;
const UINT TICK_INTERVAL_MS = 100;

void RegisterStripClass(HINSTANCE instance);

// A top-level strip, or a child of parent when parent is not null, 200x62
// scaled to the DPI of its screen (its parent's); sets g_stripDpi.
HWND CreateStripWindow(HINSTANCE instance, HWND parent);

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Opens the first file of a drop, queues the others after it, and releases the drop.
void HandleDroppedFiles(HDROP drop);
