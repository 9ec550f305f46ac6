// Keys, clicks and the right-button volume drag, sent as real messages to a
// real strip while a WAV plays, or with no graph.
#include "strip_fixture.h"

#include <vector>

class InputTest : public StripTest {
protected:
    void Key(WPARAM key) { EXPECT_EQ(Send(WM_KEYDOWN, key, 1), 0); }
    void Mouse(UINT message, int x, WPARAM keys = MK_RBUTTON) { Send(message, keys, MAKELPARAM(WORD(SHORT(x)), 10)); }
};

TEST_F(InputTest, TransportAndVolumeKeysAndClicks)
{
    ASSERT_NO_FATAL_FAILURE(OpenLongWav());
    struct { UINT message; WPARAM key; OAFilterState after; } steps[] = {
        { WM_KEYDOWN, VK_UP, State_Paused },   { WM_KEYDOWN, VK_UP, State_Paused },  // up pauses, down plays
        { WM_KEYDOWN, VK_DOWN, State_Running }, { WM_KEYDOWN, 'P', State_Paused },
        { WM_KEYDOWN, 'P', State_Running },     { WM_LBUTTONDOWN, MK_LBUTTON, State_Paused },
        { WM_LBUTTONDOWN, MK_LBUTTON, State_Running }, { WM_KEYDOWN, VK_SPACE, State_Running },  // space: no action
    };
    for (const auto& step : steps) {
        EXPECT_EQ(Send(step.message, step.key, MAKELPARAM(20, 10)), 0);
        EXPECT_EQ(g_player.filterState, step.after) << "message " << step.message << " key " << step.key;
    }
    // A double click is a press, a double-click message and two releases: one toggle.
    for (UINT message : { WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP }) Mouse(message, 20, MK_LBUTTON);
    EXPECT_EQ(g_player.filterState, State_Paused);
    EXPECT_EQ(GraphState(), State_Paused);

    struct { int start; WPARAM key; int after; } cases[] = {
        { 4000, VK_INSERT, 4500 }, { 9800, VK_INSERT, 10000 }, { 10000, VK_INSERT, 10000 },
        { 5000, VK_DELETE, 4500 }, { 300, VK_DELETE, 0 },      { 0, VK_DELETE, 0 },
    };
    for (const auto& c : cases) {
        PlayerSetVolume(&g_player, c.start);
        ASSERT_EQ(Level(), c.start);
        g_volumeDisplayTicks = 0;
        Key(c.key);
        EXPECT_EQ(Level(), c.after) << c.start << " key " << c.key;
        EXPECT_EQ(g_volumeDisplayTicks, VOLUME_DISPLAY_TICKS);
    }
    // A release without a drag hides the volume display and keeps the level.
    Mouse(WM_RBUTTONUP, 30, 0);
    EXPECT_EQ(g_dragBaseLevel, -1);
    EXPECT_EQ(g_volumeDisplayTicks, 0);
    EXPECT_EQ(Level(), 0);
}

TEST_F(StripTest, KeysWithoutGraphAnswerZeroAndOnlyShowTheVolume)
{
    g_player.volume = -2345;
    for (WPARAM key = 0; key < 256; ++key) {
        g_volumeDisplayTicks = 0;
        EXPECT_EQ(Send(WM_KEYDOWN, key, 1), 0) << key;
        EXPECT_EQ(g_volumeDisplayTicks, key == VK_INSERT || key == VK_DELETE ? VOLUME_DISPLAY_TICKS : 0) << key;
    }
    Send(WM_LBUTTONDOWN, MK_LBUTTON, 0);
    EXPECT_EQ(g_player.volume, -2345);
    EXPECT_EQ(g_player.graph, nullptr);
    EXPECT_EQ(g_player.filterState, State_Stopped);
}

