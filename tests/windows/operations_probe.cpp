// RunCommand of the Windows build, for what the flows never show: a program
// path with a space. Prints the exit code RunCommand gives for
//   operations_probe.exe PROGRAM ARGUMENTS
#include <cstdio>
#include <cstdlib>

#include "operations.h"

void AbortWithMessage(const std::string &) { std::exit(2); }

int main(int argc, char **argv) {
  if (argc != 3) return 2;
  std::printf("%d\n", RunCommand(argv[1], argv[2]));
}
