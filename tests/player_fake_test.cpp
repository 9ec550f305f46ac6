// The player against fake graphs: call counts, order and failures on demand.
#include "core/state.h"
#include "fakes.h"
#include "product_state.h"
#include "player/player.h"
#include "window_helpers.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

const std::wstring FAILED_PREFIX = L"\u5931\u6557:";
const HWND NOTIFY_WINDOW = reinterpret_cast<HWND>(0x1234);  // 4660 in the log
using Calls = std::vector<std::string>;

// a, then b.
Calls Joined(Calls a, const Calls& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Calls Starting(const std::string& prefix)
{
    Calls found;
    for (const std::string& call : g_fakeCalls) {
        if (call.rfind(prefix, 0) == 0) found.push_back(call);
    }
    return found;
}

// Every field of the record, so that a mismatch names it.
std::string Fields(const Player& p)
{
    char text[256];
    snprintf(text, sizeof text, "graph %p control %p events %p audio %p seeking %p video %p vol %ld mask %lx state %ld",
             p.graph, p.control, p.events, p.audio, p.seeking, p.videoWindow, p.volume, p.eventMask, p.filterState);
    return text;
}

// The set is installed as the player's graph, with no calls logged yet.
class PlayerFake : public testing::Test {
protected:
    FakeGraphSet set;
    void SetUp() override
    {
        CoInitialize(nullptr);
        g_player = Player{};
        set.Install(&g_player);
        g_fakeCalls.clear();
    }
    void TearDown() override
    {
        g_player = Player{};  // the fakes die with the test
        RestoreProductGlobals();
        CoUninitialize();
    }
    // The player as if a session played: the record holds its own reference
    // to each part given.
    void PlaySession(FakeSession& session, FakeClock* clock = nullptr, FakeSource* source = nullptr,
                     FakeStreamVolume* volume = nullptr)
    {
        g_player = Player{};
        g_player.session = FakeGraphSet::Ref(session);
        g_player.clock = clock ? FakeGraphSet::Ref(*clock) : nullptr;
        g_player.source = source ? FakeGraphSet::Ref(*source) : nullptr;
        g_player.sessionVolume = volume ? FakeGraphSet::Ref(*volume) : nullptr;
        g_player.filterState = State_Running;
        g_fakeCalls.clear();
    }
    // Opens path on the set as a graph that was used before, with the log cleared.
    int Open(const wchar_t* path)
    {
        g_player.filterState = State_Stopped;
        g_fakeCalls.clear();
        return PlayerOpen(&g_player, path);
    }
};

TEST_F(PlayerFake, WithoutGraphNoOperationCallsOrChangesAnything)
{
    set.events.queue = {1, 3};
    g_player = Player{nullptr, &set.control, &set.events, &set.audio, &set.seeking, &set.video, -500, 0x40,
                      State_Running};
    wcscpy(g_statusLine, L"State:40");
    std::string before = Fields(g_player);
    PlayerSetVolume(&g_player, 2000);
    PlayerWaitState(&g_player);
    PlayerPause(&g_player);
    PlayerPlay(&g_player);
    PlayerTogglePause(&g_player);
    PlayerHandleEvents(&g_player);
    PlayerStop(&g_player);
    PlayerRelease(&g_player);
    EXPECT_EQ(Calls{}, g_fakeCalls);
    EXPECT_EQ(before, Fields(g_player));
    EXPECT_STREQ(L"State:40", g_statusLine);
}

TEST_F(PlayerFake, VolumeLevelIsClampedAndKeptOnlyWhenTheAudioTakesIt)
{
    const struct { int level; HRESULT result; long sent, kept; } cases[] = {
        {-1, S_OK, -10000, -10000}, {0, S_OK, -10000, -10000}, {1, S_OK, -9999, -9999}, {9500, S_OK, -500, -500},
        {10000, S_OK, 0, 0}, {10001, S_OK, 0, 0}, {INT_MIN, S_OK, -10000, -10000}, {INT_MAX, S_OK, 0, 0},
        {9000, E_FAIL, -1000, -1234}, {9000, S_FALSE, -1000, -1000},  // success is judged by the sign
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.level);
        g_fakeCalls.clear();
        set.audio.putVolumeResult = c.result;
        g_player.volume = -1234;
        PlayerSetVolume(&g_player, c.level);
        EXPECT_EQ(Calls{"audio.put_Volume(" + std::to_string(c.sent) + ")"}, g_fakeCalls);
        EXPECT_EQ(c.kept, g_player.volume);
    }
    g_player.audio = nullptr;
    g_player.volume = -1234;
    g_fakeCalls.clear();
    PlayerSetVolume(&g_player, 3000);
    EXPECT_EQ(Calls{}, g_fakeCalls);
    EXPECT_EQ(-1234, g_player.volume);
}

