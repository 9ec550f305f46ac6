// Robustness: hundreds of malformed launches against a running strip, and
// hundreds of opens in one strip that must keep no graph, handle, GDI or USER
// object and no memory beyond what Wine's DirectShow keeps by itself.
#include "app/main_window.h"
#include "app/state.h"
#include "player/player.h"

#include <gtest/gtest.h>
#include <psapi.h>
#include <winternl.h>
#include <stdio.h>
#include <wchar.h>

#include "media.h"
#include "window_helpers.h"

namespace {

const DWORD LAUNCH_MS = 30000;   // a forwarded open waits for the strip's render
const DWORD STATE_MS = 5000;

// A fixed seed: a failing line can be made again.
struct Random {
    unsigned long long state;
    unsigned Next()
    {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return unsigned(state >> 11);
    }
    int Below(int n) { return int(Next() % unsigned(n)); }
};

// A command line being built, kept below what CreateProcessW takes.
struct Line {
    static const int CAPACITY = 32000;
    WCHAR text[CAPACITY];
    int length = 0;
    void Put(WCHAR ch) { if (length < CAPACITY - 1) text[length++] = ch, text[length] = 0; }
    void Put(const WCHAR* s) { while (*s) Put(*s++); }
};

// No backslash and no colon: a junk token never names a drive, a share or a URL.
const WCHAR JUNK[] = { 'a', 'Z', 'q', '0', '7', '9', ' ', '\t', '"', '"', '-', '/', '.', '%', '*', '?', '<', '|',
                       '\'', '+', '=', '#', 1, 7, 8, 27, 31, 127, 0xE9, 0x5931, 0x6557, 0xFFFD, 0xD800, 0xDC00,
                       0x200B, 0xFEFF };

void PutJunk(Line& line, Random& random, int length)
{
    for (int i = 0; i < length; ++i) line.Put(JUNK[random.Below(int(sizeof JUNK / sizeof JUNK[0]))]);
}

int JunkLength(Random& random)
{
    int kind = random.Below(10);
    return kind < 7 ? 1 + random.Below(20) : kind < 9 ? 20 + random.Below(300) : 300 + random.Below(7700);
}

void PutNumber(Line& line, Random& random)
{
    int digits = random.Below(4) == 0 ? 20 + random.Below(60) : 1 + random.Below(12);
    if (random.Below(5) == 0) line.Put(L'-');
    for (int i = 0; i < digits; ++i) line.Put(WCHAR(L'0' + random.Below(10)));
}

// One random argument: an option with junk after it, a path that does not
// exist (up to 1500 characters), plain junk, quotes or a line break.
void PutToken(Line& line, Random& random)
{
    static const WCHAR* const OPTIONS[] = { L"/play", L"/pause", L"/stop", L"/tpause", L"-play", L"/volume",
                                            L"/volume+", L"/volume-", L"-volume-", L"/volumes", L"/V", L"/VL",
                                            L"/VR", L"/VLR", L"/Volume", L"/PLAY", L"/P-", L"/Px", L"/", L"-" };
    switch (random.Below(8)) {
    case 0:
    case 1:
        line.Put(OPTIONS[random.Below(int(sizeof OPTIONS / sizeof OPTIONS[0]))]);
        if (random.Below(2)) PutNumber(line, random);
        else if (random.Below(2)) PutJunk(line, random, JunkLength(random));
        break;
    case 2: {
        bool quoted = random.Below(2);
        if (quoted) line.Put(L'"');
        line.Put(L"Z:\\tallyvox-missing-folder\\");
        int length = random.Below(3) ? 1 + random.Below(60) : 1000 + random.Below(500);
        for (int i = 0; i < length; ++i) line.Put(WCHAR(L'a' + random.Below(26)));
        if (random.Below(2)) line.Put(L".wav");
        if (quoted && random.Below(4)) line.Put(L'"');
        break;
    }
    case 3:
        line.Put(random.Below(2) ? L"\"\"\"" : L"\"");
        PutJunk(line, random, JunkLength(random));
        break;
    case 4:
        line.Put(random.Below(3) == 0 ? L"\r\n" : random.Below(2) ? L"\n" : L"\r");
        break;
    default:
        PutJunk(line, random, JunkLength(random));
        break;
    }
}

// A started tallyvox.exe; ended by its handle if a failed check leaves it running.
struct Process {
    PROCESS_INFORMATION info = {};
    ~Process() { if (info.hProcess) Finish(0); }
    bool Start(WCHAR* commandLine, const WCHAR* folder = nullptr)
    {
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        return CreateProcessW(TALLYVOX_EXE, commandLine, nullptr, nullptr, FALSE, 0, nullptr, folder, &startup,
                              &info) != 0;
    }
    // The exit code, or STILL_ACTIVE when the deadline passed (the process is then ended).
    DWORD Finish(DWORD milliseconds)
    {
        DWORD code = STILL_ACTIVE;
        if (WaitForSingleObject(info.hProcess, milliseconds) != WAIT_OBJECT_0) TerminateProcess(info.hProcess, 99);
        else GetExitCodeProcess(info.hProcess, &code);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
        info = {};
        return code;
    }
};

DWORD Launch(const WCHAR* arguments)
{
    static Line line;
    line.length = 0;
    line.Put(L"\"" TALLYVOX_EXE L"\" ");
    line.Put(arguments);
    Process process;
    if (!process.Start(line.text)) return GetLastError();
    return process.Finish(LAUNCH_MS);
}

// The band's bottom row at x 0, which no text reaches: the left bar's colour
// (green running, yellow paused, red volume) or, with no bar, the stopped right bar.
enum Shade { OTHER, GREEN, YELLOW, RED, TEAL };

COLORREF BandPixel(HWND strip)
{
    RECT client;
    GetClientRect(strip, &client);
    HDC dc = GetDC(strip);
    COLORREF pixel = GetPixel(dc, 0, (client.bottom < 24 ? client.bottom : 24) - 1);
    ReleaseDC(strip, dc);
    return pixel;
}

Shade ShadeOf(COLORREF c)
{
    int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
    auto high = [](int x) { return x > 170; };
    auto low = [](int x) { return x < 40; };
    auto mid = [](int x) { return x > 60 && x <= 170; };
    if (low(r) && high(g) && low(b)) return GREEN;
    if (high(r) && high(g) && low(b)) return YELLOW;
    if (high(r) && low(g) && low(b)) return RED;
    if (low(r) && mid(g) && mid(b)) return TEAL;
    return OTHER;
}

// Reads the band until it shows want; the flicker dims it differently from
// tick to tick, so a live strip shows more than one value of the same shade.
bool ShowsLive(HWND strip, Shade want, COLORREF* seen)
{
    int distinct = 0;
    COLORREF first = CLR_INVALID;
    bool shown = PumpUntil([&] {
        COLORREF c = BandPixel(strip);
        *seen = c;
        if (ShadeOf(c) != want) return false;
        if (first == CLR_INVALID) first = c, distinct = 1;
        else if (c != first) distinct = 2;
        return distinct == 2;
    }, STATE_MS);
    return shown;
}

class RobustnessTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(nullptr, FindWindowW(STRIP_CLASS_NAME, nullptr)) << "a strip is left over"; }
};

