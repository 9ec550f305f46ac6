// A later launch as a remote control: it hands its command word and path to
// the running strip in one WM_COPYDATA record.
#pragma once

#include <windows.h>

// Held from before a launch looks for a running strip until its own strip
// exists, so that launches started together end with one strip between
// them. A launch that cannot have it within a few seconds goes on without.
HANDLE TakeStartLock();
void GiveBackStartLock(HANDLE lock);

// The running top-level strip, or null.
HWND FindRunningStrip();

// Sends the command word and path to strip and waits for its answer, at
// most FORWARD_WAIT_MS: a strip stuck in a graph call must not hold every
// later launch too. Returns 0 once the strip answered, else the send's
// error: ERROR_ACCESS_DENIED when Windows refused the record.
DWORD ForwardCommand(HWND strip, DWORD commandWord, const WCHAR* path, DWORD_PTR* answer = nullptr);

// After a forward that failed with error. A record that Windows refused
// (sent from a lower integrity level to a strip of a higher one, an elevated
// strip) can never get through, and a launch has no window to say so in: it
// sounds the error beep and writes one line to standard error. Other errors
// (a strip stuck past the wait, or just closed) pass in silence, as before.
void ReportForwardError(DWORD error);

// /queue: hands the launch's queue to strip, a record of code 12 a path,
// in order, and stops at the first the strip cannot hold. Reports those
// and notQueued, the paths the launch itself could not hold, as one line.
void ForwardQueue(HWND strip, int notQueued);

// With paths that were not queued: the error beep and one line on
// standard error that says how many, as a refused forward does.
void ReportNotQueued(int count);

// Longer than any command's own waits for the graph: a toggle that pauses
// waits for the pause's polling and two state waits.
const DWORD FORWARD_WAIT_MS = 90 * 1000;

// Carries out a record from any program; sender is the message's wParam,
// the window an answer goes to. Reads no more than cbData bytes. Answers 1
// when the command is carried out or will be, 0 when refused.
LRESULT HandleRemoteCommand(const COPYDATASTRUCT* record, HWND sender);

// Copies a record's text into out (capacity characters, the NUL included),
// bounded by cbData whether or not a NUL comes in it. Returns its length.
int CopyRecordText(WCHAR* out, int capacity, const COPYDATASTRUCT* record);
