// The terminal key decoder on any bytes, cut into reads at any points: the
// keys must not depend on the cuts, each must be one byte (never DEL, which is
// Backspace) or 255 and a known extended code, no more keys than bytes, and a
// flush leaves nothing pending.
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "key_decoder.h"

namespace {

std::vector<std::string> Decode(const std::string &bytes, std::size_t first, std::size_t step) {
  KeyDecoder decoder;
  std::vector<std::string> keys;
  for (std::size_t from = 0, cut = first; from < bytes.size(); from = cut, cut += step)
    DecodeKeys(decoder, bytes.substr(from, cut - from), keys);
  FlushKeys(decoder, keys);
  if (!decoder.pending.empty()) std::abort();
  return keys;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
  if (size < 1) return 0;
  // The first byte chooses the cuts; the rest is what the terminal sent.
  const std::string bytes(reinterpret_cast<const char *>(data + 1), size - 1);
  const std::vector<std::string> whole = Decode(bytes, bytes.size(), 1);
  if (whole != Decode(bytes, 1 + data[0] % 7, 1 + data[0] % 5) || whole != Decode(bytes, 1, 1))
    std::abort();
  if (whole.size() > bytes.size()) std::abort();
  static const std::set<int> extended = {59, 60, 61, 62, 63, 64, 65, 66, 67, 68,  71,
                                         72, 73, 75, 77, 79, 80, 81, 82, 83, 133, 134};
  for (const std::string &key : whole)
    if (key.size() == 1 ? key[0] == '\x7f'
                        : key.size() != 2 || key[0] != '\xff' ||
                              extended.count(static_cast<unsigned char>(key[1])) == 0)
      std::abort();
  return 0;
}