TEST_F(PlayerFake, StateWaitsAreBounded)
{
    // The wait ends on exactly S_OK or after thirty calls.
    for (HRESULT result : {S_OK, HRESULT(VFW_S_STATE_INTERMEDIATE), S_FALSE, E_FAIL}) {
        SCOPED_TRACE(result);
        g_fakeCalls.clear();
        set.control.getStateResult = result;
        set.control.state = State_Paused;
        g_player.filterState = State_Running;
        PlayerWaitState(&g_player);
        EXPECT_EQ(result == S_OK ? 1 : 30, CountCalls("control.GetState"));
        EXPECT_EQ(State_Paused, g_player.filterState);
    }

    // Pause waits while the graph runs, but not forever.
    set.control.getStateResult = S_OK;
    set.control.state = State_Running;
    g_fakeCalls.clear();
    PlayerPause(&g_player);  // follows the transport: settles paused at once
    EXPECT_EQ((Calls{"control.Pause", "control.GetState"}), g_fakeCalls);
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
    const struct { std::vector<long> codes; ULONG maskBefore; const wchar_t* status; OAFilterState state; } cases[] = {
        {{1, 3}, 0, L"State:a", State_Stopped},
        {{33}, 0, L"State:2", State_Running},  // folds onto bit 1, but is no completion
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
        // Each event is fetched and freed with its own parameters; nothing else is called.
        Calls expected;
        for (long code : c.codes) {
            expected.push_back("events.GetEvent");
            expected.push_back("events.FreeEventParams(" + std::to_string(code) + ")");
        }
        expected.push_back("events.GetEvent");
        EXPECT_EQ(expected, g_fakeCalls);
    }
}

TEST_F(PlayerFake, ToggleRunsAfterCompletionAndPausesWhileRunning)
{
    set.control.state = g_player.filterState = State_Running;
    set.events.queue = {EC_COMPLETE};
    PlayerHandleEvents(&g_player);
    g_fakeCalls.clear();
    PlayerTogglePause(&g_player);
    EXPECT_EQ((Calls{"control.Stop", "seeking.SetPositions(0,1)", "control.Run", "control.GetState"}), g_fakeCalls);
    EXPECT_EQ(State_Running, g_player.filterState);

    g_fakeCalls.clear();
    PlayerTogglePause(&g_player);
    EXPECT_EQ((Calls{"control.Pause", "control.GetState", "control.GetState"}), g_fakeCalls);
    EXPECT_EQ(State_Paused, g_player.filterState);
}

// After the end the graph plays nothing from where it stands: play, a toggle
// and a seek move it first, and a pause in between is kept by the seek.
TEST_F(PlayerFake, AfterTheEndPlayAndSeekMoveTheGraphFirst)
{
    const Calls replay = {"control.Stop", "seeking.SetPositions(0,1)", "control.Run", "control.GetState"};
    const struct { void (*before)(Player*); void (*command)(Player*); Calls calls; OAFilterState after; } cases[] = {
        {nullptr, PlayerPlay, replay, State_Running},
        {nullptr, PlayerTogglePause, replay, State_Running},
        {PlayerPause, PlayerPlay, replay, State_Running},
        {PlayerPause, PlayerTogglePause, replay, State_Running},
        {PlayerPause, [](Player* p) { PlayerSeekTo(p, 20000000); },
         {"control.Stop", "seeking.SetPositions(20000000,1)", "control.Pause", "control.GetState"}, State_Paused},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << &c - cases);
        set.control.state = g_player.filterState = State_Running;
        set.events.queue = {EC_COMPLETE};
        PlayerHandleEvents(&g_player);
        if (c.before) c.before(&g_player);
        g_fakeCalls.clear();
        c.command(&g_player);
        EXPECT_EQ(c.calls, g_fakeCalls);
        EXPECT_EQ(c.after, g_player.filterState);
        EXPECT_FALSE(g_player.ended);
        g_fakeCalls.clear();
        PlayerSeekTo(&g_player, 10000000);  // and the next seek is a plain one
        EXPECT_EQ(Calls{"seeking.SetPositions(10000000,1)"}, g_fakeCalls);
    }
}

