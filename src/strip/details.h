// Hover details: at the strip's size only the band shows, so a tooltip over
// the strip tells what it is playing, where and how loud, in up to four
// lines: the title, position and duration with the state, the volume level
// and the full path.
#pragma once

#include "player/player.h"

// A tooltip holds at most this much, the terminating NUL included
// (INFOTIPSIZE): the path, then the title, are given the room that is left.
const int DETAILS_CAPACITY = 1024;

extern HWND g_detailsTip;  // the tooltip over the strip

// "m:ss / m:ss", "h:mm:ss / h:mm:ss" when the duration is an hour or more,
// "-:-- / -:--" while it is unknown (0 or less). out holds 32 characters.
void FormatPlaybackTime(WCHAR* out, LONGLONG position, LONGLONG duration);

// "playing", "paused", "ended" or "stopped".
const WCHAR* PlaybackStateWord(const Player* player);

// The details as the tooltip shows them, lines ended by CR LF. Where they
// do not fit capacity, the title gives way to the path, which is whole
// unless too long even for that: then its beginning gives way to "…".
void ComposeDetails(WCHAR* out, int capacity);

// Makes the tooltip that covers strip's whole client area.
void CreateDetailsTip(HWND strip);

// Shows the tooltip the strip's mouse messages, so it knows when to appear.
void RelayToDetailsTip(HWND strip, UINT message, WPARAM wParam, LPARAM lParam);

// WM_MOUSELEAVE: the pointer left the strip's client area.
void HideDetailsTip();

// Gives the tooltip the current details, only when they changed.
void UpdateDetailsTip();
