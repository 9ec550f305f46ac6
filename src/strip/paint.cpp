#include "strip/paint.h"
#include "core/state.h"
#include "player/player.h"

namespace {

// In 96-DPI pixels, like every length here; the layout scales them.
const int MAX_LINE_HEIGHT = 24;
const int FONT_MARGIN = 2;   // the font's cell is this much less than the line
const int TEXT_X = 4;
const int TEXT_Y = 1;        // below the top of each line

// NONCLIENTMETRICSW without iPaddedBorderWidth: the size every Windows accepts.
const UINT NONCLIENT_METRICS_SIZE = 500;

struct Palette {
    COLORREF leftBar;
    COLORREF rightBar;
    COLORREF text;
};

const Palette VOLUME_COLOURS = { RGB(255, 0, 0), RGB(128, 128, 128), RGB(255, 255, 255) };
const Palette PAUSED_COLOURS = { RGB(255, 255, 0), RGB(128, 128, 0), RGB(237, 136, 12) };
const Palette RUNNING_COLOURS = { RGB(0, 255, 0), RGB(128, 128, 128), RGB(237, 136, 12) };
const Palette STOPPED_COLOURS = { RGB(0, 255, 255), RGB(0, 128, 128), RGB(192, 192, 192) };

const Palette& PaletteForState(OAFilterState state)
{
    if (state == State_Paused) return PAUSED_COLOURS;
    if (state == State_Running) return RUNNING_COLOURS;
    return STOPPED_COLOURS;
}

COLOR16 WidenChannel(BYTE channel)
{
    return COLOR16(channel << 8);
}

void ExcludeTextCell(HDC dc, int x, int y, const WCHAR* text)
{
    SIZE size;
    if (GetTextExtentPoint32W(dc, text, lstrlenW(text), &size)) {
        ExcludeClipRect(dc, x, y, x + size.cx, y + size.cy);
    }
}

// Blackens what lies below the band around the cells of lines 2 and 3, so a
// shorter text leaves nothing of a longer one behind. The cells themselves
// are left to TextOutW: no pixel is painted twice, so nothing flickers.
void ClearAroundLowerLines(HWND window, HDC dc, int x, int y)
{
    RECT below;
    GetClientRect(window, &below);
    below.top = g_lineHeight;
    int saved = SaveDC(dc);
    ExcludeTextCell(dc, x, g_lineHeight + y, g_statusLine);
    ExcludeTextCell(dc, x, 2 * g_lineHeight + y, g_mediaPath);
    FillRect(dc, &below, HBRUSH(GetStockObject(BLACK_BRUSH)));
    RestoreDC(dc, saved);
}

// The message font at the strip's DPI where Windows can tell (10 version
// 1607 on), else at the system's.
BOOL ReadNonClientMetrics(NONCLIENTMETRICSW* metrics)
{
    auto forDpi =
        reinterpret_cast<decltype(&SystemParametersInfoForDpi)>(FindUser32Function("SystemParametersInfoForDpi"));
    if (forDpi) {
        metrics->cbSize = sizeof *metrics;  // the whole structure: the function is newer than the short one
        return forDpi(SPI_GETNONCLIENTMETRICS, sizeof *metrics, metrics, 0, g_stripDpi);
    }
    metrics->cbSize = NONCLIENT_METRICS_SIZE;
    return SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, NONCLIENT_METRICS_SIZE, metrics, 0);
}

} // namespace

FlickerFactors FlickerFactorsFor(int seed)
{
    // Signed division on purpose: negative seeds differ from a shift.
    FlickerFactors factors;
    factors.leftBar = 240 + ((seed / 256) & 15);
    factors.rightBar = 240 + ((seed / 65536) & 15);
    factors.text = 224 + ((seed / 64) & 31);
    return factors;
}

COLORREF DimColor(COLORREF color, int factor)
{
    return RGB(GetRValue(color) * factor / 256, GetGValue(color) * factor / 256, GetBValue(color) * factor / 256);
}

int FillGradientRect(HDC dc, int left, int top, int right, int bottom, COLORREF topColor, COLORREF bottomColor)
{
    TRIVERTEX vertices[2] = {
        { left, top, WidenChannel(GetRValue(topColor)), WidenChannel(GetGValue(topColor)),
          WidenChannel(GetBValue(topColor)), 0xFFFF },
        { right, bottom, WidenChannel(GetRValue(bottomColor)), WidenChannel(GetGValue(bottomColor)),
          WidenChannel(GetBValue(bottomColor)), 0xFFFF },
    };
    GRADIENT_RECT rect = { 0, 1 };
    GradientFill(dc, vertices, 2, &rect, 1, GRADIENT_FILL_RECT_V);
    return 1;
}

void UpdateLayout(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    g_stripWidth = client.right;
    int maxLineHeight = ScaleForDpi(MAX_LINE_HEIGHT);
    g_lineHeight = client.bottom <= maxLineHeight ? client.bottom : maxLineHeight;

    if (g_stripFont) DeleteObject(g_stripFont);

    NONCLIENTMETRICSW metrics;  // not zero-filled: clang would call the C runtime's memset for it
    LOGFONTW font;
    if (ReadNonClientMetrics(&metrics)) {
        font = metrics.lfMessageFont;
    } else {
        // No metrics: the stock GUI font stands in for the message font.
        GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
    }
    font.lfWeight += 200;
    font.lfHeight = g_lineHeight - ScaleForDpi(FONT_MARGIN);
    g_stripFont = CreateFontIndirectW(&font);
}

void PaintStrip(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    HGDIOBJ previousFont = SelectObject(dc, g_stripFont);

    const Palette* palette;
    const WCHAR* firstLine;
    int barWidth;
    WCHAR volumeText[32];
    if (g_volumeDisplayTicks != 0) {
        int level = VolumeLevel(&g_player);
        palette = &VOLUME_COLOURS;
        barWidth = g_stripWidth * level / 10000;
        wsprintfW(volumeText, L"Volume:%d", level);
        firstLine = volumeText;
    } else {
        palette = &PaletteForState(g_player.filterState);
        barWidth = g_progressWidth;
        firstLine = g_titleLine;
    }

    FlickerFactors factors = FlickerFactorsFor(g_flickerSeed);
    FillGradientRect(dc, 0, 0, barWidth, g_lineHeight, 0, DimColor(palette->leftBar, factors.leftBar));
    FillGradientRect(dc, barWidth, 0, g_stripWidth, g_lineHeight, 0, DimColor(palette->rightBar, factors.rightBar));

    int x = ScaleForDpi(TEXT_X), y = ScaleForDpi(TEXT_Y);
    ClearAroundLowerLines(window, dc, x, y);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, DimColor(palette->text, factors.text));
    TextOutW(dc, x, y, firstLine, lstrlenW(firstLine));
    SetBkMode(dc, OPAQUE);
    TextOutW(dc, x, g_lineHeight + y, g_statusLine, lstrlenW(g_statusLine));
    TextOutW(dc, x, 2 * g_lineHeight + y, g_mediaPath, lstrlenW(g_mediaPath));

    SelectObject(dc, previousFont);
    EndPaint(window, &paint);
}
