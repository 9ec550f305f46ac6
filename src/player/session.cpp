// Media Foundation, for the files DirectShow cannot render. The life cycle
// is the classic one: resolve a media source, build a topology of its
// streams, give it to a media session, start, and at the end close the
// session and shut both down. The session's events are read on the GUI
// thread without a callback object: by the tick, and by the bounded waits
// after each request.
#include "player/session.h"
#include "core/state.h"
#include "core/system_library.h"
#include "player/video_window.h"

#include <mfapi.h>
#include <mferror.h>
#include <mfidl.h>
#include <evr.h>

namespace {

// The GUIDs used here that the headers only declare, or lack; the
// interfaces' own come with them (__uuidof).
const GUID AUDIO_STREAMS = { 0x73647561, 0x0000, 0x0010, { 0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71 } };
const GUID VIDEO_STREAMS = { 0x73646976, 0x0000, 0x0010, { 0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71 } };
const GUID VIDEO_RENDER_SERVICE = { 0x1092a86c, 0xab1a, 0x459a, { 0xa3, 0x36, 0x83, 0x1f, 0xbc, 0x4d, 0x11, 0xff } };
const GUID STREAM_VOLUME_SERVICE = { 0xf8b5fa2f, 0x32ef, 0x46f5, { 0xb1, 0x72, 0x13, 0x21, 0x21, 0x2f, 0xb2, 0xc4 } };
// MF_TOPOLOGY_ENUMERATE_SOURCE_TYPES: the loader may try every type a source
// offers, not only its current one. Wine's sources offer their video
// decoded as I420 first, which the video renderer refuses, and NV12 later.
const GUID ENUMERATE_SOURCE_TYPES = { 0x6248c36d, 0x5d0b, 0x4f40, { 0xa0, 0xbb, 0xb0, 0xb3, 0x05, 0xf7, 0x76, 0x98 } };
const GUID TIME_FORMAT_DEFAULT = {};

// A request the session leaves unanswered for this long of its own time is
// given up: every wait ends.
const DWORD SESSION_WAIT_MS = 5000;
// However long others keep the strip answering them inside a wait.
const DWORD SESSION_WAIT_LIMIT_MS = 30000;
// Closing takes a session milliseconds; one that takes longer has stuck.
const DWORD CLOSE_WAIT_MS = 2000;
// How long a picture is given to pause, and then to settle, before its session closes.
const DWORD SETTLE_MS = 100;
// How long a paused picture plays, unheard, up to a new place: Wine's
// renderer drew an MP4's frame there only after some 200 ms.
const DWORD LEAD_IN_MS = 200;
const DWORD SESSION_POLL_MS = 10;
// What a wait reports when the session stayed silent.
const HRESULT SESSION_SILENT = HRESULT_FROM_WIN32(ERROR_TIMEOUT);

// The kinds of streams a session plays.
const int SOUND = 1;
const int PICTURE = 2;

// Windows N editions have no Media Foundation until the user adds it, and a
// call into a missing DLL would raise the delay-load exception: look first.
// Started once, it stays up for the run, as the DLLs stay: shut down with
// each session, Wine 8's platform now and then ran a callback of the last
// one after its teardown.
BOOL MediaFoundationStarts()
{
    static BOOL started;
    if (!started) started = LoadSystemLibrary("mfplat.dll") && LoadSystemLibrary("mf.dll") &&
                            SUCCEEDED(MFStartup(MF_VERSION, MFSTARTUP_LITE));
    return started;
}

// A level is hundredths of a decibel above -100 dB, as DirectShow's volume:
// the streams' volume is the amplitude 10^(volume / 2000).
float AmplitudeOf(LONG volume)
{
    double amplitude = 1, factor = 0.99884936993650;  // 10^(-1/2000): one hundredth of a decibel down
    for (ULONG hundredths = ULONG(-volume); hundredths; hundredths >>= 1, factor *= factor) {
        if (hundredths & 1) amplitude *= factor;
    }
    return float(amplitude);
}

// Every channel of the file's own streams. The audio session's volume
// stays the user's: DirectShow's renderer shares it, and Windows keeps it
// from one run to the next.
BOOL SetStreamVolume(IMFAudioStreamVolume* volume, float amplitude)
{
    UINT32 channels = 0;
    if (!volume) return FALSE;
    volume->GetChannelCount(&channels);
    for (UINT32 channel = 0; channel < channels; ++channel) {
        if (FAILED(volume->SetChannelVolume(channel, amplitude))) return FALSE;
    }
    return channels != 0;
}

// The end, or an error that ended playback, marked as DirectShow marks them
// (EC_COMPLETE, EC_ERRORABORT).
void NoteEnd(Player* player, long code)
{
    NoteEvent(player, code);
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
    if (*type == MESessionEnded) NoteEnd(player, EC_COMPLETE);
    // An error while opening fails the open; once playing, it ends playback.
    if (*type == MEError && player->filterState != State_Stopped) NoteEnd(player, EC_ERRORABORT);
    return TRUE;
}

// Waits for the event of type wanted: its status, the failure of an error
// event, or SESSION_SILENT when the session stays silent for silenceMs.
// Sent messages come in meanwhile, as in any graph call: the renderers may
// send to our windows, other programs to the strip. The time spent answering
// them is not the session's silence, and the queue is read once more before
// the session is called silent.
HRESULT AwaitEvent(Player* player, MediaEventType wanted, DWORD silenceMs)
{
    DWORD start = GetTickCount(), silence = 0;
    for (;;) {
        MediaEventType type;
        HRESULT status;
        while (NextEvent(player, &type, &status)) {
            if (type == wanted) return status;
            // A session that fails while closing closes all the same.
            if (type == MEError && wanted != MESessionClosed) return FAILED(status) ? status : E_FAIL;
        }
        if (silence >= silenceMs || GetTickCount() - start >= SESSION_WAIT_LIMIT_MS) return SESSION_SILENT;
        silence += SleepLettingSendsIn(SESSION_POLL_MS);
    }
}

// Waits for the event that ends a request, recording the state it reached;
// FALSE when the session stayed silent.
BOOL Settle(Player* player, MediaEventType wanted, OAFilterState reached)
{
    HRESULT status = AwaitEvent(player, wanted, SESSION_WAIT_MS);
    if (SUCCEEDED(status)) player->filterState = reached;
    return status != SESSION_SILENT;
}

// Starts at position, or where it stands when position is null.
BOOL StartAt(Player* player, const LONGLONG* position)
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

// Each audio stream to the audio renderer and the first video stream to
// the video renderer in a window of ours, of the kinds asked for; every
// other stream is left out. found gets the kinds the file has. Returns the kinds
// it sends on.
int BuildTopology(Player* player, const WCHAR* path, IMFPresentationDescriptor* presentation, int kinds,
                  IMFTopology* topology, int* found)
{
    DWORD count = 0;
    presentation->GetStreamDescriptorCount(&count);
    int sent = 0;
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
        int kind = !selected ? 0 : SameGuid(major, AUDIO_STREAMS) ? SOUND : SameGuid(major, VIDEO_STREAMS) ? PICTURE : 0;
        *found |= kind;
        IMFActivate* activate = nullptr;
        if (kind & kinds & SOUND) {
            MFCreateAudioRendererActivate(&activate);
        } else if (kind & kinds & PICTURE && !player->sessionVideo) {  // one picture, one window
            player->sessionVideo = CreateVideoWindow(path);
            if (player->sessionVideo) MFCreateVideoRendererActivate(player->sessionVideo, &activate);
        }
        if (activate) {
            AddBranch(topology, presentation, stream, player->source, activate);
            activate->Release();
            sent |= kind;
        } else {
            presentation->DeselectStream(index);
        }
        stream->Release();
    }
    return sent;
}

