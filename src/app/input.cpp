#include "app/input.h"
#include "app/commands.h"
#include "core/state.h"
#include "player/player.h"

namespace {

const int VOLUME_KEY_STEP = 500;
const int SEEK_KEY_SECONDS = 5;
const int DRAG_LEVELS_PER_PIXEL = 50;   // per 96-DPI pixel: the strip's width spans the whole range

// The signed horizontal client coordinate of a mouse message.
int CursorX(LPARAM position)
{
    return SHORT(LOWORD(position));
}

} // namespace

void HandleKeyDown(WPARAM virtualKey)
{
    switch (virtualKey) {
    case VK_UP:
        PerformCommand(CMD_PAUSE, 0);
        break;
    case VK_DOWN:
        PerformCommand(CMD_PLAY, 0);
        break;
    case VK_INSERT:
        PerformCommand(CMD_ADD_VOLUME, VOLUME_KEY_STEP);
        break;
    case VK_DELETE:
        PerformCommand(CMD_ADD_VOLUME, -VOLUME_KEY_STEP);
        break;
    case 'P':
        PerformCommand(CMD_TOGGLE, 0);
        break;
    case VK_LEFT:
        PerformCommand(CMD_SEEK_BY, -SEEK_KEY_SECONDS);
        break;
    case VK_RIGHT:
        PerformCommand(CMD_SEEK_BY, SEEK_KEY_SECONDS);
        break;
    case VK_HOME:
        PerformCommand(CMD_SEEK_TO, 0);
        break;
    }
}

BOOL HandleAppCommand(LPARAM lParam)
{
    DWORD code;
    switch (GET_APPCOMMAND_LPARAM(lParam)) {
    case APPCOMMAND_MEDIA_PLAY_PAUSE: code = CMD_TOGGLE; break;
    case APPCOMMAND_MEDIA_PLAY: code = CMD_PLAY; break;
    case APPCOMMAND_MEDIA_PAUSE: code = CMD_PAUSE; break;
    case APPCOMMAND_MEDIA_STOP: code = CMD_STOP; break;
    case APPCOMMAND_MEDIA_NEXTTRACK: code = CMD_NEXT; break;
    case APPCOMMAND_MEDIA_PREVIOUSTRACK: code = CMD_PREVIOUS; break;
    default: return FALSE;
    }
    PerformCommand(code, 0);
    return TRUE;
}

void HandleMouseWheel(WPARAM wParam)
{
    // Smooth wheels send parts of a notch: they count once they make one.
    g_wheelDelta += GET_WHEEL_DELTA_WPARAM(wParam);
    int notches = g_wheelDelta / WHEEL_DELTA;
    g_wheelDelta -= notches * WHEEL_DELTA;
    if (notches != 0) PerformCommand(CMD_ADD_VOLUME, notches * VOLUME_KEY_STEP);
}

void HandleRightButtonDown(HWND window, LPARAM position)
{
    SetCapture(window);  // first: taking it from another window must not end this drag
    g_dragOriginX = CursorX(position);
    g_dragBaseLevel = VolumeLevel(&g_player);
    g_volumeDisplayTicks = -1;
}

void HandleMouseMove(LPARAM position)
{
    if (g_dragBaseLevel < 0) return;
    // Always from the press, so moving back restores the level there.
    int level = g_dragBaseLevel +
                (CursorX(position) - g_dragOriginX) * DRAG_LEVELS_PER_PIXEL * USER_DEFAULT_SCREEN_DPI / g_stripDpi;
    PerformCommand(CMD_DRAG_VOLUME, level);  // repaints when carried out
}

void HandleRightButtonUp()
{
    ReleaseCapture();
    HandleCaptureLost();
}

void HandleCaptureLost()
{
    g_dragBaseLevel = -1;
    g_volumeDisplayTicks = 0;
}
