#include "core/state.h"

WCHAR g_mediaPath[MEDIA_PATH_CAPACITY];
WCHAR g_titleLine[TITLE_LINE_CAPACITY];
WCHAR g_statusLine[STATUS_LINE_CAPACITY] = L"*******************";

const WCHAR STRIP_CLASS_NAME[] = L"Tallyvox";

HWND g_mainWindow;
HFONT g_stripFont;
HWND g_dockTarget;
HWND g_pictureInput;

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
int g_stripDpi = USER_DEFAULT_SCREEN_DPI;
BOOL g_playerBusy;
int g_wineVersion;

int ScaleForDpi(int pixels96)
{
    return (pixels96 * g_stripDpi + USER_DEFAULT_SCREEN_DPI / 2) / USER_DEFAULT_SCREEN_DPI;
}

void* FindUser32Function(LPCSTR name)
{
    return reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32"), name));
}

int WindowDpi(HWND window)
{
    auto dpiForWindow = reinterpret_cast<decltype(&GetDpiForWindow)>(FindUser32Function("GetDpiForWindow"));
    int dpi = dpiForWindow ? int(dpiForWindow(window)) : 0;  // 0 when it fails
    if (dpi == 0) {
        HDC screen = GetDC(nullptr);
        dpi = GetDeviceCaps(screen, LOGPIXELSX);
        ReleaseDC(nullptr, screen);
    }
    return dpi;
}

// Wine's ntdll exports wine_get_version, which Windows' never has; it
// answers "8.0", "10.0~rc1" and the like.
void FindWineVersion()
{
    typedef const char*(CDECL * VersionFunction)();
    auto version = reinterpret_cast<VersionFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll"), "wine_get_version")));
    const char* text = version ? version() : nullptr;
    if (!text) return;
    int major = 0, minor = 0;
    while (*text >= '0' && *text <= '9') major = major * 10 + (*text++ - '0');
    if (*text == '.') {
        while (*++text >= '0' && *text <= '9') minor = minor * 10 + (*text - '0');
    }
    g_wineVersion = major * 100 + (minor < 100 ? minor : 99);
}

DWORD SleepLettingSendsIn(DWORD milliseconds)
{
    DWORD start = GetTickCount();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds, QS_SENDMESSAGE);
    DWORD waited = GetTickCount() - start;
    MSG sent;
    PeekMessageW(&sent, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    return waited;
}

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

BOOL SameGuid(const GUID& a, const GUID& b)
{
    ULONGLONG x[2], y[2];
    __builtin_memcpy(x, &a, sizeof x);
    __builtin_memcpy(y, &b, sizeof y);
    return x[0] == y[0] && x[1] == y[1];
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