// A new source and session for path with its topology set: S_OK, or what
// failed; the caller ends whatever was made.
HRESULT SetUpSession(Player* player, const WCHAR* path, int kinds, int* found)
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
        topology->SetUINT32(ENUMERATE_SOURCE_TYPES, TRUE);
        if (BuildTopology(player, path, presentation, kinds, topology, found) == 0) result = MF_E_NO_MORE_TYPES;
        if (SUCCEEDED(result)) result = MFCreateMediaSession(nullptr, &player->session);
        if (SUCCEEDED(result)) result = player->session->SetTopology(0, topology);
        topology->Release();
    }
    presentation->Release();
    if (FAILED(result)) return result;
    // Judged by its own status: a session whose topology failed still starts.
    return AwaitEvent(player, MESessionTopologySet, SESSION_WAIT_MS);
}

// Gives back the session's interfaces: they are not to be called again.
void ForgetSession(Player* player)
{
    ReleaseInterface(player->videoDisplay);
    ReleaseInterface(player->sessionVolume);
    ReleaseInterface(player->clock);
    ReleaseInterface(player->source);
    ReleaseInterface(player->session);
    player->sessionVideo = nullptr;
    player->filterState = State_Stopped;
    player->ended = FALSE;
}

// Closes the session, then shuts the source and the session down, and only
// then destroys the window the picture was drawn into. Wine 8's video
// renderer deadlocks, now and then, when the clock stops under it while it
// draws: as its session closed under a moving picture, 3 times in 100
// (measured), and under a picture paused first and left to settle, about 1
// in 100 on an idle machine. The deadlock is on a thread of the platform's:
// the Close is not answered, and the session is given up. Shutting the
// renderer down before the close deadlocked on our own thread instead, and
// on a busy machine crashed the process. A session whose topology failed
// never answers a Close, and goes without.
void EndSession(Player* player, BOOL topologySet)
{
    SetStreamVolume(player->sessionVolume, 0);  // nothing more is heard of it
    if (topologySet) {
        if (player->sessionVideo && player->filterState == State_Running) {
            player->session->Pause();
            AwaitEvent(player, MESessionPaused, SETTLE_MS);
            SleepLettingSendsIn(SETTLE_MS);
        }
        player->session->Close();
        if (AwaitEvent(player, MESessionClosed, CLOSE_WAIT_MS) == SESSION_SILENT) {
            SessionGiveUp(player);
            return;
        }
    }
    if (player->source) player->source->Shutdown();
    if (player->session) player->session->Shutdown();
    HWND window = player->sessionVideo;
    ForgetSession(player);
    if (window) DestroyWindow(window);
}

