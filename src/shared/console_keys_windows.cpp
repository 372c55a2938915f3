// The look at the console on Windows: console input events, or the bytes of
// a redirected standard input.
#include <windows.h>

#include "console_keys.h"
#include "text_windows.h"

namespace {

enum class InputKind { kConsole, kPipe, kFile, kNone };

bool prepared = false;
bool ended = false;
InputKind kind = InputKind::kNone;
HANDLE input = INVALID_HANDLE_VALUE;
// Set by the control handler, which runs on a thread of its own; the next
// look turns it into the close key.
volatile LONG closeRequested = 0;
bool closeKeyQueued = false;

BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
    InterlockedExchange(&closeRequested, 1);
    return TRUE;
  }
  return FALSE;  // Ctrl+C and Ctrl+Break: the platform's usual handling
}

void Prepare() {
  prepared = true;
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
