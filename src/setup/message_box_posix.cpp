// Linux part of message_box.h: the box as text on standard output.
//
//   CR LF, caption " - " kind CR LF, CR LF, the text, CR LF, CR LF, then
//   "[Yes/No] " and the answer ("Yes" or "No") or "[OK] ", then CR LF.
//
// y or Y is Yes, n or N is No, Enter (CR) the default button, Yes; any key
// closes an OK box. Once the input has ended a question is answered No and
// an OK box closes, so a closed input never installs anything.
#include "console_keys.h"
#include "message_box.h"
#include "operations.h"

const char kDialogTitle[] = "Brax Overhaul 1.6.4 Installer";

namespace {

const char *KindName(BoxKind kind) {
  switch (kind) {
    case BoxKind::kWarning: return "Warning";
    case BoxKind::kInformation: return "Information";
    case BoxKind::kQuestion: return "Question";
  }
  return "";
}

int AnswerQuestion() {
  for (;;) {
    const std::string key = WaitForKey();
    if (key.empty() || key == "n" || key == "N") return kIdNo;
    if (key == "y" || key == "Y" || key == "\r") return kIdYes;
  }
}

}  // namespace

int ShowMessageBox(const std::string &text, BoxKind kind) {
  LookAtConsole();  // the terminal in raw mode before the box shows
  WriteToConsole(std::string("\r\n") + kDialogTitle + " - " + KindName(kind) + "\r\n\r\n" + text +
                 "\r\n\r\n");
  if (kind != BoxKind::kQuestion) {
    WriteToConsole("[OK] ");
    WaitForKey();
    WriteToConsole("\r\n");
    return kIdOk;
  }
  WriteToConsole("[Yes/No] ");
  const int answer = AnswerQuestion();
  WriteToConsole(answer == kIdYes ? "Yes\r\n" : "No\r\n");
  return answer;
}
