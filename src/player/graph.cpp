// DirectShow: the filter graph manager renders a file with whatever filters
// the machine has; its events come to the strip as WM_GRAPHNOTIFY.
#include "player/graph.h"
#include "core/state.h"

namespace {

const int STATE_WAIT_CALLS = 30;
const DWORD STATE_WAIT_MS = 1000;
const DWORD PAUSE_POLL_MS = 100;
const DWORD PAUSE_POLL_LIMIT_MS = 5000;

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

// Gives back whatever GraphCreate obtained.
void ReleaseAll(Player* player)
{
    ReleaseInterface(player->seeking);
    ReleaseInterface(player->audio);
    ReleaseInterface(player->events);
    ReleaseInterface(player->control);
    ReleaseInterface(player->graph);
}

// Docked, or next to the strip. A target, strip or video window that
// cannot be read leaves it where the renderer put it.
void PlaceVideoWindow(IVideoWindow* video)
{
    long left, top, width, height;
    if (SUCCEEDED(video->GetWindowPosition(&left, &top, &width, &height)) &&
        PlacePicture(&left, &top, &width, &height)) {
        video->SetWindowPosition(left, top, width, height);
    }
}

// The largest rectangle of the video's shape centred in width x height:
// the renderer fills the rest with its border colour.
void KeepShape(IBasicVideo* basic, long width, long height)
{
    long videoWidth, videoHeight;
    if (FAILED(basic->GetVideoSize(&videoWidth, &videoHeight)) || videoWidth <= 0 || videoHeight == 0) return;
    if (videoHeight < 0) videoHeight = -videoHeight;  // Wine 10 gives a bottom-up picture's height as its bitmap's
    long shownWidth = long(LONGLONG(height) * videoWidth / videoHeight);
    if (shownWidth > width) shownWidth = width;
    long shownHeight = long(LONGLONG(shownWidth) * videoHeight / videoWidth);
    basic->SetDestinationPosition((width - shownWidth) / 2, (height - shownHeight) / 2, shownWidth, shownHeight);
}

// A reused graph still holds the last file's filters: take them all out so
// that the next file plays alone. The user's volume and event bits stay.
void EmptyGraph(Player* player)
{
    player->control->Stop();
    player->ended = FALSE;
    ReleaseInterface(player->videoWindow);
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

// A graph that has played to its end ignores a new place while it runs,
// and a plain Run there plays nothing: stop, move, then run or pause.
void ReplayFrom(Player* player, LONGLONG position, BOOL paused)
{
    player->control->Stop();
    if (player->seeking) {
        player->seeking->SetPositions(&position, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
    }
    player->ended = FALSE;
    if (paused) player->control->Pause();
    else player->control->Run();
    GraphWaitState(player);
}

} // namespace

int GraphCreate(Player* player, HWND notifyWindow)
{
    player->graph = nullptr;
    player->control = nullptr;
    player->events = nullptr;
    player->audio = nullptr;
    player->seeking = nullptr;
    player->videoWindow = nullptr;
    player->filterState = State_Stopped;
    player->ended = FALSE;

    if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                                IID_IGraphBuilder, reinterpret_cast<void**>(&player->graph)))) {
        player->graph = nullptr;
        return 0;
    }
    IGraphBuilder* graph = player->graph;
    graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&player->control));
    graph->QueryInterface(IID_IMediaEventEx, reinterpret_cast<void**>(&player->events));
    graph->QueryInterface(IID_IBasicAudio, reinterpret_cast<void**>(&player->audio));
    graph->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&player->seeking));

    // Everything else relies on both; a graph without them is no graph.
    if (!player->control || !player->events) {
        ReleaseAll(player);
        return 0;
    }

    player->events->SetNotifyWindow(reinterpret_cast<OAHWND>(notifyWindow), WM_GRAPHNOTIFY, 0);
    if (player->audio) player->audio->put_Volume(player->volume);
    return 1;
}

BOOL GraphRender(Player* player, const WCHAR* path, BOOL* reused)
{
    // A graph that plays, or is paused, goes with its file; one played to
    // its end, or never run, is emptied and used again.
    if (player->graph && player->filterState != State_Stopped) GraphRelease(player);
    *reused = player->graph != nullptr;
    if (*reused) EmptyGraph(player);
    else GraphCreate(player, g_mainWindow);
    StackBstr bstr;
    if (player->graph && SUCCEEDED(player->control->RenderFile(MakeBstr(bstr, path)))) return TRUE;
    GraphRelease(player);
    return FALSE;
}

