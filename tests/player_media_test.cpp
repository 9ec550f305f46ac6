// The player against Wine's real filter graph, with media the tests write.
#include "app/picture_input.h"
#include "core/state.h"
#include "fakes.h"
#include "media.h"
#include "product_state.h"
#include "player/player.h"
#include "window_helpers.h"

#include <gtest/gtest.h>
#include <mfidl.h>

#include <memory>
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

LONGLONG Position()
{
    LONGLONG position = 0;
    PlayerGetPosition(&g_player, &position);
    return position;
}

bool PlaysOn()
{
    LONGLONG start = Position();
    return PumpUntil([&] { return Position() > start; }, 5000);
}

// A session posts no notification: its events are read here, as the tick reads them.
bool PlaysToTheEnd()
{
    return PumpUntil([] { return PlayerHandleEvents(&g_player), g_player.filterState == State_Stopped; }, 15000);
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

RECT WindowRect(HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}

bool SameRect(const RECT& a, const RECT& b)
{
    return EqualRect(&a, &b) != 0;
}

std::wstring Temp(const wchar_t* name)
{
    WCHAR path[MAX_PATH];
    TempFile(path, MAX_PATH, name);
    return path;
}

// The program's end, as the strip's: the parked sessions close
// if they can, and COM goes only when none is left.
struct SessionsEnd : testing::Environment {
    void TearDown() override
    {
        if (PlayerShutdown(&g_player)) CoUninitialize();
    }
};
testing::Environment* const g_sessionsEnd = testing::AddGlobalTestEnvironment(new SessionsEnd);

class MediaPlayer : public testing::Test {
protected:
    void SetUp() override
    {
        CoInitialize(nullptr);
        if (!g_pictureInput) CreatePictureInput(GetModuleHandleW(nullptr));
        g_player = Player{};
        g_notifications = 0;
        g_mainWindow = CreatePlainWindow(0, 0, 200, 62);
        SetWindowLongPtrW(g_mainWindow, GWLP_WNDPROC, LONG_PTR(NotifyWindowProc));
    }
    void TearDown() override
    {
        PlayerRelease(&g_player);
        DestroyWindow(g_mainWindow);
        g_mainWindow = nullptr;
        RestoreProductGlobals();
        // COM stays up for the sessions Wine 8 sets aside, which end with the program, as the strip's do.
    }
    std::wstring Wav(const wchar_t* name, int milliseconds)
    {
        std::wstring path = Temp(name);
        EXPECT_TRUE(WriteWav(path.c_str(), milliseconds));
        return path;
    }
};

// The whole life of a graph: open, play, drain to EC_COMPLETE; the ended graph
// is emptied and reused for the next file, which plays alone; a file opened
// while that one plays gets a new graph, at the level the user set.
TEST_F(MediaPlayer, WavsPlayOneAfterAnother)
{
    std::wstring first = Wav(L"first.wav", 1000), second = Wav(L"second.wav", 1200);
    ASSERT_EQ(1, PlayerOpen(&g_player, first.c_str()));
    EXPECT_EQ(State_Running, g_player.filterState);
    EXPECT_EQ(10000000, g_duration);
    EXPECT_EQ(first, g_mediaPath);
    EXPECT_EQ(-500, g_player.volume);
    EXPECT_TRUE(PlaysOn());
    PlayerSetVolume(&g_player, 7000);
    ASSERT_TRUE(PlaysToTheEnd());
    EXPECT_GT(g_notifications, 0);
    ASSERT_EQ(0, wcsncmp(g_statusLine, L"State:", 6)) << g_statusLine;
    EXPECT_EQ(g_player.eventMask, wcstoul(g_statusLine + 6, nullptr, 16));
    EXPECT_TRUE(g_player.eventMask & (1u << EC_COMPLETE));
    IGraphBuilder* graph = g_player.graph;
    graph->AddRef();  // keeps its address from being reused by a later graph
    int filters = FilterCount();
    ASSERT_GE(filters, 2);

    EXPECT_EQ(1, PlayerOpen(&g_player, second.c_str()));
    EXPECT_EQ(graph, g_player.graph);
    EXPECT_EQ(filters, FilterCount());
    EXPECT_EQ(-3000, g_player.volume);
    EXPECT_EQ(12000000, g_duration);
    EXPECT_EQ(State_Running, g_player.filterState);
    EXPECT_TRUE(PlaysOn());

    EXPECT_EQ(1, PlayerOpen(&g_player, first.c_str()));
    EXPECT_NE(graph, g_player.graph);
    long volume = 0;
    g_player.audio->get_Volume(&volume);
    EXPECT_EQ(-3000, volume) << "the level holds on a new graph";
    EXPECT_EQ(-3000, g_player.volume);
    EXPECT_EQ(10000000, g_duration);
    EXPECT_EQ(State_Running, g_player.filterState);
    graph->Release();
}

// The formats people have, as tests/make_media.sh encoded them: each renders,
// runs on and reports its own length; the videos open a video window.
TEST_F(MediaPlayer, CompressedFormatsPlayAndReportTheirLength)
{
    struct { const wchar_t* name; LONGLONG length; bool video; } cases[] = {
        { L"tone.mp3", 22000000, false }, { L"tone.m4a", 26000000, false },
        { L"tone.flac", 18000000, false }, { L"tone.opus", 30000000, false },
        { L"clip.mp4", 24000000, true }, { L"clip.webm", 20000000, true },
        { L"tone.wma", 16000000, false }, { L"clip.wmv", 28000000, true },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name);
        PlayerRelease(&g_player);
        g_duration = 0;
        std::wstring path = TestMedia(c.name);
        EXPECT_EQ(1, PlayerOpen(&g_player, path.c_str())) << g_titleLine;
        EXPECT_EQ(State_Running, g_player.filterState);
        EXPECT_TRUE(PlaysOn());
        EXPECT_NEAR(double(g_duration), double(c.length), 1000000.0);  // encoder delay and padding
        EXPECT_EQ(c.video, FindWindowW(nullptr, c.name) != nullptr);
    }
}

