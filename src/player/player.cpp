// The one place that knows there are two ways to play: each operation turns
// to the graph or to the session, whichever holds the file. A file goes to
// DirectShow first, and to Media Foundation when DirectShow cannot render it.
#include "player/player.h"
#include "core/state.h"
#include "player/graph.h"
#include "player/session.h"
#include "player/video_window.h"

namespace {

BOOL FitsMediaPath(const WCHAR* path)
{
    for (int length = 0; length < MEDIA_PATH_CAPACITY; ++length) {
        if (path[length] == 0) return TRUE;
    }
    return FALSE;
}

// A file the session lost shows as a file that failed: its lines read
// "failed:", with nothing left open.
void ShowUnlessKept(BOOL kept)
{
    if (!kept) ShowOpenFailure(g_mediaPath);
}

} // namespace

BOOL PlayerHasPicture(const Player* player)
{
    if (player->session) return player->sessionVideo != nullptr;
    // The graph hands out its video window even for sound; with no video
    // renderer in it, the window's calls fail (E_NOINTERFACE).
    long visible;
    return player->videoWindow && SUCCEEDED(player->videoWindow->get_Visible(&visible));
}

int PlayerCreate(Player* player, HWND notifyWindow)
{
    player->eventMask = 0;
    return GraphCreate(player, notifyWindow);
}

void PlayerSetVolume(Player* player, int level)
{
    if (level < 0) level = 0;
    if (level > 10000) level = 10000;
    if (player->session) SessionSetVolume(player, level - 10000);
    if (player->graph) GraphSetVolume(player, level - 10000);
}

void PlayerWaitState(Player* player)
{
    if (player->graph) GraphWaitState(player);
}

void PlayerPause(Player* player)
{
    if (player->session) ShowUnlessKept(SessionPause(player));
    if (player->graph) GraphPause(player);
}

void PlayerPlay(Player* player)
{
    if (player->session) ShowUnlessKept(SessionPlay(player));
    if (player->graph) GraphPlay(player);
}

void PlayerTogglePause(Player* player)
{
    if (!PlayerHasMedia(player)) return;
    // The stored state decides: after the end of the media a toggle plays again.
    if (player->filterState != State_Running) {
        PlayerPlay(player);
        return;
    }
    PlayerPause(player);
    PlayerWaitState(player);
}

void PlayerHandleEvents(Player* player)
{
    if (player->session) SessionHandleEvents(player);
    if (player->graph) GraphHandleEvents(player);
}

void PlayerPollEvents(Player* player)
{
    if (player->session) SessionHandleEvents(player);
    SessionTendParked();
}

void PlayerStop(Player* player)
{
    if (player->graph) GraphStop(player);
}

void PlayerRelease(Player* player)
{
    PlayerSetFullScreen(player, FALSE);
    if (player->session) SessionRelease(player);
    GraphRelease(player);
}

BOOL PlayerShutdown(Player* player)
{
    PlayerRelease(player);
    return SessionReleaseParked();
}

void PlayerSeekTo(Player* player, LONGLONG position)
{
    if (!player->session && !(player->graph && player->seeking)) return;
    if (position > g_duration && g_duration > 0) position = g_duration;  // no duration: the graph knows the end
    if (position < 0) position = 0;
    if (player->session) ShowUnlessKept(SessionSeekTo(player, position));
    else GraphSeekTo(player, position);
}

void PlayerSeekBy(Player* player, LONGLONG change)
{
    if (!player->session && !(player->graph && player->seeking)) return;
    LONGLONG position = g_position;  // the last tick's, should a fresh read fail
    PlayerGetPosition(player, &position);
    PlayerSeekTo(player, position + change);
}

BOOL PlayerGetPosition(Player* player, LONGLONG* position)
{
    if (player->session) return SessionGetPosition(player, position);
    return player->graph && GraphGetPosition(player, position);
}

