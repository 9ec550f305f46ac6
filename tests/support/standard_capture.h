// A standard handle of this process turned into a pipe while it lives, so
// that what product code writes there can be read back.
#pragma once

#include <windows.h>

#include <string>

struct CapturedStandard {
    DWORD which;
    HANDLE saved, read = nullptr, write = nullptr;

    // The pipe holds 64 KiB: a test's writes never wait for a reader.
    explicit CapturedStandard(DWORD handle) : which(handle), saved(GetStdHandle(handle))
    {
        CreatePipe(&read, &write, nullptr, 1 << 16);
        SetStdHandle(which, write);
    }
    ~CapturedStandard()
    {
        SetStdHandle(which, saved);
        CloseHandle(write);
        CloseHandle(read);
    }
    // The bytes written since the last call.
    std::string Taken()
    {
        DWORD waiting = 0;
        PeekNamedPipe(read, nullptr, 0, nullptr, &waiting, nullptr);
        std::string bytes(waiting, '\0');
        if (waiting && !ReadFile(read, &bytes[0], waiting, &waiting, nullptr)) bytes.clear();
        return bytes;
    }
};

inline std::string Utf8(const std::wstring& text)
{
    std::string bytes(text.size() * 3, '\0');
    bytes.resize(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), &bytes[0], int(bytes.size()),
                                     nullptr, nullptr));
    return bytes;
}
