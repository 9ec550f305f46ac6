// tallyvox.exe started as a process, and its strip read from outside as any
// other program sees it: class, size and the colours of the band's bottom row.
#pragma once

#include <gtest/gtest.h>
#include <wchar.h>

#include "media.h"
#include "window_helpers.h"

const DWORD START_MS = 20000;   // a Wine process start on a busy machine
const DWORD EXIT_MS = 30000;    // a forwarded open waits for the strip's render
const DWORD STATE_MS = 10000;

// One started tallyvox.exe, gone when this goes: a test that failed before
// closing it leaves it to be ended here. Waits pump messages: a child strip
// sends its parent (a window of this thread) messages as it comes and goes.
struct Launch {
    PROCESS_INFORMATION process = {};

    // separator comes between the program's name and arguments; output and
    // error, inheritable handles, become the process's standard output and error.
    explicit Launch(const WCHAR* arguments, const WCHAR* folder = nullptr, const WCHAR* separator = L" ",
                    HANDLE output = nullptr, HANDLE error = nullptr)
    {
        static WCHAR line[32768];
        wcscpy(line, L"\"" TALLYVOX_EXE L"\"");
        wcscat(line, separator);
        wcsncat(line, arguments, 32767 - wcslen(line));
        STARTUPINFOW startup = { sizeof startup };
        if (output || error) startup.dwFlags = STARTF_USESTDHANDLES, startup.hStdOutput = output, startup.hStdError = error;
        // Wine now and then fails a start with ERROR_INTERNAL_ERROR; the same line starts on a retry.
        for (int tries = 0; tries < 3; ++tries, Sleep(500)) {
            if (CreateProcessW(TALLYVOX_EXE, line, nullptr, nullptr, output || error, 0, nullptr, folder, &startup,
                               &process))
                return;
        }
        ADD_FAILURE() << "error " << GetLastError() << " for a line of " << wcslen(line) << " characters";
    }

    ~Launch()
    {
        if (!process.hProcess) return;
        if (!Ended(0)) TerminateProcess(process.hProcess, 1), Ended(5000);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }

    bool Ended(DWORD ms) { return PumpUntil([&] { return !WaitForSingleObject(process.hProcess, 0); }, ms); }

    // The exit code once the process has ended, or STILL_ACTIVE.
    DWORD WaitExit(DWORD milliseconds = EXIT_MS)
    {
        DWORD code = STILL_ACTIVE;
        if (process.hProcess && Ended(milliseconds)) GetExitCodeProcess(process.hProcess, &code);
        return code;
    }

    bool Owns(HWND window) const
    {
        DWORD owner = 0;
        return GetWindowThreadProcessId(window, &owner) && owner == process.dwProcessId;
    }
};

// A WAV of its own, quoted as a command-line argument.
inline void QuotedWav(WCHAR (&arguments)[MAX_PATH + 2], const WCHAR* name, int milliseconds)
{
    WCHAR path[MAX_PATH];
    TempFile(path, MAX_PATH, name);
    ASSERT_TRUE(WriteWav(path, milliseconds));
    _snwprintf(arguments, MAX_PATH + 2, L"\"%ls\"", path);
}

// Top-level strips on the whole display, whoever started them.
inline int CountStrips()
{
    int count = 0;
    EnumWindows([](HWND window, LPARAM count) -> BOOL {
        WCHAR name[32];
        if (GetClassNameW(window, name, 32) && wcscmp(name, L"Tallyvox") == 0) ++*reinterpret_cast<int*>(count);
        return TRUE;
    }, LPARAM(&count));
    return count;
}

inline HWND FindStrip()
{
    HWND strip = nullptr;
    PumpUntil([&] { return (strip = FindWindowW(L"Tallyvox", nullptr)) != nullptr; }, START_MS);
    return strip;
}

// Colour families of the band's bottom row, whatever the flicker dimming:
// the left bars have full channels (above 170), the right bars half ones.
enum Family { NONE, RED, GREEN, YELLOW, CYAN, GREY, OLIVE, TEAL, OTHER };

// The family by which of red, green and blue (bits 0, 1, 2) lie in a bright (171..255) or mid (61..170) range.
inline Family FamilyOf(COLORREF pixel, bool bright)
{
    static const Family BRIGHT[8] = { NONE, RED, GREEN, YELLOW, OTHER, OTHER, CYAN, OTHER };
    static const Family MID[8] = { NONE, OTHER, OTHER, OLIVE, OTHER, OTHER, TEAL, GREY };
    int low = bright ? 171 : 61, high = bright ? 255 : 170;
    auto in = [&](BYTE channel) { return channel >= low && channel <= high ? 1 : 0; };
    return (bright ? BRIGHT : MID)[in(GetRValue(pixel)) | in(GetGValue(pixel)) << 1 | in(GetBValue(pixel)) << 2];
}

// What the band shows: the bars' colours, the left one's width, and the client width they share.
struct Band {
    Family left = NONE, right = NONE;
    int leftWidth = -1, width = 0;
};

inline std::ostream& operator<<(std::ostream& out, const Band& band)
{
    static const char* const NAMES[] = { "none", "red", "green", "yellow", "cyan", "grey", "olive", "teal", "other" };
    return out << "left " << NAMES[band.left] << " x" << band.leftWidth << ", right " << NAMES[band.right] << " (of "
               << band.width << ")";
}

// The bottom row of the band (text never reaches it), read from the screen
// through the strip's own window DC. The band is a line high: 24 rows at 96 DPI.
inline Band ReadBand(HWND strip, int lineHeight = 24)
{
    Band band;
    RECT client;
    if (!GetClientRect(strip, &client) || client.right <= 0) return band;
    band.width = client.right;
    int row = (client.bottom < lineHeight ? client.bottom : lineHeight) - 1;
    HDC dc = GetDC(strip);
    band.left = FamilyOf(GetPixel(dc, 0, row), true);
    for (band.leftWidth = 0; band.left != NONE && band.leftWidth < band.width; ++band.leftWidth)
        if (FamilyOf(GetPixel(dc, band.leftWidth, row), true) != band.left) break;
    if (band.leftWidth < band.width) band.right = FamilyOf(GetPixel(dc, band.width - 1, row), false);
    ReleaseDC(strip, dc);
    return band;
}

// Polls the band until it shows what is expected; the last band read is left in band.
template <typename Condition>
bool WaitBand(HWND strip, Band& band, Condition expected, int lineHeight = 24)
{
    return PumpUntil([&] { band = ReadBand(strip, lineHeight); return expected(band); }, STATE_MS);
}

inline bool Running(const Band& band) { return band.left == GREEN && band.leftWidth > 0 && band.right == GREY; }
inline bool Paused(const Band& band) { return band.left == YELLOW && band.leftWidth > 0 && band.right == OLIVE; }
// After the end of the media the bar spans the strip; with nothing open it is empty.
inline bool StoppedAtEnd(const Band& band) { return band.left == CYAN && band.leftWidth >= band.width - 1; }
inline bool StoppedEmpty(const Band& band) { return band.leftWidth == 0 && band.right == TEAL; }