TEST_F(PlayerFake, ReleaseStopsDetachesAndGivesEverythingBackOnce)
{
    for (bool withVideo : {true, false}) {
        SCOPED_TRACE(withVideo);
        PlayerRelease(&g_player);
        set.Install(&g_player, withVideo);
        g_player.volume = -2345;
        g_player.eventMask = 0x6;
        g_player.filterState = set.control.state = State_Running;
        g_fakeCalls.clear();
        PlayerRelease(&g_player);
        Calls expected = {"control.Pause", "control.GetState", "control.Stop", "video.put_Visible(0)",
                          "video.put_MessageDrain(0)", "video.put_Owner(0)", "video.Release", "seeking.Release",
                          "audio.Release", "events.Release", "control.Release", "graph.Release"};
        if (!withVideo) expected.erase(expected.begin() + 3, expected.begin() + 7);
        EXPECT_EQ(expected, g_fakeCalls);
        EXPECT_TRUE(set.AllReferencesBack());
        std::string released =
            Fields(Player{nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, -2345, 6, State_Stopped});
        EXPECT_EQ(released, Fields(g_player));

        g_fakeCalls.clear();
        PlayerRelease(&g_player);
        EXPECT_EQ(Calls{}, g_fakeCalls);
        EXPECT_EQ(released, Fields(g_player));
    }
}

TEST_F(PlayerFake, CreateKeepsAGraphOnlyWithControlAndEvents)
{
    const struct { bool control, events, audioAndSeeking; HRESULT create; int result; } cases[] = {
        {true, true, true, S_OK, 1}, {false, true, true, S_OK, 0}, {true, false, true, S_OK, 0},
        {false, false, true, S_OK, 0}, {true, true, true, E_OUTOFMEMORY, 0}, {true, true, false, S_OK, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.control << c.events << c.audioAndSeeking << c.create);
        FakeGraphSet made;
        made.control.offered = c.control;
        made.events.offered = c.events;
        made.audio.offered = made.seeking.offered = c.audioAndSeeking;
        FakeGraphFactory factory(&made);
        ASSERT_NE(0u, factory.cookie);
        factory.createResult = c.create;
        PlayerRelease(&g_player);  // of what a released record keeps, only the level reaches the new one
        g_player.volume = -2345;
        g_player.eventMask = 0x6;
        g_fakeCalls.clear();
        EXPECT_EQ(c.result, PlayerCreate(&g_player, NOTIFY_WINDOW));
        bool all = c.result && c.audioAndSeeking;
        EXPECT_EQ(Fields(Player{c.result ? &made.graph : nullptr, c.result ? &made.control : nullptr,
                                c.result ? &made.events : nullptr, all ? &made.audio : nullptr,
                                all ? &made.seeking : nullptr, nullptr, -2345, 0, State_Stopped}),
                  Fields(g_player));
        EXPECT_EQ(c.result, CountCalls("events.SetNotifyWindow(4660,1130,0)"));
        EXPECT_EQ(int(all), CountCalls("audio.put_Volume(-2345)"));
        PlayerRelease(&g_player);
        EXPECT_TRUE(made.AllReferencesBack());
    }
}

TEST_F(PlayerFake, ReusedGraphIsEmptiedRenderedCaptionedAndRunWithTheVolumeKept)
{
    set.seeking.duration = 123456789;
    g_player.volume = -3000;
    const struct { const wchar_t* path; const wchar_t* caption; } cases[] = {
        {L"D:\\clips\\a.avi", L"a.avi"}, {L"a.avi", L"a.avi"}, {L"D:/clips/b.avi", L"D:/clips/b.avi"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.path)));
        EXPECT_EQ(1, Open(c.path));
        // Stopped and emptied, the old file's video window gone, before the new file is rendered.
        EXPECT_EQ((Calls{"control.Stop", "video.Release", "graph.EnumFilters", "control.RenderFile",
                         "video.put_Caption", "video.GetWindowPosition",  // placed by the strip, which has none here
                         "video.put_MessageDrain(0)", "seeking.SetTimeFormat", "seeking.GetDuration",
                         "seeking.SetPositions(0,1)",  // the last file's place goes with it
                         "control.Run", "control.GetState", "audio.put_Volume(-3000)"}),
                  g_fakeCalls);
        EXPECT_EQ(c.path, set.control.renderedPath);
        EXPECT_STREQ(c.path, g_mediaPath);
        EXPECT_EQ(c.caption, set.video.caption);
        EXPECT_EQ(Fields(Player{&set.graph, &set.control, &set.events, &set.audio, &set.seeking, &set.video, -3000, 0,
                                State_Running}),
                  Fields(g_player));
        EXPECT_EQ(2, set.video.refs);
        EXPECT_EQ(123456789, g_duration);
    }
}

