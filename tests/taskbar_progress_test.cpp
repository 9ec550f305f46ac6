// Progress on the taskbar button, through a fake taskbar list that the
// strip's own CoCreateInstance gets; and Wine's own list, which takes the
// calls though Wine has no button.
#include "app/commands.h"
#include "app/taskbar_progress.h"

#include "shell_fakes.h"
#include "strip_fixture.h"

#include <memory>

namespace {

const LONGLONG SECOND = MEDIA_TIME_PER_SECOND;

// A top-level strip that watches for its button, a fake list ready for it,
// and a fake graph at 15 s of a minute, playing.
class TaskbarTest : public StripTest {
protected:
    FakeTaskbarList list;
    std::unique_ptr<FakeTaskbarFactory> factory;  // after the fixture's COM start
    FakeGraphSet graph;
    void SetUp() override
    {
        StripTest::SetUp();
        factory = std::make_unique<FakeTaskbarFactory>(&list);
        list.window = window;
        WatchTaskbarButton(window);
        graph.Install(&g_player);
        g_player.filterState = graph.control.state = State_Running;
        g_duration = graph.seeking.duration = 60 * SECOND;
        graph.seeking.position = 15 * SECOND;
        g_fakeCalls.clear();
    }
    void TearDown() override
    {
        ReleaseTaskbarProgress();
        factory.reset();
        EXPECT_EQ(list.refs, 1);
        EXPECT_EQ(list.otherWindows, 0);
        if (g_player.graph == &graph.graph) g_player = Player{};  // the fakes go with the test; a real graph is released
        StripTest::TearDown();
    }
    void ButtonCreated() { EXPECT_EQ(Send(RegisterWindowMessageW(L"TaskbarButtonCreated")), 0); }
    void Tick() { Send(WM_TIMER, TICK_TIMER_ID); }
    // The calls on the taskbar since the last look, and no others.
    std::vector<std::string> TaskbarCalls()
    {
        std::vector<std::string> calls;
        for (const std::string& call : g_fakeCalls)
            if (call.rfind("taskbar.", 0) == 0 || call.rfind("factory.", 0) == 0) calls.push_back(call);
        g_fakeCalls.clear();
        return calls;
    }
};

using Calls = std::vector<std::string>;

} // namespace

// Before the button exists nothing is made or called; after it, each state
// the strip shows, given only when what the button shows changes.
TEST_F(TaskbarTest, NothingBeforeTheButtonThenEachStateOnlyWhenItChanges)
{
    Tick();
    Record(CMD_PAUSE);
    Record(CMD_PLAY);
    Tick();
    EXPECT_EQ(TaskbarCalls(), Calls{});

    ButtonCreated();
    EXPECT_EQ(TaskbarCalls(), (Calls{ "factory.CreateInstance", "taskbar.HrInit", "taskbar.SetProgressState(2)",
                                      "taskbar.SetProgressValue(64,256)" }));
    struct { const char* what; LONGLONG position; ULONG_PTR command; Calls calls; } steps[] = {
        { "the same place", 15 * SECOND, 0, {} },
        { "within the same 256th", 15 * SECOND + SECOND / 10, 0, {} },
        { "a 256th on", 16 * SECOND, 0, { "taskbar.SetProgressValue(68,256)" } },
        { "paused: yellow", 16 * SECOND, CMD_PAUSE, { "taskbar.SetProgressState(8)", "taskbar.SetProgressValue(68,256)" } },
        { "paused again", 16 * SECOND, CMD_PAUSE, {} },
        { "a volume step", 16 * SECOND, CMD_ADD_VOLUME | 500 << 16, {} },
        { "stopped: no progress", 16 * SECOND, CMD_STOP, { "taskbar.SetProgressState(0)" } },
        { "stopped still", 16 * SECOND, 0, {} },
        { "playing: green", 16 * SECOND, CMD_PLAY, { "taskbar.SetProgressState(2)", "taskbar.SetProgressValue(68,256)" } },
        { "one unit short of the end", 60 * SECOND - 1, 0, { "taskbar.SetProgressValue(255,256)" } },
        { "the end's place", 60 * SECOND, 0, { "taskbar.SetProgressValue(256,256)" } },
        { "past the end", 90 * SECOND, 0, {} },
        { "before the start", -SECOND, 0, { "taskbar.SetProgressValue(0,256)" } },
    };
    for (const auto& step : steps) {
        graph.seeking.position = step.position;
        if (step.command) Record(step.command);
        else Tick();
        EXPECT_EQ(TaskbarCalls(), step.calls) << step.what;
    }
    // The end, as the graph tells it: no progress.
    graph.seeking.position = 60 * SECOND;
    graph.events.queue = { EC_COMPLETE };
    Send(WM_GRAPHNOTIFY);
    EXPECT_EQ(TaskbarCalls(), Calls{ "taskbar.SetProgressState(0)" });
    Tick();
    EXPECT_EQ(TaskbarCalls(), Calls{});
    // Played again after the end, from the start: green from the first tick.
    graph.seeking.position = 0;
    Record(CMD_TOGGLE);
    EXPECT_EQ(TaskbarCalls(), (Calls{ "taskbar.SetProgressState(2)", "taskbar.SetProgressValue(0,256)" }));
    // An unknown length shows an empty bar in the state's colour.
    g_duration = 0;
    graph.seeking.position = 30 * SECOND;
    Tick();
    EXPECT_EQ(TaskbarCalls(), Calls{});
}

