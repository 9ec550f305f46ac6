// The built exe: its icon and version resource, its size and its imports.
#include <windows.h>

#include <gtest/gtest.h>

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

// The exe as shipped: at most 24 KiB, and loading at start only what a
// forwarding launch needs; COM, the shell, gradients and tooltips come later.
TEST(Resources, ExeIsSmallAndImportsAtStartOnlyWhatForwardingNeeds)
{
    static BYTE file[64 * 1024];
    FILE* exe = _wfopen(TALLYVOX_EXE, L"rb");
    ASSERT_NE(nullptr, exe);
    size_t size = fread(file, 1, sizeof file, exe);
    fclose(exe);
    EXPECT_LE(size, 24576u);

    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(file + reinterpret_cast<IMAGE_DOS_HEADER*>(file)->e_lfanew);
    auto at = [&](DWORD rva) -> const BYTE* {
        const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
        for (int i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section)
            if (rva >= section->VirtualAddress && rva < section->VirtualAddress + section->SizeOfRawData)
                return file + section->PointerToRawData + (rva - section->VirtualAddress);
        return nullptr;
    };
    std::set<std::string> dlls;
    auto descriptor = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(
        at(nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress));
    ASSERT_NE(nullptr, descriptor);
    for (; descriptor->Name; ++descriptor) {
        std::string name = reinterpret_cast<const char*>(at(descriptor->Name));
        for (char& ch : name) ch = char(tolower(ch));
        dlls.insert(name);
    }
    EXPECT_EQ(dlls, (std::set<std::string>{ "gdi32.dll", "kernel32.dll", "user32.dll" }));
}
