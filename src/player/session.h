// The player's second way to play: a Media Foundation media session, for the
// files that DirectShow cannot render (on a stock Windows: MP4, M4A, FLAC,
// Ogg, Opus, Matroska, WebM). The operations of player.h turn to these when
// the player holds a session; they work on the same record, with the same
// states, volume scale, events and end.
#pragma once

#include "player/player.h"

// Opens path in a new session at player->volume and starts it: 1 when it
// plays. Video streams draw into a window of ours; when they cannot be
// rendered, the sound plays alone. 0, with nothing left, when Media
// Foundation is missing (Windows N editions) or cannot play the file.
int SessionOpen(Player* player, const WCHAR* path);

void SessionPlay(Player* player);
void SessionPause(Player* player);
void SessionSeekTo(Player* player, LONGLONG position);
void SessionSetVolume(Player* player, int level);
void SessionHandleEvents(Player* player);
BOOL SessionGetPosition(Player* player, LONGLONG* position);
void SessionRelease(Player* player);

// Limits a video window's outer size to the docked maximum and moves it into
// the dock target's corner; FALSE, changing nothing, when the target cannot
// be read. Both frameworks' video windows dock this way (open.cpp).
BOOL PlaceInDock(long* left, long* top, long* width, long* height);
