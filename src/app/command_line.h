// Reading the command line: a tokenizer of our own and the option table.
#pragma once

#include "core/state.h"

// The token buffer of the parse, the terminating NUL included.
const int CMD_TOKEN_CAPACITY = 4096;

// What the command line asks for, besides the path left in g_mediaPath,
// the docking target left in g_dockTarget and g_dockSide, and the queue:
// every path with /queue, else the last path alone.
struct CommandLine {
    DWORD commandWord;   // code | argument << 16; forwarded to a running strip
    HWND parent;         // /P: the strip becomes this window's child
    BOOL asksStatus;     // /status: only asks the running strip, whatever else the line holds
    BOOL queues;         // /queue: every path is added to the strip's queue
    int notQueued;       // with /queue, the paths the queue could not hold
    // The start of the last path when it did not fit g_mediaPath, one
    // character longer than fits: the failure text shows it, and a running
    // strip it is forwarded to refuses it too. Empty otherwise.
    WCHAR refusedPath[MEDIA_PATH_CAPACITY + 1];
};

// The character under the cursor; a line break reads as the end of the text.
WCHAR PeekCmdChar(const WCHAR*& cursor);

// Splits off the next token into token (CMD_TOKEN_CAPACITY characters) and
// returns its first character as written, or 0 when none is left. A token
// too long for the buffer is cut at its capacity.
WCHAR NextCmdToken(const WCHAR*& cursor, WCHAR* token);

// The decimal number under the cursor, saturating at the largest 64-bit value.
ULONGLONG ParseDecimal(const WCHAR*& cursor);

// Reads a whole command line, the program's own path first.
void ReadCommandLine(const WCHAR* text, CommandLine* result);
