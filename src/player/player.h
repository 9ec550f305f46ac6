// The player: one file at a time, through DirectShow's filter graph, or
// through a Media Foundation session where DirectShow cannot render it (see
// session.cpp). The rest of the program calls these operations and never
// needs to know which of the two plays.
#pragma once

#ifndef STRSAFE_NO_DEPRECATE
#define STRSAFE_NO_DEPRECATE  // dshow.h pulls in strsafe.h, which bans wsprintfW
#endif
#include <windows.h>
#include <dshow.h>

// Posted by the graph to the strip window when events wait in its queue.
const UINT WM_GRAPHNOTIFY = WM_USER + 106;

struct IMFMediaSession;
struct IMFMediaSource;
struct IMFPresentationClock;
struct IMFSimpleAudioVolume;
struct IMFVideoDisplayControl;

// Each non-null interface pointer holds one COM reference. While graph is
// non-null, control and events are too; audio, seeking and videoWindow may
// be null. At most one of graph and session is non-null; with a session,
// source is there too, and the clock, volume, display and video window may
// be missing.
struct Player {
    IGraphBuilder* graph;
    IMediaControl* control;
    IMediaEventEx* events;
    IBasicAudio* audio;
    IMediaSeeking* seeking;
    IVideoWindow* videoWindow;
    LONG volume;              // 1/100 dB, -10000 (silence) to 0 (full), on either framework
    ULONG eventMask;          // OR of 1 << (code & 31) over drained events
    OAFilterState filterState;
    BOOL ended;               // the media's end was reached and nothing has moved it since
    IMFMediaSession* session;
    IMFMediaSource* source;
    IMFPresentationClock* clock;
    IMFSimpleAudioVolume* sessionVolume;
    IMFVideoDisplayControl* videoDisplay;
    HWND sessionVideo;        // the session's video window, ours
};

extern Player g_player;

// Gives back the reference pointer holds, if any, and clears it.
template <typename Interface>
void ReleaseInterface(Interface*& pointer)
{
    if (pointer) pointer->Release();
    pointer = nullptr;
}

// What a failed open writes before the path on the title and path lines ("failed:").
inline constexpr WCHAR OPEN_FAILURE_PREFIX[] = L"\u5931\u6557:";

// TRUE while a file is open, whichever framework plays it.
inline BOOL PlayerHasMedia(const Player* player) { return player->graph || player->session; }

// The volume level, 0..10000, that the rest of the program speaks of.
inline int VolumeLevel(const Player* player) { return player->volume + 10000; }

// 100-ns units in a second: the media time of the seeking interface.
const LONGLONG MEDIA_TIME_PER_SECOND = 10000000;

int PlayerCreate(Player* player, HWND notifyWindow);
void PlayerSetVolume(Player* player, int level);
void PlayerWaitState(Player* player);
void PlayerPause(Player* player);
void PlayerPlay(Player* player);
void PlayerTogglePause(Player* player);
void PlayerHandleEvents(Player* player);
// The tick's share of the drain: Media Foundation posts no notification, so
// a session's events are read here; a graph's come with WM_GRAPHNOTIFY.
void PlayerPollEvents(Player* player);
void PlayerStop(Player* player);
void PlayerRelease(Player* player);

// The place playback has reached, 100-ns units; FALSE when it cannot be read.
BOOL PlayerGetPosition(Player* player, LONGLONG* position);

// Moves to position (100-ns units), held to 0..g_duration (0 and up while the
// duration is unknown), keeping the state the user chose: running plays on,
// paused stays paused, and after the end it plays again from there.
void PlayerSeekTo(Player* player, LONGLONG position);
// Moves by change (100-ns units) from the current position.
void PlayerSeekBy(Player* player, LONGLONG change);

// Renders and runs path; 1 when it plays, 0 when it does not.
int PlayerOpen(Player* player, const WCHAR* path);

// Shows that path could not be opened, on the title line and the path line.
void ShowOpenFailure(const WCHAR* path);
