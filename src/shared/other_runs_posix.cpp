// Linux part of what other_runs.h says about other programs running
// meanwhile: the folder lock, the archiver's execute permission, a server
// folder others may change, and the removal of a version folder.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "child_process.h"
#include "command_line.h"
#include "other_runs.h"

bool TakeFolderLock(const std::string &folder) {
  // The folder's own descriptor, kept open until we end: no file is made for
  // the lock, and the system drops it however we end, a kill included.
  const int descriptor = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0) return true;
  while (flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    const bool taken = errno == EWOULDBLOCK;
    close(descriptor);
    return !taken;
  }
  return true;
}

bool MayBeExecuted(const std::string &path) { return access(path.c_str(), X_OK) == 0; }

bool OthersMayChange(const std::string &folder) {
  struct stat info;
  if (stat(folder.c_str(), &info) != 0) return false;
  return (info.st_mode & S_IWOTH) != 0 || (info.st_uid != geteuid() && info.st_uid != 0);
}

Removal RemoveVersionFolder(const std::string &folder) {
  // Without its trailing slash a link to a folder is removed itself, never
  // the folder it points to. The shell finds rm on the search path; not
  // system(), which ignores Ctrl+C in the caller while the command runs.
  std::string name = folder;
  while (name.size() > 1 && name.back() == '/') name.pop_back();
  std::string quoted;
  for (char c : name) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  const std::string command = "rm -rf -- '" + quoted + "'";
  // An open file never keeps a removal from its end here.
  return RunCommand("/bin/sh", "-c " + QuoteArgument(command)) == -1 ? Removal::kFailed
                                                                     : Removal::kDone;
}
