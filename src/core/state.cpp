#include "core/state.h"

WCHAR g_mediaPath[MEDIA_PATH_CAPACITY];
WCHAR g_titleLine[TITLE_LINE_CAPACITY];
WCHAR g_statusLine[STATUS_LINE_CAPACITY] = L"*******************";

HWND g_mainWindow;
HFONT g_stripFont;
HWND g_dockTarget;

int g_dockSide = -1;
int g_stripWidth;
int g_lineHeight;
int g_progressWidth;
LONGLONG g_position;
LONGLONG g_duration;
int g_volumeDisplayTicks;
int g_dragBaseLevel = -1;
int g_dragOriginX;
int g_flickerSeed = 1;
int g_wheelDelta;
BOOL g_playerBusy;

const WCHAR* FindLastChar(const WCHAR* text, WCHAR ch)
{
    const WCHAR* p = text;
    while (*p) ++p;
    for (;;) {
        if (*p == ch) return p;
        if (p == text) return nullptr;
        --p;
    }
}

const WCHAR* FileNamePart(const WCHAR* path)
{
    const WCHAR* backslash = FindLastChar(path, L'\\');
    return backslash ? backslash + 1 : path;
}

BOOL StartsWith(const WCHAR* text, const WCHAR* prefix)
{
    while (*prefix) {
        if (*text++ != *prefix++) return FALSE;
    }
    return TRUE;
}

BOOL SameText(const WCHAR* a, const WCHAR* b)
{
    while (*a && *a == *b) ++a, ++b;
    return *a == *b;
}

int CopyText(WCHAR* buffer, int capacity, const WCHAR* source)
{
    int length = 0;
    while (length < capacity - 1 && source[length]) {
        buffer[length] = source[length];
        ++length;
    }
    buffer[length] = 0;
    return length;
}
