// tallyvox.exe as a process: start-up, forwarding launches and exit codes.
// Its state is read from outside, as any other program would see it: the
// window's class, title and size, and the colours of the band's bottom row.
#include <gtest/gtest.h>

#include <wchar.h>

#include "media.h"
#include "window_helpers.h"

namespace {

const DWORD START_MS = 20000;   // a Wine process start on a busy machine
const DWORD EXIT_MS = 20000;
const DWORD STATE_MS = 10000;

// Waits for handle while this thread keeps handling its messages: a child
// strip sends its parent (a window of this thread) messages as it comes and goes.
bool WaitPumping(HANDLE handle, DWORD milliseconds)
{
    DWORD start = GetTickCount();
    for (;;) {
        PumpMessages();
        DWORD spent = GetTickCount() - start;
        if (spent >= milliseconds) return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
        DWORD woke = MsgWaitForMultipleObjects(1, &handle, FALSE, milliseconds - spent, QS_ALLINPUT);
        if (woke == WAIT_OBJECT_0) return true;
    }
}

BOOL CALLBACK CloseWindowsOf(HWND window, LPARAM processId)
{
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == DWORD(processId)) PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}

// One started tallyvox.exe. Whatever the test did, the process is gone when
// this goes: closed politely first, terminated as a last resort.
struct Launch {
    PROCESS_INFORMATION process = {};

    explicit Launch(const WCHAR* arguments)
    {
        WCHAR commandLine[4096];
        _snwprintf(commandLine, 4096, L"\"%ls\" %ls", TALLYVOX_EXE, arguments);
        commandLine[4095] = 0;
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        EXPECT_TRUE(CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                   &process)) << GetLastError();
    }

    ~Launch()
    {
        if (!process.hProcess) return;
        if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) {
            EnumWindows(CloseWindowsOf, LPARAM(process.dwProcessId));
            if (!WaitPumping(process.hProcess, 5000)) TerminateProcess(process.hProcess, 1);
            WaitForSingleObject(process.hProcess, 5000);
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }

    // The exit code once the process has ended, or STILL_ACTIVE.
    DWORD WaitExit(DWORD milliseconds = EXIT_MS)
    {
        if (!process.hProcess) return STILL_ACTIVE;
        WaitPumping(process.hProcess, milliseconds);
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(process.hProcess, &code);
        return code;
    }

    bool Owns(HWND window) const
    {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        return owner == process.dwProcessId;
    }
};

BOOL CALLBACK CountStrip(HWND window, LPARAM count)
{
    WCHAR name[32];
    if (GetClassNameW(window, name, 32) && wcscmp(name, L"Tallyvox") == 0) ++*reinterpret_cast<int*>(count);
    return TRUE;
}

// Top-level strips on the whole display, whoever started them.
int CountStrips()
{
    int count = 0;
    EnumWindows(CountStrip, LPARAM(&count));
    return count;
}

HWND FindStrip(DWORD milliseconds = START_MS)
{
    HWND strip = nullptr;
    PumpUntil([&] { return (strip = FindWindowW(L"Tallyvox", nullptr)) != nullptr; }, milliseconds);
    return strip;
}

// Colour families of the band's bottom row, whatever the flicker dimming:
// the left bars have full channels (above 170), the right bars half ones.
enum Family { NONE, RED, GREEN, YELLOW, CYAN, GREY, OLIVE, TEAL, OTHER };

// Which of red, green and blue (bits 0, 1, 2) lie within low..high.
int ChannelsWithin(RGBQUAD pixel, int low, int high)
{
    auto within = [&](BYTE channel) { return channel >= low && channel <= high ? 1 : 0; };
    return within(pixel.rgbRed) | within(pixel.rgbGreen) << 1 | within(pixel.rgbBlue) << 2;
}

Family BrightFamily(RGBQUAD pixel)
{
    static const Family byChannels[8] = { NONE, RED, GREEN, YELLOW, OTHER, OTHER, CYAN, OTHER };
    return byChannels[ChannelsWithin(pixel, 171, 255)];
}

Family MidFamily(RGBQUAD pixel)
{
    static const Family byChannels[8] = { NONE, OTHER, OTHER, OLIVE, OTHER, OTHER, TEAL, GREY };
    return byChannels[ChannelsWithin(pixel, 61, 170)];
}

const char* Name(Family family)
{
    switch (family) {
    case NONE: return "none";
    case RED: return "red";
    case GREEN: return "green";
    case YELLOW: return "yellow";
    case CYAN: return "cyan";
    case GREY: return "grey";
    case OLIVE: return "olive";
    case TEAL: return "teal";
    default: return "other";
    }
}

