// A real strip window per test, with the globals put back afterwards.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>
#include <wchar.h>

#include "app/main_window.h"
#include "core/state.h"
#include "media.h"
#include "product_state.h"
#include "player/player.h"
#include "window_helpers.h"

// The failure prefix the open writes before a path it could not play.
#define FAILURE_PREFIX L"\u5931\u6557:"

// A WAV long enough to keep playing through a whole test, written once.
inline const WCHAR* LongWav()
{
    static WCHAR path[MAX_PATH];
    if (!path[0]) {
        TempFile(path, MAX_PATH, L"strip-long.wav");
        WriteWav(path, 30000);
    }
    return path;
}

// The strip's lines after the open refused text[0..length) (length -1: all of it).
inline void ExpectFailureFor(const WCHAR* text, int length = -1)
{
    WCHAR expected[MEDIA_PATH_CAPACITY];
    if (length < 0) length = int(wcslen(text));
    _snwprintf(expected, MEDIA_PATH_CAPACITY, L"%ls%.*ls", FAILURE_PREFIX, length, text);
    expected[MEDIA_PATH_CAPACITY - 1] = 0;
    EXPECT_STREQ(g_mediaPath, expected);
    expected[TITLE_LINE_CAPACITY - 1] = 0;
    EXPECT_STREQ(g_titleLine, expected);
    EXPECT_EQ(g_player.graph, nullptr);
}

class StripTest : public ::testing::Test {
protected:
    HWND window = nullptr, parent = nullptr;
    void SetUp() override
    {
        static bool prepared = false;  // the class registers once per process, COM once per thread
        if (!prepared) {
            prepared = true;
            CoInitialize(nullptr);
            RegisterStripClass(GetModuleHandleW(nullptr));
        }
        g_titleLine[0] = g_mediaPath[0] = g_statusLine[0] = 0;
        ASSERT_NO_FATAL_FAILURE(CreateStrip(nullptr));
        // On screen, so the whole window surface can be read back.
        SetWindowPos(window, HWND_TOP, 60, 60, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
        UpdateWindow(window);
        PumpMessages();
    }
    void TearDown() override
    {
        PlayerRelease(&g_player);
        g_player.filterState = State_Stopped;
        g_player.volume = -500;
        RestoreProductGlobals();
        ReleaseCapture();
        DestroyWindow(window);
        if (parent) DestroyWindow(parent);
        g_mainWindow = nullptr;
        PumpMessages();  // takes the quit message WM_DESTROY posted
    }
    void CreateStrip(HWND owner)
    {
        window = g_mainWindow = CreateStripWindow(GetModuleHandleW(nullptr), owner);
        ASSERT_NE(window, nullptr);
    }
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) { return SendMessageW(window, message, wParam, lParam); }
    // A WM_COPYDATA record as any program sends it.
    LRESULT Record(ULONG_PTR word, const void* data, DWORD bytes)
    {
        COPYDATASTRUCT record = { word, bytes, const_cast<void*>(data) };
        return Send(WM_COPYDATA, 0, LPARAM(&record));
    }
    LRESULT Record(ULONG_PTR word, const WCHAR* path = L"")
    {
        return Record(word, path, DWORD((wcslen(path) + 1) * sizeof(WCHAR)));
    }
    void OpenLongWav()
    {
        ASSERT_EQ(PlayerOpen(&g_player, LongWav()), 1);
        ASSERT_EQ(g_player.filterState, State_Running);
    }
    int Level() { return VolumeLevel(&g_player); }
    OAFilterState GraphState()
    {
        OAFilterState state = -1;
        g_player.control->GetState(2000, &state);
        return state;
    }
};
