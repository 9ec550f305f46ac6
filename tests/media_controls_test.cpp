// The system media transport controls, through a fake activation function
// that hands out fake controls; and the real activation, which Wine 8 lacks.
#include "app/commands.h"
#include "app/media_controls.h"

#include "shell_fakes.h"
#include "strip_fixture.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

const WCHAR CONTROLS_CLASS[] = L"Windows.Media.SystemMediaTransportControls";

// A strip with the fake controls set ready to be activated.
class MediaControlsTest : public StripTest {
protected:
    FakeControlsSet set;
    FakeControls& controls = set.interop.controls;
    FakeDisplay& display = controls.display;
    void SetUp() override
    {
        StripTest::SetUp();
        g_fakeControlsSet = &set;
        g_fakeCalls.clear();
    }
    void TearDown() override
    {
        ReleaseMediaControls();
        EXPECT_EQ(g_mediaControls, nullptr);
        EXPECT_TRUE(set.AllReferencesBack());
        g_fakeControlsSet = nullptr;
        StripTest::TearDown();
    }
    // The status the controls were given last, and how many times it was given.
    int StatusCalls() { return int(std::count_if(g_fakeCalls.begin(), g_fakeCalls.end(), [](const std::string& call) {
        return call.rfind("controls.put_PlaybackStatus", 0) == 0;
    })); }
    void Tick(int times = 1)
    {
        for (int i = 0; i < times; ++i) Send(WM_TIMER, TICK_TIMER_ID);
    }
    // Opens a WAV of milliseconds as a later launch would, and waits for it to play.
    void OpenWav(const WCHAR* name, int milliseconds)
    {
        WCHAR path[MAX_PATH];
        TempFile(path, MAX_PATH, name);
        ASSERT_TRUE(WriteWav(path, milliseconds));
        ASSERT_EQ(Record(CMD_OPEN, path), 1);
        ASSERT_EQ(g_player.filterState, State_Running);
    }
};

} // namespace