// What the band shows: the left bar's colour and width, the right bar's colour.
struct Band {
    Family left = NONE;
    int leftWidth = -1;
    Family right = NONE;
    int width = 0;   // the client width the bars share
};

std::ostream& operator<<(std::ostream& out, const Band& band)
{
    return out << "left " << Name(band.left) << " x" << band.leftWidth << ", right " << Name(band.right)
               << " (of " << band.width << ")";
}

// The bottom row of the band (text never reaches it), read from the screen
// through the strip's own window DC.
Band ReadBand(HWND strip)
{
    Band band;
    RECT client;
    if (!GetClientRect(strip, &client) || client.right <= 0) return band;
    band.width = client.right;
    int row = (client.bottom < 24 ? client.bottom : 24) - 1;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = band.width;
    info.bmiHeader.biHeight = -1;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC window = GetDC(strip);
    HDC memory = CreateCompatibleDC(window);
    HBITMAP bitmap = CreateDIBSection(window, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, band.width, 1, window, 0, row, SRCCOPY);
    GdiFlush();
    const RGBQUAD* pixels = static_cast<const RGBQUAD*>(bits);
    band.left = BrightFamily(pixels[0]);
    band.leftWidth = 0;
    if (band.left != NONE) {
        while (band.leftWidth < band.width && BrightFamily(pixels[band.leftWidth]) == band.left) ++band.leftWidth;
    }
    if (band.leftWidth < band.width) band.right = MidFamily(pixels[band.width - 1]);
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(strip, window);
    return band;
}

// Polls the band until it shows what is expected; the last band read is left in band.
template <typename Condition>
bool WaitBand(HWND strip, Band& band, Condition expected, DWORD milliseconds = STATE_MS)
{
    return PumpUntil([&] { band = ReadBand(strip); return expected(band); }, milliseconds);
}

bool Running(const Band& band) { return band.left == GREEN && band.leftWidth > 0 && band.right == GREY; }
bool Paused(const Band& band) { return band.left == YELLOW && band.leftWidth > 0 && band.right == OLIVE; }
// After the end of the media the bar spans the strip; with nothing open it is empty.
bool StoppedAtEnd(const Band& band) { return band.left == CYAN && band.leftWidth >= band.width - 1; }
bool StoppedEmpty(const Band& band) { return band.leftWidth == 0 && band.right == TEAL; }

class ProcessTest : public testing::Test {
protected:
    void SetUp() override
    {
        // Strips are looked for across the display: none may be left from before.
        ASSERT_EQ(0, CountStrips());
    }

    // The strip's window, checked for what every top-level strip is.
    HWND TopLevelStrip(Launch& launch)
    {
        HWND strip = FindStrip();
        if (!strip) return nullptr;
        EXPECT_TRUE(launch.Owns(strip));
        WCHAR text[32] = {};
        GetClassNameW(strip, text, 32);
        EXPECT_STREQ(L"Tallyvox", text);
        GetWindowTextW(strip, text, 32);
        EXPECT_STREQ(L"Tallyvox", text);
        EXPECT_EQ(GetDesktopWindow(), GetAncestor(strip, GA_PARENT));
        RECT outer;
        GetWindowRect(strip, &outer);
        EXPECT_EQ(200, outer.right - outer.left);
        EXPECT_EQ(62, outer.bottom - outer.top);
        return strip;
    }

    // Closing the strip ends its process with exit code 0.
    static void CloseAndExpectExit(Launch& launch, HWND strip)
    {
        PostMessageW(strip, WM_CLOSE, 0, 0);
        EXPECT_EQ(0u, launch.WaitExit());
    }

    // A later launch hands its command over and ends, leaving one strip.
    static void Forward(const WCHAR* arguments)
    {
        Launch later(arguments);
        EXPECT_EQ(0u, later.WaitExit()) << "launch with " << testing::PrintToString(arguments);
        EXPECT_EQ(1, CountStrips()) << "after a launch with " << testing::PrintToString(arguments);
    }

    static void MediaFile(WCHAR* path, const WCHAR* name, int milliseconds)
    {
        TempFile(path, MAX_PATH, name);
        ASSERT_TRUE(WriteWav(path, milliseconds));
    }
};

