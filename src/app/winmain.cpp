// The process entry: read the command line, forward it to a running strip
// or become the strip, play, and tear down.
#include "app/command_line.h"
#include "app/commands.h"
#include "app/main_window.h"
#include "app/media_controls.h"
#include "app/picture_input.h"
#include "app/remote.h"
#include "app/status.h"
#include "app/taskbar_progress.h"
#include "core/queue.h"
#include "core/state.h"
#include "player/player.h"
#include "strip/details.h"

namespace {

const WCHAR NO_FILE[] = L"no file";

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    CommandLine commandLine;
    ReadCommandLine(GetCommandLineW(), &commandLine);
    // A path too long to hold travels as it came, so the strip refuses it visibly.
    const WCHAR* path = commandLine.refusedPath[0] ? commandLine.refusedPath : g_mediaPath;

    HANDLE startLock = TakeStartLock();
    HWND running = FindRunningStrip();
    if (running || commandLine.asksStatus) {
        GiveBackStartLock(startLock);
        if (commandLine.asksStatus) return AskForStatus(instance, running);  // only asks: never a strip
        if (commandLine.queues) {
            ForwardQueue(running, commandLine.notQueued);
            if (commandLine.commandWord == CMD_OPEN) return 0;
        }
        // Next and previous go without the path: with one, their codes open it, as they always did.
        if (commandLine.queues || commandLine.commandWord >= CMD_NEXT) path = L"";
        ReportForwardError(ForwardCommand(running, commandLine.commandWord, path));
        return 0;  // refused or not: a forwarding launch always ends with 0
    }

    // From the window's creation to the end of the first open, commands
    // that reach the strip wait: COM and the graph are not there yet.
    BeginPlayerOperation();
    g_titleLine[0] = 0;
    RegisterStripClass(instance);
    g_mainWindow = CreateStripWindow(instance, commandLine.parent);
    GiveBackStartLock(startLock);  // later launches find this strip from here on
    if (!g_mainWindow) return 0;  // e.g. /P named no window: nothing to show, so nothing plays
    WatchTaskbarButton(g_mainWindow);  // before it shows: the button comes with showing
    ShowWindow(g_mainWindow, SW_SHOWNORMAL);
    UpdateWindow(g_mainWindow);  // paint now, not after COM and the graph have started
    SetTimer(g_mainWindow, TICK_TIMER_ID, TICK_INTERVAL_MS, nullptr);
    FindWineVersion();  // what a Wine needs is done only there
    CoInitialize(nullptr);
    CreatePictureInput(instance);  // before the first open, whose picture sends it its keys
    PlayerCreate(&g_player, g_mainWindow);

    // The line's path, or its first with /queue; a path too long to hold fails there visibly.
    if (g_queueCount == 0 || !OpenQueuedFile(0)) {
        PlayerRelease(&g_player);
        CopyText(g_statusLine, STATUS_LINE_CAPACITY, NO_FILE);
    }
    NoteFailureShown();
    EndPlayerOperation();
    // This launch is the strip: it says so of the paths it could not queue,
    // and lets go of the console it may have taken for that, whose closing would end the strip.
    if (commandLine.notQueued) {
        ReportNotQueued(commandLine.notQueued);
        FreeConsole();
    }
    // The hover details and the media controls come last: comctl32 and
    // combase load after the strip shows and plays.
    CreateDetailsTip(g_mainWindow);
    CreateMediaControls(g_mainWindow);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }

    ReleaseTaskbarProgress();
    BOOL allReleased = PlayerShutdown(&g_player);
    if (g_stripFont) DeleteObject(g_stripFont);
    // Sessions left alive go with the process: COM torn down under them
    // crashed Wine's end of it now and then.
    if (allReleased) CoUninitialize();
    return 0;
}

// The process's entry point (the build names it): it runs WinMain and ends
// the process with its exit code, 0 but for /status.
extern "C" void WINAPI TallyvoxEntry()
{
    ExitProcess(UINT(WinMain(GetModuleHandleW(nullptr), nullptr, nullptr, SW_SHOWNORMAL)));
}
