// The strip window in process: layout, painting read back in pixels, and the
// window procedure driven with real messages.
#include "strip_fixture.h"

#include <shlobj.h>

#include <string>
#include <vector>

#include "core/queue.h"
#include "strip/paint.h"

namespace {

const COLORREF BLACK = RGB(0, 0, 0);
const COLORREF MAGENTA = RGB(255, 0, 255), WHITE = RGB(255, 255, 255);

// A shell drop as Explorer makes it: wide names after a DROPFILES header, ended by an empty name.
HDROP MakeDrop(const std::vector<std::wstring>& files)
{
    size_t chars = 2;
    for (const std::wstring& file : files) chars += file.size() + 1;
    DROPFILES* header = static_cast<DROPFILES*>(GlobalAlloc(GPTR, sizeof(DROPFILES) + chars * sizeof(WCHAR)));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    WCHAR* names = reinterpret_cast<WCHAR*>(header + 1);
    for (const std::wstring& file : files) names = wcscpy(names, file.c_str()) + file.size() + 1;
    return HDROP(header);
}

class PaintTest : public StripTest {
protected:
    void Mouse(UINT message, int x) { Send(message, MK_RBUTTON, MAKELPARAM(x, 10)); }
    void Repaint() { RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); }
    COLORREF Pixel(int x, int y)
    {
        HDC dc = GetDC(window);
        COLORREF colour = GetPixel(dc, x, y);
        ReleaseDC(window, dc);
        return colour;
    }
    // A bar over [left, right) of a band of rows (24 at 96 DPI): black on top, (rows - 1)/rows of its
    // colour on the bottom row.
    void ExpectBar(int left, int right, COLORREF colour, int rows = 24)
    {
        for (int x : { left, right - 1 }) {
            EXPECT_EQ(Pixel(x, 0), 0u) << x;
            for (int shift : { 0, 8, 16 })
                EXPECT_NEAR(int(Pixel(x, rows - 1) >> shift & 255), int(colour >> shift & 255) * (rows - 1) / rows, 2) << x;
        }
    }
    void FillClient()  // magenta, outside of any WM_PAINT
    {
        HDC dc = GetDC(window);
        SelectObject(dc, GetStockObject(DC_BRUSH));
        SetDCBrushColor(dc, MAGENTA);
        PatBlt(dc, 0, 0, 1000, 1000, PATCOPY);
        ReleaseDC(window, dc);
    }
};

} // namespace

TEST(FlickerTest, FactorsUseSignedDivisionAndDimmingIsPerChannel)
{
    struct { int seed, left, right, text; } cases[] = {
        { 1, 240, 240, 224 }, { -1, 240, 240, 224 },  // a shift would give 255 each for -1
        { -300, 255, 240, 252 }, { 0x0F0F0FC0, 255, 255, 255 },
    };
    for (const auto& c : cases) {
        FlickerFactors factors = FlickerFactorsFor(c.seed);
        EXPECT_EQ(factors.leftBar, c.left) << c.seed;
        EXPECT_EQ(factors.rightBar, c.right) << c.seed;
        EXPECT_EQ(factors.text, c.text) << c.seed;
    }
    EXPECT_EQ(DimColor(RGB(128, 128, 128), 240), RGB(120, 120, 120));
    EXPECT_EQ(DimColor(RGB(237, 136, 12), 224), RGB(207, 119, 10));
    EXPECT_EQ(DimColor(RGB(255, 0, 255), 255), RGB(254, 0, 254));  // no carry between channels; 255 drops
}

