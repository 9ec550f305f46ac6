// Media Foundation, for the files DirectShow cannot render. The life cycle
// is the classic one: resolve a media source, build a topology of its
// streams, give it to a media session, start, and at the end close the
// session and shut both down. The session's events are read on the GUI
// thread without a callback object: by the tick, and by the bounded waits
// after each request. Every request's result is read: one the session
// refuses on the spot is never waited for.
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
// decoded as I420 first, which the video renderer refuses, and NV12 later;
// Windows' offer it compressed, and the loader adds the decoder as ever.
const GUID ENUMERATE_SOURCE_TYPES = { 0x6248c36d, 0x5d0b, 0x4f40, { 0xa0, 0xbb, 0xb0, 0xb3, 0x05, 0xf7, 0x76, 0x98 } };
const GUID TIME_FORMAT_DEFAULT = {};

// A request the session leaves unanswered for this long of its own time
// has not been taken: the session is parked.
const DWORD SESSION_WAIT_MS = 5000;
// However long others keep the strip answering them inside a wait.
const DWORD SESSION_WAIT_LIMIT_MS = 30000;
// As long as Microsoft's player waits for a session to close.
const DWORD CLOSE_WAIT_MS = 5000;
// How long the strip's end waits for parked sessions to close.
const DWORD PARKED_EXIT_WAIT_MS = 2000;
// How long a paused picture plays, unheard, up to a new place under Wine,
// whose renderers draw the first frame some 200 ms after a start (250 ms
// for a new session's MP4, measured).
const DWORD LEAD_IN_MS = 400;
const DWORD SESSION_POLL_MS = 10;
// What a wait reports when the session stayed silent.
const HRESULT SESSION_SILENT = HRESULT_FROM_WIN32(ERROR_TIMEOUT);

// The kinds of streams a session plays.
const int SOUND = 1;
const int PICTURE = 2;

// What became of a request.
enum Answer { ANSWERED, REFUSED, SILENT };

// What a session holds: its interfaces, a reference each, and its picture's window.
struct SessionParts {
    IMFMediaSession* session;
    IMFMediaSource* source;
    IMFPresentationClock* clock;
    IMFAudioStreamVolume* volume;
    IMFVideoDisplayControl* display;
    HWND window;
};

// Sessions that stopped answering, off the strip, muted, their windows
// hidden: each is released once it answers and has closed.
struct KeptSession {
    SessionParts parts;
    BOOL closing;  // its Close was asked
};
const int KEPT_CAPACITY = 32;
KeptSession g_keptSessions[KEPT_CAPACITY];
// Sessions taken off the strip with no room left to keep them: they live
// to the process's end.
int g_sessionsLeft;

// Where a session starts when it takes over from another of the same file
// (under Wine, below): the place, the old window's rectangle and style (full
// screen or not), whether it was shown and had the focus, and paused.
struct Reopening {
    LONGLONG position;
    RECT window;
    LONG style;
    BOOL shown;
    BOOL active;
    BOOL paused;
};

// What a Wine needs and Windows does not, each measured (the README has
// the table); Wine 9 was not measured and is taken for 8.
BOOL IsWine8() { return g_wineVersion != 0 && g_wineVersion < 1000; }

// Wine 8's video renderer deadlocks, now and then, when its clock stops
// (a close 5 times in 100, the end 6 in 100, a stop just after a start
// nearly every time), and the stuck session then holds Media Foundation's
// work queue for the rest of the process. A picture's session there is
// never stopped: it is paused and shut down without a Close (none stuck in
// some 700, where 1 Close in 20 was; kept paused instead, each cost some
// 40 MB and a share of a processor), and what would stop it opens the file
// afresh in a new session where it is to go on.
BOOL NeverStopsPicture(const Player* player) { return IsWine8() && player->sessionVideo; }
// The same renderer's end is a stop too: its picture is paused just before.
const LONGLONG PAUSE_BEFORE_END = 3000000;

// Wine's renderers (8 and 10) draw the frame at a new place only some
// 200 ms after the start there; Windows' draws it as it starts.
BOOL LeadsIntoPausedSeek(const Player* player) { return g_wineVersion != 0 && player->sessionVideo; }

