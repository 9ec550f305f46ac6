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
// Names and places the video window (docked, or next to the strip), drains
// its keys and mouse to g_pictureInput, reads the length, and runs from the
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
// The video window's style and place, read and set: it is the renderer's,
// another thread's, and IVideoWindow refuses the maximized and minimized
// styles. In full screen the picture keeps its shape inside it.
inline void GraphGetWindow(Player* player, LONG* style, RECT* place)
{
    long left = 0, top = 0, width = 0, height = 0;
    player->videoWindow->get_WindowStyle(style);
    player->videoWindow->GetWindowPosition(&left, &top, &width, &height);
    *style &= ~(WS_MAXIMIZE | WS_MINIMIZE);
    *place = { left, top, left + width, top + height };
}
void GraphSetWindow(Player* player, LONG style, const RECT& place, BOOL fullScreen);
inline void GraphHidePointer(Player* player, BOOL hidden)
{
    player->videoWindow->HideCursor(hidden ? OATRUE : OAFALSE);
}
