// The UTF-8 and UTF-16 texts of Windows (text_windows.h).
#include "text_windows.h"

#include <windows.h>

#include <cwchar>

std::wstring WideFromUtf8(const std::string &text) {
  const int length = static_cast<int>(text.size());
  int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
  if (size <= 0) return L"";
  std::wstring result(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), length, &result[0], size);
  return result;
}

std::string Utf8FromWide(const wchar_t *text, int length) {
  if (length < 0) length = static_cast<int>(std::wcslen(text));
  int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return "";
  std::string result(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, length, &result[0], size, nullptr, nullptr);
  return result;
}

bool ReadEnvironmentVariable(const std::string &name, std::string &value) {
  const std::wstring wide = WideFromUtf8(name);
  if (wide.empty()) return false;
  // The size asked for includes the zero; a value that grew meanwhile is read again.
  std::wstring buffer(64, L'\0');
  for (;;) {
    SetLastError(ERROR_SUCCESS);
    DWORD length =
        GetEnvironmentVariableW(wide.c_str(), &buffer[0], static_cast<DWORD>(buffer.size()));
    if (length == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
    if (length < buffer.size()) {
      value = Utf8FromWide(buffer.data(), static_cast<int>(length));
      return true;
    }
    buffer.assign(length, L'\0');
  }
}