// An open starts from an unknown length and place: nothing of the last file
// is left when the new graph cannot tell its own.
TEST_F(PlayerFake, OpenForgetsTheLastFilesDurationAndPosition)
{
    const struct { bool seeking; HRESULT read; LONGLONG duration; } cases[] = {
        {true, S_OK, 123}, {true, E_NOTIMPL, 0}, {false, S_OK, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.seeking << " " << c.read);
        set.seeking.duration = 123;
        set.seeking.durationResult = c.read;
        if (!c.seeking) g_player.seeking = nullptr;
        g_duration = 600000000;
        g_position = 300000000;
        EXPECT_EQ(1, Open(L"C:\next.wav"));
        EXPECT_EQ(c.duration, g_duration);
        EXPECT_EQ(0, g_position);
        g_player.seeking = &set.seeking;
    }
}

// The platforms a session's requests are tried on: Windows' documented
// flow, and Wine's: 10 leads a paused picture into its place, 8 never stops
// a picture's session.
const int WINDOWS = 0, WINE_10 = 1000, WINE_8 = 800;
const LONGLONG CLOCK = 12345, LENGTH = 100000000;

// The player as if a session played, with its clock, source and stream
// volume, and a picture when picture (a window never drawn into here).
struct SessionSet {
    FakeSession session;
    FakeClock clock;
    FakeSource source;
    FakeStreamVolume volume;
    SessionSet(int wine, bool picture, OAFilterState state, bool ended = false)
    {
        g_wineVersion = wine;
        session.answerMs = 0;
        clock.time = CLOCK;
        g_player = Player{};
        g_player.session = FakeGraphSet::Ref(session);
        g_player.clock = FakeGraphSet::Ref(clock);
        g_player.source = FakeGraphSet::Ref(source);
        g_player.sessionVolume = FakeGraphSet::Ref(volume);
        g_player.sessionVideo = picture ? CreatePlainWindow(0, 0, 100, 100) : nullptr;
        g_player.filterState = state;
        g_player.ended = ended;
        g_duration = LENGTH;
        g_fakeCalls.clear();
    }
    ~SessionSet()
    {
        if (g_player.sessionVideo) DestroyWindow(g_player.sessionVideo);
        g_player = Player{};
    }
    // The calls but the releases, which ShutDown's order already shows.
    static Calls Made()
    {
        Calls made;
        for (const std::string& call : g_fakeCalls) if (call.find("Release") == std::string::npos) made.push_back(call);
        return made;
    }
};

const Calls MUTED = {"volume.SetChannelVolume(0,0)", "volume.SetChannelVolume(1,0)"};
const Calls LEVEL = {"volume.SetChannelVolume(0,562)", "volume.SetChannelVolume(1,562)"};
Calls Quietly(const Calls& calls) { return Joined(Joined(MUTED, calls), LEVEL); }

enum Request { PLAY, PAUSE, SEEK_3S, HOME, TO_THE_END };
void Perform(Request request)
{
    switch (request) {
    case PLAY: PlayerPlay(&g_player); break;
    case PAUSE: PlayerPause(&g_player); break;
    case SEEK_3S: PlayerSeekTo(&g_player, 30000000); break;
    case HOME: PlayerSeekTo(&g_player, 0); break;
    case TO_THE_END: PlayerSeekTo(&g_player, LENGTH + 5); break;
    }
}

