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

// FALSE when the file is lost: the session refused what it had to take and
// was closed, or stopped answering and was parked. The caller shows it.
BOOL SessionPlay(Player* player);
BOOL SessionPause(Player* player);
BOOL SessionSeekTo(Player* player, LONGLONG position);
// Fits the picture to its window's new size, keeping it moving.
BOOL SessionPictureResized(Player* player);

void SessionSetVolume(Player* player, LONG volume);
void SessionHandleEvents(Player* player);
BOOL SessionGetPosition(Player* player, LONGLONG* position);

// Closes the session and shuts it down, then takes its window away; one
// that does not close in time is parked.
void SessionRelease(Player* player);

// A session that stopped answering is parked: off the strip, muted and
// hidden, while the next file gets a session of its own. On each tick the
// parked ones are looked at: one that answers is closed, shut down and
// released.
void SessionTendParked();
// At the strip's end: the parked sessions that close within a bounded
// wait are released; the others go with the process. TRUE when no
// session is left.
BOOL SessionReleaseParked();
