// One tick of the strip in process: the tick itself on a playing graph
// (progress, the hover details' update with the tooltip not showing) and
// the full PaintStrip it asks for, against an empty
// BeginPaint/EndPaint on a window of the same size. Prints the medians and the
// minima of the per-round means in microseconds as
// "RESULT <tick us> <baseline us> <tick min> <baseline min>".
//   bench_tick FILE [ITERATIONS]
#include "app/main_window.h"
#include "core/state.h"
#include "player/player.h"
#include "strip/details.h"
#include "strip/progress.h"

#include <stdio.h>
#include <stdlib.h>

namespace {

const int ROUNDS = 7;

double NowUs()
{
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return double(count.QuadPart) * 1e6 / double(frequency.QuadPart);
}

LRESULT CALLBACK EmptyPaintProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_PAINT) return DefWindowProcW(window, message, wParam, lParam);
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    EndPaint(window, &paint);
    return 0;
}

void Pump()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

double MeanUs(HWND window, BOOL tick, int iterations)
{
    // Let the last round's deferred work (surface flushes, graph events) end
    // before this round starts, so that it is charged to neither.
    Pump();
    Sleep(100);
    Pump();
    double start = NowUs();
    for (int i = 0; i < iterations; ++i) {
        if (tick) HandleTimerTick(window);  // progress, details, and the invalidation
        else InvalidateRect(window, nullptr, FALSE);
        UpdateWindow(window);
    }
    return (NowUs() - start) / iterations;
}

int CompareDoubles(const void* a, const void* b)
{
    double x = *static_cast<const double*>(a), y = *static_cast<const double*>(b);
    return (x > y) - (x < y);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) return 2;
    int iterations = argc > 2 ? _wtoi(argv[2]) : 2000;
    if (iterations < 1) return 2;
    HINSTANCE instance = GetModuleHandleW(nullptr);

    RegisterStripClass(instance);
    g_mainWindow = CreateStripWindow(instance, nullptr);
    WNDCLASSW plainClass = {};
    plainClass.lpfnWndProc = EmptyPaintProc;
    plainClass.hInstance = instance;
    plainClass.lpszClassName = L"BenchEmptyPaint";
    RegisterClassW(&plainClass);
    HWND plain = CreateWindowExW(0, L"BenchEmptyPaint", L"BenchEmptyPaint", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                 CW_USEDEFAULT, 200, 62, nullptr, nullptr, instance, nullptr);
    if (!g_mainWindow || !plain) return 1;
    CreateDetailsTip(g_mainWindow);
    // Side by side: neither may hide part of the other and so paint less.
    SetWindowPos(plain, nullptr, 300, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ShowWindow(g_mainWindow, SW_SHOWNORMAL);
    ShowWindow(plain, SW_SHOWNORMAL);

    CoInitialize(nullptr);
    if (!PlayerOpen(&g_player, argv[1])) {
        fwprintf(stderr, L"bench_tick: cannot play %ls\n", argv[1]);
        return 1;
    }
    Sleep(500);  // let playback get going, so that the position moves
    double tick[ROUNDS], empty[ROUNDS];
    for (int round = 0; round < ROUNDS; ++round) {
        tick[round] = MeanUs(g_mainWindow, TRUE, iterations);
        empty[round] = MeanUs(plain, FALSE, iterations);
    }
    qsort(tick, ROUNDS, sizeof *tick, CompareDoubles);
    qsort(empty, ROUNDS, sizeof *empty, CompareDoubles);
    wprintf(L"RESULT %.3f %.3f %.3f %.3f\n", tick[ROUNDS / 2], empty[ROUNDS / 2], tick[0], empty[0]);

    PlayerRelease(&g_player);
    DestroyWindow(plain);
    DestroyWindow(g_mainWindow);
    CoUninitialize();
    return 0;
}
