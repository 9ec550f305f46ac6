// The strip window in process: layout, painting read back in pixels, and the
// window procedure driven with real messages.
#include "strip_fixture.h"

#include <shlobj.h>

#include "strip/paint.h"
#include "strip/progress.h"

namespace {

const COLORREF MAGENTA = RGB(255, 0, 255);

// One row of a black-to-bottom vertical gradient of height rows as GDI
// draws it: what a bar of that bottom colour shows there.
COLORREF GradientRow(COLORREF bottom, int height, int row)
{
    BITMAPINFO info = {};
    info.bmiHeader = { sizeof(BITMAPINFOHEADER), 1, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0 };
    void* bits;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    TRIVERTEX vertices[2] = {
        { 0, 0, 0, 0, 0, 0xFFFF },
        { 1, height, COLOR16(GetRValue(bottom) << 8), COLOR16(GetGValue(bottom) << 8), COLOR16(GetBValue(bottom) << 8),
          0xFFFF },
    };
    GRADIENT_RECT rect = { 0, 1 };
    GradientFill(dc, vertices, 2, &rect, 1, GRADIENT_FILL_RECT_V);
    COLORREF colour = GetPixel(dc, 0, row);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return colour;
}

// A shell drop of one or two names, as Explorer hands it over: wide names
// after a DROPFILES header, the list ended by an empty name.
HDROP MakeDrop(const WCHAR* first, const WCHAR* second = nullptr)
{
    size_t chars = (first ? wcslen(first) + 1 : 0) + (second ? wcslen(second) + 1 : 0) + 1;
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(WCHAR) + sizeof(WCHAR));
    DROPFILES* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    WCHAR* names = reinterpret_cast<WCHAR*>(header + 1);
    for (const WCHAR* name : { first, second }) {
        if (!name) continue;
        wcscpy(names, name);
        names += wcslen(name) + 1;
    }
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

} // namespace

TEST(FlickerTest, FactorsUseSignedDivision)
{
    struct { int seed, left, right, text; } cases[] = {
        { 1, 240, 240, 224 },        // the initial seed
        { -1, 240, 240, 224 },       // a shift would give 255 each
        { -300, 255, 240, 252 },
        { 0x0F0F0FC0, 255, 255, 255 },
        { 12668, 240 + 1, 240, 224 + 5 },
    };
    for (const auto& c : cases) {
        FlickerFactors factors = FlickerFactorsFor(c.seed);
        EXPECT_EQ(factors.leftBar, c.left) << c.seed;
        EXPECT_EQ(factors.rightBar, c.right) << c.seed;
        EXPECT_EQ(factors.text, c.text) << c.seed;
    }
}

TEST(FlickerTest, DimmingIsPerChannelAndNeverKeepsFull)
{
    EXPECT_EQ(DimColor(RGB(0, 255, 0), 240), RGB(0, 239, 0));
    EXPECT_EQ(DimColor(RGB(128, 128, 128), 240), RGB(120, 120, 120));
    EXPECT_EQ(DimColor(RGB(237, 136, 12), 224), RGB(207, 119, 10));
    for (int factor = 224; factor <= 255; ++factor) {
        // No carry from one channel into the next, and 255 always drops.
        EXPECT_EQ(DimColor(RGB(255, 255, 255), factor), RGB(255 * factor / 256, 255 * factor / 256, 255 * factor / 256));
        EXPECT_EQ(DimColor(RGB(255, 0, 255), factor) & 0x00FF00, 0u);
    }
    EXPECT_EQ(DimColor(RGB(255, 255, 255), 255), RGB(254, 254, 254));
}

TEST_F(StripTest, LayoutFollowsTheClientHeight)
{
    UseChildStrip(200, 62);
    EXPECT_EQ(g_lineHeight, 24);
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
        EXPECT_NE(g_stripFont, old);
        EXPECT_EQ(GetObjectType(old), 0u) << "the old font is deleted";
    }
    // A move alone rebuilds the font too.
    HFONT old = g_stripFont;
    SetWindowPos(window, nullptr, 5, 5, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
    EXPECT_EQ(GetObjectType(old), 0u);
}

TEST_F(StripTest, TextLinesStandOneLineHeightApart)
{
    UseChildStrip(200, 62);
    wcscpy(g_statusLine, L"  ");
    wcscpy(g_mediaPath, L"                    ");
    FillClient(MAGENTA);
    Repaint();
    // Spaces in lines 2 and 3 leave only their white cells; nothing else below the band is painted.
    EXPECT_EQ(Pixel(6, 24), MAGENTA);
    EXPECT_EQ(Pixel(6, 25), RGB(255, 255, 255));
    EXPECT_EQ(Pixel(3, 25), MAGENTA);
    EXPECT_EQ(Pixel(40, 48), MAGENTA);
    EXPECT_EQ(Pixel(40, 49), RGB(255, 255, 255));
    EXPECT_EQ(Pixel(199, 61), MAGENTA);
}

