// The system media transport controls (Windows 8.1 and later): the media
// overlay above the volume flyout, the lock screen and Windows 11's quick
// settings show the file and whether it plays, and their Play, Pause and
// Stop buttons, and the keyboard's media keys when Windows hands them to
// the strip, drive it. Where the controls are missing nothing shows.
#pragma once

#include "app/media_controls_winrt.h"

// Posted to the strip by the button handler, on a thread of the pool;
// wParam is the button.
const UINT WM_MEDIA_BUTTON = WM_APP + 2;

// RoGetActivationFactory's shape: the tests hand in one of their own.
typedef HRESULT(WINAPI* ActivationFunction)(HSTRING classId, REFIID iid, void** factory);

// The strip's controls, or null: a child strip, or none on this Windows.
extern ISystemMediaTransportControls* g_mediaControls;

// Gets a top-level strip's controls, enables Play, Pause and Stop, listens
// to their buttons and shows what the strip plays. combase.dll is looked
// for at run time, so that the exe still loads on Windows 7; activate is
// RoGetActivationFactory unless given.
void CreateMediaControls(HWND strip, ActivationFunction activate = nullptr);

// After every command and tick: the playback status follows the strip's
// state. The controls are called only when it changed.
void UpdateMediaControls();

// After an open: the file name as the title of music.
void ShowMediaTitle();

// WM_MEDIA_BUTTON: a button carried out as the key of its name.
void HandleMediaButton(WPARAM button);

// Stops listening and gives the controls back.
void ReleaseMediaControls();