// The right end of the white text cells in a row of line 2 (client rows 25
// to 34), the status line: its cells are white, and nothing else there is.
int StatusCellsEnd(HWND strip)
{
    HDC dc = GetDC(strip);
    int last = -1;
    RECT client;
    GetClientRect(strip, &client);
    for (int x = 0; x < client.right; ++x) {
        COLORREF pixel = GetPixel(dc, x, 30);
        if (GetRValue(pixel) > 240 && GetGValue(pixel) > 240 && GetBValue(pixel) > 240) last = x;
    }
    ReleaseDC(strip, dc);
    return last;
}

void Quoted(WCHAR* out, int capacity, const WCHAR* path)
{
    _snwprintf(out, capacity, L"\"%ls\"", path);
    out[capacity - 1] = 0;
}

// Nothing to play (no path, a file no filter renders, a path too long to
// hold): a top-level strip in its stopped colours with an empty bar, and
// the short "no file" on line 2 rather than the 19 asterisks it starts with.
TEST_F(ProcessTest, StripWithoutMediaStaysUpStoppedAndClosesWithExitCodeZero)
{
    WCHAR junk[MAX_PATH], quotedJunk[MAX_PATH + 2];
    TempFile(junk, MAX_PATH, L"process-junk.wav");
    ASSERT_TRUE(WriteJunk(junk));
    Quoted(quotedJunk, MAX_PATH + 2, junk);
    static WCHAR tooLong[1600];
    wcscpy(tooLong, L"Z:\\tallyvox-tests\\");
    for (size_t length = wcslen(tooLong); length < 1496; ++length) tooLong[length] = L'a' + length % 26;
    wcscpy(tooLong + 1496, L".wav");
    ASSERT_EQ(1500u, wcslen(tooLong));

    const struct {
        const char* name;
        const WCHAR* arguments;
    } cases[] = { { "no arguments", L"" }, { "junk file", quotedJunk }, { "1500-character path", tooLong } };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Launch player(c.arguments);
        HWND strip = TopLevelStrip(player);
        ASSERT_NE(nullptr, strip);
        Band band;
        EXPECT_TRUE(WaitBand(strip, band, StoppedEmpty)) << band;
        EXPECT_EQ(DWORD(STILL_ACTIVE), player.WaitExit(500));
        int statusEnd = StatusCellsEnd(strip);
        EXPECT_GT(statusEnd, 4);
        EXPECT_LT(statusEnd, band.width / 2);
        band = ReadBand(strip);
        EXPECT_TRUE(StoppedEmpty(band)) << band;
        CloseAndExpectExit(player, strip);
    }
}

// A WAV plays in the running colours, turns to the stopped ones with a full
// bar at its end, and closing then releases the graph and ends the process.
TEST_F(ProcessTest, WavPlaysToItsEndAndClosesWithExitCodeZero)
{
    WCHAR wav[MAX_PATH], arguments[MAX_PATH + 2];
    MediaFile(wav, L"process-short.wav", 1500);
    Quoted(arguments, MAX_PATH + 2, wav);
    Launch player(arguments);
    HWND strip = TopLevelStrip(player);
    ASSERT_NE(nullptr, strip);
    Band band;
    EXPECT_TRUE(WaitBand(strip, band, Running)) << band;
    EXPECT_TRUE(WaitBand(strip, band, StoppedAtEnd)) << band;
    EXPECT_EQ(DWORD(STILL_ACTIVE), player.WaitExit(0));
    CloseAndExpectExit(player, strip);
}

// A parent that names no window leaves nothing to show: the launch ends at
// once with exit code 0 and no strip, and plays nothing.
TEST_F(ProcessTest, ParentNamingNoWindowEndsWithoutStrip)
{
    WCHAR wav[MAX_PATH], arguments[MAX_PATH + 16];
    MediaFile(wav, L"process-orphan.wav", 1500);
    _snwprintf(arguments, MAX_PATH + 16, L"/P999999 \"%ls\"", wav);
    Launch player(arguments);
    bool stripSeen = false;
    PumpUntil([&] {
        stripSeen = stripSeen || CountStrips() != 0;
        return WaitForSingleObject(player.process.hProcess, 0) == WAIT_OBJECT_0;
    }, EXIT_MS);
    EXPECT_EQ(0u, player.WaitExit(0));
    EXPECT_FALSE(stripSeen);
}

