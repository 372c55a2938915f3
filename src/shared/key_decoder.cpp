#include "key_decoder.h"

#include <cstring>

namespace {

constexpr char kEsc = '\x1b';

std::string Extended(int code) { return std::string{'\xff', static_cast<char>(code)}; }

// The BIOS code of a key ending "ESC [ number ~" (vt220 style), 0 if unknown.
int TildeKeyCode(int number) {
  switch (number) {
    case 1:
    case 7: return 71;  // Home
    case 2: return 82;  // Insert
    case 3: return 83;  // Delete
    case 4:
    case 8: return 79;   // End
    case 5: return 73;   // Page Up
    case 6: return 81;   // Page Down
    case 11: return 59;  // F1 to F4 (rxvt)
    case 12: return 60;
    case 13: return 61;
    case 14: return 62;
    case 15: return 63;  // F5 to F10
    case 17: return 64;
    case 18: return 65;
    case 19: return 66;
    case 20: return 67;
    case 21: return 68;
    case 23: return 133;  // F11, F12
    case 24: return 134;
    default: return 0;
  }
}

// The BIOS code of a key ending in a letter (CSI or SS3 form), 0 if unknown.
int LetterKeyCode(char letter) {
  switch (letter) {
    case 'A': return 72;  // Up
    case 'B': return 80;  // Down
    case 'C': return 77;  // Right
    case 'D': return 75;  // Left
    case 'H': return 71;  // Home
    case 'F': return 79;  // End
    case 'P': return 59;  // F1 to F4
    case 'Q': return 60;
    case 'R': return 61;
    case 'S': return 62;
    default: return 0;
  }
}

enum class Scan { kIncomplete, kComplete };

// Reads one escape sequence at the start of `s` (which begins with ESC and
// holds at least two bytes). Sets `length` to the bytes it takes and `code`
// to the key (0: a sequence of no key we know, dropped).
Scan ScanSequence(const std::string &s, std::size_t &length, int &code) {
  code = 0;
  const char kind = s[1];
  if (kind == 'O') {  // SS3: ESC O letter
    if (s.size() < 3) return Scan::kIncomplete;
    length = 3;
    code = LetterKeyCode(s[2]);
    return Scan::kComplete;
  }
  // CSI: ESC [ then parameters, ends with a byte from '@' to '~'.
  if (s.size() < 3) return Scan::kIncomplete;
  if (s[2] == '[') {  // Linux console F1 to F5: ESC [ [ A..E
    if (s.size() < 4) return Scan::kIncomplete;
    length = 4;
    if (s[3] >= 'A' && s[3] <= 'E') code = 59 + (s[3] - 'A');
    return Scan::kComplete;
  }
  int number = 0;
  bool firstParameter = true;
  for (std::size_t i = 2; i < s.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c >= '0' && c <= '9') {
      if (firstParameter && number < 1000) number = number * 10 + (c - '0');
      continue;
    }
    if (c == ';') {  // modifiers follow; the key stays the same
      firstParameter = false;
      continue;
    }
    if (c >= 0x40 && c <= 0x7e) {
      length = i + 1;
      code = c == '~' ? TildeKeyCode(number) : LetterKeyCode(static_cast<char>(c));
      return Scan::kComplete;
    }
    if (c < 0x20 || c > 0x3f) {  // not a sequence after all: drop what came
      length = i;
      return Scan::kComplete;
    }
    if (i >= 32) {  // far longer than any key
      length = i + 1;
      return Scan::kComplete;
    }
  }
  return Scan::kIncomplete;
}

}  // namespace

void DecodeKeys(KeyDecoder &decoder, const std::string &bytes, std::vector<std::string> &keys) {
  std::string s = decoder.pending + bytes;
  decoder.pending.clear();
  std::size_t i = 0;
  while (i < s.size()) {
    const char c = s[i];
    if (c != kEsc) {
      keys.push_back(c == '\x7f' ? std::string("\b") : std::string(1, c));
      ++i;
      continue;
    }
    if (i + 1 >= s.size()) {  // a lone Esc, or the start of a sequence
      decoder.pending = s.substr(i);
      return;
    }
    const char kind = s[i + 1];
    if (kind != '[' && kind != 'O') {  // Esc, then an ordinary key
      keys.push_back(std::string(1, kEsc));
      ++i;
      continue;
    }
    std::size_t length = 0;
    int code = 0;
    if (ScanSequence(s.substr(i), length, code) == Scan::kIncomplete) {
      decoder.pending = s.substr(i);
      return;
    }
    if (code != 0) keys.push_back(Extended(code));
    i += length;
  }
}

void FlushKeys(KeyDecoder &decoder, std::vector<std::string> &keys) {
  // Esc followed by an incomplete sequence was most likely Alt+[ or Alt+O:
  // give the keys as typed.
  for (char c : decoder.pending) keys.push_back(std::string(1, c));
  decoder.pending.clear();
}
