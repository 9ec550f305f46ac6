// tallyvox.exe as a process: start-up, forwarding launches and exit codes.
#include "process_helpers.h"

#include <algorithm>
#include <regex>
#include <string>
#include <utility>
#include <vector>

namespace {

// A path of 1500 characters: more than the strip's path line holds.
const WCHAR* TooLongPath()
{
    static WCHAR path[1501] = L"Z:\\tallyvox-tests\\";
    for (size_t length = wcslen(path); length < 1496; ++length) path[length] = L'a' + length % 26;
    wcscpy(path + 1496, L".wav");
    return path;
}

// The prefix's DPI, which Wine gives every process started after the change;
// 96 again at the end, whatever failed, so that no later test sees another.
struct PrefixDpi {
    explicit PrefixDpi(DWORD dpi) { Set(dpi); }
    ~PrefixDpi() { Set(96); }
    static void Set(DWORD dpi)
    {
        for (HKEY root : { HKEY_CURRENT_USER, HKEY_CURRENT_CONFIG }) {
            const WCHAR* key = root == HKEY_CURRENT_USER ? L"Control Panel\\Desktop" : L"Software\\Fonts";
            EXPECT_EQ(ERROR_SUCCESS, RegSetKeyValueW(root, key, L"LogPixels", REG_DWORD, &dpi, sizeof dpi));
        }
    }
};

// `tallyvox.exe arguments | more`: the standard output (or error) read to its end, and the exit code.
std::pair<std::string, DWORD> AskThroughAPipe(const WCHAR* arguments, bool standardError = false)
{
    SECURITY_ATTRIBUTES inherited = { sizeof inherited, nullptr, TRUE };
    HANDLE read = nullptr, write = nullptr;
    EXPECT_TRUE(CreatePipe(&read, &write, &inherited, 0));
    SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    Launch launch(arguments, nullptr, L" ", standardError ? nullptr : write, standardError ? write : nullptr);
    CloseHandle(write);
    std::string output;
    char buffer[4096];
    for (DWORD got; ReadFile(read, buffer, sizeof buffer, &got, nullptr) && got;) output.append(buffer, got);
    CloseHandle(read);
    return { output, launch.WaitExit() };
}

// /status with output as its standard output: the exit code.
DWORD AskInto(HANDLE output)
{
    SetHandleInformation(output, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    return Launch(L"/status", nullptr, L" ", output).WaitExit();
}

// A console of this program's own while it lives, hidden, its screen wide
// enough for the longest line; output is its screen, which a launch can
// inherit. Wine gives a test program none it can hand on, so any it has is
// let go first; the standard handles are put back at the end.
struct OwnConsole {
    static const SHORT WIDTH = 400;
    HANDLE saved[3] = { GetStdHandle(STD_INPUT_HANDLE), GetStdHandle(STD_OUTPUT_HANDLE), GetStdHandle(STD_ERROR_HANDLE) };
    HANDLE output = INVALID_HANDLE_VALUE;
    OwnConsole()
    {
        FreeConsole();
        if (!AllocConsole()) return;
        ShowWindow(GetConsoleWindow(), SW_HIDE);
        SECURITY_ATTRIBUTES inherited = { sizeof inherited, nullptr, TRUE };
        output = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                             OPEN_EXISTING, 0, nullptr);
        SetConsoleScreenBufferSize(output, COORD{ WIDTH, 50 });
    }
    ~OwnConsole()
    {
        if (output != INVALID_HANDLE_VALUE) CloseHandle(output);
        FreeConsole();
        SetStdHandle(STD_INPUT_HANDLE, saved[0]);
        SetStdHandle(STD_OUTPUT_HANDLE, saved[1]);
        SetStdHandle(STD_ERROR_HANDLE, saved[2]);
    }
    // The characters of row y, without the blanks after them.
    std::wstring Row(SHORT y)
    {
        WCHAR cells[WIDTH];
        DWORD read = 0;
        ReadConsoleOutputCharacterW(output, cells, WIDTH, COORD{ 0, y }, &read);
        std::wstring row(cells, read);
        return row.erase(row.find_last_not_of(L' ') + 1);
    }
};

class ProcessTest : public testing::Test {
protected:
    // Strips are looked for across the display: none may be left from before.
    void SetUp() override { ASSERT_EQ(0, CountStrips()); }

