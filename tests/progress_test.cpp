// The progress tick's arithmetic and title line, against a fake seeking.
#include "app/state.h"
#include "fakes.h"
#include "strip/progress.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const LONGLONG MINUTE = 600000000;  // 100-ns units

class Progress : public testing::Test {
protected:
    FakeGraphSet set;
    void SetUp() override
    {
        g_player = Player{};
        set.Install(&g_player);
        wcscpy(g_mediaPath, L"C:\\music\\song.wav");
        wcscpy(g_titleLine, L"stale");
        g_duration = MINUTE;
        g_position = 0;
        g_fakeCalls.clear();
    }
    void TearDown() override
    {
        g_player = Player{};
        g_mediaPath[0] = g_titleLine[0] = 0;
        g_duration = g_position = 0;
    }
};

TEST_F(Progress, WidthIsThePositionsShareOfTheDuration)
{
    const struct { LONGLONG position, duration; int width, progress; } cases[] = {
        {150000000, MINUTE, 200, 50},
        {MINUTE - 1, MINUTE, 200, 199},
        {MINUTE, MINUTE, 200, 200},
        {MINUTE * 3 / 2, MINUTE, 200, 300},
        {0, MINUTE, 200, 0},
        {150000000, 0, 200, 0},                            // no duration: no division
        {1, 1, 200, 200},
        {MINUTE * 600 / 2, MINUTE * 600, 192, 96},         // ten hours: the product needs 64 bits
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.position);
        set.seeking.position = c.position;
        g_duration = c.duration;
        wcscpy(g_titleLine, L"stale");
        EXPECT_EQ(c.progress, UpdateProgress(&g_player, c.width));
        EXPECT_EQ(c.position, g_position);
        EXPECT_STREQ(L"song.wav", g_titleLine);
    }
}

TEST_F(Progress, WithoutAPositionTheWidthIsZeroButTheTitleIsRefreshed)
{
    set.seeking.position = 150000000;
    set.seeking.positionResult = E_FAIL;
    EXPECT_EQ(0, UpdateProgress(&g_player, 200));
    EXPECT_EQ(1, CountCalls("seeking.GetCurrentPosition"));
    EXPECT_STREQ(L"song.wav", g_titleLine);

    g_player.seeking = nullptr;
    wcscpy(g_titleLine, L"stale");
    g_fakeCalls.clear();
    EXPECT_EQ(0, UpdateProgress(&g_player, 200));
    EXPECT_TRUE(g_fakeCalls.empty());
    EXPECT_STREQ(L"song.wav", g_titleLine);
}

TEST_F(Progress, TitleLineIsTheFileNamePartCopiedLiterally)
{
    std::wstring longName(250, L'n');
    const struct { std::wstring path, title; } cases[] = {
        {L"C:\\a\\100%s%n%d.wav", L"100%s%n%d.wav"},
        {L"no-backslash.wav", L"no-backslash.wav"},
        {L"C:\\folder\\", L""},
        {L"C:\\" + longName, longName.substr(0, 199)},
        {L"\u5931\u6557:C:\\x\\y.wav", L"y.wav"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.path));
        wcscpy(g_mediaPath, c.path.c_str());
        UpdateProgress(&g_player, 200);
        EXPECT_EQ(c.title, g_titleLine);
    }
}

TEST_F(Progress, WithoutGraphNothingChanges)
{
    g_player.graph = nullptr;
    set.seeking.position = 150000000;
    g_position = 42;
    wcscpy(g_titleLine, L"\u5931\u6557:C:\\bad.wav");
    for (int tick = 0; tick < 3; ++tick) EXPECT_EQ(0, UpdateProgress(&g_player, 200));
    EXPECT_EQ(42, g_position);
    EXPECT_STREQ(L"\u5931\u6557:C:\\bad.wav", g_titleLine);
    EXPECT_TRUE(g_fakeCalls.empty());
}

TEST(FlickerSeed, AdvancesBy323TimesPlus12345Wrapping)
{
    EXPECT_EQ(12668, NextFlickerSeed(1));
    EXPECT_EQ(4104109, NextFlickerSeed(12668));
    EXPECT_EQ(int(0xFFFFFFFFu * 323u + 12345u), NextFlickerSeed(-1));
}

} // namespace