TEST_F(RobustnessTest, MalformedLaunchesLeaveTheStripRunning)
{
    WCHAR wav[MAX_PATH], missing[MAX_PATH], folder[MAX_PATH], arguments[2 * MAX_PATH];
    TempFile(wav, MAX_PATH, L"robust-30s.wav");
    ASSERT_TRUE(WriteWav(wav, 30000));
    TempFile(missing, MAX_PATH, L"robust-missing.wav");
    // The strip works in an empty folder, so a relative junk path names nothing.
    TempFile(folder, MAX_PATH, L"robust-empty");
    CreateDirectoryW(folder, nullptr);

    static Line line;
    line.Put(L"\"" TALLYVOX_EXE L"\" \"");
    line.Put(wav);
    line.Put(L"\"");
    Process strip;
    ASSERT_TRUE(strip.Start(line.text, folder));
    HWND window = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (window = FindWindowW(STRIP_CLASS_NAME, nullptr)) != nullptr; }, 20000));

    Random random = { 0x7A11F0C5ULL };
    const int LAUNCHES = 300, CHECK_EVERY = 50;
    DWORD start = GetTickCount(), slowest = 0;
    int longest = 0;
    for (int n = 1; n <= LAUNCHES; ++n) {
        line.length = 0;
        line.Put(L"\"" TALLYVOX_EXE L"\"");
        for (int tokens = 1 + random.Below(6); tokens > 0 && line.length < 24000; --tokens) {
            if (random.Below(4)) line.Put(random.Below(4) ? L" " : L"\t");
            PutToken(line, random);
        }
        if (line.length > longest) longest = line.length;
        DWORD began = GetTickCount();
        Process launch;
        ASSERT_TRUE(launch.Start(line.text)) << "launch " << n << ": " << GetLastError();
        DWORD code = launch.Finish(LAUNCH_MS);
        DWORD took = GetTickCount() - began;
        if (took > slowest) slowest = took;
        ASSERT_EQ(0u, code) << "launch " << n << " of " << line.length << " characters";
        ASSERT_TRUE(IsWindow(window)) << "after launch " << n;
        ASSERT_EQ(window, FindWindowW(STRIP_CLASS_NAME, nullptr)) << "after launch " << n;

        if (n % CHECK_EVERY) continue;
        // The paint still follows the state: nothing open, playing, paused.
        COLORREF seen;
        _snwprintf(arguments, 2 * MAX_PATH, L"\"%ls\"", missing);
        EXPECT_EQ(0u, Launch(arguments));
        EXPECT_TRUE(ShowsLive(window, TEAL, &seen)) << "after launch " << n << ": 0x" << std::hex << seen;
        _snwprintf(arguments, 2 * MAX_PATH, L"\"%ls\"", wav);
        EXPECT_EQ(0u, Launch(arguments));
        EXPECT_TRUE(ShowsLive(window, GREEN, &seen)) << "after launch " << n << ": 0x" << std::hex << seen;
        EXPECT_EQ(0u, Launch(L"/pause"));
        EXPECT_TRUE(ShowsLive(window, YELLOW, &seen)) << "after launch " << n << ": 0x" << std::hex << seen;
        EXPECT_EQ(0u, Launch(L"/play"));
    }
    DWORD spent = GetTickCount() - start;
    printf("[ robust   ] %d malformed launches (up to %d characters) in %lu ms (%lu ms each on average, slowest "
           "%lu ms)\n", LAUNCHES, longest, spent, spent / LAUNCHES, slowest);

    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, strip.Finish(20000));
}

