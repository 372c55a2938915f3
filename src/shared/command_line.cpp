#include "command_line.h"

std::vector<std::string> SplitCommandLine(const std::string &text) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  bool quoted = false;
  std::size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (c == '\\') {
      std::size_t count = 0;
      while (i < text.size() && text[i] == '\\') ++count, ++i;
      inWord = true;
      if (i < text.size() && text[i] == '"') {
        word.append(count / 2, '\\');
        if (count % 2 == 1) {
          word += '"';
          ++i;
        }
      } else {
        word.append(count, '\\');
      }
      continue;
    }
    if (c == '"') {
      inWord = true;
      if (quoted && i + 1 < text.size() && text[i + 1] == '"') {
        word += '"';
        i += 2;
        continue;
      }
      quoted = !quoted;
      ++i;
      continue;
    }
    if ((c == ' ' || c == '\t') && !quoted) {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
      ++i;
      continue;
    }
    word += c;
    inWord = true;
    ++i;
  }
  if (inWord) words.push_back(word);
  return words;
}

std::string QuoteArgument(const std::string &word) {
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (char c : word) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    // Backslashes before a quote are doubled, and the quote escaped.
    if (c == '"') {
      quoted.append(backslashes * 2 + 1, '\\');
    } else {
      quoted.append(backslashes, '\\');
    }
    backslashes = 0;
    quoted += c;
  }
  // Backslashes before the closing quote are doubled too.
  quoted.append(backslashes * 2, '\\');
  return quoted + "\"";
}
