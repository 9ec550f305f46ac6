// Launches that overlap: started together, as a file manager starts one per
// selected file, or a script fires them. One strip results, none hangs, and
// the end state is what the commands imply in any order they arrive.
#include "core/state.h"
#include "process_helpers.h"

#include <objbase.h>

#include <memory>
#include <string>
#include <vector>

namespace {

const DWORD BATCH_EXIT_MS = 10000;  // each launch of a batch started together: a few seconds at most

enum Before { NO_STRIP, PLAYING, ENDED_AT_5000 };

// One started launch per entry of arguments, pausing gapMs between them.
std::vector<std::unique_ptr<Launch>> LaunchTogether(const std::vector<std::wstring>& arguments, DWORD gapMs = 0)
{
    std::vector<std::unique_ptr<Launch>> launches;
    for (const std::wstring& line : arguments) {
        if (gapMs && !launches.empty()) Sleep(gapMs);
        launches.push_back(std::make_unique<Launch>(line.c_str()));
    }
    return launches;
}

std::wstring Quoted(const WCHAR* path) { return L"\"" + std::wstring(path) + L"\""; }

// The strip answers a record at once, and repaints: the band shows the volume.
void ExpectAnswerAndRepaint(HWND strip, int level)
{
    COPYDATASTRUCT record = { CMD_ADD_VOLUME, sizeof L"", const_cast<WCHAR*>(L"") };
    DWORD_PTR answer = 0;
    EXPECT_TRUE(SendMessageTimeoutW(strip, WM_COPYDATA, 0, LPARAM(&record), SMTO_NORMAL, 5000, &answer));
    EXPECT_EQ(1u, answer);
    Band band;
    EXPECT_TRUE(WaitBand(strip, band, [&](const Band& b) {
        return b.right == GREY && (level < 0 ? b.left == RED : b.leftWidth == b.width * level / 10000);
    })) << band << ", level " << level;
}

TEST(Overlap, LaunchesStartedTogetherMakeOneStripThatDoesWhatTheyAsk)
{
    ASSERT_EQ(0, CountStrips());
    WCHAR longWav[MAX_PATH], shortWav[MAX_PATH], avi[MAX_PATH];
    TempFile(longWav, MAX_PATH, L"overlap-long.wav");
    TempFile(shortWav, MAX_PATH, L"overlap-short.wav");
    TempFile(avi, MAX_PATH, L"overlap-clip.avi");
    ASSERT_TRUE(WriteWav(longWav, 30000));
    ASSERT_TRUE(WriteWav(shortWav, 800));
    ASSERT_TRUE(WriteAvi(avi, 160, 120, 100, 10));
    const std::wstring wav = Quoted(longWav), clip = Quoted(avi), down = L"/volume-100";
    auto times = [](int n, const std::wstring& line) { return std::vector<std::wstring>(n, line); };
    auto join = [](std::vector<std::wstring> a, const std::vector<std::wstring>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };

    const struct {
        const char* name;
        Before before;
        std::vector<std::wstring> launches;
        DWORD gapMs;
        bool plays;  // an open and no pause are among them: the strip ends up playing
        int level;   // the volume level the strip must end at, or -1 when the order decides
    } cases[] = {
        { "two videos, no strip", NO_STRIP, times(2, clip), 0, true, -1 },
        { "ten WAVs, no strip", NO_STRIP, times(10, wav), 0, true, -1 },
        { "a video, another 0.3 s later", NO_STRIP, times(2, clip), 300, true, -1 },
        { "a video, another 0.6 s later", NO_STRIP, times(2, clip), 600, true, -1 },
        { "mixed, no strip", NO_STRIP, join(join({ wav }, times(4, down)), { L"/pause", L"/play" }), 0, false, -1 },
        { "two videos over a playing strip", PLAYING, times(2, clip), 0, true, -1 },
        { "an open and eight steps down", ENDED_AT_5000, join({ wav }, times(8, down)), 0, true, 4200 },
        { "steps down among pauses and plays", PLAYING,
          join(times(6, down), { L"/pause", L"/play", L"/pause", L"/play" }), 0, false, 8900 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<Launch> first;
        HWND strip = nullptr;
        Band band;
        if (c.before != NO_STRIP) {
            first = std::make_unique<Launch>(Quoted(c.before == PLAYING ? longWav : shortWav).c_str());
            ASSERT_NE(nullptr, strip = FindStrip());
            ASSERT_TRUE(WaitBand(strip, band, c.before == PLAYING ? Running : StoppedAtEnd)) << band;
            if (c.before == ENDED_AT_5000) EXPECT_EQ(0u, Launch(L"/volume5000").WaitExit());
        }

        auto launches = LaunchTogether(c.launches, c.gapMs);
        if (!strip) ASSERT_NE(nullptr, strip = FindStrip());
        // Every launch but the one that became the strip hands its command over and ends.
        for (auto& launch : launches) {
            if (!launch->Owns(strip)) EXPECT_EQ(0u, launch->WaitExit(BATCH_EXIT_MS));
        }
        EXPECT_EQ(1, CountStrips());
        // Clear of the video window, which Wine puts in the same corner.
        SetWindowPos(strip, HWND_TOPMOST, 600, 600, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);

        if (c.plays) {
            EXPECT_TRUE(WaitBand(strip, band, Running)) << band;
        } else if (c.before == PLAYING) {
            EXPECT_TRUE(WaitBand(strip, band, [](const Band& b) { return Running(b) || Paused(b); })) << band;
        }
        ExpectAnswerAndRepaint(strip, c.level);

        PostMessageW(strip, WM_CLOSE, 0, 0);
        EXPECT_TRUE(PumpUntil([] { return CountStrips() == 0; }, EXIT_MS));
        if (first) EXPECT_EQ(0u, first->WaitExit());
        for (auto& launch : launches) EXPECT_EQ(0u, launch->WaitExit());
    }
}

// The video windows of the strip's process that show, and the caption of one
// (those of parked sessions stay, hidden).
int VideoWindows(const Launch& strip, std::wstring* shown)
{
    int count = 0;
    for (HWND window = nullptr; (window = FindWindowExW(nullptr, window, L"TallyvoxVideo", nullptr)) != nullptr;) {
        if (!strip.Owns(window) || !IsWindowVisible(window)) continue;
        ++count;
        WCHAR caption[64] = L"";
        GetWindowTextW(window, caption, 64);
        *shown = caption;
    }
    return count;
}

// File after file, fast, over a playing video that only Media Foundation
// plays, as a key held down on a file manager's list opens them: each
// launch is answered promptly, the last file plays in the one window left,
// and the strip still answers and ends when closed.
TEST(Overlap, FastOpensOverAPlayingVideo)
{
    CoInitialize(nullptr);
    auto stock = std::make_unique<StockDirectShow>();
    ASSERT_EQ(0, CountStrips());
    const std::wstring mp4 = Quoted(TestMedia(L"scene.mp4").c_str()), webm = Quoted(TestMedia(L"scene.webm").c_str());
    HWND target = CreatePlainWindow(700, 500, 400, 300);  // the video docks there, away from the strip
    Launch strip((L"/V" + std::to_wstring(ULONG_PTR(target)) + L" " + mp4).c_str());
    HWND window = FindStrip();
    ASSERT_NE(nullptr, window);
    std::wstring shown;
    ASSERT_TRUE(PumpUntil([&] { return VideoWindows(strip, &shown) == 1 && shown == L"scene.mp4"; }, START_MS));
    std::vector<std::wstring> lines;
    for (int i = 0; i < 20; ++i) lines.push_back(i % 2 ? webm : mp4);
    auto launches = LaunchTogether(lines, 150);  // a key held down on a file list: one launch each 150 ms
    for (size_t i = 0; i < launches.size(); ++i) EXPECT_EQ(0u, launches[i]->WaitExit(BATCH_EXIT_MS)) << "launch " << i;
    EXPECT_TRUE(PumpUntil([&] { shown.clear(); return VideoWindows(strip, &shown) == 1 && shown == L"scene.webm"; },
                          STATE_MS)) << shown;
    Band band;
    EXPECT_TRUE(WaitBand(window, band, Running)) << band;
    COPYDATASTRUCT record = { CMD_PAUSE, sizeof L"", const_cast<WCHAR*>(L"") };
    DWORD_PTR answer = 0;
    EXPECT_TRUE(SendMessageTimeoutW(window, WM_COPYDATA, 0, LPARAM(&record), SMTO_NORMAL, 5000, &answer) && answer == 1);
    // The last open may still have been on its way: paused however little it played.
    EXPECT_TRUE(WaitBand(window, band, [](const Band& b) { return b.right == OLIVE; })) << band;
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, strip.WaitExit(5000));
    DestroyWindow(target);
    stock.reset();
    CoUninitialize();
}

} // namespace
