// A plain top-level window for a session's picture: Media Foundation's
// video renderer draws into it, fitted to its client area.
#include "player/video_window.h"
#include "core/state.h"

#include <mfidl.h>
#include <evr.h>

namespace {

const WCHAR VIDEO_CLASS_NAME[] = L"TallyvoxVideo";

// The display of the session that plays, when window is its window: a
// window parked with its session keeps nothing of the next one's.
IMFVideoDisplayControl* DisplayOf(HWND window)
{
    return window == g_player.sessionVideo ? g_player.videoDisplay : nullptr;
}

// Windows' renderer draws its last picture again; Wine's cannot (E_NOTIMPL),
// and black is better than what was there.
void PaintPicture(HWND window)
{
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    HRESULT drawn = E_POINTER;
    if (IMFVideoDisplayControl* display = DisplayOf(window)) {
        display->AddRef();
        drawn = display->RepaintVideo();
        display->Release();
    }
    if (FAILED(drawn)) FillRect(paint.hdc, &paint.rcPaint, HBRUSH(GetStockObject(BLACK_BRUSH)));
    EndPaint(window, &paint);
}

LRESULT CALLBACK VideoWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SIZE:
        // Fitted by the strip, in turn with its commands: under Wine the
        // session has to start again. A minimized window has no room to fit.
        if (wParam != SIZE_MINIMIZED && g_pictureInput) PostMessageW(g_pictureInput, WM_PICTURE_RESIZED, 0, 0);
        return 0;
    case WM_ERASEBKGND:
        return 1;  // the paint covers every pixel
    case WM_PAINT:
        PaintPicture(window);
        return 0;
    case WM_CLOSE:  // as DirectShow's renderer does: the window goes, the sound plays on
        ShowWindow(window, SW_HIDE);
        if (window == g_player.sessionVideo) NoteEvent(&g_player, EC_USERABORT);
        return 0;
    case WM_SETCURSOR:
        if (!g_pointerHidden || LOWORD(lParam) != HTCLIENT) break;
        SetCursor(nullptr);
        return TRUE;
    case WM_KEYDOWN:
    case WM_APPCOMMAND:
    case WM_MOUSEWHEEL:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
        // The strip's keys work on the picture too; what they leave goes on as on any window.
        if (SendMessageW(g_pictureInput, message, wParam, lParam)) return TRUE;
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

// The picture fills the client area, at its own shape in black bars (the
// renderer's default, Wine's too). Wine's renderer shows no more frames once
// its rectangle changes while it plays: the open fits it before the start,
// and a later fit of a moving picture starts its session again.
void FitPicture(HWND window)
{
    IMFVideoDisplayControl* display = DisplayOf(window);
    if (!display) return;
    RECT client;
    GetClientRect(window, &client);
    display->AddRef();  // held across the call: a command that arrives inside it may close the file
    display->SetVideoPosition(nullptr, &client);
    display->Release();
}

// A hidden top-level window with the file name as its caption: the video
// renderer draws into it, and it shows once the session has started.
HWND CreateVideoWindow(const WCHAR* path)
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = VideoWndProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = VIDEO_CLASS_NAME;
    RegisterClassW(&windowClass);  // fails harmlessly once registered
    return CreateWindowExW(0, VIDEO_CLASS_NAME, FileNamePart(path), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, windowClass.hInstance,
                           nullptr);
}

// Sizes the video window to the video, at its own DPI where Windows tells
// it (10 version 1607 on), docks it or puts it next to the strip, and fits
// the picture.
void PlaceVideoWindow(Player* player)
{
    HWND window = player->sessionVideo;
    RECT outer;
    GetWindowRect(window, &outer);
    long left = outer.left, top = outer.top;
    SIZE video;
    if (SUCCEEDED(player->videoDisplay->GetNativeVideoSize(&video, nullptr)) && video.cx > 0 && video.cy > 0) {
        outer = { 0, 0, video.cx, video.cy };
        auto adjustForDpi = reinterpret_cast<decltype(&AdjustWindowRectExForDpi)>(
            FindUser32Function("AdjustWindowRectExForDpi"));
        if (adjustForDpi) adjustForDpi(&outer, WS_OVERLAPPEDWINDOW, FALSE, 0, WindowDpi(window));
        else AdjustWindowRect(&outer, WS_OVERLAPPEDWINDOW, FALSE);
    }
    long width = outer.right - outer.left, height = outer.bottom - outer.top;
    PlacePicture(&left, &top, &width, &height);
    SetWindowPos(window, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    FitPicture(window);  // also when the size did not change, and so sent no WM_SIZE
}