    // The strip's window, checked for what every top-level strip is.
    static HWND TopLevelStrip(Launch& launch)
    {
        HWND strip = FindStrip();
        EXPECT_TRUE(launch.Owns(strip));
        for (auto read : { GetClassNameW, GetWindowTextW }) {
            WCHAR text[32] = {};
            read(strip, text, 32);
            EXPECT_STREQ(L"Tallyvox", text);
        }
        EXPECT_EQ(GetDesktopWindow(), GetAncestor(strip, GA_PARENT));
        RECT outer = {};
        GetWindowRect(strip, &outer);
        EXPECT_EQ(200, outer.right - outer.left);
        EXPECT_EQ(62, outer.bottom - outer.top);
        return strip;
    }

    static void CloseAndExpectExit(Launch& launch, HWND strip)
    {
        PostMessageW(strip, WM_CLOSE, 0, 0);
        EXPECT_EQ(0u, launch.WaitExit());
    }

    // A later launch hands its command over and ends, leaving one strip.
    static void Forward(const WCHAR* arguments)
    {
        EXPECT_EQ(0u, Launch(arguments).WaitExit()) << "launch with " << testing::PrintToString(arguments);
        EXPECT_EQ(1, CountStrips()) << "after a launch with " << testing::PrintToString(arguments);
    }
};

// Each launch shows a top-level strip that stays up until closed, then exits
// with 0. With nothing to play (no path, a file no filter renders, a path too
// long to hold) it is stopped with an empty bar, and line 2 shows the short
// "no file", not the 19 asterisks it starts with. A WAV plays in the running
// colours and at its end turns to the stopped ones with a full bar.
TEST_F(ProcessTest, StripShowsWhatItPlaysAndClosesWithExitCodeZero)
{
    WCHAR junk[MAX_PATH], quotedJunk[MAX_PATH + 2], wav[MAX_PATH + 2];
    TempFile(junk, MAX_PATH, L"process-junk.wav");
    ASSERT_TRUE(WriteJunk(junk));
    _snwprintf(quotedJunk, MAX_PATH + 2, L"\"%ls\"", junk);
    QuotedWav(wav, L"process-short.wav", 1500);
    const WCHAR* tooLong = TooLongPath();

    const struct {
        const WCHAR* arguments;
        bool (*first)(const Band&);
        bool (*last)(const Band&);
    } cases[] = { { L"", StoppedEmpty, StoppedEmpty }, { quotedJunk, StoppedEmpty, StoppedEmpty },
                  { tooLong, StoppedEmpty, StoppedEmpty }, { wav, Running, StoppedAtEnd } };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.arguments).substr(0, 80));
        Launch player(c.arguments);
        HWND strip = TopLevelStrip(player);
        ASSERT_NE(nullptr, strip);
        Band band;
        EXPECT_TRUE(WaitBand(strip, band, c.first)) << band;
        EXPECT_TRUE(WaitBand(strip, band, c.last)) << band;
        EXPECT_EQ(DWORD(STILL_ACTIVE), player.WaitExit(500));
        // The status line's text cells are white, and nothing else in row 30 is.
        int statusEnd = -1;
        HDC dc = GetDC(strip);
        for (int x = 0; x < band.width; ++x) statusEnd = GetPixel(dc, x, 30) == RGB(255, 255, 255) ? x : statusEnd;
        ReleaseDC(strip, dc);
        if (c.last == StoppedEmpty) EXPECT_TRUE(statusEnd > 4 && statusEnd < 96) << "line 2 ends at x " << statusEnd;
        CloseAndExpectExit(player, strip);
    }
}

