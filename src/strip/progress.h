// The 100 ms tick that makes the strip follow playback.
#pragma once

#include "player/player.h"

// The progress bar's width for a strip of width pixels; refreshes the title
// line with the media's file name while a graph exists.
int UpdateProgress(Player* player, int width);

// The flicker generator: seed * 323 + 12345, modulo 2^32.
int NextFlickerSeed(int seed);

// One tick: count down the volume display, follow the position, repaint.
void HandleTimerTick(HWND window);
