// DirectShow's filter graph: the player's first way to play a file. The
// operations of player.h turn to these when the player holds a graph.
#pragma once

#include "player/record.h"

// Makes the graph and its interfaces, notifying window of its events: 1, or
// 0 with nothing held. The record's volume and event bits are not touched.
int GraphCreate(Player* player, HWND notifyWindow);
// Renders path into a new graph, or into the one the player holds emptied
// for reuse (reused says which): TRUE when it is rendered; otherwise
// nothing is left.
BOOL GraphRender(Player* player, const WCHAR* path, BOOL* reused);
// Names and docks the video window, reads the length, and runs from the
// start: 1 when it runs, 0 when Run fails (the graph stays, for the next
// open to reuse).
int GraphStart(Player* player, BOOL reused);

void GraphSetVolume(Player* player, LONG volume);
void GraphWaitState(Player* player);
void GraphPause(Player* player);
void GraphPlay(Player* player);
void GraphHandleEvents(Player* player);
void GraphStop(Player* player);
void GraphRelease(Player* player);
void GraphSeekTo(Player* player, LONGLONG position);
BOOL GraphGetPosition(Player* player, LONGLONG* position);