// What the process holds. Wine 8 answers GetProcessHandleCount with 0,
// GetGuiResources with 0 and leaves PrivateUsage 0; each falls back to a count
// that works there: the handle table probed handle by handle, the GDI handle
// table the PEB points at, the windows of the process, the commit charge.
struct Footprint {
    DWORD handles, gdi, user;
    SIZE_T privateBytes;
    const char* sources[4];

    static DWORD ProbeHandles()
    {
        // Handle values are handed out lowest first: the table ends well before a long run of free values.
        DWORD count = 0, flags;
        for (ULONG_PTR value = 4, free = 0; free < 0x4000; value += 4) {
            if (GetHandleInformation(HANDLE(value), &flags)) ++count, free = 0;
            else ++free;
        }
        return count;
    }
    static DWORD GdiTableEntries()
    {
        // PEB.GdiSharedHandleTable (offset 0xF8): 24-byte entries, a type byte at 14, 0 when free.
        void* peb = reinterpret_cast<void**>(NtCurrentTeb())[12];
        const BYTE* table = static_cast<const BYTE*>(reinterpret_cast<void**>(peb)[0xF8 / 8]);
        MEMORY_BASIC_INFORMATION region;
        if (!table || !VirtualQuery(table, &region, sizeof region) || region.State != MEM_COMMIT) return 0;
        SIZE_T entries = (static_cast<const BYTE*>(region.BaseAddress) + region.RegionSize - table) / 24;
        DWORD count = 0;
        for (SIZE_T i = 0; i < entries && i < 0x10000; ++i) count += table[i * 24 + 14] != 0;
        return count;
    }
    static BOOL CALLBACK CountOwn(HWND window, LPARAM count)
    {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process == GetCurrentProcessId()) ++*reinterpret_cast<DWORD*>(count);
        return TRUE;
    }
    static BOOL CALLBACK CountTree(HWND window, LPARAM count)
    {
        CountOwn(window, count);
        EnumChildWindows(window, CountOwn, count);
        return TRUE;
    }
    static DWORD OwnWindows()
    {
        DWORD count = 0;
        EnumWindows(CountTree, LPARAM(&count));
        for (HWND window = nullptr; (window = FindWindowExW(HWND_MESSAGE, window, nullptr, nullptr)) != nullptr;)
            CountTree(window, LPARAM(&count));
        return count;
    }
    static Footprint Now()
    {
        Footprint f = { 0, 0, 0, 0, { "GetProcessHandleCount", "GetGuiResources", "GetGuiResources", "PrivateUsage" } };
        HANDLE self = GetCurrentProcess();
        GetProcessHandleCount(self, &f.handles);
        if (!f.handles) f.handles = ProbeHandles(), f.sources[0] = "handle probe";
        if (!(f.gdi = GetGuiResources(self, GR_GDIOBJECTS))) f.gdi = GdiTableEntries(), f.sources[1] = "GDI table";
        if (!(f.user = GetGuiResources(self, GR_USEROBJECTS))) f.user = OwnWindows(), f.sources[2] = "windows";
        PROCESS_MEMORY_COUNTERS_EX memory = {};
        memory.cb = sizeof memory;
        GetProcessMemoryInfo(self, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
        f.privateBytes = memory.PrivateUsage;
        if (!f.privateBytes) f.privateBytes = memory.PagefileUsage, f.sources[3] = "PagefileUsage";
        return f;
    }
    void Print(const char* when) const
    {
        printf("[ robust   ] %s: %lu handles (%s), %lu GDI objects (%s), %lu USER objects (%s), %.2f MiB private (%s)\n",
               when, handles, sources[0], gdi, sources[1], user, sources[2], privateBytes / 1048576.0, sources[3]);
    }
};

