// The player: one file at a time, through DirectShow's filter graph, or
// through a Media Foundation session where DirectShow cannot render it. The
// rest of the program calls these operations and never needs to know which
// of the two plays.
#pragma once

#include "player/record.h"

// What a failed open writes before the path on the title and path lines ("failed:").
inline constexpr WCHAR OPEN_FAILURE_PREFIX[] = L"\u5931\u6557:";

// TRUE while a file is open, whichever framework plays it.
inline BOOL PlayerHasMedia(const Player* player) { return player->graph || player->session; }

// TRUE while the open file has a picture, whichever framework shows it.
BOOL PlayerHasPicture(const Player* player);

int PlayerCreate(Player* player, HWND notifyWindow);
void PlayerSetVolume(Player* player, int level);
void PlayerWaitState(Player* player);
void PlayerPause(Player* player);
void PlayerPlay(Player* player);
void PlayerTogglePause(Player* player);
void PlayerHandleEvents(Player* player);
// The tick's share of the drain: Media Foundation posts no notification, so
// a session's events are read here, and parked sessions looked at; a
// graph's come with WM_GRAPHNOTIFY.
void PlayerPollEvents(Player* player);
void PlayerStop(Player* player);
void PlayerRelease(Player* player);
// At the strip's end: the file, and whatever sessions were parked. FALSE
// when sessions are left alive, to go with the process.
BOOL PlayerShutdown(Player* player);

// The place playback has reached, 100-ns units; FALSE when it cannot be read.
BOOL PlayerGetPosition(Player* player, LONGLONG* position);

// Moves to position (100-ns units), held to 0..g_duration (0 and up while the
// duration is unknown), keeping the state the user chose: running plays on,
// paused stays paused, and after the end it plays again from there.
void PlayerSeekTo(Player* player, LONGLONG position);
// Moves by change (100-ns units) from the current position.
void PlayerSeekBy(Player* player, LONGLONG change);

// Full screen for the picture of either framework, unless it is docked:
// its window covers its monitor, or goes back where it was. An open and a
// release leave it first.
void PlayerSetFullScreen(Player* player, BOOL on);
// Shows or hides the pointer over the picture.
void PlayerShowPointer(Player* player, BOOL shown);
// The picture's window changed its size: the picture is fitted to it.
void PlayerPictureResized(Player* player);

// Renders and runs path; 1 when it plays, 0 when it does not.
int PlayerOpen(Player* player, const WCHAR* path);

// Shows that path could not be opened, on the title line and the path line.
void ShowOpenFailure(const WCHAR* path);
