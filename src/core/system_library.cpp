#include "core/system_library.h"

HMODULE LoadSystemLibrary(LPCSTR name, LoadLibraryExFunction loadEx, LoadLibraryFunction load)
{
    HMODULE module = loadEx(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Windows 7 without its loader update does not know the flag: name the
    // system folder itself.
    if (module || GetLastError() != ERROR_INVALID_PARAMETER) return module;
    CHAR path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    path[length++] = '\\';
    for (; *name; ++name) {
        if (length == MAX_PATH - 1) return nullptr;  // no cut name may load another file
        path[length++] = *name;
    }
    path[length] = 0;
    return load(path);
}
