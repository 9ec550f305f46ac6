#include "app/remote.h"
#include "app/commands.h"
#include "app/output.h"
#include "app/status.h"
#include "core/queue.h"
#include "core/state.h"

namespace {

const WCHAR START_LOCK_NAME[] = L"Tallyvox.StartLock";
const DWORD START_LOCK_WAIT_MS = 5000;

// A launch has no window to say what went wrong in: the error beep, and a line on standard error.
void Complain(const WCHAR* line)
{
    MessageBeep(MB_ICONERROR);
    WriteStandard(STD_ERROR_HANDLE, line);
}

} // namespace

HANDLE TakeStartLock()
{
    HANDLE lock = CreateMutexW(nullptr, FALSE, START_LOCK_NAME);
    // Abandoned means a launch died holding it: ours now all the same.
    if (lock) WaitForSingleObject(lock, START_LOCK_WAIT_MS);
    return lock;
}

void GiveBackStartLock(HANDLE lock)
{
    if (!lock) return;
    ReleaseMutex(lock);  // fails harmlessly when the wait timed out
    CloseHandle(lock);
}

HWND FindRunningStrip()
{
    return FindWindowW(STRIP_CLASS_NAME, nullptr);
}

DWORD ForwardCommand(HWND strip, DWORD commandWord, const WCHAR* path, DWORD_PTR* answer)
{
    COPYDATASTRUCT record;
    record.dwData = commandWord;
    record.cbData = DWORD((lstrlenW(path) + 1) * sizeof(WCHAR));
    record.lpData = const_cast<WCHAR*>(path);
    DWORD_PTR ignored;
    if (SendMessageTimeoutW(strip, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&record), SMTO_NORMAL, FORWARD_WAIT_MS,
                            answer ? answer : &ignored))
        return 0;
    return GetLastError();
}

void ForwardQueue(HWND strip, int notQueued)
{
    for (int index = 0; index < g_queueCount; ++index) {
        DWORD_PTR queued = 0;
        DWORD error = ForwardCommand(strip, CMD_QUEUE, QueuePath(index), &queued);
        if (error) {
            ReportForwardError(error);
            return;
        }
        // The rest stay out too, even one short enough to fit: the queue keeps the launch's order.
        if (!queued) {
            notQueued += g_queueCount - index;
            break;
        }
    }
    ReportNotQueued(notQueued);
}

void ReportNotQueued(int count)
{
    if (count == 0) return;
    WCHAR line[64];
    wsprintfW(line, L"Tallyvox: %d not queued, the queue is full\r\n", count);
    Complain(line);
}

void ReportForwardError(DWORD error)
{
    if (error == ERROR_ACCESS_DENIED) Complain(L"Tallyvox: refused by an elevated strip\r\n");
}

int CopyRecordText(WCHAR* out, int capacity, const COPYDATASTRUCT* record)
{
    const WCHAR* data = static_cast<const WCHAR*>(record->lpData);
    DWORD available = data ? record->cbData / sizeof(WCHAR) : 0;
    int length = 0;
    while (DWORD(length) < available && length < capacity - 1 && data[length]) {
        out[length] = data[length];
        ++length;
    }
    out[length] = 0;
    return length;
}

LRESULT HandleRemoteCommand(const COPYDATASTRUCT* record, HWND sender)
{
    if (!record) return 1;
    WORD code = LOWORD(record->dwData);
    WORD argument = HIWORD(record->dwData);
    switch (code) {
    case CMD_PLAY:
    case CMD_PAUSE:
    case CMD_TOGGLE:
    case CMD_STOP:
        return PerformCommand(code, 0);
    case CMD_SET_VOLUME:
    case CMD_SEEK_TO:
        return PerformCommand(code, argument);
    case CMD_ADD_VOLUME:
    case CMD_SEEK_BY:
        return PerformCommand(code, SHORT(argument));
    }
    // CMD_OPEN, CMD_STATUS, next, previous, queue, and any code no launch
    // makes. A path longer than g_mediaPath holds arrives at the open too
    // long, so the open refuses it instead of playing a cut name. An empty
    // path opens nothing, but with code 9 it asks, answered at once even
    // inside a graph call, and with 10 and 11 it goes to the next or the
    // previous file; with a path they open it, as they always did.
    WCHAR path[MEDIA_PATH_CAPACITY + 1];
    if (CopyRecordText(path, MEDIA_PATH_CAPACITY + 1, record))
        return code == CMD_QUEUE ? QueueFile(path) : PerformCommand(CMD_OPEN, 0, path);
    if (code == CMD_STATUS) AnswerStatusQuery(sender);
    if (code == CMD_NEXT || code == CMD_PREVIOUS) return PerformCommand(code, 0);
    return 1;
}
