#include "app/remote.h"
#include "app/commands.h"
#include "app/main_window.h"
#include "core/state.h"

namespace {

const WCHAR START_LOCK_NAME[] = L"Tallyvox.StartLock";
const DWORD START_LOCK_WAIT_MS = 5000;

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

void ForwardCommand(HWND strip, DWORD commandWord, const WCHAR* path)
{
    COPYDATASTRUCT record;
    record.dwData = commandWord;
    record.cbData = DWORD((lstrlenW(path) + 1) * sizeof(WCHAR));
    record.lpData = const_cast<WCHAR*>(path);
    DWORD_PTR answer;
    SendMessageTimeoutW(strip, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&record), SMTO_NORMAL, FORWARD_WAIT_MS,
                        &answer);
}

namespace {

// Copies the record's path, bounded by cbData whether or not a NUL comes in
// it. A path longer than g_mediaPath holds arrives at the open too long, so
// the open refuses it instead of playing a cut name.
BOOL OpenRecordPath(const COPYDATASTRUCT* record)
{
    WCHAR path[MEDIA_PATH_CAPACITY + 1];
    const WCHAR* data = static_cast<const WCHAR*>(record->lpData);
    DWORD available = data ? record->cbData / sizeof(WCHAR) : 0;
    DWORD length = 0;
    while (length < available && length < MEDIA_PATH_CAPACITY && data[length]) {
        path[length] = data[length];
        ++length;
    }
    path[length] = 0;
    if (length == 0) return TRUE;  // an empty path opens nothing
    return PerformCommand(CMD_OPEN, 0, path);
}

} // namespace

LRESULT HandleRemoteCommand(const COPYDATASTRUCT* record)
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
    return OpenRecordPath(record);  // CMD_OPEN, and any code the sender never makes
}
