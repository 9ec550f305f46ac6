// The progress tick's arithmetic and title line, against a fake seeking.
#include "core/state.h"
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
    }
    void TearDown() override
    {
        g_player = Player{};
        g_mediaPath[0] = g_titleLine[0] = 0;
        g_duration = g_position = 0;
    }
};

// The title line is refreshed on every tick, whether or not a position could be read.
TEST_F(Progress, WidthIsThePositionsShareOfTheDuration)
{
    const struct { LONGLONG position, duration; HRESULT read; int width, progress; } cases[] = {
        {150000000, MINUTE, S_OK, 200, 50},
        {MINUTE - 1, MINUTE, S_OK, 200, 199},
        {MINUTE, MINUTE, S_OK, 200, 200},
        {MINUTE * 3 / 2, MINUTE, S_OK, 200, 300},
        {0, MINUTE, S_OK, 200, 0},
        {150000000, 0, S_OK, 200, 0},                     // no duration: no division
        {MINUTE * 300, MINUTE * 600, S_OK, 192, 96},      // ten hours: the product needs 64 bits
        {150000000, MINUTE, E_FAIL, 200, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.position);
        set.seeking.position = c.position;
        set.seeking.positionResult = c.read;
        g_duration = c.duration;
        g_position = 7;
        wcscpy(g_titleLine, L"stale");
        EXPECT_EQ(c.progress, UpdateProgress(&g_player, c.width));
        EXPECT_EQ(SUCCEEDED(c.read) ? c.position : 7, g_position);
        EXPECT_STREQ(L"song.wav", g_titleLine);
    }
    g_player.seeking = nullptr;
    wcscpy(g_titleLine, L"stale");
    EXPECT_EQ(0, UpdateProgress(&g_player, 200));
    EXPECT_STREQ(L"song.wav", g_titleLine);

    // Without a graph nothing is read and nothing changes.
    g_player = Player{nullptr, nullptr, nullptr, nullptr, &set.seeking};
    wcscpy(g_titleLine, L"stale");
    g_fakeCalls.clear();
    EXPECT_EQ(0, UpdateProgress(&g_player, 200));
    EXPECT_EQ(7, g_position);
    EXPECT_STREQ(L"stale", g_titleLine);
    EXPECT_TRUE(g_fakeCalls.empty());
}

TEST_F(Progress, TitleLineIsTheFileNamePartCopiedLiterally)
{
    std::wstring longName(250, L'n');
    const struct { std::wstring path, title; } cases[] = {
        {L"C:\\a\\100%s%n%d.wav", L"100%s%n%d.wav"},
        {L"C:\\folder\\", L""},
        {L"C:\\" + longName, longName.substr(0, 199)},
    };
    for (const auto& c : cases) {
        wcscpy(g_mediaPath, c.path.c_str());
        UpdateProgress(&g_player, 200);
        EXPECT_EQ(c.title, g_titleLine);
    }
}

TEST(FlickerSeed, AdvancesBy323TimesPlus12345Wrapping)
{
    EXPECT_EQ(12668, NextFlickerSeed(1));
    EXPECT_EQ(4104109, NextFlickerSeed(12668));
    EXPECT_EQ(int(0xFFFFFFFFu * 323u + 12345u), NextFlickerSeed(-1));
}

} // namespace