// What each request asks of a session that answers it, where it leaves the
// strip, and where the strip then stands: a pause there, a paused seek at
// exactly its place, the end at the full length.
TEST_F(PlayerFake, SessionRequestsOnWindowsAndUnderWine)
{
    const OAFilterState RUN = State_Running, PAUSED = State_Paused, STOP = State_Stopped;
    const struct {
        const char* name; int wine; bool picture; OAFilterState state; bool ended; Request request;
        Calls calls; OAFilterState after; bool endedAfter; LONGLONG at;
    } cases[] = {
        {"pause", WINDOWS, true, RUN, false, PAUSE, {"session.Pause"}, PAUSED, false, CLOCK},
        {"resume", WINDOWS, true, PAUSED, false, PLAY, {"session.Start(empty)"}, RUN, false, CLOCK},
        {"running seek", WINDOWS, true, RUN, false, SEEK_3S, {"session.Start(30000000)"}, RUN, false, CLOCK},
        {"paused seek", WINDOWS, true, PAUSED, false, SEEK_3S, Quietly({"session.Start(30000000)", "session.Pause"}),
         PAUSED, false, 30000000},
        {"home while paused", WINDOWS, true, PAUSED, false, HOME, Quietly({"session.Start(0)", "session.Pause"}), PAUSED,
         false, 0},
        {"paused seek to the end", WINDOWS, true, PAUSED, false, TO_THE_END, {"session.Stop"}, STOP, true, LENGTH},
        {"running seek past the end", WINDOWS, false, RUN, false, TO_THE_END, {"session.Stop"}, STOP, true, LENGTH},
        {"play after the end", WINDOWS, true, STOP, true, PLAY, {"session.Start(0)"}, RUN, false, CLOCK},
        {"seek after the end", WINDOWS, true, STOP, true, SEEK_3S, {"session.Start(30000000)"}, RUN, false, CLOCK},
        {"pause after the end", WINDOWS, true, STOP, true, PAUSE, {}, PAUSED, true, LENGTH},
        {"seek paused after the end", WINDOWS, false, PAUSED, true, SEEK_3S,
         Quietly({"session.Start(30000000)", "session.Pause"}), PAUSED, false, 30000000},
        {"resume", WINE_10, true, PAUSED, false, PLAY, {"session.Start(empty)"}, RUN, false, CLOCK},
        {"paused picture seek", WINE_10, true, PAUSED, false, SEEK_3S,
         Quietly({"session.Stop", "session.Start(26000000)", "session.Pause"}), PAUSED, false, 30000000},
        {"paused sound seek", WINE_8, false, PAUSED, false, SEEK_3S,
         Quietly({"session.Stop", "session.Start(30000000)", "session.Pause"}), PAUSED, false, 30000000},
        {"seek paused after the end", WINE_10, false, PAUSED, true, SEEK_3S,
         Quietly({"session.Start(30000000)", "session.Pause"}), PAUSED, false, 30000000},
        {"sound resume", WINE_8, false, PAUSED, false, PLAY, {"session.Start(empty)"}, RUN, false, CLOCK},
        {"sound seek", WINE_8, false, RUN, false, SEEK_3S, {"session.Stop", "session.Start(30000000)"}, RUN, false, CLOCK},
        {"running picture seek", WINE_10, true, RUN, false, SEEK_3S, {"session.Start(30000000)"}, RUN, false, CLOCK},
        {"picture seek to the end", WINE_8, true, RUN, false, TO_THE_END, {"session.Pause"}, STOP, true, LENGTH},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name << " at " << c.wine);
        SessionSet set(c.wine, c.picture, c.state, c.ended);
        g_player.pausedAt = CLOCK;
        Perform(c.request);
        EXPECT_EQ(c.calls, g_fakeCalls);
        EXPECT_EQ(c.after, g_player.filterState);
        EXPECT_EQ(c.endedAfter, bool(g_player.ended));
        LONGLONG at = -1;
        EXPECT_TRUE(PlayerGetPosition(&g_player, &at));
        EXPECT_EQ(c.at, at);
        EXPECT_EQ(2, set.session.refs) << "the file plays on";
    }
}