TEST_F(PaintTest, LayoutFollowsTheClientHeight)
{
    // A child strip: its client size is exactly its window size.
    DestroyWindow(window);
    PumpMessages();
    parent = CreatePlainWindow(60, 60, 300, 120);
    CreateStrip(parent);
    struct { int width, height, line, fontHeight; } cases[] = {
        { 150, 10, 10, 8 }, { 200, 2, 2, 0 }, { 180, 0, 0, -2 }, { 200, 62, 24, 22 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.height);
        HFONT old = g_stripFont;
        SetWindowPos(window, nullptr, 0, 0, c.width, c.height, SWP_NOZORDER | SWP_NOMOVE);
        EXPECT_EQ(g_stripWidth, c.width);
        EXPECT_EQ(g_lineHeight, c.line);
        LOGFONTW font;
        ASSERT_EQ(GetObjectW(g_stripFont, sizeof font, &font), int(sizeof font));
        EXPECT_EQ(font.lfHeight, c.fontHeight);
        EXPECT_EQ(GetObjectType(old), 0u) << "the old font is deleted";
    }
    // Lines 2 and 3 start one line height apart; spaces leave only their white
    // cells, and around them everything below the band is black.
    wcscpy(g_statusLine, L"  ");
    wcscpy(g_mediaPath, L"                    ");
    FillClient();
    Repaint();
    EXPECT_EQ(Pixel(6, 24), BLACK);
    EXPECT_EQ(Pixel(6, 25), WHITE);
    EXPECT_EQ(Pixel(3, 25), BLACK);
    EXPECT_EQ(Pixel(40, 48), BLACK);
    EXPECT_EQ(Pixel(40, 49), WHITE);
    EXPECT_EQ(Pixel(199, 61), BLACK);
    // A shorter text leaves nothing of a longer one behind.
    wcscpy(g_statusLine, L"                                        ");
    Repaint();
    ASSERT_EQ(Pixel(150, 26), WHITE);
    wcscpy(g_statusLine, L"no file");
    Repaint();
    EXPECT_EQ(Pixel(150, 26), BLACK);
}

TEST_F(PaintTest, BandFollowsStateVolumeDisplaySeedAndHeight)
{
    const int width = g_stripWidth;
    ASSERT_GT(width, 100);
    ASSERT_EQ(g_lineHeight, 24);
    // Bottom-edge colours dimmed by 240 out of 256, the factors of seeds 0 and 1.
    const COLORREF green = RGB(0, 239, 0), grey = RGB(120, 120, 120), yellow = RGB(239, 239, 0),
                   olive = RGB(120, 120, 0), cyan = RGB(0, 239, 239), teal = RGB(0, 120, 120), red = RGB(239, 0, 0);
    struct { OAFilterState state; int ticks, level, progress, bar; COLORREF left, right; int seed; } cases[] = {
        { State_Running, 0, 9500, 50, 50, green, grey }, { State_Paused, 0, 9500, 50, 50, yellow, olive },
        { State_Stopped, 0, 9500, 50, 50, cyan, teal }, { 7, 0, 9500, 120, 120, cyan, teal },  // 7 paints stopped
        { State_Running, 20, 5000, 50, width / 2, red, grey },
        { State_Paused, -1, 5000, 50, width / 2, red, grey },  // during a drag
        { State_Stopped, 3, 0, 50, 0, red, grey }, { State_Running, 20, 10000, 50, width, red, grey },
        { State_Paused, 0, 9500, 500, width, yellow, olive },
        { State_Running, 0, 9500, 100, 100, RGB(0, 254, 0), grey, -300 },  // factors 255 and 240
        { State_Running, 0, 9500, 100, 100, RGB(0, 254, 0), RGB(127, 127, 127), 0x0F0F0FC0 },
    };
    for (const auto& c : cases) {
        g_player.filterState = c.state;
        g_player.volume = c.level - 10000;
        g_volumeDisplayTicks = c.ticks;
        g_progressWidth = c.progress;
        g_flickerSeed = c.seed;
        Repaint();
        SCOPED_TRACE(testing::Message() << "state " << c.state << " ticks " << c.ticks << " bar " << c.bar);
        if (c.bar > 0) ExpectBar(0, c.bar, c.left);
        if (c.bar < width) ExpectBar(c.bar, width, c.right);
    }
    g_lineHeight = 0;  // what a zero-height client leaves: a band of no rows paints no bars
    FillClient();
    Repaint();
    for (int y : { 0, 12, 23 }) {
        EXPECT_EQ(Pixel(10, y), BLACK) << y;
        EXPECT_EQ(Pixel(150, y), BLACK) << y;
    }
}

