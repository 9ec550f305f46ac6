// Window and message helpers for tests that drive real windows.
#pragma once

#include <windows.h>

// Dispatches every waiting message of this thread.
void PumpMessages();

// Pumps messages until done() holds or milliseconds pass; returns done().
template <typename Condition>
bool PumpUntil(Condition done, DWORD milliseconds)
{
    DWORD start = GetTickCount();
    for (;;) {
        PumpMessages();
        if (done()) return true;
        if (GetTickCount() - start >= milliseconds) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

// A plain top-level window of a class of the tests, for IsWindow and docking.
HWND CreatePlainWindow(int x, int y, int width, int height);

// TRUE when module is the comctl32 of the Common Controls 6 assembly, which a
// manifest asks for (Wine's reports version 5 however loaded: its folder tells).
bool IsCommonControlsSix(HMODULE module);
