// setup.ini's reader on any bytes, against a second, plain reading of its
// rules: the last line whose key is minecraft_path gives the value. Then the
// value's expansion, under the sanitizers.
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "setup_file.h"

void AbortWithMessage(const std::string &) { std::abort(); }

namespace {

std::string Trim(std::string text) {
  text.erase(0, text.find_first_not_of(' '));
  return text.erase(text.find_last_not_of(' ') + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
  const std::string text(reinterpret_cast<const char *>(data), size);
  std::string want = "default", got = "default", line;
  bool found = false;
  // UTF-16 only has to decode without fault; the plain reading covers bytes.
  if (text.rfind("\xFF\xFE", 0) == 0 || text.rfind("\xFE\xFF", 0) == 0) {
    FindGameFolder(text, got);
    return 0;
  }
  std::istringstream lines(text.rfind("\xEF\xBB\xBF", 0) == 0 ? text.substr(3) : text);
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    std::string key = Trim(line.substr(0, equals));
    for (char &c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (key != "minecraft_path") continue;
    want = Trim(line.substr(equals + 1));
    if (want.size() > 1 && want[0] == '"' && want.back() == '"')
      want = want.substr(1, want.size() - 2);
    if (!want.empty() && want[0] == '<') want.clear();
    found = true;
  }
  if (FindGameFolder(text, got) != found || got != want) std::abort();
  SetupValueToPath(got);  // reads nothing past the value, whatever it holds
  return 0;
}