// A move to a screen of another DPI: the strip takes the rectangle the system
// suggests and lays itself out at that DPI, rounding half up; the drag keeps
// 50 levels per 96-DPI pixel. Its parent's move fits it to its window's DPI.
TEST_F(PaintTest, DpiChangeTakesTheSuggestedRectangleAndScalesTheLayout)
{
    ASSERT_NO_FATAL_FAILURE(OpenLongWav());
    const struct { int dpi; RECT suggested; int width, height, line, font, dragTo; } cases[] = {
        { 144, { 40, 50, 340, 143 }, 300, 93, 36, 33, 6000 },  // 30 pixels: 1000 levels
        { 120, { 0, 10, 250, 88 }, 250, 78, 30, 27, 6200 },    // 62 and 2 are 77.5 and 2.5 there
        { 192, { 10, 0, 410, 124 }, 400, 124, 48, 44, 5750 },
        { 96, { 60, 60, 260, 122 }, 200, 62, 24, 22, 6500 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dpi);
        EXPECT_EQ(Send(WM_DPICHANGED, MAKEWPARAM(c.dpi, c.dpi), LPARAM(&c.suggested)), 0);
        RECT outer;
        GetWindowRect(window, &outer);
        EXPECT_TRUE(EqualRect(&outer, &c.suggested));
        EXPECT_EQ(g_stripDpi, c.dpi);
        EXPECT_EQ(ScaleForDpi(200), c.width);
        EXPECT_EQ(ScaleForDpi(62), c.height);
        EXPECT_EQ(g_lineHeight, c.line);
        LOGFONTW font;
        ASSERT_EQ(GetObjectW(g_stripFont, sizeof font, &font), int(sizeof font));
        EXPECT_EQ(font.lfHeight, c.font);
        // The volume display: red to half the width, grey beyond, both the scaled line high.
        PlayerSetVolume(&g_player, 5000);
        g_volumeDisplayTicks = 20;
        Repaint();
        ExpectBar(0, g_stripWidth / 2, RGB(239, 0, 0), c.line);
        ExpectBar(g_stripWidth / 2, g_stripWidth, RGB(120, 120, 120), c.line);
        EXPECT_EQ(Pixel(g_stripWidth - 1, c.line), BLACK);
        Mouse(WM_RBUTTONDOWN, 100);
        Mouse(WM_MOUSEMOVE, 130);
        EXPECT_EQ(Level(), c.dragTo);
        Mouse(WM_RBUTTONUP, 130);
    }
    // Not from the system: no DPI, or no rectangle. Nothing changes.
    RECT before, after, tiny = { 0, 0, 10, 10 };
    GetWindowRect(window, &before);
    Send(WM_DPICHANGED, 0, LPARAM(&tiny));
    Send(WM_DPICHANGED, MAKEWPARAM(144, 144), 0);
    GetWindowRect(window, &after);
    EXPECT_TRUE(EqualRect(&before, &after));
    EXPECT_EQ(g_stripDpi, 96);

    DestroyWindow(window);
    PumpMessages();
    parent = CreatePlainWindow(60, 60, 500, 200);
    CreateStrip(parent);
    RECT large = { 0, 0, 300, 93 };
    Send(WM_DPICHANGED, MAKEWPARAM(144, 144), LPARAM(&large));
    ASSERT_EQ(g_lineHeight, 36);
    Send(WM_DPICHANGED_AFTERPARENT);  // to the parent's DPI, the bed's 96
    GetClientRect(window, &after);
    EXPECT_EQ(after.right, 200);
    EXPECT_EQ(after.bottom, 62);
    EXPECT_EQ(g_stripDpi, 96);
    EXPECT_EQ(g_lineHeight, 24);
}

// The strip's bold font draws the failure prefix through the Japanese font
// linked behind it: glyphs, not the box of a character no font has.
TEST_F(StripTest, FailurePrefixDrawsGlyphsNotBoxes)
{
    auto ink = [](WCHAR c) {
        BITMAPINFO info = { { sizeof(BITMAPINFOHEADER), 32, -32, 1, 32, BI_RGB } };
        void* bits = nullptr;
        HDC dc = CreateCompatibleDC(nullptr);
        HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        SelectObject(dc, bitmap);
        SelectObject(dc, g_stripFont);
        PatBlt(dc, 0, 0, 32, 32, WHITENESS);
        TextOutW(dc, 0, 0, &c, 1);
        GdiFlush();
        std::string pixels(static_cast<const char*>(bits), 32 * 32 * 4);
        DeleteDC(dc);
        DeleteObject(bitmap);
        return pixels;
    };
    const std::string box = ink(0x0378);  // unassigned
    EXPECT_TRUE(ink(0x0379) == box);      // any missing character draws this
    EXPECT_TRUE(ink(0x5931) != box);
    EXPECT_TRUE(ink(0x6557) != box);
    EXPECT_TRUE(ink(0x5931) != ink(0x6557));
}

