// The player against fake graphs: call counts, order and failures on demand.
#include "app/state.h"
#include "fakes.h"
#include "player/player.h"
#include "window_helpers.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

const std::wstring FAILED_PREFIX = L"\u5931\u6557:";
const HWND NOTIFY_WINDOW = reinterpret_cast<HWND>(0x1234);

std::vector<std::string> Releases()
{
    std::vector<std::string> releases;
    for (const std::string& call : g_fakeCalls) {
        if (call.size() > 8 && call.compare(call.size() - 8, 8, ".Release") == 0) releases.push_back(call);
    }
    return releases;
}

int IndexOf(const std::string& call)
{
    for (size_t i = 0; i < g_fakeCalls.size(); ++i) {
        if (g_fakeCalls[i] == call) return int(i);
    }
    return -1;
}

// The record byte for byte, to see that nothing in it changed.
std::string Snapshot(const Player& player)
{
    return std::string(reinterpret_cast<const char*>(&player), sizeof player);
}

class PlayerFake : public testing::Test {
protected:
    FakeGraphSet set;
    void SetUp() override
    {
        CoInitialize(nullptr);
        g_player = Player{};
        g_player.volume = -500;
        g_fakeCalls.clear();
    }
    void TearDown() override
    {
        g_player = Player{};  // the fakes die with the test
        g_dockSide = -1;
        g_dockTarget = nullptr;
        g_mediaPath[0] = g_titleLine[0] = 0;
        wcscpy(g_statusLine, L"*******************");
        g_duration = 0;
        CoUninitialize();
    }
    // The set installed as the player's graph, with no calls logged yet.
    void Install(bool withVideo = true)
    {
        set.Install(&g_player, withVideo);
        g_fakeCalls.clear();
    }
};

TEST_F(PlayerFake, WithoutGraphNoOperationCallsOrChangesAnything)
{
    Install();
    set.events.queue = {1, 3};
    g_player.graph = nullptr;
    g_player.eventMask = 0x40;
    g_player.filterState = State_Running;
    wcscpy(g_statusLine, L"State:40");
    std::string before = Snapshot(g_player);

    PlayerSetVolume(&g_player, 2000);
    PlayerWaitState(&g_player);
    PlayerPause(&g_player);
    PlayerPlay(&g_player);
    PlayerTogglePause(&g_player);
    PlayerHandleEvents(&g_player);
    PlayerStop(&g_player);
    PlayerRelease(&g_player);

    EXPECT_TRUE(g_fakeCalls.empty()) << g_fakeCalls.front();
    EXPECT_EQ(before, Snapshot(g_player));
    EXPECT_STREQ(L"State:40", g_statusLine);
}

TEST_F(PlayerFake, VolumeLevelIsClampedIntoTheAudioRange)
{
    Install();
    const struct { int level; long volume; } cases[] = {
        {-1, -10000}, {0, -10000}, {1, -9999}, {9500, -500}, {10000, 0},
        {10001, 0},   {20000, 0},  {INT_MIN, -10000},        {INT_MAX, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.level);
        set.audio.volumes.clear();
        g_player.volume = -1234;
        PlayerSetVolume(&g_player, c.level);
        ASSERT_EQ(1u, set.audio.volumes.size());
        EXPECT_EQ(c.volume, set.audio.volumes[0]);
        EXPECT_EQ(c.volume, g_player.volume);
    }
}

TEST_F(PlayerFake, RefusedVolumeOrNoAudioKeepsTheStoredVolume)
{
    Install();
    g_player.volume = -700;
    set.audio.putVolumeResult = E_FAIL;
    PlayerSetVolume(&g_player, 9000);
    EXPECT_EQ(1, CountCalls("audio.put_Volume(-1000)"));
    EXPECT_EQ(-700, g_player.volume);

    set.audio.putVolumeResult = S_FALSE;  // success is judged by the sign
    PlayerSetVolume(&g_player, 9000);
    EXPECT_EQ(-1000, g_player.volume);

    g_player.audio = nullptr;
    g_fakeCalls.clear();
    PlayerSetVolume(&g_player, 3000);
    EXPECT_TRUE(g_fakeCalls.empty());
    EXPECT_EQ(-1000, g_player.volume);
}

