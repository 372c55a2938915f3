// Windows implementation of operations.h: Win32 and the msvcrt runtime.
#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include "operations.h"
#include "system_library_windows.h"
#include "text_windows.h"

const char kPathSeparator[] = "\\";
const char kArchiverName[] = "7za.exe";
const char kDesktopInstallerName[] = "Setup.exe";
const char kServerInstallerName[] = "ServerSetup.exe";
const char kExampleGameFolder[] = "<eg. C:\\Users\\Orlander\\AppData\\Roaming\\.minecraft\\>";
const char kLauncherName[] = "Minecraft.exe launcher";
const char kServerStartScripts[] = "batch file";

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

// The console's input mode as the program found it, while QuickEdit is off.
HANDLE consoleInput = nullptr;
DWORD foundMode = 0;

void RestoreConsoleMode() {
  if (consoleInput != nullptr) SetConsoleMode(consoleInput, foundMode);
}

// Ctrl+C and Ctrl+Break end the process without the runtime's exit handlers.
BOOL WINAPI RestoreOnInterrupt(DWORD event) {
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) RestoreConsoleMode();
  return FALSE;
}

// QuickEdit turns a click in the console into a selection that holds every
// write to it, the archiver's and the prompts', until Esc: the build looks
// hung. Off while the program runs, for the archiver and cmd too, which share
// the console; a pipe or a file as input is no console and stays as it is.
[[gnu::constructor(102)]] void QuickEditOff() {
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (input == nullptr || input == INVALID_HANDLE_VALUE || !GetConsoleMode(input, &mode)) return;
  if (!SetConsoleMode(input, (mode | ENABLE_EXTENDED_FLAGS) & ~DWORD{ENABLE_QUICK_EDIT_MODE}))
    return;
  consoleInput = input;
  foundMode = mode;
  std::atexit(RestoreConsoleMode);
  SetConsoleCtrlHandler(RestoreOnInterrupt, TRUE);
}

// The children we wait for end with us, however we end (Task Manager's End
// task too): a job that ends what is in it when its last handle, ours, closes.
// Where the child cannot join (Windows 7 with us in a job already) it runs on.
void EndWithUs(HANDLE child) {
  static HANDLE job = [] {
    HANDLE created = CreateJobObjectW(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (created != nullptr)
      SetInformationJobObject(created, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    return created;
  }();
  if (job != nullptr) AssignProcessToJobObject(job, child);
}

// Starts `program` (a path, never searched for) with the command line `line`
// and waits for it: its exit code, or -1 when it could not start. It starts
// suspended, so that it has done nothing before it is in the job, and is
// resumed whether it could join or not.
int StartAndWait(const std::wstring &program, std::wstring line) {
  // Our standard handles, as the runtime's spawn passed them: the child's
  // output reaches a redirected output of ours.
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION child = {};
  if (!CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr,
                      nullptr, &startup, &child))
    return -1;
  EndWithUs(child.hProcess);
  ResumeThread(child.hThread);
  WaitForSingleObject(child.hProcess, INFINITE);
  DWORD code = 0;
  if (!GetExitCodeProcess(child.hProcess, &code)) code = static_cast<DWORD>(-1);
  CloseHandle(child.hThread);
  CloseHandle(child.hProcess);
  return static_cast<int>(code);
}

}  // namespace

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

FARPROC SystemProcedure(const char *library, const char *procedure) {
  HMODULE module = nullptr;
  const std::wstring name = WideFromUtf8(library);
  if (searchRestricted) {
    module = LoadLibraryExW(name.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  } else {
    // Named by its full path, the library's own imports come from its folder.
    wchar_t folder[kPathBuffer];
    UINT length = GetSystemDirectoryW(folder, kPathBuffer);
    if (length > 0 && length < kPathBuffer)
      module = LoadLibraryExW((std::wstring(folder, length) + L"\\" + name).c_str(), nullptr,
                              LOAD_WITH_ALTERED_SEARCH_PATH);
  }
  return module != nullptr ? GetProcAddress(module, procedure) : nullptr;
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

std::string StartedFromArchiveText(const std::string &program) {
  return program +
         " has been started from inside the zip file, so the files it needs are not beside "
         "it.\r\n\r\nPlease extract the whole zip file first (right-click it and choose Extract "
         "All), then run " +
         program + " from the extracted folder.\r\n\r\n";
}

int RunCommand(const std::string &program, const std::string &arguments) {
  if (program.empty()) return -1;
  // The program's path, then the argument text after one space, as the
  // runtime's spawn joined them: the flows name the archiver without a blank.
  const std::wstring path = WideFromUtf8(program);
  return StartAndWait(path, path + L" " + WideFromUtf8(arguments));
}

std::string ReadEnvironment(const std::string &name) {
  std::string value;
  return ReadEnvironmentVariable(name, value) ? value : std::string();
}

void WriteToConsole(const std::string &text) {
  // The programs write their own CR LF: in text mode the runtime would turn it
  // into CR CR LF on redirected output.
  static const int binary = _setmode(_fileno(stdout), _O_BINARY);
  (void)binary;
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

void SleepMilliseconds(int milliseconds) {
  if (milliseconds > 0) Sleep(static_cast<DWORD>(milliseconds));
}

bool IsAbsolutePath(const std::string &path) {
  // "\dir" and "D:dir" do not depend on the current folder's path either.
  if (!path.empty() && (path[0] == '\\' || path[0] == '/')) return true;
  return path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == ':';
}
