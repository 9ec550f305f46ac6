// Where am I and getting there: the hover details read back from the real
// tooltip, seeking by keys, options and records, and the wheel.
#include "app/command_line.h"
#include "fakes.h"
#include "strip/details.h"
#include "strip_fixture.h"

#include <commctrl.h>
#include <string>

namespace {

const LONGLONG SECOND = MEDIA_TIME_PER_SECOND;

std::wstring Time(LONGLONG position, LONGLONG duration)
{
    WCHAR text[32];
    FormatPlaybackTime(text, position, duration);
    return text;
}

class DetailsTest : public StripTest {
protected:
    void SetUp() override
    {
        StripTest::SetUp();
        CreateDetailsTip(window);
    }
    // The tooltip's text as any program reads it.
    std::wstring TipText()
    {
        static WCHAR text[DETAILS_CAPACITY];
        text[0] = 0;
        TTTOOLINFOW tool = { TTTOOLINFOW_V2_SIZE, TTF_IDISHWND, window, UINT_PTR(window) };
        tool.lpszText = text;
        SendMessageW(g_detailsTip, TTM_GETTEXTW, DETAILS_CAPACITY, LPARAM(&tool));
        return text;
    }
    std::wstring TipAfterTick()
    {
        Send(WM_TIMER, TICK_TIMER_ID);
        return TipText();
    }
};

} // namespace

TEST(DetailsFormat, TimesAndStateWords)
{
    const struct { LONGLONG position, duration; const WCHAR* text; } times[] = {
        { 0, 60 * SECOND, L"0:00 / 1:00" }, { 59 * SECOND + 9999999, 60 * SECOND, L"0:59 / 1:00" },
        { 12 * SECOND, 3599 * SECOND, L"0:12 / 59:59" }, { 12 * SECOND, 3600 * SECOND, L"0:00:12 / 1:00:00" },
        { 3725 * SECOND, 36000 * SECOND, L"1:02:05 / 10:00:00" }, { 5 * SECOND, 0, L"-:-- / -:--" },
        { 5 * SECOND, -1, L"-:-- / -:--" }, { -SECOND, 60 * SECOND, L"0:00 / 1:00" },
        { 90 * SECOND, 60 * SECOND, L"1:00 / 1:00" },  // held to the duration
        { 0, 0x7FFFFFFFFFFFFFFF, L"0:00:00 / 256204778:48:05" },
    };
    for (const auto& t : times) EXPECT_EQ(t.text, Time(t.position, t.duration)) << t.position << " of " << t.duration;

    const struct { OAFilterState state; BOOL ended; const WCHAR* word; } words[] = {
        { State_Running, FALSE, L"playing" }, { State_Paused, FALSE, L"paused" }, { State_Stopped, TRUE, L"ended" },
        { State_Stopped, FALSE, L"stopped" }, { 7, FALSE, L"stopped" },
    };
    for (const auto& w : words) {
        Player player = {};
        player.filterState = w.state;
        player.ended = w.ended;
        EXPECT_STREQ(w.word, PlaybackStateWord(&player)) << w.state;
    }
}

