// The delay-load helper's loader: the system folder only, whatever fails.
#include "core/system_library.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

DWORD g_loadExError;
std::vector<std::string> g_loads;

HMODULE WINAPI FailingLoadEx(LPCSTR name, HANDLE, DWORD flags)
{
    g_loads.push_back(std::string("ex ") + name + (flags == LOAD_LIBRARY_SEARCH_SYSTEM32 ? " system32" : " other"));
    SetLastError(g_loadExError);
    return g_loadExError ? nullptr : HMODULE(0x1000);
}

HMODULE WINAPI RecordingLoad(LPCSTR name)
{
    g_loads.push_back(std::string("plain ") + name);
    return HMODULE(0x2000);
}

} // namespace

// Only a loader too old for the flag falls back, and then by the full path.
TEST(SystemLibrary, FallsBackOnlyForAnOldLoaderAndThenByFullPath)
{
    char folder[MAX_PATH];
    GetSystemDirectoryA(folder, MAX_PATH);
    const std::string fullPath = std::string(folder) + "\\msimg32.dll";
    const struct { DWORD error; HMODULE result; bool fallsBack; } cases[] = {
        {0, HMODULE(0x1000), false}, {ERROR_INVALID_PARAMETER, HMODULE(0x2000), true},
        {ERROR_MOD_NOT_FOUND, nullptr, false}, {ERROR_ACCESS_DENIED, nullptr, false},
        {ERROR_BAD_EXE_FORMAT, nullptr, false}, {ERROR_PROC_NOT_FOUND, nullptr, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        g_loadExError = c.error;
        g_loads.clear();
        EXPECT_EQ(c.result, LoadSystemLibrary("msimg32.dll", FailingLoadEx, RecordingLoad));
        std::vector<std::string> expected = {"ex msimg32.dll system32"};
        if (c.fallsBack) expected.push_back("plain " + fullPath);
        EXPECT_EQ(expected, g_loads);
    }
    // A name that cannot fit beside the folder is not loaded cut short.
    g_loadExError = ERROR_INVALID_PARAMETER;
    g_loads.clear();
    EXPECT_EQ(nullptr, LoadSystemLibrary(std::string(300, 'a').c_str(), FailingLoadEx, RecordingLoad));
    EXPECT_EQ(1u, g_loads.size());
}
