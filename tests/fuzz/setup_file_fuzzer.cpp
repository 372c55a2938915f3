// setup.ini's reader against a second, plain reading of the same rules: for
// any bytes, FindGameFolder must agree with it, and ReadSetupLine on each
// line must give what FindGameFolder gave for the last line with the key.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "setup_file.h"

namespace {

std::string Trim(const std::string &s) {
  std::size_t a = 0, b = s.size();
  while (a < b && s[a] == ' ') ++a;
  while (b > a && s[b - 1] == ' ') --b;
  return s.substr(a, b - a);
}

// The rules, read once more in the simplest way.
bool Reference(const std::string &text, std::string &value) {
  std::vector<std::string> lines;
  std::string line;
  for (char c : text) {
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(line);
  bool found = false;
  for (std::string l : lines) {
    if (!l.empty() && l.back() == '\r') l.pop_back();
    std::size_t eq = l.find('=');
    if (eq == std::string::npos) continue;
    std::string key = Trim(l.substr(0, eq));
    for (char &c : key)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    if (key != "minecraft_path") continue;
    value = Trim(l.substr(eq + 1));
    if (!value.empty() && value[0] == '<') value.clear();
    found = true;
  }
  return found;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
  const std::string text(reinterpret_cast<const char *>(data), size);
  std::string got = "default", want = "default";
  const bool found = FindGameFolder(text, got);
  if (found != Reference(text, want) || got != want) std::abort();
  if (found && (got.find('\n') != std::string::npos ||
                (!got.empty() && (got[0] == ' ' || got[0] == '<' || got.back() == ' '))))
    std::abort();
  // One line at a time, as the file reader feeds it.
  bool lineFound = false;
  std::string lineValue = "default";
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    ReadSetupLine(text.substr(start, end - start), lineFound, lineValue);
    start = end + 1;
  }
  if (lineFound != found || lineValue != got) std::abort();
  return 0;
}