// A request refused, on the spot or in its answer, is never waited for. A
// session that stopped at its end without telling refuses a pause: it has
// ended, and stands paused there. Any other refusal loses the file: the
// session is closed and the strip shows the failure.
TEST_F(PlayerFake, ARefusedRequestTakesEffectAtOnce)
{
    const Calls closed = Joined(MUTED, {"session.Close", "source.Shutdown", "session.Shutdown"});
    const struct {
        const char* name; OAFilterState state; Request request; const char* refused; bool onTheSpot;
        MFCLOCK_STATE clock; Calls calls; bool lost; OAFilterState after; bool ended;
    } cases[] = {
        {"pause, stopped at the end", State_Running, PAUSE, "Pause", true, MFCLOCK_STATE_STOPPED, {"session.Pause"},
         false, State_Paused, true},
        {"pause answered, stopped at the end", State_Running, PAUSE, "Pause", false, MFCLOCK_STATE_STOPPED,
         {"session.Pause"}, false, State_Paused, true},
        {"pause, running", State_Running, PAUSE, "Pause", true, MFCLOCK_STATE_RUNNING,
         Joined({"session.Pause"}, closed), true, State_Stopped, false},
        {"resume", State_Paused, PLAY, "Start", true, MFCLOCK_STATE_PAUSED, Joined({"session.Start(empty)"}, closed),
         true, State_Stopped, false},
        {"running seek", State_Running, SEEK_3S, "Start", false, MFCLOCK_STATE_RUNNING,
         Joined({"session.Start(30000000)"}, closed), true, State_Stopped, false},
        {"stop of a stopped session", State_Running, TO_THE_END, "Stop", true, MFCLOCK_STATE_STOPPED, {"session.Stop"},
         false, State_Stopped, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SessionSet set(WINDOWS, false, c.state);
        (c.onTheSpot ? set.session.refuses : set.session.answersWith)[c.refused] = MF_E_SESSION_PAUSEWHILESTOPPED;
        set.clock.state = c.clock;
        wcscpy(g_mediaPath, L"C:\\music\\one.m4a");
        DWORD start = GetTickCount();
        Perform(c.request);
        EXPECT_LT(GetTickCount() - start, 1000u);
        EXPECT_EQ(c.calls, SessionSet::Made());
        EXPECT_EQ(!c.lost, PlayerHasMedia(&g_player));
        EXPECT_EQ(c.lost ? FAILED_PREFIX + L"C:\\music\\one.m4a" : L"C:\\music\\one.m4a", g_mediaPath);
        EXPECT_EQ(c.after, g_player.filterState);
        EXPECT_EQ(c.ended, bool(g_player.ended));
    }
}

// A session that stops answering holds no command for long: it is parked
// where the user sees the file lost, muted, its window hidden, with the
// references it holds. Once it answers it is closed, then shut down and
// released. Under Wine its source goes at once, and no new session is made
// while one is parked; Windows makes the next file a session of its own.
TEST_F(PlayerFake, ASilentSessionIsParkedAndReleasedOnceItAnswers)
{
    for (int wine : { WINDOWS, WINE_10 }) {
        SCOPED_TRACE(wine);
        SessionSet set(wine, true, State_Running);
        set.session.answerMs = INFINITE;
        HWND window = g_player.sessionVideo;
        wcscpy(g_mediaPath, L"C:\\music\\stuck.m4a");
        DWORD start = GetTickCount();
        PlayerPause(&g_player);
        EXPECT_LT(GetTickCount() - start, 15000u);
        Calls parked = {"session.Pause"};
        if (wine) parked.push_back("source.Shutdown");
        parked = Joined(parked, MUTED);
        EXPECT_EQ(parked, g_fakeCalls);
        EXPECT_FALSE(PlayerHasMedia(&g_player));
        EXPECT_FALSE(IsWindowVisible(window));
        EXPECT_EQ(FAILED_PREFIX + L"C:\\music\\stuck.m4a", g_titleLine);
        EXPECT_EQ(FAILED_PREFIX + L"C:\\music\\stuck.m4a", g_mediaPath);
        EXPECT_EQ(2, set.session.refs);
        // A new session while it is parked: refused under Wine, before any call.
        g_fakeCalls.clear();
        EXPECT_EQ(0, PlayerOpen(&g_player, L"C:\\music\\none.m4a"));
        EXPECT_EQ(Calls{}, g_fakeCalls);

        PlayerPollEvents(&g_player);
        EXPECT_EQ(Calls{}, g_fakeCalls) << "silent still";
        set.session.answerMs = 50;
        set.session.AnswerNow(MESessionPaused);
        PlayerPollEvents(&g_player);
        EXPECT_EQ(Calls{"session.Close"}, g_fakeCalls);
        Sleep(100);
        PlayerPollEvents(&g_player);
        EXPECT_EQ((Calls{"session.Close", "source.Shutdown", "session.Shutdown"}), SessionSet::Made());
        EXPECT_EQ(1, set.session.refs);
        EXPECT_EQ(1, set.source.refs);
        EXPECT_EQ(1, set.clock.refs);
        EXPECT_FALSE(IsWindow(window));
    }
}

// Closing a session: muted, closed and shut down, its window destroyed
// after. One that does not close in time is parked, its window hidden and
// kept (under Wine its source shut down at once), and released at the
// strip's end once it closes. Under Wine 8 a picture's session is paused
// and shut down without a Close; one silent even then is parked.
TEST_F(PlayerFake, ASessionIsClosedOrParked)
{
    const Calls shutDown = {"source.Shutdown", "session.Shutdown"};
    const struct { int wine; bool closes; Calls calls, atTheEnd; } cases[] = {
        {WINDOWS, true, Joined(Joined(MUTED, {"session.Close"}), shutDown), {}},
        {WINDOWS, false, Joined(Joined(MUTED, {"session.Close"}), MUTED), shutDown},
        {WINE_10, false, Joined(Joined(MUTED, {"session.Close", "source.Shutdown"}), MUTED), shutDown},
        {WINE_8, true, Joined(Joined(MUTED, {"session.Pause"}), shutDown), {}},
        {WINE_8, false, Joined(Joined(MUTED, {"session.Pause", "source.Shutdown"}), MUTED), shutDown},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.wine << c.closes);
        SessionSet set(c.wine, true, State_Running);
        set.session.answerMs = c.closes ? 0 : INFINITE;
        HWND window = g_player.sessionVideo;
        DWORD start = GetTickCount();
        PlayerRelease(&g_player);
        EXPECT_LT(GetTickCount() - start, 10000u);
        EXPECT_EQ(c.calls, SessionSet::Made());
        EXPECT_FALSE(PlayerHasMedia(&g_player));
        EXPECT_EQ(c.atTheEnd.empty() ? 1 : 2, set.session.refs);
        EXPECT_EQ(!c.atTheEnd.empty(), bool(IsWindow(window)));
        EXPECT_FALSE(IsWindowVisible(window));

        g_fakeCalls.clear();
        if (!c.closes) set.session.AnswerNow(MESessionClosed);
        set.session.answerMs = 0;
        EXPECT_TRUE(PlayerShutdown(&g_player));
        EXPECT_EQ(c.atTheEnd, SessionSet::Made());
        EXPECT_EQ(1, set.session.refs);
        EXPECT_FALSE(IsWindow(window));
    }
}

