#include "media.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>
#include <wchar.h>

namespace {

struct File {
    FILE* handle;
    explicit File(const WCHAR* path) : handle(_wfopen(path, L"wb")) {}
    ~File() { if (handle) fclose(handle); }
    void Bytes(const void* data, size_t size) { fwrite(data, 1, size, handle); }
    void U32(DWORD value) { Bytes(&value, 4); }
    void U16(WORD value) { Bytes(&value, 2); }
    void Tag(const char* fourcc) { Bytes(fourcc, 4); }
    long Offset() { return ftell(handle); }
    // Writes a chunk size later, at an offset remembered earlier.
    void Patch(long at, DWORD value)
    {
        long here = ftell(handle);
        fseek(handle, at, SEEK_SET);
        U32(value);
        fseek(handle, here, SEEK_SET);
    }
};

} // namespace

bool WriteWav(const WCHAR* path, int milliseconds, int sampleRate)
{
    File file(path);
    if (!file.handle) return false;
    DWORD samples = DWORD(LONGLONG(sampleRate) * milliseconds / 1000);
    DWORD dataBytes = samples * 2;
    file.Tag("RIFF");
    file.U32(36 + dataBytes);
    file.Tag("WAVE");
    file.Tag("fmt ");
    file.U32(16);
    file.U16(1);             // PCM
    file.U16(1);             // mono
    file.U32(sampleRate);
    file.U32(sampleRate * 2);
    file.U16(2);
    file.U16(16);
    file.Tag("data");
    file.U32(dataBytes);
    for (DWORD i = 0; i < samples; ++i) {
        SHORT sample = SHORT(((i / 25) % 2) ? 3000 : -3000);  // a quiet square wave
        file.Bytes(&sample, 2);
    }
    return true;
}

bool WriteAvi(const WCHAR* path, int width, int height, int frames, int fps)
{
    File file(path);
    if (!file.handle) return false;
    const DWORD stride = DWORD((width * 3 + 3) & ~3);
    const DWORD frameBytes = stride * DWORD(height);

    file.Tag("RIFF");
    long riffSize = file.Offset();
    file.U32(0);
    file.Tag("AVI ");

    file.Tag("LIST");
    long hdrlSize = file.Offset();
    file.U32(0);
    file.Tag("hdrl");
    file.Tag("avih");
    file.U32(56);
    file.U32(1000000 / fps);          // microseconds per frame
    file.U32(frameBytes * fps);       // max bytes per second
    file.U32(0);                      // padding granularity
    file.U32(0x10);                   // AVIF_HASINDEX
    file.U32(frames);
    file.U32(0);                      // initial frames
    file.U32(1);                      // streams
    file.U32(frameBytes);             // suggested buffer size
    file.U32(width);
    file.U32(height);
    for (int i = 0; i < 4; ++i) file.U32(0);

    file.Tag("LIST");
    long strlSize = file.Offset();
    file.U32(0);
    file.Tag("strl");
    file.Tag("strh");
    file.U32(56);
    file.Tag("vids");
    file.Tag("DIB ");
    file.U32(0);                      // flags
    file.U16(0);                      // priority
    file.U16(0);                      // language
    file.U32(0);                      // initial frames
    file.U32(1);                      // scale
    file.U32(fps);                    // rate
    file.U32(0);                      // start
    file.U32(frames);                 // length
    file.U32(frameBytes);             // suggested buffer size
    file.U32(DWORD(-1));              // quality
    file.U32(frameBytes);             // sample size
    file.U16(0);
    file.U16(0);
    file.U16(WORD(width));
    file.U16(WORD(height));
    file.Tag("strf");
    file.U32(40);
    BITMAPINFOHEADER info = {};
    info.biSize = 40;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = frameBytes;
    file.Bytes(&info, 40);
    file.Patch(strlSize, DWORD(file.Offset() - strlSize - 4));
    file.Patch(hdrlSize, DWORD(file.Offset() - hdrlSize - 4));

    file.Tag("LIST");
    long moviSize = file.Offset();
    file.U32(0);
    long moviStart = file.Offset();
    file.Tag("movi");
    static BYTE pixels[4096 * 3 * 64];
    DWORD rowBytes = stride;
    for (int frame = 0; frame < frames; ++frame) {
        file.Tag("00db");
        file.U32(frameBytes);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                BYTE* p = pixels + x * 3;
                p[0] = BYTE(frame * 8);
                p[1] = BYTE(x + frame);
                p[2] = BYTE(y);
            }
            file.Bytes(pixels, rowBytes);
        }
    }
    file.Patch(moviSize, DWORD(file.Offset() - moviSize - 4));

    file.Tag("idx1");
    file.U32(DWORD(frames) * 16);
    for (int frame = 0; frame < frames; ++frame) {
        file.Tag("00db");
        file.U32(0x10);               // AVIIF_KEYFRAME
        file.U32(DWORD(4 + frame * (8 + frameBytes)));
        file.U32(frameBytes);
    }
    (void)moviStart;
    file.Patch(riffSize, DWORD(file.Offset() - 8));
    return true;
}

bool WriteJunk(const WCHAR* path)
{
    File file(path);
    if (!file.handle) return false;
    const char junk[] = "this is not a media file, whatever its name says\n";
    for (int i = 0; i < 64; ++i) file.Bytes(junk, sizeof junk - 1);
    return true;
}

void TempFile(WCHAR* out, int capacity, const WCHAR* name)
{
    WCHAR folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    wcscat(folder, L"tallyvox-tests");
    CreateDirectoryW(folder, nullptr);
    _snwprintf(out, capacity, L"%ls\\%ls", folder, name);
    out[capacity - 1] = 0;
}

std::wstring TestMedia(const wchar_t* name)
{
    return std::wstring(TALLYVOX_TEST_MEDIA L"\\") + name;
}

namespace {

const WCHAR SPLITTER_KEY[] = L"Software\\Classes\\CLSID\\{083863F1-70DE-11D0-BD40-00A0C911CE86}\\Instance\\"
                             L"{F9D8D64E-A144-47DC-8EE0-F53498372C29}";

} // namespace

// Gone already when a test program died before putting it back.
StockDirectShow::StockDirectShow()
{
    LSTATUS deleted = RegDeleteKeyW(HKEY_LOCAL_MACHINE, SPLITTER_KEY);
    EXPECT_TRUE(deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND) << deleted;
}

// Wine's GStreamer DLL registers its filters again, the splitter among them.
StockDirectShow::~StockDirectShow()
{
    HMODULE gstreamer = LoadLibraryW(L"winegstreamer.dll");
    auto reregister = reinterpret_cast<HRESULT(WINAPI*)()>(GetProcAddress(gstreamer, "DllRegisterServer"));
    EXPECT_TRUE(reregister && SUCCEEDED(reregister()));
    HKEY key;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, SPLITTER_KEY, 0, KEY_READ, &key));
    RegCloseKey(key);
}