TEST_F(InputTest, RightDragSetsVolumeFromThePress)
{
    ASSERT_NO_FATAL_FAILURE(OpenLongWav());
    PlayerSetVolume(&g_player, 5000);
    Mouse(WM_RBUTTONDOWN, 100);
    EXPECT_EQ(g_dragBaseLevel, 5000);
    EXPECT_EQ(g_dragOriginX, 100);
    EXPECT_EQ(g_volumeDisplayTicks, -1);
    EXPECT_EQ(GetCapture(), window);
    struct { int x, level; } moves[] = {  // 50 levels per pixel, from the press
        { 110, 5500 }, { 90, 4500 }, { -300, 0 }, { -32768, 0 }, { 400, 10000 },
        { 32767, 10000 }, { 100, 5000 }, { 101, 5050 },
    };
    for (const auto& m : moves) {
        Mouse(WM_MOUSEMOVE, m.x);
        EXPECT_EQ(Level(), m.level) << "x " << m.x;
    }
    // A volume key mid-drag steps and restarts the counter; the drag goes on from the press.
    Key(VK_INSERT);
    EXPECT_EQ(Level(), 5550);
    EXPECT_EQ(g_volumeDisplayTicks, VOLUME_DISPLAY_TICKS);
    Mouse(WM_MOUSEMOVE, 150);
    EXPECT_EQ(Level(), 7500);
    Mouse(WM_RBUTTONDBLCLK, 10);  // a right double click's second press starts no new drag
    EXPECT_EQ(g_dragBaseLevel, 5000);
    EXPECT_EQ(g_dragOriginX, 100);
    Mouse(WM_RBUTTONUP, 150, 0);
    EXPECT_EQ(g_dragBaseLevel, -1);
    EXPECT_EQ(g_volumeDisplayTicks, 0);
    EXPECT_EQ(GetCapture(), nullptr);
    Mouse(WM_MOUSEMOVE, 0);  // no drag: moves change nothing
    EXPECT_EQ(Level(), 7500);
}

// Another window taking the mouse ends the drag as a release does: a later
// hover changes nothing, and the volume bar goes at the next tick.
TEST_F(InputTest, LosingTheCaptureEndsTheDrag)
{
    ASSERT_NO_FATAL_FAILURE(OpenLongWav());
    PlayerSetVolume(&g_player, 5000);
    HWND other = CreatePlainWindow(400, 400, 50, 50);
    Mouse(WM_RBUTTONDOWN, 100);
    Mouse(WM_MOUSEMOVE, 110);
    ASSERT_EQ(Level(), 5500);
    SetCapture(other);  // a dialog, a system menu, Alt+Tab
    EXPECT_EQ(g_dragBaseLevel, -1);
    EXPECT_EQ(g_volumeDisplayTicks, 0);
    Mouse(WM_MOUSEMOVE, 180);
    Send(WM_TIMER, TICK_TIMER_ID);
    EXPECT_EQ(Level(), 5500);
    EXPECT_EQ(g_volumeDisplayTicks, 0);
    ReleaseCapture();
    DestroyWindow(other);
    // A new press while the strip holds the mouse still starts a drag.
    Mouse(WM_RBUTTONDOWN, 100);
    Mouse(WM_RBUTTONDOWN, 100);
    Mouse(WM_MOUSEMOVE, 90);
    EXPECT_EQ(Level(), 5000);
    Mouse(WM_RBUTTONUP, 90, 0);
}