void Pump(DWORD milliseconds)
{
    PumpUntil([] { return false; }, milliseconds);
}

// What Wine's DirectShow itself keeps after one graph is made, renders path
// (none: nothing), runs for a moment and is released to its last reference.
// Wine 8 leaks there: some 72 handles a render, about 1 MiB a missing file,
// several MiB a video. The product is measured against this.
struct Cost {
    double handles, mib;
};

Cost WineCost(const WCHAR* path)
{
    auto once = [path] {
        IGraphBuilder* graph = nullptr;
        if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                    reinterpret_cast<void**>(&graph))))
            return;
        IMediaControl* control = nullptr;
        graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control));
        BSTR name = path ? SysAllocString(path) : nullptr;
        if (name && SUCCEEDED(control->RenderFile(name))) {
            control->Run();
            OAFilterState state;
            for (int i = 0; i < 30 && control->GetState(1000, &state) != S_OK; ++i) {}
            Pump(30);
            control->Pause();
            for (int i = 0; i < 30 && control->GetState(1000, &state) != S_OK; ++i) {}
            control->Stop();
        }
        SysFreeString(name);
        control->Release();
        EXPECT_EQ(0u, graph->Release());
    };
    once();
    const int RUNS = 4;
    Footprint before = Footprint::Now();
    for (int i = 0; i < RUNS; ++i) once();
    Footprint after = Footprint::Now();
    return { (double(after.handles) - before.handles) / RUNS,
             (double(after.privateBytes) - before.privateBytes) / RUNS / 1048576.0 };
}

