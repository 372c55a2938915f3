// Runs a program under Wine and answers its message boxes, the way a user
// would, recording each box for the end-to-end tests.
//
//   box_driver.exe [--env NAME=VALUE]... [--timeout SECONDS] --answers KEYS
//                  --log FILE PROGRAM
//
// It sets the variables in its own environment (Wine ignores the Unix
// environment's APPDATA), starts PROGRAM with CreateProcessW and, until the
// program ends, waits for the box with the installer's caption. For each box
// it writes to FILE
//
//   box ICON BUTTONS ANSWER LENGTH\n TEXT\n
//
// with ICON warning, information, error, question or unknown, BUTTONS yesno
// or ok, ANSWER Yes, No or OK,
// and TEXT the box's text as UTF-8 (LENGTH bytes, CR LF as they stand); then
// it presses the button that the next letter of KEYS asks for (y Yes, n No,
// o OK; a box beyond KEYS gets No or OK). At the end it writes
// "exit CODE\n", or "timeout\n" after killing a program that outlived the
// time-out. Its own exit code is 0, or 3 after a time-out.
//
// A box's icon handle means nothing in another process, so the icon is read
// from the screen: the icon control's pixels are compared
// with the system's warning, information and error icons drawn here.
#include <windows.h>

#include <climits>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const wchar_t kCaption[] = L"Brax Overhaul 1.6.4 Installer";

std::string Utf8(const std::wstring &text) {
  if (text.empty()) return "";
  int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                  0, nullptr, nullptr);
  std::string result(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &result[0], bytes,
                      nullptr, nullptr);
  return result;
}

std::wstring ItemText(HWND box, int id) {
  HWND item = GetDlgItem(box, id);
  if (item == nullptr) return L"";
  int length = GetWindowTextLengthW(item);
  std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 2);
  int got = GetDlgItemTextW(box, id, buffer.data(), length + 1);
  return std::wstring(buffer.data(), static_cast<std::size_t>(got));
}

// The static control that shows the box's icon.
HWND IconControl(HWND box) {
  for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t className[32] = {};
    GetClassNameW(child, className, 32);
    LONG style = GetWindowLongW(child, GWL_STYLE);
    if (lstrcmpiW(className, L"Static") == 0 && (style & SS_TYPEMASK) == SS_ICON) return child;
  }
  return nullptr;
}

// The pixels of `width` x `height` from `source` at (x, y), as 32-bit BGRX.
std::vector<DWORD> Pixels(HDC source, int x, int y, int width, int height) {
  HDC memory = CreateCompatibleDC(source);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void *bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY);
  GdiFlush();
  std::vector<DWORD> result(static_cast<const DWORD *>(bits),
                            static_cast<const DWORD *>(bits) + width * height);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  for (DWORD &pixel : result) pixel &= 0xFFFFFF;
  return result;
}

// `icon` drawn on `background`, the way the static control draws it.
std::vector<DWORD> Rendered(HICON icon, DWORD background, int width, int height) {
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  // BGRX from the capture back to a COLORREF.
  HBRUSH brush =
      CreateSolidBrush(RGB((background >> 16) & 0xFF, (background >> 8) & 0xFF, background & 0xFF));
  RECT all = {0, 0, width, height};
  FillRect(memory, &all, brush);
  DeleteObject(brush);
  DrawIconEx(memory, 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL | DI_DEFAULTSIZE);
  std::vector<DWORD> result = Pixels(memory, 0, 0, width, height);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return result;
}

long Difference(const std::vector<DWORD> &a, const std::vector<DWORD> &b) {
  long sum = 0;
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
    for (int shift = 0; shift < 24; shift += 8) {
      int d = static_cast<int>((a[i] >> shift) & 0xFF) - static_cast<int>((b[i] >> shift) & 0xFF);
      sum += d < 0 ? -d : d;
    }
  return sum;
}

