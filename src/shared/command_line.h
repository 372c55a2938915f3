// Windows command-line words: how a Windows program splits the text after its
// name into arguments, and how to quote one argument so that it comes back
// whole. Linux's RunCommand splits with the same rules, so that the argument
// texts of the flows mean the same on both platforms.
#pragma once

#include <string>
#include <vector>

// Splits `text`: blanks (space, tab) separate words; double quotes group and
// are removed; 2n backslashes before a quote give n backslashes, 2n+1 give n
// and a literal quote; other backslashes stand for themselves; "" inside a
// quoted part is one literal quote.
std::vector<std::string> SplitCommandLine(const std::string &text);

// Quotes `word` so that SplitCommandLine gives it back as one word.
std::string QuoteArgument(const std::string &word);