// The tooltip covers the strip and follows what it plays, tick by tick.
TEST_F(DetailsTest, TooltipTextFollowsOpenPauseAndEnd)
{
    ASSERT_NE(g_detailsTip, nullptr);
    EXPECT_EQ(GetWindow(g_detailsTip, GW_OWNER), window);
    // The manifest's common controls 6 make the tip: they take the tool's V2 size as 5.8 does.
    HMODULE controls = nullptr;
    ASSERT_TRUE(GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                   reinterpret_cast<LPCWSTR>(GetWindowLongPtrW(g_detailsTip, GWLP_WNDPROC)), &controls));
    EXPECT_TRUE(IsCommonControlsSix(controls));
    g_player.volume = -500;
    EXPECT_EQ(TipAfterTick(), L"no file\r\nVolume:9500");

    WCHAR shortWav[MAX_PATH];
    TempFile(shortWav, MAX_PATH, L"details-short.wav");
    ASSERT_TRUE(WriteWav(shortWav, 1500));
    ASSERT_NO_FATAL_FAILURE(OpenLongWav());
    const std::wstring longPath = LongWav(), longName = longPath.substr(longPath.rfind(L'\\') + 1);
    EXPECT_EQ(TipAfterTick(), longName + L"\r\n0:00 / 0:30  playing\r\nVolume:9500\r\n" + longPath);
    Send(WM_KEYDOWN, VK_UP, 1);
    PlayerSetVolume(&g_player, 4200);
    EXPECT_EQ(TipAfterTick(), longName + L"\r\n0:00 / 0:30  paused\r\nVolume:4200\r\n" + longPath);

    ASSERT_EQ(PlayerOpen(&g_player, shortWav), 1);
    ASSERT_TRUE(PumpUntil([] { return g_player.ended; }, 15000));
    std::wstring tip = TipAfterTick();
    EXPECT_EQ(tip.substr(0, tip.find(L'\r')), L"details-short.wav");
    // The level the user set holds for the next file.
    EXPECT_NE(tip.find(L"\r\n0:01 / 0:01  ended\r\nVolume:4200\r\n"), std::wstring::npos) << testing::PrintToString(tip);

    Send(WM_KEYDOWN, VK_HOME, 1);  // after the end a seek plays again
    EXPECT_NE(TipAfterTick().find(L"  playing\r\n"), std::wstring::npos);

    PlayerOpen(&g_player, L"Z:\\tallyvox-none\\gone.wav");
    EXPECT_EQ(TipAfterTick(), FAILURE_PREFIX L"Z:\\tallyvox-none\\gone.wav\r\nVolume:4200\r\n" FAILURE_PREFIX
                              L"Z:\\tallyvox-none\\gone.wav");
}

// A tooltip holds 1023 characters: a long path is whole at the end of the
// tip, the title before it giving way, and a path too long even for that
// keeps its end, the file name, behind an ellipsis.
TEST_F(DetailsTest, LongPathsKeepTheirEndInTheTip)
{
    FakeGraphSet set;
    set.Install(&g_player);
    g_player.filterState = State_Running;
    g_player.volume = -500;  // "\r\n-:-- / -:--  playing\r\nVolume:9500" between title and path: 35 characters
    const struct { int folder, title; } cases[] = { { 100, 199 }, { 600, 1023 - 35 - 2 - 903 }, { 720, 0 } };
    for (const auto& [folder, titleLength] : cases) {
        SCOPED_TRACE(folder);
        // A file name of 299 characters, which the title line cuts to 199.
        const std::wstring path = L"Z:\\" + std::wstring(folder, L'd') + L"\\" + std::wstring(299, L'n');
        wcscpy(g_mediaPath, path.c_str());
        const std::wstring tip = TipAfterTick();
        ASSERT_LE(tip.size(), size_t(DETAILS_CAPACITY - 1));
        const size_t title = tip.find(L'\r'), pathLine = tip.rfind(L'\n') + 1;
        EXPECT_EQ(tip.substr(0, title), std::wstring(titleLength, L'n'));
        if (folder < 720) {
            EXPECT_EQ(tip.substr(pathLine), path);
        } else {
            EXPECT_EQ(tip.size(), size_t(DETAILS_CAPACITY - 1));
            EXPECT_EQ(tip[pathLine], L'\u2026');
            EXPECT_EQ(tip.substr(pathLine + 1), path.substr(path.size() - (tip.size() - pathLine - 1)));
        }
    }
    g_player = Player{};
}

