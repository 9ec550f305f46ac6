// Keys, clicks and the right-button volume drag, sent as real messages to a
// real strip while a WAV plays (or with no graph where that is the point).
#include "strip_fixture.h"

namespace {

class InputTest : public StripTest {
protected:
    void SetUp() override
    {
        StripTest::SetUp();
        if (!HasFatalFailure()) OpenLongWav();
    }

    void Key(WPARAM key) { EXPECT_EQ(Send(WM_KEYDOWN, key, 1), 0); }
    void Right(UINT message, int x) { Send(message, message == WM_RBUTTONDOWN ? MK_RBUTTON : 0, MAKELPARAM(WORD(SHORT(x)), 10)); }
    void Move(int x) { Send(WM_MOUSEMOVE, MK_RBUTTON, MAKELPARAM(WORD(SHORT(x)), 10)); }
};

class InputWithoutGraphTest : public StripTest {};

} // namespace

TEST_F(InputTest, TransportKeysAndClicks)
{
    struct { UINT message; WPARAM key; OAFilterState after; } steps[] = {
        { WM_KEYDOWN, VK_UP, State_Paused },     // up pauses
        { WM_KEYDOWN, VK_UP, State_Paused },
        { WM_KEYDOWN, VK_DOWN, State_Running },  // down plays
        { WM_KEYDOWN, 'P', State_Paused },
        { WM_KEYDOWN, 'P', State_Running },
        { WM_LBUTTONDOWN, MK_LBUTTON, State_Paused },
        { WM_LBUTTONDOWN, MK_LBUTTON, State_Running },
        { WM_KEYDOWN, VK_SPACE, State_Running },  // no action
    };
    for (const auto& step : steps) {
        EXPECT_EQ(Send(step.message, step.key, MAKELPARAM(20, 10)), 0);
        EXPECT_EQ(g_player.filterState, step.after) << "message " << step.message << " key " << step.key;
    }
}

TEST_F(InputTest, DoubleClickTogglesOnce)
{
    Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 10));
    Send(WM_LBUTTONUP, 0, MAKELPARAM(20, 10));
    Send(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(20, 10));
    Send(WM_LBUTTONUP, 0, MAKELPARAM(20, 10));
    EXPECT_EQ(g_player.filterState, State_Paused);
    OAFilterState actual;
    g_player.control->GetState(1000, &actual);
    EXPECT_EQ(actual, State_Paused);
}

TEST_F(InputTest, VolumeKeysStepAndClamp)
{
    struct { int start; WPARAM key; int after; } cases[] = {
        { 4000, VK_INSERT, 4500 }, { 9500, VK_INSERT, 10000 }, { 9800, VK_INSERT, 10000 }, { 10000, VK_INSERT, 10000 },
        { 5000, VK_DELETE, 4500 }, { 300, VK_DELETE, 0 }, { 0, VK_DELETE, 0 },
    };
    for (const auto& c : cases) {
        PlayerSetVolume(&g_player, c.start);
        ASSERT_EQ(Level(), c.start);
        g_volumeDisplayTicks = 0;
        Key(c.key);
        EXPECT_EQ(Level(), c.after) << c.start << " key " << c.key;
        EXPECT_EQ(g_volumeDisplayTicks, VOLUME_DISPLAY_TICKS);
    }
    // Auto-repeat: each WM_KEYDOWN is one more step.
    PlayerSetVolume(&g_player, 1000);
    for (int i = 0; i < 3; ++i) Key(VK_INSERT);
    EXPECT_EQ(Level(), 2500);
}

TEST_F(InputWithoutGraphTest, VolumeKeysOnlyShowTheDisplay)
{
    g_player.volume = -2345;
    for (WPARAM key : { WPARAM(VK_INSERT), WPARAM(VK_DELETE) }) {
        g_volumeDisplayTicks = 0;
        EXPECT_EQ(Send(WM_KEYDOWN, key, 1), 0);
        EXPECT_EQ(g_player.volume, -2345);
        EXPECT_EQ(g_volumeDisplayTicks, VOLUME_DISPLAY_TICKS);
    }
    // Transport input without a graph is harmless and changes nothing.
    for (WPARAM key : { WPARAM(VK_UP), WPARAM(VK_DOWN), WPARAM('P') }) Send(WM_KEYDOWN, key, 1);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, 0);
    EXPECT_EQ(g_player.graph, nullptr);
    EXPECT_EQ(g_player.filterState, State_Stopped);
}

TEST_F(InputWithoutGraphTest, KeyDownAnswersZeroForEveryKey)
{
    for (WPARAM key = 0; key < 256; ++key) EXPECT_EQ(Send(WM_KEYDOWN, key, 1), 0) << key;
}

TEST_F(InputTest, RightDragSetsVolumeFromThePress)
{
    PlayerSetVolume(&g_player, 5000);
    Right(WM_RBUTTONDOWN, 100);
    EXPECT_EQ(g_dragBaseLevel, 5000);
    EXPECT_EQ(g_dragOriginX, 100);
    EXPECT_EQ(g_volumeDisplayTicks, -1);
    EXPECT_EQ(GetCapture(), window);
    struct { int x, level; } moves[] = {
        { 110, 5500 }, { 90, 4500 }, { -300, 0 }, { -32768, 0 }, { 400, 10000 }, { 32767, 10000 },
        { 100, 5000 }, { 101, 5050 }, { 0, 0 }, { 200, 10000 }, { 150, 7500 },
    };
    for (const auto& m : moves) {
        Move(m.x);
        EXPECT_EQ(Level(), m.level) << "x " << m.x;
    }
    Right(WM_RBUTTONUP, 150);
    EXPECT_EQ(g_dragBaseLevel, -1);
    EXPECT_EQ(g_volumeDisplayTicks, 0);
    EXPECT_EQ(GetCapture(), nullptr);
    Move(0);  // no drag: moves change nothing
    EXPECT_EQ(Level(), 7500);
}

TEST_F(InputTest, VolumeKeyDuringDragRestartsTheCounter)
{
    PlayerSetVolume(&g_player, 5000);
    Right(WM_RBUTTONDOWN, 100);
    Key(VK_INSERT);
    EXPECT_EQ(Level(), 5500);
    EXPECT_EQ(g_volumeDisplayTicks, VOLUME_DISPLAY_TICKS);
    for (int i = 0; i < VOLUME_DISPLAY_TICKS; ++i) Send(WM_TIMER, TICK_TIMER_ID);
    EXPECT_EQ(g_volumeDisplayTicks, 0);
    // The drag goes on from the press, not from the key's level.
    Move(120);
    EXPECT_EQ(Level(), 6000);
    Move(80);
    EXPECT_EQ(Level(), 4000);
    // A right double click's second press starts no new drag.
    Send(WM_RBUTTONDBLCLK, MK_RBUTTON, MAKELPARAM(10, 10));
    EXPECT_EQ(g_dragBaseLevel, 5000);
    EXPECT_EQ(g_dragOriginX, 100);
    Right(WM_RBUTTONUP, 80);
    EXPECT_EQ(g_dragBaseLevel, -1);
}

TEST_F(InputTest, ReleaseWithoutDragHidesTheVolumeDisplay)
{
    Key(VK_DELETE);
    ASSERT_EQ(g_volumeDisplayTicks, VOLUME_DISPLAY_TICKS);
    int level = Level();
    Right(WM_RBUTTONUP, 30);
    EXPECT_EQ(g_dragBaseLevel, -1);
    EXPECT_EQ(g_volumeDisplayTicks, 0);
    EXPECT_EQ(Level(), level);
}