// At the prefix's DPI the strip is 200x62 scaled: its band, a scaled line
// high, runs across the client area, and the first line, in a font of that
// height, runs on to its right edge.
TEST_F(ProcessTest, StripScalesToThePrefixDpi)
{
    const struct { DWORD dpi; int width, height, line; } cases[] = {
        { 96, 200, 62, 24 }, { 144, 300, 93, 36 }, { 192, 400, 124, 48 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dpi);
        PrefixDpi dpi(c.dpi);
        Launch player(TooLongPath());  // refused: the first line is the failure text, wider than any strip
        HWND strip = FindStrip();
        ASSERT_TRUE(player.Owns(strip));
        // Found as soon as it exists, the strip has its size for its DPI once it shows.
        EXPECT_TRUE(PumpUntil([&] { return IsWindowVisible(strip) != FALSE; }, START_MS));
        RECT outer = {}, client = {};
        GetWindowRect(strip, &outer);
        GetClientRect(strip, &client);
        EXPECT_EQ(c.width, outer.right - outer.left);
        EXPECT_EQ(c.height, outer.bottom - outer.top);
        Band band;
        EXPECT_TRUE(WaitBand(strip, band, StoppedEmpty, c.line)) << band;
        // The band's last row is teal from edge to edge, the row below it holds none; the
        // first line's ink (silver: the bars have no red) spans most of the line and reaches the right edge.
        int teal[2], top = c.line, bottom = -1, left = client.right, right = -1;
        auto scan = [&] {  // ink over several frames: a frame read while it is painted lacks some
            HDC dc = GetDC(strip);
            teal[0] = teal[1] = 0;
            for (int y = 0; y <= c.line; ++y) {
                for (int x = 0; x < client.right; ++x) {
                    COLORREF pixel = GetPixel(dc, x, y);
                    if (y >= c.line - 1) teal[y - c.line + 1] += FamilyOf(pixel, false) == TEAL;
                    if (y == c.line || GetRValue(pixel) <= 32) continue;
                    top = std::min(top, y), bottom = std::max(bottom, y);
                    left = std::min(left, x), right = std::max(right, x);
                }
            }
            ReleaseDC(strip, dc);
            // The failure text is painted at the tick after the open.
            return right >= client.right - c.line / 4 && bottom - top + 1 > c.line * 2 / 3;
        };
        EXPECT_TRUE(PumpUntil(scan, STATE_MS)) << "ink up to x " << right << ", from row " << top << " to " << bottom;
        EXPECT_EQ(client.right, teal[0]);
        EXPECT_EQ(0, teal[1]);
        EXPECT_TRUE(left >= c.line / 6 && left < c.line / 2) << "ink from x " << left;  // the text's offset scales too
        CloseAndExpectExit(player, strip);
    }
}

// A parent that names no window leaves nothing to show, as Windows makes no
// child of no window: no strip, nothing plays, exit code 0.
TEST_F(ProcessTest, ParentNamingNoWindowEndsWithoutStrip)
{
    WCHAR wav[MAX_PATH + 2], arguments[MAX_PATH + 16];
    QuotedWav(wav, L"process-orphan.wav", 1500);
    _snwprintf(arguments, MAX_PATH + 16, L"/P999999 %ls", wav);
    Launch player(arguments);
    PumpUntil([&] { return CountStrips() != 0 || player.Ended(0); }, EXIT_MS);
    EXPECT_EQ(0, CountStrips());
    EXPECT_EQ(0u, player.WaitExit(0));
}

// Later launches drive the running strip and end at once, leaving it the
// only strip. Its state shows in the band: green running, yellow paused,
// red volume with the bar at the level.
TEST_F(ProcessTest, LaterLaunchesForwardTheirCommandsToTheRunningStrip)
{
    WCHAR arguments[MAX_PATH + 2];
    QuotedWav(arguments, L"process-long.wav", 20000);  // long enough never to end here
    Launch player(arguments);
    HWND strip = TopLevelStrip(player);
    ASSERT_NE(nullptr, strip);
    Band band;
    ASSERT_TRUE(WaitBand(strip, band, Running)) << band;

    Forward(L"/pause");
    EXPECT_TRUE(WaitBand(strip, band, Paused)) << band;
    int pausedAt = band.leftWidth;
    Forward(L"/play");
    EXPECT_TRUE(WaitBand(strip, band, [&](const Band& b) { return Running(b) && b.leftWidth > pausedAt + 2; }))
        << band;
    // "/stop" only pauses: the bar keeps the position instead of going back to 0.
    int playedTo = band.leftWidth;
    Forward(L"/stop");
    EXPECT_TRUE(WaitBand(strip, band, [&](const Band& b) { return Paused(b) && b.leftWidth >= playedTo; })) << band;
    // A /P naming no window means nothing to a launch that forwards.
    const std::pair<const WCHAR*, bool (*)(const Band&)> toggles[] = { { L"/P999999 /tpause", Running },
                                                                      { L"/tpause", Paused } };
    for (const auto& toggle : toggles) {
        Forward(toggle.first);
        EXPECT_TRUE(WaitBand(strip, band, toggle.second)) << band;
    }

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
    QuotedWav(arguments, L"process-second.wav", 1500);
    Forward(arguments);
    EXPECT_TRUE(WaitBand(strip, band, Running)) << band;
    EXPECT_TRUE(WaitBand(strip, band, StoppedAtEnd)) << band;
    // A path too long to hold reaches the strip and is refused there: no graph is left.
    Forward(TooLongPath());
    EXPECT_TRUE(WaitBand(strip, band, StoppedEmpty)) << band;
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
    ASSERT_TRUE(PumpUntil([&] { return (child = FindWindowExW(parent, nullptr, L"Tallyvox", nullptr)) != nullptr; },
                          START_MS));
    EXPECT_TRUE(childPlayer.Owns(child));
    EXPECT_TRUE(GetWindowLongW(child, GWL_STYLE) & WS_CHILD);
    EXPECT_EQ(DWORD(STILL_ACTIVE), childPlayer.WaitExit(500));
    EXPECT_EQ(nullptr, FindWindowW(L"Tallyvox", nullptr));

    Launch later(L"");
    HWND strip = TopLevelStrip(later);
    ASSERT_NE(nullptr, strip);
    EXPECT_EQ(1, CountStrips());
    CloseAndExpectExit(later, strip);
    PostMessageW(child, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, childPlayer.WaitExit());
    DestroyWindow(parent);
}