// A file only Media Foundation plays here: the tick follows the session to
// its end, as it follows a graph, and a key plays it again.
TEST_F(DetailsTest, TheTickFollowsASessionToItsEnd)
{
    StockDirectShow stock;
    std::wstring flac = TestMedia(L"tone.flac");
    EXPECT_EQ(Record(CMD_OPEN, flac.c_str()), 1);
    ASSERT_NE(g_player.session, nullptr);
    EXPECT_NE(TipAfterTick().find(L"0:00 / 0:01  playing\r\n"), std::wstring::npos);
    EXPECT_TRUE(PumpUntil([&] { return Send(WM_TIMER, TICK_TIMER_ID), g_player.ended; }, 10000));
    EXPECT_STREQ(g_statusLine, L"State:2002");
    EXPECT_EQ(g_progressWidth, g_stripWidth);
    EXPECT_NE(TipAfterTick().find(L"0:01 / 0:01  ended\r\n"), std::wstring::npos);
    Send(WM_KEYDOWN, 'P', 1);
    EXPECT_LT(g_progressWidth, g_stripWidth / 2);
    EXPECT_EQ(g_player.filterState, State_Running);
}

// Every control on every format a stock Windows plays through Media
// Foundation: keys, click, wheel, drag and records, as on a graph.
TEST_F(DetailsTest, EveryControlDrivesASession)
{
    StockDirectShow stock;
    for (const wchar_t* name : { L"tone.m4a", L"tone.flac", L"tone.opus", L"tone.ogg", L"tone.wma" }) {
        SCOPED_TRACE(testing::Message() << name);
        std::wstring path = TestMedia(name);
        ASSERT_EQ(Record(CMD_OPEN, path.c_str()), 1);
        ASSERT_NE(g_player.session, nullptr);
        EXPECT_EQ(Level(), g_mediaPath == TestMedia(L"tone.m4a") ? 9500 : 6000) << "the last file's level holds";
        PlayerSetVolume(&g_player, 9500);
        const struct { UINT message; WPARAM key; ULONG_PTR record; OAFilterState state; int level; } steps[] = {
            { WM_KEYDOWN, VK_UP, 0, State_Paused, 9500 }, { WM_KEYDOWN, VK_DOWN, 0, State_Running, 9500 },
            { WM_LBUTTONDOWN, MK_LBUTTON, 0, State_Paused, 9500 }, { WM_KEYDOWN, 'P', 0, State_Running, 9500 },
            { WM_KEYDOWN, VK_DELETE, 0, State_Running, 9000 }, { WM_MOUSEWHEEL, MAKEWPARAM(0, 240), 0, State_Running, 10000 },
            { WM_COPYDATA, 0, CMD_SET_VOLUME | 4000 << 16, State_Running, 4000 },
            { WM_COPYDATA, 0, CMD_ADD_VOLUME | 1000 << 16, State_Running, 5000 },
            { WM_RBUTTONDOWN, MK_RBUTTON, 0, State_Running, 5000 }, { WM_MOUSEMOVE, MK_RBUTTON, 0, State_Running, 6000 },
            { WM_RBUTTONUP, 0, 0, State_Running, 6000 }, { WM_COPYDATA, 0, CMD_STOP, State_Paused, 6000 },
            { WM_KEYDOWN, VK_HOME, 0, State_Paused, 6000 }, { WM_COPYDATA, 0, CMD_TOGGLE, State_Running, 6000 },
            { WM_COPYDATA, 0, CMD_SEEK_TO | 1 << 16, State_Running, 6000 }, { WM_COPYDATA, 0, CMD_PLAY, State_Running, 6000 },
        };
        for (const auto& step : steps) {
            if (step.message == WM_COPYDATA) EXPECT_EQ(Record(step.record), 1);
            else Send(step.message, step.key, step.message == WM_MOUSEMOVE ? MAKELPARAM(30, 5) : MAKELPARAM(10, 5));
            EXPECT_EQ(g_player.filterState, step.state) << "message " << step.message << " key " << step.key;
            EXPECT_EQ(Level(), step.level) << "message " << step.message << " key " << step.key;
        }
        EXPECT_GE(g_progressWidth, g_stripWidth / 4) << "a second into the file";
        EXPECT_STREQ(g_mediaPath, path.c_str());
    }
}

