// Media Foundation, for the files DirectShow cannot render. The life cycle
// is the classic one: resolve a media source, build a topology of its
// streams, give it to a media session, start, and at the end shut both down.
// The session's events are read on the GUI thread without a callback object:
// by the tick, and by the bounded waits after each command.
#include "player/session.h"
#include "core/state.h"
#include "core/system_library.h"

#include <mfapi.h>
#include <mferror.h>
#include <mfidl.h>
#include <evr.h>

namespace {

// The GUIDs used here that the headers only declare; the interfaces' own
// come with them (__uuidof), and the rest are defined there.
const GUID AUDIO_STREAMS = { 0x73647561, 0x0000, 0x0010, { 0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71 } };
const GUID VIDEO_STREAMS = { 0x73646976, 0x0000, 0x0010, { 0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71 } };
const GUID VIDEO_RENDER_SERVICE = { 0x1092a86c, 0xab1a, 0x459a, { 0xa3, 0x36, 0x83, 0x1f, 0xbc, 0x4d, 0x11, 0xff } };
const GUID TIME_FORMAT_DEFAULT = {};

// GUIDs compared as two 64-bit halves: == would call the C runtime's memcmp.
BOOL SameGuid(const GUID& a, const GUID& b)
{
    ULONGLONG x[2], y[2];
    __builtin_memcpy(x, &a, sizeof x);
    __builtin_memcpy(y, &b, sizeof y);
    return x[0] == y[0] && x[1] == y[1];
}

// A session that says nothing for this long is given up: every wait ends.
const DWORD SESSION_WAIT_MS = 5000;
const DWORD SESSION_POLL_MS = 10;
// What a wait reports when the session stayed silent.
const HRESULT SESSION_SILENT = HRESULT_FROM_WIN32(ERROR_TIMEOUT);

const WCHAR VIDEO_CLASS_NAME[] = L"TallyvoxVideo";

// Windows N editions have no Media Foundation until the user adds it, and a
// call into a missing DLL would raise the delay-load exception: look first.
BOOL MediaFoundationLoads()
{
    static BOOL loaded;  // and they stay, as every delay-loaded DLL does
    if (!loaded) loaded = LoadSystemLibrary("mfplat.dll") && LoadSystemLibrary("mf.dll");
    return loaded;
}

// A level is hundredths of a decibel above -100 dB, as DirectShow's volume:
// the session's master volume is the amplitude 10^(volume / 2000).
float AmplitudeOf(LONG volume)
{
    double amplitude = 1, factor = 0.99884936993650;  // 10^(-1/2000): one hundredth of a decibel down
    for (ULONG hundredths = ULONG(-volume); hundredths; hundredths >>= 1, factor *= factor) {
        if (hundredths & 1) amplitude *= factor;
    }
    return float(amplitude);
}

// What the strip shows of an event: the end, or an error that ended
// playback, marked as DirectShow marks them (EC_COMPLETE, EC_ERRORABORT),
// and the user closing the video window (EC_USERABORT).
void NoteEvent(Player* player, long code)
{
    player->eventMask |= 1UL << code;
    wsprintfW(g_statusLine, L"State:%x", player->eventMask);
    if (code == EC_USERABORT) return;
    player->filterState = State_Stopped;
    player->ended = TRUE;
}

// Takes one waiting event, noting what it tells; FALSE when none waits.
BOOL NextEvent(Player* player, MediaEventType* type, HRESULT* status)
{
    IMFMediaEvent* event;
    if (player->session->GetEvent(MF_EVENT_FLAG_NO_WAIT, &event) != S_OK) return FALSE;
    event->GetType(type);
    event->GetStatus(status);
    event->Release();
    if (*type == MESessionEnded) NoteEvent(player, EC_COMPLETE);
    // An error while opening fails the open; once playing, it ends playback.
    if (*type == MEError && player->filterState != State_Stopped) NoteEvent(player, EC_ERRORABORT);
    return TRUE;
}

// Waits for the event of type wanted: its status, the failure of an error
// event, or SESSION_SILENT. Sent messages come in meanwhile, as in any graph
// call: the renderers may send to our window, other programs to the strip.
HRESULT AwaitEvent(Player* player, MediaEventType wanted)
{
    DWORD start = GetTickCount();
    do {
        MediaEventType type;
        HRESULT status;
        while (NextEvent(player, &type, &status)) {
            if (type == wanted) return status;
            if (type == MEError) return FAILED(status) ? status : E_FAIL;
        }
        SleepLettingSendsIn(SESSION_POLL_MS);
    } while (GetTickCount() - start < SESSION_WAIT_MS);
    return SESSION_SILENT;
}

// Waits for the event that ends a request, recording the state it reached;
// returns the event's status, or SESSION_SILENT.
HRESULT Settle(Player* player, MediaEventType wanted, OAFilterState reached)
{
    HRESULT status = AwaitEvent(player, wanted);
    if (SUCCEEDED(status)) player->filterState = reached;
    return status;
}

// FALSE when the session stopped answering: it is given up where the user
// sees it, the file's lines reading "failed:", with nothing left open.
BOOL Answered(Player* player, HRESULT status)
{
    if (status != SESSION_SILENT) return TRUE;
    WCHAR path[MEDIA_PATH_CAPACITY];
    CopyText(path, MEDIA_PATH_CAPACITY, g_mediaPath);
    SessionRelease(player);
    ShowOpenFailure(path);
    return FALSE;
}

// Starts at position, or where it stands when position is null.
HRESULT StartAt(Player* player, const LONGLONG* position)
{
    PROPVARIANT start;
    start.vt = VT_EMPTY;
    if (position) {
        start.vt = VT_I8;
        start.hVal.QuadPart = *position;
        player->ended = FALSE;
    }
    player->session->Start(&TIME_FORMAT_DEFAULT, &start);
    return Settle(player, MESessionStarted, State_Running);
}

LRESULT CALLBACK VideoWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Held across the call: a command that arrives inside it may close the file.
    IMFVideoDisplayControl* display = g_player.videoDisplay;
    switch (message) {
    case WM_SIZE:
        if (display) {
            RECT client;
            GetClientRect(window, &client);
            display->AddRef();
            display->SetVideoPosition(nullptr, &client);
            display->Release();
        }
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        if (display) {
            display->AddRef();
            display->RepaintVideo();
            display->Release();
        }
        EndPaint(window, &paint);
        return 0;
    }
    case WM_CLOSE:  // as DirectShow's renderer does: the window goes, the sound plays on
        ShowWindow(window, SW_HIDE);
        NoteEvent(&g_player, EC_USERABORT);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// A hidden top-level window with the file name as its caption: the video
// renderer draws into it, and it shows once the video's size is known.
HWND CreateVideoWindow(const WCHAR* path)
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = VideoWndProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = HBRUSH(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = VIDEO_CLASS_NAME;
    RegisterClassW(&windowClass);  // fails harmlessly once registered
    return CreateWindowExW(0, VIDEO_CLASS_NAME, FileNamePart(path), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, windowClass.hInstance,
                           nullptr);
}

// Sizes the video window to the video, docks it when asked, and shows it.
void ShowVideoWindow(Player* player)
{
    SIZE video;
    if (FAILED(player->videoDisplay->GetNativeVideoSize(&video, nullptr))) return;
    RECT outer = { 0, 0, video.cx, video.cy };
    AdjustWindowRect(&outer, WS_OVERLAPPEDWINDOW, FALSE);
    RECT placed;
    GetWindowRect(player->sessionVideo, &placed);
    long left = placed.left, top = placed.top, width = outer.right - outer.left, height = outer.bottom - outer.top;
    if (g_dockSide >= 0) PlaceInDock(&left, &top, &width, &height);
    SetWindowPos(player->sessionVideo, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(player->sessionVideo, SW_SHOWNOACTIVATE);
}

// Adds a branch from stream to the renderer that activate makes.
void AddBranch(IMFTopology* topology, IMFPresentationDescriptor* presentation, IMFStreamDescriptor* stream,
               IMFMediaSource* source, IMFActivate* activate)
{
    IMFTopologyNode *from, *to;
    if (FAILED(MFCreateTopologyNode(MF_TOPOLOGY_SOURCESTREAM_NODE, &from))) return;
    if (SUCCEEDED(MFCreateTopologyNode(MF_TOPOLOGY_OUTPUT_NODE, &to))) {
        from->SetUnknown(MF_TOPONODE_SOURCE, source);
        from->SetUnknown(MF_TOPONODE_PRESENTATION_DESCRIPTOR, presentation);
        from->SetUnknown(MF_TOPONODE_STREAM_DESCRIPTOR, stream);
        to->SetObject(activate);
        topology->AddNode(from);
        topology->AddNode(to);
        from->ConnectOutput(0, to, 0);
        to->Release();
    }
    from->Release();
}

// Each audio stream to the audio renderer; with video, each video stream to
// the video renderer in a window of ours; every other stream left out.
// Returns how many streams it sends on; videos counts those of video.
int BuildTopology(Player* player, const WCHAR* path, IMFPresentationDescriptor* presentation, BOOL withVideo,
                  IMFTopology* topology, int* videos)
{
    DWORD count = 0;
    presentation->GetStreamDescriptorCount(&count);
    int branches = 0;
    for (DWORD index = 0; index < count; ++index) {
        BOOL selected;
        IMFStreamDescriptor* stream;
        if (FAILED(presentation->GetStreamDescriptorByIndex(index, &selected, &stream))) continue;
        GUID major = {};
        IMFMediaTypeHandler* handler;
        if (SUCCEEDED(stream->GetMediaTypeHandler(&handler))) {
            handler->GetMajorType(&major);
            handler->Release();
        }
        IMFActivate* activate = nullptr;
        if (selected && SameGuid(major, AUDIO_STREAMS)) {
            MFCreateAudioRendererActivate(&activate);
        } else if (selected && SameGuid(major, VIDEO_STREAMS) && withVideo) {
            if (!player->sessionVideo) player->sessionVideo = CreateVideoWindow(path);
            if (player->sessionVideo) MFCreateVideoRendererActivate(player->sessionVideo, &activate);
            if (activate) ++*videos;
        }
        if (activate) {
            AddBranch(topology, presentation, stream, player->source, activate);
            activate->Release();
            ++branches;
        } else {
            presentation->DeselectStream(index);
        }
        stream->Release();
    }
    return branches;
}

// A new source and session for path with its topology set: S_OK, or what
// failed. Whatever failed is shut down again by the caller's release.
HRESULT SetUpSession(Player* player, const WCHAR* path, BOOL withVideo, int* videos)
{
    IMFSourceResolver* resolver;
    HRESULT result = MFCreateSourceResolver(&resolver);
    if (FAILED(result)) return result;
    MF_OBJECT_TYPE type;
    IUnknown* object;
    // By what the file holds, as DirectShow does, not only by its name's ending.
    result = resolver->CreateObjectFromURL(
        path, MF_RESOLUTION_MEDIASOURCE | MF_RESOLUTION_CONTENT_DOES_NOT_HAVE_TO_MATCH_EXTENSION_OR_MIME_TYPE, nullptr,
        &type, &object);
    resolver->Release();
    if (FAILED(result)) return result;
    result = object->QueryInterface(IID_PPV_ARGS(&player->source));
    object->Release();
    if (FAILED(result)) return result;

    IMFPresentationDescriptor* presentation;
    result = player->source->CreatePresentationDescriptor(&presentation);
    if (FAILED(result)) return result;
    UINT64 duration;
    if (SUCCEEDED(presentation->GetUINT64(MF_PD_DURATION, &duration))) g_duration = LONGLONG(duration);
    IMFTopology* topology;
    result = MFCreateTopology(&topology);
    if (SUCCEEDED(result)) {
        if (BuildTopology(player, path, presentation, withVideo, topology, videos) == 0) result = MF_E_NO_MORE_TYPES;
        if (SUCCEEDED(result)) result = MFCreateMediaSession(nullptr, &player->session);
        if (SUCCEEDED(result)) result = player->session->SetTopology(0, topology);
        topology->Release();
    }
    presentation->Release();
    if (SUCCEEDED(result)) result = AwaitEvent(player, MESessionTopologySet);
    return result;
}

// SetUpSession, then the clock and the volume, and the start.
HRESULT StartSession(Player* player, const WCHAR* path, BOOL withVideo, int* videos)
{
    HRESULT result = SetUpSession(player, path, withVideo, videos);
    if (FAILED(result)) return result;
    IMFClock* clock;
    if (SUCCEEDED(player->session->GetClock(&clock))) {
        clock->QueryInterface(IID_PPV_ARGS(&player->clock));
        clock->Release();
    }
    MFGetService(player->session, MR_POLICY_VOLUME_SERVICE, IID_PPV_ARGS(&player->sessionVolume));
    SessionSetVolume(player, VolumeLevel(player));
    return StartAt(player, nullptr);
}

} // namespace

int SessionOpen(Player* player, const WCHAR* path)
{
    if (!MediaFoundationLoads()) return 0;
    // The video where it can be rendered; where it cannot, the sound alone,
    // from a new source and session, since a failed session answers no more.
    int videos = 1;
    for (BOOL withVideo = TRUE; videos; withVideo = FALSE) {
        if (FAILED(MFStartup(MF_VERSION, MFSTARTUP_LITE))) return 0;
        videos = 0;
        if (SUCCEEDED(StartSession(player, path, withVideo, &videos))) {
            // Started, the topology is resolved: the video renderer answers now.
            if (videos && SUCCEEDED(MFGetService(player->session, VIDEO_RENDER_SERVICE,
                                                 IID_PPV_ARGS(&player->videoDisplay)))) {
                ShowVideoWindow(player);
            }
            return 1;
        }
        SessionRelease(player);
    }
    return 0;
}

void SessionPlay(Player* player)
{
    const LONGLONG start = 0;
    if (player->ended) Answered(player, StartAt(player, &start));  // after the end: the file again from its start
    else if (player->filterState != State_Running) Answered(player, StartAt(player, nullptr));
}

void SessionPause(Player* player)
{
    if (player->filterState == State_Running) {
        player->session->Pause();
        Answered(player, Settle(player, MESessionPaused, State_Paused));
    } else if (player->ended) {
        player->filterState = State_Paused;  // the session stands stopped at the end, as a pause would
    }
}

// A session takes a new place only from the stopped state: stop, start
// there, and pause again if it was paused. After the end it is stopped.
void SessionSeekTo(Player* player, LONGLONG position)
{
    BOOL paused = player->filterState == State_Paused;
    if (!player->ended) {
        player->session->Stop();
        if (!Answered(player, Settle(player, MESessionStopped, State_Stopped))) return;
    }
    if (Answered(player, StartAt(player, &position)) && paused) SessionPause(player);
}

void SessionSetVolume(Player* player, int level)
{
    if (!player->sessionVolume) return;
    LONG volume = level - 10000;
    if (SUCCEEDED(player->sessionVolume->SetMasterVolume(AmplitudeOf(volume)))) player->volume = volume;
}

void SessionHandleEvents(Player* player)
{
    MediaEventType type;
    HRESULT status;
    while (NextEvent(player, &type, &status)) {
    }
    // A session can miss its end (Wine 8's, after the first seek in a FLAC
    // or Opus file): one whose clock runs a second past the duration has
    // ended all the same, and is stopped as the end would have stopped it.
    MFTIME time;
    if (player->filterState == State_Running && g_duration > 0 && player->clock && SUCCEEDED(player->clock->GetTime(&time)) &&
        time > g_duration + MEDIA_TIME_PER_SECOND) {
        player->session->Stop();
        NoteEvent(player, EC_COMPLETE);
    }
}

BOOL SessionGetPosition(Player* player, LONGLONG* position)
{
    // The session's clock goes back to 0 at the end: the end is the duration.
    if (player->ended) {
        *position = g_duration;
        return TRUE;
    }
    MFTIME time;
    if (!player->clock || FAILED(player->clock->GetTime(&time))) return FALSE;
    *position = time;
    return TRUE;
}

// Without Close: a session whose topology failed never answers it, and
// Shutdown alone returns at once and gives everything back. Each release
// ends the Media Foundation start of its open.
void SessionRelease(Player* player)
{
    if (player->sessionVideo) DestroyWindow(player->sessionVideo);
    player->sessionVideo = nullptr;
    ReleaseInterface(player->videoDisplay);
    ReleaseInterface(player->sessionVolume);
    ReleaseInterface(player->clock);
    if (player->source) player->source->Shutdown();
    if (player->session) player->session->Shutdown();
    ReleaseInterface(player->source);
    ReleaseInterface(player->session);
    player->filterState = State_Stopped;
    player->ended = FALSE;
    MFShutdown();
}
