// Media files the tests make themselves: nothing is downloaded.
#pragma once

#include <windows.h>

#include <string>

// A mono 16-bit PCM WAV of silence-free tone, milliseconds long.
bool WriteWav(const WCHAR* path, int milliseconds, int sampleRate = 22050);

// An uncompressed 24-bit RGB AVI of frames frames at fps, video only.
bool WriteAvi(const WCHAR* path, int width, int height, int frames, int fps);

// A file that no filter can render.
bool WriteJunk(const WCHAR* path);

// A folder of its own for this test program under the Windows temp folder;
// name is appended with a backslash.
void TempFile(WCHAR* out, int capacity, const WCHAR* name);

// The compressed files tests/make_media.sh writes before the tests run.
std::wstring TestMedia(const wchar_t* name);

// While it lives, DirectShow is as a stock Windows has it: without
// GStreamer's splitter, RenderFile fails for all but WAV and MP3, and the
// other formats reach Media Foundation. COM must be up at both ends.
struct StockDirectShow {
    StockDirectShow();
    ~StockDirectShow();
};
