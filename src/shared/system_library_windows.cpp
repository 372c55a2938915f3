// The system's own libraries, loaded from the system folder only
// (system_library_windows.h).
#include "system_library_windows.h"

#include <windows.h>

#include "text_windows.h"

namespace {

// True once every later load by name, ours or one a system library makes for
// itself, searches the system folder only.
bool searchRestricted = false;

// Runs before every other initializer, and so before the first library is
// loaded at run time: the loader would look in the program's folder first.
// Windows 7 without its 2011 update lacks the call; there the current folder
// at least leaves the search, and our own loads name the full path.
[[gnu::constructor(101)]] void RestrictLibrarySearch() {
  using Restrict = BOOL(WINAPI *)(DWORD);
  FARPROC found = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
  Restrict restrictSearch = reinterpret_cast<Restrict>(reinterpret_cast<void (*)()>(found));
  searchRestricted = restrictSearch != nullptr && restrictSearch(LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!searchRestricted) SetDllDirectoryW(L"");
}

}  // namespace

FARPROC SystemProcedure(const char *library, const char *procedure) {
  HMODULE module = nullptr;
  const std::wstring name = WideFromUtf8(library);
  if (searchRestricted) {
    module = LoadLibraryExW(name.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  } else {
    // Named by its full path, the library's own imports come from its folder.
    wchar_t folder[MAX_PATH];
    UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length > 0 && length < MAX_PATH)
      module = LoadLibraryExW((std::wstring(folder, length) + L"\\" + name).c_str(), nullptr,
                              LOAD_WITH_ALTERED_SEARCH_PATH);
  }
  return module != nullptr ? GetProcAddress(module, procedure) : nullptr;
}
