// Functions of the system's own libraries, for the Windows parts of both
// programs.
//
// The programs import only kernel32 and msvcrt when they are loaded; every
// other system library is loaded from the system folder when a function of it
// is first needed, and the library search of the whole process is limited to
// the system folder before anything else runs (system_library_windows.cpp). A
// library left beside the program, in a Downloads folder say, under the name
// of a system library is never loaded.
#pragma once

#include <windows.h>

// The address of `name` in `library` ("user32.dll") from the system folder;
// null when either is missing.
FARPROC SystemProcedure(const char *library, const char *name);

// The same, as a pointer to `Function`: SystemFunction<decltype(MessageBoxW)>.
template <typename Function>
Function *SystemFunction(const char *library, const char *name) {
  return reinterpret_cast<Function *>(reinterpret_cast<void (*)()>(SystemProcedure(library, name)));
}
