// Linux implementation of operations.h.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
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

// Every file test goes through stat() and readdir(): with 32-bit offsets or
// inode numbers they fail on large filesystems (CMakeLists.txt asks for both).
static_assert(sizeof(off_t) >= 8 && sizeof(ino_t) >= 8, "build with _FILE_OFFSET_BITS=64");

const char kPathSeparator[] = "/";
const char kArchiverName[] = "7za";
const char kDesktopInstallerName[] = "Setup";
const char kExampleGameFolder[] = "<eg. /home/orlander/.minecraft/>";

std::string RemoveFolderCommand(const std::string &folder) {
  // Without its trailing slash a link to a folder is removed itself, never
  // the folder it points to.
  std::string name = folder;
  while (name.size() > 1 && name.back() == '/') name.pop_back();
  std::string quoted;
  for (char c : name) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return "rm -rf -- '" + quoted + "'";
}

namespace {

constexpr std::size_t kPathBuffer = 260;  // as on Windows, zero included

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

}  // namespace

std::string ProgramFolder() {
  // 1. The executable's path; a path that fills the buffer may be cut short
  //    and counts as unreadable.
  char buffer[kPathBuffer];
  ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
  std::string path;
  if (length > 0 && static_cast<std::size_t>(length) < sizeof buffer)
    path.assign(buffer, static_cast<std::size_t>(length));
  // 2. Cut at the last separator.
  std::size_t last = path.rfind('/');
  std::string folder = last == std::string::npos ? "" : path.substr(0, last);
  // 3. There are no drive letters here. 4. End in a separator.
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
  return getcwd(buffer, sizeof buffer) != nullptr ? std::string(buffer) : std::string();
}

bool ChangeFolder(const std::string &path) { return chdir(path.c_str()) == 0; }

bool CreateFolder(const std::string &path) { return mkdir(path.c_str(), 0777) == 0; }

bool RemoveFile(const std::string &path) { return unlink(path.c_str()) == 0; }

bool CopyFileReplacing(const std::string &source, const std::string &destination) {
  int in = open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  struct stat from;
  if (fstat(in, &from) != 0 || !S_ISREG(from.st_mode)) {
    close(in);
    return false;
  }
  int out = open(destination.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  struct stat to;
  // Copying a file onto itself must fail, not empty it.
  if (out < 0 || fstat(out, &to) != 0 || (to.st_dev == from.st_dev && to.st_ino == from.st_ino)) {
    if (out >= 0) close(out);
    close(in);
    return false;
  }
  // A file-size limit makes write() fail instead of killing the process.
  struct sigaction ignore = {}, previous = {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGXFSZ, &ignore, &previous);
  bool copied = ftruncate(out, 0) == 0 && CopyOpenFiles(in, out);
  sigaction(SIGXFSZ, &previous, nullptr);
  copied = close(out) == 0 && copied;
  close(in);
  // A half-written copy is of no use to anyone.
  if (!copied) unlink(destination.c_str());
  return copied;
}

int RunCommand(const std::string &program, const std::string &arguments) {
  // 1. Nothing to start. Where posix_spawn forks rather than vforks (older C
  //    libraries, qemu-user), a failed exec comes back as exit code 127.
  if (program.empty() || access(program.c_str(), X_OK) != 0) return -1;
  // 2.-4. The program path as it stands, then the words of the argument text.
  std::vector<std::string> words = SplitCommandLine(arguments);
  std::vector<char *> argv;
  argv.push_back(const_cast<char *>(program.c_str()));
  for (std::string &word : words) argv.push_back(&word[0]);
  argv.push_back(nullptr);
  // 5. The child starts with default signal handling, whatever ours is.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  sigaddset(&defaults, SIGXFSZ);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  pid_t child = 0;
  int failed = posix_spawn(&child, program.c_str(), nullptr, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  if (failed != 0) return -1;
  // 6. Its exit code.
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return StatusToExitCode(status);
}

int RunShellCommand(const std::string &commandLine) {
  if (commandLine.empty()) return -1;
  int status = std::system(commandLine.c_str());
  return status == -1 ? -1 : StatusToExitCode(status);
}

std::string ReadEnvironment(const std::string &name) {
  if (name.empty()) return "";
  const char *value = std::getenv(name.c_str());
  return value != nullptr ? std::string(value) : std::string();
}

void WriteToConsole(const std::string &text) {
  // A reader that went away must not end the run half done.
  static const bool ignoring = signal(SIGPIPE, SIG_IGN) != SIG_ERR;
  (void)ignoring;
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
