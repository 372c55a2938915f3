// The console key queue and the pauses that watch it. Standard input is a
// pipe this test holds open, so keys arrive when the test writes a byte, as
// they would from a script feeding the program.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "console.h"
#include "shown_texts.h"

// Nothing here may end the process.
void AbortWithMessage(const std::string &) { std::abort(); }

namespace {

int keyboard = [] {
  int ends[2];
  if (pipe(ends) != 0 || dup2(ends[0], STDIN_FILENO) < 0) std::abort();
  close(ends[0]);
  return ends[1];
}();

void Type(const std::string &keys) {
  ASSERT_EQ(write(keyboard, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
}

void Fresh() {
  LookAtConsole();  // nothing left over in the pipe
  ResetKeyQueue();
}

TEST(ConsoleKeys, RingKeeps511InOrderAndPushesOutTheOldest) {
  Fresh();
  for (int i = 0; i < 513; ++i) AppendKey(std::to_string(i));
  EXPECT_EQ(PendingKeyCount(), 511u);
  for (int i = 2; i <= 512; ++i) ASSERT_EQ(PollKey(), std::to_string(i));
  EXPECT_EQ(PollKey(), "");
}

TEST(ConsoleKeys, BytesFromThePipeAreKeysInOrderAndNoneIsLost) {
  Fresh();
  std::string many = "yN\x1b[A";
  for (int i = 0; i < 1500; ++i) many += static_cast<char>('a' + i % 26);
  Type(many);  // more than the queue holds: the rest waits in the pipe
  for (std::size_t i = 0; i < many.size(); ++i) ASSERT_EQ(PollKey(), many.substr(i, 1)) << i;
  EXPECT_EQ(PollKey(), "");
  EXPECT_FALSE(ConsoleInputEnded());
}

// A pause of 100 ms or more ends early on a key that arrived since the last
// look, and leaves it queued; a shorter one, or an older pending key, does not.
TEST(ConsoleKeys, PausesEndOnANewKeyOnly) {
  const struct {
    const char *name;
    std::string before;    // typed before the pause
    bool takeOne;          // one key taken first: the rest is no longer new
    int typeAfter;         // ms into the pause a "x" is typed, or -1
    int pause, low, high;  // the pause and how long it may take
    std::string next;      // the key pending afterwards
  } cases[] = {
      {"nothing typed", "", false, -1, 100, 100, 400, ""},
      {"a key in the pause", "", false, 600, 4000, 550, 1500, "x"},
      {"a key typed before", "k", false, -1, 4000, 0, 100, "k"},
      {"100 ms looks", "k", false, -1, 100, 0, 50, "k"},
      {"99 ms does not look", "k", false, -1, 99, 99, 400, "k"},
      {"an older key", "ab", true, -1, 600, 600, 1200, "b"},
  };
  for (const auto &c : cases) {
    Fresh();
    Type(c.before);
    if (c.takeOne) PollKey();
    std::thread typist([&c] {
      if (c.typeAfter < 0) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(c.typeAfter));
      Type("x");
    });
    const auto start = std::chrono::steady_clock::now();
    Pause(c.pause);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now() - start)
                          .count();
    typist.join();
    EXPECT_GE(took, c.low) << c.name;
    EXPECT_LT(took, c.high) << c.name;
    EXPECT_EQ(PollKey(), c.next) << c.name;
  }
}

}  // namespace
