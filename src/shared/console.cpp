// The key queue, the waits on it and the pauses that watch it; the platform
// files read the input and keep the console.
#include "console.h"

#include <array>

namespace {

// A ring of 512 slots, one always free: 511 keys can be pending.
std::array<std::string, kKeyQueueSlots> ring;

std::size_t oldest = 0;
std::size_t next = 0;
bool newKeyMark = false;

}  // namespace

const char kCloseKey[] = "\xff\x6b";

void AppendKey(const std::string &key) {
  ring[next] = key;
  next = (next + 1) % kKeyQueueSlots;
  if (next == oldest) oldest = (oldest + 1) % kKeyQueueSlots;  // full: the oldest goes
  newKeyMark = true;
}

bool TakeNewKeyMark() {
  const bool wasSet = newKeyMark;
  newKeyMark = false;
  return wasSet;
}

std::size_t PendingKeyCount() { return (next + kKeyQueueSlots - oldest) % kKeyQueueSlots; }

void ResetKeyQueue() {
  oldest = next = 0;
  newKeyMark = false;
}

std::string PollKey() {
  // Take what the console has.
  LookAtConsole();
  // The oldest pending key, if any.
  if (PendingKeyCount() == 0) return "";
  std::string key = ring[oldest];
  oldest = (oldest + 1) % kKeyQueueSlots;
  LookAtConsole();
  newKeyMark = false;
  return key;
}

std::string WaitForKey() {
  for (;;) {
    std::string key = PollKey();
    if (!key.empty() || ConsoleInputEnded()) return key;
    WaitForConsoleInput();
  }
}

void Pause(int milliseconds) {
  int remaining = milliseconds;
  // Long pauses look at the console every 50 ms and end on a new key.
  if (milliseconds >= 100) {
    while (remaining > 50) {
      LookAtConsole();
      if (TakeNewKeyMark()) return;
      SleepMilliseconds(50);
      remaining -= 50;
    }
  }
  // The rest is one plain sleep.
  if (remaining >= 0) SleepMilliseconds(remaining);
}