int GraphStart(Player* player, BOOL reused)
{
    // videoWindow is null here: a new graph has none, and EmptyGraph gave back a reused one's.
    player->graph->QueryInterface(IID_IVideoWindow, reinterpret_cast<void**>(&player->videoWindow));
    if (IVideoWindow* video = player->videoWindow) {
        StackBstr bstr;
        video->put_Caption(MakeBstr(bstr, FileNamePart(g_mediaPath)));
        PlaceVideoWindow(video);
        // Its keys and mouse come to the window that takes the picture's.
        video->put_MessageDrain(reinterpret_cast<OAHWND>(g_pictureInput));
    }
    if (IMediaSeeking* seeking = player->seeking) {
        seeking->SetTimeFormat(&TIME_FORMAT_MEDIA_TIME);
        LONGLONG duration;
        if (SUCCEEDED(seeking->GetDuration(&duration))) g_duration = duration;
        // A reused graph keeps the last file's place, a seek's too: start this one from the beginning.
        LONGLONG start = 0;
        if (reused) seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
    }
    if (FAILED(player->control->Run())) return 0;
    GraphWaitState(player);
    if (player->audio) player->audio->put_Volume(player->volume);
    return 1;
}

void GraphSetVolume(Player* player, LONG volume)
{
    if (player->audio && SUCCEEDED(player->audio->put_Volume(volume))) player->volume = volume;
}

void GraphWaitState(Player* player)
{
    for (int call = 0; call < STATE_WAIT_CALLS; ++call) {
        if (player->control->GetState(STATE_WAIT_MS, &player->filterState) == S_OK) return;
    }
}

void GraphPause(Player* player)
{
    player->control->Pause();
    // A graph stuck running must not freeze us: polling ends after PAUSE_POLL_LIMIT_MS.
    DWORD start = GetTickCount();
    for (;;) {
        GraphWaitState(player);
        if (player->filterState != State_Running || GetTickCount() - start >= PAUSE_POLL_LIMIT_MS) return;
        SleepLettingSendsIn(PAUSE_POLL_MS);
    }
}

void GraphPlay(Player* player)
{
    if (player->ended) {
        ReplayFrom(player, 0, FALSE);  // play after the end plays the file again
        return;
    }
    player->control->Run();
    GraphWaitState(player);
}

void GraphHandleEvents(Player* player)
{
    long code;
    LONG_PTR param1, param2;
    while (SUCCEEDED(player->events->GetEvent(&code, &param1, &param2, 0))) {
        player->events->FreeEventParams(code, param1, param2);
        NoteEvent(player, code);
        if (code == EC_COMPLETE) {
            player->filterState = State_Stopped;
            player->ended = TRUE;
        }
    }
}

void GraphStop(Player* player)
{
    GraphPause(player);
    player->control->Stop();
    if (IVideoWindow* video = player->videoWindow) {
        video->put_Visible(OAFALSE);
        video->put_MessageDrain(0);
        video->put_Owner(0);
    }
}

void GraphRelease(Player* player)
{
    if (!player->graph) return;
    GraphStop(player);
    ReleaseInterface(player->videoWindow);
    ReleaseAll(player);
    player->filterState = State_Stopped;
    player->ended = FALSE;
}

void GraphSeekTo(Player* player, LONGLONG position)
{
    if (player->ended) {
        // After the end it plays from there, unless the user paused it since.
        ReplayFrom(player, position, player->filterState == State_Paused);
        return;
    }
    // Running plays on from there; paused stays paused there.
    player->seeking->SetPositions(&position, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
}

BOOL GraphGetPosition(Player* player, LONGLONG* position)
{
    return player->seeking && SUCCEEDED(player->seeking->GetCurrentPosition(position));
}

// In full screen the picture keeps its shape in black; a window of its
// own size shows it whole again, following the window.
void GraphSetWindow(Player* player, LONG style, const RECT& place, BOOL fullScreen)
{
    IVideoWindow* video = player->videoWindow;
    long width = place.right - place.left, height = place.bottom - place.top;
    video->put_WindowStyle(style);
    video->SetWindowPosition(place.left, place.top, width, height);
    video->put_BorderColor(RGB(0, 0, 0));
    IBasicVideo* basic;
    if (FAILED(player->graph->QueryInterface(IID_IBasicVideo, reinterpret_cast<void**>(&basic)))) return;
    if (fullScreen) KeepShape(basic, width, height);
    else basic->SetDefaultDestinationPosition();
    basic->Release();
    // Wine 10's renderer paints its border only when its window shows.
    if (fullScreen && g_wineVersion >= 1000) {
        video->put_Visible(OAFALSE);
        video->put_Visible(OATRUE);
    }
}
