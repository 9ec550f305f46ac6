// The player against Wine's real filter graph, with media the tests write.
#include "app/state.h"
#include "media.h"
#include "player/player.h"
#include "window_helpers.h"

#include <gtest/gtest.h>

#include <string>

namespace {

int g_notifications;

// Stands in for the strip window: drains the graph when it signals.
LRESULT CALLBACK NotifyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_GRAPHNOTIFY) return DefWindowProcW(window, message, wParam, lParam);
    ++g_notifications;
    PlayerHandleEvents(&g_player);
    return 0;
}

HWND CreateNotifyWindow()
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = NotifyWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"TallyvoxTestNotify";
    RegisterClassW(&windowClass);
    return CreateWindowExW(0, L"TallyvoxTestNotify", L"notify", WS_POPUP, 0, 0, 200, 62, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

LONGLONG Position()
{
    LONGLONG position = 0;
    if (g_player.seeking) g_player.seeking->GetCurrentPosition(&position);
    return position;
}

bool PlaysOn()
{
    LONGLONG start = Position();
    return PumpUntil([&] { return Position() > start; }, 5000);
}

bool PlaysToTheEnd()
{
    return PumpUntil([] { return g_player.filterState == State_Stopped; }, 15000);
}

int FilterCount()
{
    IEnumFilters* filters = nullptr;
    if (FAILED(g_player.graph->EnumFilters(&filters))) return -1;
    int count = 0;
    for (IBaseFilter* filter; filters->Next(1, &filter, nullptr) == S_OK; ++count) filter->Release();
    filters->Release();
    return count;
}

class MediaPlayer : public testing::Test {
protected:
    HWND notifyWindow = nullptr;
    void SetUp() override
    {
        CoInitialize(nullptr);
        g_player = Player{};
        g_notifications = 0;
        notifyWindow = g_mainWindow = CreateNotifyWindow();
        wcscpy(g_statusLine, L"*******************");
    }
    void TearDown() override
    {
        PlayerRelease(&g_player);
        DestroyWindow(notifyWindow);
        g_mainWindow = nullptr;
        g_dockSide = -1;
        g_dockTarget = nullptr;
        g_mediaPath[0] = g_titleLine[0] = 0;
        g_duration = 0;
        CoUninitialize();
    }
    std::wstring Wav(const wchar_t* name, int milliseconds)
    {
        WCHAR path[MAX_PATH];
        TempFile(path, MAX_PATH, name);
        EXPECT_TRUE(WriteWav(path, milliseconds));
        return path;
    }
};

TEST_F(MediaPlayer, WavOpensRunsAndAdvances)
{
    std::wstring path = Wav(L"open.wav", 1500);
    ASSERT_EQ(1, PlayerOpen(&g_player, path.c_str()));
    EXPECT_EQ(State_Running, g_player.filterState);
    EXPECT_EQ(15000000, g_duration);
    EXPECT_EQ(path, g_mediaPath);
    EXPECT_EQ(-500, g_player.volume);
    EXPECT_TRUE(PlaysOn());
}

// Also the whole life of a small program: open, play, drain to EC_COMPLETE.
TEST_F(MediaPlayer, WavPlaysToCompletion)
{
    ASSERT_EQ(1, PlayerOpen(&g_player, Wav(L"complete.wav", 800).c_str()));
    ASSERT_TRUE(PlaysToTheEnd());
    EXPECT_GT(g_notifications, 0);
    ASSERT_EQ(0, wcsncmp(g_statusLine, L"State:", 6)) << g_statusLine;
    ULONG shown = wcstoul(g_statusLine + 6, nullptr, 16);
    EXPECT_EQ(g_player.eventMask, shown);
    EXPECT_TRUE(shown & (1u << EC_COMPLETE));
    EXPECT_EQ(State_Stopped, g_player.filterState);
}

TEST_F(MediaPlayer, OpeningWhilePlayingMakesANewGraph)
{
    ASSERT_EQ(1, PlayerOpen(&g_player, Wav(L"first.wav", 3000).c_str()));
    PlayerSetVolume(&g_player, 7000);
    EXPECT_EQ(-3000, g_player.volume);
    IGraphBuilder* first = g_player.graph;
    first->AddRef();  // keeps its address from being reused by the next graph
    std::wstring second = Wav(L"second.wav", 1200);
    EXPECT_EQ(1, PlayerOpen(&g_player, second.c_str()));
    EXPECT_NE(first, g_player.graph);
    EXPECT_EQ(-500, g_player.volume);
    EXPECT_EQ(12000000, g_duration);
    EXPECT_EQ(State_Running, g_player.filterState);
    first->Release();
}

TEST_F(MediaPlayer, OpeningAfterTheEndReusesTheGraph)
{
    std::wstring first = Wav(L"ended.wav", 500);
    ASSERT_EQ(1, PlayerOpen(&g_player, first.c_str()));
    PlayerSetVolume(&g_player, 7000);
    ASSERT_TRUE(PlaysToTheEnd());
    IGraphBuilder* graph = g_player.graph;
    int filters = FilterCount();
    ASSERT_GE(filters, 2);

    std::wstring second = Wav(L"after.wav", 1200);
    EXPECT_EQ(1, PlayerOpen(&g_player, second.c_str()));
    EXPECT_EQ(graph, g_player.graph);
    EXPECT_EQ(-3000, g_player.volume);
    EXPECT_EQ(12000000, g_duration);
    EXPECT_EQ(State_Running, g_player.filterState);
    EXPECT_EQ(filters, FilterCount());  // the first file's filters are gone: the second plays alone
    EXPECT_TRUE(PlaysOn());
    EXPECT_TRUE(PlaysToTheEnd());
}

TEST_F(MediaPlayer, UnrenderableFileShowsTheFailureAndLeavesNoGraph)
{
    WCHAR path[MAX_PATH];
    TempFile(path, MAX_PATH, L"junk.bin");
    ASSERT_TRUE(WriteJunk(path));
    EXPECT_EQ(0, PlayerOpen(&g_player, path));
    std::wstring failure = std::wstring(L"\u5931\u6557:") + path;
    EXPECT_EQ(failure, g_titleLine);
    EXPECT_EQ(failure, g_mediaPath);
    EXPECT_EQ(nullptr, g_player.graph);
}

TEST_F(MediaPlayer, VideoWindowGetsTheFileNameAndDocksToTheTarget)
{
    WCHAR path[MAX_PATH];
    TempFile(path, MAX_PATH, L"clip.avi");
    ASSERT_TRUE(WriteAvi(path, 320, 120, 15, 10));
    HWND target = CreatePlainWindow(200, 150, 700, 500);
    RECT t;
    GetWindowRect(target, &t);

    // Undocked first: the size the renderer picks, wider than 260, lower than 260.
    ASSERT_EQ(1, PlayerOpen(&g_player, path));
    ASSERT_NE(nullptr, g_player.videoWindow);
    BSTR caption = nullptr;
    ASSERT_TRUE(SUCCEEDED(g_player.videoWindow->get_Caption(&caption)));
    EXPECT_STREQ(L"clip.avi", caption);
    SysFreeString(caption);
    EXPECT_TRUE(PlaysOn());
    long left, top, width, height;
    g_player.videoWindow->GetWindowPosition(&left, &top, &width, &height);
    ASSERT_GT(width, 260);
    ASSERT_LT(height, 260);
    PlayerRelease(&g_player);

    g_dockTarget = target;
    for (int side : {0, 1}) {
        SCOPED_TRACE(side);
        g_dockSide = side;
        ASSERT_EQ(1, PlayerOpen(&g_player, path));
        HWND video = FindWindowW(nullptr, L"clip.avi");
        ASSERT_NE(nullptr, video);
        RECT placed;
        GetWindowRect(video, &placed);
        EXPECT_EQ(side == 0 ? t.left : t.right - 260, placed.left);
        EXPECT_EQ(t.bottom - height, placed.top);
        EXPECT_EQ(260, placed.right - placed.left);
        EXPECT_EQ(height, placed.bottom - placed.top);
        PlayerRelease(&g_player);
    }
    DestroyWindow(target);
}

} // namespace
