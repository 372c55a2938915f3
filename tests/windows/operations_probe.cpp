// The shared operations of the Windows build, one call per run, for the
// cases the flows cannot show from outside:
//
//   operations_probe.exe folder               prints ProgramFolder()
//   operations_probe.exe exists PATH...       prints 1 or 0 per FileExists
//   operations_probe.exe run PROGRAM ARGS     prints RunCommand's exit code
//   operations_probe.exe line                 prints its own command line
//   operations_probe.exe exit N               exits with code N
//
// Texts go to standard output, one per line, as the operations return them.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "operations.h"

void AbortWithMessage(const std::string &message) {
  std::printf("abort: %s\n", message.c_str());
  std::exit(0);
}

int main(int argc, char **argv) {
  if (argc >= 2 && std::strcmp(argv[1], "folder") == 0) {
    std::printf("%s\n", ProgramFolder().c_str());
  } else if (argc >= 2 && std::strcmp(argv[1], "exists") == 0) {
    for (int i = 2; i < argc; ++i) std::printf("%d\n", FileExists(argv[i]) ? 1 : 0);
  } else if (argc >= 4 && std::strcmp(argv[1], "run") == 0) {
    std::fflush(stdout);
    int code = RunCommand(argv[2], argv[3]);
    std::printf("%d\n", code);
  } else if (argc >= 2 && std::strcmp(argv[1], "line") == 0) {
    std::printf("%s\n", GetCommandLineA());
  } else if (argc >= 3 && std::strcmp(argv[1], "exit") == 0) {
    return std::atoi(argv[2]);
  } else {
    std::fprintf(stderr, "usage: operations_probe folder|exists|run|line|exit ...\n");
    return 2;
  }
  return 0;
}
