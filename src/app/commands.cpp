#include "app/commands.h"
#include "app/status.h"
#include "core/state.h"
#include "player/player.h"
#include "strip/progress.h"

namespace {

struct Command {
    DWORD code;
    int argument;
};

// A ring of waiting commands. Waiting opens share one path, the last one's:
// among opens that arrive together only the last is rendered.
Command g_waitingCommands[WAITING_CAPACITY];
int g_firstWaiting;
int g_waitingCount;
int g_waitingOpens;
WCHAR g_waitingPath[MEDIA_PATH_CAPACITY + 1];  // one over, so a path too long stays too long

// A volume change beyond this saturates the level anyway, so merged changes
// are held to it.
const int LARGEST_VOLUME_CHANGE = 20000;

int LimitVolumeChange(int change)
{
    if (change > LARGEST_VOLUME_CHANGE) return LARGEST_VOLUME_CHANGE;
    if (change < -LARGEST_VOLUME_CHANGE) return -LARGEST_VOLUME_CHANGE;
    return change;
}

Command& LastWaiting()
{
    return g_waitingCommands[(g_firstWaiting + g_waitingCount - 1) % WAITING_CAPACITY];
}

// Folds a command into the last waiting one where the outcome is the same:
// volume changes of one direction add up, a level set replaces the last
// one, and one drain of the graph's events serves every notification.
BOOL MergeWithLast(DWORD code, int argument)
{
    if (g_waitingCount == 0) return FALSE;
    Command& last = LastWaiting();
    if (last.code != code) return FALSE;
    switch (code) {
    case CMD_SET_VOLUME:
    case CMD_DRAG_VOLUME:
        last.argument = argument;
        return TRUE;
    case CMD_ADD_VOLUME:
        if ((last.argument < 0) != (argument < 0)) return FALSE;
        last.argument = LimitVolumeChange(last.argument + argument);
        return TRUE;
    case CMD_GRAPH_EVENTS:
        return TRUE;
    }
    return FALSE;
}

void Enqueue(DWORD code, int argument, const WCHAR* path)
{
    if (code == CMD_ADD_VOLUME) argument = LimitVolumeChange(argument);
    if (MergeWithLast(code, argument)) return;
    if (g_waitingCount == WAITING_CAPACITY) return;  // a flood no launch can make: the newest is dropped
    if (code == CMD_OPEN) {
        CopyText(g_waitingPath, MEDIA_PATH_CAPACITY + 1, path);
        ++g_waitingOpens;
    }
    ++g_waitingCount;
    LastWaiting() = Command{ code, argument };
}

void CarryOut(DWORD code, int argument, const WCHAR* path)
{
    switch (code) {
    case CMD_OPEN:
        PlayerOpen(&g_player, path);
        NoteOpenOutcome();
        break;
    case CMD_PLAY:
        PlayerPlay(&g_player);
        break;
    case CMD_PAUSE:
    case CMD_STOP:  // stop only pauses: the position and video window stay
        PlayerPause(&g_player);
        break;
    case CMD_TOGGLE:
        PlayerTogglePause(&g_player);
        break;
    case CMD_ADD_VOLUME:
        argument += VolumeLevel(&g_player);  // a change is a level counted from the current one
        [[fallthrough]];
    case CMD_SET_VOLUME:
        PlayerSetVolume(&g_player, argument);
        g_volumeDisplayTicks = VOLUME_DISPLAY_TICKS;
        break;
    case CMD_SEEK_TO:
        PlayerSeekTo(&g_player, argument * MEDIA_TIME_PER_SECOND);
        break;
    case CMD_SEEK_BY:
        PlayerSeekBy(&g_player, argument * MEDIA_TIME_PER_SECOND);
        break;
    case CMD_DRAG_VOLUME:
        PlayerSetVolume(&g_player, argument);
        break;
    case CMD_GRAPH_EVENTS:
        PlayerHandleEvents(&g_player);
        break;
    }
    // The bar follows at once: an open never shows the last file's progress,
    // nor a seek the old place.
    g_progressWidth = UpdateProgress(&g_player, g_stripWidth);
    InvalidateRect(g_mainWindow, nullptr, FALSE);
}

// Carries out the commands waiting now, oldest first. Commands that arrive
// meanwhile wait behind them for the next round, so painting and the tick
// get their turn between rounds.
void RunWaiting()
{
    for (int count = g_waitingCount; count > 0 && g_waitingCount > 0; --count) {
        Command command = g_waitingCommands[g_firstWaiting];
        g_firstWaiting = (g_firstWaiting + 1) % WAITING_CAPACITY;
        --g_waitingCount;
        if (command.code != CMD_OPEN) {
            CarryOut(command.code, command.argument, nullptr);
        } else if (--g_waitingOpens == 0) {
            // A copy: an open arriving during this one replaces the shared path.
            WCHAR path[MEDIA_PATH_CAPACITY + 1];
            CopyText(path, MEDIA_PATH_CAPACITY + 1, g_waitingPath);
            CarryOut(CMD_OPEN, 0, path);
        }
    }
}

} // namespace

void BeginPlayerOperation()
{
    g_playerBusy = TRUE;
}

void EndPlayerOperation()
{
    g_playerBusy = FALSE;
    if (g_waitingCount > 0) PostMessageW(g_mainWindow, WM_RUN_WAITING, 0, 0);
}

void PerformCommand(DWORD code, int argument, const WCHAR* path)
{
    if (g_waitingCount == WAITING_CAPACITY) RunWaitingCommands();  // makes room, when idle
    Enqueue(code, argument, path);
    // Idle: carried out now, after what waited already. Busy: after the operation under way.
    RunWaitingCommands();
}

void RunWaitingCommands()
{
    if (g_playerBusy) return;  // the operation under way posts again when it ends
    BeginPlayerOperation();
    RunWaiting();
    EndPlayerOperation();
}
