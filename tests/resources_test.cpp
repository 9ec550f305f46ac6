// The built exe carries its icon and version resource.
#include <windows.h>

#include <gtest/gtest.h>

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
