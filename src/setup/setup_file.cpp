#include "setup_file.h"

#include <cstdio>

#include "operations.h"

const char kSetupFileName[] = "setup.ini";

namespace {

constexpr char kKey[] = "minecraft_path";

// Only the space character is trimmed; tabs stay part of key and value.
std::string TrimSpaces(const std::string &text) {
  std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string ToLower(std::string text) {
  for (char &c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

}  // namespace

void ReadSetupLine(std::string line, bool &found, std::string &value) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  // 1. A line without "=" carries nothing.
  std::size_t equals = line.find('=');
  if (equals == std::string::npos) return;
  // 2.-5. Key and value around the first "="; the last line with the key wins.
  if (ToLower(TrimSpaces(line.substr(0, equals))) != kKey) return;
  value = TrimSpaces(line.substr(equals + 1));
  // "Copy as path" puts the path in double quotes.
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
    value = value.substr(1, value.size() - 2);
  if (!value.empty() && value[0] == '<') value.clear();
  found = true;
}

bool FindGameFolder(const std::string &text, std::string &value) {
  bool found = false;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    ReadSetupLine(text.substr(start, end - start), found, value);
    start = end + 1;
  }
  return found;
}

bool ReadSetupFile(std::string &gameFolder) {
  // 1. Only a file that counts is read: no folder, device or fifo.
  if (!FileExists(kSetupFileName)) return false;
  // 2. Opened as bytes; both line ends are handled here on every platform.
  std::FILE *file = std::fopen(kSetupFileName, "rb");
  if (file == nullptr) return false;
  // 3. Line by line, so that a huge file costs no more than its longest line.
  bool found = false;
  std::string value;
  std::string line;
  char buffer[1 << 16];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    for (std::size_t i = 0; i < got; ++i) {
      if (buffer[i] != '\n') {
        line += buffer[i];
        continue;
      }
      ReadSetupLine(line, found, value);
      line.clear();
    }
  }
  // A read error leaves the game folder as it was.
  const bool readWhole = std::ferror(file) == 0;
  // 4. Close it.
  std::fclose(file);
  if (!line.empty()) ReadSetupLine(line, found, value);
  if (!readWhole || !found) return false;
  gameFolder = SetupValueToPath(value);
  return true;
}

void WriteSetupFile(const std::string &gameFolder) {
  // 1. The line, with the example when there is no folder to show.
  const std::string text =
      std::string(kKey) + "=" + (gameFolder.empty() ? std::string(kExampleGameFolder) : gameFolder);
  // 2.-4. Bytes only: no line end, no byte-order mark.
  std::FILE *file = std::fopen(kSetupFileName, "wb");
  if (file == nullptr) return;
  std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);
}
