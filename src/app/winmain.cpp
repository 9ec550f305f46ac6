// The process entry: read the command line, forward it to a running strip
// or become the strip, play, and tear down.
#include "app/command_line.h"
#include "app/main_window.h"
#include "app/remote.h"
#include "core/state.h"
#include "player/player.h"

namespace {

const WCHAR NO_FILE[] = L"no file";

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    CommandLine commandLine;
    ReadCommandLine(GetCommandLineW(), &commandLine);
    if (ForwardToRunningStrip(commandLine.commandWord)) return 0;

    g_titleLine[0] = 0;
    RegisterStripClass(instance);
    g_mainWindow = CreateStripWindow(instance, commandLine.parent);
    if (!g_mainWindow) return 0;  // e.g. /P named no window: nothing to show, so nothing plays
    ShowWindow(g_mainWindow, SW_SHOWNORMAL);
    UpdateWindow(g_mainWindow);  // paint now, not after COM and the graph have started
    SetTimer(g_mainWindow, TICK_TIMER_ID, TICK_INTERVAL_MS, nullptr);
    CoInitialize(nullptr);
    PlayerCreate(&g_player, g_mainWindow);

    if (g_mediaPath[0] == 0 || !PlayerOpen(&g_player, g_mediaPath)) {
        PlayerRelease(&g_player);
        CopyText(g_statusLine, STATUS_LINE_CAPACITY, NO_FILE);
    }
    // A path too long to hold was never opened; say so as for any failed open.
    if (commandLine.refusedPath[0]) ShowOpenFailure(commandLine.refusedPath);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }

    PlayerRelease(&g_player);
    if (g_stripFont) DeleteObject(g_stripFont);
    CoUninitialize();
    return 0;
}
