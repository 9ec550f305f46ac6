#include "player/record.h"
#include "core/state.h"

Player g_player;
BOOL g_fullScreen;
LONG g_windowedStyle;
RECT g_windowedPlace;
BOOL g_pointerHidden;

void NoteEvent(Player* player, long code)
{
    player->eventMask |= 1UL << (code & 31);
    wsprintfW(g_statusLine, L"State:%x", player->eventMask);
}

namespace {

const int DOCKED_VIDEO_LIMIT = 260;

// Into the dock target's bottom-left or bottom-right corner, at most 260
// pixels each way at 96 DPI, scaled as the strip.
BOOL PlaceInDock(long* left, long* top, long* width, long* height)
{
    RECT target;
    if (!GetWindowRect(g_dockTarget, &target)) return FALSE;
    long limit = ScaleForDpi(DOCKED_VIDEO_LIMIT);
    if (*width > limit) *width = limit;
    if (*height > limit) *height = limit;
    *top = target.bottom - *height;
    *left = g_dockSide == 0 ? target.left : target.right - *width;
    return TRUE;
}

// value, or the nearest of low..high; low where the range is empty.
long Within(long value, long low, long high)
{
    if (value > high) value = high;
    return value < low ? low : value;
}

// Below the strip, or above it where its monitor's work area has no room
// below, within that work area: the strip stays in sight.
BOOL PlaceBesideStrip(long* left, long* top, const long* width, const long* height)
{
    RECT strip;
    if (!GetWindowRect(g_mainWindow, &strip)) return FALSE;
    RECT work = MonitorOf(strip).rcWork;
    *top = Within(strip.bottom + *height <= work.bottom ? strip.bottom : strip.top - *height, work.top,
                  work.bottom - *height);
    *left = Within(strip.left, work.left, work.right - *width);
    return TRUE;
}

} // namespace

BOOL PlacePicture(long* left, long* top, long* width, long* height)
{
    return g_dockSide >= 0 ? PlaceInDock(left, top, width, height) : PlaceBesideStrip(left, top, width, height);
}

MONITORINFO MonitorOf(const RECT& window)
{
    MONITORINFO monitor = { sizeof monitor, {}, {}, 0 };
    GetMonitorInfoW(MonitorFromRect(&window, MONITOR_DEFAULTTONEAREST), &monitor);
    return monitor;
}
