// ServerSetup's console: text on standard output, single keys from the
// console key queue. Every line break is CR LF.
#pragma once

#include <string>

// Writes the text and a line break.
void PrintLine(const std::string &text);

// Writes the question and " [y/n] ", waits for exactly "y" or "n" (once the
// input has ended: "n"), echoes it with an empty line and returns true for "y".
bool AskYesNo(const std::string &question);

// AbortWithMessage (shown_texts.h): writes the message and an empty line, then
// "Press any key to continue...", waits for a key and ends the process with
// exit code 0. It is how every run of ServerSetup ends.
