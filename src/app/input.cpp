#include "app/input.h"
#include "core/state.h"
#include "player/player.h"

namespace {

const int VOLUME_KEY_STEP = 500;
const int DRAG_LEVELS_PER_PIXEL = 50;   // 200 pixels span the whole range

// The signed horizontal client coordinate of a mouse message.
int CursorX(LPARAM position)
{
    return SHORT(LOWORD(position));
}

void StepVolume(int change)
{
    PlayerSetVolume(&g_player, VolumeLevel(&g_player) + change);
    g_volumeDisplayTicks = VOLUME_DISPLAY_TICKS;
}

} // namespace

void HandleKeyDown(WPARAM virtualKey)
{
    switch (virtualKey) {
    case VK_UP:
        PlayerPause(&g_player);
        break;
    case VK_DOWN:
        PlayerPlay(&g_player);
        break;
    case VK_INSERT:
        StepVolume(VOLUME_KEY_STEP);
        break;
    case VK_DELETE:
        StepVolume(-VOLUME_KEY_STEP);
        break;
    case 'P':
        PlayerTogglePause(&g_player);
        break;
    }
}

void HandleRightButtonDown(HWND window, LPARAM position)
{
    g_dragOriginX = CursorX(position);
    g_dragBaseLevel = VolumeLevel(&g_player);
    SetCapture(window);
    g_volumeDisplayTicks = -1;
}

void HandleMouseMove(HWND window, LPARAM position)
{
    if (g_dragBaseLevel < 0) return;
    // Always from the press, so moving back restores the level there.
    int level = g_dragBaseLevel + (CursorX(position) - g_dragOriginX) * DRAG_LEVELS_PER_PIXEL;
    PlayerSetVolume(&g_player, level);
    InvalidateRect(window, nullptr, FALSE);
}

void HandleRightButtonUp()
{
    ReleaseCapture();
    g_dragBaseLevel = -1;
    g_volumeDisplayTicks = 0;
}
