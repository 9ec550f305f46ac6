// The window a session's picture is drawn into: ours, since Media
// Foundation's video renderer draws into a window it is given. DirectShow's
// renderer brings its own.
#pragma once

#include "player/record.h"

// A hidden top-level window captioned with the file name of path; it shows
// once its session has started.
HWND CreateVideoWindow(const WCHAR* path);

// Sizes the player's video window to the video, at the window's own DPI
// where Windows tells it (10 version 1607 on), docks it when asked or puts
// it next to the strip, and fits the picture to it.
void PlaceVideoWindow(Player* player);

// The picture fills the window's client area.
void FitPicture(HWND window);
