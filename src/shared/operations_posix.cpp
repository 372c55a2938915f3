// Linux implementation of operations.h.
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "command_line.h"
#include "operations.h"

extern char **environ;

// console_keys_posix.cpp: the terminal as it was before we started, for good.
void RestoreConsoleForGood();

// Every file test goes through stat() and readdir(): with 32-bit offsets or
// inode numbers they fail on large filesystems (CMakeLists.txt asks for both).
static_assert(sizeof(off_t) >= 8 && sizeof(ino_t) >= 8, "build with _FILE_OFFSET_BITS=64");

const char kPathSeparator[] = "/";
const char kArchiverName[] = "7za";
const char kDesktopInstallerName[] = "Setup";
const char kServerInstallerName[] = "ServerSetup";
const char kExampleGameFolder[] = "<eg. /home/orlander/.minecraft/>";
const char kLauncherName[] = "Minecraft launcher";
const char kServerStartScripts[] = "start-up scripts of bash_scripts.tar";

namespace {

// A copy is written beside its destination as NAME + this + our process id.
constexpr char kCopySuffix[] = ".copying";

// What the parent left us, read before main. A signal it set to "ignore"
// stays ignored, for us and our children; they get back at default only
// what we ignore for ourselves (a broken pipe, a file-size limit). An ignored
// SIGCHLD would make every wait for a child fail: it goes back to default.
sigset_t ReadStartSignals() {
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  sigaddset(&defaults, SIGXFSZ);
  struct sigaction ignore = {}, byDefault = {};
  ignore.sa_handler = SIG_IGN;
  byDefault.sa_handler = SIG_DFL;
  for (int signalNumber = 1; signalNumber < NSIG; ++signalNumber) {
    struct sigaction current = {};
    if (sigaction(signalNumber, nullptr, &current) != 0 || current.sa_handler != SIG_IGN) continue;
    // Set again: under qemu-user only then does the ignore reach what we start.
    sigaction(signalNumber, &ignore, nullptr);
    sigdelset(&defaults, signalNumber);
  }
  sigaction(SIGCHLD, &byDefault, nullptr);
  return defaults;
}
const sigset_t childDefaults = ReadStartSignals();

// As on Windows, a path of 260 characters or more counts as unreadable;
// a character takes up to four bytes in UTF-8.
constexpr std::size_t kPathCharacters = 260;
constexpr std::size_t kPathBuffer = 4 * kPathCharacters;

// The characters of a UTF-8 text: every byte that does not continue one.
std::size_t CountCharacters(const std::string &text) {
  std::size_t count = 0;
  for (unsigned char byte : text) count += (byte & 0xC0) != 0x80;
  return count;
}

// `*` and `?` are the only wildcards, as in the Windows directory search.
bool MatchesPattern(const char *pattern, const char *name) {
  const char *star = nullptr;
  const char *resume = nullptr;
  while (*name != '\0') {
    if (*pattern == '*') {
      star = pattern++;
      resume = name;
    } else if (*pattern == '?' || *pattern == *name) {
      ++pattern;
      ++name;
    } else if (star != nullptr) {
      pattern = star + 1;
      name = ++resume;
    } else {
      return false;
    }
  }
  while (*pattern == '*') ++pattern;
  return *pattern == '\0';
}

// A dot-name is hidden; only regular files count, links followed.
bool EntryCounts(const std::string &folder, const std::string &name) {
  if (name.empty() || name[0] == '.') return false;
  struct stat info;
  return stat((folder + name).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

int StatusToExitCode(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

bool WriteAll(int fd, const char *data, std::size_t size) {
  while (size > 0) {
    ssize_t written = write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

bool CopyOpenFiles(int in, int out) {
  std::vector<char> buffer(1 << 16);
  for (;;) {
    ssize_t got = read(in, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return fsync(out) == 0 || errno == EINVAL;
    if (!WriteAll(out, buffer.data(), static_cast<std::size_t>(got))) return false;
  }
}

// A reader of our output that went away must not end the run half done.
void IgnoreBrokenPipe() {
  static const bool ignoring = signal(SIGPIPE, SIG_IGN) != SIG_ERR;
  (void)ignoring;
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

std::string ProgramFolder() {
  // The executable's path, counted in characters: a path that fills the
  // buffer may be cut short, and one that is too long counts as unreadable.
  char buffer[kPathBuffer];
  ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
  std::string path;
  if (length > 0 && static_cast<std::size_t>(length) < sizeof buffer)
    path.assign(buffer, static_cast<std::size_t>(length));
  if (CountCharacters(path) >= kPathCharacters) path.clear();
  // Cut at the last separator.
  std::size_t last = path.rfind('/');
  std::string folder = last == std::string::npos ? "" : path.substr(0, last);
  // There are no drive letters here. End in a separator.
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

bool FileExists(const std::string &path) { return !FindFiles(path).empty(); }

std::vector<std::string> FindFiles(const std::string &path) {
  std::size_t last = path.rfind('/');
  const std::string folder = last == std::string::npos ? "" : path.substr(0, last + 1);
  const std::string pattern = path.substr(folder.size());
  std::vector<std::string> names;
  // A plain name matches only itself.
  if (pattern.find_first_of("*?") == std::string::npos) {
    if (EntryCounts(folder, pattern)) names.push_back(pattern);
    return names;
  }
  DIR *search = opendir(folder.empty() ? "." : folder.c_str());
  if (search == nullptr) return names;
  while (const dirent *entry = readdir(search))
    if (MatchesPattern(pattern.c_str(), entry->d_name) && EntryCounts(folder, entry->d_name))
      names.push_back(entry->d_name);
  closedir(search);
  return names;
}

std::string CurrentFolder() {
  char buffer[kPathBuffer];
  if (getcwd(buffer, sizeof buffer) == nullptr) return "";
  const std::string path = buffer;
  return CountCharacters(path) < kPathCharacters ? path : std::string();
}

bool ChangeFolder(const std::string &path) { return chdir(path.c_str()) == 0; }

bool CreateFolder(const std::string &path) { return mkdir(path.c_str(), 0777) == 0; }

bool RemoveFile(const std::string &path) { return unlink(path.c_str()) == 0; }

std::FILE *OpenFile(const std::string &path, const char *mode) {
  return std::fopen(path.c_str(), mode);
}

bool CopyFileReplacing(const std::string &source, const std::string &destination) {
  // The source, a regular file.
  int in = open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  struct stat from;
  if (fstat(in, &from) != 0 || !S_ISREG(from.st_mode)) {
    close(in);
    return false;
  }
  // Copying a file onto itself (through a linked folder) must fail, not
  // empty it. A link at the destination is replaced, never followed.
  struct stat to;
  if (lstat(destination.c_str(), &to) == 0 && to.st_dev == from.st_dev &&
      to.st_ino == from.st_ino) {
    close(in);
    return false;
  }
  // A new file beside the destination, never one that was there: what a
  // killed copy left goes first.
  RemoveNumberedLeftovers(destination, kCopySuffix);
  const std::string fresh = destination + kCopySuffix + std::to_string(getpid());
  int out = open(fresh.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (out < 0) {
    close(in);
    return false;
  }
  // Written whole and synced. A file-size limit makes write() fail instead
  // of killing the process.
  struct sigaction ignore = {}, previous = {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGXFSZ, &ignore, &previous);
  bool copied = CopyOpenFiles(in, out);
  sigaction(SIGXFSZ, &previous, nullptr);
  copied = close(out) == 0 && copied;
  close(in);
  // Renamed over the destination: a program that has the old file open
  // keeps reading it, and a kill at any moment leaves the old file or the
  // new one, never a part.
  if (copied && rename(fresh.c_str(), destination.c_str()) == 0) return true;
  unlink(fresh.c_str());
  return false;
}

bool IsInTemporaryFolder(const std::string &folder) {
  // The temporary folder, as other programs find it, links resolved (the
  // program's folder comes from /proc/self/exe, resolved too).
  const char *variable = std::getenv("TMPDIR");
  std::string temporary = variable != nullptr && *variable != '\0' ? variable : "/tmp";
  if (char *resolved = realpath(temporary.c_str(), nullptr)) {
    temporary = resolved;
    std::free(resolved);
  }
  // Below it, at any depth: "/tmpfiles/" is not below "/tmp".
  if (temporary.back() != '/') temporary += '/';
  return folder.compare(0, temporary.size(), temporary) == 0;
}

std::string StartedFromArchiveText(const std::string &program) {
  return program +
         " has been started from a temporary folder without the files it needs beside "
         "it.\r\n\r\nPlease extract the whole archive first, then run " +
         program + " from the extracted folder.\r\n\r\n";
}

int RunCommand(const std::string &program, const std::string &arguments) {
  // Nothing to start.
  if (program.empty() || access(program.c_str(), X_OK) != 0) return -1;
  // The program path as it stands, then the words of the argument text.
  std::vector<std::string> words = SplitCommandLine(arguments);
  words.insert(words.begin(), program);
  // Started, waited for, its exit code.
  return RunChild(program, words);
}

std::string ReadEnvironment(const std::string &name) {
  if (name.empty()) return "";
  const char *value = std::getenv(name.c_str());
  return value != nullptr ? std::string(value) : std::string();
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

bool IsAbsolutePath(const std::string &path) { return !path.empty() && path[0] == '/'; }
