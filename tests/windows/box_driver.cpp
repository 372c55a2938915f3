// box_driver.exe APPDATA ANSWERS LOG PROGRAM LOCALAPPDATA: runs PROGRAM under
// Wine with both set (Wine ignores the Unix environment's) and answers its boxes as
// a user would. For each box it writes "box ICON BUTTONS ANSWER LENGTH\nTEXT\n"
// to LOG (ICON warning, information, question, error or unknown; BUTTONS
// yesno or ok; TEXT as UTF-8), then presses the button the next letter of
// ANSWERS asks for (y Yes, w Yes once LOG.go exists; else No, or OK); at the end "exit CODE", or
// "timeout" after 60 s. An icon handle means nothing in another process, so
// the icon is told by its pixels on the screen.
#include <windows.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The kind of icon the box shows: the system icon that, drawn on the box's
// background, looks most like the icon control's pixels on the screen.
std::string IconKind(HWND box) {
  HWND control = GetWindow(box, GW_CHILD);
  while (control != nullptr && (GetWindowLongW(control, GWL_STYLE) & SS_TYPEMASK) != SS_ICON)
    control = GetWindow(control, GW_HWNDNEXT);
  if (control == nullptr) return "unknown";
  RECT rect;
  GetWindowRect(control, &rect);
  const int size = GetSystemMetrics(SM_CXICON);
  HDC screen = GetDC(nullptr);
  std::vector<COLORREF> shown;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) shown.push_back(GetPixel(screen, rect.left + x, rect.top + y));
  const struct {
    const char *name;
    LPCWSTR icon;
  } candidates[] = {{"warning", IDI_WARNING},
                    {"information", IDI_INFORMATION},
                    {"question", IDI_QUESTION},
                    {"error", IDI_ERROR}};
  std::string best = "unknown";
  long bestDifference = LONG_MAX;
  for (const auto &candidate : candidates) {
    HDC drawn = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, size, size);
    HGDIOBJ old = SelectObject(drawn, bitmap);
    HBRUSH background = CreateSolidBrush(shown[0]);
    RECT all = {0, 0, size, size};
    FillRect(drawn, &all, background);
    DrawIconEx(drawn, 0, 0, LoadIconW(nullptr, candidate.icon), size, size, 0, nullptr, DI_NORMAL);
    long difference = 0;
    for (int i = 0; i < size * size; ++i) {
      const COLORREF a = shown[i], b = GetPixel(drawn, i % size, i / size);
      difference += std::abs(GetRValue(a) - GetRValue(b)) + std::abs(GetGValue(a) - GetGValue(b)) +
                    std::abs(GetBValue(a) - GetBValue(b));
    }
    if (difference < bestDifference) bestDifference = difference, best = candidate.name;
    DeleteObject(background);
    DeleteObject(SelectObject(drawn, old));
    DeleteDC(drawn);
  }
  ReleaseDC(nullptr, screen);
  return best;
}

}  // namespace

int wmain(int argc, wchar_t **argv) {
  if (argc != 6) return 2;
  SetEnvironmentVariableW(L"APPDATA", argv[1]);
  SetEnvironmentVariableW(L"LOCALAPPDATA", argv[5]);
  // Wine sets TMP from its registry for a program started from Linux.
  if (const wchar_t *temporary = _wgetenv(L"BRAX_TMP")) SetEnvironmentVariableW(L"TMP", temporary);
  const std::wstring answers = argv[2];
  FILE *log = _wfopen(argv[3], L"wb");
  std::wstring commandLine = L"\"" + std::wstring(argv[4]) + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child = {};
  if (log == nullptr || !CreateProcessW(argv[4], &commandLine[0], nullptr, nullptr, TRUE, 0,
                                        nullptr, nullptr, &startup, &child))
    return 2;
  const DWORD started = GetTickCount();
  std::size_t next = 0;
  while (WaitForSingleObject(child.hProcess, 20) == WAIT_TIMEOUT) {
    if (GetTickCount() - started > 60000) {
      TerminateProcess(child.hProcess, 99);
      std::fprintf(log, "timeout\n");
      return 3;
    }
    // Its own box: another run's may be showing meanwhile.
    HWND box = nullptr;
    DWORD owner = 0;
    while ((box = FindWindowExW(nullptr, box, L"#32770", L"Brax Overhaul 1.6.4 Installer"))) {
      GetWindowThreadProcessId(box, &owner);
      if (owner == child.dwProcessId) break;
    }
    if (box == nullptr || !IsWindowVisible(box)) continue;
    Sleep(250);  // painted, so that its icon can be read
    wchar_t wide[8192];
    const int length = GetDlgItemTextW(box, 0xFFFF, wide, 8192);
    char text[32768];
    const int bytes =
        WideCharToMultiByte(CP_UTF8, 0, wide, length, text, sizeof text, nullptr, nullptr);
    const bool question = GetDlgItem(box, IDYES) != nullptr;
    // "w": Yes, once the file LOG.go exists (a run held at a question meanwhile).
    if (next < answers.size() && answers[next] == L'w') {
      std::fprintf(log, "held %lu\n", static_cast<unsigned long>(child.dwProcessId));
      std::fflush(log);
      while (GetFileAttributesW((std::wstring(argv[3]) + L".go").c_str()) ==
             INVALID_FILE_ATTRIBUTES)
        Sleep(50);
    }
    const bool yes = next < answers.size() && (answers[next] == L'y' || answers[next] == L'w');
    next += next < answers.size();
    const char *answer = !question ? "OK" : yes ? "Yes" : "No";
    std::fprintf(log, "box %s %s %s %d\n", IconKind(box).c_str(), question ? "yesno" : "ok", answer,
                 bytes);
    std::fwrite(text, 1, static_cast<std::size_t>(bytes), log);
    std::fputc('\n', log);
    std::fflush(log);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(!question ? IDOK : yes ? IDYES : IDNO, BN_CLICKED), 0);
    while (IsWindow(box) && IsWindowVisible(box) &&
           WaitForSingleObject(child.hProcess, 20) == WAIT_TIMEOUT) {
    }
  }
  DWORD code = 0;
  GetExitCodeProcess(child.hProcess, &code);
  std::fprintf(log, "exit %ld\n", static_cast<long>(code));
  std::fclose(log);
  return 0;
}