// One try at playing the streams of kinds in path: TRUE when they play,
// with a new source and session; otherwise nothing is left. found gets the
// kinds the file has.
BOOL TrySession(Player* player, const WCHAR* path, int kinds, int* found)
{
    HRESULT result = SetUpSession(player, path, kinds, found);
    BOOL topologySet = SUCCEEDED(result);
    if (topologySet) {
        IMFClock* clock;
        if (SUCCEEDED(player->session->GetClock(&clock))) {
            clock->QueryInterface(IID_PPV_ARGS(&player->clock));
            clock->Release();
        }
        MFGetService(player->session, STREAM_VOLUME_SERVICE, IID_PPV_ARGS(&player->sessionVolume));
        SessionSetVolume(player, player->volume);
        // Resolved, the topology has its renderers: the picture's size is known before the first frame.
        if (player->sessionVideo &&
            SUCCEEDED(MFGetService(player->session, VIDEO_RENDER_SERVICE, IID_PPV_ARGS(&player->videoDisplay)))) {
            PlaceVideoWindow(player);
        }
        if (!StartAt(player, nullptr)) result = SESSION_SILENT;
        else if (player->filterState != State_Running) result = E_FAIL;
    }
    if (SUCCEEDED(result)) {
        if (player->sessionVideo) ShowWindow(player->sessionVideo, SW_SHOWNOACTIVATE);
        NoteEvent(player, EC_CLOCK_CHANGED);  // line 2 as a graph's start writes it
        return TRUE;
    }
    if (result == SESSION_SILENT) SessionGiveUp(player);
    else EndSession(player, topologySet);
    return FALSE;
}

// A session takes a new place only from the stopped state: stop, then
// start there. At the end it is stopped already.
BOOL RestartAt(Player* player, LONGLONG position)
{
    if (!player->ended) {
        // Wine's renderer deadlocks when the clock stops under a moving
        // picture, nearly always one that fills a screen (measured): as
        // before a close, it is paused and left to settle first.
        if (g_wineVersion && player->sessionVideo && player->filterState == State_Running) {
            player->session->Pause();
            AwaitEvent(player, MESessionPaused, SETTLE_MS);
            SleepLettingSendsIn(SETTLE_MS);
        }
        player->session->Stop();
        if (!Settle(player, MESessionStopped, State_Stopped)) return FALSE;
    }
    RefitPicture(player);
    return StartAt(player, &position);
}

} // namespace

