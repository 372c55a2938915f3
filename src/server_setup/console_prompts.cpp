#include "console_prompts.h"

#include <cstdlib>

#include "console.h"
#include "shown_texts.h"

void PrintLine(const std::string &text) { WriteToConsole(text + "\r\n"); }

bool AskYesNo(const std::string &question) {
  // The console is made ready first, so that no key typed at the prompt
  // is shown by the terminal.
  LookAtConsole();
  // The question; the cursor stays after the prompt.
  WriteToConsole(question + " [y/n] ");
  // Only "y" and "n" answer; an ended input answers "n".
  std::string answer;
  while (answer != "y" && answer != "n") {
    answer = WaitForKey();
    if (answer.empty()) answer = "n";
  }
  // The answer shown, then an empty line.
  WriteToConsole(answer + "\r\n\r\n");
  return answer == "y";
}

void AbortWithMessage(const std::string &message) {
  // The message, an empty line, the prompt.
  if (!message.empty()) WriteToConsole(message + "\r\n\r\n");
  WriteToConsole("Press any key to continue...");
  // Any key, or the end of the input.
  WaitForKey();
  // Done, whatever happened.
  WriteToConsole("\r\n");
  std::exit(0);
}