// Wine's renderers (8 and 10) draw no more frames once a moving picture's
// rectangle changes: fitted anew, it starts again.
BOOL FreezesWhenFitted(const Player* player)
{
    return g_wineVersion != 0 && player->sessionVideo && player->filterState == State_Running;
}

// Wine's sessions never answer a start at a new place from the paused
// state (8 and 10), nor in 8 while they run: there they are stopped first.
BOOL StopsToSeek(const Player* player) { return player->filterState == State_Paused ? g_wineVersion != 0 : IsWine8(); }

// A session stuck in Wine holds a thread of its work queue for good, and
// the next source then waits for ever: none is made while one is parked.
BOOL StuckSessionBlocksOthers() { return g_wineVersion != 0; }

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

void Mute(Player* player) { SetStreamVolume(player->sessionVolume, 0); }
void Unmute(Player* player) { SetStreamVolume(player->sessionVolume, AmplitudeOf(player->volume)); }

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

// Waits for the event that ends a request the session was given, taken
// says how it took it, and records the state it reached.
Answer Settle(Player* player, HRESULT taken, MediaEventType wanted, OAFilterState reached)
{
    if (FAILED(taken)) return REFUSED;
    HRESULT status = AwaitEvent(player, wanted, SESSION_WAIT_MS);
    if (status == SESSION_SILENT) return SILENT;
    if (FAILED(status)) return REFUSED;
    player->filterState = reached;
    return ANSWERED;
}

// Starts at position, or goes on from a pause when position is null. An
// end told while it starts is the last run's, told late (Wine 8's after a
// missed end): once started, it has not ended.
Answer StartAt(Player* player, const LONGLONG* position)
{
    PROPVARIANT start;
    start.vt = VT_EMPTY;
    if (position) {
        start.vt = VT_I8;
        start.hVal.QuadPart = *position;
    }
    Answer answer = Settle(player, player->session->Start(&TIME_FORMAT_DEFAULT, &start), MESessionStarted, State_Running);
    if (answer == ANSWERED) player->ended = FALSE;
    return answer;
}

// A stop that is refused finds the session stopped already: a stop of a
// stopped session does nothing.
Answer Stop(Player* player)
{
    Answer answer = Settle(player, player->session->Stop(), MESessionStopped, State_Stopped);
    if (answer == REFUSED) player->filterState = State_Stopped;
    return answer == REFUSED ? ANSWERED : answer;
}

// A session stops by itself only at its end: one stopped without saying
// so (Wine 8's, now and then, for a picture) has ended all the same.
BOOL StoppedAtItsEnd(Player* player)
{
    MFCLOCK_STATE state;
    if (!player->ended && player->clock && SUCCEEDED(player->clock->GetState(0, &state)) &&
        state == MFCLOCK_STATE_STOPPED)
        NoteEnd(player, EC_COMPLETE);
    return player->ended;
}

