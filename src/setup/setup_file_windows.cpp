// Windows part of setup_file.h.
#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include <cwchar>
#include <vector>

#include "files.h"
#include "setup_file.h"
#include "system_library_windows.h"
#include "text_windows.h"

namespace {

bool IsValidUtf8(const std::string &text) {
  return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                             static_cast<int>(text.size()), nullptr, 0) > 0 ||
         text.empty();
}

// The system's own ANSI code page, the one its Notepad reads a file without
// a mark in; GetACP() no longer tells it once the manifest has made UTF-8 the
// process's code page.
UINT LegacyCodePage() {
  wchar_t digits[8] = {};
  if (GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE, digits, 8) > 0) {
    UINT page = static_cast<UINT>(std::wcstoul(digits, nullptr, 10));
    if (page != 0) return page;
  }
  return 1252;
}

// A value in the legacy code page, in UTF-8; as it is when it is not.
std::string FromLegacy(const std::string &text) {
  const UINT page = LegacyCodePage();
  const int length = static_cast<int>(text.size());
  int wide = MultiByteToWideChar(page, 0, text.data(), length, nullptr, 0);
  if (wide <= 0) return text;
  std::vector<wchar_t> utf16(static_cast<std::size_t>(wide));
  MultiByteToWideChar(page, 0, text.data(), length, utf16.data(), wide);
  return Utf8FromWide(utf16.data(), wide);
}

// The UTF-8 text in the legacy code page, when every character has its own
// place there (no best fit: "Ł" must not become "L"); false otherwise.
bool ToLegacy(const std::string &text, std::string &legacy) {
  const std::wstring wide = WideFromUtf8(text);
  const UINT page = LegacyCodePage();
  const int length = static_cast<int>(wide.size());
  BOOL lost = FALSE;
  int bytes = WideCharToMultiByte(page, WC_NO_BEST_FIT_CHARS, wide.data(), length, nullptr, 0,
                                  nullptr, &lost);
  if (bytes <= 0 || lost) return false;
  legacy.assign(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(page, WC_NO_BEST_FIT_CHARS, wide.data(), length, &legacy[0], bytes, nullptr,
                      &lost);
  return !lost;
}

// %NAME% pairs, the name in any case, as the address bar reads them.
std::string ExpandVariables(const std::string &value) {
  std::string path;
  std::size_t at = 0;
  for (std::size_t open; (open = value.find('%', at)) != std::string::npos;) {
    const std::size_t close = value.find('%', open + 1);
    if (close == std::string::npos) break;
    std::string set;
    const bool known =
        close > open + 1 && ReadEnvironmentVariable(value.substr(open + 1, close - open - 1), set);
    path += value.substr(at, open - at) + (known ? set : value.substr(open, close - open + 1));
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

// A value that is not UTF-8 was saved in the legacy code page: by Notepad
// before Windows 10 1903, an older installer, or ourselves.
std::string SetupValueToPath(const std::string &value) {
  return ExpandVariables(IsValidUtf8(value) ? value : FromLegacy(value));
}

std::string SetupFileBytes(const std::string &text) {
  // Where the legacy bytes also read as UTF-8 (only letters such as "Ã©"),
  // the mark keeps the second run from taking them for it.
  std::string legacy;
  if (ToLegacy(text, legacy) && (legacy == text || !IsValidUtf8(legacy))) return legacy;
  return "\xEF\xBB\xBF" + text;
}

void EditSetupFile() {
  static auto *const open = SystemFunction<decltype(ShellExecuteW)>("shell32.dll", "ShellExecuteW");
  if (open == nullptr) return;
  // The file beside the program, by its full path: the editor may start in
  // any folder.
  const std::wstring file = WideFromUtf8(ProgramFolder() + kSetupFileName);
  // Its editor. Where the file's type has no "edit" verb (as in Wine's
  // prefix, or after another program took .ini files), its default verb,
  // so that the player still sees the file.
  HINSTANCE shown = open(nullptr, L"edit", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  if (reinterpret_cast<INT_PTR>(shown) == SE_ERR_NOASSOC)
    open(nullptr, nullptr, file.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