TEST_F(PlayerFake, StateWaitEndsOnExactlySOkOrAfterThirtyCalls)
{
    Install();
    const struct { HRESULT result; int calls; } cases[] = {
        {S_OK, 1}, {VFW_S_STATE_INTERMEDIATE, 30}, {S_FALSE, 30}, {E_FAIL, 30},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.result);
        g_fakeCalls.clear();
        set.control.getStateResult = c.result;
        set.control.state = State_Paused;
        g_player.filterState = State_Running;
        PlayerWaitState(&g_player);
        EXPECT_EQ(c.calls, CountCalls("control.GetState"));
        EXPECT_EQ(State_Paused, g_player.filterState);
    }
}

TEST_F(PlayerFake, PauseWaitsWhileRunningButNotForever)
{
    Install();
    set.control.state = State_Running;
    PlayerPause(&g_player);  // follows the transport: settles paused at once
    EXPECT_EQ(1, CountCalls("control.Pause"));
    EXPECT_EQ(1, CountCalls("control.GetState"));
    EXPECT_EQ(State_Paused, g_player.filterState);

    // A graph that keeps running after Pause: the wait gives up (~5 s).
    g_fakeCalls.clear();
    set.control.followsTransport = false;
    set.control.state = State_Running;
    PlayerPause(&g_player);
    EXPECT_EQ(1, CountCalls("control.Pause"));
    EXPECT_GE(CountCalls("control.GetState"), 2);
    EXPECT_LE(CountCalls("control.GetState"), 60);
    EXPECT_EQ(State_Running, g_player.filterState);
}

TEST_F(PlayerFake, DrainedEventsAccumulateIntoTheStatusLine)
{
    Install();
    const struct { std::vector<long> codes; ULONG maskBefore; const wchar_t* status; OAFilterState state; } cases[] = {
        {{1, 3}, 0, L"State:a", State_Stopped},
        {{1}, 0, L"State:2", State_Stopped},
        {{33}, 0, L"State:2", State_Running},   // folds onto bit 1, but is no completion
        {{3}, 0x2, L"State:a", State_Running},
        {{31}, 0, L"State:80000000", State_Running},
        {{}, 0x2, L"*******************", State_Running},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.codes));
        g_fakeCalls.clear();
        wcscpy(g_statusLine, L"*******************");
        set.events.queue = c.codes;
        g_player.eventMask = c.maskBefore;
        g_player.filterState = State_Running;
        PlayerHandleEvents(&g_player);
        EXPECT_STREQ(c.status, g_statusLine);
        EXPECT_EQ(c.state, g_player.filterState);
        EXPECT_EQ(c.codes.size() + 1, size_t(CountCalls("events.GetEvent")));
        for (long code : c.codes) EXPECT_EQ(1, CountCalls("events.FreeEventParams(" + std::to_string(code) + ")"));
        EXPECT_TRUE(CallsStartingWith("control.").empty());
    }
}

TEST_F(PlayerFake, ToggleRunsAfterCompletionAndPausesWhileRunning)
{
    Install();
    set.control.state = g_player.filterState = State_Running;
    set.events.queue = {EC_COMPLETE};
    PlayerHandleEvents(&g_player);
    g_fakeCalls.clear();
    PlayerTogglePause(&g_player);
    EXPECT_EQ(1, CountCalls("control.Run"));
    EXPECT_EQ(0, CountCalls("control.Pause"));
    EXPECT_EQ(State_Running, g_player.filterState);

    g_fakeCalls.clear();
    PlayerTogglePause(&g_player);
    EXPECT_EQ(0, CountCalls("control.Run"));
    EXPECT_EQ(1, CountCalls("control.Pause"));
    EXPECT_EQ(State_Paused, g_player.filterState);
}

TEST_F(PlayerFake, StopDetachesTheVideoWindowOnlyWhenThereIsOne)
{
    Install(false);
    set.control.state = State_Running;
    PlayerStop(&g_player);
    EXPECT_EQ((std::vector<std::string>{"control.Pause", "control.GetState", "control.Stop"}), g_fakeCalls);

    g_player.videoWindow = &set.video;
    g_fakeCalls.clear();
    PlayerStop(&g_player);
    EXPECT_EQ((std::vector<std::string>{"control.Stop", "video.put_Visible(0)", "video.put_MessageDrain(0)",
                                        "video.put_Owner(0)"}),
              std::vector<std::string>(g_fakeCalls.begin() + IndexOf("control.Stop"), g_fakeCalls.end()));
}

