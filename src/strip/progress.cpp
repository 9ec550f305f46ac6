#include "strip/progress.h"
#include "core/state.h"
#include "strip/details.h"

int UpdateProgress(Player* player, int width)
{
    if (!PlayerHasMedia(player)) return 0;
    int progress = 0;
    if (PlayerGetPosition(player, &g_position) && g_duration != 0) {
        progress = int(LONGLONG(width) * g_position / g_duration);
    }
    // Copied, never formatted: a file name may hold a percent sign.
    CopyText(g_titleLine, TITLE_LINE_CAPACITY, FileNamePart(g_mediaPath));
    return progress;
}

int NextFlickerSeed(int seed)
{
    return int(UINT(seed) * 323u + 12345u);
}

void HandleTimerTick(HWND window)
{
    if (g_volumeDisplayTicks != 0) --g_volumeDisplayTicks;
    // Inside a player operation the graph is not to be called: the bar waits.
    if (!g_playerBusy) {
        PlayerPollEvents(&g_player);
        g_progressWidth = UpdateProgress(&g_player, g_stripWidth);
    }
    UpdateDetailsTip();
    InvalidateRect(window, nullptr, FALSE);
    g_flickerSeed = NextFlickerSeed(g_flickerSeed);
}
