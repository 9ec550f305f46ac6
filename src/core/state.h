// The program's whole state: fixed-size globals that live from start to exit.
#pragma once

#include <windows.h>

// Command codes carried in the low 16 bits of a command word; the argument
// (a volume level or change, or seconds) rides in the high 16 bits.
enum : DWORD {
    CMD_OPEN = 0,
    CMD_PLAY = 1,
    CMD_PAUSE = 2,
    CMD_TOGGLE = 3,
    CMD_STOP = 4,
    CMD_SET_VOLUME = 5,
    CMD_ADD_VOLUME = 6,
    CMD_SEEK_TO = 7,   // unsigned seconds from the start
    CMD_SEEK_BY = 8,   // signed seconds from the current place
    CMD_STATUS = 9,    // with an empty path: asks for the status, which comes back with this code
    CMD_NEXT = 10,     // with an empty path: the next file of the queue; with one, an open
    CMD_PREVIOUS = 11, // with an empty path: the file before, or this one's start; with one, an open
    CMD_QUEUE = 12,    // adds the path to the end of the queue
};

// Capacities in wide characters, the terminating NUL included.
const int MEDIA_PATH_CAPACITY = 1024;
const int TITLE_LINE_CAPACITY = 200;
const int STATUS_LINE_CAPACITY = 200;

// How long the volume bar stays after a volume key or command: 2 s of ticks.
const int VOLUME_DISPLAY_TICKS = 20;

extern WCHAR g_mediaPath[MEDIA_PATH_CAPACITY];
extern WCHAR g_titleLine[TITLE_LINE_CAPACITY];
extern WCHAR g_statusLine[STATUS_LINE_CAPACITY];

// The strip's window class, also its title: "Tallyvox".
extern const WCHAR STRIP_CLASS_NAME[];

extern HWND g_mainWindow;
extern HFONT g_stripFont;
extern HWND g_dockTarget;
// Takes the picture's keys and mouse, whichever framework draws it: the
// session's window hands them on, DirectShow's renderer drains them here.
extern HWND g_pictureInput;

extern int g_dockSide;
extern int g_stripWidth;
extern int g_lineHeight;
extern int g_progressWidth;
extern LONGLONG g_position;
extern LONGLONG g_duration;
extern int g_volumeDisplayTicks;
extern int g_dragBaseLevel;
extern int g_dragOriginX;
extern int g_flickerSeed;
extern int g_wheelDelta;    // wheel movement not yet a whole notch
// The strip's DPI: 96 until its window is made, then its window's, and
// whatever WM_DPICHANGED says after a move to another screen.
extern int g_stripDpi;

// Wine's version as major * 100 + minor (800 for 8.0, 1000 for 10.0), or
// 0 on Windows: what a Wine needs, and Windows does not, is done only where
// it is found. FindWineVersion sets it once, at start-up.
extern int g_wineVersion;
void FindWineVersion();

// TRUE while a player operation runs. Graph calls can deliver messages sent
// by other threads and processes; whatever arrives meanwhile waits its turn.
extern BOOL g_playerBusy;

// TRUE for a strip made inside another program's window (/P): it has no
// taskbar button and no media controls of its own.
inline BOOL IsChildStrip(HWND strip) { return (GetWindowLongW(strip, GWL_STYLE) & WS_CHILD) != 0; }

// A length of 0 or more 96-DPI pixels at g_stripDpi, rounded half up as
// Windows scales: 62 is 93 at 144 DPI, 78 at 120.
int ScaleForDpi(int pixels96);

// A user32 function by name, or null where this Windows lacks it: importing
// one that Windows 7 lacks would keep the exe from loading there.
void* FindUser32Function(LPCSTR name);

// The window's DPI where Windows tells it (10 version 1607 on), else the system's.
int WindowDpi(HWND window);

// Waits up to milliseconds, taking in what other threads and processes send
// meanwhile, as a graph call does: a wait of ours holds no sender up, and
// the commands sent wait their turn (g_playerBusy). Returns how long it
// waited, without the time spent on what was sent.
DWORD SleepLettingSendsIn(DWORD milliseconds);

// The last place in text that holds ch, the terminator included, or null.
const WCHAR* FindLastChar(const WCHAR* text, WCHAR ch);

// The text after the last backslash of path, or the whole path.
const WCHAR* FileNamePart(const WCHAR* path);

// Copies source into a buffer of capacity characters, cutting what does not
// fit; the result is always terminated. Returns the characters copied.
int CopyText(WCHAR* buffer, int capacity, const WCHAR* source);

// TRUE when text begins with prefix.
BOOL StartsWith(const WCHAR* text, const WCHAR* prefix);

// TRUE when both texts hold the same characters: an exact comparison, with
// no locale's idea of which characters may be ignored.
BOOL SameText(const WCHAR* a, const WCHAR* b);

// TRUE when both GUIDs are the same, compared as two 64-bit halves: ==
// would call the C runtime's memcmp.
BOOL SameGuid(const GUID& a, const GUID& b);
