#include "setup_file.h"

#include <cstdio>

#include "files.h"
#include "shown_texts.h"

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

void AppendUtf8(std::string &out, unsigned code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// Windows tools save with a byte-order mark, and Notepad ("Unicode") or
// PowerShell 5 save UTF-16: the mark is not text, and UTF-16 is turned into
// UTF-8, so that the lines read the same as from a UTF-8 file.
enum class Encoding { kUndecided, kBytes, kUtf16Le, kUtf16Be };

// One reading of setup.ini, fed its bytes as they arrive: a huge file costs no
// more than its longest line.
struct SetupReading {
  bool found = false;
  std::string value;
  Encoding encoding = Encoding::kUndecided;
  std::string pending;  // the first bytes, until the encoding is known; then half a UTF-16 unit
  std::string line;     // UTF-8
  unsigned high = 0;    // a UTF-16 high surrogate, until its pair arrives
};

void TakeCharacter(SetupReading &r, char c) {
  if (c != '\n') {
    r.line += c;
    return;
  }
  ReadSetupLine(r.line, r.found, r.value);
  r.line.clear();
}

void TakeCode(SetupReading &r, unsigned code) {
  if (code == '\n')
    TakeCharacter(r, '\n');
  else
    AppendUtf8(r.line, code);
}

// Broken UTF-16 (a lone surrogate) becomes U+FFFD.
void TakeUnit(SetupReading &r, unsigned unit) {
  const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
  if (r.high != 0) {
    const unsigned high = r.high;
    r.high = 0;
    if (low) return TakeCode(r, 0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00));
    TakeCode(r, 0xFFFD);
  }
  if (unit >= 0xD800 && unit <= 0xDBFF)
    r.high = unit;
  else
    TakeCode(r, low ? 0xFFFD : unit);
}

// The first bytes are text, unless they are the UTF-8 mark.
void StartBytes(SetupReading &r) {
  r.encoding = Encoding::kBytes;
  const std::string head = r.pending == "\xEF\xBB\xBF" ? std::string() : r.pending;
  r.pending.clear();
  for (char c : head) TakeCharacter(r, c);
}

void TakeByte(SetupReading &r, char byte) {
  if (r.encoding == Encoding::kBytes) return TakeCharacter(r, byte);
  r.pending += byte;
  if (r.encoding == Encoding::kUndecided) {
    if (r.pending == "\xFF\xFE" || r.pending == "\xFE\xFF") {
      r.encoding = r.pending[0] == '\xFF' ? Encoding::kUtf16Le : Encoding::kUtf16Be;
      r.pending.clear();
    } else if (r.pending.size() == 3) {
      StartBytes(r);
    }
    return;
  }
  if (r.pending.size() < 2) return;
  const unsigned first = static_cast<unsigned char>(r.pending[0]);
  const unsigned second = static_cast<unsigned char>(r.pending[1]);
  r.pending.clear();
  TakeUnit(r, r.encoding == Encoding::kUtf16Le ? first | second << 8 : first << 8 | second);
}

void FinishReading(SetupReading &r) {
  if (r.encoding == Encoding::kUndecided) {
    StartBytes(r);  // fewer than three bytes, and no UTF-16 mark
  } else if (r.encoding != Encoding::kBytes) {
    if (r.high != 0) TakeCode(r, 0xFFFD);
    if (!r.pending.empty()) TakeCode(r, 0xFFFD);  // an odd last byte
  }
  if (!r.line.empty()) ReadSetupLine(r.line, r.found, r.value);
  r.line.clear();
}

}  // namespace

void ReadSetupLine(std::string line, bool &found, std::string &value) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  // A line without "=" carries nothing.
  std::size_t equals = line.find('=');
  if (equals == std::string::npos) return;
  // Key and value around the first "="; the last line with the key wins.
  if (ToLower(TrimSpaces(line.substr(0, equals))) != kKey) return;
  value = TrimSpaces(line.substr(equals + 1));
  // "Copy as path" puts the path in double quotes.
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
    value = value.substr(1, value.size() - 2);
  if (!value.empty() && value[0] == '<') value.clear();
  found = true;
}

bool FindGameFolder(const std::string &text, std::string &value) {
  SetupReading reading;
  reading.value = value;
  for (char byte : text) TakeByte(reading, byte);
  FinishReading(reading);
  value = reading.value;
  return reading.found;
}

bool ReadSetupFile(std::string &gameFolder) {
  // Only a file that counts is read: no folder, device or fifo.
  if (!FileExists(kSetupFileName)) return false;
  // Opened as bytes; both line ends are handled here on every platform.
  std::FILE *file = OpenFile(kSetupFileName, "rb");
  if (file == nullptr) return false;
  // Line by line, so that a huge file costs no more than its longest line.
  SetupReading reading;
  char buffer[1 << 16];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
    for (std::size_t i = 0; i < got; ++i) TakeByte(reading, buffer[i]);
  // A read error leaves the game folder as it was.
  const bool readWhole = std::ferror(file) == 0;
  // Close it.
  std::fclose(file);
  FinishReading(reading);
  if (!readWhole || !reading.found) return false;
  gameFolder = SetupValueToPath(reading.value);
  return true;
}

void WriteSetupFile(const std::string &gameFolder) {
  // The line, with the example when there is no folder to show.
  const std::string text =
      SetupFileBytes(std::string(kKey) + "=" +
                     (gameFolder.empty() ? std::string(kExampleGameFolder) : gameFolder));
  // Those bytes only: no line end.
  std::FILE *file = OpenFile(kSetupFileName, "wb");
  if (file == nullptr) return;
  std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);
}