TEST_F(PlayerFake, ReleaseGivesEverythingBackInOrderAndOnlyOnce)
{
    Install();
    g_player.volume = -2345;
    g_player.eventMask = 0x6;
    g_player.filterState = set.control.state = State_Running;
    PlayerRelease(&g_player);
    EXPECT_EQ((std::vector<std::string>{"video.Release", "seeking.Release", "audio.Release", "events.Release",
                                        "control.Release", "graph.Release"}),
              Releases());
    EXPECT_LT(IndexOf("video.put_Owner(0)"), IndexOf("video.Release"));
    EXPECT_TRUE(set.AllReferencesBack());
    EXPECT_EQ(nullptr, g_player.graph);
    EXPECT_EQ(nullptr, g_player.seeking);
    EXPECT_EQ(nullptr, g_player.videoWindow);
    EXPECT_EQ(State_Stopped, g_player.filterState);
    EXPECT_EQ(-2345, g_player.volume);
    EXPECT_EQ(0x6u, g_player.eventMask);

    g_fakeCalls.clear();
    std::string before = Snapshot(g_player);
    PlayerRelease(&g_player);
    EXPECT_TRUE(g_fakeCalls.empty());
    EXPECT_EQ(before, Snapshot(g_player));
}

TEST_F(PlayerFake, CreateAfterReleaseStartsAFreshRecord)
{
    Install();
    g_player.volume = -2345;
    g_player.eventMask = 0x6;
    PlayerRelease(&g_player);
    g_fakeCalls.clear();

    FakeGraphFactory factory(&set);
    ASSERT_NE(0u, factory.cookie);
    EXPECT_EQ(1, PlayerCreate(&g_player, NOTIFY_WINDOW));
    EXPECT_EQ(&set.graph, g_player.graph);
    EXPECT_EQ(&set.control, g_player.control);
    EXPECT_EQ(&set.events, g_player.events);
    EXPECT_EQ(&set.audio, g_player.audio);
    EXPECT_EQ(&set.seeking, g_player.seeking);
    EXPECT_EQ(nullptr, g_player.videoWindow);
    EXPECT_EQ(-500, g_player.volume);
    EXPECT_EQ(0u, g_player.eventMask);
    EXPECT_EQ(State_Stopped, g_player.filterState);
    EXPECT_EQ(OAHWND(NOTIFY_WINDOW), set.events.notifyWindow);
    EXPECT_EQ(1130, set.events.notifyMessage);
    EXPECT_EQ(0, set.events.notifyData);
    EXPECT_EQ(std::vector<long>{-500}, set.audio.volumes);
    EXPECT_EQ(2, set.control.refs);
}

TEST_F(PlayerFake, CreateKeepsNoGraphWithoutControlOrEvents)
{
    const struct { bool control, events, audioAndSeeking; HRESULT create; int result; } cases[] = {
        {false, true, true, S_OK, 0}, {true, false, true, S_OK, 0}, {false, false, true, S_OK, 0},
        {true, true, true, E_OUTOFMEMORY, 0}, {true, true, false, S_OK, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.control << c.events << c.audioAndSeeking << c.create);
        FakeGraphSet graphSet;
        if (!c.control) graphSet.offersControl = nullptr;
        if (!c.events) graphSet.offersEvents = nullptr;
        if (!c.audioAndSeeking) graphSet.offersAudio = nullptr, graphSet.offersSeeking = nullptr;
        FakeGraphFactory factory(&graphSet);
        factory.createResult = c.create;
        g_player.volume = -2345;
        EXPECT_EQ(c.result, PlayerCreate(&g_player, NOTIFY_WINDOW));
        EXPECT_EQ(-500, g_player.volume);
        EXPECT_EQ(c.result ? &graphSet.graph : nullptr, g_player.graph);
        if (c.result) {
            EXPECT_EQ(nullptr, g_player.audio);
            EXPECT_EQ(nullptr, g_player.seeking);
            PlayerRelease(&g_player);
        }
        EXPECT_TRUE(graphSet.AllReferencesBack());
        g_player = Player{};
    }
}

// PlayerOpen against fakes: the set is a graph that was already used.
class OpenFake : public PlayerFake {
protected:
    HWND target = nullptr;
    RECT targetRect{};
    void SetUp() override
    {
        PlayerFake::SetUp();
        Install();
        set.seeking.duration = 123456789;
        g_player.volume = -3000;
        target = CreatePlainWindow(100, 120, 500, 400);
        GetWindowRect(target, &targetRect);
    }
    void TearDown() override
    {
        if (IsWindow(target)) DestroyWindow(target);
        PlayerFake::TearDown();
    }
};

