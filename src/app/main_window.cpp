#include "app/main_window.h"
#include "app/commands.h"
#include "app/input.h"
#include "app/media_controls.h"
#include "app/remote.h"
#include "app/taskbar_progress.h"
#include "core/state.h"
#include "player/player.h"
#include "strip/details.h"
#include "strip/paint.h"
#include "strip/progress.h"

namespace {

const int STRIP_WIDTH = 200;
const int STRIP_HEIGHT = 62;
const WORD ICON_RESOURCE_ID = 1;

// The strip's size at its window's DPI. A change of DPI always changes the
// size, and so WM_WINDOWPOSCHANGED lays the strip out again.
void FitToWindowDpi(HWND window)
{
    g_stripDpi = WindowDpi(window);
    SetWindowPos(window, nullptr, 0, 0, ScaleForDpi(STRIP_WIDTH), ScaleForDpi(STRIP_HEIGHT),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// WM_DPICHANGED: a move to a screen of another DPI; the system suggests the rectangle.
void HandleDpiChanged(HWND window, WPARAM dpis, const RECT* suggested)
{
    // Windows 8.1 has no GetDpiForWindow: the message's own DPI is right everywhere.
    int dpi = LOWORD(dpis);
    if (dpi == 0 || !suggested) return;  // not from the system
    g_stripDpi = dpi;
    SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                 suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

// The tick, then what Windows shows of the strip elsewhere: the position and
// the end come with it. Inside a player operation they wait for its end.
void HandleTick(HWND window)
{
    HandleTimerTick(window);
    if (g_playerBusy) return;
    TickQueue();
    UpdateMediaControls();
    UpdateTaskbarProgress();
}

} // namespace

void RegisterStripClass(HINSTANCE instance)
{
    WNDCLASSW windowClass = {};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = MainWndProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(ICON_RESOURCE_ID));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = nullptr;  // the strip paints every pixel itself
    windowClass.lpszClassName = STRIP_CLASS_NAME;
    RegisterClassW(&windowClass);
}

HWND CreateStripWindow(HINSTANCE instance, HWND parent)
{
    DWORD style = parent ? WS_CHILD | WS_VISIBLE : WS_OVERLAPPEDWINDOW;
    return CreateWindowExW(WS_EX_ACCEPTFILES, STRIP_CLASS_NAME, STRIP_CLASS_NAME, style, CW_USEDEFAULT, CW_USEDEFAULT,
                           STRIP_WIDTH, STRIP_HEIGHT, parent, nullptr, instance, nullptr);
}

void HandleDroppedFiles(HDROP drop)
{
    // Room for any name g_mediaPath can hold and one character more, so a
    // longer name reaches the open too long and is refused, never cut.
    WCHAR name[MEDIA_PATH_CAPACITY + 1];
    UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    BOOL refused = FALSE;
    for (UINT index = 0; index < count; ++index) {
        if (DragQueryFileW(drop, index, name, MEDIA_PATH_CAPACITY + 1) == 0) continue;  // nothing to open
        // The first plays, as a plain open; the rest wait after it in the
        // shell's order, and after one the queue refused, none is added.
        if (index == 0) PerformCommand(CMD_OPEN, 0, name);
        else refused = refused || !QueueFile(name);
    }
    DragFinish(drop);
    // The names the queue could not hold: the strip has no other voice for them.
    if (refused) MessageBeep(MB_ICONERROR);
}

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message >= WM_MOUSEFIRST && message <= WM_MBUTTONUP) RelayToDetailsTip(window, message, wParam, lParam);
    if (message == g_taskbarButtonCreated && message != 0) {  // registered, so not a case of its own
        HandleTaskbarButtonCreated(window);
        return 0;
    }
    switch (message) {
    case WM_DESTROY:
        DestroyWindow(g_detailsTip);  // a child strip's tip belongs to its parent's window
        g_detailsTip = nullptr;
        ReleaseMediaControls();  // no button may reach a window that is gone
        PostQuitMessage(0);
        return 0;
    case WM_PAINT:
        PaintStrip(window);
        return 0;
    case WM_WINDOWPOSCHANGED:
        UpdateLayout(window);
        return 0;
    case WM_DPICHANGED:
        HandleDpiChanged(window, wParam, reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_CREATE:  // only now is the strip's screen, and so its DPI, known; it shows later
    case WM_DPICHANGED_AFTERPARENT:  // a child strip follows its parent to another screen
        FitToWindowDpi(window);
        return 0;
    case WM_COPYDATA:
        return HandleRemoteCommand(reinterpret_cast<const COPYDATASTRUCT*>(lParam), HWND(wParam));
    case WM_KEYDOWN:
        // DefWindowProcW makes the media and volume keys WM_APPCOMMAND.
        if (IsAppCommandKey(wParam)) break;
        HandleKeyDown(wParam);
        return 0;
    case WM_APPCOMMAND:
        if (HandleAppCommand(lParam)) return TRUE;
        break;
    case WM_TIMER:
        HandleTick(window);
        return 0;
    case WM_MOUSELEAVE:
        HideDetailsTip();
        return 0;
    case WM_MOUSEWHEEL:
        HandleMouseWheel(wParam);
        return 0;
    case WM_MOUSEMOVE:
        HandleMouseMove(lParam);
        return 0;
    case WM_LBUTTONDOWN:
        PerformCommand(CMD_TOGGLE, 0);
        return 0;
    case WM_RBUTTONDOWN:
        HandleRightButtonDown(window, lParam);
        return 0;
    case WM_RBUTTONUP:
        HandleRightButtonUp();
        return 0;
    case WM_CAPTURECHANGED:
        if (HWND(lParam) != window) HandleCaptureLost();
        return 0;
    case WM_DROPFILES:
        HandleDroppedFiles(reinterpret_cast<HDROP>(wParam));
        return 0;
    case WM_GRAPHNOTIFY:
        PerformCommand(CMD_GRAPH_EVENTS, 0);  // repaints when carried out
        return 0;
    case WM_MEDIA_BUTTON:
        HandleMediaButton(wParam);
        return 0;
    case WM_RUN_WAITING:
        RunWaitingCommands();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
