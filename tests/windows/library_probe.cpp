// Linked with the platform layer: loads each library named by plain name, as a
// system library loads its own, and prints the path it came from, or none. It
// stops at one loaded before, which would prove nothing.
#include <windows.h>

#include <cstdio>

int main(int argc, char **argv) {
  for (int i = 1; i < argc && GetModuleHandleA(argv[i]) == nullptr; ++i) {
    char path[MAX_PATH] = "none";
    if (HMODULE module = LoadLibraryA(argv[i])) GetModuleFileNameA(module, path, MAX_PATH);
    std::printf("%s\n", path);
  }
}