// A seek near the end, the end, and the next file on the reused graph: it
// plays from its own start to its own end. Play after an end plays the file
// again from its start, and a seek then works as ever.
TEST_F(MediaPlayer, AfterTheEndTheNextFileAndPlayStartAgain)
{
    std::wstring first = Wav(L"end-first.wav", 3000), second = Wav(L"end-second.wav", 1500);
    ASSERT_EQ(1, PlayerOpen(&g_player, first.c_str()));
    PlayerSeekTo(&g_player, 25000000);
    ASSERT_TRUE(PlaysToTheEnd());
    IGraphBuilder* graph = g_player.graph;
    ASSERT_EQ(1, PlayerOpen(&g_player, second.c_str()));
    ASSERT_EQ(graph, g_player.graph);
    EXPECT_LT(Position(), 5000000);
    EXPECT_TRUE(PlaysOn());
    ASSERT_TRUE(PlaysToTheEnd());
    for (void (*play)(Player*) : { PlayerPlay, PlayerTogglePause }) {
        play(&g_player);
        EXPECT_EQ(State_Running, g_player.filterState);
        EXPECT_LT(Position(), 5000000);
        EXPECT_TRUE(PlaysOn());
        PlayerSeekTo(&g_player, 10000000);
        EXPECT_GE(Position(), 10000000);
        EXPECT_TRUE(PlaysToTheEnd());
    }
}

TEST_F(MediaPlayer, UnrenderableFileShowsTheFailureAndLeavesNoGraph)
{
    std::wstring path = Temp(L"junk.bin");
    ASSERT_TRUE(WriteJunk(path.c_str()));
    EXPECT_EQ(0, PlayerOpen(&g_player, path.c_str()));
    EXPECT_EQ(L"\u5931\u6557:" + path, g_titleLine);
    EXPECT_EQ(L"\u5931\u6557:" + path, g_mediaPath);
    EXPECT_EQ(nullptr, g_player.graph);
}

TEST_F(MediaPlayer, VideoWindowGetsTheFileNameAndDocksToTheTarget)
{
    std::wstring path = Temp(L"clip.avi");
    ASSERT_TRUE(WriteAvi(path.c_str(), 320, 120, 15, 10));
    HWND target = CreatePlainWindow(200, 150, 700, 500);
    RECT t;
    GetWindowRect(target, &t);

    // Undocked first: the size the renderer picks, wider than 260, lower than 260.
    ASSERT_EQ(1, PlayerOpen(&g_player, path.c_str()));
    ASSERT_NE(nullptr, g_player.videoWindow);
    EXPECT_NE(nullptr, FindWindowW(nullptr, L"clip.avi"));  // the caption is the file name part
    EXPECT_TRUE(PlaysOn());
    long left, top, width, height;
    g_player.videoWindow->GetWindowPosition(&left, &top, &width, &height);
    ASSERT_GT(width, 260);
    ASSERT_LT(height, 260);

    g_dockTarget = target;
    for (int side : {0, 1}) {
        SCOPED_TRACE(side);
        PlayerRelease(&g_player);
        g_dockSide = side;
        ASSERT_EQ(1, PlayerOpen(&g_player, path.c_str()));
        HWND video = FindWindowW(nullptr, L"clip.avi");
        ASSERT_NE(nullptr, video);
        RECT placed;
        GetWindowRect(video, &placed);
        EXPECT_EQ(side == 0 ? t.left : t.right - 260, placed.left);
        EXPECT_EQ(t.bottom - height, placed.top);
        EXPECT_EQ(260, placed.right - placed.left);
        EXPECT_EQ(height, placed.bottom - placed.top);
        PostMessageW(video, WM_KEYDOWN, 'F', 0);  // a docked picture keeps its corner
        PumpUntil([] { return false; }, 300);
        EXPECT_FALSE(g_fullScreen);
        EXPECT_TRUE(SameRect(placed, WindowRect(video)));
    }
    DestroyWindow(target);
}

} // namespace