// Later launches drive the running strip and end at once, leaving it the
// only strip. Its state shows in the band: green running, yellow paused,
// red volume with the bar at the level.
TEST_F(ProcessTest, LaterLaunchesForwardTheirCommandsToTheRunningStrip)
{
    WCHAR wav[MAX_PATH], arguments[MAX_PATH + 2];
    MediaFile(wav, L"process-long.wav", 20000);  // long enough never to end here
    Quoted(arguments, MAX_PATH + 2, wav);
    Launch player(arguments);
    HWND strip = TopLevelStrip(player);
    ASSERT_NE(nullptr, strip);
    Band band;
    ASSERT_TRUE(WaitBand(strip, band, Running)) << band;

    Forward(L"/pause");
    EXPECT_TRUE(WaitBand(strip, band, Paused)) << band;
    int pausedAt = band.leftWidth;
    Forward(L"-play");
    EXPECT_TRUE(WaitBand(strip, band, [&](const Band& b) { return Running(b) && b.leftWidth > pausedAt + 2; }))
        << band;

    // "/stop" only pauses: the bar keeps the position instead of going back to 0.
    int playedTo = band.leftWidth;
    Forward(L"/stop");
    EXPECT_TRUE(WaitBand(strip, band, [&](const Band& b) { return Paused(b) && b.leftWidth >= playedTo; })) << band;

    Forward(L"/tpause");
    EXPECT_TRUE(WaitBand(strip, band, Running)) << band;
    Forward(L"/tpause");
    EXPECT_TRUE(WaitBand(strip, band, Paused)) << band;

    // A launch without arguments changes nothing.
    Band before = ReadBand(strip);
    Forward(L"");
    PumpUntil([] { return false; }, 300);
    band = ReadBand(strip);
    EXPECT_TRUE(Paused(band)) << band;
    EXPECT_EQ(before.leftWidth, band.leftWidth);

    const struct {
        const WCHAR* arguments;
        int level;
    } volumes[] = { { L"/volume5000", 5000 }, { L"/volume+500", 5500 }, { L"/volume+500", 6000 },
                    { L"/volume-20000", 0 } };
    for (const auto& v : volumes) {
        SCOPED_TRACE(testing::PrintToString(v.arguments));
        Forward(v.arguments);
        EXPECT_TRUE(WaitBand(strip, band, [&](const Band& b) {
            int width = b.width * v.level / 10000;
            return b.right == GREY && b.leftWidth == width && (width == 0 || b.left == RED);
        })) << band;
    }

    // The volume display lasts two seconds; then the paused strip shows again.
    EXPECT_TRUE(WaitBand(strip, band, Paused)) << band;

    // A new path plays instead: a short file that reaches its end here.
    WCHAR second[MAX_PATH];
    MediaFile(second, L"process-second.wav", 1500);
    Quoted(arguments, MAX_PATH + 2, second);
    Forward(arguments);
    EXPECT_TRUE(WaitBand(strip, band, Running)) << band;
    EXPECT_TRUE(WaitBand(strip, band, StoppedAtEnd)) << band;
    CloseAndExpectExit(player, strip);
}

// A strip made a child with /P is not found by a later launch, which starts
// a top-level strip of its own. (A child of another process's window shows
// no pixels of its own under Wine, so only its window is checked.)
TEST_F(ProcessTest, ChildStripIsNotFoundByALaterLaunch)
{
    HWND parent = CreatePlainWindow(400, 300, 320, 200);
    ASSERT_NE(nullptr, parent);
    WCHAR arguments[32];
    _snwprintf(arguments, 32, L"/P%llu", static_cast<unsigned long long>(ULONG_PTR(parent)));
    Launch childPlayer(arguments);
    HWND child = nullptr;
    EXPECT_TRUE(PumpUntil([&] { return (child = FindWindowExW(parent, nullptr, L"Tallyvox", nullptr)) != nullptr; },
                          START_MS));
    if (child) {
        EXPECT_TRUE(childPlayer.Owns(child));
        EXPECT_TRUE(GetWindowLongW(child, GWL_STYLE) & WS_CHILD);
        EXPECT_EQ(parent, GetAncestor(child, GA_PARENT));
        RECT outer;
        GetWindowRect(child, &outer);
        EXPECT_EQ(200, outer.right - outer.left);
        EXPECT_EQ(62, outer.bottom - outer.top);
        EXPECT_EQ(DWORD(STILL_ACTIVE), childPlayer.WaitExit(500));
        EXPECT_EQ(nullptr, FindWindowW(L"Tallyvox", nullptr));

        Launch later(L"");
        HWND strip = TopLevelStrip(later);
        EXPECT_NE(nullptr, strip);
        EXPECT_EQ(1, CountStrips());
        if (strip) CloseAndExpectExit(later, strip);
        PostMessageW(child, WM_CLOSE, 0, 0);
        EXPECT_EQ(0u, childPlayer.WaitExit());
    }
    DestroyWindow(parent);
}

} // namespace
