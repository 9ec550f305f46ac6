// Process-level timings taken inside Wine, where starting a process and
// finding a window cost what they cost any caller. Prints medians and minima
// as "RESULT <tallyvox ms> <baseline ms> <tallyvox min> <baseline min>".
//
//   bench_driver forward RUNS TALLYVOX BASELINE
//       Wall time of "tallyvox.exe /play" while a strip runs (find the strip,
//       send the record, exit) against a baseline started without arguments:
//       the minimal forwarder, or a console program that exits at once.
//       Also prints "RECORD <ms>": finding the strip and sending it the same
//       record from here, i.e. the part that is not process start.
//   bench_driver startup RUNS TALLYVOX WINDOW
//       From CreateProcess to the first paint with no file, against a bare
//       200x62 window program. The first paint is seen from outside without
//       touching the product: the window exists, is visible and has no update
//       region left, i.e. BeginPaint has validated what ShowWindow
//       invalidated. Both programs are polled the same way (every 1 ms), then
//       closed with WM_CLOSE, which is not timed.
//   bench_driver wait | close
//       Waits for a running strip / closes it and waits until it is gone.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

namespace {

const wchar_t STRIP_CLASS[] = L"Tallyvox";
const wchar_t WINDOW_CLASS[] = L"BenchWindow";
const int MAX_RUNS = 101;

double NowMs()
{
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return double(count.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

[[noreturn]] void Fail(const wchar_t* what)
{
    fwprintf(stderr, L"bench_driver: %ls\n", what);
    exit(1);
}

HANDLE Start(const wchar_t* exe, const wchar_t* arguments)
{
    wchar_t line[2048];
    _snwprintf(line, 2048, L"\"%ls\" %ls", exe, arguments);
    line[2047] = 0;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessW(exe, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        Fail(exe);
    }
    CloseHandle(process.hThread);
    return process.hProcess;
}

double TimeToExit(const wchar_t* exe, const wchar_t* arguments)
{
    double start = NowMs();
    HANDLE process = Start(exe, arguments);
    if (WaitForSingleObject(process, 60000) != WAIT_OBJECT_0) Fail(L"a launch did not exit");
    double elapsed = NowMs() - start;
    DWORD code = 1;
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    if (code != 0) Fail(L"a launch failed");
    return elapsed;
}

BOOL WaitForWindow(const wchar_t* windowClass, BOOL present, DWORD timeoutMs)
{
    for (DWORD waited = 0; waited < timeoutMs; waited += 10) {
        if ((FindWindowW(windowClass, nullptr) != nullptr) == present) return TRUE;
        Sleep(10);
    }
    return FALSE;
}

double TimeToFirstPaint(const wchar_t* exe, const wchar_t* windowClass)
{
    if (FindWindowW(windowClass, nullptr)) Fail(L"a window of the class is already there");
    double start = NowMs();
    HANDLE process = Start(exe, L"");
    HWND window = nullptr;
    double painted = -1;
    while (painted < 0 && NowMs() - start < 30000 && WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
        window = FindWindowW(windowClass, nullptr);
        if (window && IsWindowVisible(window) && !GetUpdateRect(window, nullptr, FALSE)) {
            painted = NowMs() - start;
        } else {
            Sleep(1);
        }
    }
    if (window) PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process, 10000) != WAIT_OBJECT_0) TerminateProcess(process, 1);
    CloseHandle(process);
    if (painted < 0) Fail(L"no first paint seen");
    return painted;
}

int CompareDoubles(const void* a, const void* b)
{
    double x = *static_cast<const double*>(a), y = *static_cast<const double*>(b);
    return (x > y) - (x < y);
}

double Median(double* values, int count)
{
    qsort(values, size_t(count), sizeof *values, CompareDoubles);
    return count % 2 ? values[count / 2] : (values[count / 2 - 1] + values[count / 2]) / 2;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc == 2 && wcscmp(argv[1], L"wait") == 0) {
        return WaitForWindow(STRIP_CLASS, TRUE, 30000) ? 0 : 1;
    }
    if (argc == 2 && wcscmp(argv[1], L"close") == 0) {
        if (HWND strip = FindWindowW(STRIP_CLASS, nullptr)) PostMessageW(strip, WM_CLOSE, 0, 0);
        return WaitForWindow(STRIP_CLASS, FALSE, 10000) ? 0 : 1;
    }
    if (argc != 5) Fail(L"usage: forward|startup RUNS TALLYVOX BASELINE | wait | close");
    int runs = _wtoi(argv[2]);
    if (runs < 1 || runs > MAX_RUNS) Fail(L"RUNS out of range");
    BOOL forward = wcscmp(argv[1], L"forward") == 0;
    if (!forward && wcscmp(argv[1], L"startup") != 0) Fail(L"unknown measurement");

    double product[MAX_RUNS], baseline[MAX_RUNS];
    // One untimed round first, then the two alternate so drift hits both alike.
    for (int run = -1; run < runs; ++run) {
        double p = forward ? TimeToExit(argv[3], L"/play") : TimeToFirstPaint(argv[3], STRIP_CLASS);
        double b = forward ? TimeToExit(argv[4], L"") : TimeToFirstPaint(argv[4], WINDOW_CLASS);
        if (run < 0) continue;
        product[run] = p;
        baseline[run] = b;
        wprintf(L"  run %d: %.2f ms / %.2f ms\n", run + 1, p, b);
    }
    // Median sorts, so the minimum is the first element afterwards.
    double productMedian = Median(product, runs), baselineMedian = Median(baseline, runs);
    wprintf(L"RESULT %.3f %.3f %.3f %.3f\n", productMedian, baselineMedian, product[0], baseline[0]);
    if (forward) {
        // The strip's own share: the same record sent from here, without a process start.
        for (int run = 0; run < runs; ++run) {
            double start = NowMs();
            HWND strip = FindWindowW(STRIP_CLASS, nullptr);
            COPYDATASTRUCT record = { 1, sizeof(wchar_t), const_cast<wchar_t*>(L"") };  // CMD_PLAY, empty path
            if (!strip || !SendMessageW(strip, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&record))) {
                Fail(L"no strip took the record");
            }
            product[run] = NowMs() - start;
        }
        wprintf(L"RECORD %.3f\n", Median(product, runs));
    }
    return 0;
}
