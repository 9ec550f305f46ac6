// Asking the strip what it plays: the status text, the answer a strip sends
// to a program that asks with a record, and the /status launch that asks.
#pragma once

#include "core/state.h"
#include "player/player.h"

// The status text's capacity, the terminating NUL included: seven lines
// with the longest path, the largest times and the longest queue.
const int STATUS_TEXT_CAPACITY = 1152;

// TRUE after an open that left nothing open: the strip shows its failure.
extern BOOL g_failedOpen;

// After every command: whether the strip now shows a failure, which leaves
// a path line with nothing open.
inline void NoteFailureShown() { g_failedOpen = g_mediaPath[0] != 0 && !PlayerHasMedia(&g_player); }

// "state=", "position=", "duration=", "volume=", "path=", "queue=" and
// "index=" lines, each ended by CR LF, from the figures the last tick read, into out
// (STATUS_TEXT_CAPACITY characters). Returns the length.
int ComposeStatus(WCHAR* out);

// Sends asker the status text in a record of code 9, waiting about a second
// at most; nothing when asker is no window or a strip.
void AnswerStatusQuery(HWND asker);

// /status: asks strip (null when none runs) through a message-only window,
// which findUser32Function (a parameter so that a test can see the call)
// opens to answers from lower integrity levels, and writes the answer to
// standard output. Returns the exit code: 0 with the answer written, 1
// without a strip, 2 when the strip did not answer in time, 3 when the
// answer could not be written.
int AskForStatus(HINSTANCE instance, HWND strip, void* (*findUser32Function)(LPCSTR) = FindUser32Function);