// A strip inside another window has the same details; the tip belongs to that window.
TEST_F(DetailsTest, ChildStripHasTheSameDetails)
{
    DestroyWindow(window);
    parent = CreatePlainWindow(60, 60, 300, 120);
    CreateStrip(parent);
    CreateDetailsTip(window);
    ASSERT_NE(g_detailsTip, nullptr);
    EXPECT_EQ(GetWindow(g_detailsTip, GW_OWNER), parent);
    g_player.volume = -500;
    EXPECT_EQ(TipAfterTick(), L"no file\r\nVolume:9500");
}

// Keys, options and records against a fake graph: the position asked for,
// held to 0..duration, and the state kept; after the end: stop, move, run.
TEST_F(DetailsTest, SeeksAreClampedAndKeepTheState)
{
    FakeGraphSet set;
    set.Install(&g_player);
    auto option = [](const WCHAR* line) {
        CommandLine parsed;
        ReadCommandLine(line, &parsed);
        return ULONG_PTR(parsed.commandWord);
    };
    const struct {
        OAFilterState state;
        BOOL ended;
        UINT message;   // WM_KEYDOWN with a key, or WM_COPYDATA with a command word
        ULONG_PTR what;
        LONGLONG to;    // seconds
    } cases[] = {
        { State_Running, FALSE, WM_KEYDOWN, VK_RIGHT, 35 }, { State_Running, FALSE, WM_KEYDOWN, VK_LEFT, 25 },
        { State_Paused, FALSE, WM_KEYDOWN, VK_HOME, 0 }, { State_Running, FALSE, WM_COPYDATA, CMD_SEEK_TO | 45 << 16, 45 },
        { State_Running, FALSE, WM_COPYDATA, CMD_SEEK_TO | 0xFFFF0000, 60 },
        { State_Running, FALSE, WM_COPYDATA, CMD_SEEK_BY | 40 << 16, 60 },
        { State_Paused, FALSE, WM_COPYDATA, CMD_SEEK_BY | ULONG_PTR(WORD(-40)) << 16, 0 },
        { State_Running, FALSE, WM_COPYDATA, option(L"x /seek+20"), 50 },
        { State_Running, FALSE, WM_COPYDATA, option(L"x /seek-99999"), 0 },
        { State_Running, FALSE, WM_COPYDATA, option(L"x /seek99999"), 60 },
        { State_Stopped, TRUE, WM_KEYDOWN, VK_LEFT, 25 }, { State_Stopped, FALSE, WM_COPYDATA, option(L"x /seek7"), 7 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "state " << c.state << " ended " << c.ended << " " << c.what);
        g_player.filterState = set.control.state = c.state;
        g_player.ended = c.ended;
        g_duration = 60 * SECOND;
        set.seeking.position = 30 * SECOND;
        g_fakeCalls.clear();
        if (c.message == WM_KEYDOWN) Send(WM_KEYDOWN, c.what, 1);
        else Record(c.what);
        std::vector<std::string> expected = { "seeking.SetPositions(" + std::to_string(c.to * SECOND) + ",1)" };
        if (c.ended) expected = { "control.Stop", expected[0], "control.Run" };
        std::vector<std::string> moves;
        for (const std::string& call : g_fakeCalls)
            if (call.rfind("seeking.SetPositions", 0) == 0 || call.rfind("control.", 0) == 0) moves.push_back(call);
        moves.erase(std::remove(moves.begin(), moves.end(), "control.GetState"), moves.end());
        EXPECT_EQ(moves, expected);
        EXPECT_EQ(g_player.filterState, c.ended ? State_Running : c.state);
        EXPECT_EQ(g_progressWidth, int(g_stripWidth * c.to / 60)) << "the bar shows the new place at once";
    }
    // Without a seeking interface, or without a graph, no seek reaches the graph.
    IMediaSeeking* seeking = g_player.seeking;
    for (Player without : { Player{ g_player.graph, g_player.control, g_player.events, nullptr, nullptr },
                            Player{ nullptr, g_player.control, g_player.events, nullptr, seeking } }) {
        g_player = without;
        g_player.ended = TRUE;  // would stop, move and run
        g_fakeCalls.clear();
        for (WPARAM key : { VK_RIGHT, VK_LEFT, VK_HOME }) Send(WM_KEYDOWN, key, 1);
        for (ULONG_PTR word : { CMD_SEEK_TO | 5 << 16, CMD_SEEK_BY | 5 << 16 }) Record(word);
        EXPECT_EQ(g_fakeCalls, std::vector<std::string>{});
    }
    g_player = Player{};
}

