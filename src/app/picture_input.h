// The picture's keys and mouse, whichever framework draws it: a window of
// its own takes them (g_pictureInput), since DirectShow's renderer drains
// the mouse with the keys, and a drained click must not pause the strip.
#pragma once

#include <windows.h>

// Makes g_pictureInput, a message-only window, before the first open.
void CreatePictureInput(HINSTANCE instance);