// What /status says the running strip plays, from "state=" to "index=" with the path as UTF-8.
std::string Status()
{
    return AskThroughAPipe(L"/status").first;
}

std::string Utf8(const WCHAR* text)
{
    char bytes[MAX_PATH * 3];
    WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes, sizeof bytes, nullptr, nullptr);
    return bytes;
}

// /queue: the first path plays and the rest follow, in order; a later /queue
// adds to the end without replacing what plays, and one whose paths the
// queue cannot all hold queues the first, then beeps and says how many it
// could not; a plain path clears what waits.
TEST_F(ProcessTest, QueueLaunchesPlayInOrderAndAFullQueueSaysSo)
{
    WCHAR paths[3][MAX_PATH], quoted[3][MAX_PATH + 2], longWav[MAX_PATH + 2];
    std::wstring arguments = L"/queue";
    for (int i = 0; i < 3; ++i) {
        const WCHAR* names[] = { L"process-queue-a.wav", L"process-queue-b.wav", L"process-queue-c.wav" };
        QuotedWav(quoted[i], names[i], 1500);
        TempFile(paths[i], MAX_PATH, names[i]);
        arguments += std::wstring(L" ") + quoted[i];
    }
    QuotedWav(longWav, L"process-queue-long.wav", 20000);
    Launch player(arguments.c_str());
    HWND strip = TopLevelStrip(player);
    ASSERT_NE(nullptr, strip);
    std::vector<std::string> played;
    std::string status;
    EXPECT_TRUE(PumpUntil([&] {
        status = Status();
        size_t start = status.find("path="), end = status.find("\r\n", start);
        std::string path = start == std::string::npos ? "" : status.substr(start + 5, end - start - 5);
        if (!path.empty() && (played.empty() || played.back() != path)) played.push_back(path);
        return status.find("state=ended") == 0;
    }, 30000)) << status;
    EXPECT_EQ((std::vector<std::string>{ Utf8(paths[0]), Utf8(paths[1]), Utf8(paths[2]) }), played);
    EXPECT_NE(std::string::npos, status.find("\r\nqueue=0\r\nindex=3\r\n")) << status;

    Forward(longWav);
    EXPECT_NE(std::string::npos, Status().find("\r\nqueue=0\r\nindex=1\r\n"));
    std::wstring many = L"/queue";
    for (int i = 0; i < 300; ++i) many += L" Z:\\tallyvox-none\\q" + std::to_wstring(i) + L".wav";
    EXPECT_EQ(std::make_pair(std::string("Tallyvox: 45 not queued, the queue is full\r\n"), DWORD(0)),
              AskThroughAPipe(many.c_str(), true));
    status = Status();
    EXPECT_EQ(0u, status.find("state=playing")) << status;
    EXPECT_NE(std::string::npos, status.find("\r\nqueue=255\r\nindex=1\r\n")) << status;
    // A plain path plays instead, clears what waits and says nothing.
    EXPECT_EQ(std::make_pair(std::string(), DWORD(0)), AskThroughAPipe(quoted[0], true));
    status = Status();
    EXPECT_NE(std::string::npos, status.find("\r\nqueue=0\r\nindex=1\r\n")) << status;
    EXPECT_NE(std::string::npos, status.find(Utf8(paths[0]))) << status;
    CloseAndExpectExit(player, strip);

    // A launch that becomes the strip says so too, on the error output it was
    // handed, and plays on; it reads nothing more from that pipe, which it holds.
    SECURITY_ATTRIBUTES inherited = { sizeof inherited, nullptr, TRUE };
    HANDLE read = nullptr, write = nullptr;
    ASSERT_TRUE(CreatePipe(&read, &write, &inherited, 0));
    SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    Launch first((many + L" " + longWav).c_str(), nullptr, L" ", nullptr, write);
    CloseHandle(write);
    std::string line;
    EXPECT_TRUE(PumpUntil([&] {
        DWORD waiting = 0, got = 0;
        char bytes[256];
        if (PeekNamedPipe(read, nullptr, 0, nullptr, &waiting, nullptr) && waiting &&
            ReadFile(read, bytes, sizeof bytes, &got, nullptr))
            line.append(bytes, got);
        return line.find('\n') != std::string::npos;
    }, START_MS)) << line;
    EXPECT_EQ("Tallyvox: 45 not queued, the queue is full\r\n", line);
    strip = TopLevelStrip(first);
    EXPECT_EQ(0u, Status().find("state=failed")) << "its first path names no file";
    CloseHandle(read);
    CloseAndExpectExit(first, strip);
}