// A session that misses its end has ended all the same: stopped by itself,
// or its clock a second past the length. Under Wine 8 a picture is paused
// just before its end, which is noted there.
TEST_F(PlayerFake, ASessionPastItsEndHasEnded)
{
    const struct { int wine; bool picture; LONGLONG time; MFCLOCK_STATE clock; Calls calls; bool ends; } cases[] = {
        {WINDOWS, false, 110000001, MFCLOCK_STATE_RUNNING, {"session.Stop"}, true},
        {WINDOWS, false, 110000000, MFCLOCK_STATE_RUNNING, {}, false},
        {WINDOWS, true, 99000000, MFCLOCK_STATE_RUNNING, {}, false},
        {WINDOWS, false, 0, MFCLOCK_STATE_STOPPED, {}, true},
        {WINE_8, true, 97000000, MFCLOCK_STATE_RUNNING, {"session.Pause"}, true},
        {WINE_8, true, 96000000, MFCLOCK_STATE_RUNNING, {}, false},
        {WINE_8, false, 99000000, MFCLOCK_STATE_RUNNING, {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.wine << " " << c.time);
        SessionSet set(c.wine, c.picture, State_Running);
        set.clock.time = c.time;
        set.clock.state = c.clock;
        wcscpy(g_statusLine, L"*******************");
        PlayerPollEvents(&g_player);  // the tick's drain
        EXPECT_EQ(c.calls, g_fakeCalls);
        EXPECT_EQ(c.ends, bool(g_player.ended));
        EXPECT_EQ(c.ends ? State_Stopped : State_Running, g_player.filterState);
        EXPECT_STREQ(c.ends ? L"State:2" : L"*******************", g_statusLine);
        LONGLONG position = -1;
        EXPECT_TRUE(PlayerGetPosition(&g_player, &position));
        EXPECT_EQ(c.ends ? LENGTH : c.time, position) << "the bar stays full once ended";
    }
}

TEST_F(PlayerFake, FailedRunKeepsTheGraphForTheNextOpen)
{
    set.control.runResult = E_FAIL;
    EXPECT_EQ(0, Open(L"C:\\one.wav"));
    EXPECT_EQ(&set.graph, g_player.graph);
    EXPECT_STREQ(L"C:\\one.wav", g_mediaPath);
    EXPECT_EQ(State_Stopped, g_player.filterState);
    EXPECT_EQ("control.Run", g_fakeCalls.back());

    set.control.runResult = S_FALSE;  // Wine's answer while the graph gets going
    EXPECT_EQ(1, Open(L"C:\\two.wav"));
    EXPECT_EQ(&set.graph, g_player.graph);
    EXPECT_EQ(L"C:\\two.wav", set.control.renderedPath);
    EXPECT_EQ(0, CountCalls("graph.Release"));
    EXPECT_EQ(State_Running, g_player.filterState);
}

TEST_F(PlayerFake, DockingPutsTheVideoIntoTheTargetsBottomCornerWhenAllCanBeRead)
{
    HWND target = CreatePlainWindow(100, 120, 500, 400);
    RECT t;
    GetWindowRect(target, &t);
    const struct { int side; long width, height; HRESULT read; bool targetGone; long left, top, w, h; int dpi; } cases[] = {
        {1, 640, 480, S_OK, false, t.right - 260, t.bottom - 260, 260, 260},
        {1, 640, 480, S_OK, false, t.right - 390, t.bottom - 390, 390, 390, 144},  // the limit scales as the strip
        {0, 200, 400, S_OK, false, t.left, t.bottom - 325, 200, 325, 120},
        {0, 200, 400, S_OK, false, t.left, t.bottom - 260, 200, 260},
        {0, 260, 261, S_OK, false, t.left, t.bottom - 260, 260, 260},
        {7, 120, 90, S_OK, false, t.right - 120, t.bottom - 90, 120, 90},
        {-1, 100, 100, S_OK, false},  // no side: left where the renderer put it
        {1, 100, 100, E_FAIL, false},
        {1, 100, 100, S_OK, true},  // last: the target is destroyed
    };
    g_dockTarget = target;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.side << " " << c.width << "x" << c.height << " at " << c.dpi);
        g_dockSide = c.side;
        g_stripDpi = c.dpi ? c.dpi : 96;
        set.video.width = c.width;
        set.video.height = c.height;
        set.video.getPositionResult = c.read;
        if (c.targetGone) DestroyWindow(target);
        EXPECT_EQ(1, Open(L"C:\\v.avi"));
        Calls placed;
        if (c.w) {
            placed.push_back("video.SetWindowPosition(" + std::to_string(c.left) + "," + std::to_string(c.top) + "," +
                             std::to_string(c.w) + "," + std::to_string(c.h) + ")");
        }
        EXPECT_EQ(placed, Starting("video.SetWindowPosition"));
        EXPECT_EQ(State_Running, g_player.filterState);
    }
    DestroyWindow(target);
}

