// A later launch as a remote control: it hands its command word and path to
// the running strip in one WM_COPYDATA record.
#pragma once

#include <windows.h>

// Sends the command word and g_mediaPath to a running top-level strip.
// FALSE when there is none, and this launch is to become the strip.
BOOL ForwardToRunningStrip(DWORD commandWord);

// Carries out a record from any program. Reads no more than cbData bytes.
void HandleRemoteCommand(const COPYDATASTRUCT* record);
