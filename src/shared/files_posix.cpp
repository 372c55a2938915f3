// Files and folders on Linux.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "files.h"

// Every file test goes through stat() and readdir(): with 32-bit offsets or
// inode numbers they fail on large filesystems (CMakeLists.txt asks for both).
static_assert(sizeof(off_t) >= 8 && sizeof(ino_t) >= 8, "build with _FILE_OFFSET_BITS=64");

const char kPathSeparator[] = "/";

namespace {

// A copy is written beside its destination as NAME + this + our process id.
constexpr char kCopySuffix[] = ".copying";

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

bool IsAbsolutePath(const std::string &path) { return !path.empty() && path[0] == '/'; }

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

std::string ReadEnvironment(const std::string &name) {
  if (name.empty()) return "";
  const char *value = std::getenv(name.c_str());
  return value != nullptr ? std::string(value) : std::string();
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
