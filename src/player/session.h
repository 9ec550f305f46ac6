// The player's second way to play: a Media Foundation media session, for the
// files that DirectShow cannot render (on a stock Windows: MP4, M4A, FLAC,
// Ogg, Opus, Matroska, WebM). The operations of player.h turn to these when
// the player holds a session; they work on the same record, with the same
// states, volume scale, events and end.
#pragma once

#include "player/record.h"

// Opens path in a new session at player->volume and starts it: 1 when it
// plays. Video streams draw into a window of ours; what cannot be rendered
// is left out, the sound or the picture, as a partial render of DirectShow
// leaves it. 0, with nothing left, when Media Foundation is missing (Windows
// N editions) or cannot play the file.
int SessionOpen(Player* player, const WCHAR* path);

// FALSE when the session stopped answering: the caller gives it up.
BOOL SessionPlay(Player* player);
BOOL SessionPause(Player* player);
BOOL SessionSeekTo(Player* player, LONGLONG position);
// Fits the picture to its window's new size, keeping it moving.
BOOL SessionPictureResized(Player* player);

void SessionSetVolume(Player* player, LONG volume);
void SessionHandleEvents(Player* player);
BOOL SessionGetPosition(Player* player, LONGLONG* position);

// Shuts the session down, the picture's renderer first, then takes its
// window away.
void SessionRelease(Player* player);
// Forgets a session that stopped answering without a call that could block
// on it: it stays, muted and hidden, for the rest of the run, and later
// files that only Media Foundation could play fail.
void SessionGiveUp(Player* player);
