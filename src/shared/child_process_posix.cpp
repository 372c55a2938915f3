// Starting a child on Linux: fork and exec, the relay of its output, and the
// signals that end it with us.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "child_process.h"
#include "command_line.h"
#include "console.h"
#include "files.h"

extern char **environ;
const char kArchiverName[] = "7za";

namespace {

// What our children get back at default: what we ignore for ourselves (a
// broken pipe, a file-size limit) unless the parent had it ignored already.
sigset_t childDefaults;

int StatusToExitCode(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

// The child we wait for. A signal that ends us (a kill, a hang-up, Ctrl+C)
// ends it first, with the same signal, so that no archiver goes on rewriting
// the jar behind the next prompt.
volatile sig_atomic_t waitedChild = 0;
constexpr int kEndingSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM};

void EndWithChild(int signalNumber) {
  const pid_t child = waitedChild;
  if (child > 0 && kill(child, signalNumber) == 0) {
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
  }
  RestoreConsoleForGood();
  signal(signalNumber, SIG_DFL);
  sigset_t ending;
  sigemptyset(&ending);
  sigaddset(&ending, signalNumber);
  sigprocmask(SIG_UNBLOCK, &ending, nullptr);
  raise(signalNumber);
}

// Relays what the child writes to `from` onto our `to`, until its end. Once
// our reader has gone, the rest is read and dropped: the child never meets a
// broken pipe.
bool Relay(int from, int to, bool &writing) {
  char buffer[4096];
  const ssize_t got = read(from, buffer, sizeof buffer);
  if (got < 0 && errno == EINTR) return true;
  if (got <= 0) return false;
  writing = writing && WriteAll(to, buffer, static_cast<std::size_t>(got));
  return true;
}

// Starts `path` with `words` (its name first) and waits for it: its exit
// code, 128 + the signal that killed it, or -1 when it could not start.
// Output that is no terminal reaches the child through pipes of ours and is
// relayed (a terminal stays its own, for its progress lines).
int RunChild(const std::string &path, std::vector<std::string> words) {
  std::vector<char *> argv;
  for (std::string &word : words) argv.push_back(&word[0]);
  argv.push_back(nullptr);
  // A start that fails comes back through a pipe that a successful exec
  // closes, so it never passes for the program's own exit code (a forked
  // child's 127), wherever vfork is not what it seems (qemu-user).
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return -1;
  int relays[2][2] = {{-1, -1}, {-1, -1}};
  for (int output : {STDOUT_FILENO, STDERR_FILENO})
    if (fcntl(output, F_GETFD) != -1 && !isatty(output) &&
        pipe2(relays[output - 1], O_CLOEXEC) != 0)
      relays[output - 1][0] = relays[output - 1][1] = -1;
  IgnoreBrokenPipe();
  // The ending signals wait until the child is known; those the parent set
  // to "ignore" stay ignored, for both of us.
  sigset_t ending, saved;
  sigemptyset(&ending);
  struct sigaction forward = {}, previous[4] = {};
  forward.sa_handler = EndWithChild;
  for (int i = 0; i < 4; ++i) {
    sigaction(kEndingSignals[i], nullptr, &previous[i]);
    if (previous[i].sa_handler == SIG_IGN) continue;
    sigaddset(&ending, kEndingSignals[i]);
    sigaction(kEndingSignals[i], &forward, nullptr);
  }
  sigprocmask(SIG_BLOCK, &ending, &saved);
  const pid_t child = fork();
  if (child == 0) {
    close(report[0]);
    for (int output : {STDOUT_FILENO, STDERR_FILENO})
      if (relays[output - 1][1] >= 0) dup2(relays[output - 1][1], output);
    struct sigaction byDefault = {};
    byDefault.sa_handler = SIG_DFL;
    for (int signalNumber : {SIGPIPE, SIGXFSZ})
      if (sigismember(&childDefaults, signalNumber) == 1)
        sigaction(signalNumber, &byDefault, nullptr);
    sigprocmask(SIG_SETMASK, &saved, nullptr);
    execve(path.c_str(), argv.data(), environ);
    const int error = errno;
    const ssize_t reported = write(report[1], &error, sizeof error);
    (void)reported;
    _exit(127);
  }
  waitedChild = child > 0 ? child : 0;
  sigprocmask(SIG_SETMASK, &saved, nullptr);
  close(report[1]);
  for (int output : {STDOUT_FILENO, STDERR_FILENO})
    if (relays[output - 1][1] >= 0) close(relays[output - 1][1]);
  // Nothing to read (the end of the pipe) means the program started.
  int error = 0;
  ssize_t reported = 0;
  while (child > 0 && (reported = read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
  }
  close(report[0]);
  // Its output relayed until it ends; what it left running with our pipes
  // open is not waited for.
  int status = 0;
  bool reaped = child < 0, writing[2] = {true, true};
  while (relays[0][0] >= 0 || relays[1][0] >= 0) {
    pollfd open[2] = {{relays[0][0], POLLIN, 0}, {relays[1][0], POLLIN, 0}};
    const int ready = poll(open, 2, 100);
    for (int i = 0; i < 2; ++i)
      if (ready > 0 && open[i].revents != 0 && !Relay(open[i].fd, i + 1, writing[i])) {
        close(relays[i][0]);
        relays[i][0] = -1;
      }
    if (ready == 0 && reaped) break;
    if (ready == 0) reaped = waitpid(child, &status, WNOHANG) == child;
    if (reaped) waitedChild = 0;
  }
  for (int i = 0; i < 2; ++i)
    if (relays[i][0] >= 0) close(relays[i][0]);
  // Its exit code; the signals as they were.
  while (!reaped && waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  waitedChild = 0;
  for (int i = 0; i < 4; ++i)
    if (previous[i].sa_handler != SIG_IGN) sigaction(kEndingSignals[i], &previous[i], nullptr);
  if (child < 0) return -1;
  return reported != 0 ? -1 : StatusToExitCode(status);
}

}  // namespace

int RunCommand(const std::string &program, const std::string &arguments) {
  // Nothing to start.
  if (program.empty() || access(program.c_str(), X_OK) != 0) return -1;
  // The program path as it stands, then the words of the argument text.
  std::vector<std::string> words = SplitCommandLine(arguments);
  words.insert(words.begin(), program);
  // Started, waited for, its exit code.
  return RunChild(program, words);
}

void NoteStartSignals() {
  sigemptyset(&childDefaults);
  sigaddset(&childDefaults, SIGPIPE);
  sigaddset(&childDefaults, SIGXFSZ);
  struct sigaction ignore = {}, byDefault = {};
  ignore.sa_handler = SIG_IGN;
  byDefault.sa_handler = SIG_DFL;
  for (int signalNumber = 1; signalNumber < NSIG; ++signalNumber) {
    struct sigaction current = {};
    if (sigaction(signalNumber, nullptr, &current) != 0 || current.sa_handler != SIG_IGN) continue;
    // Set again: under qemu-user only then does the ignore reach what we start.
    sigaction(signalNumber, &ignore, nullptr);
    sigdelset(&childDefaults, signalNumber);
  }
  sigaction(SIGCHLD, &byDefault, nullptr);
}

void IgnoreBrokenPipe() {
  static const bool ignoring = signal(SIGPIPE, SIG_IGN) != SIG_ERR;
  (void)ignoring;
}