namespace {

// DirectShow as a stock Windows has it, for the whole test.
class StockWindows : public MediaPlayer {
protected:
    std::unique_ptr<StockDirectShow> stock;
    void SetUp() override
    {
        MediaPlayer::SetUp();
        stock = std::make_unique<StockDirectShow>();
    }
    void TearDown() override
    {
        stock.reset();  // registering needs COM: before it goes
        MediaPlayer::TearDown();
    }
    // The file's own stream: every channel at the level's amplitude, or -1.
    static float StreamVolume()
    {
        UINT32 channels = 0;
        float first = -1, other = -2;
        g_player.sessionVolume->GetChannelCount(&channels);
        g_player.sessionVolume->GetChannelVolume(0, &first);
        g_player.sessionVolume->GetChannelVolume(channels - 1, &other);
        return channels && first == other ? first : -1;
    }
    // The audio session's volume, which is the user's, shared with DirectShow's renderer.
    static float MixerVolume()
    {
        IMFSimpleAudioVolume* mixer = nullptr;
        float volume = -1;
        MFGetService(g_player.session, MR_POLICY_VOLUME_SERVICE, IID_PPV_ARGS(&mixer));
        if (mixer) mixer->GetMasterVolume(&volume), mixer->Release();
        return volume;
    }
};

} // namespace

// What DirectShow cannot render here plays through a session, with its own
// length and a moving position; a WAV stays with DirectShow. (So would an
// MP3, but Wine 8's MPEG audio decoder filter, which takes it without the
// splitter, now and then deadlocks in Stop.)
TEST_F(StockWindows, AudioFormatsPlayThroughMediaFoundation)
{
    struct { const wchar_t* name; LONGLONG length; bool session; } cases[] = {
        { L"tone.m4a", 26000000, true }, { L"tone.flac", 18000000, true }, { L"tone.opus", 30000000, true },
        { L"tone.ogg", 20000000, true }, { L"tone.wma", 16000000, true }, { nullptr, 12000000, false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.name ? c.name : L"a WAV"));
        PlayerRelease(&g_player);
        std::wstring path = c.name ? TestMedia(c.name) : Wav(L"stock.wav", 1200);
        EXPECT_EQ(1, PlayerOpen(&g_player, path.c_str())) << g_titleLine;
        EXPECT_EQ(c.session, g_player.session != nullptr);
        EXPECT_EQ(!c.session, g_player.graph != nullptr);
        EXPECT_EQ(path, g_mediaPath);
        EXPECT_EQ(State_Running, g_player.filterState);
        EXPECT_NEAR(double(g_duration), double(c.length), 1000000.0);
        EXPECT_TRUE(PlaysOn());
    }
}

