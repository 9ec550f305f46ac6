#include "app/taskbar_progress.h"
#include "app/commands.h"
#include "app/status.h"
#include "core/state.h"

#include <shobjidl.h>

UINT g_taskbarButtonCreated;

namespace {

const WCHAR BUTTON_CREATED_MESSAGE[] = L"TaskbarButtonCreated";
// The bar moves in 256ths of the length: about a pixel of a taskbar
// button, and a call every few ticks at most instead of one each tick.
const ULONGLONG PROGRESS_STEPS = 256;

HWND g_buttonWindow;          // the strip whose button it is
ITaskbarList3* g_taskbarList;
TBPFLAG g_shownState;         // what the button was last given
ULONGLONG g_shownStep;

// By what the strip shows outside it; with no file, red after a failed open.
TBPFLAG ProgressStateNow()
{
    const TBPFLAG STATE_SHOWN[] = { TBPF_NOPROGRESS, TBPF_NORMAL, TBPF_PAUSED, TBPF_NOPROGRESS };
    PlaybackShown shown = PlaybackShownOutside();
    return shown == SHOWN_NO_FILE && g_failedOpen ? TBPF_ERROR : STATE_SHOWN[shown];
}

// The position the last tick read over the length, in steps; all of them
// for a failure, and none while the length is unknown.
ULONGLONG ProgressStepNow(TBPFLAG state)
{
    if (state == TBPF_NOPROGRESS) return 0;
    if (state == TBPF_ERROR || (g_duration > 0 && g_position >= g_duration)) return PROGRESS_STEPS;
    if (g_duration <= 0 || g_position <= 0) return 0;
    return ULONGLONG(g_position) * PROGRESS_STEPS / ULONGLONG(g_duration);
}

} // namespace

void WatchTaskbarButton(HWND strip)
{
    if (IsChildStrip(strip)) return;
    g_buttonWindow = strip;
    g_taskbarButtonCreated = RegisterWindowMessageW(BUTTON_CREATED_MESSAGE);
    // A strip run as administrator hears Explorer, which runs as the user, only so.
    ChangeWindowMessageFilterEx(strip, g_taskbarButtonCreated, MSGFLT_ALLOW, nullptr);
}

void HandleTaskbarButtonCreated(HWND strip)
{
    if (strip != g_buttonWindow) return;
    // After Explorer restarted, a new list for the new taskbar.
    ReleaseInterface(g_taskbarList);
    void* list = nullptr;
    if (FAILED(CoCreateInstance(__uuidof(TaskbarList), nullptr, CLSCTX_INPROC_SERVER, __uuidof(ITaskbarList3), &list)) || !list)
        return;
    g_taskbarList = static_cast<ITaskbarList3*>(list);
    if (FAILED(g_taskbarList->HrInit())) {
        ReleaseInterface(g_taskbarList);
        return;
    }
    // A new button shows no progress; it is shown the strip's at once.
    g_shownState = TBPF_NOPROGRESS;
    g_shownStep = 0;
    UpdateTaskbarProgress();
}

void UpdateTaskbarProgress()
{
    if (!g_taskbarList) return;
    TBPFLAG state = ProgressStateNow();
    ULONGLONG step = ProgressStepNow(state);
    if (state == g_shownState && step == g_shownStep) return;
    BOOL stateChanged = state != g_shownState;
    // First: a call that lets messages in must not bring it about twice.
    g_shownState = state;
    g_shownStep = step;
    // The state first: a value given with no progress shown would turn the bar green.
    if (stateChanged) g_taskbarList->SetProgressState(g_buttonWindow, state);
    if (state != TBPF_NOPROGRESS) g_taskbarList->SetProgressValue(g_buttonWindow, step, PROGRESS_STEPS);
}

void ReleaseTaskbarProgress()
{
    ReleaseInterface(g_taskbarList);
    g_taskbarButtonCreated = 0;
    g_buttonWindow = nullptr;
}