TEST_F(StripTest, BandColoursFollowStateAndVolumeDisplay)
{
    const int width = g_stripWidth;
    ASSERT_GT(width, 100);
    ASSERT_EQ(g_lineHeight, 24);
    const int bottom = g_lineHeight - 1;
    // Bottom-edge colours dimmed by 240 out of 256, the factors of seed 1.
    const COLORREF green = RGB(0, 239, 0), grey = RGB(120, 120, 120), yellow = RGB(239, 239, 0),
                   olive = RGB(120, 120, 0), cyan = RGB(0, 239, 239), teal = RGB(0, 120, 120), red = RGB(239, 0, 0);
    struct {
        OAFilterState state;
        int ticks, level, progress, bar;  // bar -1: half the strip
        COLORREF left, right;
    } cases[] = {
        { State_Running, 0, 9500, 50, 50, green, grey },
        { State_Paused, 0, 9500, 50, 50, yellow, olive },
        { State_Stopped, 0, 9500, 50, 50, cyan, teal },
        { 7, 0, 9500, 120, 120, cyan, teal },  // unknown states paint stopped
        { State_Running, 20, 5000, 50, -1, red, grey },
        { State_Paused, -1, 5000, 50, -1, red, grey },  // during a drag
        { State_Stopped, 3, 0, 50, 0, red, grey },
        { State_Running, 20, 10000, 50, width, red, grey },
        { State_Running, 0, 9500, 0, 0, green, grey },
        { State_Paused, 0, 9500, 500, width, yellow, olive },
    };
    for (const auto& c : cases) {
        g_player.filterState = c.state;
        g_player.volume = c.level - 10000;
        g_volumeDisplayTicks = c.ticks;
        g_progressWidth = c.progress;
        g_flickerSeed = 1;
        wcscpy(g_titleLine, L"title");
        Repaint();
        int bar = c.bar < 0 ? width / 2 : c.bar;
        SCOPED_TRACE(testing::Message() << "state " << c.state << " ticks " << c.ticks << " bar " << bar);
        const COLORREF left = GradientRow(c.left, g_lineHeight, bottom);
        const COLORREF right = GradientRow(c.right, g_lineHeight, bottom);
        if (bar > 0) {
            EXPECT_EQ(Pixel(0, bottom), left);
            EXPECT_EQ(Pixel(bar - 1, bottom), left);
            EXPECT_EQ(Pixel(bar - 1, 0), 0u) << "black along the top edge";
        }
        if (bar < width) {
            EXPECT_EQ(Pixel(bar, bottom), right);
            EXPECT_EQ(Pixel(width - 1, bottom), right);
            EXPECT_EQ(Pixel(width - 1, 0), 0u);
        }
    }
}

TEST_F(StripTest, FlickerSeedDimsTheBars)
{
    g_player.filterState = State_Running;
    g_progressWidth = 100;
    g_flickerSeed = -300;  // factors 255 and 240
    Repaint();
    EXPECT_EQ(Pixel(50, g_lineHeight - 1), GradientRow(RGB(0, 254, 0), g_lineHeight, g_lineHeight - 1));
    EXPECT_EQ(Pixel(150, g_lineHeight - 1), GradientRow(RGB(120, 120, 120), g_lineHeight, g_lineHeight - 1));
    g_flickerSeed = 0x0F0F0FC0;  // all factors 255
    Repaint();
    EXPECT_EQ(Pixel(150, g_lineHeight - 1), GradientRow(RGB(127, 127, 127), g_lineHeight, g_lineHeight - 1));
}

TEST_F(StripTest, ZeroHeightBandPaintsNoBars)
{
    g_player.filterState = State_Running;
    g_progressWidth = 50;
    FillClient(MAGENTA);
    Repaint();
    ASSERT_NE(Pixel(10, 5), MAGENTA) << "a band of 24 rows paints over the fill";
    g_lineHeight = 0;  // what a zero-height client leaves; no text lines to draw either
    FillClient(MAGENTA);
    Repaint();
    for (int y = 0; y < 24; y += 3) {
        EXPECT_EQ(Pixel(10, y), MAGENTA) << y;
        EXPECT_EQ(Pixel(150, y), MAGENTA) << y;
    }
}

TEST_F(StripTest, DropOpensOnlyTheFirstFile)
{
    Send(WM_DROPFILES, WPARAM(MakeDrop(LongWav(), L"Z:\\tallyvox-none\\second.wav")));
    EXPECT_STREQ(g_mediaPath, LongWav());
    ASSERT_NE(g_player.graph, nullptr);
    EXPECT_EQ(g_player.filterState, State_Running);
}