// Pause, play, seeks in either state, the volume on the decibel scale, the
// end and play after it, and the next open's reuse, as on DirectShow.
TEST_F(StockWindows, ASessionPausesSeeksAndEndsAsAGraphDoes)
{
    std::wstring opus = TestMedia(L"tone.opus");
    ASSERT_EQ(1, PlayerOpen(&g_player, opus.c_str()));
    ASSERT_NE(nullptr, g_player.sessionVolume);
    EXPECT_NEAR(StreamVolume(), 0.562f, 0.001f);  // level 9500: 5 dB down
    for (int level : { 8000, 10000, 6000, 0 }) {
        PlayerSetVolume(&g_player, level);
        EXPECT_EQ(level, VolumeLevel(&g_player));
        EXPECT_NEAR(StreamVolume(), level == 10000 ? 1.0 : level == 8000 ? 0.1 : level == 6000 ? 0.01 : 0.00001, 1e-6);
        EXPECT_EQ(1.0f, MixerVolume()) << "the whole program's mixer volume is the user's";
    }
    PlayerSetVolume(&g_player, 7000);

    PlayerPause(&g_player);
    EXPECT_EQ(State_Paused, g_player.filterState);
    LONGLONG paused = Position();
    PumpUntil([] { return false; }, 300);
    EXPECT_EQ(paused, Position());
    PlayerSeekTo(&g_player, 20000000);  // paused stays paused, at the new place
    EXPECT_EQ(State_Paused, g_player.filterState);
    EXPECT_NEAR(double(Position()), 20000000.0, 1000000.0);
    PlayerTogglePause(&g_player);
    EXPECT_EQ(State_Running, g_player.filterState);
    EXPECT_TRUE(PlaysOn());
    PlayerSeekTo(&g_player, 5000000);  // running plays on from there
    EXPECT_EQ(State_Running, g_player.filterState);
    EXPECT_LT(Position(), 15000000);
    EXPECT_TRUE(PlaysOn());

    ASSERT_TRUE(PlaysToTheEnd());
    EXPECT_TRUE(g_player.ended);
    EXPECT_STREQ(L"State:2002", g_statusLine);  // started as a graph starts, and ended
    EXPECT_EQ(g_duration, Position()) << "the bar stays full at the end";
    PlayerPlay(&g_player);  // after the end: from the start again
    EXPECT_EQ(State_Running, g_player.filterState);
    EXPECT_LT(Position(), 10000000);
    EXPECT_TRUE(PlaysOn());
    PlayerSeekTo(&g_player, 28000000);
    ASSERT_TRUE(PlaysToTheEnd());

    // The next file plays at the level the user set, opened after the end or over a playing file.
    std::wstring m4a = TestMedia(L"tone.m4a");
    for (const std::wstring& next : { m4a, opus }) {
        ASSERT_EQ(1, PlayerOpen(&g_player, next.c_str()));
        EXPECT_EQ(7000, VolumeLevel(&g_player));
        EXPECT_NEAR(StreamVolume(), 0.0316f, 0.0001f);
    }
}

// Random bytes fail through both frameworks, visibly.
TEST_F(StockWindows, JunkFailsVisibly)
{
    std::wstring junk = Temp(L"junk.m4a");
    ASSERT_TRUE(WriteJunk(junk.c_str()));
    EXPECT_EQ(0, PlayerOpen(&g_player, junk.c_str()));
    EXPECT_EQ(L"\u5931\u6557:" + junk, g_titleLine);
    EXPECT_EQ(L"\u5931\u6557:" + junk, g_mediaPath);
    EXPECT_FALSE(PlayerHasMedia(&g_player));
}

namespace {

// What a window shows: a hash of its client area's pixels, the share of
// them lit, and how many of the test pattern's six bar colours (red, green,
// blue and their mixtures, at full strength) each cover 2 % of it or more.
struct Picture {
    unsigned hash = 0;
    double lit = 0;
    int bars = 0;
};

Picture PictureIn(HWND window)
{
    Picture picture;
    RECT client;
    GetClientRect(window, &client);
    int width = client.right, height = client.bottom;
    if (width <= 0 || height <= 0) return picture;
    HDC screen = GetDC(window), memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader = { sizeof info.bmiHeader, width, -height, 1, 32, BI_RGB };
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    GdiFlush();
    int lit = 0, colours[8] = {};
    const DWORD* pixel = static_cast<const DWORD*>(bits);
    for (int i = 0; i < width * height; ++i) {
        DWORD p = pixel[i] & 0xffffff;
        picture.hash = picture.hash * 31 + p;
        if (p) ++lit;
        int r = p >> 16 & 255, g = p >> 8 & 255, b = p & 255, kind = 0, strong = 0;
        for (int channel : { r, g, b }) {
            kind = kind << 1 | (channel >= 150);
            strong += channel >= 150 || channel <= 90;
        }
        if (strong == 3) ++colours[kind];
    }
    for (int kind = 1; kind < 7; ++kind) picture.bars += colours[kind] * 50 >= width * height;
    picture.lit = double(lit) / (width * height);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, screen);
    return picture;
}

// The window the picture plays in now: under Wine 8 a new session, in a
// window of its own where the last one was, takes over at each seek and play.
HWND VideoWindow() { return g_player.sessionVideo; }
// DirectShow's: its renderer's window, named after the file.
HWND LongAviWindow() { return FindWindowW(nullptr, L"long.avi"); }

bool PictureMoves(HWND window)
{
    unsigned before = PictureIn(window).hash;
    return PumpUntil([&] { return PictureIn(window).hash != before; }, 3000);
}

// The share of lit pixels along row y of window's client area.
double LitRow(HWND window, int y)
{
    RECT client;
    GetClientRect(window, &client);
    HDC dc = GetDC(window);
    int lit = 0, count = 0;
    for (int x = 0; x < client.right; x += 8, ++count) lit += GetPixel(dc, x, y) != 0;
    ReleaseDC(window, dc);
    return count ? double(lit) / count : 0;
}