// Wine's real graph: a seek on a 60-second WAV moves the bar to the middle
// at once, and playing goes on from there.
TEST_F(DetailsTest, RealSeekMovesTheBarAtOnceAndKeepsPlaying)
{
    WCHAR minute[MAX_PATH];
    TempFile(minute, MAX_PATH, L"details-minute.wav");
    ASSERT_TRUE(WriteWav(minute, 60000));
    ASSERT_EQ(PlayerOpen(&g_player, minute), 1);
    Send(WM_TIMER, TICK_TIMER_ID);
    ASSERT_LT(g_progressWidth, 5);
    Record(CMD_SEEK_TO | 30 << 16);
    EXPECT_NEAR(g_progressWidth, g_stripWidth / 2, 3);
    EXPECT_EQ(g_player.filterState, State_Running);
    EXPECT_EQ(GraphState(), State_Running);
    LONGLONG at = 0;
    EXPECT_TRUE(PumpUntil([&] { return g_player.seeking->GetCurrentPosition(&at), at > 30 * SECOND + SECOND / 5; }, 3000))
        << at;
    // Paused stays paused, at the new place.
    Send(WM_KEYDOWN, VK_UP, 1);
    Send(WM_KEYDOWN, VK_HOME, 1);
    EXPECT_LT(g_progressWidth, 2);
    EXPECT_EQ(GraphState(), State_Paused);
}

// An open never shows the last file's bar: the new one starts empty at once.
TEST_F(DetailsTest, OpenStartsWithAnEmptyBar)
{
    ASSERT_NO_FATAL_FAILURE(OpenLongWav());
    LONGLONG twoThirds = 20 * SECOND;
    g_player.seeking->SetPositions(&twoThirds, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
    Send(WM_TIMER, TICK_TIMER_ID);
    ASSERT_GT(g_progressWidth, g_stripWidth / 2);
    Record(CMD_OPEN, LongWav());
    EXPECT_LT(g_progressWidth, 2);
}

// 500 levels a notch of 120, up louder; parts of a notch add up, in either direction.
TEST_F(DetailsTest, WheelStepsTheVolumeByWholeNotches)
{
    FakeGraphSet set;
    set.Install(&g_player);
    const struct { std::vector<short> deltas; int level, left; } cases[] = {
        { { 120 }, 5500, 0 }, { { -120 }, 4500, 0 }, { { 60, 60 }, 5500, 0 }, { { 40, 40, 40, 40 }, 5500, 40 },
        { { 119 }, 5000, 119 }, { { 60, -60, 60 }, 5000, 60 }, { { -50, -80 }, 4500, -10 },
        { { 360 }, 6500, 0 }, { { 32767 }, 10000, 7 }, { { -32768 }, 0, -8 },
    };
    for (const auto& c : cases) {
        g_player.volume = -5000;
        g_wheelDelta = 0;
        g_volumeDisplayTicks = 0;
        for (short delta : c.deltas) EXPECT_EQ(Send(WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(delta)), 0), 0);
        EXPECT_EQ(Level(), c.level) << testing::PrintToString(c.deltas);
        EXPECT_EQ(g_wheelDelta, c.left) << testing::PrintToString(c.deltas);
        EXPECT_EQ(g_volumeDisplayTicks, c.level != 5000 ? VOLUME_DISPLAY_TICKS : 0);
    }
    g_player = Player{};
}