// With no strip, /status prints nothing, exits 1 and starts none, even with
// a path beside it; with one, seven UTF-8 lines and 0, whatever else the line
// holds. A console gets the lines as its characters, whatever its code page;
// an output that takes nothing (a pipe nobody reads, a file open for reading
// only) makes 3.
TEST_F(ProcessTest, StatusWhereverItsOutputGoes)
{
    WCHAR wav[MAX_PATH + 2], path[MAX_PATH];
    char utf8[MAX_PATH * 3];
    const WCHAR* name = L"process-\u00e9t\u00e9-\u97f3.wav";
    QuotedWav(wav, name, 20000);
    TempFile(path, MAX_PATH, name);
    WideCharToMultiByte(CP_UTF8, 0, path, -1, utf8, sizeof utf8, nullptr, nullptr);
    std::wstring besides = std::wstring(L"/status /pause /volume10 ") + wav;
    for (const WCHAR* line : { L"/status", besides.c_str() }) {
        EXPECT_EQ(std::make_pair(std::string(), DWORD(1)), AskThroughAPipe(line));
        EXPECT_EQ(0, CountStrips());
    }
    Launch player(wav);
    HWND strip = TopLevelStrip(player);
    ASSERT_NE(nullptr, strip);
    Band band;
    ASSERT_TRUE(WaitBand(strip, band, Running)) << band;
    for (const WCHAR* line : { L"/status", besides.c_str() }) {
        auto asked = AskThroughAPipe(line);
        std::smatch parts;
        EXPECT_TRUE(std::regex_match(asked.first, parts, std::regex("state=playing\r\nposition=1?[0-9]\\.[0-9]{3}\r\n"
                                                                    "duration=20\\.000\r\nvolume=9500\r\npath=(.*)\r\n"
                                                                    "queue=0\r\nindex=1\r\n")))
            << asked.first;
        EXPECT_EQ(utf8, parts.size() == 2 ? parts[1].str() : "");
        EXPECT_EQ(0u, asked.second);
    }
    {
        OwnConsole console;
        ASSERT_NE(INVALID_HANDLE_VALUE, console.output);
        EXPECT_EQ(0u, AskInto(console.output));
        EXPECT_EQ(L"state=playing", console.Row(0));
        EXPECT_TRUE(std::regex_match(console.Row(1), std::wregex(L"position=1?[0-9]\\.[0-9]{3}"))) << console.Row(1);
        EXPECT_EQ(L"duration=20.000", console.Row(2));
        EXPECT_EQ(L"volume=9500", console.Row(3));
        EXPECT_EQ(std::wstring(L"path=") + path, console.Row(4));
        EXPECT_EQ(L"queue=0", console.Row(5));
        EXPECT_EQ(L"index=1", console.Row(6));
        EXPECT_EQ(L"", console.Row(7));
    }
    HANDLE read = nullptr, broken = nullptr;
    ASSERT_TRUE(CreatePipe(&read, &broken, nullptr, 0));
    CloseHandle(read);
    WCHAR file[MAX_PATH];
    TempFile(file, MAX_PATH, L"process-read-only.txt");
    ASSERT_TRUE(WriteJunk(file));
    HANDLE readOnly = CreateFileW(file, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    for (HANDLE output : { broken, readOnly }) EXPECT_EQ(3u, AskInto(output));
    CloseHandle(broken);
    CloseHandle(readOnly);
    Forward(L"/pause");
    EXPECT_TRUE(WaitBand(strip, band, Paused)) << band;
    EXPECT_EQ(0u, AskThroughAPipe(L"/status").first.find("state=paused\r\n"));
    CloseAndExpectExit(player, strip);
}

} // namespace