// A message to the picture as the user's input comes, posted, and the time
// for what it does.
template <typename Condition>
bool Press(HWND video, UINT message, WPARAM wParam, Condition done)
{
    PostMessageW(video, message, wParam, 0);
    return PumpUntil(done, 3000);
}

bool Never() { return false; }

// Undocked, the picture opens next to the strip, within the strip's work area.
void ExpectBesideTheStrip(HWND video)
{
    RECT strip = WindowRect(g_mainWindow), placed = WindowRect(video), overlap, work = MonitorOf(strip).rcWork;
    EXPECT_FALSE(IntersectRect(&overlap, &strip, &placed));
    EXPECT_TRUE(placed.top == strip.bottom || placed.bottom == strip.top);
    EXPECT_EQ(strip.left, placed.left);
    EXPECT_TRUE(placed.top >= work.top && placed.bottom <= work.bottom);
}

// The strip's keys on the picture drive the strip, from wherever it stands
// back to the start. Each start of a session's picture risks Wine's
// deadlock (see the README): a session's takes a key of each kind.
void ExpectTheStripsKeys(HWND (*picture)())
{
    auto in = [](OAFilterState state) { return [state] { return g_player.filterState == state; }; };
    EXPECT_TRUE(Press(picture(), WM_KEYDOWN, 'P', in(State_Paused)));
    EXPECT_TRUE(Press(picture(), WM_KEYDOWN, VK_DOWN, in(State_Running)));
    if (!g_player.session) {
        EXPECT_TRUE(Press(picture(), WM_KEYDOWN, VK_UP, in(State_Paused)));
        EXPECT_TRUE(Press(picture(), WM_KEYDOWN, 'P', in(State_Running)));
    }
    const int level = VolumeLevel(&g_player);  // a picture without sound shows the bar, and stays
    const int quieter = g_player.session ? level - 500 : level;
    EXPECT_TRUE(Press(picture(), WM_KEYDOWN, VK_DELETE, [&] { return g_volumeDisplayTicks == VOLUME_DISPLAY_TICKS; }));
    EXPECT_EQ(quieter, VolumeLevel(&g_player));
    EXPECT_TRUE(Press(picture(), WM_KEYDOWN, VK_INSERT, [&] { return VolumeLevel(&g_player) == level; }));
    EXPECT_TRUE(Press(picture(), WM_KEYDOWN, VK_RIGHT, [] { return Position() >= 50000000; }));
    if (!g_player.session) EXPECT_TRUE(Press(picture(), WM_KEYDOWN, VK_LEFT, [] { return Position() < 50000000; }));
    EXPECT_TRUE(Press(picture(), WM_KEYDOWN, VK_HOME, [] { return Position() < 10000000; }));
}

// F, Esc and a double-click: the window covers its monitor without a
// frame, the picture moving at its own shape in black, and goes back where
// it was; a click changes nothing, and the pointer hides when still and
// shows when moved. It ends in full screen.
void ExpectFullScreen(HWND (*picture)())
{
    const RECT windowed = WindowRect(picture()), monitor = MonitorOf(windowed).rcMonitor;
    auto covers = [&] { return SameRect(WindowRect(picture()), monitor); };
    auto back = [&] { return SameRect(WindowRect(picture()), windowed); };
    ASSERT_TRUE(Press(picture(), WM_KEYDOWN, 'F', covers));
    EXPECT_FALSE(GetWindowLongW(picture(), GWL_STYLE) & WS_CAPTION);
    EXPECT_TRUE(PumpUntil([&] { return LitRow(picture(), (monitor.bottom - monitor.top) / 2) > 0.5; }, 3000));
    EXPECT_LT(LitRow(picture(), 8), 0.1) << "a black bar above the picture";
    EXPECT_TRUE(PictureMoves(picture()));
    ASSERT_TRUE(Press(picture(), WM_KEYDOWN, VK_ESCAPE, back));
    EXPECT_TRUE(GetWindowLongW(picture(), GWL_STYLE) & WS_CAPTION);
    EXPECT_TRUE(PictureMoves(picture()));

    PostMessageW(picture(), WM_LBUTTONDOWN, 0, 0);
    ASSERT_TRUE(Press(picture(), WM_LBUTTONDOWN, 0, covers));
    EXPECT_FALSE(Press(picture(), WM_LBUTTONDOWN, 0, Never)) << "a click";  // waits out the double-click time too
    EXPECT_TRUE(covers());
    EXPECT_EQ(State_Running, g_player.filterState);
    SetCursorPos((monitor.left + monitor.right) / 2, (monitor.top + monitor.bottom) / 2);
    EXPECT_TRUE(PumpUntil([] { return g_pointerHidden; }, 5000));
    if (g_player.session) EXPECT_EQ(nullptr, GetCursor());
    SetCursorPos(monitor.left + 10, monitor.top + 10);
    EXPECT_TRUE(Press(picture(), WM_MOUSEMOVE, 0, [] { return !g_pointerHidden; }));
    if (g_player.session) EXPECT_NE(nullptr, GetCursor());
}

} // namespace