TEST_F(MediaControlsTest, StartEnablesPlayPauseAndStopOnlyAndListens)
{
    CreateMediaControls(window, FakeActivate);
    ASSERT_EQ(g_mediaControls, static_cast<ISystemMediaTransportControls*>(&controls));
    EXPECT_EQ(set.className, CONTROLS_CLASS);
    EXPECT_EQ(set.interop.window, window);
    // No file: Closed, and no title to show.
    EXPECT_EQ(g_fakeCalls, (std::vector<std::string>{
        "interop.activate", "interop.GetForWindow", "interop.Release", "controls.put_IsEnabled(1)",
        "controls.put_IsPlayEnabled(1)", "controls.put_IsPauseEnabled(1)", "controls.put_IsStopEnabled(1)",
        "controls.add_ButtonPressed", "controls.put_PlaybackStatus(0)" }));
    EXPECT_EQ(set.interop.refs, 1);
    EXPECT_EQ(controls.refs, 2);  // the strip's own

    // The handler answers what an agile delegate answers, from any thread.
    IButtonPressedHandler* handler = controls.handler;
    ASSERT_NE(handler, nullptr);
    struct { IID id; HRESULT result; } asks[] = {
        { IID_IUnknown, S_OK }, { IID_IAgileObject, S_OK }, { __uuidof(IButtonPressedHandler), S_OK },
        { __uuidof(IInspectable), E_NOINTERFACE }, { IID_IMarshal, E_NOINTERFACE }, { IID_IClassFactory, E_NOINTERFACE },
    };
    for (const auto& ask : asks) {
        void* out = reinterpret_cast<void*>(1);
        EXPECT_EQ(handler->QueryInterface(ask.id, &out), ask.result);
        EXPECT_EQ(out, ask.result == S_OK ? static_cast<void*>(handler) : nullptr);
        if (out) EXPECT_EQ(handler->Release(), ULONG(controls.handlerReferencesAtAdd + 1));
    }
    EXPECT_EQ(handler->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    EXPECT_EQ(handler->AddRef(), ULONG(controls.handlerReferencesAtAdd + 2));
    EXPECT_EQ(handler->Release(), ULONG(controls.handlerReferencesAtAdd + 1));
    // A second start keeps the controls it has.
    g_fakeCalls.clear();
    CreateMediaControls(window, FakeActivate);
    EXPECT_TRUE(g_fakeCalls.empty());
}

// The status at each state the strip shows, given only when it changes;
// the title on each open that plays.
TEST_F(MediaControlsTest, StatusAndTitleFollowTheStrip)
{
    CreateMediaControls(window, FakeActivate);
    ASSERT_EQ(controls.status, MediaPlaybackStatus_Closed);
    ASSERT_NO_FATAL_FAILURE(OpenWav(L"smtc-first.wav", 30000));
    EXPECT_EQ(controls.status, MediaPlaybackStatus_Playing);
    EXPECT_EQ(display.music.title, L"smtc-first.wav");
    for (const char* call : { "controls.get_DisplayUpdater", "display.put_Type(1)", "display.get_MusicProperties",
                              "music.put_Title", "display.Update" })
        EXPECT_EQ(CountCalls(call), 1) << call;

    struct { ULONG_PTR command; int status, calls; } steps[] = {
        { CMD_PAUSE, MediaPlaybackStatus_Paused, 3 }, { CMD_PAUSE, MediaPlaybackStatus_Paused, 3 },
        { CMD_TOGGLE, MediaPlaybackStatus_Playing, 4 }, { CMD_PLAY, MediaPlaybackStatus_Playing, 4 },
        { CMD_STOP, MediaPlaybackStatus_Stopped, 5 },  // stop pauses, and Windows shows it stopped
        { CMD_SET_VOLUME | 4000 << 16, MediaPlaybackStatus_Stopped, 5 }, { CMD_PLAY, MediaPlaybackStatus_Playing, 6 },
    };
    for (const auto& step : steps) {
        EXPECT_EQ(Record(step.command), 1);
        EXPECT_EQ(controls.status, step.status) << step.command;
        EXPECT_EQ(StatusCalls(), step.calls) << step.command;
    }
    Tick(5);  // ticks call nothing while nothing changes
    EXPECT_EQ(StatusCalls(), 6);
    EXPECT_EQ(CountCalls("display.Update"), 1);

    // A failed open closes and takes the last file's title away, once.
    for (int open = 0; open < 2; ++open) {
        EXPECT_EQ(Record(CMD_OPEN, L"Z:\\tallyvox-none\\gone.wav"), 1);
        EXPECT_EQ(controls.status, MediaPlaybackStatus_Closed);
        EXPECT_EQ(display.music.title, L"");
        EXPECT_EQ(CountCalls("display.ClearAll"), 1);
        EXPECT_EQ(CountCalls("display.Update"), 2);
    }
    // A short file plays to its end: stopped, and played again.
    ASSERT_NO_FATAL_FAILURE(OpenWav(L"smtc-second.wav", 300));
    EXPECT_EQ(controls.status, MediaPlaybackStatus_Playing);
    EXPECT_EQ(display.music.title, L"smtc-second.wav");
    EXPECT_EQ(CountCalls("display.Update"), 3);
    EXPECT_TRUE(PumpUntil([&] { return controls.status == MediaPlaybackStatus_Stopped; }, 15000));
    EXPECT_TRUE(g_player.ended);
    Record(CMD_TOGGLE);
    EXPECT_EQ(controls.status, MediaPlaybackStatus_Playing);
}

// The controls come after the start-up's open: they show what it left.
TEST_F(MediaControlsTest, StartShowsTheFileAlreadyOpenAndWhatFails)
{
    ASSERT_NO_FATAL_FAILURE(OpenWav(L"smtc-start.wav", 30000));
    Record(CMD_PAUSE);
    g_fakeCalls.clear();
    display.musicResult = E_FAIL;  // no title, but the rest as ever
    CreateMediaControls(window, FakeActivate);
    EXPECT_EQ(controls.status, MediaPlaybackStatus_Paused);
    EXPECT_EQ(CountCalls("display.put_Type(1)"), 1);
    EXPECT_EQ(CountCalls("music.put_Title"), 0);
    EXPECT_EQ(CountCalls("display.Update"), 1);
    display.musicResult = S_OK;
    display.offered = false;  // nor any display at all
    ASSERT_NO_FATAL_FAILURE(OpenWav(L"smtc-start-2.wav", 30000));
    EXPECT_EQ(controls.status, MediaPlaybackStatus_Playing);
    EXPECT_EQ(CountCalls("display.Update"), 1);
}

// The controls call from a thread of their pool: the press is posted, and
// the strip's thread carries it out as the key of its name.
TEST_F(MediaControlsTest, ButtonsFromAnotherThreadAreCarriedOutOnTheStripsThread)
{
    ASSERT_NO_FATAL_FAILURE(OpenWav(L"smtc-buttons.wav", 30000));
    CreateMediaControls(window, FakeActivate);
    static IButtonPressedHandler* handler;
    handler = controls.handler;
    ASSERT_NE(handler, nullptr);
    struct Press { int button; HRESULT result, answer; };
    auto pressOnAnotherThread = [](Press* press) {
        HANDLE thread = CreateThread(nullptr, 0, [](void* argument) -> DWORD {
            Press* press = static_cast<Press*>(argument);
            FakeButtonArgs args(press->button);
            args.result = press->result;
            press->answer = handler->Invoke(nullptr, &args);
            return 0;
        }, press, 0, nullptr);
        WaitForSingleObject(thread, 10000);  // no messages taken meanwhile
        CloseHandle(thread);
    };
    const Press presses[] = {
        { SystemMediaTransportControlsButton_Pause, S_OK, S_OK }, { SystemMediaTransportControlsButton_Play, S_OK, S_OK },
        { SystemMediaTransportControlsButton_Stop, S_OK, S_OK },  // as /stop: a pause
        { SystemMediaTransportControlsButton_Play, E_FAIL, E_FAIL },  // no button read, nothing posted
        // Next, previous (one file: nowhere to go, and its start, paused still), nonsense.
        { 6, S_OK, S_OK }, { 7, S_OK, S_OK }, { 99, S_OK, S_OK }, { -1, S_OK, S_OK },
    };
    const OAFilterState after[] = { State_Paused, State_Running, State_Paused, State_Paused,
                                    State_Paused, State_Paused, State_Paused, State_Paused };
    for (size_t i = 0; i < sizeof presses / sizeof presses[0]; ++i) {
        Press press = presses[i];
        const OAFilterState before = g_player.filterState;
        pressOnAnotherThread(&press);
        EXPECT_EQ(press.answer, presses[i].answer) << i;
        EXPECT_EQ(g_player.filterState, before) << i << ": nothing done on the pool's thread";
        PumpMessages();
        EXPECT_EQ(g_player.filterState, after[i]) << i;
        EXPECT_EQ(GraphState(), after[i]) << i;
    }
    EXPECT_EQ(controls.status, MediaPlaybackStatus_Stopped) << "the last press that did anything was Stop";
    EXPECT_EQ(handler->Invoke(nullptr, nullptr), E_POINTER);
    // A press posted while a graph call runs waits for it, as every command does.
    BeginPlayerOperation();
    Send(WM_MEDIA_BUTTON, SystemMediaTransportControlsButton_Play);
    EXPECT_EQ(g_player.filterState, State_Paused);
    EndPlayerOperation();
    PumpMessages();
    EXPECT_EQ(g_player.filterState, State_Running);
}

// Next and Previous are enabled while there is a file to go to, told only
// when that changes, and their buttons go there.
TEST_F(MediaControlsTest, NextAndPreviousFollowTheQueue)
{
    CreateMediaControls(window, FakeActivate);
    WCHAR files[3][MAX_PATH];
    for (int i = 0; i < 3; ++i) {
        TempFile(files[i], MAX_PATH, i == 0 ? L"smtc-queue-a.wav" : i == 1 ? L"smtc-queue-b.wav" : L"smtc-queue-c.wav");
        ASSERT_TRUE(WriteWav(files[i], 30000));
    }
    auto flags = [] {
        std::vector<std::string> calls;
        for (const std::string& call : g_fakeCalls)
            if (call.find("Next") != std::string::npos || call.find("Previous") != std::string::npos) calls.push_back(call);
        return calls;
    };
    const std::string next = "controls.put_IsNextEnabled(", previous = "controls.put_IsPreviousEnabled(";
    struct Step { std::function<void()> act; int file; std::vector<std::string> calls; };
    const Step steps[] = {
        { [&] { Record(CMD_QUEUE, files[0]); }, 0, {} },
        { [&] { Record(CMD_QUEUE, files[1]); }, 0, { next + "1)" } },
        { [&] { Record(CMD_QUEUE, files[2]); }, 0, {} },
        { [&] { Send(WM_MEDIA_BUTTON, SystemMediaTransportControlsButton_Next); }, 1, { previous + "1)" } },
        { [&] { Send(WM_MEDIA_BUTTON, SystemMediaTransportControlsButton_Next); }, 2, { next + "0)" } },
        { [&] { Send(WM_MEDIA_BUTTON, SystemMediaTransportControlsButton_Previous); }, 1, { next + "1)" } },
        { [&] { Tick(3); }, 1, {} },
        { [&] { Record(CMD_OPEN, files[2]); }, 2, { next + "0)", previous + "0)" } },
    };
    for (size_t i = 0; i < sizeof steps / sizeof steps[0]; ++i) {
        g_fakeCalls.clear();
        steps[i].act();
        EXPECT_STREQ(files[steps[i].file], g_mediaPath) << i;
        EXPECT_EQ(steps[i].calls, flags()) << i;
    }
}

// A file with a picture shows as video, with its name as the title: through
// DirectShow a renderer answers the graph's video window, and through Media
// Foundation the session has a window of its own.
TEST_F(MediaControlsTest, AFileWithAPictureShowsAsVideo)
{
    CreateMediaControls(window, FakeActivate);
    WCHAR avi[MAX_PATH];
    TempFile(avi, MAX_PATH, L"smtc-picture.avi");
    ASSERT_TRUE(WriteAvi(avi, 160, 120, 30, 10));
    ASSERT_EQ(1, Record(CMD_OPEN, avi));
    ASSERT_EQ(g_player.filterState, State_Running);
    EXPECT_EQ(1, CountCalls("display.put_Type(2)"));
    EXPECT_EQ(L"smtc-picture.avi", display.video.title);
    EXPECT_EQ(0, CountCalls("display.get_MusicProperties"));
    ASSERT_NO_FATAL_FAILURE(OpenWav(L"smtc-sound.wav", 30000));  // the graph's video window answers for sound too
    EXPECT_EQ(1, CountCalls("display.put_Type(1)"));
    EXPECT_EQ(L"smtc-sound.wav", display.music.title);
    PlayerRelease(&g_player);

    FakeSession session;
    for (HWND picture : { HWND(nullptr), window }) {
        g_player = Player{};
        g_player.session = &session;
        g_player.sessionVideo = picture;
        wcscpy(g_mediaPath, L"Z:\\clip.mp4");
        g_fakeCalls.clear();
        ShowMediaTitle();
        EXPECT_EQ(1, CountCalls(picture ? "display.put_Type(2)" : "display.put_Type(1)"));
        EXPECT_EQ(1, CountCalls(picture ? "video.put_Title" : "music.put_Title"));
    }
    g_player = Player{};
}

// A status the controls refused is given again at the next tick, until taken.
TEST_F(MediaControlsTest, ARefusedStatusIsGivenAgain)
{
    controls.statusResult = E_FAIL;
    CreateMediaControls(window, FakeActivate);
    EXPECT_EQ(1, StatusCalls());
    Tick();
    EXPECT_EQ(2, StatusCalls());
    EXPECT_EQ(-1, controls.status);
    controls.statusResult = S_OK;
    Tick();
    EXPECT_EQ(MediaPlaybackStatus_Closed, controls.status);
    Tick(3);
    EXPECT_EQ(3, StatusCalls());
}

// The window's end lets go of the handler and the controls: no button can
// reach a strip that is gone.
TEST_F(MediaControlsTest, DestroyingTheStripLetsGoOfTheControls)
{
    ASSERT_NO_FATAL_FAILURE(OpenWav(L"smtc-destroy.wav", 30000));
    CreateMediaControls(window, FakeActivate);
    ASSERT_NE(nullptr, controls.handler);
    DestroyWindow(window);
    EXPECT_EQ(nullptr, g_mediaControls);
    EXPECT_EQ(1, CountCalls("controls.remove_ButtonPressed(31249)"));
    EXPECT_TRUE(set.AllReferencesBack());
}

// Where the controls are missing or fail, nothing shows and nothing fails.
TEST_F(MediaControlsTest, MissingControlsLeaveTheStripAsItWas)
{
    struct { HRESULT activation; HRESULT getForWindow; bool controlsOffered; std::vector<std::string> calls; } cases[] = {
        { REGDB_E_CLASSNOTREG, S_OK, true, { "interop.activate" } },  // Windows 8, Wine 8
        { S_OK, E_NOTIMPL, true, { "interop.activate", "interop.GetForWindow", "interop.Release" } },
        { S_OK, S_OK, false, { "interop.activate", "interop.GetForWindow", "interop.Release" } },
    };
    for (const auto& c : cases) {
        set.activationResult = c.activation;
        set.interop.result = c.getForWindow;
        controls.offered = c.controlsOffered;
        g_fakeCalls.clear();
        CreateMediaControls(window, FakeActivate);
        EXPECT_EQ(g_mediaControls, nullptr);
        EXPECT_EQ(g_fakeCalls, c.calls);
        EXPECT_TRUE(set.AllReferencesBack());
    }
    // The interop is not offered: the activation fails and hands out nothing.
    set.activationResult = S_OK;
    set.interop.offered = false;
    CreateMediaControls(window, FakeActivate);
    EXPECT_EQ(g_mediaControls, nullptr);
    // The strip plays on, and its commands and ticks reach no controls.
    g_fakeCalls.clear();
    ASSERT_NO_FATAL_FAILURE(OpenWav(L"smtc-missing.wav", 30000));
    Record(CMD_PAUSE);
    Tick(3);
    Send(WM_MEDIA_BUTTON, SystemMediaTransportControlsButton_Play);
    EXPECT_EQ(g_player.filterState, State_Running);
    EXPECT_EQ(std::count_if(g_fakeCalls.begin(), g_fakeCalls.end(),
                            [](const std::string& call) { return call.rfind("controls.", 0) == 0; }), 0);
}

// Wine 8 has combase but not the class: the real activation fails cleanly.
TEST_F(MediaControlsTest, RealActivationUnderWineFailsCleanlyAndTheStripPlaysOn)
{
    CreateMediaControls(window);
    EXPECT_EQ(g_mediaControls, nullptr);
    ASSERT_NO_FATAL_FAILURE(OpenWav(L"smtc-real.wav", 30000));
    Send(WM_APPCOMMAND, WPARAM(window), MAKELPARAM(0, FAPPCOMMAND_KEY | APPCOMMAND_MEDIA_PLAY_PAUSE));
    EXPECT_EQ(g_player.filterState, State_Paused);
    Tick();
    Send(WM_MEDIA_BUTTON, SystemMediaTransportControlsButton_Play);
    EXPECT_EQ(GraphState(), State_Running);
}

// A strip inside another program's window has no controls of its own.
TEST_F(MediaControlsTest, ChildStripActivatesNothing)
{
    DestroyWindow(window);
    parent = CreatePlainWindow(60, 60, 300, 120);
    ASSERT_NO_FATAL_FAILURE(CreateStrip(parent));
    CreateMediaControls(window, FakeActivate);
    EXPECT_EQ(g_mediaControls, nullptr);
    ASSERT_NO_FATAL_FAILURE(OpenWav(L"smtc-child.wav", 30000));
    Record(CMD_PAUSE);
    Tick(2);
    EXPECT_TRUE(g_fakeCalls.empty());
}
