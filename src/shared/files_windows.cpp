// Files and folders on Windows: the wide calls and msvcrt.
#include <direct.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "files.h"
#include "text_windows.h"

const char kPathSeparator[] = "\\";

namespace {

constexpr DWORD kPathBuffer = 260;  // MAX_PATH, zero included

// The long form of an existing path: TEMP often holds "C:\Users\JOHNSM~1\...",
// while the program's path is given in long names.
std::wstring LongForm(const std::wstring &path) {
  DWORD size = GetLongPathNameW(path.c_str(), nullptr, 0);
  if (size == 0) return path;
  std::wstring result(size, L'\0');
  DWORD length = GetLongPathNameW(path.c_str(), &result[0], size);
  if (length == 0 || length >= size) return path;
  result.resize(length);
  return result;
}

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

bool IsAbsolutePath(const std::string &path) {
  // "\dir" and "D:dir" do not depend on the current folder's path either.
  if (!path.empty() && (path[0] == '\\' || path[0] == '/')) return true;
  return path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == ':';
}

std::string ProgramFolder() {
  // The module path; one that fills the buffer was cut short.
  wchar_t buffer[kPathBuffer];
  DWORD length = GetModuleFileNameW(nullptr, buffer, kPathBuffer);
  std::string path;
  if (length > 0 && length < kPathBuffer) path = Utf8FromWide(buffer, static_cast<int>(length));
  // Cut at the last backslash.
  std::size_t last = path.rfind('\\');
  std::string folder = last == std::string::npos ? "" : path.substr(0, last);
  // "C:" is the drive's root, "C:\".
  if (folder.size() == 2 && IsDriveLetter(folder[0]) && folder[1] == ':') folder += '\\';
  // End in a backslash.
  if (folder.empty() || folder.back() != '\\') folder += '\\';
  return folder;
}

bool FileExists(const std::string &path) { return !FindFiles(path).empty(); }

std::vector<std::string> FindFiles(const std::string &pattern) {
  // The volume label (0x08) and device (0x40) bits have no _A_ names here.
  const unsigned kNotAFile = _A_HIDDEN | _A_SYSTEM | 0x08 | _A_SUBDIR | 0x40;
  std::vector<std::string> names;
  _wfinddata_t entry;
  intptr_t search = _wfindfirst(WideFromUtf8(pattern).c_str(), &entry);
  if (search == -1) return names;
  do {
    if ((entry.attrib & kNotAFile) == 0) names.push_back(Utf8FromWide(entry.name));
  } while (_wfindnext(search, &entry) == 0);
  _findclose(search);
  return names;
}

std::string CurrentFolder() {
  wchar_t buffer[kPathBuffer];
  DWORD length = GetCurrentDirectoryW(kPathBuffer, buffer);
  if (length == 0 || length >= kPathBuffer) return "";
  return Utf8FromWide(buffer, static_cast<int>(length));
}

bool ChangeFolder(const std::string &path) { return _wchdir(WideFromUtf8(path).c_str()) == 0; }

bool CreateFolder(const std::string &path) { return _wmkdir(WideFromUtf8(path).c_str()) == 0; }

bool RemoveFile(const std::string &path) { return DeleteFileW(WideFromUtf8(path).c_str()) != 0; }

std::FILE *OpenFile(const std::string &path, const char *mode) {
  return _wfopen(WideFromUtf8(path).c_str(), WideFromUtf8(mode).c_str());
}

bool CopyFileReplacing(const std::string &source, const std::string &destination) {
  return CopyFileW(WideFromUtf8(source).c_str(), WideFromUtf8(destination).c_str(), FALSE) != 0;
}

bool IsInTemporaryFolder(const std::string &folder) {
  // The temporary folder as the system names it, in long names.
  wchar_t buffer[MAX_PATH + 1];
  DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
  if (length == 0 || length > MAX_PATH) return false;
  std::wstring temporary = LongForm(std::wstring(buffer, length));
  if (temporary.empty() || temporary.back() != L'\\') temporary += L'\\';
  // The folder, in long names too.
  const std::wstring inside = LongForm(WideFromUtf8(folder));
  // Below it at any depth, letters compared as the file system does.
  const int size = static_cast<int>(temporary.size());
  return inside.size() >= temporary.size() &&
         CompareStringOrdinal(inside.c_str(), size, temporary.c_str(), size, TRUE) == CSTR_EQUAL;
}

std::string ReadEnvironment(const std::string &name) {
  std::string value;
  return ReadEnvironmentVariable(name, value) ? value : std::string();
}