// The first name of a drop opens; the others wait after it in the queue, in
// the shell's order, as many as it holds.
TEST_F(StripTest, DropOpensTheFirstNameQueuesTheRestAndRefusesBadOnes)
{
    wcscpy(g_titleLine, L"kept");
    EXPECT_EQ(Send(WM_DROPFILES, WPARAM(MakeDrop({}))), 0);
    EXPECT_STREQ(g_titleLine, L"kept");  // an open, even a failed one, rewrites it
    EXPECT_EQ(0, g_queueCount);

    static WCHAR name[1100];  // longer than the path line holds: refused whole, never cut
    wmemcpy(wmemset(name, L'a', 1099), L"Z:\\", 3);
    Send(WM_DROPFILES, WPARAM(MakeDrop({ name })));
    ExpectFailureFor(name);
    EXPECT_EQ(wcslen(g_mediaPath), size_t(MEDIA_PATH_CAPACITY - 1));

    WCHAR junk[MAX_PATH];
    TempFile(junk, MAX_PATH, L"strip-junk.mp3");
    ASSERT_TRUE(WriteJunk(junk));
    Send(WM_DROPFILES, WPARAM(MakeDrop({ junk, LongWav() })));
    ExpectFailureFor(junk);  // for 2 s, before the next plays
    ASSERT_EQ(2, g_queueCount);
    EXPECT_STREQ(LongWav(), QueuePath(1));

    const std::vector<std::wstring> three = { LongWav(), L"Z:\\tallyvox-none\\second.wav", L"Z:\\third.wav" };
    Send(WM_DROPFILES, WPARAM(MakeDrop(three)));
    EXPECT_STREQ(g_mediaPath, LongWav());
    ASSERT_NE(g_player.graph, nullptr);
    EXPECT_EQ(g_player.filterState, State_Running);
    ASSERT_EQ(3, g_queueCount);
    EXPECT_EQ(0, g_queueIndex);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(three[size_t(i)], QueuePath(i));

    // More names than the queue holds: the first ones, in order, and no more.
    std::vector<std::wstring> many(1, LongWav());
    for (int i = 0; i < 300; ++i) many.push_back(L"Z:\\tallyvox-none\\" + std::to_wstring(i) + L".wav");
    Send(WM_DROPFILES, WPARAM(MakeDrop(many)));
    ASSERT_EQ(QUEUE_FILE_CAPACITY, g_queueCount);
    EXPECT_EQ(many[QUEUE_FILE_CAPACITY - 1], QueuePath(QUEUE_FILE_CAPACITY - 1));
    EXPECT_EQ(g_player.filterState, State_Running);
}

TEST_F(StripTest, GraphNotifyDrainsEventsToTheEnd)
{
    WCHAR wav[MAX_PATH], expected[STATUS_LINE_CAPACITY];
    TempFile(wav, MAX_PATH, L"strip-short.wav");
    ASSERT_TRUE(WriteWav(wav, 300));
    ASSERT_EQ(PlayerOpen(&g_player, wav), 1);
    EXPECT_TRUE(PumpUntil([] { return g_player.filterState == State_Stopped; }, 15000));
    EXPECT_NE(g_player.eventMask & (1UL << EC_COMPLETE), 0u);
    _snwprintf(expected, STATUS_LINE_CAPACITY, L"State:%x", unsigned(g_player.eventMask));
    EXPECT_STREQ(g_statusLine, expected);
    EXPECT_EQ(Send(WM_GRAPHNOTIFY), 0);
}

TEST_F(StripTest, TickCountsDownAndAdvancesTheSeed)
{
    g_volumeDisplayTicks = 20;
    for (int i = 0; i < 19; ++i) EXPECT_EQ(Send(WM_TIMER, TICK_TIMER_ID), 0);
    EXPECT_EQ(g_volumeDisplayTicks, 1);
    for (int i = 0; i < 2; ++i) Send(WM_TIMER, 77);  // any timer id is a full tick; 0 stays 0
    EXPECT_EQ(g_volumeDisplayTicks, 0);

    g_volumeDisplayTicks = -1;  // a drag keeps the volume display on
    for (int i = 0; i < 4; ++i) Send(WM_TIMER, TICK_TIMER_ID);
    EXPECT_EQ(g_volumeDisplayTicks, -5);
    g_flickerSeed = 1;
    for (int seed : { 12668, 4104109, 1325639552, -1315141959 }) {
        Send(WM_TIMER, TICK_TIMER_ID);
        EXPECT_EQ(g_flickerSeed, seed);
    }

    // Without a graph the tick keeps the failure text and shows no progress.
    wcscpy(g_titleLine, FAILURE_PREFIX L"Z:\\gone.wav");
    g_progressWidth = 33;
    Send(WM_TIMER, TICK_TIMER_ID);
    EXPECT_STREQ(g_titleLine, FAILURE_PREFIX L"Z:\\gone.wav");
    EXPECT_EQ(g_progressWidth, 0);
}
