// A real strip window per test, with the globals put back afterwards.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>
#include <wchar.h>

#include "app/main_window.h"
#include "app/state.h"
#include "media.h"
#include "player/player.h"
#include "window_helpers.h"

// The failure prefix the open writes before a path it could not play.
#define FAILURE_PREFIX L"\u5931\u6557:"

// The class can be registered once per process only; COM once per thread.
inline void PrepareStripProcess()
{
    static bool prepared = false;
    if (prepared) return;
    prepared = true;
    CoInitialize(nullptr);
    RegisterStripClass(GetModuleHandleW(nullptr));
}

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

// "failed:" + text cut to capacity characters with the terminator, as the
// strip's lines show a refused path.
inline void FailureText(WCHAR* out, int capacity, const WCHAR* text, int textLength = -1)
{
    _snwprintf(out, capacity, L"%ls%.*ls", FAILURE_PREFIX, textLength < 0 ? int(wcslen(text)) : textLength, text);
    out[capacity - 1] = 0;
}

class StripTest : public ::testing::Test {
protected:
    HWND window = nullptr;
    HWND parent = nullptr;

    void SetUp() override
    {
        PrepareStripProcess();
        g_titleLine[0] = 0;
        g_mediaPath[0] = 0;
        g_statusLine[0] = 0;
        window = CreateStripWindow(GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(window, nullptr);
        g_mainWindow = window;
        // On screen, so the whole window surface can be read back.
        SetWindowPos(window, HWND_TOP, 60, 60, 0, 0, SWP_NOSIZE);
        ShowWindow(window, SW_SHOWNORMAL);
        UpdateWindow(window);
        PumpMessages();
    }

    void TearDown() override
    {
        PlayerRelease(&g_player);
        g_player.filterState = State_Stopped;
        g_player.volume = -500;
        g_volumeDisplayTicks = 0;
        g_dragBaseLevel = -1;
        g_progressWidth = 0;
        g_flickerSeed = 1;
        ReleaseCapture();
        DestroyWindow(window);
        if (parent) DestroyWindow(parent);
        g_mainWindow = nullptr;
        PumpMessages();  // takes the quit message WM_DESTROY posted
    }

    // Replaces the top-level strip by a child strip of an exact client size.
    void UseChildStrip(int width, int height)
    {
        DestroyWindow(window);
        PumpMessages();
        parent = CreatePlainWindow(60, 60, 300, 120);
        window = CreateStripWindow(GetModuleHandleW(nullptr), parent);
        ASSERT_NE(window, nullptr);
        g_mainWindow = window;
        SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOZORDER);
        UpdateWindow(window);
        PumpMessages();
    }

    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        return SendMessageW(window, message, wParam, lParam);
    }

    void Repaint()
    {
        InvalidateRect(window, nullptr, FALSE);
        UpdateWindow(window);
    }

    COLORREF Pixel(int x, int y)
    {
        HDC dc = GetDC(window);
        COLORREF colour = GetPixel(dc, x, y);
        ReleaseDC(window, dc);
        return colour;
    }

    // Paints the client area one colour outside of any WM_PAINT.
    void FillClient(COLORREF colour)
    {
        HDC dc = GetDC(window);
        RECT client;
        GetClientRect(window, &client);
        HBRUSH brush = CreateSolidBrush(colour);
        FillRect(dc, &client, brush);
        DeleteObject(brush);
        ReleaseDC(window, dc);
    }

    void OpenLongWav()
    {
        ASSERT_EQ(PlayerOpen(&g_player, LongWav()), 1);
        ASSERT_EQ(g_player.filterState, State_Running);
    }

    int Level() { return VolumeLevel(&g_player); }
};
