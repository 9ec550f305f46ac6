// Playback on the strip's taskbar button (Windows 7 and later): the
// position over the length, green while playing and yellow while paused,
// red and full after a failed open, and nothing with no file, at the end
// or stopped. Windows makes the button once the window shows and says so
// with the registered message "TaskbarButtonCreated", again after Explorer
// restarts; calls made before it do nothing, so none are made.
#pragma once

#include <windows.h>

// The registered message, 0 until a top-level strip watches for it.
extern UINT g_taskbarButtonCreated;

// Starts listening for the button of a top-level strip; a child strip has none.
void WatchTaskbarButton(HWND strip);

// The registered message: a new taskbar list for the new button, which is
// shown what the strip shows at once, paused or playing.
void HandleTaskbarButtonCreated(HWND strip);

// After every command and tick: the button follows the strip, called only
// when what it shows changes.
void UpdateTaskbarProgress();

// Gives the taskbar list back and stops listening.
void ReleaseTaskbarProgress();
