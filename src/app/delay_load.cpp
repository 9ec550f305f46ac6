// The helper behind the delay-loaded DLLs (see CMakeLists.txt): the first
// call of one of their functions lands here, loads the DLL from the system
// folder, finds the function and puts it into the import table, so later
// calls go straight to it. It stands in for the runtime library's helper,
// which handles hooks, binding and unloading the program does not use, at
// a tenth of its size.
#include "core/system_library.h"

#include <delayimp.h>

extern "C" IMAGE_DOS_HEADER __ImageBase;

extern "C" FARPROC WINAPI __delayLoadHelper2(PCImgDelayDescr descriptor, FARPROC* entry)
{
    BYTE* base = reinterpret_cast<BYTE*>(&__ImageBase);
    HMODULE* module = reinterpret_cast<HMODULE*>(base + descriptor->rvaHmod);
    if (!*module) *module = LoadSystemLibrary(reinterpret_cast<LPCSTR>(base + descriptor->rvaDLLName));

    // The names table runs parallel to the import table that entry is in.
    FARPROC* table = reinterpret_cast<FARPROC*>(base + descriptor->rvaIAT);
    const IMAGE_THUNK_DATA* name = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + descriptor->rvaINT) + (entry - table);
    LPCSTR function = IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal)
                          ? MAKEINTRESOURCEA(IMAGE_ORDINAL(name->u1.Ordinal))
                          : reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData)->Name;
    FARPROC address = *module ? GetProcAddress(*module, function) : nullptr;
    if (!address) {
        // A system DLL that is missing or lacks the function: fail as the runtime's helper does.
        DWORD error = *module ? ERROR_PROC_NOT_FOUND : ERROR_MOD_NOT_FOUND;
        RaiseException(VcppException(ERROR_SEVERITY_ERROR, error), 0, 0, nullptr);
    }
    *entry = address;
    return address;
}
