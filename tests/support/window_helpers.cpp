#include "window_helpers.h"

#include "core/state.h"

#include <wchar.h>

// The product finds its Wine at start-up; the test programs, before their first test.
static const bool g_wineFound = (FindWineVersion(), true);

void PumpMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

HWND CreatePlainWindow(int x, int y, int width, int height)
{
    static ATOM atom;
    if (!atom) {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"TallyvoxTestPlain";
        windowClass.hbrBackground = HBRUSH(GetStockObject(BLACK_BRUSH));
        atom = RegisterClassW(&windowClass);
    }
    HWND window = CreateWindowExW(0, L"TallyvoxTestPlain", L"plain", WS_POPUP | WS_VISIBLE, x, y, width, height,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    PumpMessages();
    return window;
}

bool IsCommonControlsSix(HMODULE module)
{
    WCHAR file[MAX_PATH] = {};
    GetModuleFileNameW(module, file, MAX_PATH);
    return wcsstr(_wcslwr(file), L"\\amd64_microsoft.windows.common-controls_6595b64144ccf1df_6.0.") != nullptr;
}
