// Turns the bytes a terminal sends into key values: escape sequences of the
// usual terminals (xterm, tmux and screen, the Linux console) become the
// two-byte extended keys, Backspace 127 becomes 8, other bytes stand for
// themselves. A sequence may arrive split over several reads; the decoder
// keeps its start until the rest comes or the input goes quiet.
#pragma once

#include <string>
#include <vector>

struct KeyDecoder {
  std::string pending;  // the start of an escape sequence not yet complete
};

// Decodes `bytes`, appending every complete key value to `keys`.
void DecodeKeys(KeyDecoder &decoder, const std::string &bytes, std::vector<std::string> &keys);

// The input went quiet: what is left of a sequence is given as the keys it
// was typed with (a lone Esc is the Esc key; Alt+[ is Esc, then "[").
void FlushKeys(KeyDecoder &decoder, std::vector<std::string> &keys);