// WM_APPCOMMAND as the keyboard's media keys, a remote or a mouse's buttons
// bring it: the transport commands are the strip's, every other goes on
// (next and previous, the strip's too, are the queue's test's).
TEST_F(InputTest, AppCommandsPlayPauseAndStopAndLeaveTheRestToTheSystem)
{
    ASSERT_NO_FATAL_FAILURE(OpenLongWav());
    PlayerSetVolume(&g_player, 5000);
    LONGLONG position = 0;
    ASSERT_TRUE(PumpUntil([&] { return PlayerGetPosition(&g_player, &position) && position > 0; }, 5000));
    struct { int command; WORD device; LRESULT result; OAFilterState after; } steps[] = {
        { APPCOMMAND_MEDIA_PLAY_PAUSE, FAPPCOMMAND_KEY, TRUE, State_Paused },
        { APPCOMMAND_MEDIA_PLAY_PAUSE, FAPPCOMMAND_OEM, TRUE, State_Running },
        { APPCOMMAND_MEDIA_PAUSE, FAPPCOMMAND_KEY, TRUE, State_Paused },
        { APPCOMMAND_MEDIA_PAUSE, FAPPCOMMAND_KEY, TRUE, State_Paused },
        { APPCOMMAND_MEDIA_PLAY, FAPPCOMMAND_MOUSE, TRUE, State_Running },
        { APPCOMMAND_MEDIA_PLAY, FAPPCOMMAND_KEY, TRUE, State_Running },
        { APPCOMMAND_VOLUME_UP, FAPPCOMMAND_KEY, FALSE, State_Running },
        { APPCOMMAND_VOLUME_DOWN, FAPPCOMMAND_KEY, FALSE, State_Running },
        { APPCOMMAND_VOLUME_MUTE, FAPPCOMMAND_KEY, FALSE, State_Running },
        { APPCOMMAND_BROWSER_BACKWARD, FAPPCOMMAND_MOUSE, FALSE, State_Running },
        { APPCOMMAND_MEDIA_STOP, FAPPCOMMAND_KEY, TRUE, State_Paused },  // as /stop: a pause
        { APPCOMMAND_MEDIA_PLAY_PAUSE, FAPPCOMMAND_KEY, TRUE, State_Running },
        { APPCOMMAND_MEDIA_STOP, FAPPCOMMAND_KEY, TRUE, State_Paused },
        { 0x0fff, FAPPCOMMAND_KEY, FALSE, State_Paused },  // no command Windows knows
    };
    for (const auto& step : steps) {
        EXPECT_EQ(Send(WM_APPCOMMAND, WPARAM(window), MAKELPARAM(0, step.device | step.command)), step.result)
            << "command " << step.command;
        EXPECT_EQ(g_player.filterState, step.after) << "command " << step.command;
    }
    // Stop kept the place, and no command was the strip's volume.
    LONGLONG stopped = -1, later = -2;
    ASSERT_TRUE(PlayerGetPosition(&g_player, &stopped));
    Sleep(300);
    ASSERT_TRUE(PlayerGetPosition(&g_player, &later));
    EXPECT_GT(stopped, 0);
    EXPECT_EQ(later, stopped);
    EXPECT_EQ(Level(), 5000);
    EXPECT_EQ(g_volumeDisplayTicks, 0);
    Send(WM_APPCOMMAND, WPARAM(window), MAKELPARAM(0, FAPPCOMMAND_KEY | APPCOMMAND_MEDIA_PLAY));
    EXPECT_EQ(GraphState(), State_Running);
}

// DefWindowProcW hands a child window's app commands to its parent: the
// strip inside another program keeps only its own, and the keys that make
// them reach DefWindowProcW, which makes them on Windows, answered 0.
TEST_F(StripTest, AppCommandsNotTheStripsReachTheParent)
{
    static std::vector<int> heard;
    heard.clear();
    parent = CreatePlainWindow(60, 60, 300, 120);
    SetWindowLongPtrW(parent, GWLP_WNDPROC, LONG_PTR(+[](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        if (m == WM_APPCOMMAND) heard.push_back(GET_APPCOMMAND_LPARAM(lp));
        return DefWindowProcW(w, m, wp, lp);
    }));
    DestroyWindow(window);
    ASSERT_NO_FATAL_FAILURE(CreateStrip(parent));
    ASSERT_NO_FATAL_FAILURE(OpenLongWav());
    for (int command : { APPCOMMAND_VOLUME_UP, APPCOMMAND_MEDIA_PLAY_PAUSE, APPCOMMAND_MEDIA_NEXTTRACK,
                         APPCOMMAND_MEDIA_STOP, APPCOMMAND_VOLUME_MUTE, APPCOMMAND_MEDIA_PLAY }) {
        Send(WM_APPCOMMAND, WPARAM(window), MAKELPARAM(0, FAPPCOMMAND_KEY | command));
    }
    EXPECT_EQ(heard, (std::vector<int>{ APPCOMMAND_VOLUME_UP, APPCOMMAND_VOLUME_MUTE }));
    EXPECT_EQ(g_player.filterState, State_Running);
    for (WPARAM key = VK_BROWSER_BACK; key <= VK_LAUNCH_APP2; ++key) EXPECT_EQ(Send(WM_KEYDOWN, key, 1), 0) << key;
    EXPECT_EQ(Level(), 9500);
    EXPECT_EQ(g_volumeDisplayTicks, 0);
}
