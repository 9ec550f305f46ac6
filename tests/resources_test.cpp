// The built exe: its icon, version resource and manifest, its size and its imports.
#include <windows.h>

#include <gtest/gtest.h>

#include "window_helpers.h"

#include <ctype.h>
#include <stdio.h>
#include <set>
#include <string>

TEST(Resources, VersionResourceReadsAsBuilt)
{
    static BYTE info[8192];
    DWORD size = GetFileVersionInfoSizeW(TALLYVOX_EXE, nullptr);
    ASSERT_GT(size, 0u);
    ASSERT_LE(size, sizeof info);
    ASSERT_TRUE(GetFileVersionInfoW(TALLYVOX_EXE, 0, sizeof info, info));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info, L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(MAKELONG(0, 1), fixed->dwFileVersionMS);
    EXPECT_EQ(0u, fixed->dwFileVersionLS);
    EXPECT_EQ(MAKELONG(0, 1), fixed->dwProductVersionMS);
    EXPECT_EQ(0u, fixed->dwProductVersionLS);
    EXPECT_EQ(DWORD(VOS__WINDOWS32), fixed->dwFileOS);
    EXPECT_EQ(DWORD(VFT_APP), fixed->dwFileType);

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(info, L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(4u, length);
    EXPECT_EQ(0x0411, translation[0]);
    EXPECT_EQ(932, translation[1]);

    struct {
        const WCHAR* name;
        const WCHAR* value;
    } strings[] = {
        { L"\\StringFileInfo\\041103a4\\FileDescription", L"Tallyvox" },
        { L"\\StringFileInfo\\041103a4\\InternalName", L"Tallyvox" },
        { L"\\StringFileInfo\\041103a4\\FileVersion", L"1.0" },
    };
    for (const auto& string : strings) {
        WCHAR* value = nullptr;
        ASSERT_TRUE(VerQueryValueW(info, string.name, reinterpret_cast<void**>(&value), &length)) << string.name;
        EXPECT_STREQ(string.value, value) << string.name;
    }
}

TEST(Resources, IconOneIs32By32In16Colours)
{
    HMODULE exe = LoadLibraryExW(TALLYVOX_EXE, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, exe);
    HRSRC group = FindResourceW(exe, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
    ASSERT_NE(nullptr, group);
    const BYTE* directory = static_cast<const BYTE*>(LockResource(LoadResource(exe, group)));
    ASSERT_NE(nullptr, directory);
    // GRPICONDIR: reserved, type 1, count; then 14-byte entries.
    EXPECT_EQ(1, *reinterpret_cast<const WORD*>(directory + 2));
    ASSERT_EQ(1, *reinterpret_cast<const WORD*>(directory + 4));
    const BYTE* entry = directory + 6;
    EXPECT_EQ(32, entry[0]);
    EXPECT_EQ(32, entry[1]);
    EXPECT_EQ(16, entry[2]);
    EXPECT_EQ(4, *reinterpret_cast<const WORD*>(entry + 6));  // bits per pixel
    FreeLibrary(exe);
}

// The manifest as built: read as text, and as Windows reads it into an
// activation context, whose settings name the per-monitor DPI awareness.
TEST(Resources, ManifestAsksForPerMonitorDpiAndCommonControlsSix)
{
    HMODULE exe = LoadLibraryExW(TALLYVOX_EXE, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, exe);
    HRSRC found = FindResourceW(exe, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
    ASSERT_NE(nullptr, found);
    std::string text(static_cast<const char*>(LockResource(LoadResource(exe, found))), SizeofResource(exe, found));
    FreeLibrary(exe);
    for (const char* part : {
             "<requestedExecutionLevel level=\"asInvoker\"/>",
             "<supportedOS Id=\"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}\"/>",  // 7
             "<supportedOS Id=\"{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}\"/>",  // 8
             "<supportedOS Id=\"{1f676c76-80e1-4239-95bb-83d0f6d0da78}\"/>",  // 8.1
             "<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>",  // 10 and 11
             "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
         })
        EXPECT_NE(std::string::npos, text.find(part)) << part;

    ACTCTXW request = { sizeof request, ACTCTX_FLAG_RESOURCE_NAME_VALID, TALLYVOX_EXE };
    request.lpResourceName = MAKEINTRESOURCEW(1);
    HANDLE context = CreateActCtxW(&request);
    ASSERT_NE(INVALID_HANDLE_VALUE, context);
    const struct { const WCHAR *space, *name, *value; } settings[] = {
        { L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", L"dpiAware", L"true/pm" },
        { L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"dpiAwareness", L"PerMonitorV2, PerMonitor" },
        { L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"longPathAware", L"true" },
    };
    for (const auto& setting : settings) {
        WCHAR value[64] = {};
        SIZE_T length = 0;
        EXPECT_TRUE(QueryActCtxSettingsW(0, context, setting.space, setting.name, value, 64, &length)) << setting.name;
        EXPECT_STREQ(setting.value, value);
    }
    // Under the context, comctl32 is the assembly's: version 6.
    ULONG_PTR cookie = 0;
    ASSERT_TRUE(ActivateActCtx(context, &cookie));
    HMODULE controls = LoadLibraryW(L"comctl32.dll");
    DeactivateActCtx(0, cookie);
    ReleaseActCtx(context);
    ASSERT_NE(nullptr, controls);
    EXPECT_TRUE(IsCommonControlsSix(controls));
    FreeLibrary(controls);
}

// The DLLs an exe loads at start, by its import table; size gets its length.
std::set<std::string> StartupImports(const WCHAR* path, size_t* size)
{
    static BYTE file[64 * 1024];
    std::set<std::string> dlls;
    FILE* exe = _wfopen(path, L"rb");
    if (!exe) return dlls;
    *size = fread(file, 1, sizeof file, exe);
    fclose(exe);

    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(file + reinterpret_cast<IMAGE_DOS_HEADER*>(file)->e_lfanew);
    auto at = [&](DWORD rva) -> const BYTE* {
        const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
        for (int i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section)
            if (rva >= section->VirtualAddress && rva < section->VirtualAddress + section->SizeOfRawData)
                return file + section->PointerToRawData + (rva - section->VirtualAddress);
        return nullptr;
    };
    auto descriptor = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(
        at(nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress));
    for (; descriptor && descriptor->Name; ++descriptor) {
        std::string name = reinterpret_cast<const char*>(at(descriptor->Name));
        for (char& ch : name) ch = char(tolower(ch));
        dlls.insert(name);
    }
    return dlls;
}

// The exe as shipped: at most 43 KiB, and loading at start only what a
// forwarding launch needs; COM, the shell, gradients and tooltips come later.
// The clang build (scripts/test.sh makes it first) is held to the same
// imports: no C runtime slips in through either compiler.
TEST(Resources, ExeIsSmallAndImportsAtStartOnlyWhatForwardingNeeds)
{
    const std::set<std::string> system = { "gdi32.dll", "kernel32.dll", "user32.dll" };
    size_t size = 0, clangSize = 0;
    EXPECT_EQ(system, StartupImports(TALLYVOX_EXE, &size));
    EXPECT_GT(size, 0u);
    EXPECT_LE(size, 44032u);
    EXPECT_EQ(system, StartupImports(TALLYVOX_CLANG_EXE, &clangSize)) << "the clang build, " << clangSize << " bytes";
}
