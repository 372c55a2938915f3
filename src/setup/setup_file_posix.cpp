// Linux part of setup_file.h.
#include <fcntl.h>
#include <spawn.h>

#include "operations.h"
#include "setup_file.h"

extern char **environ;

std::string SetupValueToPath(const std::string &value) { return value; }

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
  std::string program = "xdg-open";
  std::string file = kSetupFileName;
  char *argv[] = {&program[0], &file[0], nullptr};
  pid_t editor = 0;
  posix_spawnp(&editor, program.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
}
