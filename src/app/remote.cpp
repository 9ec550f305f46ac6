#include "app/remote.h"
#include "app/main_window.h"
#include "core/state.h"
#include "player/player.h"

#include <wchar.h>

BOOL ForwardToRunningStrip(DWORD commandWord)
{
    HWND strip = FindWindowW(STRIP_CLASS_NAME, nullptr);
    if (!strip) return FALSE;
    COPYDATASTRUCT record;
    record.dwData = commandWord;
    record.cbData = DWORD((wcslen(g_mediaPath) + 1) * sizeof(WCHAR));
    record.lpData = g_mediaPath;
    SendMessageW(strip, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&record));
    return TRUE;
}

namespace {

// Copies the record's path, bounded by cbData whether or not a NUL comes in
// it. A path longer than g_mediaPath holds arrives at the open too long, so
// the open refuses it instead of playing a cut name.
void OpenRecordPath(const COPYDATASTRUCT* record)
{
    WCHAR path[MEDIA_PATH_CAPACITY + 1];
    const WCHAR* data = static_cast<const WCHAR*>(record->lpData);
    DWORD available = data ? record->cbData / sizeof(WCHAR) : 0;
    DWORD length = 0;
    while (length < available && length < MEDIA_PATH_CAPACITY && data[length]) {
        path[length] = data[length];
        ++length;
    }
    path[length] = 0;
    if (length == 0) return;  // an empty path opens nothing
    PlayerOpen(&g_player, path);
}

} // namespace

void HandleRemoteCommand(const COPYDATASTRUCT* record)
{
    if (!record) return;
    WORD code = LOWORD(record->dwData);
    WORD argument = HIWORD(record->dwData);
    switch (code) {
    case CMD_PLAY:
        PlayerPlay(&g_player);
        break;
    case CMD_PAUSE:
    case CMD_STOP:  // stop only pauses: the position and video window stay
        PlayerPause(&g_player);
        break;
    case CMD_TOGGLE:
        PlayerTogglePause(&g_player);
        break;
    case CMD_SET_VOLUME:
        PlayerSetVolume(&g_player, argument);
        g_volumeDisplayTicks = VOLUME_DISPLAY_TICKS;
        break;
    case CMD_ADD_VOLUME:
        PlayerSetVolume(&g_player, VolumeLevel(&g_player) + SHORT(argument));
        g_volumeDisplayTicks = VOLUME_DISPLAY_TICKS;
        break;
    default:  // CMD_OPEN, and any code the sender never makes
        OpenRecordPath(record);
        break;
    }
}