// No video window shows; those of parked sessions stay, hidden.
bool NoPictureShows()
{
    for (HWND window = nullptr; (window = FindWindowExW(nullptr, window, L"TallyvoxVideo", nullptr)) != nullptr;)
        if (IsWindowVisible(window)) return false;
    return true;
}

// Video through a session, as a stock Windows plays MP4 and WebM: a moving
// picture of the test pattern in a window of ours, named after the file,
// sized to the video and docked as /V says, and every control on it.
TEST_F(StockWindows, VideoPlaysInAWindowOfItsOwnWithEveryControl)
{
    HWND target = CreatePlainWindow(300, 200, 640, 480);
    RECT t;
    GetWindowRect(target, &t);
    g_dockTarget = target;
    const std::wstring wav = Wav(L"after-video.wav", 3000);
    // Every control on the MP4; the WebM opens, docks, moves and ends. Each
    // new start of a picture under Wine 8 risks its renderer's deadlock, and
    // the WebM's paused seek lost its session once in some ten runs.
    const struct { const wchar_t* name; int side; bool everyControl; } cases[] = {
        { L"scene.mp4", 1, true }, { L"scene.webm", 0, false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name);
        g_dockSide = c.side;
        std::wstring path = TestMedia(c.name);
        ASSERT_EQ(1, PlayerOpen(&g_player, path.c_str())) << g_titleLine;
        ASSERT_TRUE(g_player.session && VideoWindow());
        WCHAR caption[64] = L"";
        GetWindowTextW(VideoWindow(), caption, 64);
        EXPECT_STREQ(c.name, caption);
        EXPECT_TRUE(IsWindowVisible(VideoWindow()));
        RECT client, outer;
        GetClientRect(VideoWindow(), &client);
        GetWindowRect(VideoWindow(), &outer);
        EXPECT_EQ(160, client.right);
        EXPECT_EQ(120, client.bottom);
        EXPECT_EQ(t.bottom, outer.bottom);
        EXPECT_EQ(c.side ? t.right : t.left, c.side ? outer.right : outer.left);
        EXPECT_STREQ(L"State:2000", g_statusLine);
        for (UINT message : { WM_KEYDOWN, WM_LBUTTONDOWN, WM_LBUTTONDOWN }) PostMessageW(VideoWindow(), message, 'F', 0);
        PumpUntil([] { return false; }, 300);
        EXPECT_FALSE(g_fullScreen) << "a docked picture keeps its corner";

        ASSERT_TRUE(PumpUntil([&] { return PictureIn(VideoWindow()).lit > 0.8; }, 3000));
        EXPECT_GE(PictureIn(VideoWindow()).bars, 5) << "the test pattern's bars";
        EXPECT_TRUE(PictureMoves(VideoWindow()));

        if (c.everyControl) {
            // Pause freezes the picture, and a seek while paused shows exactly the new place.
            PlayerPause(&g_player);
            EXPECT_EQ(State_Paused, g_player.filterState);
            PumpUntil([] { return false; }, 300);
            const Picture paused = PictureIn(VideoWindow());
            const LONGLONG at = Position();
            PumpUntil([] { return false; }, 400);
            EXPECT_EQ(paused.hash, PictureIn(VideoWindow()).hash);
            EXPECT_EQ(at, Position());
            PlayerSeekTo(&g_player, 40000000);
            ASSERT_TRUE(g_player.session && VideoWindow()) << g_titleLine;
            EXPECT_EQ(State_Paused, g_player.filterState);
            EXPECT_EQ(40000000, Position());
            EXPECT_TRUE(PumpUntil([&] {
                Picture now = PictureIn(VideoWindow());
                return now.lit > 0.8 && now.hash != paused.hash;
            }, 3000)) << "lit " << PictureIn(VideoWindow()).lit << " visible " << IsWindowVisible(VideoWindow())
                      << " state " << g_player.filterState;
            EXPECT_FALSE(PictureMoves(VideoWindow()));
            GetWindowRect(VideoWindow(), &client);
            EXPECT_TRUE(EqualRect(&client, &outer)) << "where it was";

            // Play moves it on, a seek while playing plays on from there, and the volume is the stream's.
            PlayerPlay(&g_player);
            ASSERT_TRUE(g_player.session && VideoWindow()) << g_titleLine;
            EXPECT_EQ(State_Running, g_player.filterState);
            EXPECT_TRUE(PictureMoves(VideoWindow()));
            PlayerSeekTo(&g_player, 10000000);
            ASSERT_TRUE(g_player.session && VideoWindow()) << g_titleLine;
            EXPECT_EQ(State_Running, g_player.filterState);
            EXPECT_LT(Position(), 25000000);
            EXPECT_TRUE(PlaysOn());
            PlayerSetVolume(&g_player, 5000);
            EXPECT_NEAR(StreamVolume(), 0.00316f, 0.00001f);
        }

        // Closing the window hides it; the sound plays on to the end, and plays again after it.
        HWND video = VideoWindow();
        SendMessageW(video, WM_CLOSE, 0, 0);
        EXPECT_TRUE(IsWindow(video) && !IsWindowVisible(video));
        EXPECT_TRUE(g_player.eventMask & 1 << EC_USERABORT);
        EXPECT_TRUE(PlaysOn());
        ASSERT_TRUE(PlaysToTheEnd());
        EXPECT_TRUE(g_player.ended && g_player.eventMask & 1 << EC_COMPLETE);
        EXPECT_EQ(g_duration, Position());
        PlayerPlay(&g_player);
        ASSERT_TRUE(g_player.session && VideoWindow()) << g_titleLine;
        EXPECT_EQ(State_Running, g_player.filterState);
        EXPECT_LT(Position(), 10000000);
        EXPECT_TRUE(PlaysOn());
        EXPECT_FALSE(IsWindowVisible(VideoWindow())) << "closed, it stays closed";

        // The next open, of any file, takes the window away.
        ASSERT_EQ(1, PlayerOpen(&g_player, wav.c_str()));
        EXPECT_FALSE(IsWindow(video) && IsWindowVisible(video));
        EXPECT_TRUE(NoPictureShows());
    }
    DestroyWindow(target);
}

