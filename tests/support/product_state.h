// Puts the program's globals back to their values at process start, so one
// test's leftovers never decide another's outcome. The player record is the
// fixtures' own business: a real graph must be released, a fake one dropped.
#pragma once

#include "app/commands.h"
#include "app/status.h"
#include "core/queue.h"
#include "core/state.h"
#include "player/record.h"

#include <wchar.h>

inline void RestoreProductGlobals()
{
    g_mediaPath[0] = g_titleLine[0] = 0;
    wcscpy(g_statusLine, L"*******************");
    g_dockTarget = nullptr;
    g_dockSide = -1;
    g_progressWidth = 0;
    g_position = g_duration = 0;
    g_volumeDisplayTicks = 0;
    g_dragBaseLevel = -1;
    g_dragOriginX = 0;
    g_wheelDelta = 0;
    g_flickerSeed = 1;
    g_stripDpi = USER_DEFAULT_SCREEN_DPI;
    g_failedOpen = FALSE;
    g_stopAsked = FALSE;
    g_fullScreen = g_pointerHidden = FALSE;
    g_wineVersion = 0;  // a test may have played Windows
    FindWineVersion();
    g_failureTicks = 0;
    QueueClear();
}