// Pauses the session, which then stands at position, or where its clock
// stopped when position is null. One that has reached its end meanwhile
// is left standing there, in the state afterEnd (paused: play replays).
Answer PauseAt(Player* player, const LONGLONG* position, OAFilterState afterEnd)
{
    // The clock is read on both sides of the pause: Wine's reads 0 now and
    // then as its pause is told.
    MFTIME before = 0, after = 0;
    if (player->clock) player->clock->GetTime(&before);
    Answer answer = Settle(player, player->session->Pause(), MESessionPaused, State_Paused);
    if (answer == REFUSED && StoppedAtItsEnd(player)) {
        player->filterState = afterEnd;
        return ANSWERED;
    }
    if (player->clock) player->clock->GetTime(&after);
    player->pausedAt = position ? *position : after > before ? after : before;
    return answer;
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

// Takes the session's parts out of the record, which then holds none.
SessionParts TakeParts(Player* player)
{
    SessionParts parts = { player->session, player->source, player->clock, player->sessionVolume,
                           player->videoDisplay, player->sessionVideo };
    player->session = nullptr;
    player->source = nullptr;
    player->clock = nullptr;
    player->sessionVolume = nullptr;
    player->videoDisplay = nullptr;
    player->sessionVideo = nullptr;
    player->filterState = State_Stopped;
    player->ended = FALSE;
    return parts;
}

// Shuts the source and the session down, gives back every reference, and
// only then destroys the window the picture was drawn into.
void ShutDown(SessionParts parts)
{
    if (parts.source) parts.source->Shutdown();
    if (parts.session) parts.session->Shutdown();
    ReleaseInterface(parts.display);
    ReleaseInterface(parts.volume);
    ReleaseInterface(parts.clock);
    ReleaseInterface(parts.source);
    ReleaseInterface(parts.session);
    if (parts.window) DestroyWindow(parts.window);
}

// Under Wine a source left reading crashed the process at its end.
void StopReading(IMFMediaSource* source)
{
    if (g_wineVersion && source) source->Shutdown();
}

// Takes a session off the strip, muted and hidden, with everything it
// holds, and keeps it until it can be closed, without a call that could
// block on it; with no room left it goes with the process.
void Keep(Player* player, BOOL closing)
{
    Mute(player);
    if (player->sessionVideo) ShowWindow(player->sessionVideo, SW_HIDE);
    SessionParts parts = TakeParts(player);
    for (KeptSession& kept : g_keptSessions) {
        if (kept.parts.session) continue;
        kept.parts = parts;
        kept.closing = closing;
        return;
    }
    StopReading(parts.source);
    ++g_sessionsLeft;
}

// A session that stopped answering, stuck perhaps: its source stops at
// once. closing: its Close was asked already.
void Park(Player* player, BOOL closing = FALSE)
{
    StopReading(player->source);
    Keep(player, closing);
}

// Closes the session, then shuts the source and the session down, and only
// then destroys the window the picture was drawn into. A session whose
// topology failed never answers a Close, and goes without; one that does
// not close in time is parked. Wine 8's picture is paused, not closed: one
// that does not answer even that is parked. A paused one is not asked
// again: a pause of a pause may go unanswered there.
void EndSession(Player* player, BOOL topologySet)
{
    Mute(player);
    if (topologySet && NeverStopsPicture(player)) {
        if (player->filterState == State_Running &&
            Settle(player, player->session->Pause(), MESessionPaused, State_Paused) == SILENT) {
            Park(player);
            return;
        }
    } else if (topologySet && SUCCEEDED(player->session->Close()) &&
               AwaitEvent(player, MESessionClosed, CLOSE_WAIT_MS) == SESSION_SILENT) {
        Park(player, TRUE);
        return;
    }
    ShutDown(TakeParts(player));
}

// What a request's answer leaves of the file: TRUE while the session plays
// it on. One that refused what it must take is ended, one that stayed
// silent parked; either way the strip has lost the file.
BOOL Keeps(Player* player, Answer answer)
{
    if (answer == ANSWERED) return TRUE;
    if (answer == SILENT) Park(player);
    else EndSession(player, TRUE);
    return FALSE;
}

// Puts the picture where it is to be before the first frame: a rectangle
// that changes under a moving picture stops Wine's renderer. One taking
// over gets the last window's rectangle and style, full screen or not.
void PlaceFirstFrame(Player* player, const Reopening* again)
{
    if (!again) {
        PlaceVideoWindow(player);
        return;
    }
    HWND video = player->sessionVideo;
    const RECT& window = again->window;
    SetWindowLongW(video, GWL_STYLE, again->style & ~WS_VISIBLE);
    SetWindowPos(video, nullptr, window.left, window.top, window.right - window.left, window.bottom - window.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    FitPicture(video);
}

// One try at playing the streams of kinds in path, from its start or as
// again says: TRUE when they play, with a new source and session;
// otherwise nothing is left. found gets the kinds the file has.
BOOL TrySession(Player* player, const WCHAR* path, int kinds, int* found, const Reopening* again)
{
    HRESULT result = SetUpSession(player, path, kinds, found);
    if (result == SESSION_SILENT) {
        Park(player);
        return FALSE;
    }
    if (FAILED(result)) {
        EndSession(player, FALSE);
        return FALSE;
    }
    IMFClock* clock;
    if (SUCCEEDED(player->session->GetClock(&clock))) {
        clock->QueryInterface(IID_PPV_ARGS(&player->clock));
        clock->Release();
    }
    MFGetService(player->session, STREAM_VOLUME_SERVICE, IID_PPV_ARGS(&player->sessionVolume));
    if (again && again->paused) Mute(player);  // it plays up to its place unheard
    else SessionSetVolume(player, player->volume);
    // Resolved, the topology has its renderers: the picture's size is known.
    if (player->sessionVideo &&
        SUCCEEDED(MFGetService(player->session, VIDEO_RENDER_SERVICE, IID_PPV_ARGS(&player->videoDisplay)))) {
        PlaceFirstFrame(player, again);
    }
    // A picture taking over shows, and is painted, before its first frame:
    // paused, it draws that one frame only, which a later paint would cover.
    if (player->sessionVideo && again && again->shown) {
        ShowWindow(player->sessionVideo, again->active ? SW_SHOW : SW_SHOWNOACTIVATE);
        UpdateWindow(player->sessionVideo);
    }
    if (!Keeps(player, StartAt(player, again ? &again->position : nullptr))) return FALSE;
    if (player->sessionVideo && !again) ShowWindow(player->sessionVideo, SW_SHOWNOACTIVATE);
    NoteEvent(player, EC_CLOCK_CHANGED);  // line 2 as a graph's start writes it
    return TRUE;
}

// Every stream first. Where that fails and the file has both kinds, the
// sound alone, then the picture alone, each from a new source and session:
// a failed session answers no more.
BOOL OpenSession(Player* player, const WCHAR* path, const Reopening* again)
{
    const int tries[] = { SOUND | PICTURE, SOUND, PICTURE };
    int found = 0;
    for (int kinds : tries) {
        if (TrySession(player, path, kinds, &found, again)) return TRUE;
        if (found != (SOUND | PICTURE)) return FALSE;
    }
    return FALSE;
}

BOOL AnyKept()
{
    for (const KeptSession& kept : g_keptSessions) {
        if (kept.parts.session) return TRUE;
    }
    return FALSE;
}

// A parked session under Wine may hold a work thread of Media Foundation.
BOOL StuckSessionBlocks() { return StuckSessionBlocksOthers() && (AnyKept() || g_sessionsLeft > 0); }

// The file afresh from position in a session of its own, its picture
// where the last one was; the last session is ended first.
BOOL Reopen(Player* player, LONGLONG position, BOOL paused)
{
    HWND video = player->sessionVideo;
    Reopening again = { position, {}, GetWindowLongW(video, GWL_STYLE), IsWindowVisible(video),
                        GetForegroundWindow() == video, paused };
    GetWindowRect(video, &again.window);
    EndSession(player, TRUE);
    return !StuckSessionBlocks() && OpenSession(player, g_mediaPath, &again);
}

// Goes to position from whatever state, and plays there: Windows' session
// seeks as it starts.
BOOL StartFrom(Player* player, LONGLONG position, BOOL paused)
{
    if (NeverStopsPicture(player)) return Reopen(player, position, paused);
    if (!player->ended && StopsToSeek(player) && !Keeps(player, Stop(player))) return FALSE;
    return Keeps(player, StartAt(player, &position));
}

// A seek to the end, or past it, ends the file there as its end would: the
// bar full, and play plays it from the start.
BOOL EndNow(Player* player)
{
    Answer answer = ANSWERED;
    if (NeverStopsPicture(player)) {
        if (player->filterState == State_Running) answer = PauseAt(player, nullptr, State_Stopped);
    } else if (!player->ended && player->filterState != State_Stopped) {
        answer = Stop(player);
    }
    if (!Keeps(player, answer)) return FALSE;
    NoteEnd(player, EC_COMPLETE);
    return TRUE;
}

// A kept session's events: once a parked one answers it is asked to
// close, and once closed it is shut down and released, its place freed
// first.
void Tend(KeptSession& kept)
{
    IMFMediaEvent* event;
    while (kept.parts.session->GetEvent(MF_EVENT_FLAG_NO_WAIT, &event) == S_OK) {
        MediaEventType type = MEUnknown;
        event->GetType(&type);
        event->Release();
        BOOL closed = type == MESessionClosed;
        if (!closed && !kept.closing) {
            kept.closing = TRUE;
            closed = FAILED(kept.parts.session->Close());
        }
        if (closed) {
            SessionParts parts = kept.parts;
            kept.parts.session = nullptr;  // its place is free
            ShutDown(parts);
            return;
        }
    }
}

} // namespace

int SessionOpen(Player* player, const WCHAR* path)
{
    if (!MediaFoundationStarts() || StuckSessionBlocks()) return 0;
    return OpenSession(player, path, nullptr);
}

BOOL SessionPlay(Player* player)
{
    if (player->ended) return StartFrom(player, 0, FALSE);  // after the end: the file again from its start
    if (player->filterState == State_Running) return TRUE;
    // Wine 8 answers no start of a paused picture.
    if (NeverStopsPicture(player)) return Reopen(player, player->pausedAt, FALSE);
    return Keeps(player, StartAt(player, nullptr));  // on from the pause
}

BOOL SessionPause(Player* player)
{
    if (player->ended) player->filterState = State_Paused;  // it stands at the end, as a pause would leave it
    if (player->filterState != State_Running) return TRUE;
    return Keeps(player, PauseAt(player, nullptr, State_Paused));
}

BOOL SessionSeekTo(Player* player, LONGLONG position)
{
    if (g_duration > 0 && position >= g_duration) return EndNow(player);
    if (player->filterState != State_Paused) return StartFrom(player, position, FALSE);
    // Paused stays paused there, unheard: a start there, then a pause. A
    // picture under Wine starts the moment before, so that its renderer
    // draws the place itself before it pauses.
    DWORD leadInMs = LeadsIntoPausedSeek(player) ? LEAD_IN_MS : 0;
    LONGLONG leadIn = leadInMs * (MEDIA_TIME_PER_SECOND / 1000);
    Mute(player);
    if (!StartFrom(player, position > leadIn ? position - leadIn : 0, TRUE)) return FALSE;
    // Wine draws into a new window only once its thread has looked at the
    // window's messages, which reads the display's events: a reopened
    // picture's window is looked at while it leads in.
    for (DWORD start = GetTickCount(), waited = 0; waited < leadInMs; waited = GetTickCount() - start) {
        MSG message;
        PeekMessageW(&message, player->sessionVideo, 0, 0, PM_NOREMOVE);
        SleepLettingSendsIn(SESSION_POLL_MS);
    }
    // A start close to the end may reach it first: then it has ended there.
    BOOL kept = Keeps(player, PauseAt(player, &position, State_Stopped));
    if (kept) Unmute(player);
    return kept;
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
    MFTIME time;
    if (player->filterState != State_Running || StoppedAtItsEnd(player) || !player->clock || g_duration <= 0 ||
        FAILED(player->clock->GetTime(&time)))
        return;
    // Requests from the tick wait for nothing: their answers are drained later.
    if (NeverStopsPicture(player) && time >= g_duration - PAUSE_BEFORE_END) {
        player->session->Pause();
        NoteEnd(player, EC_COMPLETE);
    } else if (time > g_duration + MEDIA_TIME_PER_SECOND) {
        // A session can miss its end (Wine 8's, after the first seek in a
        // FLAC or Opus file): one whose clock runs a second past the
        // duration has ended all the same, and is stopped as the end would.
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
    // Paused, it stands where the pause or a seek left it.
    if (player->filterState == State_Paused) {
        *position = player->pausedAt;
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

void SessionTendParked()
{
    for (KeptSession& kept : g_keptSessions) {
        if (kept.parts.session) Tend(kept);
    }
}

BOOL SessionReleaseParked()
{
    for (DWORD start = GetTickCount(); AnyKept() && GetTickCount() - start < PARKED_EXIT_WAIT_MS;
         SleepLettingSendsIn(SESSION_POLL_MS))
        SessionTendParked();
    for (KeptSession& kept : g_keptSessions) {
        if (kept.parts.session) StopReading(kept.parts.source);
    }
    return !AnyKept() && g_sessionsLeft == 0;
}

BOOL SessionPictureResized(Player* player)
{
    RECT client, fitted;
    MFVideoNormalizedRect whole;
    if (!player->videoDisplay || !GetClientRect(player->sessionVideo, &client)) return TRUE;
    if (SUCCEEDED(player->videoDisplay->GetVideoPosition(&whole, &fitted)) && EqualRect(&fitted, &client)) {
        return TRUE;  // fitted already: the open sized the window itself
    }
    LONGLONG position;
    if (!FreezesWhenFitted(player) || !SessionGetPosition(player, &position)) {
        FitPicture(player->sessionVideo);
        return TRUE;
    }
    // Started again where it stands, in a new session fitted before its
    // first frame: in the same session Wine 10's stays frozen.
    return Reopen(player, position, FALSE);
}
