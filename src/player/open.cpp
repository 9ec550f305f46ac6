#include "player/player.h"
#include "core/state.h"
#include "player/session.h"

namespace {

const int DOCKED_VIDEO_LIMIT = 260;

// A BSTR on the stack: the byte count sits right before the text. The graph
// only reads these strings during the call, so nothing needs SysAllocString.
struct StackBstr {
    UINT byteLength;
    WCHAR text[MEDIA_PATH_CAPACITY];
};

BSTR MakeBstr(StackBstr& buffer, const WCHAR* text)
{
    int length = CopyText(buffer.text, MEDIA_PATH_CAPACITY, text);
    buffer.byteLength = UINT(length) * sizeof(WCHAR);
    return buffer.text;
}

BOOL FitsMediaPath(const WCHAR* path)
{
    for (int length = 0; length < MEDIA_PATH_CAPACITY; ++length) {
        if (path[length] == 0) return TRUE;
    }
    return FALSE;
}

// A target or video window that cannot be read is left alone: the media
// plays on undocked.
void DockVideoWindow(IVideoWindow* video)
{
    long left, top, width, height;
    if (SUCCEEDED(video->GetWindowPosition(&left, &top, &width, &height)) &&
        PlaceInDock(&left, &top, &width, &height)) {
        video->SetWindowPosition(left, top, width, height);
    }
}

// A reused graph still holds the last file's filters: take them all out so
// that the next file plays alone. The user's volume and event bits stay.
void EmptyGraph(Player* player)
{
    player->control->Stop();
    player->ended = FALSE;
    if (player->videoWindow) {
        player->videoWindow->Release();
        player->videoWindow = nullptr;
    }
    IEnumFilters* filters = nullptr;
    for (;;) {
        if (FAILED(player->graph->EnumFilters(&filters)) || !filters) return;
        IBaseFilter* filter = nullptr;
        HRESULT found = filters->Next(1, &filter, nullptr);
        filters->Release();
        if (found != S_OK || !filter) return;
        HRESULT removed = player->graph->RemoveFilter(filter);
        filter->Release();
        if (FAILED(removed)) return;
    }
}

} // namespace

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
    // A session is never reused as such: the next file may need DirectShow.
    // Played to its end or never run, it leaves its volume and events, as a
    // reused graph does; playing or paused, it goes as a replaced graph goes.
    BOOL reused = FALSE, sessionDone = player->session && player->filterState == State_Stopped;
    LONG volume = player->volume;
    ULONG eventMask = player->eventMask;
    if (player->session) PlayerRelease(player);
    if (!player->graph) {
        PlayerCreate(player, g_mainWindow);
        if (sessionDone) player->volume = volume, player->eventMask = eventMask;
    } else if (player->filterState != State_Stopped) {
        PlayerRelease(player);
        PlayerCreate(player, g_mainWindow);
    } else {
        EmptyGraph(player);
        reused = TRUE;
    }

    // A path that does not fit is never opened cut short: it could name another file.
    StackBstr bstr;
    if (!FitsMediaPath(path)) {
        PlayerRelease(player);
    } else if (!player->graph || FAILED(player->control->RenderFile(MakeBstr(bstr, path)))) {
        // DirectShow cannot play it: Media Foundation may, at the same volume.
        PlayerRelease(player);
        g_duration = g_position = 0;
        if (SessionOpen(player, path)) {
            CopyText(g_mediaPath, MEDIA_PATH_CAPACITY, path);
            return 1;
        }
    }
    if (!player->graph) {
        ShowOpenFailure(path);
        return 0;
    }
    CopyText(g_mediaPath, MEDIA_PATH_CAPACITY, path);  // at start-up path is g_mediaPath: a no-op
    // Whatever the graph tells of this file, nothing of the last one stays.
    g_duration = g_position = 0;

    // videoWindow is null here: a new graph has none, and EmptyGraph gave back a reused one's.
    player->graph->QueryInterface(IID_IVideoWindow, reinterpret_cast<void**>(&player->videoWindow));
    if (IVideoWindow* video = player->videoWindow) {
        video->put_Caption(MakeBstr(bstr, FileNamePart(g_mediaPath)));
        if (g_dockSide >= 0) DockVideoWindow(video);
    }

    if (IMediaSeeking* seeking = player->seeking) {
        seeking->SetTimeFormat(&TIME_FORMAT_MEDIA_TIME);
        LONGLONG duration;
        if (SUCCEEDED(seeking->GetDuration(&duration))) g_duration = duration;
        // The graph keeps the last file's place, a seek's too: start this one from the beginning.
        LONGLONG start = 0;
        if (reused) seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
    }

    if (FAILED(player->control->Run())) return 0;
    PlayerWaitState(player);
    if (player->audio) player->audio->put_Volume(player->volume);
    return 1;
}
