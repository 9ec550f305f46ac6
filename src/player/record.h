// The player's record, which both ways to play fill, and what they share:
// DirectShow's filter graph (graph.cpp) and a Media Foundation session
// (session.cpp) know this and nothing of each other.
#pragma once

#ifndef STRSAFE_NO_DEPRECATE
#define STRSAFE_NO_DEPRECATE  // dshow.h pulls in strsafe.h, which bans wsprintfW
#endif
#include <windows.h>
#include <dshow.h>

struct IMFAudioStreamVolume;
struct IMFMediaSession;
struct IMFMediaSource;
struct IMFPresentationClock;
struct IMFVideoDisplayControl;

// The level a run starts at, 5 dB down: 9500.
const LONG FIRST_VOLUME = -500;

// Each non-null interface pointer holds one COM reference. While graph is
// non-null, control and events are too; audio, seeking and videoWindow may
// be null. At most one of graph and session is non-null; with a session,
// source is there too, and the clock, volume and picture (display and
// window) may be missing.
struct Player {
    IGraphBuilder* graph = nullptr;
    IMediaControl* control = nullptr;
    IMediaEventEx* events = nullptr;
    IBasicAudio* audio = nullptr;
    IMediaSeeking* seeking = nullptr;
    IVideoWindow* videoWindow = nullptr;
    LONG volume = FIRST_VOLUME;  // 1/100 dB, -10000 (silence) to 0 (full); it holds from file to file
    ULONG eventMask = 0;         // OR of 1 << (code & 31) over drained events
    OAFilterState filterState = State_Stopped;
    BOOL ended = FALSE;          // the media's end was reached and nothing has moved it since
    IMFMediaSession* session = nullptr;
    IMFMediaSource* source = nullptr;
    IMFPresentationClock* clock = nullptr;
    IMFAudioStreamVolume* sessionVolume = nullptr;
    IMFVideoDisplayControl* videoDisplay = nullptr;
    HWND sessionVideo = nullptr;  // the session's video window, ours
    LONGLONG pausedAt = 0;        // where a paused session stands, 100-ns units
};

extern Player g_player;

// Posted by the graph to the strip window when events wait in its queue.
const UINT WM_GRAPHNOTIFY = WM_USER + 106;
// Posted by the session's video window to g_pictureInput when its size changed.
const UINT WM_PICTURE_RESIZED = WM_USER + 107;

// The picture covers its monitor; its window's style and place before, to go back to.
extern BOOL g_fullScreen;
extern LONG g_windowedStyle;
extern RECT g_windowedPlace;
// The pointer is hidden over the picture: it stood still in full screen.
extern BOOL g_pointerHidden;

// Gives back the reference pointer holds, if any, and clears it.
template <typename Interface>
void ReleaseInterface(Interface*& pointer)
{
    if (pointer) pointer->Release();
    pointer = nullptr;
}

// The volume level, 0..10000, that the rest of the program speaks of.
inline int VolumeLevel(const Player* player) { return player->volume + 10000; }

// 100-ns units in a second: the media time of the seeking interface.
const LONGLONG MEDIA_TIME_PER_SECOND = 10000000;

// Adds an event's code to the record's bits and shows them on line 2.
void NoteEvent(Player* player, long code);

// Places a video window of the given outer size: into the dock target's
// corner, limited to the docked maximum, when /V asked; otherwise next to
// the strip. FALSE, changing nothing, when the target or the strip cannot
// be read. Both frameworks' video windows are placed this way.
BOOL PlacePicture(long* left, long* top, long* width, long* height);

// The monitor that holds most of window: its whole rectangle, and its work
// area (without the taskbar).
MONITORINFO MonitorOf(const RECT& window);
