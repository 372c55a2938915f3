// Windows part of message_box.h.
#include <windows.h>

#include "message_box.h"
#include "system_library_windows.h"
#include "text_windows.h"

const char kDialogTitle[] = "Brax Overhaul 1.6.4 Installer";

int ShowMessageBox(const std::string &text, BoxKind kind) {
  UINT style = MB_SETFOREGROUND;
  switch (kind) {
    case BoxKind::kWarning: style |= MB_OK | MB_ICONWARNING; break;          // 0x10030
    case BoxKind::kInformation: style |= MB_OK | MB_ICONINFORMATION; break;  // 0x10040
    case BoxKind::kQuestion: style |= MB_YESNO | MB_ICONINFORMATION; break;  // 0x10044
  }
  static auto *const show = SystemFunction<decltype(MessageBoxW)>("user32.dll", "MessageBoxW");
  return show != nullptr
             ? show(nullptr, WideFromUtf8(text).c_str(), WideFromUtf8(kDialogTitle).c_str(), style)
             : 0;
}
