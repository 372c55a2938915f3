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

// Turns the bytes of setup.ini into UTF-8 lines as they arrive. Windows tools
// save with a byte-order mark, and Notepad or PowerShell 5 save UTF-16: the
// mark is not text, and UTF-16 is converted so the rest of the reading sees
// the same bytes as for a UTF-8 file. Broken UTF-16 becomes U+FFFD.
class SetupDecoder {
 public:
  SetupDecoder(bool &found, std::string &value) : found_(found), value_(value) {}

  void Feed(const char *data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) Byte(static_cast<unsigned char>(data[i]));
  }

  void Finish() {
    if (head_.size() < 3 && mode_ == kUnknown) {
      // Fewer than three bytes: a UTF-16 mark alone still counts as one.
      const std::string head = head_;
      head_.clear();
      if (!(head.size() == 2 && IsUtf16Mark(head))) {
        mode_ = kBytes;
        for (char c : head) Char(c);
      }
    }
    if (mode_ != kBytes && mode_ != kUnknown) {
      if (hasHigh_) AppendUtf8(line_, 0xFFFD);
      if (hasOdd_) AppendUtf8(line_, 0xFFFD);
      hasHigh_ = hasOdd_ = false;
    }
    if (!line_.empty()) ReadSetupLine(line_, found_, value_);
    line_.clear();
  }

 private:
  enum Mode { kUnknown, kBytes, kUtf16Le, kUtf16Be };

  static bool IsUtf16Mark(const std::string &head) {
    return head == "\xFF\xFE" || head == "\xFE\xFF";
  }

  void Byte(unsigned char byte) {
    if (mode_ == kUnknown) {
      head_ += static_cast<char>(byte);
      if (head_.size() == 2 && IsUtf16Mark(head_)) {
        mode_ = head_[0] == '\xFF' ? kUtf16Le : kUtf16Be;
        head_.clear();
      } else if (head_.size() == 3) {
        mode_ = kBytes;
        const std::string head = head_ == "\xEF\xBB\xBF" ? std::string() : head_;
        head_.clear();
        for (char c : head) Char(c);
      }
      return;
    }
    if (mode_ == kBytes) {
      Char(static_cast<char>(byte));
      return;
    }
    if (!hasOdd_) {
      odd_ = byte;
      hasOdd_ = true;
      return;
    }
    hasOdd_ = false;
    const unsigned unit = mode_ == kUtf16Le ? (odd_ | (byte << 8)) : ((odd_ << 8) | byte);
    Unit(unit);
  }

  void Unit(unsigned unit) {
    if (hasHigh_) {
      hasHigh_ = false;
      if (unit >= 0xDC00 && unit <= 0xDFFF) {
        AppendCode(0x10000 + ((high_ - 0xD800) << 10) + (unit - 0xDC00));
        return;
      }
      AppendCode(0xFFFD);
    }
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      high_ = unit;
      hasHigh_ = true;
    } else {
      AppendCode(unit >= 0xDC00 && unit <= 0xDFFF ? 0xFFFD : unit);
    }
  }

  void AppendCode(unsigned code) {
    if (code == '\n') {
      Char('\n');
    } else if (code < 0x80) {
      line_ += static_cast<char>(code);
    } else {
      AppendUtf8(line_, code);
    }
  }

  void Char(char c) {
    if (c != '\n') {
      line_ += c;
      return;
    }
    ReadSetupLine(line_, found_, value_);
    line_.clear();
  }

  bool &found_;
  std::string &value_;
  Mode mode_ = kUnknown;
  std::string head_;
  std::string line_;
  unsigned odd_ = 0;
  bool hasOdd_ = false;
  unsigned high_ = 0;
  bool hasHigh_ = false;
};

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
  SetupDecoder decoder(found, value);
  decoder.Feed(text.data(), text.size());
  decoder.Finish();
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
  SetupDecoder decoder(found, value);
  char buffer[1 << 16];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) decoder.Feed(buffer, got);
  // A read error leaves the game folder as it was.
  const bool readWhole = std::ferror(file) == 0;
  // 4. Close it.
  std::fclose(file);
  decoder.Finish();
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
