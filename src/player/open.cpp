#include "player/player.h"
#include "core/state.h"

namespace {

const int DOCKED_VIDEO_LIMIT = 260;
const WCHAR FAILURE_PREFIX[] = L"\u5931\u6557:";  // "failed:"

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

// Puts the video window into the dock target's bottom-left or bottom-right
// corner, at most 260 pixels each way at 96 DPI, scaled as the strip. A
// target or video window that cannot be read is left alone: the media plays
// on undocked.
void DockVideoWindow(IVideoWindow* video)
{
    long left, top, width, height;
    if (FAILED(video->GetWindowPosition(&left, &top, &width, &height))) return;
    long limit = ScaleForDpi(DOCKED_VIDEO_LIMIT);
    if (width > limit) width = limit;
    if (height > limit) height = limit;
    RECT target;
    if (!GetWindowRect(g_dockTarget, &target)) return;
    top = target.bottom - height;
    left = g_dockSide == 0 ? target.left : target.right - width;
    video->SetWindowPosition(left, top, width, height);
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

// "failed:" and the path, cut to each line's capacity. The text is composed
// before either buffer is written, since path may be g_mediaPath itself.
void ShowOpenFailure(const WCHAR* path)
{
    WCHAR failure[MEDIA_PATH_CAPACITY];
    int prefixLength = CopyText(failure, MEDIA_PATH_CAPACITY, FAILURE_PREFIX);
    CopyText(failure + prefixLength, MEDIA_PATH_CAPACITY - prefixLength, path);
    CopyText(g_mediaPath, MEDIA_PATH_CAPACITY, failure);
    CopyText(g_titleLine, TITLE_LINE_CAPACITY, failure);
}

int PlayerOpen(Player* player, const WCHAR* path)
{
    if (!player->graph) {
        PlayerCreate(player, g_mainWindow);
        if (!player->graph) return 0;
    } else if (player->filterState != State_Stopped) {
        PlayerRelease(player);
        PlayerCreate(player, g_mainWindow);
        if (!player->graph) return 0;
    } else {
        EmptyGraph(player);
    }

    // A path that does not fit is never opened cut short: it could name another file.
    StackBstr bstr;
    if (!FitsMediaPath(path) || FAILED(player->control->RenderFile(MakeBstr(bstr, path)))) {
        ShowOpenFailure(path);
        PlayerRelease(player);
        return 0;
    }
    CopyText(g_mediaPath, MEDIA_PATH_CAPACITY, path);  // at start-up path is g_mediaPath: a no-op

    // videoWindow is null here: a new graph has none, and EmptyGraph gave back a reused one's.
    player->graph->QueryInterface(IID_IVideoWindow, reinterpret_cast<void**>(&player->videoWindow));
    if (IVideoWindow* video = player->videoWindow) {
        video->put_Caption(MakeBstr(bstr, FileNamePart(g_mediaPath)));
        if (g_dockSide >= 0) DockVideoWindow(video);
    }

    if (player->seeking) {
        player->seeking->SetTimeFormat(&TIME_FORMAT_MEDIA_TIME);
        player->seeking->GetDuration(&g_duration);
    }

    if (FAILED(player->control->Run())) return 0;
    PlayerWaitState(player);
    if (player->audio) player->audio->put_Volume(player->volume);
    return 1;
}
