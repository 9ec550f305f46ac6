// Baseline for a forwarding launch at the physical limit: a program that
// imports only kernel32 and user32, finds the strip, sends it the /play
// record and exits. No C runtime: the build gives it this entry point.
#include <windows.h>

extern "C" void WINAPI ForwarderEntry()
{
    WCHAR empty[1] = { 0 };
    COPYDATASTRUCT record = { 1, sizeof empty, empty };  // CMD_PLAY, empty path
    if (HWND strip = FindWindowW(L"Tallyvox", nullptr)) {
        SendMessageW(strip, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&record));
    }
    ExitProcess(0);
}
