// Windows part of setup_file.h.
#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include <cstdlib>
#include <vector>

#include "operations.h"
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

// %NAME% pairs, the name in any case, as the address bar reads them.
std::string ExpandVariables(const std::string &value) {
  std::string path;
  std::size_t at = 0;
  for (std::size_t open; (open = value.find('%', at)) != std::string::npos;) {
    const std::size_t close = value.find('%', open + 1);
    if (close == std::string::npos) break;
    const char *set =
        close > open + 1 ? std::getenv(value.substr(open + 1, close - open - 1).c_str()) : nullptr;
    path += value.substr(at, open - at) +
            (set != nullptr ? std::string(set) : value.substr(open, close - open + 1));
    at = close + 1;
  }
  return path + value.substr(at);
}

}  // namespace

std::vector<std::string> GameFolderPlaces() {
  // The launcher's roaming folder, then where Windows redirects it for the
  // launcher from the Store.
  const std::string store =
      "\\Packages\\Microsoft.4297127D64EC6_8wekyb3d8bbwe\\LocalCache\\Roaming";
  std::vector<std::string> places = {ReadEnvironment("appdata") + "\\.minecraft\\"};
  const std::string local = ReadEnvironment("localappdata");
  if (!local.empty()) places.push_back(local + store + "\\.minecraft\\");
  return places;
}

// setup.ini holds UTF-8 now; a value that is not was saved in the legacy code
// page by an older installer or editor.
std::string SetupValueToPath(const std::string &value) {
  const bool legacy = GetACP() == CP_UTF8 && !IsValidUtf8(value);
  return ExpandVariables(legacy ? Convert(value, LegacyCodePage(), CP_UTF8) : value);
}

void EditSetupFile() {
  static auto *const open = SystemFunction<decltype(ShellExecuteA)>("shell32.dll", "ShellExecuteA");
  if (open == nullptr) return;
  // 1. The file beside the program, by its full path: the editor may start in
  //    any folder.
  const std::string file = ProgramFolder() + kSetupFileName;
  // 2. Its editor. Where the file's type has no "edit" verb (as in Wine's
  //    prefix, or after another program took .ini files), its default verb,
  //    so that the player still sees the file.
  HINSTANCE shown = open(nullptr, "edit", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  if (reinterpret_cast<INT_PTR>(shown) == SE_ERR_NOASSOC)
    open(nullptr, nullptr, file.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