TEST_F(OpenFake, ReusedGraphIsEmptiedRenderedRunAndKeepsTheVolume)
{
    EXPECT_EQ(1, PlayerOpen(&g_player, L"D:\\clips\\a.avi"));
    EXPECT_EQ(L"D:\\clips\\a.avi", set.control.renderedPath);
    EXPECT_STREQ(L"D:\\clips\\a.avi", g_mediaPath);
    EXPECT_EQ(&set.graph, g_player.graph);
    EXPECT_EQ(0, CountCalls("graph.Release"));
    // The old file's video window goes before the new file is rendered.
    EXPECT_LT(IndexOf("control.Stop"), IndexOf("control.RenderFile"));
    EXPECT_LT(IndexOf("video.Release"), IndexOf("control.RenderFile"));
    EXPECT_EQ(&set.video, g_player.videoWindow);
    EXPECT_EQ(2, set.video.refs);
    EXPECT_EQ(L"a.avi", set.video.caption);
    EXPECT_EQ(5u, set.video.captionLength);
    EXPECT_EQ(0, CountCalls("video.SetWindowPosition"));
    EXPECT_LT(IndexOf("seeking.SetTimeFormat(media time)"), IndexOf("seeking.GetDuration"));
    EXPECT_EQ(123456789, g_duration);
    EXPECT_LT(IndexOf("control.Run"), IndexOf("control.GetState"));
    EXPECT_EQ(State_Running, g_player.filterState);
    EXPECT_EQ(std::vector<long>{-3000}, set.audio.volumes);
    EXPECT_EQ(-3000, g_player.volume);
}

TEST_F(OpenFake, CaptionIsTheFileNamePart)
{
    const struct { const wchar_t* path; const wchar_t* caption; } cases[] = {
        {L"D:\\clips\\a.avi", L"a.avi"}, {L"a.avi", L"a.avi"}, {L"D:/clips/b.avi", L"D:/clips/b.avi"},
    };
    for (const auto& c : cases) {
        g_player.filterState = State_Stopped;
        EXPECT_EQ(1, PlayerOpen(&g_player, c.path));
        EXPECT_EQ(c.caption, set.video.caption);
        EXPECT_EQ(wcslen(c.caption), set.video.captionLength);
    }
}

TEST_F(OpenFake, PlayingGraphIsReplacedAndTheVolumeReset)
{
    FakeGraphSet fresh;
    FakeGraphFactory factory(&fresh);
    g_player.filterState = State_Running;
    EXPECT_EQ(1, PlayerOpen(&g_player, L"C:\\b.wav"));
    EXPECT_TRUE(set.AllReferencesBack());
    EXPECT_TRUE(set.control.renderedPath.empty());
    EXPECT_EQ(&fresh.graph, g_player.graph);
    EXPECT_EQ(L"C:\\b.wav", fresh.control.renderedPath);
    EXPECT_EQ(-500, g_player.volume);
    EXPECT_EQ((std::vector<long>{-500, -500}), fresh.audio.volumes);
    PlayerRelease(&g_player);
    EXPECT_TRUE(fresh.AllReferencesBack());
}

TEST_F(OpenFake, NoGraphToBeHadShowsNothing)
{
    PlayerRelease(&g_player);
    FakeGraphSet fresh;
    FakeGraphFactory factory(&fresh);
    factory.createResult = E_OUTOFMEMORY;
    wcscpy(g_mediaPath, L"old");
    wcscpy(g_titleLine, L"old title");
    EXPECT_EQ(0, PlayerOpen(&g_player, L"C:\\b.wav"));
    EXPECT_EQ(nullptr, g_player.graph);
    EXPECT_STREQ(L"old", g_mediaPath);
    EXPECT_STREQ(L"old title", g_titleLine);
}

TEST_F(OpenFake, FailedRunKeepsTheGraphForTheNextOpen)
{
    set.control.runResult = E_FAIL;
    EXPECT_EQ(0, PlayerOpen(&g_player, L"C:\\one.wav"));
    EXPECT_EQ(&set.graph, g_player.graph);
    EXPECT_STREQ(L"C:\\one.wav", g_mediaPath);
    EXPECT_EQ(State_Stopped, g_player.filterState);
    EXPECT_EQ(0, CountCalls("control.GetState"));
    EXPECT_TRUE(set.audio.volumes.empty());

    set.control.runResult = S_FALSE;  // Wine's answer while the graph gets going
    g_fakeCalls.clear();
    EXPECT_EQ(1, PlayerOpen(&g_player, L"C:\\two.wav"));
    EXPECT_EQ(&set.graph, g_player.graph);
    EXPECT_EQ(L"C:\\two.wav", set.control.renderedPath);
    EXPECT_TRUE(Releases() == std::vector<std::string>{"video.Release"});
    EXPECT_EQ(State_Running, g_player.filterState);
}