// "warning", "information" or "error" by the icon on the screen; "unknown"
// when no icon control or no clear match is found.
std::string IconKind(HWND box) {
  HWND control = IconControl(box);
  if (control == nullptr) return "unknown";
  RECT rect;
  GetWindowRect(control, &rect);
  int width = GetSystemMetrics(SM_CXICON), height = GetSystemMetrics(SM_CYICON);
  HDC screen = GetDC(nullptr);
  std::vector<DWORD> shown = Pixels(screen, rect.left, rect.top, width, height);
  ReleaseDC(nullptr, screen);
  struct Candidate {
    const char *name;
    LPCWSTR icon;
  } candidates[] = {{"warning", IDI_WARNING},
                    {"information", IDI_INFORMATION},
                    {"error", IDI_ERROR},
                    {"question", IDI_QUESTION}};
  std::string best = "unknown";
  long bestDifference = LONG_MAX, secondDifference = LONG_MAX;
  for (const Candidate &candidate : candidates) {
    long d =
        Difference(shown, Rendered(LoadIconW(nullptr, candidate.icon), shown[0], width, height));
    if (d < bestDifference) {
      secondDifference = bestDifference;
      bestDifference = d;
      best = candidate.name;
    } else if (d < secondDifference) {
      secondDifference = d;
    }
  }
  // A clear winner only: identical, or far closer than any other icon.
  if (bestDifference != 0 && bestDifference * 4 > secondDifference) return "unknown";
  return best;
}

HWND FindBox() {
  HWND box = FindWindowW(L"#32770", kCaption);
  return box != nullptr && IsWindowVisible(box) ? box : nullptr;
}

std::wstring Quoted(const std::wstring &word) { return L"\"" + word + L"\""; }

}  // namespace

int wmain(int argc, wchar_t **argv) {
  std::wstring answers, logPath, program;
  DWORD timeoutMs = 60000;
  for (int i = 1; i < argc; ++i) {
    std::wstring arg = argv[i];
    if (arg == L"--env" && i + 1 < argc) {
      std::wstring assignment = argv[++i];
      std::size_t equals = assignment.find(L'=');
      SetEnvironmentVariableW(assignment.substr(0, equals).c_str(),
                              assignment.substr(equals + 1).c_str());
    } else if (arg == L"--answers" && i + 1 < argc) {
      answers = argv[++i];
    } else if (arg == L"--log" && i + 1 < argc) {
      logPath = argv[++i];
    } else if (arg == L"--timeout" && i + 1 < argc) {
      timeoutMs = static_cast<DWORD>(_wtoi(argv[++i])) * 1000;
    } else {
      program = arg;
    }
  }
  if (program.empty() || logPath.empty()) {
    std::fprintf(stderr, "usage: box_driver --answers KEYS --log FILE PROGRAM\n");
    return 2;
  }
  FILE *log = _wfopen(logPath.c_str(), L"wb");
  if (log == nullptr) return 2;

  std::wstring commandLine = Quoted(program);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child = {};
  if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &child)) {
    std::fprintf(log, "not started %lu\n", GetLastError());
    std::fclose(log);
    return 2;
  }
  DWORD started = GetTickCount();
  std::size_t next = 0;
  bool timedOut = false;
  while (WaitForSingleObject(child.hProcess, 20) == WAIT_TIMEOUT) {
    if (GetTickCount() - started > timeoutMs) {
      TerminateProcess(child.hProcess, 99);
      WaitForSingleObject(child.hProcess, 5000);
      timedOut = true;
      break;
    }
    HWND box = FindBox();
    if (box == nullptr) continue;
    // Let the box paint before its icon is read from the screen.
    Sleep(250);
    const std::string text = Utf8(ItemText(box, 0xFFFF));
    const bool question = GetDlgItem(box, IDYES) != nullptr;
    const std::string icon = IconKind(box);
    wchar_t key = next < answers.size() ? answers[next] : L'-';
    ++next;
    int button = IDOK;
    const char *answer = "OK";
    if (question) {
      button = key == L'y' ? IDYES : IDNO;
      answer = key == L'y' ? "Yes" : "No";
    }
    std::fprintf(log, "box %s %s %s %u\n", icon.c_str(), question ? "yesno" : "ok", answer,
                 static_cast<unsigned>(text.size()));
    std::fwrite(text.data(), 1, text.size(), log);
    std::fputc('\n', log);
    std::fflush(log);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
    // One record per box: wait until this one has gone.
    while (IsWindow(box) && IsWindowVisible(box) &&
           WaitForSingleObject(child.hProcess, 20) == WAIT_TIMEOUT &&
           GetTickCount() - started <= timeoutMs) {
    }
  }
  if (timedOut) {
    std::fprintf(log, "timeout\n");
  } else {
    DWORD code = 0;
    GetExitCodeProcess(child.hProcess, &code);
    std::fprintf(log, "exit %ld\n", static_cast<long>(code));
  }
  std::fclose(log);
  CloseHandle(child.hThread);
  CloseHandle(child.hProcess);
  return timedOut ? 3 : 0;
}
