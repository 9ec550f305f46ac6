#include "app/command_line.h"
#include "core/queue.h"

WCHAR PeekCmdChar(const WCHAR*& cursor)
{
    WCHAR ch = *cursor;
    if (ch == L'\r') {
        if (cursor[1] == L'\n') ++cursor;
        return 0;
    }
    if (ch == L'\n') {
        if (cursor[1] == L'\r') ++cursor;
        return 0;
    }
    return ch;
}

namespace {

// Appends to the token while there is room; the rest is dropped.
struct TokenWriter {
    WCHAR* text;
    int length;

    void Put(WCHAR ch)
    {
        if (length < CMD_TOKEN_CAPACITY - 1) text[length++] = ch;
    }
};

// Copies up to and including a quote that no second quote follows.
void ReadQuotedSection(const WCHAR*& cursor, TokenWriter& writer)
{
    for (;;) {
        WCHAR ch = PeekCmdChar(cursor);
        if (ch == 0) return;
        ++cursor;
        writer.Put(ch);
        if (ch == L'"' && PeekCmdChar(cursor) != L'"') return;
    }
}

} // namespace

WCHAR NextCmdToken(const WCHAR*& cursor, WCHAR* token)
{
    TokenWriter writer = { token, 0 };
    WCHAR ch = PeekCmdChar(cursor);
    while (ch == L' ' || ch == L'\t') {
        ++cursor;
        ch = PeekCmdChar(cursor);
    }
    WCHAR first = ch;
    if (first == L'"') {
        ++cursor;
        for (;;) {
            ch = PeekCmdChar(cursor);
            if (ch == 0) break;
            ++cursor;
            if (ch == L'"') {
                if (PeekCmdChar(cursor) != L'"') break;
                ++cursor;
            }
            writer.Put(ch);
        }
    } else {
        while (ch != 0) {
            ++cursor;
            if (ch <= L' ') break;
            writer.Put(ch);
            if (ch == L'"') ReadQuotedSection(cursor, writer);
            ch = PeekCmdChar(cursor);
        }
    }
    token[writer.length] = 0;
    return first;
}

ULONGLONG ParseDecimal(const WCHAR*& cursor)
{
    const ULONGLONG largest = ~0ULL;
    ULONGLONG value = 0;
    while (*cursor >= L'0' && *cursor <= L'9') {
        ULONGLONG digit = ULONGLONG(*cursor - L'0');
        // Saturate rather than wrap: a huge number must not turn into a small one.
        value = value > (largest - digit) / 10 ? largest : value * 10 + digit;
        ++cursor;
    }
    return value;
}

namespace {

DWORD MakeCommandWord(DWORD code, int argument)
{
    return code | (DWORD(WORD(argument)) << 16);
}

// "/volumeN", "/volume+N" and "/volume-N", and the same for "/seek": a
// number that does not fit the 16-bit argument saturates at its limits, so
// a large change never reverses sign.
DWORD ReadNumberOption(const WCHAR* afterWord, DWORD setCode, DWORD changeCode)
{
    const WCHAR* cursor = afterWord;
    if (*cursor == L'+') {
        ++cursor;
        ULONGLONG n = ParseDecimal(cursor);
        return MakeCommandWord(changeCode, n > 32767 ? 32767 : int(n));
    }
    if (*cursor == L'-') {
        ++cursor;
        ULONGLONG n = ParseDecimal(cursor);
        return MakeCommandWord(changeCode, n > 32768 ? -32768 : -int(n));
    }
    ULONGLONG n = ParseDecimal(cursor);
    return MakeCommandWord(setCode, n > 65535 ? 65535 : int(n));
}

void ReadDockOption(const WCHAR* afterV)
{
    const WCHAR* cursor = afterV;
    int side = 1;
    if (*cursor == L'L') {
        side = 0;
        ++cursor;
    }
    if (*cursor == L'R') {
        side = 1;
        ++cursor;
    }
    HWND target = HWND(ULONG_PTR(ParseDecimal(cursor)));
    if (g_dockTarget == nullptr && IsWindow(target)) {
        g_dockTarget = target;
        g_dockSide = side;
    }
}

// The options that are a command and nothing more.
struct CommandOption {
    WCHAR name[7];
    BYTE code;
};
const CommandOption COMMAND_OPTIONS[] = { { L"stop", CMD_STOP },   { L"pause", CMD_PAUSE }, { L"play", CMD_PLAY },
                                          { L"tpause", CMD_TOGGLE }, { L"next", CMD_NEXT },  { L"prev", CMD_PREVIOUS } };

void ReadOption(const WCHAR* rest, CommandLine* result)
{
    for (const CommandOption& option : COMMAND_OPTIONS) {
        if (SameText(rest, option.name)) result->commandWord = option.code;
    }
    if (rest[0] == L'P') {
        if (rest[1] <= L'9') {
            const WCHAR* cursor = rest + 1;
            result->parent = HWND(ULONG_PTR(ParseDecimal(cursor)));
        }
        return;
    }
    if (rest[0] == L'V') {
        ReadDockOption(rest + 1);
    } else if (SameText(rest, L"status")) {
        result->asksStatus = TRUE;
    } else if (SameText(rest, L"queue")) {
        result->queues = TRUE;
    } else if (StartsWith(rest, L"volume")) {
        result->commandWord = ReadNumberOption(rest + 6, CMD_SET_VOLUME, CMD_ADD_VOLUME);
    } else if (StartsWith(rest, L"seek")) {
        result->commandWord = ReadNumberOption(rest + 4, CMD_SEEK_TO, CMD_SEEK_BY);
    }
}

} // namespace

void ReadCommandLine(const WCHAR* text, CommandLine* result)
{
    result->commandWord = CMD_OPEN;
    result->parent = nullptr;
    result->asksStatus = FALSE;
    result->queues = FALSE;
    result->notQueued = 0;
    result->refusedPath[0] = 0;
    WCHAR token[CMD_TOKEN_CAPACITY];
    g_mediaPath[0] = 0;
    QueueClear();

    const WCHAR* cursor = text;
    NextCmdToken(cursor, token);  // the program's own path
    for (WCHAR first = NextCmdToken(cursor, token); first != 0;
         first = NextCmdToken(cursor, token)) {
        if (first == L'/' || first == L'-') {
            ReadOption(token + 1, result);
            continue;
        }
        // Every path counts should /queue come later on the line.
        if (!QueueAppend(token)) ++result->notQueued;
        if (lstrlenW(token) >= MEDIA_PATH_CAPACITY) {
            // Never keep a path cut short: it could name another file.
            g_mediaPath[0] = 0;
            CopyText(result->refusedPath, MEDIA_PATH_CAPACITY + 1, token);
        } else {
            CopyText(g_mediaPath, MEDIA_PATH_CAPACITY, token);
            result->refusedPath[0] = 0;
        }
    }
    if (result->queues) return;
    // Without /queue the last path wins, alone, a path too long to hold too.
    result->notQueued = 0;
    QueueClear();
    QueueAppend(result->refusedPath[0] ? result->refusedPath : g_mediaPath);
}