int SessionOpen(Player* player, const WCHAR* path)
{
    if (player->sessionGivenUp || !MediaFoundationStarts()) return 0;
    // Every stream first. Where that fails and the file has both kinds, the
    // sound alone, then the picture alone, each from a new source and
    // session: a failed session answers no more.
    const int tries[] = { SOUND | PICTURE, SOUND, PICTURE };
    int found = 0;
    for (int kinds : tries) {
        if (TrySession(player, path, kinds, &found)) return 1;
        if (found != (SOUND | PICTURE) || player->sessionGivenUp) return 0;
    }
    return 0;
}

BOOL SessionPlay(Player* player)
{
    if (player->ended) return RestartAt(player, 0);  // after the end: the file again from its start
    if (player->filterState == State_Running) return TRUE;
    // Wine 8's session never starts a paused picture again, and then
    // answers nothing more: it starts again where it stands.
    LONGLONG position;
    if (player->sessionVideo && SessionGetPosition(player, &position)) return RestartAt(player, position);
    return StartAt(player, nullptr);
}

BOOL SessionPause(Player* player)
{
    if (player->filterState == State_Running) {
        player->session->Pause();
        return Settle(player, MESessionPaused, State_Paused);
    }
    if (player->ended) player->filterState = State_Paused;  // the session stands stopped at the end, as a pause would
    return TRUE;
}

BOOL SessionSeekTo(Player* player, LONGLONG position)
{
    if (player->filterState != State_Paused) return RestartAt(player, position);
    // Paused stays paused there, unheard. A picture is shown the moment
    // before the new place, so that its renderer draws the place itself
    // before it pauses.
    LONGLONG leadIn = player->sessionVideo ? LEAD_IN_MS * (MEDIA_TIME_PER_SECOND / 1000) : 0;
    SetStreamVolume(player->sessionVolume, 0);
    BOOL answered = RestartAt(player, position > leadIn ? position - leadIn : 0);
    for (DWORD start = GetTickCount(), waited = 0; answered && leadIn && waited < LEAD_IN_MS;
         waited = GetTickCount() - start)
        SleepLettingSendsIn(LEAD_IN_MS - waited);
    answered = answered && SessionPause(player);
    SetStreamVolume(player->sessionVolume, AmplitudeOf(player->volume));
    return answered;
}

void SessionSetVolume(Player* player, LONG volume)
{
    if (SetStreamVolume(player->sessionVolume, AmplitudeOf(volume))) player->volume = volume;
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
        NoteEnd(player, EC_COMPLETE);
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

void SessionRelease(Player* player)
{
    EndSession(player, TRUE);
}

// Shutdown would block on it, Release could too, and destroying its window
// could wait for its renderer: the session keeps our references and its
// window, muted and hidden, for the rest of the run. Where one session was
// stuck, the platform's threads may be too, and a new source would wait
// for them for ever: Media Foundation is not turned to again.
void SessionGiveUp(Player* player)
{
    SetStreamVolume(player->sessionVolume, 0);
    // The source shuts down at once, and its reading threads with it: left
    // running, Wine's crashed as the process ended.
    if (player->source) player->source->Shutdown();
    if (player->sessionVideo) ShowWindow(player->sessionVideo, SW_HIDE);
    player->videoDisplay = nullptr;
    player->sessionVolume = nullptr;
    player->clock = nullptr;
    player->source = nullptr;
    player->session = nullptr;
    ForgetSession(player);
    player->sessionGivenUp = TRUE;
}

// Wine's renderer (8 and 10, measured) draws no more frames once a moving
// picture's rectangle changes: that picture starts again where it stood,
// fitted anew while its session is stopped, as a play after a pause does.
BOOL SessionPictureResized(Player* player)
{
    RECT client, fitted;
    MFVideoNormalizedRect whole;
    if (!player->videoDisplay || !GetClientRect(player->sessionVideo, &client)) return TRUE;
    if (SUCCEEDED(player->videoDisplay->GetVideoPosition(&whole, &fitted)) && fitted.right == client.right &&
        fitted.bottom == client.bottom) {
        return TRUE;  // fitted already: the open sized the window itself
    }
    LONGLONG position;
    if (g_wineVersion && player->filterState == State_Running && SessionGetPosition(player, &position)) {
        return RestartAt(player, position);
    }
    FitPicture(player->sessionVideo);
    return TRUE;
}