// The renderers leave full screen to the window (DirectShow's
// put_FullScreenMode and Wine's SetFullscreen answer E_NOTIMPL): it becomes
// a frameless popup over its monitor, and gets back the style and place it
// had.
void PlayerSetFullScreen(Player* player, BOOL on)
{
    HWND window = player->sessionVideo;
    // A docked picture keeps its corner; without a picture there is nothing to cover the monitor.
    if (on == g_fullScreen || (on && (g_dockSide >= 0 || !PlayerHasPicture(player)))) return;
    g_fullScreen = on;
    if (on && window) {
        g_windowedStyle = GetWindowLongW(window, GWL_STYLE);
        GetWindowRect(window, &g_windowedPlace);
    } else if (on) {
        GraphGetWindow(player, &g_windowedStyle, &g_windowedPlace);
    }
    LONG style = on ? (g_windowedStyle & ~WS_OVERLAPPEDWINDOW) | WS_POPUP : g_windowedStyle;
    RECT place = on ? MonitorOf(g_windowedPlace).rcMonitor : g_windowedPlace;
    if (window) {
        SetWindowLongW(window, GWL_STYLE, style);
        SetWindowPos(window, nullptr, place.left, place.top, place.right - place.left, place.bottom - place.top,
                     SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_FRAMECHANGED);
    } else if (player->videoWindow) {
        GraphSetWindow(player, style, place, on);
    }
    if (!on && g_pointerHidden) PlayerShowPointer(player, TRUE);
}

// Our window's pointer is hidden by its WM_SETCURSOR from now on, and at
// once here; DirectShow's renderer hides its own.
void PlayerShowPointer(Player* player, BOOL shown)
{
    g_pointerHidden = !shown;
    if (player->sessionVideo) SetCursor(shown ? LoadCursorW(nullptr, IDC_ARROW) : nullptr);
    else if (player->videoWindow) GraphHidePointer(player, !shown);
}

void PlayerPictureResized(Player* player)
{
    if (player->session) ShowUnlessKept(SessionPictureResized(player));
}

// "failed:" and the path, cut to each line's capacity. The text is composed
// before either buffer is written, since path may be g_mediaPath itself.
void ShowOpenFailure(const WCHAR* path)
{
    WCHAR failure[MEDIA_PATH_CAPACITY];
    int prefixLength = CopyText(failure, MEDIA_PATH_CAPACITY, OPEN_FAILURE_PREFIX);
    CopyText(failure + prefixLength, MEDIA_PATH_CAPACITY - prefixLength, path);
    CopyText(g_mediaPath, MEDIA_PATH_CAPACITY, failure);
    CopyText(g_titleLine, TITLE_LINE_CAPACITY, failure);
}

int PlayerOpen(Player* player, const WCHAR* path)
{
    // A file played to its end, or never run, leaves its event bits to the
    // next, whichever framework plays either; one playing or paused takes
    // them along. A session is never reused: the next file may need DirectShow.
    BOOL keepEvents = PlayerHasMedia(player) && player->filterState == State_Stopped;
    ULONG eventMask = keepEvents ? player->eventMask : 0;
    PlayerSetFullScreen(player, FALSE);
    if (player->session) SessionRelease(player);
    // A path that does not fit is never opened cut short: it could name another file.
    if (!FitsMediaPath(path)) {
        PlayerRelease(player);
        ShowOpenFailure(path);
        return 0;
    }
    BOOL reused;
    BOOL rendered = GraphRender(player, path, &reused);
    player->eventMask = eventMask;
    // Whatever the new file tells of itself, nothing of the last one stays.
    // Until here a status answer still tells of the last file.
    g_duration = g_position = 0;
    if (!rendered) {
        // DirectShow cannot play it: Media Foundation may, at the same volume.
        if (!SessionOpen(player, path)) {
            ShowOpenFailure(path);
            return 0;
        }
    }
    CopyText(g_mediaPath, MEDIA_PATH_CAPACITY, path);  // at start-up path is g_mediaPath: a no-op
    return rendered ? GraphStart(player, reused) : 1;
}
