#include "app/picture_input.h"
#include "app/commands.h"
#include "app/input.h"
#include "core/state.h"
#include "player/player.h"

namespace {

const WCHAR PICTURE_INPUT_CLASS_NAME[] = L"TallyvoxPictureInput";
const UINT_PTR POINTER_TIMER_ID = 1;
const UINT POINTER_STILL_MS = 2000;  // a pointer still this long in full screen hides

DWORD g_pictureClickTime;   // of the last press that was not a double-click's second
BOOL g_pictureClicked;      // such a press may begin a double-click
POINT g_pointerAt;          // where the pointer last moved to, on the screen

// A click does nothing, so that a double-click neither pauses nor plays.
// Wine's DirectShow renderer has no CS_DBLCLKS: a second press within the
// double-click time is a double-click too.
BOOL IsDoubleClick(UINT message)
{
    DWORD now = GetTickCount();
    BOOL second = message == WM_LBUTTONDBLCLK || (g_pictureClicked && now - g_pictureClickTime <= GetDoubleClickTime());
    g_pictureClicked = !second;
    g_pictureClickTime = now;
    return second;
}

// The screen position, not the message's: a window that moves or grows
// under a still pointer is sent a move too.
void HandlePictureMove(HWND window)
{
    POINT at;
    GetCursorPos(&at);
    if (at.x == g_pointerAt.x && at.y == g_pointerAt.y) return;
    g_pointerAt = at;
    if (g_pointerHidden) PerformCommand(CMD_POINTER, TRUE);
    if (g_fullScreen) SetTimer(window, POINTER_TIMER_ID, POINTER_STILL_MS, nullptr);  // from now on
}

void HandlePointerTimer(HWND window)
{
    KillTimer(window, POINTER_TIMER_ID);
    if (g_fullScreen && !g_pointerHidden) PerformCommand(CMD_POINTER, FALSE);
}

// Answers TRUE for what it handled: the session's window hands the rest on
// to DefWindowProcW.
LRESULT CALLBACK PictureInputProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (!IsDoubleClick(message)) return TRUE;
        wParam = 'F';  // a double-click toggles full screen, as F does
        [[fallthrough]];
    case WM_KEYDOWN:
        if (wParam == 'F' || wParam == VK_ESCAPE) {
            PerformCommand(CMD_FULL_SCREEN, wParam == 'F');
            SetTimer(window, POINTER_TIMER_ID, POINTER_STILL_MS, nullptr);  // a still pointer hides too
            return TRUE;
        }
        if (IsAppCommandKey(wParam)) return FALSE;  // DefWindowProcW makes them WM_APPCOMMAND
        HandleKeyDown(wParam);  // as on the strip
        return TRUE;
    case WM_APPCOMMAND:
        return HandleAppCommand(lParam);
    case WM_MOUSEWHEEL:
        HandleMouseWheel(wParam);
        return TRUE;
    case WM_MOUSEMOVE:
        HandlePictureMove(window);
        return TRUE;
    case WM_TIMER:
        HandlePointerTimer(window);
        return 0;
    case WM_PICTURE_RESIZED:
        PerformCommand(CMD_REFIT_PICTURE, 0);
        return 0;
    }
    // Drained mouse and keys are copies: this window neither moves nor closes.
    return message < WM_NCMOUSEMOVE && message != WM_CLOSE ? DefWindowProcW(window, message, wParam, lParam) : 0;
}

} // namespace

void CreatePictureInput(HINSTANCE instance)
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = PictureInputProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = PICTURE_INPUT_CLASS_NAME;
    RegisterClassW(&windowClass);
    g_pictureInput = CreateWindowExW(0, PICTURE_INPUT_CLASS_NAME, nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                     instance, nullptr);
}
