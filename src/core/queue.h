// The queue: the strip's files in the order they play, in fixed buffers.
// A plain open makes it that one file; /queue, records of code 12 and the
// rest of a drop add to its end. The commands open its files; the tooltip
// and the status answer show where in it the strip is.
#pragma once

#include "core/state.h"

// At most this many files, and this many characters of their paths, NULs apart.
const int QUEUE_FILE_CAPACITY = 256;
const int QUEUE_TEXT_CAPACITY = 65536;

// Previous goes to the file before only this early in a file (100-ns units): 3 s.
const LONGLONG PREVIOUS_FILE_WINDOW = 30000000;

extern int g_queueCount;  // files in the queue
extern int g_queueIndex;  // the file opened last, from 0; -1 while none has been

// Empties the queue.
void QueueClear();

// Adds path at the end; FALSE, changing nothing, when it does not fit. A
// path longer than an open takes is kept one character over, so that its
// open refuses it whole instead of opening a name cut short. An empty path
// adds nothing, and is no refusal.
BOOL QueueAppend(const WCHAR* path);

// The path of the file at index (0 .. g_queueCount - 1).
const WCHAR* QueuePath(int index);

// TRUE while a file waits after the one opened last.
inline BOOL QueueHasNext() { return g_queueIndex + 1 < g_queueCount; }

// Where previous goes from position in the file opened last: the file
// before within its first 3 s, else this one (from its start).
int QueuePreviousIndex(LONGLONG position);
