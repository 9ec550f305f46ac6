#include "strip/details.h"
#include "core/queue.h"
#include "core/state.h"

#include <commctrl.h>

HWND g_detailsTip;

namespace {

WCHAR g_detailsText[DETAILS_CAPACITY];  // the tip's text as last set

const int TIME_TEXT_CAPACITY = 32;
const LONGLONG HOUR = 3600;
// Wide enough that the lines break only where the text breaks them.
const int TIP_WIDTH_WITHOUT_WRAPPING = 32767;

// Appends source to the text in buffer, cutting what does not fit.
void Append(WCHAR* buffer, int capacity, const WCHAR* source)
{
    int length = lstrlenW(buffer);
    CopyText(buffer + length, capacity - length, source);
}

void FormatClock(WCHAR* out, LONGLONG seconds, BOOL withHours)
{
    int minutes = int(seconds / 60 % 60), rest = int(seconds % 60);
    if (withHours) wsprintfW(out, L"%d:%02d:%02d", int(seconds / HOUR), minutes, rest);
    else wsprintfW(out, L"%d:%02d", int(seconds / 60), rest);
}

// The size comctl32 6, which the manifest asks for, and 5.8 both take.
TTTOOLINFOW StripTool(HWND strip, WCHAR* text)
{
    TTTOOLINFOW tool = {};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND;  // not TTF_SUBCLASS: a subclass costs every message, paints too
    tool.hwnd = strip;
    tool.uId = reinterpret_cast<UINT_PTR>(strip);
    tool.lpszText = text;
    return tool;
}

} // namespace

void FormatPlaybackTime(WCHAR* out, LONGLONG position, LONGLONG duration)
{
    if (duration <= 0) {
        CopyText(out, TIME_TEXT_CAPACITY, L"-:-- / -:--");
        return;
    }
    if (position < 0) position = 0;
    if (position > duration) position = duration;
    LONGLONG durationSeconds = duration / MEDIA_TIME_PER_SECOND;
    BOOL withHours = durationSeconds >= HOUR;
    WCHAR durationText[TIME_TEXT_CAPACITY];
    FormatClock(out, position / MEDIA_TIME_PER_SECOND, withHours);
    FormatClock(durationText, durationSeconds, withHours);
    Append(out, TIME_TEXT_CAPACITY, L" / ");
    Append(out, TIME_TEXT_CAPACITY, durationText);
}

const WCHAR* PlaybackStateWord(const Player* player)
{
    if (player->filterState == State_Running) return L"playing";
    if (player->filterState == State_Paused) return L"paused";
    return player->ended ? L"ended" : L"stopped";
}

void ComposeDetails(WCHAR* out, int capacity)
{
    // The lines between title and path first, for the room they leave.
    WCHAR middle[3 * TIME_TEXT_CAPACITY];
    middle[0] = 0;
    if (PlayerHasMedia(&g_player)) {
        WCHAR time[TIME_TEXT_CAPACITY];
        FormatPlaybackTime(time, g_position, g_duration);
        wsprintfW(middle, L"\r\n%s  %s", time, PlaybackStateWord(&g_player));
        // The file's place in the queue, when there are several.
        if (g_queueCount > 1 && g_queueIndex >= 0)
            wsprintfW(middle + lstrlenW(middle), L"  %d/%d", g_queueIndex + 1, g_queueCount);
    }
    wsprintfW(middle + lstrlenW(middle), L"\r\nVolume:%d", VolumeLevel(&g_player));

    // The title repeats the path's file name: the path has the room first.
    int pathLine = g_mediaPath[0] ? 2 + lstrlenW(g_mediaPath) : 0;
    int titleRoom = capacity - lstrlenW(middle) - pathLine;
    CopyText(out, titleRoom > 1 ? titleRoom : 1, g_titleLine[0] ? g_titleLine : L"no file");
    Append(out, capacity, middle);
    if (pathLine) {
        Append(out, capacity, L"\r\n");
        const WCHAR* path = g_mediaPath;
        int room = capacity - 1 - lstrlenW(out), length = pathLine - 2;
        if (length > room) {
            Append(out, capacity, L"\u2026");  // its end, with the file name, stays
            path += length - (room - 1);
        }
        Append(out, capacity, path);
    }
}

void CreateDetailsTip(HWND strip)
{
    INITCOMMONCONTROLSEX controls = { sizeof controls, ICC_BAR_CLASSES };  // tooltips
    InitCommonControlsEx(&controls);
    g_detailsTip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, strip, nullptr,
                                   nullptr, nullptr);
    ComposeDetails(g_detailsText, DETAILS_CAPACITY);
    TTTOOLINFOW tool = StripTool(strip, g_detailsText);
    SendMessageW(g_detailsTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageW(g_detailsTip, TTM_SETMAXTIPWIDTH, 0, TIP_WIDTH_WITHOUT_WRAPPING);
}

void RelayToDetailsTip(HWND strip, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!g_detailsTip) return;
    if (message == WM_MOUSEMOVE) {
        // Asks for WM_MOUSELEAVE: the tip goes when the pointer leaves the
        // client area, not only the window (Wine keeps it over the caption).
        TRACKMOUSEEVENT leave = { sizeof leave, TME_LEAVE, strip, 0 };
        TrackMouseEvent(&leave);
    }
    MSG relayed = { strip, message, wParam, lParam, 0, {} };  // the tip reads the point from lParam
    SendMessageW(g_detailsTip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
}

void HideDetailsTip()
{
    if (g_detailsTip) SendMessageW(g_detailsTip, TTM_POP, 0, 0);
}

void UpdateDetailsTip()
{
    if (!g_detailsTip) return;
    WCHAR details[DETAILS_CAPACITY];
    ComposeDetails(details, DETAILS_CAPACITY);
    if (SameText(details, g_detailsText)) return;  // unchanged: no message, no repaint
    CopyText(g_detailsText, DETAILS_CAPACITY, details);
    TTTOOLINFOW tool = StripTool(g_mainWindow, g_detailsText);
    SendMessageW(g_detailsTip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}
