#include "console_prompts.h"

#include <cstdio>
#include <cstdlib>

#include "console_keys.h"
#include "operations.h"

namespace {

void Write(const std::string &text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

}  // namespace

void PrintLine(const std::string &text) { Write(text + "\r\n"); }

bool AskYesNo(const std::string &question) {
  // 1. The question; the cursor stays after the prompt.
  Write(question + " [y/n] ");
  // 2. Only "y" and "n" answer; an ended input answers "n".
  std::string answer;
  while (answer != "y" && answer != "n") {
    answer = WaitForKey();
    if (answer.empty()) answer = "n";
  }
  // 3. The answer shown, then an empty line.
  Write(answer + "\r\n\r\n");
  return answer == "y";
}

void AbortWithMessage(const std::string &message) {
  // 1.-2. The message, an empty line, the prompt.
  if (!message.empty()) Write(message + "\r\n\r\n");
  Write("Press any key to continue...");
  // 3. Any key, or the end of the input.
  WaitForKey();
  // 4.-5. Done, whatever happened.
  Write("\r\n");
  std::exit(0);
}
