// Setup's message boxes: MessageBoxA on Windows; on Linux a text box in the
// terminal (caption, kind, the text as it stands, then the answer), which
// reads its answer from the console key queue, or, for a player who started
// Setup from a file manager, a desktop dialog (zenity or kdialog).
#pragma once

#include <string>

extern const char kDialogTitle[];

enum class BoxKind { kWarning, kInformation, kQuestion };

// The buttons' results, as MessageBoxA gives them.
constexpr int kIdOk = 1;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

// Shows `text` under kDialogTitle and waits for the user. A question gives
// kIdYes or kIdNo, an OK box kIdOk; 0 when no box could be shown.
int ShowMessageBox(const std::string &text, BoxKind kind);