// A seek to the end, or past it, paused or playing, ends the file as its
// end does, at once: the bar full, the end marked, and play plays it from
// the start; a pause after the end shows paused there, and play still
// starts again. Media Foundation plays the next file as before.
TEST_F(StockWindows, ASeekToTheEndEndsTheFile)
{
    const std::wstring m4a = TestMedia(L"tone.m4a");
    const struct { const wchar_t* name; bool paused; LONGLONG to; } cases[] = {
        { L"scene.mp4", true, 60000000 }, { L"scene.mp4", false, 90000000 }, { L"tone.opus", true, 90000000 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name << (c.paused ? " paused" : " playing"));
        std::wstring path = TestMedia(c.name);
        ASSERT_EQ(1, PlayerOpen(&g_player, path.c_str())) << g_titleLine;
        EXPECT_TRUE(PlaysOn());
        if (c.paused) PlayerPause(&g_player);
        DWORD start = GetTickCount();
        PlayerSeekTo(&g_player, c.to);
        EXPECT_LT(GetTickCount() - start, 1000u);
        ASSERT_TRUE(PlayerHasMedia(&g_player)) << g_titleLine;
        EXPECT_TRUE(g_player.ended && g_player.eventMask & 1 << EC_COMPLETE);
        EXPECT_EQ(State_Stopped, g_player.filterState);
        EXPECT_EQ(g_duration, Position());
        PlayerPause(&g_player);
        EXPECT_EQ(State_Paused, g_player.filterState);
        EXPECT_EQ(g_duration, Position());
        PlayerPlay(&g_player);
        ASSERT_TRUE(PlayerHasMedia(&g_player)) << g_titleLine;
        EXPECT_EQ(State_Running, g_player.filterState);
        EXPECT_LT(Position(), 10000000);
        EXPECT_TRUE(PlaysOn());
        // And a seek after the end plays from there.
        PlayerSeekTo(&g_player, c.to);
        PlayerSeekTo(&g_player, 20000000);
        ASSERT_TRUE(PlayerHasMedia(&g_player)) << g_titleLine;
        EXPECT_EQ(State_Running, g_player.filterState);
        EXPECT_GE(Position(), 20000000);
        EXPECT_TRUE(PlaysOn());

        ASSERT_EQ(1, PlayerOpen(&g_player, m4a.c_str())) << g_titleLine;
        EXPECT_TRUE(g_player.session && PlaysOn());
    }
}

