// Windows part of setup_file.h.
#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include <cstdlib>
#include <vector>

#include "setup_file.h"
#include "system_library_windows.h"

namespace {

bool IsValidUtf8(const std::string &text) {
  return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                             static_cast<int>(text.size()), nullptr, 0) > 0 ||
         text.empty();
}

// The system's own ANSI code page, which GetACP() no longer tells once the
// manifest has made UTF-8 the process's code page.
UINT LegacyCodePage() {
  char digits[8] = {};
  if (GetLocaleInfoA(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE, digits, sizeof digits) >
      0) {
    UINT page = static_cast<UINT>(std::atoi(digits));
    if (page != 0) return page;
  }
  return 1252;
}

std::string Convert(const std::string &text, UINT from, UINT to) {
  int wide = MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (wide <= 0) return text;
  std::vector<wchar_t> utf16(static_cast<std::size_t>(wide));
  MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), utf16.data(), wide);
  int bytes = WideCharToMultiByte(to, 0, utf16.data(), wide, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return text;
  std::string result(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(to, 0, utf16.data(), wide, &result[0], bytes, nullptr, nullptr);
  return result;
}

}  // namespace

// setup.ini holds UTF-8 now; a value that is not was saved in the legacy code
// page by an older installer or editor.
std::string SetupValueToPath(const std::string &value) {
  if (GetACP() != CP_UTF8 || IsValidUtf8(value)) return value;
  return Convert(value, LegacyCodePage(), CP_UTF8);
}

void EditSetupFile() {
  static auto *const open = SystemFunction<decltype(ShellExecuteA)>("shell32.dll", "ShellExecuteA");
  if (open != nullptr) open(nullptr, "edit", kSetupFileName, nullptr, nullptr, SW_SHOWNORMAL);
}
