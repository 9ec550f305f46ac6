#include "app/commands.h"
#include "app/media_controls.h"
#include "app/status.h"
#include "app/taskbar_progress.h"
#include "core/queue.h"
#include "core/state.h"
#include "player/player.h"
#include "strip/progress.h"

BOOL g_stopAsked;
int g_failureTicks;

namespace {

const int LOWEST_LEVEL = 0;
const int HIGHEST_LEVEL = 10000;

// A volume command is the map level -> Clamp(level + argument, low, high):
// a change is (n, 0, 10000) and a level set (0, L, L). Maps of that form
// compose into one of the same form, so volume commands in a row always
// share one place in the queue and none of their steps is lost.
struct Command {
    DWORD code;
    int argument;
    int low, high;  // volume commands only
};

// A ring of waiting commands, oldest first, with room for the places kept
// beyond the capacity. At most one open waits: a later one takes its place,
// since only the last of them is rendered; its path is the queue's first.
const int RING_SIZE = 2 * WAITING_CAPACITY;
Command g_waitingCommands[RING_SIZE];
UINT g_firstWaiting;
int g_waitingCount;

// Other commands leave two places free: for the one open and the one event
// drain that may wait, so that a flood can never crowd them out.
const int ORDINARY_CAPACITY = WAITING_CAPACITY - 2;
static_assert((RING_SIZE & (RING_SIZE - 1)) == 0, "the ring wraps by a mask");

int Clamp(int value, int low, int high)
{
    return value < low ? low : value > high ? high : value;
}

BOOL IsVolume(DWORD code)
{
    return code == CMD_ADD_VOLUME || code == CMD_DRAG_VOLUME;
}

// Sets, changes and drag levels as maps. A drag does not restart the
// volume bar's count; a map that holds a set or a change does.
Command MakeCommand(DWORD code, int argument)
{
    switch (code) {
    case CMD_SET_VOLUME:
        argument = Clamp(argument, LOWEST_LEVEL, HIGHEST_LEVEL);
        return Command{ CMD_ADD_VOLUME, 0, argument, argument };
    case CMD_DRAG_VOLUME:
        argument = Clamp(argument, LOWEST_LEVEL, HIGHEST_LEVEL);
        return Command{ CMD_DRAG_VOLUME, 0, argument, argument };
    case CMD_ADD_VOLUME:
        return Command{ CMD_ADD_VOLUME, argument, LOWEST_LEVEL, HIGHEST_LEVEL };
    }
    return Command{ code, argument, 0, 0 };
}

// The index-th waiting command, counted from the oldest.
Command& Waiting(int index)
{
    return g_waitingCommands[(g_firstWaiting + UINT(index)) & (RING_SIZE - 1)];
}

int FindWaiting(DWORD code)
{
    for (int index = 0; index < g_waitingCount; ++index) {
        if (Waiting(index).code == code) return index;
    }
    return -1;
}

void RemoveWaiting(int index)
{
    for (--g_waitingCount; index < g_waitingCount; ++index) Waiting(index) = Waiting(index + 1);
}

// Then applies next after last: Clamp(Clamp(x + a, l, h) + b, m, n) is
// Clamp(x + a + b, Clamp(l + b, m, n), Clamp(h + b, m, n)). A change beyond
// the whole range saturates whatever the level, so the sum is held to it.
void ComposeVolume(Command& last, const Command& next)
{
    last.low = Clamp(last.low + next.argument, next.low, next.high);
    last.high = Clamp(last.high + next.argument, next.low, next.high);
    last.argument = Clamp(last.argument + next.argument, -HIGHEST_LEVEL, HIGHEST_LEVEL);
    if (next.code == CMD_ADD_VOLUME) last.code = CMD_ADD_VOLUME;
}

BOOL Enqueue(const Command& command, const WCHAR* path)
{
    Command* last = g_waitingCount ? &Waiting(g_waitingCount - 1) : nullptr;
    if (command.code == CMD_OPEN) {
        int earlier = FindWaiting(CMD_OPEN);
        if (earlier >= 0) RemoveWaiting(earlier);
        // The user asked for this file now: what waited goes, and files queued later come after it.
        QueueClear();
        QueueAppend(path);
    } else if (command.code == CMD_GRAPH_EVENTS || command.code == CMD_PLAY_ON) {
        // That drain takes whatever the graph queued; that play-on looks at the queue as it is then.
        if (FindWaiting(command.code) >= 0) return TRUE;
    } else if (last && IsVolume(last->code) && IsVolume(command.code)) {
        ComposeVolume(*last, command);
        return TRUE;
    } else if (g_waitingCount >= ORDINARY_CAPACITY) {
        return FALSE;  // a flood no launch can make: refused, and the sender told so
    }
    Waiting(g_waitingCount++) = command;
    return TRUE;
}

// Nothing plays, and the queue has a file after the last one opened: the
// end came, or no file was open, or a failure has shown for 2 s.
BOOL PlayOnIsDue()
{
    if (!QueueHasNext()) return FALSE;
    if (PlayerHasMedia(&g_player)) return g_player.ended;
    return !g_failedOpen || g_failureTicks >= FAILURE_SHOWN_TICKS;
}

// After a command or a tick: the next file opens, in the next round.
void PlayOnWhenDue()
{
    if (PlayOnIsDue()) PerformCommand(CMD_PLAY_ON, 0);
}

// Previous: the file before within the first 3 s of this one, else this one's start.
void OpenPrevious()
{
    // The last command's or tick's place: a tenth of a second counts for nothing
    // against 3 s. A failed file has no place but its start.
    int previous = QueuePreviousIndex(PlayerHasMedia(&g_player) ? g_position : 0);
    if (previous != g_queueIndex) OpenQueuedFile(previous);
    else PlayerSeekTo(&g_player, 0);
}

void CarryOut(const Command& command)
{
    // Only the transport commands (open to stop) end a stop; a seek or a level keeps it.
    if (command.code <= CMD_STOP) g_stopAsked = command.code == CMD_STOP;
    switch (command.code) {
    case CMD_OPEN:
        if (g_queueCount) OpenQueuedFile(0);  // the open's own path, which heads the queue
        break;
    case CMD_PREVIOUS:
        OpenPrevious();
        break;
    case CMD_PLAY_ON:
        if (!PlayOnIsDue()) break;
        [[fallthrough]];
    case CMD_NEXT:
        if (QueueHasNext()) OpenQueuedFile(g_queueIndex + 1);
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
        g_volumeDisplayTicks = VOLUME_DISPLAY_TICKS;
        [[fallthrough]];
    case CMD_DRAG_VOLUME:
        PlayerSetVolume(&g_player, Clamp(VolumeLevel(&g_player) + command.argument, command.low, command.high));
        break;
    case CMD_SEEK_TO:
        PlayerSeekTo(&g_player, command.argument * MEDIA_TIME_PER_SECOND);
        break;
    case CMD_SEEK_BY:
        PlayerSeekBy(&g_player, command.argument * MEDIA_TIME_PER_SECOND);
        break;
    case CMD_GRAPH_EVENTS:
        PlayerHandleEvents(&g_player);
        break;
    case CMD_FULL_SCREEN:
        PlayerSetFullScreen(&g_player, command.argument && !g_fullScreen);
        break;
    case CMD_POINTER:
        PlayerShowPointer(&g_player, command.argument);
        break;
    case CMD_REFIT_PICTURE:
        PlayerPictureResized(&g_player);
        break;
    }
    // Not only an open fails: a session may be lost while it plays.
    NoteFailureShown();
    // The bar follows at once: an open never shows the last file's progress,
    // nor a seek the old place.
    g_progressWidth = UpdateProgress(&g_player, g_stripWidth);
    InvalidateRect(g_mainWindow, nullptr, FALSE);
    // And so does what Windows shows of it elsewhere.
    UpdateMediaControls();
    UpdateTaskbarProgress();
    // An end the drain found hands over to the next file.
    PlayOnWhenDue();
}

// Carries out the commands waiting now, oldest first. Commands that arrive
// meanwhile wait behind them for the next round, so painting and the tick
// get their turn between rounds.
void RunWaiting()
{
    for (int count = g_waitingCount; count > 0 && g_waitingCount > 0; --count) {
        Command command = Waiting(0);
        ++g_firstWaiting;
        --g_waitingCount;
        CarryOut(command);
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

PlaybackShown PlaybackShownOutside()
{
    if (!PlayerHasMedia(&g_player)) return SHOWN_NO_FILE;  // no file, or the last open failed
    if (g_player.filterState == State_Running) return SHOWN_PLAYING;
    if (g_player.filterState == State_Paused && !g_stopAsked) return SHOWN_PAUSED;
    return SHOWN_STOPPED;  // ended, stopped, or paused by a stop
}

BOOL PerformCommand(DWORD code, int argument, const WCHAR* path)
{
    if (g_waitingCount >= ORDINARY_CAPACITY) RunWaitingCommands();  // makes room, when idle
    BOOL kept = Enqueue(MakeCommand(code, argument), path);
    // Idle: carried out now, after what waited already. Busy: after the operation under way.
    RunWaitingCommands();
    return kept;
}

void RunWaitingCommands()
{
    if (g_playerBusy) return;  // the operation under way posts again when it ends
    BeginPlayerOperation();
    RunWaiting();
    EndPlayerOperation();
}

BOOL QueueFile(const WCHAR* path)
{
    if (!QueueAppend(path)) return FALSE;
    PerformCommand(CMD_PLAY_ON, 0);
    return TRUE;
}

BOOL OpenQueuedFile(int index)
{
    // A copy: a path that arrives during the open may empty the queue under it.
    WCHAR path[MEDIA_PATH_CAPACITY + 1];
    CopyText(path, MEDIA_PATH_CAPACITY + 1, QueuePath(index));
    g_queueIndex = index;
    g_stopAsked = FALSE;
    g_failureTicks = 0;
    BOOL opened = PlayerOpen(&g_player, path);
    ShowMediaTitle();
    return opened;
}

void TickQueue()
{
    if (g_failureTicks < FAILURE_SHOWN_TICKS) ++g_failureTicks;
    PlayOnWhenDue();
}
