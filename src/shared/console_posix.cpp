// The look at the console on Linux: standard input, a terminal in raw mode
// or a stream of bytes.
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "child_process.h"
#include "console.h"
#include "key_decoder.h"

namespace {

constexpr int kInput = STDIN_FILENO;

// How long the rest of a split escape sequence may take to arrive.
constexpr int kSequenceGapMilliseconds = 30;
bool prepared = false;
bool terminal = false;
bool ended = false;
termios normalMode;
termios rawMode;
KeyDecoder decoder;
volatile sig_atomic_t hungUp = 0;
bool closeKeyQueued = false;
volatile sig_atomic_t leaving = 0;

// From the background tcsetattr would stop us (SIGTTOU) until brought
// forward: a job killed after `bg` must end at once.
void RestoreTerminal() {
  if (!terminal) return;
  sigset_t output, saved;
  sigemptyset(&output);
  sigaddset(&output, SIGTTOU);
  sigprocmask(SIG_BLOCK, &output, &saved);
  tcsetattr(kInput, TCSANOW, &normalMode);
  sigprocmask(SIG_SETMASK, &saved, nullptr);
}

void RestoreForGood() {
  leaving = 1;
  RestoreTerminal();
}

// Only the foreground may set the terminal; in the background the next read
// stops us again until we are brought forward, and continued once more.
void ApplyRawMode() {
  const int saved = errno;
  if (leaving == 0 && tcgetpgrp(kInput) == getpgrp()) tcsetattr(kInput, TCSANOW, &rawMode);
  errno = saved;
}

// Ctrl+C and the like end the program as usual, with the terminal restored.
void OnEndingSignal(int signalNumber) {
  RestoreForGood();
  signal(signalNumber, SIG_DFL);
  raise(signalNumber);
}

// Ctrl+Z: the shell gets its normal terminal back, and we our raw one when
// we go on. The handler runs with the signal blocked: unless it is unblocked,
// the raise below stays pending, meets this handler again on return, and the
// program spins instead of stopping. Without job control nothing stops us.
void OnStop(int signalNumber) {
  RestoreTerminal();
  signal(signalNumber, SIG_DFL);
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, signalNumber);
  sigprocmask(SIG_UNBLOCK, &stop, nullptr);
  raise(signalNumber);
  signal(signalNumber, OnStop);
  ApplyRawMode();
}

// Continued after any stop, also one no program can catch: the shell may
// have set the terminal back to line mode meanwhile.
void OnContinue(int) { ApplyRawMode(); }

// The terminal went away: the next look queues the close key.
void OnHangUp(int) {
  hungUp = 1;
  RestoreTerminal();
}

// A signal the parent set to "ignore" (nohup, a background job) stays
// ignored, and so it does for our children.
void HandleUnlessIgnored(int signalNumber, void (*handler)(int)) {
  struct sigaction current = {};
  if (sigaction(signalNumber, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) return;
  signal(signalNumber, handler);
}

void Prepare() {
  prepared = true;
  HandleUnlessIgnored(SIGHUP, OnHangUp);
  if (!isatty(kInput) || tcgetattr(kInput, &normalMode) != 0) return;
  terminal = true;
  rawMode = normalMode;
  // Keys one at a time, not shown; Enter reads as CR as on Windows; Ctrl+S and
  // Ctrl+Q are keys too. Ctrl+C stays an interrupt.
  rawMode.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO | IEXTEN));
  rawMode.c_iflag &= static_cast<tcflag_t>(~(ICRNL | INLCR | IGNCR | IXON));
  rawMode.c_cc[VMIN] = 1;
  rawMode.c_cc[VTIME] = 0;
  std::atexit(RestoreForGood);
  for (int s : {SIGINT, SIGTERM, SIGQUIT}) HandleUnlessIgnored(s, OnEndingSignal);
  HandleUnlessIgnored(SIGTSTP, OnStop);
  HandleUnlessIgnored(SIGCONT, OnContinue);
  tcsetattr(kInput, TCSANOW, &rawMode);
}

bool InputWaiting(int milliseconds) {
  pollfd input = {kInput, POLLIN, 0};
  int ready = poll(&input, 1, milliseconds);
  if (ready > 0 && (input.revents & POLLNVAL) != 0) ended = true;
  return ready > 0 && !ended;
}

// Reads what is waiting, at most `room` bytes; marks the end of the input.
std::string ReadWaiting(std::size_t room) {
  char buffer[512];
  std::size_t wanted = room < sizeof buffer ? room : sizeof buffer;
  ssize_t got = read(kInput, buffer, wanted);
  if (got > 0) return std::string(buffer, static_cast<std::size_t>(got));
  if (got == 0 || (errno != EINTR && errno != EAGAIN)) ended = true;
  return "";
}

void LookAtTerminal() {
  std::vector<std::string> keys;
  while (!ended && InputWaiting(0)) DecodeKeys(decoder, ReadWaiting(512), keys);
  // A sequence split between reads: give the rest a moment, then decide.
  while (!ended && !decoder.pending.empty()) {
    if (InputWaiting(kSequenceGapMilliseconds))
      DecodeKeys(decoder, ReadWaiting(512), keys);
    else
      FlushKeys(decoder, keys);
  }
  for (const std::string &key : keys) AppendKey(key);
}

// A pipe or a file: one key per byte. Only what fits in the queue is read,
// so no byte of a script's answers is ever pushed out.
void LookAtStream() {
  for (;;) {
    std::size_t room = kKeyQueueSlots - 1 - PendingKeyCount();
    if (ended || room == 0 || !InputWaiting(0)) return;
    for (char byte : ReadWaiting(room)) AppendKey(std::string(1, byte));
  }
}

}  // namespace

void LookAtConsole() {
  if (!prepared) Prepare();
  if (hungUp != 0 && !closeKeyQueued) {
    closeKeyQueued = true;
    ended = true;
    AppendKey(kCloseKey);
  }
  if (terminal)
    LookAtTerminal();
  else
    LookAtStream();
}

bool ConsoleInputEnded() { return ended; }

void WaitForConsoleInput() {
  if (!prepared) Prepare();
  if (ended) return;
  pollfd input = {kInput, POLLIN, 0};
  if (poll(&input, 1, -1) > 0 && (input.revents & POLLNVAL) != 0) ended = true;
}

void WriteToConsole(const std::string &text) {
  IgnoreBrokenPipe();
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

void SleepMilliseconds(int milliseconds) {
  if (milliseconds <= 0) return;
  timespec left = {milliseconds / 1000, (milliseconds % 1000) * 1000000L};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

void RestoreConsoleForGood() { RestoreForGood(); }