TEST_F(OpenFake, DockingPutsTheVideoIntoTheTargetsBottomCorner)
{
    const RECT& t = targetRect;
    const struct { int side; long width, height, left, top, newWidth, newHeight; } cases[] = {
        {1, 640, 480, t.right - 260, t.bottom - 260, 260, 260},
        {0, 200, 400, t.left, t.bottom - 260, 200, 260},
        {0, 260, 261, t.left, t.bottom - 260, 260, 260},
        {7, 120, 90, t.right - 120, t.bottom - 90, 120, 90},
    };
    g_dockTarget = target;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.side);
        g_dockSide = c.side;
        g_player.filterState = State_Stopped;
        set.video.width = c.width;
        set.video.height = c.height;
        g_fakeCalls.clear();
        EXPECT_EQ(1, PlayerOpen(&g_player, L"C:\\v.avi"));
        ASSERT_EQ(1, CountCalls("video.SetWindowPosition"));
        EXPECT_EQ(c.left, set.video.newLeft);
        EXPECT_EQ(c.top, set.video.newTop);
        EXPECT_EQ(c.newWidth, set.video.newWidth);
        EXPECT_EQ(c.newHeight, set.video.newHeight);
    }
}

TEST_F(OpenFake, DockingIsSkippedWhenNothingCanBeRead)
{
    set.video.width = set.video.height = 100;
    g_dockTarget = target;
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        g_dockSide = round == 0 ? -1 : 1;
        set.video.getPositionResult = round == 1 ? E_FAIL : S_OK;
        if (round == 2) DestroyWindow(target);
        g_player.filterState = State_Stopped;
        g_fakeCalls.clear();
        EXPECT_EQ(1, PlayerOpen(&g_player, L"C:\\v.avi"));
        EXPECT_EQ(0, CountCalls("video.SetWindowPosition"));
        EXPECT_EQ(1, CountCalls("control.Run"));
        EXPECT_EQ(State_Running, g_player.filterState);
    }
}

TEST_F(OpenFake, FailedRenderShowsTheFailureCutToEachLine)
{
    std::wstring path = L"C:\\" + std::wstring(247, L'p');
    ASSERT_EQ(250u, path.size());
    set.control.renderResult = VFW_E_UNSUPPORTED_STREAM;
    EXPECT_EQ(0, PlayerOpen(&g_player, path.c_str()));
    EXPECT_EQ(FAILED_PREFIX + path, g_mediaPath);
    EXPECT_EQ((FAILED_PREFIX + path).substr(0, 199), g_titleLine);
    EXPECT_EQ(nullptr, g_player.graph);
    EXPECT_TRUE(set.AllReferencesBack());
}

TEST_F(OpenFake, FailedRenderOfTheMediaPathItselfShowsThePathItHeld)
{
    wcscpy(g_mediaPath, L"C:\\media\\bad.wav");
    set.control.renderResult = E_FAIL;
    EXPECT_EQ(0, PlayerOpen(&g_player, g_mediaPath));
    EXPECT_EQ(FAILED_PREFIX + L"C:\\media\\bad.wav", g_mediaPath);
    EXPECT_EQ(FAILED_PREFIX + L"C:\\media\\bad.wav", g_titleLine);
}

TEST_F(OpenFake, PathsThatDoNotFitThePathLineAreNeverRendered)
{
    for (size_t length : {size_t(1023), size_t(1024), size_t(5000)}) {
        SCOPED_TRACE(length);
        FakeGraphSet graphSet;
        graphSet.Install(&g_player);
        g_fakeCalls.clear();
        std::wstring path = L"C:\\" + std::wstring(length - 3, L'q');
        int opened = PlayerOpen(&g_player, path.c_str());
        if (length < 1024) {
            EXPECT_EQ(1, opened);
            EXPECT_EQ(path, g_mediaPath);
            PlayerRelease(&g_player);
            continue;
        }
        EXPECT_EQ(0, opened);
        EXPECT_EQ(0, CountCalls("control.RenderFile"));
        EXPECT_EQ((FAILED_PREFIX + path).substr(0, 1023), g_mediaPath);
        EXPECT_EQ((FAILED_PREFIX + path).substr(0, 199), g_titleLine);
        EXPECT_EQ(nullptr, g_player.graph);
        EXPECT_TRUE(graphSet.AllReferencesBack());
    }
}

} // namespace
