// Every command on the player, whatever its source: records from other
// launches and programs, drops, keys, clicks and the graph's notifications.
// A graph call can deliver messages that other threads and processes send
// (a video renderer's window lives on a thread of its own), so a command that
// arrives while a player operation runs is never carried out inside it: it
// waits and runs right after, in arrival order, from the message loop.
#pragma once

#include <windows.h>

// Commands of the strip itself, beyond the 16 bits a record's code has.
enum : DWORD {
    CMD_DRAG_VOLUME = 0x10000,   // argument: the level a right-button drag reached
    CMD_GRAPH_EVENTS = 0x10001,  // drain the graph's event queue
    CMD_PLAY_ON = 0x10002,       // the queue's next file, if nothing plays
    CMD_FULL_SCREEN = 0x10003,   // argument: 1 toggles the picture's full screen, 0 leaves it
    CMD_POINTER = 0x10004,       // argument: 1 shows the pointer over the picture, 0 hides it
    CMD_REFIT_PICTURE = 0x10005, // fit the picture to its window's new size
};

// How long a queued file's failure shows before the next file plays: 2 s of ticks.
const int FAILURE_SHOWN_TICKS = 20;

// Ticks since the last open, counted up to FAILURE_SHOWN_TICKS.
extern int g_failureTicks;

// TRUE after a stop, until the next open, play, pause or toggle: the strip
// pauses and shows paused, and Windows' media overlay and taskbar button
// show it stopped.
extern BOOL g_stopAsked;

// What Windows shows of the strip outside it (the media overlay, the
// taskbar button): its bar's state, but that a stop, which pauses, shows
// as stopped, as does the end.
enum PlaybackShown { SHOWN_NO_FILE, SHOWN_PLAYING, SHOWN_PAUSED, SHOWN_STOPPED };
PlaybackShown PlaybackShownOutside();

// Posted to the strip when commands wait; the message loop runs them.
const UINT WM_RUN_WAITING = WM_APP + 1;

// How many commands can wait at once. Volume commands in a row take one
// place, and an open, an event drain and the queue's play-on always find
// theirs, beyond these.
const int WAITING_CAPACITY = 256;

// Carries a command out before returning when no player operation runs,
// after whatever waits already; otherwise it waits, and the caller goes on
// at once. path is read for opens only, and copied. FALSE when the command
// was refused: too many others wait.
BOOL PerformCommand(DWORD code, int argument, const WCHAR* path = nullptr);

// Brackets a player operation that does not come through PerformCommand,
// the start-up's open. Commands that arrived meanwhile are posted to run.
void BeginPlayerOperation();
void EndPlayerOperation();

// WM_RUN_WAITING: carries out every waiting command.
void RunWaitingCommands();

// Adds path to the end of the queue at once, even inside a graph call, and
// plays the first file added when nothing plays: no file, a failure shown
// for 2 s, or the end. FALSE, with nothing added, when it does not fit.
BOOL QueueFile(const WCHAR* path);

// Opens the queue's file at index (the start-up's open, and the commands').
BOOL OpenQueuedFile(int index);

// The tick's share: a file that ended, or failed 2 s ago, hands over to the next.
void TickQueue();
