// The terminal decoder: the escape sequences of xterm, tmux/screen and the
// Linux console become the two-byte extended keys.
#include "key_decoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Keys = std::vector<std::string>;

std::string X(int code) { return std::string{'\xff', static_cast<char>(code)}; }

constexpr int F1 = 59, F2 = 60, F3 = 61, F4 = 62, F5 = 63, F6 = 64, F7 = 65, F8 = 66, F9 = 67,
              F10 = 68, F11 = 133, F12 = 134, Up = 72, Down = 80, Left = 75, Right = 77, Home = 71,
              End = 79, PgUp = 73, PgDn = 81, Ins = 82, Del = 83;

struct Row {
  const char *name;
  std::string bytes;
  Keys keys;  // after the input has gone quiet
};

const std::vector<Row> kRows = {
    // xterm
    {"xterm F1-F4", "\x1bOP\x1bOQ\x1bOR\x1bOS", {X(F1), X(F2), X(F3), X(F4)}},
    {"xterm F5-F12",
     "\x1b[15~\x1b[17~\x1b[18~\x1b[19~\x1b[20~\x1b[21~\x1b[23~\x1b[24~",
     {X(F5), X(F6), X(F7), X(F8), X(F9), X(F10), X(F11), X(F12)}},
    {"arrows", "\x1b[A\x1b[B\x1b[C\x1b[D", {X(Up), X(Down), X(Right), X(Left)}},
    {"arrows, application mode", "\x1bOA\x1bOB\x1bOC\x1bOD", {X(Up), X(Down), X(Right), X(Left)}},
    {"xterm Home End", "\x1b[H\x1b[F\x1bOH\x1bOF", {X(Home), X(End), X(Home), X(End)}},
    {"Insert Delete PgUp PgDn", "\x1b[2~\x1b[3~\x1b[5~\x1b[6~", {X(Ins), X(Del), X(PgUp), X(PgDn)}},
    {"modified keys",
     "\x1b[1;5A\x1b[1;2P\x1b[15;5~\x1b[3;3~\x1b[1;10D\x1b[6;2~",
     {X(Up), X(F1), X(F5), X(Del), X(Left), X(PgDn)}},
    // tmux, screen, rxvt
    {"tmux Home End", "\x1b[1~\x1b[4~", {X(Home), X(End)}},
    {"rxvt F1-F4, Home End",
     "\x1b[11~\x1b[12~\x1b[13~\x1b[14~\x1b[7~\x1b[8~",
     {X(F1), X(F2), X(F3), X(F4), X(Home), X(End)}},
    // Linux console
    {"console F1-F5", "\x1b[[A\x1b[[B\x1b[[C\x1b[[D\x1b[[E", {X(F1), X(F2), X(F3), X(F4), X(F5)}},
    // Plain bytes
    {"letters as typed", "yYnN", {"y", "Y", "n", "N"}},
    {"Enter, Tab, space, Ctrl+A", "\r\t \x01", {"\r", "\t", " ", "\x01"}},
    {"Backspace 127 reads as 8", "\x7f\b", {"\b", "\b"}},
    {"bytes of UTF-8 one by one", "\xc3\xa9", {"\xc3", "\xa9"}},
    {"keys and sequences mixed", "a\x1b[Ab\x1bOPc", {"a", X(Up), "b", X(F1), "c"}},
    // Unknown sequences vanish, what follows is read as usual
    {"unknown tilde key", "\x1b[99~x", {"x"}},
    {"unknown letters among known ones", "\x1b[Z\x1bOxy\x1b[1;5Qz", {"y", X(F2), "z"}},
    {"unknown console key", "\x1b[[Zn", {"n"}},
    {"bracketed paste marks", "\x1b[200~hi\x1b[201~", {"h", "i"}},
    // Esc and what it leaves when the input goes quiet
    {"lone Esc", "\x1b", {"\x1b"}},
    {"Esc, Esc", "\x1b\x1b", {"\x1b", "\x1b"}},
    {"Alt+x", "\x1bx", {"\x1b", "x"}},
    {"Alt+[ alone", "\x1b[", {"\x1b", "["}},
    {"Alt+O alone", "\x1bO", {"\x1b", "O"}},
    {"a sequence cut short", "\x1b[1;5", {"\x1b", "[", "1", ";", "5"}},
};

// However the bytes are split over reads is the fuzzer's to vary.
TEST(KeyDecoder, OneRead) {
  for (const Row &row : kRows) {
    KeyDecoder decoder;
    Keys keys;
    DecodeKeys(decoder, row.bytes, keys);
    FlushKeys(decoder, keys);
    EXPECT_EQ(keys, row.keys) << row.name;
  }
}

}  // namespace
