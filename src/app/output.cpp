#include "app/output.h"

namespace {

char g_outputBytes[OUTPUT_TEXT_CAPACITY * 3];  // UTF-8 takes at most 3 bytes a UTF-16 unit

// A console decodes bytes with its own code page, so it gets UTF-16, which
// it shows whatever that page is; everything else gets UTF-8.
BOOL WriteAll(HANDLE out, const WCHAR* text, int length)
{
    DWORD mode, written;
    if (GetConsoleMode(out, &mode))
        return WriteConsoleW(out, text, DWORD(length), &written, nullptr) && written == DWORD(length);
    int size = WideCharToMultiByte(CP_UTF8, 0, text, length, g_outputBytes, sizeof g_outputBytes, nullptr, nullptr);
    return size > 0 && WriteFile(out, g_outputBytes, DWORD(size), &written, nullptr) && written == DWORD(size);
}

} // namespace

BOOL WriteStandard(DWORD which, const WCHAR* text)
{
    HANDLE out = GetStdHandle(which);
    // A GUI program has standard handles only when its parent hands them
    // over; without, the lines go to the console of the program that started it.
    if (GetFileType(out) == FILE_TYPE_UNKNOWN) {
        if (!AttachConsole(ATTACH_PARENT_PROCESS)) return FALSE;
        out = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    return WriteAll(out, text, lstrlenW(text));
}
