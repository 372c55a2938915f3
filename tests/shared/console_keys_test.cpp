// The console key queue and the pauses that watch it. Standard input is a
// pipe this test holds open, so keys "arrive" when the test writes a byte,
// exactly as they would from a script feeding the program.
#include "console_keys.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "operations.h"

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

// Milliseconds that `pause` took.
template <typename F>
long Timed(F pause) {
  const auto start = std::chrono::steady_clock::now();
  pause();
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::steady_clock::now() - start)
                               .count());
}

class ConsoleKeys : public ::testing::Test {
 protected:
  void SetUp() override {
    LookAtConsole();  // nothing left over in the pipe
    ResetKeyQueue();
  }
};

TEST_F(ConsoleKeys, RingKeeps511InOrderAndPushesOutTheOldest) {
  for (int i = 0; i < 511; ++i) AppendKey(std::to_string(i));
  EXPECT_EQ(PendingKeyCount(), 511u);
  AppendKey("511");
  AppendKey("512");
  EXPECT_EQ(PendingKeyCount(), 511u);
  for (int i = 2; i <= 512; ++i) ASSERT_EQ(PollKey(), std::to_string(i));
  EXPECT_EQ(PollKey(), "");
  // Round the ring once more.
  for (int i = 0; i < 700; ++i) {
    AppendKey(std::to_string(i));
    if (i % 2 == 1) PollKey();
  }
  EXPECT_EQ(PendingKeyCount(), 350u);
  EXPECT_EQ(PollKey(), "350");
}

TEST_F(ConsoleKeys, BytesFromThePipeAreKeysInOrder) {
  Type("yN\x1b[A");
  for (const char *key : {"y", "N", "\x1b", "[", "A"}) EXPECT_EQ(PollKey(), key);
  EXPECT_EQ(PollKey(), "");
  EXPECT_FALSE(ConsoleInputEnded());
  // More than the queue holds: the rest waits in the pipe, none is lost.
  std::string many;
  for (int i = 0; i < 1500; ++i) many += static_cast<char>('a' + i % 26);
  Type(many);
  for (int i = 0; i < 1500; ++i) ASSERT_EQ(PollKey(), many.substr(i, 1)) << i;
  EXPECT_EQ(PollKey(), "");
}

TEST_F(ConsoleKeys, AKeyAfterTheLastLookEndsAPauseAndStaysQueued) {
  std::thread typist([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    Type("x");
  });
  const long took = Timed([] { Pause(4000); });
  typist.join();
  EXPECT_GE(took, 550);
  EXPECT_LT(took, 1500);
  EXPECT_EQ(PollKey(), "x");
}

TEST_F(ConsoleKeys, AKeyQueuedBeforeThePauseEndsItAtTheFirstLook) {
  AppendKey("k");
  EXPECT_LT(Timed([] { Pause(4000); }), 100);
  EXPECT_EQ(PollKey(), "k");
}

TEST_F(ConsoleKeys, ShortPausesSleepTheirTimeWithAKeyWaiting) {
  Type("z");
  EXPECT_GE(Timed([] { Pause(50); }), 50);
  EXPECT_EQ(PendingKeyCount(), 0u);  // a short pause does not look
  EXPECT_GE(Timed([] { Pause(99); }), 99);
  EXPECT_EQ(PollKey(), "z");
}

TEST_F(ConsoleKeys, AnOlderPendingKeyDoesNotEndAPause) {
  Type("ab");
  EXPECT_EQ(PollKey(), "a");  // "b" came in with it and stays pending
  const long took = Timed([] { Pause(600); });
  EXPECT_GE(took, 600);
  EXPECT_LT(took, 1200);
  EXPECT_EQ(PollKey(), "b");
}

TEST_F(ConsoleKeys, APauseWithoutKeysTakesItsTime) {
  const long took = Timed([] { Pause(100); });
  EXPECT_GE(took, 100);
  EXPECT_LT(took, 400);
}

}  // namespace