TEST_F(StripTest, DropOfJunkShowsTheFailure)
{
    WCHAR junk[MAX_PATH], expected[TITLE_LINE_CAPACITY];
    TempFile(junk, MAX_PATH, L"strip-junk.mp3");
    ASSERT_TRUE(WriteJunk(junk));
    Send(WM_DROPFILES, WPARAM(MakeDrop(junk, LongWav())));
    FailureText(expected, TITLE_LINE_CAPACITY, junk);
    EXPECT_STREQ(g_titleLine, expected);
    EXPECT_STREQ(g_mediaPath, expected);
    EXPECT_EQ(g_player.graph, nullptr);
}

TEST_F(StripTest, DropOfOverlongNameIsRefusedWhole)
{
    static WCHAR name[1100];
    wcscpy(name, L"Z:\\");
    for (int i = 3; i < 1099; ++i) name[i] = WCHAR(L'a' + i % 26);
    name[1099] = 0;
    Send(WM_DROPFILES, WPARAM(MakeDrop(name)));
    WCHAR expected[MEDIA_PATH_CAPACITY];
    FailureText(expected, MEDIA_PATH_CAPACITY, name);
    EXPECT_STREQ(g_mediaPath, expected);
    EXPECT_EQ(wcslen(g_mediaPath), size_t(MEDIA_PATH_CAPACITY - 1));
    FailureText(expected, TITLE_LINE_CAPACITY, name);
    EXPECT_STREQ(g_titleLine, expected);
    EXPECT_EQ(g_player.graph, nullptr);
}

TEST_F(StripTest, DropWithoutNamesIsIgnored)
{
    wcscpy(g_mediaPath, L"kept");
    wcscpy(g_titleLine, L"kept");
    Send(WM_DROPFILES, WPARAM(MakeDrop(nullptr)));
    EXPECT_STREQ(g_mediaPath, L"kept");
    EXPECT_STREQ(g_titleLine, L"kept");
    EXPECT_EQ(g_player.graph, nullptr);
}

TEST_F(StripTest, GraphNotifyDrainsEventsToTheEnd)
{
    WCHAR wav[MAX_PATH], expected[STATUS_LINE_CAPACITY];
    TempFile(wav, MAX_PATH, L"strip-short.wav");
    ASSERT_TRUE(WriteWav(wav, 300));
    Send(WM_DROPFILES, WPARAM(MakeDrop(wav)));
    ASSERT_EQ(g_player.filterState, State_Running);
    EXPECT_TRUE(PumpUntil([] { return g_player.filterState == State_Stopped; }, 15000));
    EXPECT_NE(g_player.eventMask & (1UL << EC_COMPLETE), 0u);
    _snwprintf(expected, STATUS_LINE_CAPACITY, L"State:%x", unsigned(g_player.eventMask));
    EXPECT_STREQ(g_statusLine, expected);
}

TEST_F(StripTest, TickCountsDownAndAdvancesTheSeed)
{
    g_volumeDisplayTicks = 20;
    for (int i = 0; i < 19; ++i) EXPECT_EQ(Send(WM_TIMER, TICK_TIMER_ID), 0);
    EXPECT_EQ(g_volumeDisplayTicks, 1);
    Send(WM_TIMER, 77);  // any timer id is a full tick
    EXPECT_EQ(g_volumeDisplayTicks, 0);
    Send(WM_TIMER, TICK_TIMER_ID);
    EXPECT_EQ(g_volumeDisplayTicks, 0);

    g_volumeDisplayTicks = -1;  // a drag keeps the volume display on
    for (int i = 0; i < 4; ++i) Send(WM_TIMER, TICK_TIMER_ID);
    EXPECT_EQ(g_volumeDisplayTicks, -5);

    g_flickerSeed = 1;
    const int seeds[] = { 12668, 4104109, 1325639552, -1315141959 };
    for (int seed : seeds) {
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

TEST_F(StripTest, HandledMessagesAnswerAndOthersReachTheDefault)
{
    COPYDATASTRUCT record = { CMD_PLAY, 0, nullptr };
    EXPECT_EQ(Send(WM_COPYDATA, 0, LPARAM(&record)), 1);
    EXPECT_EQ(Send(WM_COPYDATA, 0, 0), 1);  // no record at all
    EXPECT_EQ(Send(WM_GRAPHNOTIFY), 0);
    EXPECT_EQ(Send(WM_RBUTTONUP), 0);

    EXPECT_EQ(Send(WM_SETTEXT, 0, LPARAM(L"renamed")), TRUE);
    WCHAR title[32];
    GetWindowTextW(window, title, 32);
    EXPECT_STREQ(title, L"renamed");
    RECT rect;
    GetWindowRect(window, &rect);
    EXPECT_EQ(Send(WM_NCHITTEST, 0, MAKELPARAM(rect.left + 80, rect.bottom - 10)), HTCLIENT);
}