TEST_F(RobustnessTest, LongRunsOfOpensLoseNothing)
{
    CoInitialize(nullptr);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    RegisterStripClass(instance);
    g_mainWindow = CreateStripWindow(instance, nullptr);
    ASSERT_NE(nullptr, g_mainWindow);
    ShowWindow(g_mainWindow, SW_SHOWNORMAL);
    SetTimer(g_mainWindow, TICK_TIMER_ID, TICK_INTERVAL_MS, nullptr);

    WCHAR good[3][MAX_PATH], shortClip[MAX_PATH], junk[MAX_PATH], missing[MAX_PATH], video[MAX_PATH];
    WCHAR longPath[1600], final[MAX_PATH];
    for (int i = 0; i < 3; ++i) {
        WCHAR name[32];
        _snwprintf(name, 32, L"robust-%d.wav", i);
        TempFile(good[i], MAX_PATH, name);
        ASSERT_TRUE(WriteWav(good[i], 300 + 100 * i));
    }
    TempFile(shortClip, MAX_PATH, L"robust-short.wav");
    ASSERT_TRUE(WriteWav(shortClip, 200));
    TempFile(junk, MAX_PATH, L"robust-junk.wav");
    ASSERT_TRUE(WriteJunk(junk));
    TempFile(video, MAX_PATH, L"robust-video.avi");
    ASSERT_TRUE(WriteAvi(video, 32, 24, 10, 25));
    TempFile(missing, MAX_PATH, L"robust-missing.wav");
    TempFile(final, MAX_PATH, L"robust-final.wav");
    ASSERT_TRUE(WriteWav(final, 3000));
    wcscpy(longPath, L"Z:\\tallyvox-missing-folder\\");
    for (int i = int(wcslen(longPath)); i < 1500; ++i) longPath[i] = L'x';
    longPath[1500] = 0;

    enum { WAV, JUNK, MISSING, VIDEO, GRAPH_ONLY };
    const WCHAR* calibrated[] = { good[1], junk, missing, video, nullptr };
    Cost wine[5];
    for (int k = 0; k < 5; ++k) wine[k] = WineCost(calibrated[k]);
    printf("[ robust   ] Wine's own cost of one open: wav %+.0f handles %+.2f MiB, junk %+.0f %+.2f MiB, missing "
           "%+.0f %+.2f MiB, avi %+.0f %+.2f MiB, bare graph %+.0f %+.2f MiB\n", wine[WAV].handles, wine[WAV].mib,
           wine[JUNK].handles, wine[JUNK].mib, wine[MISSING].handles, wine[MISSING].mib, wine[VIDEO].handles,
           wine[VIDEO].mib, wine[GRAPH_ONLY].handles, wine[GRAPH_ONLY].mib);

    auto opensGood = [&](const WCHAR* path) {
        return PlayerOpen(&g_player, path) == 1 && g_player.filterState == State_Running &&
               wcscmp(g_mediaPath, path) == 0;
    };
    auto failsVisibly = [&](const WCHAR* path) {
        return PlayerOpen(&g_player, path) == 0 && g_player.graph == nullptr &&
               wcsncmp(g_titleLine, L"\u5931\u6557:", 3) == 0 && wcsncmp(g_mediaPath, L"\u5931\u6557:", 3) == 0;
    };
    // Open n of a cycle of ten; quiet leaves out the video and the missing
    // file, whose memory Wine keeps in amounts that vary from run to run.
    // Returns what Wine itself keeps of that open.
    auto step = [&](int n, bool quiet) {
        // A graph the open lets go of must go with its last reference: hold
        // one of our own across the open and give it back last.
        IGraphBuilder* old = g_player.graph;
        if (old) old->AddRef();
        const WCHAR* file = good[n % 3];
        Cost cost = wine[WAV];
        switch (n % 10) {
        case 0: // after a failure: a new graph
        case 3:
        case 8: // replacing a video while it plays
            EXPECT_TRUE(opensGood(file)) << "open " << n;
            break;
        case 1: // replacement while playing: a new graph, at the new-graph volume
            EXPECT_EQ(State_Running, g_player.filterState) << "open " << n;
            PlayerSetVolume(&g_player, 6000);
            EXPECT_TRUE(opensGood(file)) << "open " << n;
            EXPECT_NE(old, g_player.graph) << "open " << n;
            EXPECT_EQ(9500, VolumeLevel(&g_player)) << "open " << n;
            break;
        case 2:
            EXPECT_TRUE(failsVisibly(junk)) << "open " << n;
            cost = wine[JUNK];
            break;
        case 4:
            EXPECT_TRUE(failsVisibly(quiet ? junk : missing)) << "open " << n;
            cost = wine[quiet ? JUNK : MISSING];
            break;
        case 5: // played to its end: the next open reuses the graph and keeps the volume
            EXPECT_TRUE(opensGood(shortClip)) << "open " << n;
            PlayerSetVolume(&g_player, 7000);
            EXPECT_TRUE(PumpUntil([] { return g_player.filterState == State_Stopped; }, STATE_MS)) << "open " << n;
            break;
        case 6:
            EXPECT_TRUE(opensGood(file)) << "open " << n;
            EXPECT_EQ(old, g_player.graph) << "open " << n;
            EXPECT_EQ(7000, VolumeLevel(&g_player)) << "open " << n;
            cost = { wine[WAV].handles - wine[GRAPH_ONLY].handles, wine[WAV].mib - wine[GRAPH_ONLY].mib };
            break;
        case 7:
            EXPECT_TRUE(opensGood(quiet ? file : video)) << "open " << n;
            cost = wine[quiet ? WAV : VIDEO];
            break;
        case 9: // refused before any render
            EXPECT_TRUE(failsVisibly(longPath)) << "open " << n;
            cost = wine[GRAPH_ONLY];
            break;
        }
        if (old && old != g_player.graph) EXPECT_EQ(0u, old->Release()) << "open " << n << " kept the old graph";
        else if (old) old->Release();
        Pump(30);
        return cost;
    };

    const int OPENS = 300, WARM_UP = 30, QUIET_OPENS = 100;
    Footprint before = {}, after = {};
    Cost budget = { 0, 0 }, quietBudget = { 0, 0 };
    DWORD start = GetTickCount();
    for (int n = 0; n < OPENS && !HasFailure(); ++n) {
        if (n == WARM_UP) before = Footprint::Now();
        Cost cost = step(n, false);
        if (n >= WARM_UP) budget.handles += cost.handles, budget.mib += cost.mib;
    }
    after = Footprint::Now();
    DWORD spent = GetTickCount() - start;
    for (int n = 0; n < QUIET_OPENS && !HasFailure(); ++n) quietBudget.mib += step(n, true).mib;
    Footprint quiet = Footprint::Now();
    bool complete = !HasFailure();  // else the counts compare unlike runs
    printf("[ robust   ] %d opens in %lu ms (%lu ms each on average), then %d quiet ones\n", OPENS, spent,
           spent / OPENS, QUIET_OPENS);
    before.Print("after the warm-up");
    after.Print("at the end");
    quiet.Print("after the quiet opens");
    printf("[ robust   ] growth over %d opens: %+ld handles (Wine's own: %+.0f), %+.2f MiB (Wine's own: about %+.0f); "
           "over the quiet ones %+.2f MiB (Wine's own: %+.2f)\n", OPENS - WARM_UP,
           long(after.handles) - long(before.handles), budget.handles,
           (double(after.privateBytes) - before.privateBytes) / 1048576.0, budget.mib,
           (double(quiet.privateBytes) - after.privateBytes) / 1048576.0, quietBudget.mib);

    // Still plays: a last open runs, and the tick sees the position move.
    EXPECT_TRUE(opensGood(final));
    Pump(150);
    LONGLONG first = g_position;
    EXPECT_TRUE(PumpUntil([&] { return g_position > first; }, STATE_MS)) << first;

    PlayerRelease(&g_player);
    DestroyWindow(g_mainWindow);
    g_mainWindow = nullptr;
    if (g_stripFont) DeleteObject(g_stripFont);
    g_stripFont = nullptr;
    PumpMessages();
    CoUninitialize();

    // Wine's own share is exact for handles; GDI objects and windows it keeps
    // none. Beyond that a handle per dozen opens, a few fonts or one window
    // would show. Memory it keeps in varying amounts for videos and missing
    // files, so the whole run is only held under its estimate, and the quiet
    // run to 8 MiB above it (30 KiB an open).
    if (!complete) return;
    EXPECT_LE(double(after.handles), double(before.handles) + budget.handles + 20);
    EXPECT_LE(after.gdi, before.gdi + 5);
    EXPECT_LE(after.user, before.user + 1);
    EXPECT_LE(double(after.privateBytes - before.privateBytes) / 1048576.0, budget.mib + 8);
    EXPECT_LE(double(quiet.privateBytes) / 1048576.0, after.privateBytes / 1048576.0 + quietBudget.mib + 8);
    EXPECT_LE(quiet.gdi, after.gdi + 5);
    EXPECT_LE(quiet.user, after.user + 1);
}

} // namespace
