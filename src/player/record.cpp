#include "player/record.h"
#include "core/state.h"

Player g_player;

namespace {

const int DOCKED_VIDEO_LIMIT = 260;

} // namespace

void NoteEvent(Player* player, long code)
{
    player->eventMask |= 1UL << (code & 31);
    wsprintfW(g_statusLine, L"State:%x", player->eventMask);
}

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