// A failure shows on both lines, each cut to its own capacity; a path too long
// for the path line is never rendered, since cut short it could name another file.
TEST_F(PlayerFake, FailedOrRefusedPathsShowTheFailureAndLeaveNoGraph)
{
    const struct { size_t length; HRESULT render; bool fromMediaPath; } cases[] = {
        {250, VFW_E_UNSUPPORTED_STREAM, false}, {20, E_FAIL, true}, {1023, E_FAIL, false},
        {1023, S_OK, false}, {1024, S_OK, false}, {5000, S_OK, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.length << " " << c.render);
        PlayerRelease(&g_player);
        set.Install(&g_player);
        set.control.renderResult = c.render;
        std::wstring path = L"C:\\" + std::wstring(c.length - 3, L'q');
        if (c.fromMediaPath) wcscpy(g_mediaPath, path.c_str());
        bool fits = c.length < 1024, opened = fits && SUCCEEDED(c.render);
        EXPECT_EQ(int(opened), Open(c.fromMediaPath ? g_mediaPath : path.c_str()));
        EXPECT_EQ(int(fits), CountCalls("control.RenderFile"));
        if (opened) {
            EXPECT_EQ(path, g_mediaPath);
            continue;
        }
        EXPECT_EQ((FAILED_PREFIX + path).substr(0, 1023), g_mediaPath);
        EXPECT_EQ((FAILED_PREFIX + path).substr(0, 199), g_titleLine);
        EXPECT_EQ(nullptr, g_player.graph);
        EXPECT_TRUE(set.AllReferencesBack());
    }
}

} // namespace