// Windows' flow under Wine 8, with a session of its own parked: the next
// file still plays through Media Foundation, and the parked one, once it
// answers, is closed and released.
TEST_F(StockWindows, AfterAParkTheNextFilePlays)
{
    // A real session stuck before would hold the next source for good.
    ASSERT_TRUE(PlayerShutdown(&g_player)) << "a session of an earlier test is stuck";
    FakeSession parked;
    g_player.session = &parked;
    parked.AddRef();
    g_player.filterState = State_Running;
    wcscpy(g_mediaPath, L"Z:\\stuck.m4a");
    g_wineVersion = 0;
    PlayerPause(&g_player);  // never answered: parked
    EXPECT_FALSE(PlayerHasMedia(&g_player));
    std::wstring m4a = TestMedia(L"tone.m4a");
    ASSERT_EQ(1, PlayerOpen(&g_player, m4a.c_str())) << g_titleLine;
    EXPECT_TRUE(g_player.session && PlaysOn());
    parked.answerMs = 0;
    parked.AnswerNow(MESessionClosed);
    PlayerPollEvents(&g_player);
    EXPECT_EQ(1, parked.refs) << "released";
}

// A picture whose sound nothing here decodes plays alone, as a partial
// render of DirectShow plays it.
TEST_F(StockWindows, APictureWithoutItsSoundPlaysAlone)
{
    std::wstring path = TestMedia(L"dfpwm.mkv");
    ASSERT_EQ(1, PlayerOpen(&g_player, path.c_str())) << g_titleLine;
    ASSERT_NE(nullptr, g_player.sessionVideo);
    EXPECT_EQ(nullptr, g_player.sessionVolume);
    EXPECT_TRUE(PictureMoves(g_player.sessionVideo));
    EXPECT_TRUE(PlaysOn());
}

// DirectShow's picture next to the strip, below it where there is room,
// taking the strip's keys through its message drain, and full screen; an
// open leaves full screen first.
TEST_F(MediaPlayer, DirectShowsPictureTakesTheKeysAndGoesFullScreen)
{
    std::wstring path = Temp(L"long.avi");
    ASSERT_TRUE(WriteAvi(path.c_str(), 320, 120, 200, 10));
    SetWindowPos(g_mainWindow, nullptr, 100, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ASSERT_EQ(1, PlayerOpen(&g_player, path.c_str()));
    ASSERT_NE(nullptr, g_player.graph);
    HWND video = FindWindowW(nullptr, L"long.avi");
    ASSERT_NE(nullptr, video);
    ExpectBesideTheStrip(video);
    EXPECT_EQ(WindowRect(g_mainWindow).bottom, WindowRect(video).top);
    ExpectTheStripsKeys(LongAviWindow);
    ExpectFullScreen(LongAviWindow);
    ASSERT_EQ(1, PlayerOpen(&g_player, path.c_str()));
    EXPECT_FALSE(g_fullScreen);
    video = FindWindowW(nullptr, L"long.avi");
    EXPECT_TRUE(GetWindowLongW(video, GWL_STYLE) & WS_CAPTION);
}

// The session's picture as a stock Windows plays an MP4: above the strip
// where there is no room below, the strip's keys, the wheel and the media
// keys, full screen, and a resize that leaves it moving.
TEST_F(StockWindows, ASessionsPictureTakesTheKeysAndGoesFullScreen)
{
    RECT work = MonitorOf(WindowRect(g_mainWindow)).rcWork;
    SetWindowPos(g_mainWindow, nullptr, 100, work.bottom - 72, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    std::wstring path = TestMedia(L"picture.mp4");
    ASSERT_EQ(1, PlayerOpen(&g_player, path.c_str())) << g_titleLine;
    HWND video = g_player.sessionVideo;
    ASSERT_NE(nullptr, video);
    ExpectBesideTheStrip(video);
    EXPECT_EQ(WindowRect(g_mainWindow).top, WindowRect(video).bottom);
    ExpectTheStripsKeys(VideoWindow);
    SendMessageW(VideoWindow(), WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), 0);
    EXPECT_EQ(9000, VolumeLevel(&g_player));
    EXPECT_TRUE(SendMessageW(VideoWindow(), WM_APPCOMMAND, WPARAM(VideoWindow()), MAKELPARAM(0, APPCOMMAND_MEDIA_PAUSE)));
    EXPECT_EQ(State_Paused, g_player.filterState);
    EXPECT_TRUE(SendMessageW(VideoWindow(), WM_APPCOMMAND, WPARAM(VideoWindow()), MAKELPARAM(0, APPCOMMAND_MEDIA_PLAY)));
    EXPECT_EQ(State_Running, g_player.filterState);

    SetWindowPos(VideoWindow(), nullptr, 100, 100, 400, 300, SWP_NOZORDER);  // as a user's drag leaves it, on the screen
    PumpUntil(Never, 500);  // the refit, under Wine 8 a new session
    EXPECT_TRUE(PictureMoves(VideoWindow()));
    ExpectFullScreen(VideoWindow);
    ASSERT_EQ(1, PlayerOpen(&g_player, Wav(L"after-full-screen.wav", 1000).c_str()));
    EXPECT_FALSE(g_fullScreen);
}
