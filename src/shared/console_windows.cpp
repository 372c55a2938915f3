// The console on Windows: the look at its input events, or at the bytes of a
// redirected standard input; QuickEdit and the control handler; our output.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "console.h"
#include "text_windows.h"

namespace {

// The console's input mode as the program found it, while QuickEdit is off.
HANDLE consoleInput = nullptr;
DWORD foundMode = 0;

void RestoreConsoleMode() {
  if (consoleInput != nullptr) SetConsoleMode(consoleInput, foundMode);
}

// QuickEdit turns a click in the console into a selection that holds every
// write to it, the archiver's and the prompts', until Esc: the build looks
// hung. Off from the first look on, for the archiver too, which shares the
// console; a pipe or a file as input is no console and stays as it is.
void QuickEditOff() {
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (input == nullptr || input == INVALID_HANDLE_VALUE || !GetConsoleMode(input, &mode)) return;
  if (!SetConsoleMode(input, (mode | ENABLE_EXTENDED_FLAGS) & ~DWORD{ENABLE_QUICK_EDIT_MODE}))
    return;
  consoleInput = input;
  foundMode = mode;
  std::atexit(RestoreConsoleMode);
}

enum class InputKind { kConsole, kPipe, kFile, kNone };

bool prepared = false;
bool ended = false;
InputKind kind = InputKind::kNone;
HANDLE input = INVALID_HANDLE_VALUE;

// Set by the control handler, which runs on a thread of its own; the next
// look turns it into the close key.
volatile LONG closeRequested = 0;
bool closeKeyQueued = false;

// Ctrl+C and Ctrl+Break end the process as usual, without the runtime's exit
// handlers: QuickEdit comes back here. Closing the window, logging off and
// shutting down are kept for the next look.
BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
    InterlockedExchange(&closeRequested, 1);
    return TRUE;
  }
  RestoreConsoleMode();
  return FALSE;
}

void Prepare() {
  prepared = true;
  QuickEditOff();
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
  input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (input == nullptr || input == INVALID_HANDLE_VALUE)
    kind = InputKind::kNone;
  else if (GetConsoleMode(input, &mode))
    kind = InputKind::kConsole;
  else if (GetFileType(input) == FILE_TYPE_PIPE)
    kind = InputKind::kPipe;
  else
    kind = InputKind::kFile;  // a file, or a device such as NUL
  if (kind == InputKind::kNone) ended = true;
}

bool IsLoneModifier(WORD virtualKey) {
  switch (virtualKey) {
    case VK_SHIFT:
    case VK_CONTROL:
    case VK_MENU:
    case VK_CAPITAL:
    case VK_NUMLOCK:
    case VK_SCROLL:
    case VK_LSHIFT:
    case VK_RSHIFT:
    case VK_LCONTROL:
    case VK_RCONTROL:
    case VK_LMENU:
    case VK_RMENU: return true;
    default: return false;
  }
}

void AppendKeyEvent(const KEY_EVENT_RECORD &key) {
  if (!key.bKeyDown || IsLoneModifier(key.wVirtualKeyCode)) return;
  std::string value;
  // The character it types, in UTF-8 whatever the console's code page.
  if (key.uChar.UnicodeChar != 0)
    value = Utf8FromWide(&key.uChar.UnicodeChar, 1);
  else
    value = std::string{'\xff', static_cast<char>(key.wVirtualScanCode)};
  for (WORD i = 0; i < (key.wRepeatCount > 0 ? key.wRepeatCount : 1); ++i) AppendKey(value);
}

void LookAtConsoleEvents() {
  // Wine fills the queue only for a program that waits on the handle.
  WaitForSingleObject(input, 0);
  INPUT_RECORD events[64];
  DWORD waiting = 0;
  while (PeekConsoleInputW(input, events, 64, &waiting) && waiting > 0) {
    DWORD taken = 0;
    if (!ReadConsoleInputW(input, events, waiting, &taken)) return;
    for (DWORD i = 0; i < taken; ++i)
      if (events[i].EventType == KEY_EVENT) AppendKeyEvent(events[i].Event.KeyEvent);
  }
}

// Reads at most `room` bytes; true when something came.
bool ReadBytes(DWORD room) {
  char buffer[512];
  DWORD wanted = room < sizeof buffer ? room : sizeof buffer;
  DWORD got = 0;
  if (!ReadFile(input, buffer, wanted, &got, nullptr) || got == 0) {
    ended = true;
    return false;
  }
  for (DWORD i = 0; i < got; ++i) AppendKey(std::string(1, buffer[i]));
  return true;
}

DWORD QueueRoom() { return static_cast<DWORD>(kKeyQueueSlots - 1 - PendingKeyCount()); }

// A pipe or a file: one key per byte, and only what fits in the queue.
void LookAtStream() {
  while (!ended && QueueRoom() > 0) {
    if (kind == InputKind::kPipe) {
      DWORD available = 0;
      if (!PeekNamedPipe(input, nullptr, 0, nullptr, &available, nullptr)) {
        if (GetLastError() == ERROR_BROKEN_PIPE) {
          ended = true;  // the writer is gone and everything has been read
          return;
        }
        // A pipe that cannot be peeked (Wine's for a Unix pipe says
        // ERROR_NOT_SUPPORTED) is read like a file.
        kind = InputKind::kFile;
        continue;
      }
      if (available == 0) return;
      ReadBytes(available < QueueRoom() ? available : QueueRoom());
    } else if (!ReadBytes(QueueRoom())) {
      return;
    }
  }
}

}  // namespace

void LookAtConsole() {
  if (!prepared) Prepare();
  if (closeRequested != 0 && !closeKeyQueued) {
    closeKeyQueued = true;
    AppendKey(kCloseKey);
  }
  if (kind == InputKind::kConsole)
    LookAtConsoleEvents();
  else if (kind != InputKind::kNone)
    LookAtStream();
}

bool ConsoleInputEnded() { return ended; }

void WaitForConsoleInput() {
  if (!prepared) Prepare();
  if (ended) return;
  if (kind == InputKind::kConsole) {
    WaitForSingleObject(input, INFINITE);
  } else if (kind == InputKind::kPipe && QueueRoom() > 0) {
    ReadBytes(1);  // a pipe handle cannot be waited on: block in the read
  }
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

void RestoreConsoleForGood() {}
