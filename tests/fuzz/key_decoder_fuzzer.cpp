// The terminal key decoder on any bytes, cut into reads at any points: the
// keys must not depend on where the reads were cut, every key must be one
// byte (never DEL, which is Backspace) or 255 and a known extended code,
// nothing may be lost or made up beyond what the bytes allow, and a flush
// leaves nothing pending.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "key_decoder.h"

namespace {

const std::set<int> kExtendedCodes = {59, 60, 61, 62, 63, 64, 65, 66, 67, 68,  71,
                                      72, 73, 75, 77, 79, 80, 81, 82, 83, 133, 134};

std::vector<std::string> Decode(const std::string &bytes, const std::vector<std::size_t> &cuts) {
  KeyDecoder decoder;
  std::vector<std::string> keys;
  std::size_t from = 0;
  for (std::size_t cut : cuts) {
    if (cut <= from || cut > bytes.size()) continue;
    DecodeKeys(decoder, bytes.substr(from, cut - from), keys);
    from = cut;
  }
  DecodeKeys(decoder, bytes.substr(from), keys);
  FlushKeys(decoder, keys);
  if (!decoder.pending.empty()) std::abort();
  return keys;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
  if (size < 1) return 0;
  // The first byte chooses the cuts; the rest is what the terminal sent.
  const unsigned seed = data[0];
  const std::string bytes(reinterpret_cast<const char *>(data + 1), size - 1);
  std::vector<std::size_t> cuts;
  for (std::size_t at = 1 + seed % 7; at < bytes.size(); at += 1 + (at * 31 + seed) % 9)
    cuts.push_back(at);
  const std::vector<std::string> whole = Decode(bytes, {});
  const std::vector<std::string> pieces = Decode(bytes, cuts);
  std::vector<std::size_t> everyByte;
  for (std::size_t i = 1; i < bytes.size(); ++i) everyByte.push_back(i);
  const std::vector<std::string> bytewise = Decode(bytes, everyByte);
  if (whole != pieces || whole != bytewise) std::abort();
  if (whole.size() > bytes.size()) std::abort();
  for (const std::string &key : whole) {
    if (key.size() == 1) {
      if (key[0] == '\x7f') std::abort();
      continue;
    }
    if (key.size() != 2 || key[0] != '\xff' ||
        kExtendedCodes.count(static_cast<unsigned char>(key[1])) == 0)
      std::abort();
  }
  return 0;
}
