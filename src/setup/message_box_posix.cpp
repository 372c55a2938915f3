// Linux part of message_box.h. In a terminal, or with keys from a pipe or a
// file, the box is text on standard output:
//
//   CR LF, caption " - " kind CR LF, CR LF, the text, CR LF, CR LF, then
//   "[Yes/No] " and the answer ("Yes" or "No") or "[OK] ", then CR LF.
//
// y or Y is Yes, n or N is No, Enter (CR) the default button, Yes; any key
// closes an OK box. Once the input has ended a question is answered No and
// an OK box closes, so a closed input never installs anything.
//
// Started from a file manager there is no terminal and there are no keys to
// read: then, in a desktop session, the box is a dialog of zenity or kdialog.
// Only its Yes is a Yes; a closed dialog, or one that cannot start or dies,
// answers as an ended input does.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "console.h"
#include "files.h"
#include "message_box.h"
#include "setup_file.h"

extern char **environ;

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

// The dialog program when neither stream is a terminal, standard input carries
// no keys (a pipe, a socket or a file stays scripted), and a desktop session is
// present; "" for text boxes.
std::string ChooseDialogProgram() {
  if (isatty(STDIN_FILENO) || isatty(STDOUT_FILENO)) return "";
  struct stat input;
  if (fstat(STDIN_FILENO, &input) == 0 &&
      (S_ISFIFO(input.st_mode) || S_ISSOCK(input.st_mode) || S_ISREG(input.st_mode)))
    return "";
  if (ReadEnvironment("DISPLAY").empty() && ReadEnvironment("WAYLAND_DISPLAY").empty()) return "";
  const std::string zenity = FindOnSearchPath("zenity");
  return zenity.empty() ? FindOnSearchPath("kdialog") : zenity;
}

// kdialog has no plain-text switch: a text with a tag in its first line would
// be read as HTML. So it always gets HTML, the <qt> tag making that certain:
// the text escaped, each line break (CR LF, CR or LF) a <br>, and runs of
// spaces and tabs kept by pre-wrap.
std::string KdialogHtml(const std::string &text) {
  std::string html = "<qt style=\"white-space:pre-wrap\">";
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&') {
      html += "&amp;";
    } else if (text[i] == '<') {
      html += "&lt;";
    } else if (text[i] == '>') {
      html += "&gt;";
    } else if (text[i] == '\r' || text[i] == '\n') {
      html += "<br>";
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      html += text[i];
    }
  }
  return html + "</qt>";
}

// zenity shows the text as it stands only with --no-markup: without it, it
// reads backslash escapes and Pango markup. kdialog's --sorry is its warning.
std::vector<std::string> DialogArguments(const std::string &program, const std::string &text,
                                         BoxKind kind) {
  const bool kdialog =
      program.size() >= 8 && program.compare(program.size() - 8, 8, "/kdialog") == 0;
  if (kdialog) {
    const char *box = kind == BoxKind::kWarning       ? "--sorry"
                      : kind == BoxKind::kInformation ? "--msgbox"
                                                      : "--yesno";
    return {program, "--title", kDialogTitle, box, KdialogHtml(text)};
  }
  const char *box = kind == BoxKind::kWarning       ? "--warning"
                    : kind == BoxKind::kInformation ? "--info"
                                                    : "--question";
  return {program, box, "--no-markup", std::string("--title=") + kDialogTitle, "--text=" + text};
}

// The dialog's exit code; -1 when it could not start or did not exit. It gets
// none of our streams but standard error, so it can neither take keys meant
// for us nor write into our output.
int RunDialog(const std::vector<std::string> &arguments) {
  std::vector<char *> argv;
  for (const std::string &argument : arguments)
    argv.push_back(const_cast<char *>(argument.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  // zenity takes its exit codes from ZENITY_OK, ZENITY_CANCEL and the like: with
  // ZENITY_CANCEL=0 a No would read as Yes.
  std::vector<char *> environment;
  for (char **variable = environ; *variable != nullptr; ++variable)
    if (std::string(*variable).compare(0, 7, "ZENITY_") != 0) environment.push_back(*variable);
  environment.push_back(nullptr);
  pid_t child = 0;
  const int failed =
      posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environment.data());
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) return -1;
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

int ShowMessageBox(const std::string &text, BoxKind kind) {
  static const std::string dialogProgram = ChooseDialogProgram();  // decided at the first box
  if (!dialogProgram.empty()) {
    const int code = RunDialog(DialogArguments(dialogProgram, text, kind));
    if (kind != BoxKind::kQuestion) return kIdOk;
    return code == 0 ? kIdYes : kIdNo;
  }
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
