// Windows part of what other_runs.h says about other programs running
// meanwhile: the folder lock, the archiver's execute permission, a server
// folder others may change, and the removal of a version folder.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "other_runs.h"
#include "text_windows.h"

namespace {

constexpr DWORD kLongestPath = 32768;  // of the wide calls, zero included

// The full path of `path`; empty when it cannot be told.
std::wstring FullPath(const std::wstring &path) {
  std::wstring buffer(kLongestPath, L'\0');
  DWORD length = GetFullPathNameW(path.c_str(), kLongestPath, &buffer[0], nullptr);
  return length == 0 || length >= kLongestPath ? L"" : buffer.substr(0, length);
}

// One name for every way of writing the same folder: full, in long names,
// without a trailing backslash, in capitals (the file system ignores case).
std::wstring FolderIdentity(const std::string &folder) {
  std::wstring path = FullPath(WideFromUtf8(folder)), buffer(kLongestPath, L'\0');
  if (path.empty()) return L"";
  DWORD length = GetLongPathNameW(path.c_str(), &buffer[0], kLongestPath);
  if (length > 0 && length < kLongestPath) path.assign(buffer, 0, length);
  while (path.size() > 3 && path.back() == L'\\') path.pop_back();
  // kernel32's own mapping: user32's CharUpperBuffW would load user32 at start.
  const int size = static_cast<int>(path.size());
  if (LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, path.c_str(), size, &buffer[0], size) == size)
    path.assign(buffer, 0, path.size());
  return path;
}

// `folder` in the form the wide calls take past 260 characters: full, after
// "\\?\" ("\\?\UNC\" for a share), where no name is read again.
std::wstring LongPathForm(const std::string &folder) {
  const std::wstring full = FullPath(WideFromUtf8(folder));
  if (full.empty() || full.compare(0, 4, L"\\\\?\\") == 0) return full;
  if (full.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

// The folder's entries named `prefix` + decimal digits that are folders.
std::vector<std::string> NumberedFolders(const std::string &prefix) {
  std::vector<std::string> found;
  const std::size_t cut = prefix.rfind('\\') + 1;
  const std::size_t named = WideFromUtf8(prefix.substr(cut)).size();
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW((LongPathForm(prefix) + L"*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return found;
  do {
    const std::wstring name = entry.cFileName;
    const std::wstring digits = name.substr(std::min(name.size(), named));
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && !digits.empty() &&
        digits.find_first_not_of(L"0123456789") == std::wstring::npos)
      found.push_back(prefix + std::string(digits.begin(), digits.end()));
  } while (FindNextFileW(search, &entry));
  FindClose(search);
  return found;
}

// True when a file below `folder` is open in another program without delete
// sharing, as the game holds its jar. Links to elsewhere are not followed.
bool FileInUseBelow(const std::wstring &folder) {
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return false;
  bool inUse = false;
  do {
    const std::wstring name = entry.cFileName, path = folder + L"\\" + name;
    if (name == L"." || name == L".." || (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
      continue;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      inUse = FileInUseBelow(path);
      continue;
    }
    HANDLE file =
        CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    inUse = file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION;
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  } while (!inUse && FindNextFileW(search, &entry));
  FindClose(search);
  return inUse;
}

// Deletes `path` and all below it as rd /s /q does, read-only files too. A
// link or junction is deleted as the entry itself, never followed. What
// cannot be deleted stays, with the folders above it.
void RemoveTree(const std::wstring &path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if (attributes & FILE_ATTRIBUTE_READONLY)
    SetFileAttributesW(path.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    DeleteFileW(path.c_str());
    return;
  }
  WIN32_FIND_DATAW entry;
  HANDLE search = attributes & FILE_ATTRIBUTE_REPARSE_POINT
                      ? INVALID_HANDLE_VALUE
                      : FindFirstFileW((path + L"\\*").c_str(), &entry);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = entry.cFileName;
      if (name != L"." && name != L"..") RemoveTree(path + L"\\" + name);
    } while (FindNextFileW(search, &entry));
    FindClose(search);
  }
  RemoveDirectoryW(path.c_str());
}

}  // namespace

bool TakeFolderLock(const std::string &folder) {
  // A named mutex, seen from every session, released by the system when we
  // end, however we end. A mutex name holds no backslash: the folder's
  // identity goes in as a 64-bit FNV-1a hash.
  std::uint64_t hash = 14695981039346656037ULL;
  for (wchar_t unit : FolderIdentity(folder)) {
    hash ^= static_cast<std::uint16_t>(unit);
    hash *= 1099511628211ULL;
  }
  std::wstring name = L"Global\\BRAX-installer-";
  for (int shift = 60; shift >= 0; shift -= 4) name += L"0123456789abcdef"[(hash >> shift) & 15];
  HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
  // Another user's run holds one we may not open.
  if (mutex == nullptr) return GetLastError() != ERROR_ACCESS_DENIED;
  // Kept until we end. An abandoned one was left by a run that was killed.
  const DWORD waited = WaitForSingleObject(mutex, 0);
  return waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

bool MayBeExecuted(const std::string &) { return true; }

bool OthersMayChange(const std::string &) { return false; }

Removal RemoveVersionFolder(const std::string &folder) {
  std::string name = folder;
  while (name.size() > 1 && name.back() == '\\') name.pop_back();
  const std::string aside = name + ".removing";
  // What a removal that was killed left aside goes first.
  for (const std::string &leftover : NumberedFolders(aside)) RemoveTree(LongPathForm(leftover));
  // Aside, as a whole or not at all: deleting in place would delete every
  // file but the one the game holds open without delete sharing. Windows
  // refuses to rename a folder while a file in it is open; Wine renames it,
  // but the file then cannot be opened for deletion, and it all goes back.
  const std::wstring here = LongPathForm(name);
  const std::wstring moved = LongPathForm(aside + std::to_string(GetCurrentProcessId()));
  if (!MoveFileExW(here.c_str(), moved.c_str(), 0)) {
    const DWORD error = GetLastError();
    return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ? Removal::kInUse
                                                                            : Removal::kFailed;
  }
  const bool inUse = FileInUseBelow(moved);
  // Removed there; what cannot be removed goes back where it was.
  if (!inUse) RemoveTree(moved);
  if (GetFileAttributesW(moved.c_str()) == INVALID_FILE_ATTRIBUTES) return Removal::kDone;
  MoveFileExW(moved.c_str(), here.c_str(), 0);
  return inUse ? Removal::kInUse : Removal::kFailed;
}