// A failed open: red and full; no file: nothing; a file again: green at once.
TEST_F(TaskbarTest, FailedOpenIsRedAndFullAndNoFileShowsNothing)
{
    ButtonCreated();
    TaskbarCalls();
    g_player = Player{};  // a real graph for the opens
    EXPECT_EQ(Record(CMD_OPEN, L"Z:\\tallyvox-none\\gone.wav"), 1);
    ASSERT_EQ(g_player.graph, nullptr);
    EXPECT_EQ(TaskbarCalls(), (Calls{ "taskbar.SetProgressState(4)", "taskbar.SetProgressValue(256,256)" }));
    Tick();
    EXPECT_EQ(TaskbarCalls(), Calls{});

    ASSERT_EQ(Record(CMD_OPEN, LongWav()), 1);
    ASSERT_EQ(g_player.filterState, State_Running);
    const Calls playing = TaskbarCalls();
    ASSERT_EQ(playing.size(), 2u);
    EXPECT_EQ(playing[0], "taskbar.SetProgressState(2)");
    EXPECT_EQ(playing[1].rfind("taskbar.SetProgressValue(", 0), 0u);
    PlayerRelease(&g_player);  // as a strip with no file: the button shows nothing
    g_failedOpen = FALSE;
    Tick();
    EXPECT_EQ(TaskbarCalls(), Calls{ "taskbar.SetProgressState(0)" });
}

// Started paused, the button shows it at once; after Explorer restarts, the
// message comes again and the new button is shown the same.
TEST_F(TaskbarTest, StartedPausedAndAfterExplorerRestarts)
{
    Record(CMD_PAUSE);
    graph.seeking.position = 30 * SECOND;
    Tick();
    ASSERT_EQ(TaskbarCalls(), Calls{});
    const Calls shown = { "taskbar.SetProgressState(8)", "taskbar.SetProgressValue(128,256)" };
    ButtonCreated();
    Calls expected = { "factory.CreateInstance", "taskbar.HrInit" };
    expected.insert(expected.end(), shown.begin(), shown.end());
    EXPECT_EQ(TaskbarCalls(), expected);
    ButtonCreated();
    expected.insert(expected.begin(), "taskbar.Release");
    EXPECT_EQ(TaskbarCalls(), expected);
    EXPECT_EQ(list.refs, 2);
}

// A list that cannot be made or started leaves the strip as it was.
TEST_F(TaskbarTest, FailingListShowsNothingAndTheStripPlaysOn)
{
    factory->createResult = REGDB_E_CLASSNOTREG;
    ButtonCreated();
    list.initResult = E_FAIL;
    factory->createResult = S_OK;
    ButtonCreated();
    EXPECT_EQ(TaskbarCalls(), (Calls{ "factory.CreateInstance", "factory.CreateInstance", "taskbar.HrInit",
                                      "taskbar.Release" }));
    list.offered = false;  // made, but not an ITaskbarList3 (Windows Vista's)
    ButtonCreated();
    Record(CMD_PAUSE);
    Tick();
    EXPECT_EQ(TaskbarCalls(), Calls{ "factory.CreateInstance" });
    EXPECT_EQ(g_player.filterState, State_Paused);
}

// A strip inside another program's window has no button of its own.
TEST_F(TaskbarTest, ChildStripMakesNoList)
{
    ReleaseTaskbarProgress();
    DestroyWindow(window);
    parent = CreatePlainWindow(60, 60, 300, 120);
    ASSERT_NO_FATAL_FAILURE(CreateStrip(parent));
    list.window = window;
    WatchTaskbarButton(window);
    EXPECT_EQ(g_taskbarButtonCreated, 0u);
    ButtonCreated();
    HandleTaskbarButtonCreated(window);
    Record(CMD_PAUSE);
    Tick();
    EXPECT_EQ(TaskbarCalls(), Calls{});
}

// Wine 8 has a taskbar list that takes every call, but never a button nor
// the message; sent here all the same, the real list changes nothing.
TEST_F(TaskbarTest, WinesOwnListTakesTheCallsAndTheStripPlaysOn)
{
    factory.reset();
    g_player = Player{};
    ASSERT_EQ(Record(CMD_OPEN, LongWav()), 1);
    ButtonCreated();
    Record(CMD_PAUSE);
    Tick();
    Record(CMD_OPEN, L"Z:\\tallyvox-none\\gone.wav");
    Tick();
    ButtonCreated();
    ASSERT_EQ(Record(CMD_OPEN, LongWav()), 1);
    Tick();
    EXPECT_EQ(GraphState(), State_Running);
}
