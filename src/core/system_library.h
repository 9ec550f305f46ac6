// Loading a system DLL from the system folder only, never from the exe's
// folder, where a planted copy (say on a USB stick) would be found first.
#pragma once

#include <windows.h>

typedef HMODULE(WINAPI* LoadLibraryExFunction)(LPCSTR, HANDLE, DWORD);
typedef HMODULE(WINAPI* LoadLibraryFunction)(LPCSTR);

// The loaders are parameters so that their failures can be tried out.
HMODULE LoadSystemLibrary(LPCSTR name, LoadLibraryExFunction loadEx = LoadLibraryExA,
                          LoadLibraryFunction load = LoadLibraryA);
