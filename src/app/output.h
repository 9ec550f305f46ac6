// Lines for whoever started a launch: its standard output or error, or, with
// none, the console of the program that started it.
#pragma once

#include <windows.h>

// The capacity a text must fit, the terminating NUL included: the status text's.
const int OUTPUT_TEXT_CAPACITY = 1152;

// Writes text (not empty) to the standard handle which (STD_OUTPUT_HANDLE
// or STD_ERROR_HANDLE): UTF-16 to a console, UTF-8 to pipes and files. TRUE
// only when all of it was written; FALSE for a short write, a closed or
// read-only handle, or no console to fall back to. A text of fewer than
// OUTPUT_TEXT_CAPACITY characters always fits; a longer one may fail, with
// nothing written.
BOOL WriteStandard(DWORD which, const WCHAR* text);
