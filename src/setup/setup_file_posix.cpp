// Linux part of setup_file.h.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "files.h"
#include "setup_file.h"

extern char **environ;

namespace {

bool IsNameCharacter(char c, bool first) {
  return c == '_' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
         (!first && c >= '0' && c <= '9');
}

}  // namespace

// Empty and relative folders are skipped: they name the current folder,
// wherever the player clicked.
std::string FindOnSearchPath(const std::string &name) {
  const std::string folders = ReadEnvironment("PATH");
  for (std::size_t start = 0; start <= folders.size();) {
    std::size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    const std::string folder = folders.substr(start, end - start);
    const std::string candidate = folder + "/" + name;
    struct stat info;
    if (!folder.empty() && folder[0] == '/' && stat(candidate.c_str(), &info) == 0 &&
        S_ISREG(info.st_mode) && access(candidate.c_str(), X_OK) == 0)
      return candidate;
    start = end + 1;
  }
  return "";
}

std::vector<std::string> GameFolderPlaces() {
  // The launcher's own folder, then the one of the launcher from Flathub.
  const std::string home = ReadEnvironment("HOME");
  std::vector<std::string> places = {home + "/.minecraft/"};
  if (!home.empty()) places.push_back(home + "/.var/app/com.mojang.Minecraft/.minecraft/");
  return places;
}

std::string SetupValueToPath(const std::string &value) {
  std::string path;
  std::size_t at = 0;
  // "~" or "~/..." as the shell reads it.
  const char *home = std::getenv("HOME");
  if (value[0] == '~' && (value.size() == 1 || value[1] == '/') && home != nullptr) {
    path = home;
    at = 1;
  }
  while (at < value.size()) {
    const char *set = nullptr;
    std::size_t end = at;
    if (value[at] == '$') {
      // $NAME or ${NAME}; anything else after "$" is plain text.
      const bool braced = value.compare(at + 1, 1, "{") == 0;
      const std::size_t name = at + 1 + braced;
      for (end = name; end < value.size() && IsNameCharacter(value[end], end == name);) ++end;
      if (braced && value.compare(end, 1, "}") != 0) end = name;
      if (end > name) set = std::getenv(value.substr(name, end - name).c_str());
      end += braced;
    }
    if (set == nullptr) {
      path += value[at++];
    } else {
      path += set;
      at = end;
    }
  }
  return path;
}

std::string SetupFileBytes(const std::string &text) { return text; }

void EditSetupFile() {
  // Only a desktop session has an editor to show; elsewhere nothing opens.
  if (ReadEnvironment("DISPLAY").empty() && ReadEnvironment("WAYLAND_DISPLAY").empty()) return;
  // Not waited for. The editor gets no keys meant for us, and keeps nothing
  // of ours open after we end.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::string program = FindOnSearchPath("xdg-open");
  std::string file = kSetupFileName;
  char *argv[] = {&program[0], &file[0], nullptr};
  pid_t editor = 0;
  if (!program.empty()) posix_spawn(&editor, program.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
}
